// dek-baseline: the cost floors that the panel is measured against. A bare
// frame of the panel's size with a 100 ms timer that does nothing; it takes
// the panel's options so that scripts start both alike, and maps no block.
// With --text the same frame also draws the labels of a card reader's panel,
// each once, in the two fonts of the lamp buttons: what drawing any text at
// all costs (the text libraries, the fonts and their caches), apart from what
// the panel itself adds.
//
//   dek-baseline [-M n] [-S n] [-m] [-s] [--size WIDTHxHEIGHT] [--text]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/font.h>
#include <wx/frame.h>
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

// The labels a card reader's panel shows, about where it shows them, at the
// point sizes its lamp buttons ask for ("Q:" and "P:", which the panel shows
// in the desktop's own font, in the second of the two).
struct Label {
    const char* text;
    const char* face;
    int points;
    int x, y;
};
const Label kLabels[] = {
    {"START", "Courier New", 19, 4, 4},  {"DATA", "Courier New", 19, 98, 4},
    {"ALLOCATE", "Courier New", 19, 192, 4}, {"HOLD", "Courier New", 19, 286, 4},
    {"STOP", "Courier New", 19, 380, 4},  {"05", "Arial", 18, 4, 58},
    {"ENG", "Courier New", 19, 158, 58}, {"Q:", "Arial", 9, 4, 112},
    {"P:", "Arial", 9, 24, 112},
};

class TextFrame : public BaselineFrame {
public:
    explicit TextFrame(const BaselineArgs& args) : BaselineFrame(args) {}

private:
    void OnPaint(wxPaintEvent& WXUNUSED(event))
    {
        wxPaintDC dc(this);
        dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
        for (const Label& l : kLabels) {
            dc.SetFont(wxFont(l.points, wxFONTFAMILY_DEFAULT, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_NORMAL, false, l.face,
                              wxFONTENCODING_DEFAULT));
            dc.DrawText(l.text, l.x, l.y);
        }
    }

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
