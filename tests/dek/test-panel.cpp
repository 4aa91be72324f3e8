// The panel window on real shared blocks: start-up, faces, lamps, the poll and the close.
#include "panel-harness.h"

#include "dek-placement.h"

#include <array>
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

// The selection dialog, answered with a channel (OK) or cancelled.
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

// The shown controls in a fixed order, the lamp buttons and the P/Q
// button by their labels.
std::string Shown(DekFrame& f)
{
    std::string s;
    const std::pair<wxWindow*, wxString> parts[] = {
        {f.m_ctlSTART, f.m_ctlSTART->Pane(false).text}, {f.m_ctlDATA, f.m_ctlDATA->Pane(false).text},
        {f.m_ctlALLOCATE, f.m_ctlALLOCATE->Pane(false).text}, {f.m_ctlHOLD, f.m_ctlHOLD->Pane(false).text},
        {f.m_ctlSTOP, "STOP"}, {f.m_ctlCurrFile, "file"}, {f.m_ctlProgress, "gauge"}, {f.m_ctlALLOCATE2, "A2"},
        {f.m_ctlHOLD2, "H2"}, {f.m_ctlBtn1, f.m_ctlBtn1 ? f.m_ctlBtn1->GetLabel() : ""}, {f.m_ctlQ, "Q"},
        {f.m_ctlP, "P"}, {f.m_ctlOperNO, "ops"}, {f.m_ctlENG, f.m_ctlENG->Pane(false).text}, {f.m_ctlCODE, "CODE"},
        {f.m_ctlSTART2, "START2"}, {f.m_ctlSTOP2, "STOP2"}, {f.m_ctlDATA2, "DATA2"}};
    for (const auto& [w, name] : parts)
        if (w != nullptr && w->IsShown())
            s += (s.empty() ? "" : " ") + name.ToStdString();
    return s;
}

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

// An unsupported type stops start-up right after the faces are set, and
// writes nothing into the block.
TEST_F(StartUp, TypesWithoutAFaceEndWithStatus1OnceTheInitialFacesAreSet)
{
    for (unsigned type : {13u, 63u, 255u, 5u}) {
        SCOPED_TRACE(type);
        CloseAndFlush(frame);
        Publish(static_cast<BYTE>(type)).m_U.m_cr.m_DiscWhileFileOpen = true;
        watch.exits.clear();
        wxTEST_DIALOG(Open(), ErrorBox(wxString::Format("Device type %u not supported", type)));
        EXPECT_EQ(watch.exits, std::vector<int>{1});
        EXPECT_TRUE(!frame->IsShown() && B().m_U.m_cr.m_DiscWhileFileOpen);
    }
    EXPECT_EQ(frame->GetTitle(), "RER 1900 Edaduvorar");
    DekFrame& f = *frame;
    EXPECT_EQ(Shown(f), "START ALLOCATE HOLD STOP ops ENG");
    EXPECT_TRUE(f.m_ctlBtn1 == nullptr && f.m_ctlQ == nullptr && f.m_ctlP == nullptr) << "built for P/Q alone";
    EXPECT_EQ(std::vector<wxSize>({f.m_ctlSTART->GetSize(), f.m_ctlOperNO->GetSize(), f.m_ctlCurrFile->GetSize()}),
              std::vector<wxSize>({{92, 50}, {60, 50}, {300, 36}}));
    EXPECT_EQ(f.m_ctlProgress->GetRange(), 100);
    const std::tuple<IclButton*, bool, const char*> looks[] = {
        {f.m_ctlSTART, false, "START #007F00/#00FF00 #FFFFFF/#FFFFFF 14 Courier New split"},
        {f.m_ctlSTART, true, " #007F00/#00FF00 #FFFFFF/#FFFFFF 14 Courier New lit split"},
        {f.m_ctlHOLD, false, "HOLD #7F7F3F/#C8C800 #FFFFFF/#FFFFFF 19 Courier New"},
        {f.m_ctlSTOP, false, "STOP #7F0000/#C80000 #FFFFFF/#FFFFFF 19 Courier New"},
        {f.m_ctlDATA, false, " #3F3F3F/#7F7F7F #FFFFFF/#FFFFFF 14 Courier New"},
        {f.m_ctlCODE, false, "CODE2 #3F3F3F/#7F7F7F #FFFFFF/#FFFFFF 14 Courier New split"},
        {f.m_ctlCODE, true, "CODE1 #3F3F3F/#7F7F7F #FFFFFF/#FFFFFF 14 Courier New split"},
        {f.m_ctlENG, false, "ENG #7F0000/#C80000 #FFFFFF/#FFFFFF 19 Courier New"},
        {f.m_ctlOperNO, false, " #7F7F7F/#7F7F7F #FFFFFF/#FFFFFF 18 Arial"},
        {f.m_ctlCurrFile, false, " #F0F0F0/#F0F0F0 #000000/#000000 19 Courier New"},
        {f.m_ctlSTART2, false, " #000000/#FFFF7F #FFFFFF/#FFFFFF 14 Courier New"}};
    for (const auto& [button, top, look] : looks)
        EXPECT_EQ(Look(*button, top), look) << button->GetId() << " " << top;
}

TEST_F(StartUp, AttachSetsTitleOperatorNumberAndStartsThePoll)
{
    Publish(PT_TR, "TR1915/1", PT_TR1915_1, 7);
    Open();
    ASSERT_NE(frame->m_share, nullptr);
    EXPECT_TRUE(watch.exits.empty() && frame->IsShown() && !frame->m_started && frame->m_timer.IsRunning());
    EXPECT_EQ(frame->GetTitle() + " " + frame->m_ctlOperNO->Pane(false).text, "U07 - TR1915/1 07");
    EXPECT_EQ(frame->m_timer.GetInterval(), 100);
    EXPECT_EQ(frame->m_shareSize, sizeof(S_SHAREBASE));
    EXPECT_EQ(frame->IconizeRequests(), 0);
}

TEST_F(StartUp, ReleasesTheMappedLengthNotTheClaimedOne)
{
    block.reset(new TestBlock(m_machine, m_chan, 2 * sizeof(S_SHAREBASE)));
    B().m_PeriType = PT_LP;
    B().m_SharedAreaSize = sizeof(S_SHAREBASE);
    Open();
    EXPECT_EQ(frame->m_shareSize, 2 * sizeof(S_SHAREBASE));
    const void* where = frame->m_share;
    CloseAndFlush(frame);
    EXPECT_FALSE(IsMappedFrom(where, block->Name())) << "the panel's own mapping is gone";
}

struct FaceRow {
    const char* what;
    BYTE type;
    const char* periph;
    UINT devTyp;
    const char* shown;  // the shown controls, labelled ones by their label
};

const FaceRow kFaces[] = {
    {"TR1915/1", PT_TR, "TR1915/1", PT_TR1915_1, "ON START STOP file gauge ops ENG"},
    {"RP2601", PT_TR, "RP2601", PT_RP2601, "START ALLOCATE HOLD STOP file gauge A2 H2 ops ENG"},
    {"TR other", PT_TR, "TR1915/2", PT_TR1915_2, "START DATA ALLOCATE HOLD STOP file gauge ops ENG"},
    {"TR case", PT_TR, "tr1915/1", PT_TR1915_1, "START DATA ALLOCATE HOLD STOP file gauge ops ENG"},
    {"TP1925/1", PT_TP, "TP1925/1", PT_TP1925_1, "ON START STOP ops ENG"},
    {"TP other", PT_TP, "TP1925/2", PT_TP1925_1, "START ALLOCATE HOLD STOP ops ENG"},
    {"LP", PT_LP, "LP1933/1", PT_LP1933_1, "START LOAD ALLOCATE HOLD STOP ops ENG"},
    {"CR", PT_CR, "CR1912/1", PT_CR1912_1, "START DATA ALLOCATE HOLD STOP file gauge ops ENG"},
    {"CP", PT_CP, "CP1920/2", PT_CP1920_2, "START ALLOCATE HOLD STOP ops ENG"},
    {"GP", PT_GP, "GP1934/1", PT_GP1934_1, "START ALLOCATE HOLD STOP ops ENG"},
    {"HD", PT_HD, "HD2851", PT_HD2851, "START ALLOCATE HOLD STOP ops ENG"},
    {"PB", PT_PB, "PB7210", PT_PB7210, "START ALLOCATE HOLD STOP ops ENG"},
    {"DR", PT_DR, "DR1964", PT_DR1964, "RESET START STOP ops ENG"},
    {"SC7930", PT_MX, "SC7930", PT_SC7930, "START ONLINE DISC STOP ops ENG"},
    {"MX other", PT_MX, "MX7007", PT_MX7007, "START ALLOCATE Allocate STOP ops ENG"},
    {"PQ", PT_40, "PT", PT_PT_SIMPLE, "START ALLOCATE HOLD STOP Send P/Q Q P ops ENG"},
};

using Faces = PanelTest;

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

        EXPECT_EQ(Shown(f), row.shown);
        // Relabelled buttons keep their colours (the TR1915/1 "STOP" is the yellow HOLD lamp).
        if (row.type != PT_DR) {
            EXPECT_EQ(std::make_pair(f.m_ctlHOLD->Pane(false).clrOn, f.m_ctlALLOCATE->Pane(false).clrOn),
                      std::make_pair(wxColour(200, 200, 0), wxColour(0, 255, 0)));
            EXPECT_TRUE(f.m_ctlSTART->IsSplit() && !f.m_ctlALLOCATE->IsSplit());
        }
        if (f.m_ctlDATA->IsShown()) {
            const bool load = f.m_ctlDATA->Pane(false).text == "LOAD";
            EXPECT_EQ(f.m_ctlDATA->Pane(false).clrOff, load ? wxColour(0, 127, 0) : wxColour(127, 127, 127));
            EXPECT_EQ(f.m_ctlDATA->Pane(false).clrOn, load ? wxColour(0, 255, 0) : wxColour(255, 255, 255));
        }
        // Only the readers clear the keep-open flag, a reader-punch its own.
        const bool secondUnit = f.m_ctlHOLD2->IsShown();
        EXPECT_EQ(B().m_U.m_cr.m_DiscWhileFileOpen, !((row.type == PT_TR || row.type == PT_CR) && !secondUnit));
        EXPECT_EQ(B().m_U.m_rp.m_DiscWhileFileOpen, !secondUnit);

        // A tooltip starts with the label the operator sees; an entry field's says how it is read.
        for (wxWindow* w : f.GetChildren()) {
            if (!w->IsShown() || dynamic_cast<wxStaticText*>(w))
                continue;
            const wxString tip = w->GetToolTipText();
            IclButton* ib = dynamic_cast<IclButton*>(w);
            wxButton* wb = dynamic_cast<wxButton*>(w);
            const bool labelled = ib && ib != f.m_ctlOperNO && ib != f.m_ctlCurrFile && ib != f.m_ctlPunchFile;
            const wxString label = labelled ? ib->Pane(false).text : wb ? wb->GetLabel() : wxString();
            EXPECT_TRUE(label.empty() ? !tip.empty() : tip.StartsWith(label + ": ")) << tip << " " << w->GetId();
            EXPECT_TRUE(!dynamic_cast<wxTextCtrl*>(w) || tip.Contains("octal")) << tip;
        }
        if (row.type == PT_CR) {
            EXPECT_EQ(f.m_ctlALLOCATE->GetToolTipText(), "ALLOCATE: choose the card deck to read; acts on a started panel");
        }
        CloseAndFlush(frame);
    }
}

TEST_F(Faces, DrumHasRedResetOverHotAndGreenStartOverGreySlow)
{
    Publish(PT_DR, "DR1964", PT_DR1964);
    Open("-s");
    const IclButton &start = *frame->m_ctlSTART, &alloc = *frame->m_ctlALLOCATE;
    EXPECT_EQ(Look(start) + "|" + Look(start, true), "RESET #7F0000/#C80000 #FFFFFF/#FFFFFF 14 Courier New split|"
                                                     "hot #7F0000/#C80000 #FFFFFF/#FFFFFF 14 Courier New split");
    EXPECT_EQ(Look(alloc) + "|" + Look(alloc, true), "START #007F00/#00FF00 #FFFFFF/#FFFFFF 19 Courier New split|"
                                                     "slow #3F3F3F/#7F7F7F #FFFFFF/#FFFFFF 14 Courier New split");
    Tick();
    EXPECT_FALSE(start.IsLit(false)) << "started from the command line, and still the poll never lights it";
}

using Lamps = PanelTest;

TEST_F(Lamps, FollowThePanelState)
{
    Publish(PT_CR, "CR1912/1");
    Open();
    const std::pair<std::array<bool, 5>, const char*> cases[] = {
        {{false, true, true, true, false}, "allocated hold eng | ENG"},
        {{true, false, true, false, true}, "started hold | START HOLD"},
        {{true, true, false, true, false}, "started allocated eng | START ALLOCATE ENG"},
        {{true, true, true, false, true}, "started allocated hold | START ALLOCATE HOLD"}};
    for (const auto& [s, state] : cases) {
        std::tie(frame->m_started, frame->m_allocated, frame->m_hold, frame->m_eng, frame->m_code) =
            std::tie(s[0], s[1], s[2], s[3], s[4]);
        frame->UpdateLights();
        EXPECT_EQ(State(), state);
        EXPECT_EQ(frame->m_ctlCODE->IsLit(false), s[4]);
        EXPECT_EQ(frame->m_ctlCODE->IsLit(true), !s[4]);
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
    std::vector<int> shown;
    for (auto [size, pos] : {std::pair<UINT, UINT>{1000, 300}, {1000, 1000}, {1000, 1500}, {5000, 0}, {0, 1},
                             {0x90000000u, 0}}) {
        std::tie(B().m_U.m_cr.m_Filesize, B().m_U.m_cr.m_FilePosition) = std::tie(size, pos);
        Tick();
        shown.push_back(frame->m_ctlProgress->GetValue());
    }
    EXPECT_EQ(shown, (std::vector<int>{700, 0, 0, 1000, 0, 0}));
    frame->m_allocated = false;
    B().m_U.m_cr.m_FilePosition = 900;
    frame->m_ctlProgress->SetValue(555);
    Tick();
    EXPECT_EQ(frame->m_ctlProgress->GetValue(), 555) << "not allocated: the gauge stays";
}

TEST_F(Poll, StartMinimisedIconisesOnceMoreWhenTheHostIsFirstUp)
{
    Publish(PT_CP).m_HostUp = false;
    Open("-m");
    std::vector<int> requests = {frame->IconizeRequests()};
    for (bool up : {false, true, true}) {
        B().m_HostUp = up;
        Tick();
        requests.push_back(frame->IconizeRequests());
    }
    EXPECT_EQ(requests, (std::vector<int>{1, 1, 2, 2}));
}

TEST_F(Poll, HostDownWithoutCloseKeepsPolling)
{
    Publish(PT_CP).m_HostUp = false;
    Open("-s");
    Tick();
    EXPECT_TRUE(frame->m_timer.IsRunning() && frame->m_share != nullptr && frame->m_ctlSTART->IsLit(false));
}

// The host withdrawing its block or leaving a request pending: test-crossings.

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
        // The killed panel's process number now belongs to a live process that is no panel.
        ChildProcess other;
        ASSERT_TRUE(other.Start({"/bin/sleep", "30"}));
        std::ofstream(path.fn_str()) << other.Pid();
        chmod(path.fn_str(), 0600);
        EXPECT_EQ(link.ClaimPeripheral(), DekPeerLink::Claim::First);
        EXPECT_TRUE(wxFileExists(path));
    }
    EXPECT_FALSE(wxFileExists(path)) << "removed with the claim";
}

using Placement = PanelTest;

TEST_F(Placement, CloseReleasesTheBlockStopsTheTimerIsNeverVetoedAndStoresThePlace)
{
    Publish(PT_CP);
    Open();
    frame->Move(123, 77);
    wxCloseEvent close(wxEVT_CLOSE_WINDOW, frame->GetId());
    close.SetCanVeto(true);
    close.SetEventObject(frame);
    frame->GetEventHandler()->ProcessEvent(close);
    EXPECT_TRUE(!close.GetVeto() && frame->m_share == nullptr && !frame->m_timer.IsRunning());
    PumpUntilGone(frame);
    EXPECT_FALSE(frame) << "the default processing destroyed the frame";

    Publish(PT_CP);
    Open();
    EXPECT_EQ(frame->GetPosition(), wxPoint(123, 77)) << "restored where it was closed";
}

// Negative coordinates are no stored position; a window hanging off the display goes into its corner.
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

// Left display 1280x1024 with a 24-pixel bar on top, right one 1024x768 level with its bottom.
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

}  // namespace
