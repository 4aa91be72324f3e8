#include "dek-panel.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <initializer_list>
#include <cstdint>
#include <memory>
#include <cstdlib>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/cursor.h>
#include <wx/display.h>
#include <wx/evtloop.h>
#include <wx/filedlg.h>
#include <wx/fileconf.h>
#include <wx/gauge.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "dek-buttons.h"
#include "dek-desktop.h"
#include "dek-enumdlg.h"
#include "dek-panel-face.h"
#include "dek-placement.h"
#include "dek-peer.h"
#include "mkshareditem.h"
#include "peri-enums.h"
#include "peri-names.h"

namespace {

const wxColour kWhite(255, 255, 255);
const wxColour kBlack(0, 0, 0);
const wxColour kDarkGreen(0, 127, 0);
const wxColour kGreen(0, 255, 0);
const wxColour kDarkRed(127, 0, 0);
const wxColour kRed(200, 0, 0);
const wxColour kDarkYellow(127, 127, 63);
const wxColour kYellow(200, 200, 0);
const wxColour kDarkGrey(63, 63, 63);
const wxColour kGrey(127, 127, 127);
const wxColour kPaleGrey(240, 240, 240);

const wxSize kLampSize(92, 50);

const char* const kAppName = "dek";
const char* const kVendorName = "VOV 1900-Edarodizadu";

void ErrorBox(const wxString& msg)
{
    wxMessageBox(msg, "dek", wxOK | wxICON_ERROR, nullptr);
}

// A box after which the program ends: a terminal or a script that started
// the panel learns why from standard error, even before the box is answered.
void FatalBox(const wxString& msg)
{
    wxString line = FatalMessageLine(msg);
    wxCharBuffer text = line.mb_str(wxConvLibc);
    fprintf(stderr, "%s\n", text.data() != nullptr ? text.data() : line.utf8_str().data());
    fflush(stderr);
    ErrorBox(msg);
}

wxString UnsupportedTypeText(unsigned type)
{
    return wxString::Format("Device type %u not supported", type);
}

wxString ChangedPeripheralText(UINT si, const DekPeripheral& now)
{
    return wxString::Format("Peripheral changed\nChannel %u is now %s, type %u; start a new panel for it", si,
                            wxString(now.periph.c_str(), wxConvLibc), now.type);
}

// The block's name is looked up once a second, not at every poll.
const int kTicksPerNameCheck = 10;
// A request that the host has left for this long is shown as waiting.
const std::chrono::milliseconds kHostWaitShown(500);

wxString VersionMismatchText()
{
    return wxString::Format("Shared area version mismatch\nExpected 0x%08X", SHAREBASE_VERSION);
}

wxString SizeInvalidText(UINT claimed, size_t mapped)
{
    return wxString::Format("Shared area size invalid\nThe block claims %u bytes; %zu are mapped", claimed, mapped);
}

const char* const kSharedAreaLostText = "Shared area lost\nThe emulator host removed or shrank the block";

// A flag of the block taken as its byte. The host may leave any value in it,
// and loading a byte other than 0 or 1 as a bool is undefined.
bool FlagSet(const volatile bool& flag)
{
    return reinterpret_cast<const volatile unsigned char&>(flag) != 0;
}

bool StartsWithNoCase(const wxString& s, const wxString& prefix)
{
    return s.length() >= prefix.length() && s.Left(prefix.length()).CmpNoCase(prefix) == 0;
}

// Lets the toolkit handle what is pending while a request waits. Events keep
// flowing, so another press may start a second wait inside this one; that is
// allowed, and the inner wait must keep the loop working too. The toolkit
// refuses a yield inside a yield (and Yield(true) there does nothing), so
// inside one the pending events are dispatched one by one instead.
void PumpEvents()
{
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop != nullptr && loop->IsYielding()) {
        while (loop->Pending())
            loop->Dispatch();
        wxTheApp->ProcessPendingEvents();
    } else {
        wxTheApp->Yield(true);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Pure decisions

bool ParseDecimalUint32(const wxString& text, UINT& value)
{
    if (text.empty())
        return false;
    UINT v = 0;  // unsigned arithmetic: a longer number keeps its low 32 bits
    for (wxUniChar c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10u + static_cast<UINT>(c.GetValue() - '0');
    }
    value = v;
    return true;
}

bool ParseDekArgs(const wxArrayString& args, DekArgs& out)
{
    // A machine number or channel that is not a whole base-10 number (-Mx,
    // -M=5, -M 5x) is refused like any other bad parameter rather than
    // silently becoming some other number.
    for (size_t i = 1; i < args.size(); ++i) {
        const wxString& a = args[i];
        if (a == "-M" && i + 1 < args.size()) {
            if (!ParseDecimalUint32(args[++i], out.cpu))
                return false;
        } else if (a.StartsWith("-M")) {
            if (!ParseDecimalUint32(a.Mid(2), out.cpu))
                return false;
        } else if (a == "-S" && i + 1 < args.size()) {
            if (!ParseDecimalUint32(args[++i], out.si))
                return false;
        } else if (a.StartsWith("-S")) {
            if (!ParseDecimalUint32(a.Mid(2), out.si))
                return false;
        } else if (a == "-m") {
            out.startMin = true;
        } else if (a == "-s") {
            out.started = true;
        } else if (a.StartsWith("-")) {
            return false;
        }
    }
    return true;
}

bool ScanOctalEntry(const wxString& text, UINT& value)
{
    wxCharBuffer buf = text.mb_str(wxConvLibc);
    const char* s = buf.data() ? buf.data() : "";
    while (*s == ' ' || (*s >= '\t' && *s <= '\r'))
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') {
        negative = *s == '-';
        ++s;
    }
    uint64_t v = 0;
    for (; *s >= '0' && *s <= '7'; ++s) {
        v = v * 8 + static_cast<unsigned>(*s - '0');
        if (v > UINT32_MAX)
            return false;
    }
    UINT u = static_cast<UINT>(v);
    value = negative ? 0u - u : u;
    return true;
}

wxString LastPathComponent(const wxString& fn)
{
    int p = fn.Find('/', true);
    if (p == wxNOT_FOUND)
        p = fn.Find('\\', true);
    return p == wxNOT_FOUND ? fn : fn.Mid(static_cast<size_t>(p) + 1);
}

wxString OutputExtension(unsigned type)
{
    switch (type) {
    case PT_TP:
        return "tpe";
    case PT_LP:
    case PT_CP:
        return "txt";
    case PT_GP:
        return "gplt";
    default:
        return wxString();
    }
}

DekOutputTarget MapOutputChoice(const wxString& path, const wxString& filename, const wxString& sysRoot)
{
    DekOutputTarget t;
    if (StartsWithNoCase(filename, "dev_")) {
        // A host device: the name after the prefix, up to its first dot and
        // then marked with ':'; the chosen file's directory plays no part.
        wxString dev = filename.Mid(4);
        int dot = dev.Find('.');
        if (dot != wxNOT_FOUND)
            dev = dev.Left(static_cast<size_t>(dot)) + ":";
        t.usable = !dev.empty();
        t.isDevice = true;
        t.shown = dev;
        t.rel = dev;
        return t;
    }
    if (sysRoot.empty())
        return t;
    // The file must lie under the root itself, so the separator after the
    // root is required: /srv/root2/x is not under /srv/root. A root given
    // with a trailing '/' is compared without it.
    wxString root = sysRoot;
    while (root.EndsWith("/"))
        root.RemoveLast();
    size_t len = root.length();
    if (path.length() <= len + 1 || path[len] != '/' || !StartsWithNoCase(path, root))
        return t;
    t.usable = true;
    t.shown = path;
    t.rel = path.Mid(len + 1);
    return t;
}

bool ClaimedSizeFits(UINT claimed, size_t mapped)
{
    return claimed >= sizeof(S_SHAREBASE) && claimed <= mapped;
}

wxString PanelTitle(UINT opsNo, const wxString& periph, DekHostState state)
{
    wxString title = wxString::Format("U%02u - %s", opsNo, periph);
    switch (state) {
    case DekHostState::Attached:
        break;
    case DekHostState::Waiting:
        title += " (waiting for the host)";
        break;
    case DekHostState::Gone:
        title += " (host gone)";
        break;
    }
    return title;
}

wxString FatalMessageLine(const wxString& message)
{
    wxString line = message;
    line.Replace("\r\n", "; ");
    line.Replace("\n", "; ");
    line.Replace("\r", "; ");
    return "dek: " + line;
}

DekPeripheral PeripheralOf(const S_SHAREBASE& block)
{
    DekPeripheral p;
    p.type = block.m_PeriType;
    p.periph = SAUtils::FieldText(block.m_Periph);
    p.devTyp = block.m_DevTyp;
    return p;
}

// Why a freshly mapped block cannot be used, or nothing. A block that claims
// to be shorter than the header and device records it must hold, or longer
// than the object really is, is as unusable as one of another version.
static wxString AttachRefusal(const S_SHAREBASE& b, size_t mapped)
{
    if (b.m_Version != SHAREBASE_VERSION)
        return VersionMismatchText();
    if (!ClaimedSizeFits(b.m_SharedAreaSize, mapped))
        return SizeInvalidText(b.m_SharedAreaSize, mapped);
    return wxString();
}

DekReattach JudgeReattach(const DekPeripheral& was, const S_SHAREBASE& now, size_t mapped)
{
    // Checked as at start-up: the version, then the size the block claims.
    if (!AttachRefusal(now, mapped).empty())
        return DekReattach::Refuse;
    DekPeripheral is = PeripheralOf(now);
    if (FaceFor(is.type, is.periph, is.devTyp) == DekFace::Unsupported)
        return DekReattach::Unsupported;
    // The faces are built once, for one peripheral: another type or model
    // needs a panel of its own.
    if (is.type != was.type || is.periph != was.periph || is.devTyp != was.devTyp)
        return DekReattach::Changed;
    return DekReattach::Resume;
}

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

void DekFrame::EndProgram(int status)
{
    // The process ends at once, without the toolkit's orderly shutdown; under
    // test the hook only records the status and start-up stops here.
    if (m_ended)
        return;
    m_ended = true;
    m_peer.reset();  // exit() would leave the lock file behind
    DekHooks& hooks = DekHooks::Get();
    if (hooks.endProcess)
        hooks.endProcess(status);
    else
        exit(status);
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

// The P/Q interface's button and entries, in their places around the labels.
// Built for that type alone: the push button and the entries cost more to
// create than all the lamp buttons together, and no other face shows them.
void DekFrame::CreatePQControls()
{
    m_ctlBtn1 = new wxButton(this, ID_BUTTON1, "Send P/Q", wxDefaultPosition, wxDefaultSize, 0);
    m_ctlQ = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0);
    m_ctlP = new wxTextCtrl(this, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0);
    m_rowPQ->Insert(0, m_ctlBtn1, 0, wxRIGHT | wxALIGN_CENTER_VERTICAL, 4);
    m_rowPQ->Insert(2, m_ctlQ, 0, wxRIGHT, 6);
    m_rowPQ->Insert(4, m_ctlP, 0, 0, 0);
}

void DekFrame::SetInitialFaces()
{
    m_ctlCurrFile->SetColour(kPaleGrey, kPaleGrey, false);
    m_ctlCurrFile->SetTextColour(kBlack, kBlack, false);
    m_ctlCurrFile->SetDekFont(190, "Courier New", false);
    m_ctlCurrFile->SetNoEdges(true);

    m_ctlPunchFile->SetColour(kPaleGrey, kPaleGrey, false);
    m_ctlPunchFile->SetTextColour(kBlack, kBlack, false);
    m_ctlPunchFile->SetDekFont(190, "Courier New", false);
    m_ctlPunchFile->SetNoEdges(true);

    m_ctlHOLD->SetText("HOLD", false);
    m_ctlHOLD->SetColour(kDarkYellow, kYellow, false);
    m_ctlHOLD->SetTextColour(kWhite, kWhite, false);
    m_ctlHOLD->SetDekFont(190, "Courier New", false);
    m_ctlHOLD->Light(false, false);

    m_ctlHOLD2->SetText("HOLD", false);
    m_ctlHOLD2->SetColour(kDarkYellow, kYellow, false);
    m_ctlHOLD2->SetTextColour(kWhite, kWhite, false);
    m_ctlHOLD2->Light(false, false);

    m_ctlALLOCATE->SetText("ALLOCATE", false);
    m_ctlALLOCATE->SetColour(kDarkGreen, kGreen, false);
    m_ctlALLOCATE->SetTextColour(kWhite, kWhite, false);
    m_ctlALLOCATE->SetDekFont(190, "Courier New", false);

    m_ctlALLOCATE2->SetText("ALLOCATE", false);
    m_ctlALLOCATE2->SetColour(kDarkGreen, kGreen, false);
    m_ctlALLOCATE2->SetTextColour(kWhite, kWhite, false);

    m_ctlSTART->Split(true);
    m_ctlSTART->SetText("START", false);
    m_ctlSTART->SetColour(kDarkGreen, kGreen, false);
    m_ctlSTART->SetColour(kDarkGreen, kGreen, true);
    m_ctlSTART->SetTextColour(kWhite, kWhite, false);
    m_ctlSTART->Light(true, true);
    m_ctlSTART->Light(false, false);

    m_ctlSTOP->SetText("STOP", false);
    m_ctlSTOP->SetColour(kDarkRed, kRed, false);
    m_ctlSTOP->SetTextColour(kWhite, kWhite, false);
    m_ctlSTOP->SetDekFont(190, "Courier New", false);

    m_ctlDATA->SetTextColour(kWhite, kWhite, false);
    m_ctlDATA->SetColour(kDarkGrey, kGrey, false);

    m_ctlCODE->Split(true);
    m_ctlCODE->SetColour(kDarkGrey, kGrey, false);
    m_ctlCODE->SetColour(kDarkGrey, kGrey, true);
    m_ctlCODE->SetText("CODE1", true);
    m_ctlCODE->SetText("CODE2", false);
    m_ctlCODE->SetTextColour(kWhite, kWhite, false);
    m_ctlCODE->SetTextColour(kWhite, kWhite, true);

    m_ctlENG->SetText("ENG", false);
    m_ctlENG->SetColour(kDarkRed, kRed, false);
    m_ctlENG->SetTextSize(190, false);
    m_ctlENG->SetTextColour(kWhite, kWhite, false);

    m_ctlOperNO->SetColour(kGrey, kGrey, false);
    m_ctlOperNO->SetDekFont(180, "Arial", false);
    m_ctlOperNO->SetTextColour(kWhite, kWhite, false);
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

bool DekFrame::ConnectSharedArea()
{
    char name[64];
    SAUtils::MakeSharedAreaname(m_CPU, m_SI, name, sizeof name);
    size_t mapped = 0;
    SAUtils::SharedAreaIdentity identity;
    PSHAREBASE p;
    while ((p = SAUtils::OpenPeripheralSharedArea(name, &mapped, &identity)) == nullptr)
        wxMilliSleep(100);

    wxString refusal = AttachRefusal(*p, mapped);
    if (!refusal.empty()) {
        FatalBox(refusal);
        SAUtils::ReleaseSharedArea(p, mapped);
        return false;
    }
    // The length released is the one mapped, whatever the host wrote.
    m_share = p;
    m_shareSize = mapped;
    m_periType = p->m_PeriType;
    RememberAttachment(identity);

    ConfigureForDeviceType();
    if (m_ended)
        return true;

    ShowIdentity();
    FitAndHoldSize(*this);
    TabInScreenOrder(*this);
    m_timer.Start(100, wxTIMER_CONTINUOUS);
    return true;
}

void DekFrame::ConfigureForDeviceType()
{
    const DekFace face = FaceFor(m_periType, SAUtils::FieldText(m_share->m_Periph), m_share->m_DevTyp);
    m_readerPunch = face == DekFace::ReaderPunch;
    if (FaceFollowsAnInputFile(face)) {
        *Reader().discWhileFileOpen = false;
        m_ctlProgress->Show(true);
        m_ctlCurrFile->Show(true);
    }
    switch (face) {
    case DekFace::OnOffReader:
    case DekFace::OnOffPunch:
        m_ctlSTART->SetText("ON", false);
        m_ctlALLOCATE->SetText("START", false);
        m_ctlHOLD->SetText("STOP", false);
        m_ctlSTOP->Hide();
        break;
    case DekFace::ReaderPunch:
        m_ctlALLOCATE2->Show(true);
        m_ctlHOLD2->Show(true);
        break;
    case DekFace::Reader:
    case DekFace::CardReader:
        m_ctlDATA->Show(true);
        m_ctlDATA->SetText("DATA", false);
        m_ctlDATA->SetColour(kGrey, kWhite, false);
        break;
    case DekFace::LinePrinter:
        m_ctlDATA->Show(true);
        m_ctlDATA->SetText("LOAD", false);
        m_ctlDATA->SetColour(kDarkGreen, kGreen, false);
        break;
    case DekFace::Drum:
        m_ctlSTART->Split(true);
        m_ctlSTART->SetColour(kDarkRed, kRed, false);
        m_ctlSTART->SetColour(kDarkRed, kRed, true);
        m_ctlSTART->SetText("RESET", false);
        m_ctlSTART->SetText("hot", true);
        m_ctlSTART->Light(false, false);
        m_ctlSTART->Light(false, true);
        m_ctlSTART->SetTextColour(kWhite, kWhite, false);
        m_ctlALLOCATE->SetTextColour(kWhite, kWhite, false);
        m_ctlALLOCATE->Split(true);
        m_ctlALLOCATE->SetColour(kDarkGreen, kGreen, false);
        m_ctlALLOCATE->SetColour(kDarkGrey, kGrey, true);
        m_ctlALLOCATE->SetText("START", false);
        m_ctlALLOCATE->SetText("slow", true);
        m_ctlHOLD->Hide();
        break;
    case DekFace::SyncMultiplexor:
        m_ctlHOLD->SetText("DISC", false);
        m_ctlALLOCATE->SetText("ONLINE", false);
        break;
    case DekFace::Multiplexor:
        m_ctlHOLD->SetText("Allocate", false);
        break;
    case DekFace::PQInterface:
        CreatePQControls();
        break;
    case DekFace::Punch:
    case DekFace::CardPunch:
    case DekFace::Plotter:
    case DekFace::HdDrum:
    case DekFace::PbDevice:
        break;
    case DekFace::Unsupported:
        FatalBox(UnsupportedTypeText(m_periType));
        EndProgram(1);
        break;
    }
    ApplyFaceTips(*this, face);
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

void DekFrame::UpdateLights()
{
    // Dark while the host is gone, whatever a handler that was running then
    // goes on to do.
    if (m_hostGone)
        return;
    m_ctlENG->Light(m_eng, false);
    m_ctlSTART->Light(m_periType != PT_DR && m_started, false);
    m_ctlCODE->Light(m_code, false);
    m_ctlCODE->Light(!m_code, true);
    m_ctlALLOCATE->Light(m_started && m_allocated, false);
    if (m_periType != PT_HD)
        m_ctlHOLD->Light(m_started && m_hold, false);
}

bool DekFrame::TestAndReset(volatile bool& rb)
{
    if (!FlagSet(rb))
        return false;
    rb = false;
    return true;
}

// Keeps the panel alive while it waits for the host or for the operator in a
// modal dialog: a close that comes in meanwhile (the poll's host-down rule,
// the window's close box) releases the block at once but leaves destroying
// the frame to the end of the outermost wait, so that the waiting handler
// never runs on a deleted frame.
class DekFrame::BusyScope {
public:
    explicit BusyScope(DekFrame& frame) : m_frame(frame) { ++m_frame.m_waitDepth; }
    ~BusyScope() { m_frame.LeaveBusy(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    DekFrame& m_frame;
};

void DekFrame::LeaveBusy()
{
    --m_waitDepth;
    if (m_waitDepth == 0 && m_destroyAfterWait) {
        m_destroyAfterWait = false;
        Destroy();  // deferred by the toolkit: members stay readable until idle
    }
}

// Shows a request that the host leaves pending: after a while in the title
// and as the busy pointer, until the wait ends however it ends.
class DekFrame::HostWaitScope {
public:
    explicit HostWaitScope(DekFrame& frame) : m_frame(frame), m_since(std::chrono::steady_clock::now()) {}
    ~HostWaitScope()
    {
        if (m_shown)
            m_frame.ShowHostWait(false);
    }
    HostWaitScope(const HostWaitScope&) = delete;
    HostWaitScope& operator=(const HostWaitScope&) = delete;

    void Tick()
    {
        if (!m_shown && std::chrono::steady_clock::now() - m_since >= kHostWaitShown) {
            m_shown = true;
            m_frame.ShowHostWait(true);
        }
    }

private:
    DekFrame& m_frame;
    std::chrono::steady_clock::time_point m_since;
    bool m_shown = false;
};

void DekFrame::SetAndAwaitFalse(volatile bool& rb)
{
    // The request's data must reach the host no later than its flag; the
    // fence keeps the compiler from moving the plain stores of the data past
    // the volatile store of the flag.
    std::atomic_thread_fence(std::memory_order_release);
    rb = true;
    {
        BusyScope busy(*this);
        HostWaitScope waiting(*this);
        // A close during the wait releases the block and clears m_share, and
        // a host that goes away takes the block with it: the wait then ends
        // without touching the flag again.
        const unsigned attachment = m_attachment;
        while (m_share != nullptr && attachment == m_attachment && m_started && FlagSet(rb)) {
            wxMilliSleep(1);
            waiting.Tick();
            PumpEvents();
        }
    }
}

void DekFrame::UpdateGauge()
{
    // Computed in 32 bits and taken as signed, as the host's two counters may
    // be caught between updates; the gauge asserts on values outside its range.
    const SAUtils::ReaderFields reader = Reader();
    int remaining = static_cast<int32_t>(*reader.filesize - *reader.filePosition);
    if (remaining < 0)
        remaining = 0;
    if (remaining > m_ctlProgress->GetRange())
        remaining = m_ctlProgress->GetRange();
    m_ctlProgress->SetValue(remaining);
}

bool DekFrame::LoseBlock()
{
    // Checked before anything else is read: the host may have truncated the
    // object (the guard then shows zero pages) or republished it under
    // another layout.
    wxString why;
    if (!SAUtils::IsSharedAreaIntact(m_share))
        why = kSharedAreaLostText;
    else if (m_share->m_Version != SHAREBASE_VERSION)
        why = VersionMismatchText();
    else
        return false;
    AbandonPanel(why);
    return true;
}

void DekFrame::OnTimer(wxTimerEvent& WXUNUSED(event))
{
    AnswerLaterPanels();
    if (m_hostGone) {
        // A tick still queued when the panel closed finds no block to replace.
        if (m_share != nullptr)
            TryReattach();
        return;
    }
    if (m_share == nullptr || LoseBlock() || HostLeftTheBlock())
        return;
    // The punch's medium has ended: its file is no longer the one it writes.
    if (m_readerPunch && TestAndReset(m_share->m_U.m_rp.m_Disc2))
        ShowPunchFile(wxEmptyString);
    if (TestAndReset(m_share->m_Disc)) {
        // Only the readers have the keep-open flag; for the others the byte
        // belongs to another record and means nothing here.
        bool keptOpen = IsReader() && FlagSet(*Reader().discWhileFileOpen);
        if (!keptOpen) {
            m_ctlCurrFile->SetText(wxEmptyString, false);
            m_ctlProgress->SetValue(0);
        }
        m_ctlCurrFile->Refresh(true);
        m_allocated = false;
        return;
    }
    if (FlagSet(m_share->m_HostUp)) {
        if (m_startMin) {
            m_startMin = false;
            RequestIconize();
        }
        if (m_allocated && IsReader())
            UpdateGauge();
        UpdateLights();
    } else if (FlagSet(m_share->m_CloseOnHostDown)) {
        m_timer.Stop();
        Close(true);
    } else {
        UpdateLights();
    }
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
    m_peer.reset();  // a panel started from now on is the first again
    StorePlacement();
    m_timer.Stop();
    if (m_share != nullptr) {
        SAUtils::ReleaseSharedArea(m_share, m_shareSize);
        m_share = nullptr;
    }
    if (m_waitDepth > 0) {
        // A handler is still waiting further up the stack: the frame goes
        // away when that wait has ended (SetAndAwaitFalse, ChooseFile).
        m_destroyAfterWait = true;
        Hide();
        return;
    }
    event.Skip();
}

// ---------------------------------------------------------------------------
// Operator buttons

void DekFrame::OnStart(wxCommandEvent& WXUNUSED(event))
{
    if (m_started)
        return;
    m_started = true;
    UpdateLights();
}

void DekFrame::OnStop(wxCommandEvent& WXUNUSED(event))
{
    if (m_started) {
        if (m_allocated && m_share != nullptr)
            m_share->m_Oper = false;
        m_started = false;
        m_allocated = false;
        UpdateLights();
        return;
    }
    if (m_askClose) {
        int answer;
        {
            BusyScope busy(*this);
            answer = wxMessageBox("Cancel?", "dek", wxYES_NO | wxICON_QUESTION, nullptr);
        }
        if (m_closed || answer != wxYES)
            return;
    }
    Close(true);
}

void DekFrame::OnHold(wxCommandEvent& WXUNUSED(event))
{
    if (!m_started || m_share == nullptr)
        return;
    if (m_allocated) {
        m_hold = true;
        // A multiplexor's hold takes it off line: stopping first makes the
        // request go out without a wait.
        if (m_periType == PT_MX)
            m_started = false;
        SetAndAwaitFalse(m_share->m_Hold);
        if (m_periType == PT_HD)
            m_allocated = false;
    } else if (!IsReader()) {
        Refuse();
    } else if (FlagSet(*Reader().discWhileFileOpen)) {
        SetAndAwaitFalse(*Reader().closefile);
        m_ctlCurrFile->SetText(wxEmptyString, false);
        m_ctlProgress->SetValue(0);
        m_ctlCurrFile->Refresh(true);
    } else {
        Refuse();
    }
    UpdateLights();
}

void DekFrame::OnCode(wxCommandEvent& WXUNUSED(event))
{
    if (!m_started)
        return;
    m_code = !m_code;
    UpdateLights();
}

void DekFrame::OnEngineer(wxCommandEvent& WXUNUSED(event))
{
    m_eng = !m_eng;
    UpdateLights();
    if (m_started && m_share != nullptr)
        m_share->m_DebugSwitch = m_eng;
}

bool DekFrame::StoreText(char* field, size_t width, const wxString& text)
{
    // A name that the locale's encoding cannot carry would reach the host
    // empty or mangled: refuse it instead.
    wxCharBuffer buf = text.mb_str(wxConvLibc);
    if (buf.data() == nullptr || (buf.length() == 0 && !text.empty()))
        return false;
    SAUtils::StoreFieldText(field, width, buf.data());
    return true;
}

bool DekFrame::ChooseFile(wxFileDialog& dlg, DekFileChoice& out)
{
    bool ok;
    {
        BusyScope busy(*this);
        DekHooks& hooks = DekHooks::Get();
        if (hooks.chooseFile) {
            ok = hooks.chooseFile(dlg, out);
        } else {
            ok = dlg.ShowModal() == wxID_OK;
            if (ok) {
                out.path = dlg.GetPath();
                out.filename = dlg.GetFilename();
            }
        }
    }
    // Closed while the dialog was up: nothing more to do.
    return ok && m_share != nullptr;
}

void DekFrame::OnData(wxCommandEvent& WXUNUSED(event))
{
    if (m_share == nullptr)
        return;
    if (m_periType != PT_LP) {
        Refuse();
        return;
    }
    wxString flDir = wxString::Format("%s/Formatloops", SystemRoot());
    wxFileDialog dlg(this, "Select format loop", flDir, wxEmptyString, "Format loops|*.ini|All files|*.*",
                     wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    DekFileChoice choice;
    if (!ChooseFile(dlg, choice))
        return;
    if (!StoreText(m_share->m_U.m_lp.m_FormatLoopName, sizeof m_share->m_U.m_lp.m_FormatLoopName,
                   choice.filename)) {
        Refuse();
        return;
    }
    SetAndAwaitFalse(m_share->m_U.m_lp.m_LoadFormatLoop);
}

void DekFrame::OnButton1(wxCommandEvent& WXUNUSED(event))
{
    if (m_share == nullptr || m_periType != PT_40 || m_ctlQ == nullptr || m_ctlP == nullptr)
        return;
    UINT q = 0;
    UINT p = 0;
    // An entry too large for a 32-bit word is refused rather than cut.
    if (!ScanOctalEntry(m_ctlQ->GetValue(), q) || !ScanOctalEntry(m_ctlP->GetValue(), p)) {
        Refuse();
        return;
    }
    m_share->m_U.m_pt.Q = q;
    m_share->m_U.m_pt.P = p;
    SetAndAwaitFalse(m_share->m_U.m_pt.B);
}

// The second unit of a reader-punch is its punch, with request flags of its
// own so that the host can tell its presses from the reader's. The host
// names the punch's output file: it has written the name into m_FilenameTP
// by the time it clears the allocate flag, and the panel shows it. Other
// faces have no second unit, and those bytes belong to their own records.
void DekFrame::OnAllocate2(wxCommandEvent& WXUNUSED(event))
{
    if (m_share == nullptr || !m_readerPunch)
        return;
    SetAndAwaitFalse(m_share->m_U.m_rp.m_Allocate2);
    if (m_share != nullptr && !FlagSet(m_share->m_U.m_rp.m_Allocate2))
        ShowPunchFile(wxString(SAUtils::FieldText(m_share->m_U.m_rp.m_FilenameTP).c_str(), wxConvLibc));
}

void DekFrame::OnHold2(wxCommandEvent& WXUNUSED(event))
{
    if (m_share != nullptr && m_readerPunch)
        SetAndAwaitFalse(m_share->m_U.m_rp.m_Hold2);
}

void DekFrame::ShowPunchFile(const wxString& name)
{
    // Shown from the first allocation on, so the face before it stays as it was.
    m_ctlPunchFile->SetText(name, false);
    if (!name.empty() && !m_ctlPunchFile->IsShown()) {
        m_ctlPunchFile->Show(true);
        Layout();
    }
    m_ctlPunchFile->Refresh(true);
}

// ---------------------------------------------------------------------------
// ALLOCATE

void DekFrame::ShowFilename(const wxString& fn)
{
    m_ctlCurrFile->SetText(LastPathComponent(fn), false);
    m_ctlCurrFile->Refresh(true);
}

void DekFrame::OnAllocate(wxCommandEvent& WXUNUSED(event))
{
    if (m_started && m_allocated) {
        Refuse();
        return;
    }
    if (!m_started || m_share == nullptr)
        return;
    if (FlagSet(m_share->m_PhysicalDevice)) {
        AllocatePhysicalDevice();
        return;
    }
    wxString sysRoot = SystemRoot();
    wxString dataPath = sysRoot + "/data";
    switch (m_periType) {
    case PT_DR:
    case PT_HD:
        AllocateUnitOnLine();
        break;
    case PT_MX:
        SetAndAwaitFalse(m_share->m_Allocate);
        m_ctlALLOCATE->Light(true, true);
        m_ctlHOLD->Light(false, false);
        break;
    case PT_40:
    // A file name written for PT_PB would land on top of its own record, so
    // its ALLOCATE is a bare request like the P/Q interface's.
    case PT_PB:
        SetAndAwaitFalse(m_share->m_Allocate);
        m_ctlALLOCATE->Light(true, true);
        break;
    case PT_GP:
    case PT_TP:
    case PT_CP:
    case PT_LP:
        AllocateOutput(sysRoot, dataPath);
        break;
    default:
        AllocateInput(dataPath);
        break;
    }
}

void DekFrame::AllocatePhysicalDevice()
{
    ShowFilename(wxString(SAUtils::FieldText(m_share->m_PhysicalDeviceName).c_str(), wxConvLibc));
    SetAndAwaitFalse(m_share->m_Allocate);
    m_allocated = true;
    m_hold = false;
    UpdateLights();
}

void DekFrame::AllocateUnitOnLine()
{
    m_ctlALLOCATE->Light(true, true);
    SetAndAwaitFalse(m_share->m_Allocate);
    m_allocated = m_share != nullptr && FlagSet(m_share->m_Oper);
    if (!m_allocated)
        Refuse();
}

void DekFrame::AllocateOutput(const wxString& sysRoot, const wxString& dataPath)
{
    wxString wildcard = wxString::Format("Output files|*.%s|All files|*.*", OutputExtension(m_periType));
    wxFileDialog dlg(this, "Select output file", dataPath, wxEmptyString, wildcard, wxFD_SAVE);
    DekFileChoice choice;
    if (!ChooseFile(dlg, choice))
        return;
    DekOutputTarget target = MapOutputChoice(choice.path, choice.filename, sysRoot);
    if (!target.usable) {
        BusyScope busy(*this);
        ErrorBox("File is not in a usable directory");
        return;
    }
    char* field = nullptr;
    size_t width = 0;
    switch (m_periType) {
    case PT_TP:
        field = m_share->m_U.m_tp.m_Filename;
        width = sizeof m_share->m_U.m_tp.m_Filename;
        break;
    case PT_LP:
        field = m_share->m_U.m_lp.m_Filename;
        width = sizeof m_share->m_U.m_lp.m_Filename;
        break;
    case PT_CP:
        field = m_share->m_U.m_cp.m_Filename;
        width = sizeof m_share->m_U.m_cp.m_Filename;
        break;
    default:
        field = m_share->m_U.m_gp.m_Filename;
        width = sizeof m_share->m_U.m_gp.m_Filename;
        break;
    }
    wxCharBuffer probe = target.rel.mb_str(wxConvLibc);
    if (probe.data() == nullptr || probe.length() == 0) {
        Refuse();
        return;
    }
    if (m_periType == PT_LP)
        m_share->m_U.m_lp.m_IsDevice = true;
    StoreText(field, width, target.rel);
    ShowFilename(target.shown);
    SetAndAwaitFalse(m_share->m_Allocate);
    m_allocated = true;
    m_hold = false;
    UpdateLights();
}

void DekFrame::AllocateInput(const wxString& dataPath)
{
    if (FlagSet(*Reader().discWhileFileOpen)) {
        // The host kept the file open across its disconnection: resume it.
        m_allocated = true;
        m_hold = false;
        SetAndAwaitFalse(m_share->m_Allocate);
        UpdateLights();
        return;
    }
    bool isCR = m_periType == PT_CR;
    wxString title = wxString::Format("Select %s file for input", isCR ? "CR" : "TR");
    wxString filter = isCR ? "Text files|*.txt;*.lis;*.text|Source files|*.plan;*.plas;*.for;*.cob|All files|*.*"
                           : "Tape files|*.tp*;*.tape|Text files|*.txt;*.lis|All files|*.*";
    wxFileDialog dlg(this, title, dataPath, wxEmptyString, filter, wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    DekFileChoice choice;
    if (!ChooseFile(dlg, choice))
        return;
    if (!StoreText(Reader().filename, Reader().filenameWidth, choice.path)) {
        Refuse();
        return;
    }
    // Set before the wait, so that polls during it already follow the file.
    m_allocated = true;
    m_hold = false;
    SetAndAwaitFalse(m_share->m_Allocate);
    if (m_share != nullptr && *Reader().filesize != 0) {
        UINT size = *Reader().filesize;
        int range = size > static_cast<UINT>(INT_MAX) ? INT_MAX : static_cast<int>(size);
        m_ctlProgress->SetRange(range);
        m_ctlProgress->SetValue(range);
        m_ctlProgress->Show(true);
    }
    ShowFilename(choice.path);
    UpdateLights();
}

// ---------------------------------------------------------------------------
// The host behind the block

bool DekFrame::TryBefore(wxEvent& event)
{
    // Presses would reach nobody, or a block that no host serves any more.
    if (m_hostGone && event.GetEventType() == wxEVT_BUTTON) {
        Refuse();
        return true;
    }
    return wxFrame::TryBefore(event);
}

std::string DekFrame::BlockName() const
{
    char name[64];
    SAUtils::MakeSharedAreaname(m_CPU, m_SI, name, sizeof name);
    return name;
}

void DekFrame::RememberAttachment(const SAUtils::SharedAreaIdentity& identity)
{
    m_identity = identity;
    m_attachedAs = PeripheralOf(*m_share);
    m_ticksSinceNameCheck = 0;
}

void DekFrame::ShowIdentity()
{
    m_opsNo = m_share->m_OpsNo;
    m_periph = wxString(SAUtils::FieldText(m_share->m_Periph).c_str(), wxConvLibc);
    m_ctlOperNO->SetText(wxString::Format("%02u", m_opsNo), false);
    RefreshHostState();
}

void DekFrame::RefreshHostState()
{
    DekHostState state = m_hostGone ? DekHostState::Gone
                         : m_hostWaits > 0 ? DekHostState::Waiting
                                           : DekHostState::Attached;
    wxString title = PanelTitle(m_opsNo, m_periph, state);
    if (GetTitle() != title)
        SetTitle(title);
    // Only on a change: setting even the plain pointer costs the toolkit a
    // cursor of its own.
    bool busy = state == DekHostState::Waiting;
    if (busy != m_busyPointer) {
        m_busyPointer = busy;
        SetCursor(busy ? wxCursor(wxCURSOR_ARROWWAIT) : wxNullCursor);
    }
}

// A restarted host withdraws the block and publishes a new object under the
// same name; a host that withdrew it for good leaves no object at all. Both
// leave the mapping intact, so only the name tells.
bool DekFrame::HostLeftTheBlock()
{
    if (++m_ticksSinceNameCheck < kTicksPerNameCheck)
        return false;
    m_ticksSinceNameCheck = 0;
    SAUtils::SharedAreaIdentity now;
    if (SAUtils::IdentifySharedArea(BlockName().c_str(), &now) && now == m_identity)
        return false;
    if (FlagSet(m_share->m_CloseOnHostDown)) {
        m_timer.Stop();
        Close(true);
        return true;
    }
    DetachFromHost();
    TryReattach();  // the new block may be there already
    return true;
}

void DekFrame::DetachFromHost()
{
    m_hostGone = true;
    ++m_attachment;  // ends the waits on the old block
    m_startPaneLit = m_ctlSTART->IsLit(true);
    DarkenLamps();
    RefreshHostState();
}

void DekFrame::DarkenLamps()
{
    for (IclButton* b : {m_ctlHOLD, m_ctlALLOCATE, m_ctlSTART, m_ctlSTOP, m_ctlDATA, m_ctlCODE, m_ctlENG, m_ctlHOLD2,
                         m_ctlALLOCATE2, m_ctlSTART2, m_ctlSTOP2, m_ctlDATA2}) {
        b->Light(false, false);
        b->Light(false, true);
    }
}

void DekFrame::TryReattach()
{
    size_t mapped = 0;
    SAUtils::SharedAreaIdentity identity;
    PSHAREBASE p = SAUtils::OpenPeripheralSharedArea(BlockName().c_str(), &mapped, &identity);
    if (p == nullptr)
        return;
    wxString why;
    switch (JudgeReattach(m_attachedAs, *p, mapped)) {
    case DekReattach::Resume:
        Reattach(p, mapped, identity);
        return;
    case DekReattach::Refuse:
        why = AttachRefusal(*p, mapped);
        break;
    case DekReattach::Unsupported:
        why = UnsupportedTypeText(p->m_PeriType);
        break;
    case DekReattach::Changed:
        why = ChangedPeripheralText(m_SI, PeripheralOf(*p));
        break;
    }
    SAUtils::ReleaseSharedArea(p, mapped);
    AbandonPanel(why);
}

void DekFrame::Reattach(PSHAREBASE block, size_t mapped, const SAUtils::SharedAreaIdentity& identity)
{
    PSHAREBASE old = m_share;
    size_t oldSize = m_shareSize;
    m_share = block;
    m_shareSize = mapped;
    RememberAttachment(identity);
    SAUtils::ReleaseSharedArea(old, oldSize);
    m_hostGone = false;

    // The new host has none of the old one's media.
    if (FaceFollowsAnInputFile(FaceFor(m_periType, m_attachedAs.periph, m_attachedAs.devTyp)))
        *Reader().discWhileFileOpen = false;
    m_allocated = false;
    m_ctlCurrFile->SetText(wxEmptyString, false);
    m_ctlCurrFile->Refresh(true);
    m_ctlProgress->SetValue(0);
    if (m_readerPunch)
        ShowPunchFile(wxEmptyString);

    m_ctlSTART->Light(m_startPaneLit, true);
    ShowIdentity();
    UpdateLights();
}

void DekFrame::AbandonPanel(const wxString& why)
{
    m_timer.Stop();
    SAUtils::ReleaseSharedArea(m_share, m_shareSize);
    m_share = nullptr;
    // The program ends without closing its window, so the placement is kept
    // here, before the message that the operator may leave standing.
    StorePlacement();
    {
        BusyScope busy(*this);
        FatalBox(why);
    }
    EndProgram(1);
    // Only reached under test, where the exit is watched: the panel closes.
    Close(true);
}

void DekFrame::ShowHostWait(bool on)
{
    m_hostWaits += on ? 1 : -1;
    RefreshHostState();
}

// ---------------------------------------------------------------------------
// One panel per peripheral

bool DekFrame::ClaimPeripheral()
{
    m_peer = std::make_unique<DekPeerLink>(m_CPU, m_SI);
    switch (m_peer->ClaimPeripheral()) {
    case DekPeerLink::Claim::First:
        return true;
    case DekPeerLink::Claim::WokeTheFirst:
        m_peer.reset();
        EndProgram(0);
        return false;
    case DekPeerLink::Claim::FirstUnreachable:
        break;
    }
    m_peer.reset();
    FatalBox(wxString::Format("A panel for machine %u channel %u is already open", m_CPU, m_SI));
    EndProgram(1);
    return false;
}

void DekFrame::AnswerLaterPanels()
{
    if (m_peer && m_peer->TakeWakeUp())
        BringToFront();
}

void DekFrame::BringToFront()
{
    if (IsIconized())
        Iconize(false);
    Raise();
}
