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
#include <wx/toplevel.h>

#include <gtk/gtk.h>

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
    EVT_KEY_DOWN(IclButton::OnKey)
    EVT_KEY_UP(IclButton::OnKey)
    EVT_SET_FOCUS(IclButton::OnFocus)
    EVT_KILL_FOCUS(IclButton::OnFocus)
wxEND_EVENT_TABLE()

IclButton::IclButton(wxWindow* parent, wxWindowID id, const wxPoint& pos, const wxSize& size)
    : wxWindow(parent, id, pos, size, 0, wxASCII_STR(wxPanelNameStr)), m_display(id == wxID_ANY)
{
    // Every wanted pixel is painted here; the buffered paint context needs it.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetCanFocus(!m_display);
    ExposeToAccessibility(*this, this);
}

IclButton::~IclButton()
{
    ExposeToAccessibility(*this, nullptr);
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
    AccessibleChanged(*this);
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
    // A dotted frame in the label's colour, inside the bevel: the lamps keep
    // their colours, and the label's colour stands out on them.
    m_markShown = ShowsFocusMark();
    if (m_markShown) {
        const IclPane& pane = m_panes[0];
        dc.SetPen(wxPen(pane.lit ? pane.textOn : pane.textOff, 1, wxPENSTYLE_DOT));
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(wxRect(c).Deflate(3));
    }
}

bool IclButton::ShowsFocusMark() const
{
    if (m_display || !HasFocus())
        return false;
    wxWindow* top = wxGetTopLevelParent(const_cast<IclButton*>(this));
    GtkWidget* window = top != nullptr ? top->GetHandle() : nullptr;
    return window != nullptr && GTK_IS_WINDOW(window) && gtk_window_get_focus_visible(GTK_WINDOW(window));
}

void IclButton::OnPaint(wxPaintEvent& WXUNUSED(event))
{
    wxAutoBufferedPaintDC dc(this);
    Render(dc);
}

void IclButton::OnLeftDown(wxMouseEvent& WXUNUSED(event))
{
    m_pressed = true;
    m_keyPress = false;
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
    m_keyPress = false;
    Invalidate();
    Click();
}

// Last in every handler that calls it: the panel's handler may run a nested
// event loop or close the panel.
void IclButton::Click()
{
    wxCommandEvent click(wxEVT_BUTTON, GetId());
    click.SetEventObject(this);
    ProcessWindowEvent(click);
}

// Space or Return goes down and up as the mouse button does: the button
// sinks, and the click follows the release. The key's repeats change nothing.
void IclButton::OnKey(wxKeyEvent& event)
{
    const int key = event.GetKeyCode();
    const bool press = !event.HasAnyModifiers() && (key == WXK_SPACE || key == WXK_RETURN || key == WXK_NUMPAD_ENTER);
    if (!press) {
        // Any key makes the toolkit show focus from now on.
        if (ShowsFocusMark() != m_markShown)
            Refresh(true);
        event.Skip();
        return;
    }
    if (event.GetEventType() == wxEVT_KEY_DOWN) {
        if (!m_pressed) {
            m_pressed = m_keyPress = true;
            Invalidate();
        } else if (ShowsFocusMark() != m_markShown) {
            Refresh(true);
        }
        return;
    }
    if (!m_pressed || !m_keyPress)
        return;
    m_pressed = m_keyPress = false;
    Invalidate();
    Click();
}

// Focus leaving ends a press by the keyboard without a click.
void IclButton::OnFocus(wxFocusEvent& event)
{
    if (event.GetEventType() == wxEVT_KILL_FOCUS && m_keyPress) {
        m_pressed = m_keyPress = false;
        Invalidate();
    }
    if (ShowsFocusMark() != m_markShown)
        Refresh(true);
    event.Skip();
}

DekAccessInfo IclButton::AccessInfo() const
{
    DekAccessInfo info;
    info.role = m_display ? DekAccessInfo::Role::Label : DekAccessInfo::Role::PushButton;
    info.name = m_panes[0].text;
    if (m_split && !m_panes[1].text.empty())
        info.name += (info.name.empty() ? "" : " ") + m_panes[1].text;
    info.lit = m_panes[0].lit;
    info.split = m_split;
    info.lowerLit = m_split && m_panes[1].lit;
    return info;
}

void IclButton::AccessPress()
{
    CallAfter(&IclButton::Click);
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
    m_pressed = m_keyPress = false;
    Invalidate();
}
