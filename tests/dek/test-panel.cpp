// The panel window on real shared blocks: command line, start-up paths, the
// faces of every device type, the lamps, the poll and the close.
#include "panel-harness.h"

#include "dek-placement.h"

#include <fstream>
#include <set>
#include <sys/stat.h>

#include <wx/button.h>
#include <wx/display.h>
#include <wx/filefn.h>
#include <wx/gauge.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "dek-enumdlg.h"
#include "dek-peer.h"
#include "proc.h"

using namespace panel_test;

namespace {

// The selection dialog, answered with a channel (OK) or cancelled; it must
// come with the panel's machine number.
class ExpectSelection : public wxExpectModalBase<DekEnumDlg, ExpectSelection> {
public:
    ExpectSelection(UINT machine, int answer, UINT chan = 0) : m_machine(machine), m_answer(answer), m_chan(chan) {}

protected:
    int OnInvoked(DekEnumDlg* dlg) const override
    {
        EXPECT_EQ(dlg->m_CPU, m_machine);
        dlg->m_Chan = m_chan;
        return m_answer;
    }

private:
    UINT m_machine;
    int m_answer;
    UINT m_chan;
};

// ---------------------------------------------------- Command line

TEST(ParseDekArgs, ReadsWholeDecimalsAndRefusesAnythingElse)
{
    struct Case {
        std::vector<const char*> args;
        bool ok;
        UINT cpu = 0, si = 0;
        bool min = false, started = false;
    };
    const Case cases[] = {
        {{"-M5", "-S7"}, true, 5, 7},
        {{"-M", "5", "-S", "7"}, true, 5, 7},
        {{"-S", "07", "-M", "005"}, true, 5, 7},
        {{"-m", "-M", "1", "-s", "-M2", "stray", "-S", "3", "-S4"}, true, 2, 4, true, true},  // later ones win
        {{"-M4294967295", "-S", "0"}, true, 4294967295u, 0},
        // Whole numbers wider than 32 bits keep their low 32 bits.
        {{"-M4294967301", "-S", "99999999999"}, true, 5, UINT(99999999999ULL)},
        {{"-M", "4294967296"}, true, 0, 0},
        {{"-ms"}, false}, {{"-M", "5", "-x"}, false}, {{"-"}, false}, {{"--M", "5"}, false}, {{"-m5"}, false},
        {{"-Mx"}, false}, {{"-M=5"}, false}, {{"-M", "5x"}, false}, {{"-M", "-5"}, false}, {{"-M", " 5"}, false},
        {{"-M", "0x10"}, false}, {{"-S"}, false},
    };
    for (const Case& c : cases) {
        wxArrayString argv;
        argv.push_back("dek");
        for (const char* s : c.args)
            argv.push_back(s);
        SCOPED_TRACE(wxJoin(argv, ' ').ToStdString());
        DekArgs a;
        ASSERT_EQ(ParseDekArgs(argv, a), c.ok);
        if (c.ok) {
            EXPECT_EQ(a.cpu, c.cpu);
            EXPECT_EQ(a.si, c.si);
            EXPECT_EQ(a.startMin, c.min);
            EXPECT_EQ(a.started, c.started);
        }
    }
}

// ----------------- What the operator and a calling script are told

TEST(PanelTitle, NamesTheUnitAndTheStateOfItsHost)
{
    EXPECT_EQ(PanelTitle(5, "CR1911/1", DekHostState::Attached), "U05 - CR1911/1");
    EXPECT_EQ(PanelTitle(123, "LP1933/1", DekHostState::Waiting), "U123 - LP1933/1 (waiting for the host)");
    EXPECT_EQ(PanelTitle(5, "CR1911/1", DekHostState::Gone), "U05 - CR1911/1 (host gone)");
}

TEST(FatalMessageLine, IsOneLineWithItsBreaksAsSemicolons)
{
    EXPECT_EQ(FatalMessageLine("Error: no machine number given (-M nnn)"),
              "dek: Error: no machine number given (-M nnn)");
    EXPECT_EQ(FatalMessageLine("Shared area version mismatch\nExpected 0x89000071"),
              "dek: Shared area version mismatch; Expected 0x89000071");
    EXPECT_EQ(FatalMessageLine("a\r\nb\n\nc\r"), "dek: a; b; ; c; ");
}

// -------------------------------------------------------- Start-up

using StartUp = PanelTest;

TEST_F(StartUp, RefusedCommandLinesShowTheirMessageAndEndWithStatus2)
{
    const std::pair<std::vector<wxString>, const char*> cases[] = {
        {{"-ms"}, "Error: invalid command-line parameter"},
        {{"-M", "0", "-S", "7"}, "Error: no machine number given (-M nnn)"}};
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(message);
        watch.exits.clear();
        wxTEST_DIALOG(Open(args), ErrorBox(message));
        EXPECT_EQ(watch.exits, std::vector<int>{2});
        EXPECT_TRUE(frame->Ended());
        EXPECT_FALSE(frame->IsShown());
        EXPECT_EQ(frame->m_share, nullptr);
        CloseAndFlush(frame);
    }
}

TEST_F(StartUp, WithoutAChannelTheSelectionDialogPicksOneOrClosesThePanel)
{
    Publish(PT_CP, "CP1920/2");
    // A chosen channel of 0 asks again; -S 0 is as good as no channel.
    wxTEST_DIALOG(Open(std::vector<wxString>{"-M", wxString::Format("%u", m_machine), "-S", "0"}),
                  ExpectSelection(m_machine, wxID_OK, 0), ExpectSelection(m_machine, wxID_OK, m_chan));
    EXPECT_EQ(frame->m_SI, m_chan);
    ASSERT_NE(frame->m_share, nullptr);
    EXPECT_EQ(frame->GetTitle(), "U07 - CP1920/2");
    EXPECT_TRUE(frame->IsShown());
    CloseAndFlush(frame);

    // Cancelled: closed and destroyed without being shown, the place stored.
    wxTEST_DIALOG(Open(std::vector<wxString>{"-M", wxString::Format("%u", m_machine)}),
                  ExpectSelection(m_machine, wxID_CANCEL));
    EXPECT_TRUE(watch.exits.empty());
    PumpUntilGone(frame);
    EXPECT_FALSE(frame);
    EXPECT_TRUE(wxFileConfig("dek", "VOV 1900-Edarodizadu").Exists(wxString::Format("Placement/Id-%u-0", m_machine)));
}

TEST_F(StartUp, ConstructionHidesTheOptionalControlsAndGivesTheInitialFaces)
{
    // An unsupported type stops start-up right after the faces are set and
    // before the device configuration has touched anything.
    Publish(5);
    wxTEST_DIALOG(Open(), ErrorBox("Device type 5 not supported"));
    EXPECT_EQ(frame->GetTitle(), "RER 1900 Edaduvorar");
    DekFrame& f = *frame;
    for (IclButton* w : {f.m_ctlSTART, f.m_ctlALLOCATE, f.m_ctlHOLD, f.m_ctlSTOP, f.m_ctlOperNO, f.m_ctlENG})
        EXPECT_TRUE(w->IsShown()) << w->GetId();
    for (IclButton* w : {f.m_ctlDATA, f.m_ctlCODE, f.m_ctlCurrFile, f.m_ctlHOLD2, f.m_ctlALLOCATE2, f.m_ctlSTART2,
                         f.m_ctlSTOP2, f.m_ctlDATA2})
        EXPECT_FALSE(w->IsShown()) << w->GetId();
    EXPECT_FALSE(f.m_ctlProgress->IsShown());
    // The P/Q controls come with the P/Q interface's configuration alone.
    EXPECT_EQ(f.m_ctlBtn1, nullptr);
    EXPECT_EQ(f.m_ctlQ, nullptr);
    EXPECT_EQ(f.m_ctlP, nullptr);

    EXPECT_EQ(f.m_ctlHOLD->GetId(), ID_HOLD);
    EXPECT_EQ(f.m_ctlDATA2->GetId(), ID_DATA2);
    EXPECT_EQ(f.m_ctlSTART->GetSize(), wxSize(92, 50));
    EXPECT_EQ(f.m_ctlOperNO->GetSize(), wxSize(60, 50));
    EXPECT_EQ(f.m_ctlCurrFile->GetSize(), wxSize(300, 36));
    EXPECT_EQ(f.m_ctlProgress->GetRange(), 100);

    // The split START: dark green "START" over a lit unlabelled half.
    const IclButton& start = *f.m_ctlSTART;
    EXPECT_TRUE(start.IsSplit());
    EXPECT_EQ(start.Pane(false).text, "START");
    EXPECT_FALSE(start.IsLit(false));
    EXPECT_TRUE(start.IsLit(true));
    EXPECT_EQ(start.Pane(true).clrOn, wxColour(0, 255, 0));
    EXPECT_EQ(start.Pane(false).clrOff, wxColour(0, 127, 0));

    // Labels and lit colours of HOLD and ALLOCATE are checked per type in Faces.
    EXPECT_EQ(f.m_ctlHOLD->Pane(false).clrOff, wxColour(127, 127, 63));
    EXPECT_EQ(f.m_ctlHOLD->Pane(false).fontPts, 19);
    EXPECT_EQ(f.m_ctlSTOP->Pane(false).clrOff, wxColour(127, 0, 0));
    EXPECT_EQ(f.m_ctlSTOP->Pane(false).clrOn, wxColour(200, 0, 0));
    EXPECT_EQ(f.m_ctlDATA->Pane(false).clrOff, wxColour(63, 63, 63));
    EXPECT_TRUE(f.m_ctlDATA->Pane(false).text.empty());
    // CODE reads CODE2 above CODE1.
    EXPECT_TRUE(f.m_ctlCODE->IsSplit());
    EXPECT_EQ(f.m_ctlCODE->Pane(false).text, "CODE2");
    EXPECT_EQ(f.m_ctlCODE->Pane(true).text, "CODE1");
    EXPECT_EQ(f.m_ctlENG->Pane(false).text, "ENG");
    EXPECT_EQ(f.m_ctlENG->Pane(false).fontPts, 19);
    EXPECT_EQ(f.m_ctlOperNO->Pane(false).fontPts, 18);
    EXPECT_EQ(f.m_ctlOperNO->Pane(false).fontname, "Arial");
    EXPECT_EQ(f.m_ctlCurrFile->Pane(false).clrOff, wxColour(240, 240, 240));
    EXPECT_EQ(f.m_ctlCurrFile->Pane(false).textOn, wxColour(0, 0, 0));
    EXPECT_TRUE(f.m_ctlSTART2->Pane(false).text.empty()) << "the second unit's other buttons keep the defaults";
}

TEST_F(StartUp, EveryTypeWithoutAFaceIsRefusedWithStatus1)
{
    for (unsigned type : {5u, 6u, 7u, 10u, 13u, 21u, 24u, 26u, 29u, 39u, 41u, 63u, 255u}) {
        SCOPED_TRACE(type);
        Publish(static_cast<BYTE>(type));
        B().m_U.m_cr.m_DiscWhileFileOpen = true;
        watch.exits.clear();
        wxTEST_DIALOG(Open(), ErrorBox(wxString::Format("Device type %u not supported", type)));
        EXPECT_EQ(watch.exits, std::vector<int>{1});
        EXPECT_FALSE(frame->IsShown());
        EXPECT_TRUE(B().m_U.m_cr.m_DiscWhileFileOpen) << "nothing written";
        CloseAndFlush(frame);
    }
}

TEST_F(StartUp, AttachSetsTitleOperatorNumberAndStartsThePoll)
{
    Publish(PT_TR, "TR1915/1", PT_TR1915_1, 7);
    Open();
    ASSERT_NE(frame->m_share, nullptr);
    EXPECT_TRUE(watch.exits.empty());
    EXPECT_EQ(frame->GetTitle(), "U07 - TR1915/1");
    EXPECT_EQ(frame->m_ctlOperNO->Pane(false).text, "07");
    EXPECT_TRUE(frame->m_timer.IsRunning());
    EXPECT_EQ(frame->m_timer.GetInterval(), 100);
    EXPECT_TRUE(frame->IsShown());
    EXPECT_FALSE(frame->m_started);
    EXPECT_EQ(frame->m_shareSize, sizeof(S_SHAREBASE));
    EXPECT_EQ(frame->IconizeRequests(), 0);
    CloseAndFlush(frame);

    // A wide operator number and a model name without its NUL.
    memset(Publish(PT_CP, "", PT_CP2151, 123).m_Periph, 'X', sizeof B().m_Periph);
    Open();
    EXPECT_EQ(frame->m_ctlOperNO->Pane(false).text, "123");
    EXPECT_EQ(frame->GetTitle(), "U123 - " + wxString('X', 64));
    CloseAndFlush(frame);

    Publish(PT_CP);
    Open("-s");
    EXPECT_TRUE(frame->m_started);
    EXPECT_FALSE(frame->m_startMin);
    CloseAndFlush(frame);

    Publish(PT_CP);
    Open("-m");
    EXPECT_FALSE(frame->m_started);
    EXPECT_TRUE(frame->m_startMin);
    EXPECT_EQ(frame->IconizeRequests(), 1);
}

TEST_F(StartUp, ReleasesTheMappedLengthNotTheClaimedOne)
{
    // The host made the object larger than the block it claims.
    block.reset(new TestBlock(m_machine, m_chan, 2 * sizeof(S_SHAREBASE)));
    B().m_PeriType = PT_LP;
    B().m_SharedAreaSize = sizeof(S_SHAREBASE);
    Open();
    ASSERT_NE(frame->m_share, nullptr);
    EXPECT_EQ(frame->m_shareSize, 2 * sizeof(S_SHAREBASE));
    const void* where = frame->m_share;
    CloseAndFlush(frame);
    EXPECT_TRUE(block->Ok());
    EXPECT_FALSE(IsMappedFrom(where, block->Name())) << "the panel's own mapping is gone";
}

// ----------------------------------------------------------- Faces

struct FaceRow {
    const char* what;
    BYTE type;
    const char* periph;
    UINT devTyp;
    const char* start;
    const char* data;  // null: hidden
    const char* allocate;
    const char* hold;  // null: hidden
    bool stop, file, secondUnit, pq;
};

const FaceRow kFaces[] = {
    {"TR1915/1", PT_TR, "TR1915/1", PT_TR1915_1, "ON", nullptr, "START", "STOP", false, true, false, false},
    {"RP2601", PT_TR, "RP2601", PT_RP2601, "START", nullptr, "ALLOCATE", "HOLD", true, true, true, false},
    {"TR other", PT_TR, "TR1915/2", PT_TR1915_2, "START", "DATA", "ALLOCATE", "HOLD", true, true, false, false},
    {"TR case", PT_TR, "tr1915/1", PT_TR1915_1, "START", "DATA", "ALLOCATE", "HOLD", true, true, false, false},
    {"TP1925/1", PT_TP, "TP1925/1", PT_TP1925_1, "ON", nullptr, "START", "STOP", false, false, false, false},
    {"TP other", PT_TP, "TP1925/2", PT_TP1925_1, "START", nullptr, "ALLOCATE", "HOLD", true, false, false, false},
    {"LP", PT_LP, "LP1933/1", PT_LP1933_1, "START", "LOAD", "ALLOCATE", "HOLD", true, false, false, false},
    {"CR", PT_CR, "CR1912/1", PT_CR1912_1, "START", "DATA", "ALLOCATE", "HOLD", true, true, false, false},
    {"CP", PT_CP, "CP1920/2", PT_CP1920_2, "START", nullptr, "ALLOCATE", "HOLD", true, false, false, false},
    {"GP", PT_GP, "GP1934/1", PT_GP1934_1, "START", nullptr, "ALLOCATE", "HOLD", true, false, false, false},
    {"HD", PT_HD, "HD2851", PT_HD2851, "START", nullptr, "ALLOCATE", "HOLD", true, false, false, false},
    {"PB", PT_PB, "PB7210", PT_PB7210, "START", nullptr, "ALLOCATE", "HOLD", true, false, false, false},
    {"DR", PT_DR, "DR1964", PT_DR1964, "RESET", nullptr, "START", nullptr, true, false, false, false},
    {"SC7930", PT_MX, "SC7930", PT_SC7930, "START", nullptr, "ONLINE", "DISC", true, false, false, false},
    {"MX other", PT_MX, "MX7007", PT_MX7007, "START", nullptr, "ALLOCATE", "Allocate", true, false, false, false},
    {"PQ", PT_40, "PT", PT_PT_SIMPLE, "START", nullptr, "ALLOCATE", "HOLD", true, false, false, true},
};

using Faces = PanelTest;

// Also: a tooltip names the label the operator sees, so that a relabelled
// button says what its handler does; the entry fields say how they are read.
TEST_F(Faces, EveryConfigurationShowsLabelsAndExplainsItsControls)
{
    for (const FaceRow& row : kFaces) {
        SCOPED_TRACE(row.what);
        S_SHAREBASE& b = Publish(row.type, row.periph, row.devTyp);
        b.m_U.m_cr.m_DiscWhileFileOpen = true;
        b.m_U.m_rp.m_DiscWhileFileOpen = true;
        Open();
        ASSERT_NE(frame->m_share, nullptr);
        ASSERT_TRUE(watch.exits.empty());
        DekFrame& f = *frame;

        EXPECT_EQ(f.m_ctlSTART->Pane(false).text, row.start);
        EXPECT_TRUE(f.m_ctlSTART->IsShown());
        EXPECT_EQ(f.m_ctlDATA->IsShown(), row.data != nullptr);
        EXPECT_EQ(f.m_ctlDATA->Pane(false).text, row.data ? row.data : "");
        EXPECT_EQ(f.m_ctlALLOCATE->Pane(false).text, row.allocate);
        EXPECT_TRUE(f.m_ctlALLOCATE->IsShown());
        EXPECT_EQ(f.m_ctlHOLD->IsShown(), row.hold != nullptr);
        if (row.hold) {
            EXPECT_EQ(f.m_ctlHOLD->Pane(false).text, row.hold);
        }
        EXPECT_EQ(f.m_ctlSTOP->IsShown(), row.stop);
        EXPECT_EQ(f.m_ctlCurrFile->IsShown(), row.file);
        EXPECT_EQ(f.m_ctlProgress->IsShown(), row.file);
        EXPECT_EQ(f.m_ctlHOLD2->IsShown(), row.secondUnit);
        EXPECT_EQ(f.m_ctlALLOCATE2->IsShown(), row.secondUnit);
        // Created for the P/Q interface only, and then shown.
        for (wxWindow* pq : std::initializer_list<wxWindow*>{f.m_ctlBtn1, f.m_ctlQ, f.m_ctlP})
            EXPECT_EQ(pq != nullptr && pq->IsShown(), row.pq);
        if (row.pq) {
            EXPECT_EQ(f.m_ctlBtn1->GetId(), ID_BUTTON1);
            EXPECT_EQ(f.m_ctlBtn1->GetLabel(), "Send P/Q");
        }
        for (IclButton* w : {f.m_ctlOperNO, f.m_ctlENG})
            EXPECT_TRUE(w->IsShown());
        for (IclButton* w : {f.m_ctlCODE, f.m_ctlSTART2, f.m_ctlSTOP2, f.m_ctlDATA2})
            EXPECT_FALSE(w->IsShown());

        // Relabelled buttons keep their colours: the TR1915/1 "STOP" is the
        // yellow HOLD lamp, its "START" the green ALLOCATE lamp.
        if (row.type != PT_DR) {
            EXPECT_EQ(f.m_ctlHOLD->Pane(false).clrOn, wxColour(200, 200, 0));
            EXPECT_EQ(f.m_ctlALLOCATE->Pane(false).clrOn, wxColour(0, 255, 0));
            EXPECT_TRUE(f.m_ctlSTART->IsSplit());
            EXPECT_FALSE(f.m_ctlALLOCATE->IsSplit());
        }
        if (row.data) {
            const bool load = wxString(row.data) == "LOAD";
            EXPECT_EQ(f.m_ctlDATA->Pane(false).clrOff, load ? wxColour(0, 127, 0) : wxColour(127, 127, 127));
            EXPECT_EQ(f.m_ctlDATA->Pane(false).clrOn, load ? wxColour(0, 255, 0) : wxColour(255, 255, 255));
        }

        // Only the readers clear the keep-open flag, a reader-punch its own:
        // the plain reader's byte is part of its reader file name.
        const bool readerClears = (row.type == PT_TR || row.type == PT_CR) && !row.secondUnit;
        EXPECT_EQ(B().m_U.m_cr.m_DiscWhileFileOpen, !readerClears);
        EXPECT_EQ(B().m_U.m_rp.m_DiscWhileFileOpen, !row.secondUnit);

        for (wxWindow* w : f.GetChildren()) {
            if (!w->IsShown() || dynamic_cast<wxStaticText*>(w))
                continue;
            const wxString tip = w->GetToolTipText();
            SCOPED_TRACE(tip.ToStdString());
            EXPECT_FALSE(tip.empty()) << "control " << w->GetId();
            wxString label;
            if (IclButton* ib = dynamic_cast<IclButton*>(w)) {
                if (ib != f.m_ctlOperNO && ib != f.m_ctlCurrFile && ib != f.m_ctlPunchFile)
                    label = ib->Pane(false).text;
            } else if (wxButton* wb = dynamic_cast<wxButton*>(w)) {
                label = wb->GetLabel();
            } else if (dynamic_cast<wxTextCtrl*>(w)) {
                EXPECT_NE(tip.Find("octal"), wxNOT_FOUND);
            }
            if (!label.empty()) {
                EXPECT_TRUE(tip.StartsWith(label + ": "));
            }
        }
        if (row.type == PT_CR) {
            EXPECT_EQ(f.m_ctlALLOCATE->GetToolTipText(),
                      "ALLOCATE: choose the card deck to read; acts on a started panel");
        }
        CloseAndFlush(frame);
    }
}

TEST_F(Faces, DrumHasRedResetOverHotAndGreenStartOverGreySlow)
{
    Publish(PT_DR, "DR1964", PT_DR1964);
    Open("-s");
    // The upper labels are checked with the other faces.
    const IclButton& start = *frame->m_ctlSTART;
    EXPECT_TRUE(start.IsSplit());
    EXPECT_EQ(start.Pane(true).text, "hot");
    EXPECT_EQ(start.Pane(false).clrOff, wxColour(127, 0, 0));
    EXPECT_EQ(start.Pane(true).clrOn, wxColour(200, 0, 0));
    EXPECT_FALSE(start.IsLit(false));
    EXPECT_FALSE(start.IsLit(true));
    const IclButton& alloc = *frame->m_ctlALLOCATE;
    EXPECT_TRUE(alloc.IsSplit());
    EXPECT_EQ(alloc.Pane(true).text, "slow");
    EXPECT_EQ(alloc.Pane(false).clrOn, wxColour(0, 255, 0));
    EXPECT_EQ(alloc.Pane(true).clrOff, wxColour(63, 63, 63));
    EXPECT_EQ(alloc.Pane(true).clrOn, wxColour(127, 127, 127));
    Tick();
    EXPECT_FALSE(start.IsLit(false)) << "started from the command line, and still the poll never lights it";
}

TEST_F(Faces, LayoutFitsTheShownControls)
{
    Publish(PT_CR, "CR1912/1");
    Open();
    // Row 2 holds operator number, ENG, the file display and the gauge.
    EXPECT_GE(frame->GetClientSize().x, 4 + 60 + 92 + 4 + 300 + 4 + 160 + 4);
    EXPECT_EQ(frame->m_ctlCurrFile->GetPosition().x, frame->m_ctlENG->GetPosition().x + 92 + 4);
    EXPECT_EQ(frame->m_ctlOperNO->GetPosition(), wxPoint(4, 4 + 50 + 4));
    EXPECT_EQ(frame->m_ctlSTART->GetPosition(), wxPoint(4, 4));
}

// ----------------------------------------------------------- Lamps

using Lamps = PanelTest;

TEST_F(Lamps, FollowThePanelState)
{
    Publish(PT_CR, "CR1912/1");
    Open();
    struct State {
        bool started, allocated, hold, eng, code;
    };
    for (State s : {State{false, true, true, true, false}, State{true, false, true, false, true},
                    State{true, true, false, true, false}, State{true, true, true, false, true}}) {
        frame->m_started = s.started;
        frame->m_allocated = s.allocated;
        frame->m_hold = s.hold;
        frame->m_eng = s.eng;
        frame->m_code = s.code;
        frame->UpdateLights();
        EXPECT_EQ(frame->m_ctlSTART->IsLit(false), s.started);
        EXPECT_EQ(frame->m_ctlALLOCATE->IsLit(false), s.started && s.allocated);
        EXPECT_EQ(frame->m_ctlHOLD->IsLit(false), s.started && s.hold);
        EXPECT_EQ(frame->m_ctlENG->IsLit(false), s.eng);
        EXPECT_EQ(frame->m_ctlCODE->IsLit(false), s.code);
        EXPECT_EQ(frame->m_ctlCODE->IsLit(true), !s.code);
        EXPECT_TRUE(frame->m_ctlSTART->IsLit(true)) << "the lower half of START is not the lamp's business";
    }
}

TEST_F(Lamps, HdHoldLampIsLeftAlone)
{
    Started(PT_HD, "HD2851");
    frame->m_hold = true;
    frame->UpdateLights();
    EXPECT_FALSE(frame->m_ctlHOLD->IsLit(false));
    frame->m_ctlHOLD->Light(true, false);
    frame->m_hold = false;
    frame->UpdateLights();
    EXPECT_TRUE(frame->m_ctlHOLD->IsLit(false));
    EXPECT_TRUE(frame->m_ctlSTART->IsLit(false));
}

// -------------------------------------------------------- The poll

using Poll = PanelTest;

TEST_F(Poll, DisconnectEndsTheAllocationAndClearsTheFileUnlessAReaderKeepsIt)
{
    struct Case {
        const char* what;
        BYTE type;
        const char* periph;
        bool keepOpen, kept;
        int gauge;  // -1: not looked at
    };
    for (Case c : {Case{"reader", PT_CR, "CR1912/1", false, false, 0},
                   Case{"reader keeping its file", PT_TR, "TR1915/2", true, true, 400},
                   // On a punch that byte belongs to its file name.
                   Case{"punch", PT_TP, "TP1925/2", true, false, -1}}) {
        SCOPED_TRACE(c.what);
        Started(c.type, c.periph);
        frame->m_allocated = true;
        frame->UpdateLights();
        frame->ShowFilename("/data/tape.tp");
        frame->m_ctlProgress->SetRange(500);
        frame->m_ctlProgress->SetValue(400);
        B().m_U.m_cr.m_DiscWhileFileOpen = c.keepOpen;
        B().m_Disc = true;
        Tick();
        EXPECT_FALSE(B().m_Disc);
        EXPECT_FALSE(frame->m_allocated);
        EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text, c.kept ? "tape.tp" : "");
        if (c.gauge >= 0) {
            EXPECT_EQ(frame->m_ctlProgress->GetValue(), c.gauge);
        }
        // The lamps are left alone in the disconnect tick and follow on the next.
        EXPECT_TRUE(frame->m_ctlALLOCATE->IsLit(false));
        Tick();
        EXPECT_FALSE(frame->m_ctlALLOCATE->IsLit(false));
        CloseAndFlush(frame);
    }
}

TEST_F(Poll, GaugeShowsWhatIsLeftWithinItsRange)
{
    Started(PT_CR, "CR1912/1");
    frame->m_allocated = true;
    frame->m_ctlProgress->SetRange(1000);
    struct Case {
        UINT size, pos;
        int value;
    };
    for (Case c : {Case{1000, 300, 700}, Case{1000, 1000, 0}, Case{1000, 1500, 0}, Case{5000, 0, 1000},
                   Case{0, 1, 0}, Case{0x90000000u, 0, 0}}) {
        B().m_U.m_cr.m_Filesize = c.size;
        B().m_U.m_cr.m_FilePosition = c.pos;
        Tick();
        EXPECT_EQ(frame->m_ctlProgress->GetValue(), c.value) << c.size << " " << c.pos;
    }
    // Not allocated: the gauge stays.
    frame->m_allocated = false;
    B().m_U.m_cr.m_FilePosition = 900;
    B().m_U.m_cr.m_Filesize = 1000;
    frame->m_ctlProgress->SetValue(555);
    Tick();
    EXPECT_EQ(frame->m_ctlProgress->GetValue(), 555);
}

TEST_F(Poll, StartMinimisedIconisesOnceMoreWhenTheHostIsFirstUp)
{
    Publish(PT_CP).m_HostUp = false;
    Open("-m");
    EXPECT_EQ(frame->IconizeRequests(), 1);
    Tick();
    EXPECT_EQ(frame->IconizeRequests(), 1);
    B().m_HostUp = true;
    Tick();
    EXPECT_EQ(frame->IconizeRequests(), 2);
    Tick();
    EXPECT_EQ(frame->IconizeRequests(), 2);
}

TEST_F(Poll, HostDownWithoutCloseKeepsPolling)
{
    Publish(PT_CP).m_HostUp = false;
    Open("-s");
    Tick();
    EXPECT_TRUE(frame->m_timer.IsRunning());
    EXPECT_NE(frame->m_share, nullptr);
    EXPECT_TRUE(frame->m_ctlSTART->IsLit(false));
}

// The host withdraws the block and publishes it again, as a restarted host
// does; the old mapping stays valid all the while, only its name tells.
TEST_F(Poll, AWithdrawnBlockDetachesThePanelUntilTheHostPublishesItAgain)
{
    Started(PT_CR, "CR1911/1");
    frame->m_allocated = true;
    frame->ShowFilename("/data/deck.txt");
    frame->UpdateLights();
    const void* old = frame->m_share;
    block->Unlink();
    for (int i = 0; i < 9; ++i)
        Tick();
    EXPECT_FALSE(frame->HostGone()) << "looked up once a second, not at every tick";
    Tick();
    ASSERT_TRUE(frame->HostGone());
    EXPECT_EQ(frame->GetTitle(), "U07 - CR1911/1 (host gone)");
    for (IclButton* lamp : {frame->m_ctlSTART, frame->m_ctlALLOCATE}) {
        EXPECT_FALSE(lamp->IsLit(false));
        EXPECT_FALSE(lamp->IsLit(true));
    }
    Click(ID_STOP);
    EXPECT_EQ(watch.beeps, 1);
    EXPECT_TRUE(frame->m_started) << "and did nothing else";
    Tick();
    EXPECT_TRUE(frame->HostGone());

    Publish(PT_CR, "CR1911/1", PT_NONE, 9);
    Tick();
    ASSERT_FALSE(frame->HostGone());
    EXPECT_TRUE(IsMappedFrom(frame->m_share, block->Name()));
    EXPECT_FALSE(IsMappedFrom(old, block->Name())) << "the old block is released";
    EXPECT_EQ(frame->GetTitle(), "U09 - CR1911/1");
    EXPECT_EQ(frame->m_ctlOperNO->Pane(false).text, "09");
    EXPECT_FALSE(frame->m_allocated) << "the new host has none of the old one's media";
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text, "");
    EXPECT_TRUE(frame->m_ctlSTART->IsLit(false));
    EXPECT_TRUE(frame->m_ctlSTART->IsLit(true));
    EXPECT_TRUE(watch.exits.empty());
}

TEST_F(Poll, AWithdrawnBlockClosesThePanelWhenTheHostAsksPanelsToClose)
{
    Started(PT_CP);
    B().m_CloseOnHostDown = true;
    block->Unlink();
    for (int i = 0; i < 10; ++i)
        Tick();
    EXPECT_EQ(frame->m_share, nullptr);
    PumpUntilGone(frame);
    EXPECT_FALSE(frame);
    EXPECT_TRUE(watch.exits.empty());
}

TEST_F(Poll, ARequestTheHostLeavesPendingShowsUntilTheWaitEnds)
{
    Started(PT_CP, "CP2151");
    B().m_PhysicalDevice = true;  // ALLOCATE then asks without a dialog
    wxString titleDuring;
    GdkCursor* cursorDuring = nullptr;
    wxTimer later;
    later.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        titleDuring = frame->GetTitle();
        cursorDuring = frame->GetCursor().IsOk() ? frame->GetCursor().GetCursor() : nullptr;
        Click(ID_STOP);
    });
    later.StartOnce(700);
    Click(ID_ALLOCATE);  // returns once STOP has ended the wait
    EXPECT_EQ(titleDuring, "U07 - CP2151 (waiting for the host)");
    EXPECT_EQ(cursorDuring, wxCursor(wxCURSOR_ARROWWAIT).GetCursor());
    EXPECT_EQ(frame->GetTitle(), "U07 - CP2151");
    EXPECT_FALSE(frame->GetCursor().IsOk());
}

// ---------------------- What decides about a block published again

TEST(JudgeReattach, ResumesOnlyTheSamePeripheralInAUsableBlock)
{
    const DekPeripheral was{PT_CR, "CR1911/1", PT_NONE};
    const size_t whole = sizeof(S_SHAREBASE);
    const std::tuple<const char*, std::function<void(S_SHAREBASE&)>, DekReattach> cases[] = {
        {"the same", [](S_SHAREBASE&) {}, DekReattach::Resume},
        {"another operator number", [](S_SHAREBASE& b) { b.m_OpsNo = 12; }, DekReattach::Resume},
        {"another model", [](S_SHAREBASE& b) { strcpy(b.m_Periph, "CR1912/1"); }, DekReattach::Changed},
        {"another device code", [](S_SHAREBASE& b) { b.m_DevTyp = PT_SC7930; }, DekReattach::Changed},
        {"another type", [](S_SHAREBASE& b) { b.m_PeriType = PT_LP; }, DekReattach::Changed},
        {"a type without a panel", [](S_SHAREBASE& b) { b.m_PeriType = PT_MT; }, DekReattach::Unsupported},
        {"another version", [](S_SHAREBASE& b) { b.m_Version = 0x89000070; }, DekReattach::Refuse},
        {"a size beyond the object", [=](S_SHAREBASE& b) { b.m_SharedAreaSize = whole + 1; }, DekReattach::Refuse},
    };
    for (const auto& [what, change, verdict] : cases) {
        auto now = std::make_unique<S_SHAREBASE>();
        now->m_Version = SHAREBASE_VERSION;
        now->m_SharedAreaSize = whole;
        now->m_PeriType = PT_CR;
        strcpy(now->m_Periph, "CR1911/1");
        now->m_DevTyp = PT_NONE;
        change(*now);
        EXPECT_EQ(JudgeReattach(was, *now, whole), verdict) << what;
    }
}

// ---------------------------------------- One panel per peripheral

TEST(PeerKey, DistinctPanelsNeverShareAKey)
{
    std::vector<wxString> keys = {PeerKey(1, 12, ":0", "1000"), PeerKey(11, 2, ":0", "1000"),
                                  PeerKey(1, 12, ":1", "1000"), PeerKey(1, 12, ":0", "1001"),
                                  PeerKey(2, 3, "d_1", "u"),     PeerKey(2, 3, "1", "u_d")};
    EXPECT_EQ(std::set<wxString>(keys.begin(), keys.end()).size(), keys.size());
    EXPECT_EQ(PeerKey(5, 7, "host/x:0.0", "1000").Find('/'), wxNOT_FOUND) << "a file name";
}

TEST(PeerLink, ALockLeftByAKilledPanelDoesNotStandInTheWay)
{
    wxString path;
    {
        DekPeerLink link(UniqueMachineNumber(), 7);
        path = link.LockPath();
        // The killed panel's process number now belongs to a live process
        // that is no panel.
        ChildProcess other;
        ASSERT_TRUE(other.Start({"/bin/sleep", "30"}));
        std::ofstream(path.fn_str()) << other.Pid();
        chmod(path.fn_str(), 0600);
        EXPECT_EQ(link.ClaimPeripheral(), DekPeerLink::Claim::First);
        EXPECT_TRUE(wxFileExists(path));
    }
    EXPECT_FALSE(wxFileExists(path)) << "removed with the claim";
}

// --------------------------------------------- Close and placement

using Placement = PanelTest;

TEST_F(Placement, CloseReleasesTheBlockStopsTheTimerIsNeverVetoedAndStoresThePlace)
{
    Publish(PT_CP);
    Open();
    ASSERT_TRUE(frame->m_timer.IsRunning());
    frame->Move(123, 77);
    const void* mapped = frame->m_share;
    EXPECT_TRUE(IsMapped(mapped));
    wxCloseEvent close(wxEVT_CLOSE_WINDOW, frame->GetId());
    close.SetCanVeto(true);
    close.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(close);
    EXPECT_FALSE(close.GetVeto());
    EXPECT_EQ(frame->m_share, nullptr);
    EXPECT_FALSE(frame->m_timer.IsRunning());
    PumpUntilGone(frame);
    EXPECT_FALSE(frame) << "the default processing destroyed the frame";

    Publish(PT_CP);
    Open();
    EXPECT_EQ(frame->GetPosition(), wxPoint(123, 77)) << "restored where it was closed";
}

// A real window on the test's one display: negative coordinates are no
// stored position; a window that would hang off the display, or lie beyond
// it, is moved into its corner to show whole.
TEST_F(Placement, AStoredPositionPutsTheWholeWindowOnTheDisplay)
{
    enum Where { Default, AsStored, InTheCorner };
    const wxRect screen = wxDisplay(0u).GetClientArea();
    const std::pair<wxPoint, Where> cases[] = {
        {{-1, 200}, Default}, {{300, -5}, Default}, {{0, 0}, AsStored}, {{40, 30}, AsStored},
        {{screen.width - 100, screen.height - 20}, InTheCorner}, {{100000, 100000}, InTheCorner},
    };
    for (const auto& [stored, where] : cases) {
        SCOPED_TRACE(testing::Message() << stored.x << "," << stored.y);
        {
            wxFileConfig cfg("dek", "VOV 1900-Edarodizadu");
            cfg.Write(PlacementKey() + "/x", long(stored.x));
            cfg.Write(PlacementKey() + "/y", long(stored.y));
        }
        Publish(PT_CP);
        Open();
        const wxRect placed = frame->GetRect();
        if (where == Default)
            EXPECT_NE(placed.GetPosition(), stored);
        else if (where == AsStored)
            EXPECT_EQ(placed.GetPosition(), stored);
        else
            EXPECT_TRUE(screen.Contains(placed) && placed.x > screen.width / 2 && placed.y > screen.height / 2);
        frame->Move(5, 6);  // what the close stores: overwritten by the next round
        CloseAndFlush(frame);
    }
}

// The geometry alone, on two displays side by side: the left one 1280x1024
// with a 24-pixel bar on top, the right one 1024x768, level with the left
// one's bottom.
TEST(PlacedPosition, OntoTheDisplayHoldingMostOfTheWindowWhole)
{
    const std::vector<wxRect> displays = {{0, 24, 1280, 1000}, {1280, 256, 1024, 768}};
    const wxSize panel(400, 130);
    const struct {
        wxPoint stored;
        wxSize size;
        wxPoint placed;
    } cases[] = {
        {{100, 100}, panel, {100, 100}},         // wholly on the left display
        {{0, 0}, panel, {0, 24}},                // the top-left corner, below the bar
        {{1100, 300}, panel, {1280, 300}},       // more of it on the right display
        {{1200, 1000}, panel, {1280, 894}},      // the same, low down
        {{1300, 100}, {400, 300}, {1300, 256}},  // corner on no display, most of it on the right
        {{1400, 300}, {1500, 900}, {1280, 256}}, // larger than the display: its top-left corner shows
        {{100000, 100000}, panel, {1904, 894}},  // far off: the nearest display
        {{0x7FFFFFFF, 0x7FFFFFFF}, panel, {1904, 894}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlacedPosition(c.stored, c.size, displays), c.placed) << c.stored.x << "," << c.stored.y;
    EXPECT_EQ(PlacedPosition({1200, 1000}, panel, {{0, 0, 1280, 1024}}), wxPoint(880, 894)) << "one display";
}

TEST_F(Placement, ANeverAttachedPanelStoresItsPositionAndReleasesNothing)
{
    wxTEST_DIALOG(Open(std::vector<wxString>{"-M", "0"}), ErrorBox("Error: no machine number given (-M nnn)"));
    frame->Move(11, 22);
    CloseAndFlush(frame);
    EXPECT_FALSE(frame);
    EXPECT_EQ(StoredLong("Placement/Id-0-0/x"), 11);
    EXPECT_EQ(StoredLong("Placement/Id-0-0/y"), 22);
}

}  // namespace
