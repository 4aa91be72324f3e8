#include "dek-panel.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <vector>

#include <wx/app.h>
#include <wx/display.h>
#include <wx/fileconf.h>
#include <wx/gauge.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include "dek-buttons.h"
#include "dek-desktop.h"
#include "dek-enumdlg.h"
#include "dek-panel-internal.h"
#include "dek-peer.h"
#include "dek-placement.h"
#include "mkshareditem.h"
#include "peri-enums.h"
#include "peri-names.h"

// The frame's construction, its layout, its place on the screen and its
// closing. The other rooms of DekFrame: dek-panel-configure (faces),
// dek-panel-poll, dek-panel-requests, dek-panel-allocate, dek-panel-host and
// dek-panel-claim.

namespace {

const wxSize kLampSize(92, 50);

const char* const kAppName = "dek";
const char* const kVendorName = "VOV 1900-Edarodizadu";

}  // namespace

// ---------------------------------------------------------------------------
// Hooks

DekHooks& DekHooks::Get()
{
    static DekHooks hooks;
    return hooks;
}

void DekHooks::Reset()
{
    endProcess = nullptr;
    chooseFile = nullptr;
    bell = nullptr;
    arguments = nullptr;
}

// ---------------------------------------------------------------------------
// DekFrame

wxBEGIN_EVENT_TABLE(DekFrame, wxFrame)
    EVT_CLOSE(DekFrame::OnClose)
    EVT_TIMER(ID_POLL_TIMER, DekFrame::OnTimer)
    EVT_BUTTON(ID_HOLD, DekFrame::OnHold)
    EVT_BUTTON(ID_ALLOCATE, DekFrame::OnAllocate)
    EVT_BUTTON(ID_START, DekFrame::OnStart)
    EVT_BUTTON(ID_STOP, DekFrame::OnStop)
    EVT_BUTTON(ID_DATA, DekFrame::OnData)
    EVT_BUTTON(ID_CODE, DekFrame::OnCode)
    EVT_BUTTON(ID_ENGINEER, DekFrame::OnEngineer)
    EVT_BUTTON(ID_BUTTON1, DekFrame::OnButton1)
    EVT_BUTTON(ID_ALLOCATE2, DekFrame::OnAllocate2)
    EVT_BUTTON(ID_HOLD2, DekFrame::OnHold2)
wxEND_EVENT_TABLE()

DekFrame::DekFrame()
    : wxFrame(nullptr, wxID_ANY, "RER 1900 Edaduvorar", wxDefaultPosition, wxDefaultSize,
              wxDEFAULT_FRAME_STYLE),
      m_ctlHOLD(nullptr),
      m_ctlALLOCATE(nullptr),
      m_ctlSTART(nullptr),
      m_ctlSTOP(nullptr),
      m_ctlDATA(nullptr),
      m_ctlCODE(nullptr),
      m_ctlENG(nullptr),
      m_ctlOperNO(nullptr),
      m_ctlHOLD2(nullptr),
      m_ctlALLOCATE2(nullptr),
      m_ctlSTART2(nullptr),
      m_ctlSTOP2(nullptr),
      m_ctlDATA2(nullptr),
      m_ctlCurrFile(nullptr),
      m_ctlPunchFile(nullptr),
      m_ctlProgress(nullptr),
      m_ctlBtn1(nullptr),
      m_ctlQ(nullptr),
      m_ctlP(nullptr),
      m_timer(this, ID_POLL_TIMER),
      m_CPU(0),
      m_SI(0),
      m_started(false),
      m_startMin(false),
      m_allocated(false),
      m_hold(false),
      m_code(false),
      m_eng(false),
      m_askClose(true),
      m_periType(0),
      m_share(nullptr),
      m_shareSize(0)
{
    BuildLayout();
    SetDekIcon(*this);
    // The P/Q controls do not exist yet (CreatePQControls).
    for (wxWindow* w : std::initializer_list<wxWindow*>{m_ctlDATA, m_ctlCODE, m_ctlProgress, m_ctlCurrFile,
                                                        m_ctlHOLD2, m_ctlALLOCATE2, m_ctlSTART2, m_ctlSTOP2,
                                                        m_ctlDATA2, m_ctlPunchFile})
        w->Hide();

    if (!ParseArgs()) {
        FatalBox("Error: invalid command-line parameter");
        EndProgram(2);
        return;
    }
    if (m_CPU == 0) {
        FatalBox("Error: no machine number given (-M nnn)");
        EndProgram(2);
        return;
    }
    while (m_SI == 0) {
        DekEnumDlg dlg(this);
        dlg.m_CPU = m_CPU;
        int rc = dlg.ShowModal();
        if (rc != wxID_OK) {
            Close(true);
            return;
        }
        m_SI = dlg.m_Chan;
    }
    if (!ClaimPeripheral())
        return;

    SetInitialFaces();
    if (!ConnectSharedArea()) {
        EndProgram(1);
        return;
    }
    if (m_ended)
        return;

    RestorePlacement();
    Show(true);
    if (m_startMin)
        RequestIconize();
}

DekFrame::~DekFrame() {}

bool DekFrame::SendIdleEvents(wxIdleEvent& event)
{
    // The toolkit visits every window after every event it dispatches, each
    // poll tick among them; walking twenty controls ten times a second cost
    // more than the poll itself. None of them has anything to do then: no
    // children, no idle or update-UI handlers (the modes set at start-up),
    // and dialogs are visited as top-level windows. So the visit ends here.
    OnInternalIdle();
    if (wxIdleEvent::GetMode() == wxIDLE_PROCESS_ALL || HasExtraStyle(wxWS_EX_PROCESS_IDLE)) {
        event.SetEventObject(this);
        HandleWindowEvent(event);
        return event.MoreRequested();
    }
    return false;
}

void DekFrame::EndProgram(int status)
{
    // The process ends at once, without the toolkit's orderly shutdown; under
    // test the hook only records the status and start-up stops here.
    if (m_ended)
        return;
    m_ended = true;
    ReleaseClaim();  // exit() would leave the lock file behind
    DekHooks& hooks = DekHooks::Get();
    if (hooks.endProcess)
        hooks.endProcess(status);
    else
        exit(status);
}

int DekFrame::Box(const wxString& msg, long style)
{
    // As wxMessageBox shows it, but known to the panel, which dismisses it
    // when it closes meanwhile.
    wxMessageDialog dlg(nullptr, msg, "dek", style);
    int answer;
    {
        BusyScope busy(*this, &dlg);
        answer = dlg.ShowModal();
    }
    switch (answer) {
    case wxID_OK:
        return wxOK;
    case wxID_YES:
        return wxYES;
    case wxID_NO:
        return wxNO;
    default:
        return wxCANCEL;
    }
}

void DekFrame::ErrorBox(const wxString& msg)
{
    Box(msg, wxOK | wxICON_ERROR);
}

void DekFrame::FatalBox(const wxString& msg)
{
    // The panel ends after this box: a panel started while it is up is the
    // channel's panel.
    ReleaseClaim();
    wxString line = FatalMessageLine(msg);
    wxCharBuffer text = line.mb_str(wxConvLibc);
    fprintf(stderr, "%s\n", text.data() != nullptr ? text.data() : line.utf8_str().data());
    fflush(stderr);
    ErrorBox(msg);
}

void DekFrame::Refuse()
{
    DekHooks& hooks = DekHooks::Get();
    if (hooks.bell)
        hooks.bell();
    else
        wxBell();
}

void DekFrame::RequestIconize()
{
    ++m_iconizeRequests;
    Iconize(true);
}

IclButton* DekFrame::MakeBtn(int id, const wxSize& size)
{
    return new IclButton(this, id, wxDefaultPosition, size);
}

void DekFrame::BuildLayout()
{
    m_ctlHOLD = MakeBtn(ID_HOLD, kLampSize);
    m_ctlALLOCATE = MakeBtn(ID_ALLOCATE, kLampSize);
    m_ctlSTART = MakeBtn(ID_START, kLampSize);
    m_ctlSTOP = MakeBtn(ID_STOP, kLampSize);
    m_ctlDATA = MakeBtn(ID_DATA, kLampSize);
    m_ctlCODE = MakeBtn(ID_CODE, kLampSize);
    m_ctlENG = MakeBtn(ID_ENGINEER, kLampSize);
    m_ctlOperNO = MakeBtn(wxID_ANY, wxSize(60, 50));
    m_ctlHOLD2 = MakeBtn(ID_HOLD2, kLampSize);
    m_ctlALLOCATE2 = MakeBtn(ID_ALLOCATE2, kLampSize);
    m_ctlSTART2 = MakeBtn(ID_START2, kLampSize);
    m_ctlSTOP2 = MakeBtn(ID_STOP2, kLampSize);
    m_ctlDATA2 = MakeBtn(ID_DATA2, kLampSize);
    m_ctlCurrFile = MakeBtn(wxID_ANY, wxSize(300, 36));
    m_ctlPunchFile = MakeBtn(wxID_ANY, wxSize(300, 36));

    m_ctlProgress = new wxGauge(this, wxID_ANY, 100, wxDefaultPosition, wxSize(160, 20), wxGA_HORIZONTAL);

    wxBoxSizer* row1 = new wxBoxSizer(wxHORIZONTAL);
    row1->Add(m_ctlSTART, 0, wxRIGHT, 2);
    row1->Add(m_ctlDATA, 0, wxRIGHT, 2);
    row1->Add(m_ctlALLOCATE, 0, wxRIGHT, 2);
    row1->Add(m_ctlHOLD, 0, wxRIGHT, 2);
    row1->Add(m_ctlSTOP, 0, 0, 0);

    wxBoxSizer* row2 = new wxBoxSizer(wxHORIZONTAL);
    row2->Add(m_ctlOperNO, 0, 0, 0);
    row2->Add(m_ctlCODE, 0, wxRIGHT, 2);
    row2->Add(m_ctlENG, 0, wxRIGHT, 4);
    row2->Add(m_ctlCurrFile, 1, wxRIGHT | wxALIGN_CENTER_VERTICAL, 4);
    row2->Add(m_ctlProgress, 0, wxALIGN_CENTER_VERTICAL, 0);

    wxBoxSizer* row3 = new wxBoxSizer(wxHORIZONTAL);
    row3->Add(m_ctlHOLD2, 0, wxRIGHT, 2);
    row3->Add(m_ctlALLOCATE2, 0, wxRIGHT, 2);
    row3->Add(m_ctlSTART2, 0, wxRIGHT, 2);
    row3->Add(m_ctlSTOP2, 0, wxRIGHT, 2);
    row3->Add(m_ctlDATA2, 0, 0, 0);
    row3->Add(m_ctlPunchFile, 0, wxLEFT | wxALIGN_CENTER_VERTICAL, 2);

    // Only the labels: the button and entries that go between them are
    // created for the one type that shows them (CreatePQControls).
    wxBoxSizer* row4 = new wxBoxSizer(wxHORIZONTAL);
    row4->Add(new wxStaticText(this, wxID_ANY, "Q:", wxDefaultPosition, wxDefaultSize, 0), 0,
              wxRIGHT | wxALIGN_CENTER_VERTICAL, 2);
    row4->Add(new wxStaticText(this, wxID_ANY, "P:", wxDefaultPosition, wxDefaultSize, 0), 0,
              wxRIGHT | wxALIGN_CENTER_VERTICAL, 2);
    m_rowPQ = row4;

    wxBoxSizer* column = new wxBoxSizer(wxVERTICAL);
    column->Add(row1, 0, wxALL, 4);
    column->Add(row2, 0, wxLEFT | wxRIGHT | wxBOTTOM, 4);
    column->Add(row3, 0, wxLEFT | wxRIGHT | wxBOTTOM, 4);
    column->Add(row4, 0, wxLEFT | wxRIGHT | wxBOTTOM, 4);
    SetSizerAndFit(column, true);
}


bool DekFrame::ParseArgs()
{
    DekHooks& hooks = DekHooks::Get();
    wxArrayString args;
    if (hooks.arguments)
        args = hooks.arguments();
    else if (wxTheApp)
        args = wxTheApp->argv.GetArguments();
    DekArgs parsed;
    bool ok = ParseDekArgs(args, parsed);
    m_CPU = parsed.cpu;
    m_SI = parsed.si;
    m_startMin = parsed.startMin;
    m_started = parsed.started;
    return ok;
}


// The settings store, or null when its file is one the panel leaves alone.
static std::unique_ptr<wxFileConfig> OpenSettings()
{
    // The store would assert on some damage, or lose what it read when it
    // writes the file back: such a file is neither read nor written, and the
    // placement is simply not kept.
    if (!SettingsFileIsUsable(wxFileConfig::GetLocalFileName(kAppName)))
        return nullptr;
    return std::make_unique<wxFileConfig>(kAppName, kVendorName, wxEmptyString, wxEmptyString,
                                          wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_GLOBAL_FILE);
}

static std::vector<wxRect> DisplayClientAreas()
{
    std::vector<wxRect> areas;
    for (unsigned i = 0; i < wxDisplay::GetCount(); ++i)
        areas.push_back(wxDisplay(i).GetClientArea());
    return areas;
}

wxString DekFrame::PlacementKey() const
{
    return wxString::Format("Placement/Id-%u-%u", m_CPU, m_SI);
}

void DekFrame::RestorePlacement()
{
    // A damaged or unreadable settings file is reported by the store in
    // dialogs of its own; the panel just keeps its default position.
    wxLogNull quiet;
    std::unique_ptr<wxFileConfig> settings = OpenSettings();
    if (!settings)
        return;
    wxFileConfig& cfg = *settings;
    wxString key = PlacementKey();
    long x = -1;
    long y = -1;
    if (!cfg.Read(key + "/x", &x, -1L))
        x = -1;
    if (!cfg.Read(key + "/y", &y, -1L))
        y = -1;
    int xi = static_cast<int32_t>(x);
    int yi = static_cast<int32_t>(y);
    if (xi < 0 || yi < 0)
        return;
    // The screens may have changed since the position was stored: the
    // whole window goes onto the display that would hold most of it, at the
    // size it is shown at (FitAndHoldSize), so that a window closed wholly
    // on a display comes back exactly where it was.
    std::vector<wxRect> displays = DisplayClientAreas();
    if (displays.empty())
        return;
    Move(PlacedPosition(wxPoint(xi, yi), GetSize(), displays));
    KeepChosenPosition(*this);
}

bool DekFrame::IsReader() const
{
    return m_periType == PT_TR || m_periType == PT_CR;
}

SAUtils::ReaderFields DekFrame::Reader() const
{
    return SAUtils::ReaderFieldsOf(m_share->m_U, m_readerPunch);
}

wxString DekFrame::SystemRoot() const
{
    if (!m_share)
        return wxString();
    return wxString(SAUtils::FieldText(m_share->m_SystemRoot).c_str(), wxConvLibc);
}

void DekFrame::StorePlacement()
{
    // Declared first so that it also covers the store's flush on closing.
    wxLogNull quiet;
    std::unique_ptr<wxFileConfig> settings = OpenSettings();
    if (!settings)
        return;
    wxString key = PlacementKey();
    wxPoint pos = GetPosition();
    settings->Write(key + "/x", static_cast<long>(pos.x));
    settings->Write(key + "/y", static_cast<long>(pos.y));
}

void DekFrame::OnClose(wxCloseEvent& event)
{
    m_closed = true;
    ReleaseClaim();
    StorePlacement();
    m_timer.Stop();
    DropBlock();  // unmapped at once, or when the handlers below have returned
    if (m_waitDepth > 0) {
        // A handler is still waiting further up the stack: the frame goes
        // away when that wait has ended (SetAndAwaitFalse, ChooseFile, Box).
        // Its dialogs go with the panel, answered as by their close box.
        m_destroyAfterWait = true;
        Hide();
        for (wxDialog* dlg : std::vector<wxDialog*>(m_dialogs))
            DismissDialog(*dlg);
        return;
    }
    event.Skip();
}
