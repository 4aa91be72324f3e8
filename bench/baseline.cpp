// dek-baseline: the cost floors that the panel is measured against. A bare
// frame of the panel's size with a 100 ms timer that does nothing; it takes
// the panel's options so that scripts start both alike, and maps no block.
// With --text the same frame also lays out the labels of a card reader's
// panel before it is shown, as any window that places text must, and draws
// them, each once, in the two fonts of the lamp buttons: what drawing any
// text at all costs (the text libraries, the fonts and their caches), apart
// from what the panel itself adds.
//
//   dek-baseline [-M n] [-S n] [-m] [-s] [--size WIDTHxHEIGHT] [--text]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/font.h>
#include <wx/frame.h>
#include <wx/gdicmn.h>
#include <wx/timer.h>

#include "baseline-args.h"

namespace {

enum { ID_IDLE_TIMER = 6100 };

class BaselineFrame : public wxFrame {
public:
    explicit BaselineFrame(const BaselineArgs& args)
        : wxFrame(nullptr, wxID_ANY, "dek baseline", wxDefaultPosition, wxDefaultSize, wxDEFAULT_FRAME_STYLE),
          m_timer(this, ID_IDLE_TIMER)
    {
        SetClientSize(args.width, args.height);
        m_timer.Start(100, wxTIMER_CONTINUOUS);
    }

    void Present(const BaselineArgs& args)
    {
        Show(true);
        if (args.startMin)
            Iconize(true);
    }

private:
    // The panel's poll reads the block and sets lamps; the floor does neither.
    void OnTimer(wxTimerEvent& WXUNUSED(event)) {}

    wxTimer m_timer;

    wxDECLARE_EVENT_TABLE();
};

wxBEGIN_EVENT_TABLE(BaselineFrame, wxFrame)
    EVT_TIMER(ID_IDLE_TIMER, BaselineFrame::OnTimer)
wxEND_EVENT_TABLE()

// The labels a card reader's panel shows, in the boxes where it shows them,
// at the point sizes its lamp buttons ask for ("Q:" and "P:", which the
// panel shows in the desktop's own font, in the second of the two).
struct Label {
    const char* text;
    const char* face;
    int points;
    wxRect box;
};
const Label kLabels[] = {
    {"START", "Courier New", 19, {4, 4, 90, 50}},     {"DATA", "Courier New", 19, {98, 4, 90, 50}},
    {"ALLOCATE", "Courier New", 19, {192, 4, 90, 50}}, {"HOLD", "Courier New", 19, {286, 4, 90, 50}},
    {"STOP", "Courier New", 19, {380, 4, 90, 50}},    {"05", "Arial", 18, {4, 58, 60, 50}},
    {"ENG", "Courier New", 19, {158, 58, 90, 50}},    {"Q:", "Arial", 9, {4, 112, 16, 17}},
    {"P:", "Arial", 9, {24, 112, 16, 17}},
};

wxFont LabelFont(const Label& l)
{
    return wxFont(l.points, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false, l.face,
                  wxFONTENCODING_DEFAULT);
}

class TextFrame : public BaselineFrame {
public:
    explicit TextFrame(const BaselineArgs& args) : BaselineFrame(args)
    {
        // Each label centred in its place, measured as a layout would.
        for (const Label& l : kLabels) {
            const wxFont font = LabelFont(l);
            wxCoord w = 0, h = 0;
            GetTextExtent(l.text, &w, &h, nullptr, nullptr, &font);
            m_at.push_back(wxPoint(l.box.x + (l.box.width - w) / 2, l.box.y + (l.box.height - h) / 2));
        }
    }

private:
    void OnPaint(wxPaintEvent& WXUNUSED(event))
    {
        wxPaintDC dc(this);
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        for (size_t i = 0; i < m_at.size(); ++i) {
            dc.SetFont(LabelFont(kLabels[i]));
            dc.DrawText(kLabels[i].text, m_at[i]);
        }
    }

    std::vector<wxPoint> m_at;

    wxDECLARE_EVENT_TABLE();
};

wxBEGIN_EVENT_TABLE(TextFrame, BaselineFrame)
    EVT_PAINT(TextFrame::OnPaint)
wxEND_EVENT_TABLE()

class BaselineApp : public wxApp {
public:
    bool OnInit() override
    {
        // The toolkit's own command-line handling is bypassed, as the panel
        // reads its raw arguments too.
        BaselineArgs args;
        std::string error;
        std::vector<std::string> raw;
        for (int i = 1; i < argc; ++i)
            raw.emplace_back(argv[i].utf8_str().data());
        if (!ParseBaselineArgs(raw, &args, &error)) {
            fprintf(stderr, "dek-baseline: %s\n", error.c_str());
            exit(2);
        }
        BaselineFrame* frame = args.text ? new TextFrame(args) : new BaselineFrame(args);
        frame->Present(args);
        return true;
    }
};

}  // namespace

wxIMPLEMENT_APP(BaselineApp);
