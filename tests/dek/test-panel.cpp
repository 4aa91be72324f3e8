// The panel window on real shared blocks: command line, start-up paths, the
// faces of every device type, the lamps, the poll and the close.
#include "panel-harness.h"

#include <wx/gauge.h>
#include <wx/textctrl.h>
#include <wx/button.h>
#include <wx/stattext.h>

#include "dek-enumdlg.h"

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

wxArrayString Argv(std::initializer_list<const char*> args)
{
    wxArrayString a;
    a.push_back("dek");
    for (const char* s : args)
        a.push_back(s);
    return a;
}

// ---------------------------------------------------------------------------
// Command line

TEST(ParseDekArgs, ReadsMachineAndChannelInEitherForm)
{
    for (auto argv : {Argv({"-M5", "-S7"}), Argv({"-M", "5", "-S", "7"}), Argv({"-S", "07", "-M", "005"})}) {
        DekArgs a;
        ASSERT_TRUE(ParseDekArgs(argv, a));
        EXPECT_EQ(a.cpu, 5u);
        EXPECT_EQ(a.si, 7u);
        EXPECT_FALSE(a.startMin);
        EXPECT_FALSE(a.started);
    }
}

TEST(ParseDekArgs, SwitchesAndLaterOptionsOverride)
{
    DekArgs a;
    ASSERT_TRUE(ParseDekArgs(Argv({"-m", "-M", "1", "-s", "-M2", "stray", "-S", "3", "-S4"}), a));
    EXPECT_EQ(a.cpu, 2u);
    EXPECT_EQ(a.si, 4u);
    EXPECT_TRUE(a.startMin);
    EXPECT_TRUE(a.started);
}

TEST(ParseDekArgs, RefusesClusteredAndUnknownSwitches)
{
    for (auto argv : {Argv({"-ms"}), Argv({"-M", "5", "-x"}), Argv({"-"}), Argv({"--M", "5"}), Argv({"-m5"})}) {
        DekArgs a;
        EXPECT_FALSE(ParseDekArgs(argv, a)) << argv[1];
    }
}

TEST(ParseDekArgs, RefusesNumbersThatAreNotWholeDecimals)
{
    for (auto argv : {Argv({"-Mx"}), Argv({"-M=5"}), Argv({"-M", "5x"}), Argv({"-M", "-5"}), Argv({"-M", " 5"}),
                      Argv({"-M", "0x10"}), Argv({"-S"})}) {
        DekArgs a;
        EXPECT_FALSE(ParseDekArgs(argv, a)) << argv[1] << " " << (argv.size() > 2 ? argv[2] : wxString());
    }
    DekArgs a;
    ASSERT_TRUE(ParseDekArgs(Argv({"-M4294967295", "-S", "0"}), a));
    EXPECT_EQ(a.cpu, 4294967295u);
    EXPECT_EQ(a.si, 0u);
    // Whole numbers wider than 32 bits keep their low 32 bits.
    ASSERT_TRUE(ParseDekArgs(Argv({"-M4294967301", "-S", "99999999999"}), a));
    EXPECT_EQ(a.cpu, 5u);
    EXPECT_EQ(a.si, static_cast<UINT>(99999999999ULL));
    ASSERT_TRUE(ParseDekArgs(Argv({"-M", "4294967296"}), a));
    EXPECT_EQ(a.cpu, 0u);
}

// ---------------------------------------------------------------------------
// Start-up

using StartUp = PanelTest;

TEST_F(StartUp, RefusedCommandLinesShowTheirMessageAndEndWithStatus2)
{
    const struct {
        std::vector<wxString> args;
        const char* message;
    } cases[] = {{{"-ms"}, "Error: invalid command-line parameter"},
                 {{"-M", "0", "-S", "7"}, "Error: no machine number given (-M nnn)"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        watch.exits.clear();
        wxTEST_DIALOG(Open(c.args), ErrorBox(c.message));
        EXPECT_EQ(watch.exits, std::vector<int>{2});
        EXPECT_TRUE(frame->Ended());
        EXPECT_FALSE(frame->IsShown());
        EXPECT_EQ(frame->m_share, nullptr);
        CloseAndFlush(frame);
    }
}

TEST_F(StartUp, WithoutAChannelTheSelectionDialogPicksOne)
{
    Publish(PT_CP, "CP1920/2");
    // A chosen channel of 0 asks again; -S 0 is as good as no channel.
    wxTEST_DIALOG(Open(std::vector<wxString>{"-M", wxString::Format("%u", m_machine), "-S", "0"}),
                  ExpectSelection(m_machine, wxID_OK, 0), ExpectSelection(m_machine, wxID_OK, m_chan));
    EXPECT_EQ(frame->m_SI, m_chan);
    ASSERT_NE(frame->m_share, nullptr);
    EXPECT_EQ(frame->GetTitle(), "U07 - CP1920/2");
    EXPECT_TRUE(frame->IsShown());
}

TEST_F(StartUp, CancellingTheSelectionClosesThePanelUnattached)
{
    Publish(PT_CP, "CP1920/2");
    wxTEST_DIALOG(Open(std::vector<wxString>{"-M", wxString::Format("%u", m_machine)}),
                  ExpectSelection(m_machine, wxID_CANCEL));
    EXPECT_TRUE(watch.exits.empty());
    for (int i = 0; i < 50 && frame; ++i)
        Pump(5);
    EXPECT_FALSE(frame) << "closed and destroyed without being shown";
    wxFileConfig cfg("dek", "VOV 1900-Edarodizadu");
    EXPECT_TRUE(cfg.Exists(wxString::Format("Placement/Id-%u-0", m_machine)));
}

TEST_F(StartUp, ConstructionHidesTheOptionalControlsAndGivesTheInitialFaces)
{
    // An unsupported type stops start-up right after the faces are set and
    // before the device configuration has touched anything.
    Publish(5);
    wxTEST_DIALOG(Open(), ErrorBox("Device type 5 not supported"));
    EXPECT_EQ(frame->GetTitle(), "RER 1900 Edaduvorar");

    for (wxWindow* w : {static_cast<wxWindow*>(frame->m_ctlSTART), static_cast<wxWindow*>(frame->m_ctlALLOCATE),
                        static_cast<wxWindow*>(frame->m_ctlHOLD), static_cast<wxWindow*>(frame->m_ctlSTOP),
                        static_cast<wxWindow*>(frame->m_ctlOperNO), static_cast<wxWindow*>(frame->m_ctlENG)})
        EXPECT_TRUE(w->IsShown()) << w->GetId();
    for (wxWindow* w : {static_cast<wxWindow*>(frame->m_ctlDATA), static_cast<wxWindow*>(frame->m_ctlCODE),
                        static_cast<wxWindow*>(frame->m_ctlProgress), static_cast<wxWindow*>(frame->m_ctlCurrFile),
                        static_cast<wxWindow*>(frame->m_ctlHOLD2), static_cast<wxWindow*>(frame->m_ctlALLOCATE2),
                        static_cast<wxWindow*>(frame->m_ctlSTART2), static_cast<wxWindow*>(frame->m_ctlSTOP2),
                        static_cast<wxWindow*>(frame->m_ctlDATA2), static_cast<wxWindow*>(frame->m_ctlBtn1),
                        static_cast<wxWindow*>(frame->m_ctlQ), static_cast<wxWindow*>(frame->m_ctlP)})
        EXPECT_FALSE(w->IsShown()) << w->GetId();

    // Ids and sizes of the lamp buttons.
    EXPECT_EQ(frame->m_ctlHOLD->GetId(), ID_HOLD);
    EXPECT_EQ(frame->m_ctlDATA2->GetId(), ID_DATA2);
    EXPECT_EQ(frame->m_ctlBtn1->GetId(), ID_BUTTON1);
    EXPECT_EQ(frame->m_ctlSTART->GetSize(), wxSize(92, 50));
    EXPECT_EQ(frame->m_ctlOperNO->GetSize(), wxSize(60, 50));
    EXPECT_EQ(frame->m_ctlCurrFile->GetSize(), wxSize(300, 36));
    EXPECT_EQ(frame->m_ctlProgress->GetRange(), 100);
    EXPECT_EQ(frame->m_ctlBtn1->GetLabel(), "Send P/Q");

    // The split START: dark green "START" over a lit unlabelled half.
    const IclButton& start = *frame->m_ctlSTART;
    EXPECT_TRUE(start.IsSplit());
    EXPECT_EQ(start.Pane(false).text, "START");
    EXPECT_FALSE(start.IsLit(false));
    EXPECT_TRUE(start.IsLit(true));
    EXPECT_EQ(start.Pane(true).clrOn, wxColour(0, 255, 0));
    EXPECT_EQ(start.Pane(false).clrOff, wxColour(0, 127, 0));

    // Labels and lit colours of HOLD and ALLOCATE are checked per type in Faces.
    EXPECT_EQ(frame->m_ctlHOLD->Pane(false).clrOff, wxColour(127, 127, 63));
    EXPECT_EQ(frame->m_ctlHOLD->Pane(false).fontPts, 19);
    EXPECT_EQ(frame->m_ctlSTOP->Pane(false).clrOff, wxColour(127, 0, 0));
    EXPECT_EQ(frame->m_ctlSTOP->Pane(false).clrOn, wxColour(200, 0, 0));
    EXPECT_EQ(frame->m_ctlDATA->Pane(false).clrOff, wxColour(63, 63, 63));
    EXPECT_TRUE(frame->m_ctlDATA->Pane(false).text.empty());

    // CODE reads CODE2 above CODE1.
    EXPECT_TRUE(frame->m_ctlCODE->IsSplit());
    EXPECT_EQ(frame->m_ctlCODE->Pane(false).text, "CODE2");
    EXPECT_EQ(frame->m_ctlCODE->Pane(true).text, "CODE1");

    EXPECT_EQ(frame->m_ctlENG->Pane(false).text, "ENG");
    EXPECT_EQ(frame->m_ctlENG->Pane(false).fontPts, 19);
    EXPECT_EQ(frame->m_ctlOperNO->Pane(false).fontPts, 18);
    EXPECT_EQ(frame->m_ctlOperNO->Pane(false).fontname, "Arial");
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).clrOff, wxColour(240, 240, 240));
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).textOn, wxColour(0, 0, 0));
    // The second unit's other buttons keep the defaults.
    EXPECT_TRUE(frame->m_ctlSTART2->Pane(false).text.empty());
}

TEST_F(StartUp, EveryTypeWithoutAFaceIsRefusedWithStatus1)
{
    for (unsigned type : {5u, 6u, 7u, 10u, 13u, 21u, 24u, 26u, 29u, 39u, 41u, 63u, 255u}) {
        Publish(static_cast<BYTE>(type));
        B().m_U.m_cr.m_DiscWhileFileOpen = true;
        wxTEST_DIALOG(Open(), ErrorBox(wxString::Format("Device type %u not supported", type)));
        EXPECT_EQ(watch.exits, std::vector<int>{1}) << type;
        EXPECT_FALSE(frame->IsShown()) << type;
        EXPECT_TRUE(B().m_U.m_cr.m_DiscWhileFileOpen) << "nothing written for " << type;
        CloseAndFlush(frame);
        watch.exits.clear();
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
}

TEST_F(StartUp, WideOperatorNumberAndUnterminatedModelName)
{
    S_SHAREBASE& b = Publish(PT_CP, "", PT_CP2151, 123);
    memset(b.m_Periph, 'X', sizeof b.m_Periph);  // no NUL anywhere
    Open();
    EXPECT_EQ(frame->m_ctlOperNO->Pane(false).text, "123");
    EXPECT_EQ(frame->GetTitle(), "U123 - " + wxString('X', 64));
}

TEST_F(StartUp, ReleasesTheMappedLengthNotTheClaimedOne)
{
    // The host made the object larger than the block it claims: the panel
    // must release all that it mapped.
    block.reset(new TestBlock(m_machine, m_chan, 2 * sizeof(S_SHAREBASE)));
    block->Block()->m_PeriType = PT_LP;
    block->Block()->m_SharedAreaSize = sizeof(S_SHAREBASE);
    Open();
    ASSERT_NE(frame->m_share, nullptr);
    EXPECT_EQ(frame->m_shareSize, 2 * sizeof(S_SHAREBASE));
    const void* where = frame->m_share;
    CloseAndFlush(frame);
    EXPECT_TRUE(block->Ok());
    EXPECT_FALSE(IsMappedFrom(where, block->Name())) << "the panel's own mapping is gone";
}

TEST_F(StartUp, StartRunningAndStartMinimised)
{
    Publish(PT_CP);
    Open(Args("-s"));
    EXPECT_TRUE(frame->m_started);
    EXPECT_FALSE(frame->m_startMin);
    CloseAndFlush(frame);

    Publish(PT_CP);
    Open(Args("-m"));
    EXPECT_FALSE(frame->m_started);
    EXPECT_TRUE(frame->m_startMin);
    EXPECT_EQ(frame->IconizeRequests(), 1);
}

// ---------------------------------------------------------------------------
// Faces

struct FaceRow {
    const char* what;
    BYTE type;
    const char* periph;
    UINT devTyp;
    const char* start;
    const char* data;  // null: hidden
    const char* allocate;
    const char* hold;  // null: hidden
    bool stop;
    bool file;
    bool secondUnit;
    bool pq;
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

TEST_F(Faces, EveryConfigurationShowsAndLabelsItsControls)
{
    for (const FaceRow& row : kFaces) {
        SCOPED_TRACE(row.what);
        S_SHAREBASE& b = Publish(row.type, row.periph, row.devTyp);
        b.m_U.m_cr.m_DiscWhileFileOpen = true;
        b.m_U.m_rp.m_DiscWhileFileOpen = true;
        Open();
        ASSERT_NE(frame->m_share, nullptr);
        ASSERT_TRUE(watch.exits.empty());

        EXPECT_EQ(frame->m_ctlSTART->Pane(false).text, row.start);
        EXPECT_TRUE(frame->m_ctlSTART->IsShown());
        EXPECT_EQ(frame->m_ctlDATA->IsShown(), row.data != nullptr);
        if (row.data) {
            EXPECT_EQ(frame->m_ctlDATA->Pane(false).text, row.data);
        }
        EXPECT_EQ(frame->m_ctlALLOCATE->Pane(false).text, row.allocate);
        EXPECT_TRUE(frame->m_ctlALLOCATE->IsShown());
        EXPECT_EQ(frame->m_ctlHOLD->IsShown(), row.hold != nullptr);
        if (row.hold) {
            EXPECT_EQ(frame->m_ctlHOLD->Pane(false).text, row.hold);
        }
        EXPECT_EQ(frame->m_ctlSTOP->IsShown(), row.stop);
        EXPECT_EQ(frame->m_ctlCurrFile->IsShown(), row.file);
        EXPECT_EQ(frame->m_ctlProgress->IsShown(), row.file);
        EXPECT_EQ(frame->m_ctlHOLD2->IsShown(), row.secondUnit);
        EXPECT_EQ(frame->m_ctlALLOCATE2->IsShown(), row.secondUnit);
        EXPECT_EQ(frame->m_ctlBtn1->IsShown(), row.pq);
        EXPECT_EQ(frame->m_ctlQ->IsShown(), row.pq);
        EXPECT_EQ(frame->m_ctlP->IsShown(), row.pq);

        EXPECT_TRUE(frame->m_ctlOperNO->IsShown());
        EXPECT_TRUE(frame->m_ctlENG->IsShown());
        EXPECT_FALSE(frame->m_ctlCODE->IsShown());
        EXPECT_FALSE(frame->m_ctlSTART2->IsShown());
        EXPECT_FALSE(frame->m_ctlSTOP2->IsShown());
        EXPECT_FALSE(frame->m_ctlDATA2->IsShown());

        // Relabelled buttons keep their colours: the TR1915/1 "STOP" is the
        // yellow HOLD lamp, its "START" the green ALLOCATE lamp.
        if (row.type != PT_DR) {
            EXPECT_EQ(frame->m_ctlHOLD->Pane(false).clrOn, wxColour(200, 200, 0));
            EXPECT_EQ(frame->m_ctlALLOCATE->Pane(false).clrOn, wxColour(0, 255, 0));
            EXPECT_TRUE(frame->m_ctlSTART->IsSplit());
            EXPECT_FALSE(frame->m_ctlALLOCATE->IsSplit());
        }
        if (row.data && wxString(row.data) == "DATA") {
            EXPECT_EQ(frame->m_ctlDATA->Pane(false).clrOff, wxColour(127, 127, 127));
            EXPECT_EQ(frame->m_ctlDATA->Pane(false).clrOn, wxColour(255, 255, 255));
        }
        if (row.data && wxString(row.data) == "LOAD") {
            EXPECT_EQ(frame->m_ctlDATA->Pane(false).clrOff, wxColour(0, 127, 0));
            EXPECT_EQ(frame->m_ctlDATA->Pane(false).clrOn, wxColour(0, 255, 0));
        }

        // Only the readers clear the keep-open flag, a reader-punch its own:
        // the plain reader's byte is part of its reader file name.
        bool readerClears = (row.type == PT_TR || row.type == PT_CR) && !row.secondUnit;
        EXPECT_EQ(B().m_U.m_cr.m_DiscWhileFileOpen, !readerClears);
        EXPECT_EQ(B().m_U.m_rp.m_DiscWhileFileOpen, !row.secondUnit);

        CloseAndFlush(frame);
    }
}

// A tooltip names the label the operator sees, so that a relabelled button
// says what its handler does; the entry fields say how they are read.
TEST_F(Faces, EveryShownControlHasATooltipThatNamesItsLabel)
{
    for (const FaceRow& row : kFaces) {
        SCOPED_TRACE(row.what);
        Publish(row.type, row.periph, row.devTyp);
        Open();
        ASSERT_NE(frame->m_share, nullptr);
        for (wxWindow* w : frame->GetChildren()) {
            if (!w->IsShown() || dynamic_cast<wxStaticText*>(w))
                continue;
            wxString tip = w->GetToolTipText();
            SCOPED_TRACE(tip.ToStdString());
            EXPECT_FALSE(tip.empty()) << "control " << w->GetId();
            wxString label;
            if (IclButton* b = dynamic_cast<IclButton*>(w)) {
                if (b != frame->m_ctlOperNO && b != frame->m_ctlCurrFile && b != frame->m_ctlPunchFile)
                    label = b->Pane(false).text;
            } else if (wxButton* b = dynamic_cast<wxButton*>(w)) {
                label = b->GetLabel();
            } else if (dynamic_cast<wxTextCtrl*>(w)) {
                EXPECT_NE(tip.Find("octal"), wxNOT_FOUND);
            }
            if (!label.empty()) {
                EXPECT_TRUE(tip.StartsWith(label + ": "));
            }
        }
        if (row.type == PT_CR) {
            EXPECT_EQ(frame->m_ctlALLOCATE->GetToolTipText(),
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

    // Started from the command line, and still the poll never lights it.
    wxTimerEvent tick(frame->m_timer);
    frame->OnTimer(tick);
    EXPECT_FALSE(start.IsLit(false));
}

TEST_F(Faces, LayoutFitsTheShownControls)
{
    Publish(PT_CR, "CR1912/1");
    Open();
    // Row 2 holds operator number, ENG, the file display and the gauge.
    wxSize size = frame->GetClientSize();
    EXPECT_GE(size.x, 4 + 60 + 92 + 4 + 300 + 4 + 160 + 4);
    wxPoint eng = frame->m_ctlENG->GetPosition();
    wxPoint file = frame->m_ctlCurrFile->GetPosition();
    EXPECT_EQ(file.x, eng.x + 92 + 4);
    EXPECT_EQ(frame->m_ctlOperNO->GetPosition().x, 4);
    EXPECT_EQ(frame->m_ctlSTART->GetPosition(), wxPoint(4, 4));
    EXPECT_EQ(frame->m_ctlOperNO->GetPosition().y, 4 + 50 + 4);
}

// ---------------------------------------------------------------------------
// Lamps

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
        // The lower half of START is not the lamp's business.
        EXPECT_TRUE(frame->m_ctlSTART->IsLit(true));
    }
}

TEST_F(Lamps, HdHoldLampIsLeftAlone)
{
    Publish(PT_HD, "HD2851");
    Open("-s");
    frame->m_hold = true;
    frame->UpdateLights();
    EXPECT_FALSE(frame->m_ctlHOLD->IsLit(false));
    frame->m_ctlHOLD->Light(true, false);
    frame->m_hold = false;
    frame->UpdateLights();
    EXPECT_TRUE(frame->m_ctlHOLD->IsLit(false));
    EXPECT_TRUE(frame->m_ctlSTART->IsLit(false));
}

// ---------------------------------------------------------------------------
// The poll

using Poll = PanelTest;

TEST_F(Poll, DisconnectEndsTheAllocationAndClearsTheFileUnlessAReaderKeepsIt)
{
    struct Case {
        const char* what;
        BYTE type;
        const char* periph;
        bool keepOpen;
        bool kept;
        int gauge;  // -1: not looked at
    };
    for (Case c : {Case{"reader", PT_CR, "CR1912/1", false, false, 0},
                   Case{"reader keeping its file", PT_TR, "TR1915/2", true, true, 400},
                   // On a punch that byte belongs to its file name.
                   Case{"punch", PT_TP, "TP1925/2", true, false, -1}}) {
        SCOPED_TRACE(c.what);
        Publish(c.type, c.periph);
        Open("-s");
        frame->m_allocated = true;
        frame->UpdateLights();
        frame->ShowFilename("/data/tape.tp");
        frame->m_ctlProgress->SetRange(500);
        frame->m_ctlProgress->SetValue(400);
        B().m_U.m_cr.m_DiscWhileFileOpen = c.keepOpen;
        B().m_Disc = true;
        wxTimerEvent tick(frame->m_timer);
        frame->OnTimer(tick);
        EXPECT_FALSE(B().m_Disc);
        EXPECT_FALSE(frame->m_allocated);
        EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text, c.kept ? "tape.tp" : "");
        if (c.gauge >= 0) {
            EXPECT_EQ(frame->m_ctlProgress->GetValue(), c.gauge);
        }
        // The lamps are left alone in the disconnect tick and follow on the next.
        EXPECT_TRUE(frame->m_ctlALLOCATE->IsLit(false));
        frame->OnTimer(tick);
        EXPECT_FALSE(frame->m_ctlALLOCATE->IsLit(false));
        CloseAndFlush(frame);
    }
}

TEST_F(Poll, GaugeShowsWhatIsLeftWithinItsRange)
{
    Publish(PT_CR, "CR1912/1");
    Open("-s");
    frame->m_allocated = true;
    frame->m_ctlProgress->SetRange(1000);
    wxTimerEvent tick(frame->m_timer);
    struct Case {
        UINT size, pos;
        int value;
    };
    for (Case c : {Case{1000, 300, 700}, Case{1000, 1000, 0}, Case{1000, 1500, 0}, Case{5000, 0, 1000},
                   Case{0, 1, 0}, Case{0x90000000u, 0, 0}}) {
        B().m_U.m_cr.m_Filesize = c.size;
        B().m_U.m_cr.m_FilePosition = c.pos;
        frame->OnTimer(tick);
        EXPECT_EQ(frame->m_ctlProgress->GetValue(), c.value) << c.size << " " << c.pos;
    }
    // Not allocated: the gauge stays.
    frame->m_allocated = false;
    B().m_U.m_cr.m_FilePosition = 900;
    B().m_U.m_cr.m_Filesize = 1000;
    frame->m_ctlProgress->SetValue(555);
    frame->OnTimer(tick);
    EXPECT_EQ(frame->m_ctlProgress->GetValue(), 555);
}

TEST_F(Poll, StartMinimisedIconisesOnceMoreWhenTheHostIsFirstUp)
{
    Publish(PT_CP).m_HostUp = false;
    Open("-m");
    EXPECT_EQ(frame->IconizeRequests(), 1);
    wxTimerEvent tick(frame->m_timer);
    frame->OnTimer(tick);
    EXPECT_EQ(frame->IconizeRequests(), 1);
    B().m_HostUp = true;
    frame->OnTimer(tick);
    EXPECT_EQ(frame->IconizeRequests(), 2);
    frame->OnTimer(tick);
    EXPECT_EQ(frame->IconizeRequests(), 2);
}

TEST_F(Poll, HostDownWithoutCloseKeepsPolling)
{
    Publish(PT_CP).m_HostUp = false;
    Open("-s");
    wxTimerEvent tick(frame->m_timer);
    frame->OnTimer(tick);
    EXPECT_TRUE(frame->m_timer.IsRunning());
    EXPECT_NE(frame->m_share, nullptr);
    EXPECT_TRUE(frame->m_ctlSTART->IsLit(false));
}

// ---------------------------------------------------------------------------
// Close and placement

using Placement = PanelTest;

TEST_F(Placement, IsRestoredWhereTheWindowWasClosed)
{
    Publish(PT_CP);
    Open();
    frame->Move(123, 77);
    CloseAndFlush(frame);
    EXPECT_FALSE(frame);

    Publish(PT_CP);
    Open();
    EXPECT_EQ(frame->GetPosition(), wxPoint(123, 77));
}

TEST_F(Placement, NegativeOrOffScreenCoordinatesKeepTheDefaultPosition)
{
    wxString key = wxString::Format("Placement/Id-%u-%u", m_machine, m_chan);
    for (auto xy : {std::pair<long, long>{-1, 200}, {300, -5}, {100000, 100000}}) {
        {
            wxFileConfig cfg("dek", "VOV 1900-Edarodizadu");
            cfg.Write(key + "/x", xy.first);
            cfg.Write(key + "/y", xy.second);
        }
        Publish(PT_CP);
        Open();
        wxPoint pos = frame->GetPosition();
        EXPECT_NE(pos, wxPoint(xy.first, xy.second));
        EXPECT_LT(pos.x, 1600);
        frame->Move(5, 6);  // what the close stores: overwritten by the next round
        CloseAndFlush(frame);
    }
}

TEST_F(Placement, CloseReleasesTheBlockAndStopsTheTimerAndIsNeverVetoed)
{
    Publish(PT_CP);
    Open();
    ASSERT_TRUE(frame->m_timer.IsRunning());
    frame->Move(50, 60);
    wxWeakRef<DekFrame> ref(frame);
    const void* mapped = frame->m_share;
    EXPECT_TRUE(IsMapped(mapped));
    wxCloseEvent close(wxEVT_CLOSE_WINDOW, frame->GetId());
    close.SetCanVeto(true);
    close.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(close);
    EXPECT_FALSE(close.GetVeto());
    EXPECT_EQ(frame->m_share, nullptr);
    EXPECT_FALSE(frame->m_timer.IsRunning());
    for (int i = 0; i < 50 && ref; ++i)
        Pump(5);
    EXPECT_FALSE(ref) << "the default processing destroyed the frame";
}

TEST_F(Placement, ANeverAttachedPanelStoresItsPositionAndReleasesNothing)
{
    wxTEST_DIALOG(Open(std::vector<wxString>{"-M", "0"}), ErrorBox("Error: no machine number given (-M nnn)"));
    frame->Move(11, 22);
    CloseAndFlush(frame);
    EXPECT_FALSE(frame);
    wxFileConfig cfg("dek", "VOV 1900-Edarodizadu");
    EXPECT_EQ(cfg.ReadLong("Placement/Id-0-0/x", -1), 11);
    EXPECT_EQ(cfg.ReadLong("Placement/Id-0-0/y", -1), 22);
}

}  // namespace
