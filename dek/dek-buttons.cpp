// The lamp button: drawing of the panes and the press/release click.
#include "dek-buttons.h"

#include <algorithm>
#include <utility>

#include <wx/brush.h>
#include <wx/dcbuffer.h>
#include <wx/event.h>
#include <wx/font.h>
#include <wx/pen.h>
#include <wx/settings.h>

namespace {

// Labels never get smaller than this, however little room the pane has.
constexpr int kMinLabelPoints = 6;

// Sizes arrive in tenths of a point; the division truncates toward zero.
int PointsFromDeciPoints(int deciPoints)
{
    return std::max(kMinLabelPoints, deciPoints / 10);
}

wxFont LabelFont(int points, const wxString& face)
{
    return wxFont(points, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false, face,
                  wxFONTENCODING_DEFAULT);
}

// A label fits when it clears the pane by more than 3 pixels each way.
bool LabelFits(const wxRect& rect, wxCoord w, wxCoord h)
{
    return w < rect.width - 3 && h < rect.height - 3;
}

// Square caps make each line cover exactly the pixels from one end point to
// the other, so the corners are crisp and belong to the line drawn last.
wxPen BevelPen(const wxColour& colour)
{
    wxPen pen(colour, 1, wxPENSTYLE_SOLID);
    pen.SetCap(wxCAP_PROJECTING);
    return pen;
}

}  // namespace

void IclPane::Draw(wxDC& dc) const
{
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(lit ? clrOn : clrOff, wxBRUSHSTYLE_SOLID));
    dc.DrawRectangle(rect);
    if (text.empty())
        return;

    int points = std::max(kMinLabelPoints, fontPts);
    wxCoord w = 0;
    wxCoord h = 0;
    dc.SetFont(LabelFont(points, fontname));
    dc.GetTextExtent(text, &w, &h);
    // The fitted size is not kept: a label grows back when the button grows.
    while (!LabelFits(rect, w, h) && points > kMinLabelPoints) {
        --points;
        dc.SetFont(LabelFont(points, fontname));
        dc.GetTextExtent(text, &w, &h);
    }

    dc.SetTextForeground(lit ? textOn : textOff);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.DrawText(text, rect.x + (rect.width - w) / 2, rect.y + (rect.height - h) / 2);
}

wxBEGIN_EVENT_TABLE(IclButton, wxWindow)
    EVT_PAINT(IclButton::OnPaint)
    EVT_LEFT_DOWN(IclButton::OnLeftDown)
    EVT_LEFT_UP(IclButton::OnLeftUp)
    EVT_SIZE(IclButton::OnSize)
    EVT_MOUSE_CAPTURE_LOST(IclButton::OnCaptureLost)
wxEND_EVENT_TABLE()

IclButton::IclButton(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxWindow(parent, id, pos, size, 0, wxASCII_STR(wxPanelNameStr))
{
    // Every wanted pixel is painted here; the buffered paint context needs it.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
}

IclButton::~IclButton()
{
    // The toolkit objects to destroying a window that still holds the mouse.
    if (HasCapture())
        ReleaseMouse();
}

// Setters only store and invalidate, so several changes in one poll cost one
// paint. A setter whose value is unchanged does not invalidate at all: an idle
// panel re-applies the same lamp states on every poll and must not repaint.

void IclButton::SetText(const wxString& s, bool top)
{
    IclPane& pane = PaneRef(top);
    if (pane.text == s)
        return;
    pane.text = s;
    Invalidate();
}

void IclButton::SetColour(wxColour off, wxColour on, bool top)
{
    IclPane& pane = PaneRef(top);
    if (pane.clrOff == off && pane.clrOn == on)
        return;
    pane.clrOff = off;
    pane.clrOn = on;
    Invalidate();
}

void IclButton::SetTextColour(wxColour off, wxColour on, bool top)
{
    IclPane& pane = PaneRef(top);
    pane.textOff = off;
    pane.textOn = on;
}

void IclButton::Light(bool on, bool top)
{
    IclPane& pane = PaneRef(top);
    if (pane.lit == on)
        return;
    pane.lit = on;
    Invalidate();
}

// Also with an unchanged value: it is the way to have the panes measured
// again, e.g. after SetNoEdges on a button that has already been painted.
void IclButton::Split(bool on)
{
    m_split = on;
    m_initDone = false;
    Invalidate();
}

void IclButton::SetDekFont(int deciPoints, const wxString& name, bool top)
{
    IclPane& pane = PaneRef(top);
    pane.fontPts = PointsFromDeciPoints(deciPoints);
    pane.fontname = name;
}

void IclButton::SetTextSize(int deciPoints, bool top)
{
    PaneRef(top).fontPts = PointsFromDeciPoints(deciPoints);
}

// Takes effect at the next geometry calculation, so it belongs before the
// first paint.
void IclButton::SetNoEdges(bool on)
{
    m_noEdges = on;
}

bool IclButton::IsLit(bool top) const
{
    return Pane(top).lit;
}

void IclButton::Invalidate()
{
    Refresh(true);
}

void IclButton::RecalcPanes()
{
    wxRect r = GetClientRect();
    if (!m_noEdges)
        r.Deflate(1);
    if (m_split) {
        // The two rows between the panes stay unpainted as a divider.
        const int h2 = r.height / 2;
        m_panes[0].rect = wxRect(r.x, r.y, r.width, h2 - 1);
        m_panes[1].rect = wxRect(r.x, r.y + h2 + 1, r.width, r.height - h2 - 1);
    } else {
        m_panes[0].rect = r;
    }
    m_initDone = true;
}

void IclButton::Render(wxDC& dc)
{
    const wxRect c = GetClientRect();
    if (!m_noEdges) {
        wxColour light = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNHIGHLIGHT);
        wxColour dark = wxSystemSettings::GetColour(wxSYS_COLOUR_BTNSHADOW);
        if (m_pressed)
            std::swap(light, dark);  // a held button looks sunk
        const int right = c.x + c.width - 1;
        const int bottom = c.y + c.height - 1;
        dc.SetPen(BevelPen(light));
        dc.DrawLine(c.x, c.y, right, c.y);
        dc.DrawLine(c.x, c.y, c.x, bottom);
        dc.SetPen(BevelPen(dark));
        dc.DrawLine(right, c.y, right, bottom);
        dc.DrawLine(c.x, bottom, right, bottom);
    }
    if (!m_initDone)
        RecalcPanes();
    m_panes[0].Draw(dc);
    if (m_split)
        m_panes[1].Draw(dc);
}

void IclButton::OnPaint(wxPaintEvent& WXUNUSED(event))
{
    wxAutoBufferedPaintDC dc(this);
    Render(dc);
}

void IclButton::OnLeftDown(wxMouseEvent& WXUNUSED(event))
{
    m_pressed = true;
    // A second press while held (e.g. another mouse button's release lost)
    // must not capture twice.
    if (!HasCapture())
        CaptureMouse();
    Invalidate();
}

void IclButton::OnLeftUp(wxMouseEvent& WXUNUSED(event))
{
    if (HasCapture())
        ReleaseMouse();
    if (!m_pressed)
        return;
    m_pressed = false;
    Invalidate();
    // Last, because the handler may run a nested event loop or close the panel.
    wxCommandEvent click(wxEVT_BUTTON, GetId());
    click.SetEventObject(this);
    ProcessWindowEvent(click);
}

void IclButton::OnSize(wxSizeEvent& event)
{
    m_initDone = false;
    Invalidate();
    event.Skip();
}

// Another window took the mouse between press and release: the press is
// abandoned, so the button rises again and no click follows.
void IclButton::OnCaptureLost(wxMouseCaptureLostEvent& WXUNUSED(event))
{
    if (!m_pressed)
        return;
    m_pressed = false;
    Invalidate();
}
