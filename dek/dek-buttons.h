// The lamp button: a custom-drawn push button whose face is one lamp, or two
// lamps stacked when split, each with its own label, colours and font.
#pragma once

#include <wx/colour.h>
#include <wx/dc.h>
#include <wx/gdicmn.h>
#include <wx/string.h>
#include <wx/window.h>

#include "dek-access.h"

// One lamp pane of a button.
struct IclPane {
    wxColour clrOff{0, 0, 0};
    wxColour clrOn{255, 255, 127};
    wxColour textOff{255, 255, 255};
    wxColour textOn{255, 255, 255};
    wxRect rect{0, 0, 0, 0};
    wxString text;
    wxString fontname{"Courier New"};
    int fontPts = 14;
    bool lit = false;

    void Draw(wxDC& dc) const;
};

// Per-pane operations take a trailing `top`: false addresses m_panes[0], the
// upper pane (the whole face when not split); true addresses m_panes[1], the
// lower pane of a split button.
//
// A button created without an id of its own (wxID_ANY) is a display: the
// keyboard passes it by and screen readers read it as a label. The others
// are pressed by a click, by Space or Return while focused, and by a screen
// reader's press action, all with the same command event.
class IclButton : public wxWindow, public DekAccessSource {
public:
    IclButton(wxWindow* parent, wxWindowID id, const wxPoint& pos = wxDefaultPosition,
              const wxSize& size = wxDefaultSize);
    virtual ~IclButton();

    void SetText(const wxString& s, bool top);
    void SetColour(wxColour off, wxColour on, bool top);
    void SetTextColour(wxColour off, wxColour on, bool top);
    void Light(bool on, bool top);
    void Split(bool on);
    void SetDekFont(int deciPoints, const wxString& name, bool top);
    void SetTextSize(int deciPoints, bool top);
    void SetNoEdges(bool on);
    bool IsLit(bool top) const;

    // The whole face as the paint handler draws it, into any context.
    void Render(wxDC& dc);

    // Read-only views for tests and tools.
    const IclPane& Pane(bool top) const { return m_panes[top ? 1 : 0]; }
    bool IsSplit() const { return m_split; }
    bool IsPressed() const { return m_pressed; }
    bool IsDisplay() const { return m_display; }
    // The focus mark shows: the button has the focus and the keyboard has
    // been used in its window (as the toolkit shows focus).
    bool ShowsFocusMark() const;

    bool AcceptsFocus() const override { return !m_display; }
    bool AcceptsFocusFromKeyboard() const override { return !m_display && wxWindow::AcceptsFocusFromKeyboard(); }
    DekAccessInfo AccessInfo() const override;
    void AccessPress() override;

private:
    IclPane& PaneRef(bool top) { return m_panes[top ? 1 : 0]; }
    void RecalcPanes();
    void Invalidate();

    void OnPaint(wxPaintEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnKey(wxKeyEvent& event);
    void OnFocus(wxFocusEvent& event);
    void Click();

    IclPane m_panes[2];
    bool m_split = false;
    bool m_noEdges = false;
    bool m_initDone = false;
    bool m_pressed = false;
    bool m_display = false;
    bool m_keyPress = false;   // m_pressed by Space or Return, not by the mouse
    bool m_markShown = false;  // as last painted

    wxDECLARE_EVENT_TABLE();
};
