// The panel program: one window for one peripheral of an emulated machine.
#include <wx/app.h>
#include <wx/cmdline.h>

#include "dek-desktop.h"
#include "dek-panel.h"

class DekApp : public wxApp {
public:
    virtual ~DekApp() {}
    bool Initialize(int& argc, wxChar** argv) override;
    bool OnInit() override;
    void OnInitCmdLine(wxCmdLineParser& parser) override;
    bool OnCmdLineParsed(wxCmdLineParser& parser) override;
};

bool DekApp::Initialize(int& argc, wxChar** argv)
{
    // The backend is fixed when the toolkit opens its display, here.
    PreferX11Backend();
    return wxApp::Initialize(argc, argv);
}

bool DekApp::OnInit()
{
    if (!wxApp::OnInit())
        return false;
    // No window here handles update-UI or idle events; without these the
    // toolkit sends both to every control after every poll tick, which is
    // most of what an idle panel costs.
    wxUpdateUIEvent::SetMode(wxUPDATE_UI_PROCESS_SPECIFIED);
    wxIdleEvent::SetMode(wxIDLE_PROCESS_SPECIFIED);
    // The frame ends the process itself on a fatal start-up error; otherwise
    // it is the only top-level window and the program ends with it.
    new DekFrame();
    return true;
}

void DekApp::OnInitCmdLine(wxCmdLineParser& parser)
{
    // Only these four: the toolkit's own -h and --verbose are not wanted,
    // which is why the base class is not called.
    static const wxCmdLineEntryDesc entries[] = {
        {wxCMD_LINE_SWITCH, "m", nullptr, "start minimised", wxCMD_LINE_VAL_NONE, 0},
        {wxCMD_LINE_SWITCH, "s", nullptr, "start running", wxCMD_LINE_VAL_NONE, 0},
        {wxCMD_LINE_OPTION, "M", nullptr, "machine number", wxCMD_LINE_VAL_STRING, 0},
        {wxCMD_LINE_OPTION, "S", nullptr, "SI channel", wxCMD_LINE_VAL_STRING, 0},
        {wxCMD_LINE_NONE, nullptr, nullptr, nullptr, wxCMD_LINE_VAL_NONE, 0},
    };
    parser.SetDesc(entries);
}

bool DekApp::OnCmdLineParsed(wxCmdLineParser& WXUNUSED(parser))
{
    // The values are read from the raw arguments by the frame.
    return true;
}

wxIMPLEMENT_APP(DekApp);
