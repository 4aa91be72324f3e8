// dek-baseline: the cost floor that the panel is measured against. A bare
// frame of the panel's size with a 100 ms timer that does nothing; it takes
// the panel's options so that scripts start both alike, and maps no block.
//
//   dek-baseline [-M n] [-S n] [-m] [-s] [--size WIDTHxHEIGHT]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <wx/app.h>
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
        new BaselineFrame(args);
        return true;
    }
};

}  // namespace

wxIMPLEMENT_APP(BaselineApp);
