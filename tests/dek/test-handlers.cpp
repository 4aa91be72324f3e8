// The operator's buttons on real shared blocks, with a host thread answering
// the requests: state changes, lamps, beeps, what the host finds in the block
// when a flag rises, and the file choices of ALLOCATE and DATA.
#include "panel-harness.h"

#include <wx/gauge.h>
#include <wx/textctrl.h>

using namespace panel_test;

namespace {

// ---------------------------------------------------------------------------
// Decisions without a window

TEST(OutputChoice, DeviceNamesAndPathsUnderTheRoot)
{
    struct Case {
        const char* path;
        const char* name;
        bool usable;
        const char* rel;
    };
    const char* root = "/srv/root";
    // Device names, case-blind roots and foreign directories are also driven
    // through the frame by the ALLOCATE tests below.
    for (Case c : {Case{"/srv/root/DEV_PRN", "DEV_PRN", true, "PRN"},
                   Case{"/x/Dev_tp1.a.b", "Dev_tp1.a.b", true, "tp1:"},
                   Case{"/x/dev_", "dev_", false, ""},
                   Case{"/srv/rootx", "rootx", false, ""},
                   Case{"/srv/root", "root", false, ""},
                   Case{"/srv/root/", "", false, ""}}) {
        DekOutputTarget t = MapOutputChoice(c.path, c.name, root);
        EXPECT_EQ(t.usable, c.usable) << c.path;
        if (c.usable) {
            EXPECT_EQ(t.rel, c.rel) << c.path;
        }
    }
    // A root given with a trailing separator, the root "/" and no root.
    EXPECT_EQ(MapOutputChoice("/srv/root/a/b", "b", "/srv/root/").rel, "a/b");
    EXPECT_EQ(MapOutputChoice("/a/b", "b", "/").rel, "a/b");
    EXPECT_FALSE(MapOutputChoice("/a/b", "b", "").usable);
    EXPECT_EQ(MapOutputChoice("/srv/root/data/out.tpe", "out.tpe", root).shown, "/srv/root/data/out.tpe");
}

TEST(OctalEntry, ReadsLikeScanfOctalAndRefusesMoreThan32Bits)
{
    struct Case {
        const char* text;
        bool ok;
        UINT value;
    };
    for (Case c : {Case{"777", true, 511}, Case{"", true, 0}, Case{" 12x", true, 10}, Case{"9", true, 0},
                   Case{"\t017", true, 15}, Case{"37777777777", true, 0xFFFFFFFFu}, Case{"77777777777", false, 0},
                   Case{"00000000000000000001", true, 1}, Case{"+7", true, 7}, Case{"-1", true, 0xFFFFFFFFu},
                   Case{"x7", true, 0}}) {
        UINT v = 12345;
        EXPECT_EQ(ScanOctalEntry(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(LastPathComponent, SlashFirstThenBackslash)
{
    EXPECT_EQ(LastPathComponent("a/b\\c"), "b\\c");
    EXPECT_EQ(LastPathComponent("c:\\x\\y"), "y");
    EXPECT_EQ(LastPathComponent("bare"), "bare");
}

// ---------------------------------------------------------------------------
// Presses through the frame's event table

class Buttons : public PanelTest {
protected:
    void Click(int id)
    {
        wxCommandEvent ev(wxEVT_BUTTON, id);
        ev.SetEventObject(frame);
        frame->ProcessWindowEvent(ev);
    }
};

TEST_F(Buttons, StartAndCode)
{
    Publish(PT_CP);
    Open();
    Click(ID_CODE);
    EXPECT_FALSE(frame->m_code) << "CODE before START does nothing";
    Click(ID_START);
    EXPECT_TRUE(frame->m_started);
    EXPECT_TRUE(frame->m_ctlSTART->IsLit(false));
    Click(ID_START);
    EXPECT_TRUE(frame->m_started);
    Click(ID_CODE);
    EXPECT_TRUE(frame->m_ctlCODE->IsLit(false));  // CODE2
    EXPECT_FALSE(frame->m_ctlCODE->IsLit(true));
    Click(ID_CODE);
    EXPECT_FALSE(frame->m_ctlCODE->IsLit(false));
    EXPECT_TRUE(frame->m_ctlCODE->IsLit(true));  // CODE1
    // Second-unit buttons without a handler, and the unnumbered displays.
    Click(ID_START2);
    Click(ID_STOP2);
    Click(ID_DATA2);
    Click(frame->m_ctlOperNO->GetId());
    EXPECT_TRUE(frame->m_started);
    EXPECT_FALSE(B().m_Allocate || B().m_Hold);
    EXPECT_EQ(watch.beeps, 0);
}

TEST_F(Buttons, StopWhileAllocatedClearsOperAndDarkensTheLamps)
{
    Started(PT_CP);
    B().m_Oper = true;
    frame->m_allocated = true;
    frame->m_hold = true;
    frame->m_eng = true;
    frame->UpdateLights();
    Click(ID_STOP);
    EXPECT_FALSE(B().m_Oper);
    EXPECT_FALSE(frame->m_started);
    EXPECT_FALSE(frame->m_allocated);
    EXPECT_TRUE(frame->m_hold);
    EXPECT_TRUE(frame->m_eng);
    EXPECT_FALSE(frame->m_ctlSTART->IsLit(false));
    EXPECT_FALSE(frame->m_ctlALLOCATE->IsLit(false));
    EXPECT_FALSE(frame->m_ctlHOLD->IsLit(false));
    EXPECT_TRUE(frame->m_ctlENG->IsLit(false));
    EXPECT_FALSE(B().m_Hold || B().m_Allocate);
}

TEST_F(Buttons, StopOnAStoppedPanelAsksBeforeClosing)
{
    Publish(PT_CP);
    Open();
    wxTEST_DIALOG(Click(ID_STOP), ExpectBox("Cancel?", wxYES_NO | wxICON_QUESTION, wxID_NO));
    ASSERT_TRUE(frame);
    EXPECT_NE(frame->m_share, nullptr);
    EXPECT_TRUE(frame->IsShown());

    wxTEST_DIALOG(Click(ID_STOP), ExpectBox("Cancel?", wxYES_NO | wxICON_QUESTION, wxID_YES));
    for (int i = 0; i < 50 && frame; ++i)
        Pump(5);
    EXPECT_FALSE(frame);
}

TEST_F(Buttons, HoldIsIgnoredBeforeStartAndBeforeAttach)
{
    Publish(PT_CP);
    Open();
    frame->m_allocated = true;
    Click(ID_HOLD);
    EXPECT_FALSE(frame->m_hold);
    EXPECT_FALSE(B().m_Hold);
    CloseAndFlush(frame);

    // Never attached: even when started, the presses that need the block do nothing.
    wxTEST_DIALOG(Open(std::vector<wxString>{"-M", "0", "-s"}), ErrorBox("Error: no machine number given (-M nnn)"));
    ASSERT_EQ(frame->m_share, nullptr);
    frame->m_started = true;
    for (int id : {ID_HOLD, ID_ALLOCATE, ID_DATA, ID_BUTTON1, ID_ALLOCATE2, ID_HOLD2})
        Click(id);
    EXPECT_EQ(watch.beeps, 0);
    EXPECT_TRUE(watch.dialogs.empty());
}

TEST_F(Buttons, HoldOnAnAllocatedPeripheralAsksTheHost)
{
    Started(PT_CP);
    frame->m_allocated = true;
    int holds = 0;
    StartHost({{&B().m_Hold, [&] { ++holds; }}});
    Click(ID_HOLD);
    EXPECT_EQ(holds, 1);
    EXPECT_FALSE(B().m_Hold);
    EXPECT_TRUE(frame->m_hold);
    EXPECT_TRUE(frame->m_allocated);
    EXPECT_TRUE(frame->m_ctlHOLD->IsLit(false));

    // HOLD, STOP, START: the HOLD lamp comes back.
    Click(ID_STOP);
    EXPECT_FALSE(frame->m_ctlHOLD->IsLit(false));
    Click(ID_START);
    EXPECT_TRUE(frame->m_ctlHOLD->IsLit(false));
}

TEST_F(Buttons, HoldOnHdDeallocates)
{
    Started(PT_HD, "HD2851");
    frame->m_allocated = true;
    frame->UpdateLights();
    EXPECT_TRUE(frame->m_ctlALLOCATE->IsLit(false));
    StartHost({{&B().m_Hold, nullptr}});
    Click(ID_HOLD);
    EXPECT_FALSE(frame->m_allocated);
    EXPECT_FALSE(frame->m_ctlALLOCATE->IsLit(false));
    EXPECT_FALSE(B().m_Hold);
}

TEST_F(Buttons, HoldOnMxStopsFirstSoTheRequestGoesOutWithoutAWait)
{
    Started(PT_MX, "MX7007", PT_MX7007);
    frame->m_allocated = true;
    Click(ID_HOLD);  // no host: a wait would never end
    EXPECT_TRUE(B().m_Hold);
    EXPECT_FALSE(frame->m_started);
    EXPECT_FALSE(frame->m_ctlSTART->IsLit(false));
}

TEST_F(Buttons, HoldOnAnUnallocatedPeripheralBeepsExceptToCloseAKeptFile)
{
    Started(PT_CP);
    Click(ID_HOLD);
    EXPECT_EQ(watch.beeps, 1);
    EXPECT_FALSE(B().m_Hold);
    CloseAndFlush(frame);

    Started(PT_CR, "CR1912/1");
    Click(ID_HOLD);
    EXPECT_EQ(watch.beeps, 2);
    EXPECT_FALSE(B().m_U.m_cr.m_Closefile);

    // The host disconnected with the file kept open: HOLD asks it to close.
    frame->ShowFilename("/data/deck.txt");
    frame->m_ctlProgress->SetValue(50);
    B().m_U.m_cr.m_DiscWhileFileOpen = true;
    int closes = 0;
    StartHost({{&B().m_U.m_cr.m_Closefile, [&] { ++closes; }}});
    Click(ID_HOLD);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(watch.beeps, 2);
    EXPECT_FALSE(B().m_Hold);
    EXPECT_TRUE(frame->m_ctlCurrFile->Pane(false).text.empty());
    EXPECT_EQ(frame->m_ctlProgress->GetValue(), 0);
    EXPECT_TRUE(frame->m_ctlProgress->IsShown());
}

TEST_F(Buttons, EngineerTellsTheHostOnlyWhenStarted)
{
    Publish(PT_CP);
    Open();
    Click(ID_ENGINEER);
    EXPECT_TRUE(frame->m_ctlENG->IsLit(false));
    EXPECT_FALSE(B().m_DebugSwitch);
    Click(ID_START);
    Click(ID_ENGINEER);
    EXPECT_FALSE(frame->m_ctlENG->IsLit(false));
    EXPECT_FALSE(B().m_DebugSwitch);
    Click(ID_ENGINEER);
    EXPECT_TRUE(B().m_DebugSwitch);
    EXPECT_TRUE(frame->m_ctlENG->IsLit(false));
}

TEST_F(Buttons, DataLoadsAFormatLoopOnAPrinterAndBeepsElsewhere)
{
    Started(PT_CR, "CR1912/1");
    Click(ID_DATA);
    EXPECT_EQ(watch.beeps, 1);
    EXPECT_TRUE(watch.dialogs.empty());
    CloseAndFlush(frame);

    Publish(PT_LP, "LP1933/1");
    Open();  // DATA does not need a started panel
    Click(ID_DATA);  // cancelled
    ASSERT_EQ(watch.dialogs.size(), 1u);
    EXPECT_EQ(watch.dialogs[0].first, "Select format loop");
    EXPECT_EQ(watch.dialogs[0].second, "Format loops|*.ini|All files|*.*");
    EXPECT_EQ(watch.dialogDirs[0], "/srv/root/Formatloops");
    EXPECT_EQ(watch.dialogStyles[0] & (wxFD_OPEN | wxFD_SAVE | wxFD_FILE_MUST_EXIST),
              wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    EXPECT_FALSE(B().m_U.m_lp.m_LoadFormatLoop);

    std::string seen;
    StartHost({{reinterpret_cast<volatile bool*>(&B().m_U.m_lp.m_LoadFormatLoop),
                [&] { seen = SAUtils::FieldText(B().m_U.m_lp.m_FormatLoopName); }}});
    watch.answers.push_back({"/elsewhere/std66.ini", "std66.ini"});
    Click(ID_DATA);
    EXPECT_EQ(seen, "std66.ini") << "the name is in place when the flag rises";
    EXPECT_FALSE(B().m_U.m_lp.m_LoadFormatLoop);
    EXPECT_EQ(watch.beeps, 1);

    // A name as long as the field is cut so that it keeps its NUL.
    wxString longName('f', 600);
    watch.answers.push_back({"/x/" + longName, longName});
    Click(ID_DATA);
    EXPECT_EQ(seen, std::string(511, 'f'));
    EXPECT_EQ(B().m_U.m_lp.m_FormatLoopName[511], '\0');
}

TEST_F(Buttons, SendPQStoresOctalValuesBeforeRaisingB)
{
    Publish(PT_40, "PT", PT_PT_SIMPLE);
    Open();  // not started: the request is posted without waiting
    UINT seenQ = 0, seenP = 0;
    int sends = 0;
    StartHost({{reinterpret_cast<volatile bool*>(&B().m_U.m_pt.B), [&] {
                    seenQ = B().m_U.m_pt.Q;
                    seenP = B().m_U.m_pt.P;
                    ++sends;
                }}});
    Click(ID_START);
    // How the entries read is the octal parser's business; here: both go in
    // before B rises and the fields are left as typed.
    frame->m_ctlQ->ChangeValue(" 12x");
    frame->m_ctlP->ChangeValue("17");
    Click(ID_BUTTON1);
    EXPECT_EQ(sends, 1);
    EXPECT_EQ(seenQ, 10u);
    EXPECT_EQ(seenP, 15u);
    EXPECT_EQ(frame->m_ctlQ->GetValue(), " 12x");
    // Too large for a word: a beep and nothing sent.
    frame->m_ctlQ->ChangeValue("77777777777");
    frame->m_ctlP->ChangeValue("1");
    B().m_U.m_pt.Q = 0;
    Click(ID_BUTTON1);
    EXPECT_EQ(watch.beeps, 1);
    EXPECT_EQ(sends, 1);
    EXPECT_EQ(B().m_U.m_pt.Q, 0u);
    EXPECT_FALSE(B().m_U.m_pt.B);
}

TEST_F(Buttons, SendPQOnOtherTypesDoesNothing)
{
    Started(PT_CP);
    frame->m_ctlQ->ChangeValue("7");
    Click(ID_BUTTON1);
    EXPECT_EQ(B().m_U.m_cp.m_Length, 0u);
    EXPECT_EQ(watch.beeps, 0);
}

TEST_F(Buttons, SecondUnitButtonsRaiseThePunchsOwnFlags)
{
    Publish(PT_TR, "RP2602", PT_RP2602);
    Open();
    // Attached but stopped: the flag is posted and the call returns.
    Click(ID_ALLOCATE2);
    EXPECT_TRUE(B().m_U.m_rp.m_Allocate2);
    EXPECT_FALSE(B().m_Allocate || B().m_Hold || B().m_U.m_rp.m_Hold2);
    B().m_U.m_rp.m_Allocate2 = false;
    Click(ID_HOLD2);
    EXPECT_TRUE(B().m_U.m_rp.m_Hold2);
    EXPECT_FALSE(B().m_Allocate || B().m_Hold || B().m_U.m_rp.m_Allocate2);
    EXPECT_FALSE(frame->m_allocated || frame->m_hold);
    CloseAndFlush(frame);

    // Other faces have no second unit: those bytes are their own records'.
    Publish(PT_TR, "TR1915/2", PT_TR1915_2);
    Open();
    Click(ID_ALLOCATE2);
    Click(ID_HOLD2);
    EXPECT_FALSE(B().m_U.m_rp.m_Allocate2 || B().m_U.m_rp.m_Hold2);
}

TEST_F(Buttons, ThePunchsFileIsShownFromItsAllocationToTheEndOfItsMedium)
{
    Started(PT_TR, "RP2602", PT_RP2602);
    EXPECT_FALSE(frame->m_ctlPunchFile->IsShown());
    StartHost({{&B().m_U.m_rp.m_Allocate2,
                [&] { SAUtils::StoreFieldText(B().m_U.m_rp.m_FilenameTP, "data/punch-7-1.tpe"); }}});
    Click(ID_ALLOCATE2);
    EXPECT_TRUE(watch.dialogs.empty());
    EXPECT_TRUE(frame->m_ctlPunchFile->IsShown());
    EXPECT_EQ(frame->m_ctlPunchFile->Pane(false).text, "data/punch-7-1.tpe");
    EXPECT_FALSE(frame->m_ctlALLOCATE->IsLit(false)) << "the reader is not allocated by it";

    B().m_U.m_rp.m_Disc2 = true;
    wxTimerEvent tick(frame->m_timer);
    frame->OnTimer(tick);
    EXPECT_FALSE(B().m_U.m_rp.m_Disc2);
    EXPECT_EQ(frame->m_ctlPunchFile->Pane(false).text, "");
}

// ---------------------------------------------------------------------------
// The wait

TEST_F(Buttons, StopEndsAWaitAndLeavesTheFlagRaised)
{
    Started(PT_TR, "RP2601", PT_RP2601);
    frame->CallAfter([this] {
        wxCommandEvent ev(wxEVT_BUTTON, ID_STOP);
        frame->ProcessWindowEvent(ev);
    });
    wxLongLong t0 = wxGetLocalTimeMillis();
    Click(ID_ALLOCATE2);  // nobody answers
    EXPECT_LT((wxGetLocalTimeMillis() - t0).GetValue(), 2000);
    EXPECT_FALSE(frame->m_started);
    EXPECT_TRUE(B().m_U.m_rp.m_Allocate2);
}

TEST_F(Buttons, AClosedPanelEndsItsWaitWithoutTouchingTheReleasedBlock)
{
    Started(PT_TR, "RP2601", PT_RP2601);
    frame->CallAfter([this] { frame->Close(true); });
    Click(ID_HOLD2);  // nobody answers
    // The frame outlived the wait; it goes once the handler has returned.
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->m_share, nullptr);
    for (int i = 0; i < 50 && frame; ++i)
        Pump(5);
    EXPECT_FALSE(frame);
}

TEST_F(Buttons, APressDuringAWaitRunsItsOwnWaitInsideTheFirst)
{
    Started(PT_TR, "RP2601", PT_RP2601);
    std::atomic<int> order{0};
    int holdSeen = 0, allocSeen = 0;
    // The host answers the allocate request at once but the hold request
    // only after a while, so the inner wait (allocate) runs inside the outer.
    StartHost({{&B().m_U.m_rp.m_Allocate2, [&] { allocSeen = ++order; }},
               {&B().m_U.m_rp.m_Hold2, [&] {
                    wxMilliSleep(150);
                    holdSeen = ++order;
                }}});
    bool innerReturned = false;
    frame->CallAfter([&] {
        wxCommandEvent ev(wxEVT_BUTTON, ID_ALLOCATE2);
        frame->ProcessWindowEvent(ev);
        innerReturned = true;
    });
    Click(ID_HOLD2);
    EXPECT_TRUE(innerReturned);
    EXPECT_GT(allocSeen, 0);
    EXPECT_GT(holdSeen, 0);
    EXPECT_FALSE(B().m_U.m_rp.m_Allocate2);
    EXPECT_FALSE(B().m_U.m_rp.m_Hold2);
}

// ---------------------------------------------------------------------------
// ALLOCATE

TEST_F(Buttons, AllocateOnAnAllocatedPanelBeepsAndOnAStoppedOneDoesNothing)
{
    Publish(PT_CP);
    Open();
    Click(ID_ALLOCATE);
    EXPECT_EQ(watch.beeps, 0);
    EXPECT_TRUE(watch.dialogs.empty());
    Click(ID_START);
    frame->m_allocated = true;
    Click(ID_ALLOCATE);
    EXPECT_EQ(watch.beeps, 1);
    EXPECT_TRUE(watch.dialogs.empty());
    EXPECT_FALSE(B().m_Allocate);
}

TEST_F(Buttons, PhysicalDeviceIsTakenWithoutADialog)
{
    Started(PT_LP, "LP1933/1");
    B().m_PhysicalDevice = true;
    strcpy(B().m_PhysicalDeviceName, "/dev/usb/lp0");
    frame->m_hold = true;
    StartHost({{&B().m_Allocate, nullptr}});
    Click(ID_ALLOCATE);
    EXPECT_TRUE(watch.dialogs.empty());
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text, "lp0");
    EXPECT_TRUE(frame->m_allocated);
    EXPECT_FALSE(frame->m_hold);
    EXPECT_TRUE(frame->m_ctlALLOCATE->IsLit(false));
    EXPECT_EQ(B().m_U.m_lp.m_Filename[0], '\0');
}

TEST_F(Buttons, DrumLightsSlowAndFollowsTheHostsAnswer)
{
    Started(PT_DR, "DR1964", PT_DR1964);
    StartHost({{&B().m_Allocate, [&] { B().m_Oper = true; }}});
    Click(ID_ALLOCATE);
    EXPECT_TRUE(frame->m_ctlALLOCATE->IsLit(true));
    EXPECT_TRUE(frame->m_allocated);
    EXPECT_EQ(watch.beeps, 0);
    CloseAndFlush(frame);
    StopHost();

    Started(PT_HD, "HD2851", PT_HD2851);
    StartHost({{&B().m_Allocate, [&] { B().m_Oper = false; }}});
    Click(ID_ALLOCATE);
    EXPECT_FALSE(frame->m_allocated);
    EXPECT_EQ(watch.beeps, 1);
    EXPECT_TRUE(frame->m_ctlALLOCATE->IsLit(true));
}

TEST_F(Buttons, RequestOnlyTypesRaiseAllocateWithoutADialog)
{
    for (BYTE type : {BYTE(PT_MX), BYTE(PT_40), BYTE(PT_PB)}) {
        SCOPED_TRACE(int(type));
        Started(type, "X", type == PT_40 ? PT_PT_SIMPLE : PT_NONE);
        // A poll inside a slow wait would set the HOLD lamp from the panel's
        // state; this is about what the allocation itself does to it.
        frame->m_timer.Stop();
        memset(&B().m_U, 0x5a, sizeof(SHAREA_PB));
        frame->m_ctlHOLD->Light(true, false);
        int allocs = 0;
        StartHost({{&B().m_Allocate, [&] { ++allocs; }}});
        Click(ID_ALLOCATE);
        StopHost();
        EXPECT_EQ(allocs, 1);
        EXPECT_TRUE(watch.dialogs.empty());
        EXPECT_FALSE(frame->m_allocated);
        EXPECT_TRUE(frame->m_ctlALLOCATE->IsLit(true));
        EXPECT_EQ(frame->m_ctlHOLD->IsLit(false), type != PT_MX);
        for (size_t i = 0; i < sizeof(SHAREA_PB); ++i)
            ASSERT_EQ(reinterpret_cast<unsigned char*>(&B().m_U)[i], 0x5a) << "record byte " << i;
        CloseAndFlush(frame);
    }
}

struct OutputCase {
    BYTE type;
    const char* ext;
    const char* path;
    const char* name;
    const char* written;
    const char* shown;
};

TEST_F(Buttons, OutputFilesGoRelativeToTheRootOrAsDeviceNames)
{
    for (OutputCase c : {OutputCase{PT_LP, "txt", "/home/op/dev_lp0.txt", "dev_lp0.txt", "lp0:", "lp0:"},
                         OutputCase{PT_LP, "txt", "/home/op/DEV_PRN", "DEV_PRN", "PRN", "PRN"},
                         OutputCase{PT_TP, "tpe", "/srv/root/data/out.tpe", "out.tpe", "data/out.tpe", "out.tpe"},
                         OutputCase{PT_CP, "txt", "/SRV/ROOT/spool/x.txt", "x.txt", "spool/x.txt", "x.txt"},
                         OutputCase{PT_GP, "gplt", "/srv/root/p.gplt", "p.gplt", "p.gplt", "p.gplt"}}) {
        SCOPED_TRACE(c.path);
        Started(c.type);
        frame->m_hold = true;
        std::string seen;
        bool seenDevice = false;
        StartHost({{&B().m_Allocate, [&] {
                        switch (c.type) {
                        case PT_LP:
                            seen = SAUtils::FieldText(B().m_U.m_lp.m_Filename);
                            seenDevice = B().m_U.m_lp.m_IsDevice;
                            break;
                        case PT_TP:
                            seen = SAUtils::FieldText(B().m_U.m_tp.m_Filename);
                            break;
                        case PT_CP:
                            seen = SAUtils::FieldText(B().m_U.m_cp.m_Filename);
                            break;
                        default:
                            seen = SAUtils::FieldText(B().m_U.m_gp.m_Filename);
                        }
                    }}});
        watch.dialogs.clear();
        watch.answers = {{c.path, c.name}};
        Click(ID_ALLOCATE);
        StopHost();
        ASSERT_EQ(watch.dialogs.size(), 1u);
        EXPECT_EQ(watch.dialogs[0].first, "Select output file");
        EXPECT_EQ(watch.dialogs[0].second, wxString::Format("Output files|*.%s|All files|*.*", c.ext));
        EXPECT_EQ(watch.dialogDirs[0], "/srv/root/data");
        EXPECT_EQ(watch.dialogStyles[0] & (wxFD_OPEN | wxFD_SAVE | wxFD_OVERWRITE_PROMPT), wxFD_SAVE);
        EXPECT_EQ(seen, c.written);
        EXPECT_EQ(seenDevice, c.type == PT_LP);
        EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text, c.shown);
        EXPECT_TRUE(frame->m_allocated);
        EXPECT_FALSE(frame->m_hold);
        EXPECT_TRUE(frame->m_ctlALLOCATE->IsLit(false));
        CloseAndFlush(frame);
    }
}

TEST_F(Buttons, OutputFileOutsideTheRootIsRefusedWithNothingWritten)
{
    for (const char* path : {"/tmp/out.tpe", "/srv/root2/x"}) {
        SCOPED_TRACE(path);
        Started(PT_TP);
        memset(B().m_U.m_tp.m_Filename, 'z', sizeof B().m_U.m_tp.m_Filename);
        int allocs = 0;
        StartHost({{&B().m_Allocate, [&] { ++allocs; }}});  // so that a wrong acceptance does not hang
        watch.answers = {{path, LastPathComponent(path)}};
        wxTEST_DIALOG(Click(ID_ALLOCATE), ErrorBox("File is not in a usable directory"));
        StopHost();
        EXPECT_EQ(allocs, 0);
        EXPECT_FALSE(frame->m_allocated);
        EXPECT_EQ(B().m_U.m_tp.m_Filename[0], 'z');
        EXPECT_EQ(B().m_U.m_tp.m_Filename[255], 'z');
        CloseAndFlush(frame);
    }
    // A cancelled dialog changes nothing either.
    Started(PT_GP);
    watch.dialogs.clear();
    Click(ID_ALLOCATE);
    EXPECT_EQ(watch.dialogs.size(), 1u);
    EXPECT_FALSE(B().m_Allocate);
    EXPECT_FALSE(frame->m_allocated);
}

TEST_F(Buttons, HostDownWhileTheUnusableDirectoryBoxIsUpStillClosesThePanel)
{
    Started(PT_LP);
    B().m_CloseOnHostDown = true;
    watch.answers = {{"/tmp/elsewhere.txt", "elsewhere.txt"}};
    auto hostDownTick = [this] {
        B().m_HostUp = false;
        wxTimerEvent tick(frame->m_timer);
        frame->OnTimer(tick);
    };
    wxTEST_DIALOG(Click(ID_ALLOCATE), ErrorBox("File is not in a usable directory").WhileShown(hostDownTick));
    EXPECT_EQ(frame->m_share, nullptr) << "the block is released at once";
    for (int i = 0; i < 50 && frame; ++i)
        Pump(5);
    EXPECT_FALSE(frame) << "and the frame goes once the box is dismissed";
}

TEST_F(Buttons, InputFileGoesWithItsAbsolutePathAndSetsTheGauge)
{
    Started(PT_CR, "CR1912/1");
    frame->m_hold = true;
    std::string seen;
    StartHost({{&B().m_Allocate, [&] {
                    seen = SAUtils::FieldText(B().m_U.m_cr.m_Filename);
                    B().m_U.m_cr.m_Filesize = 1000;
                    wxMilliSleep(150);
                }}});
    bool allocatedDuringWait = false;
    frame->CallAfter([&] { allocatedDuringWait = frame->m_allocated; });
    watch.answers = {{"/tmp/elsewhere/deck.txt", "deck.txt"}};
    Click(ID_ALLOCATE);
    ASSERT_EQ(watch.dialogs.size(), 1u);
    EXPECT_EQ(watch.dialogs[0].first, "Select CR file for input");
    EXPECT_EQ(watch.dialogs[0].second,
              "Text files|*.txt;*.lis;*.text|Source files|*.plan;*.plas;*.for;*.cob|All files|*.*");
    EXPECT_EQ(watch.dialogDirs[0], "/srv/root/data");
    EXPECT_EQ(watch.dialogStyles[0] & (wxFD_OPEN | wxFD_SAVE | wxFD_FILE_MUST_EXIST),
              wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    EXPECT_EQ(seen, "/tmp/elsewhere/deck.txt");
    EXPECT_TRUE(allocatedDuringWait);
    EXPECT_TRUE(frame->m_allocated);
    EXPECT_FALSE(frame->m_hold);
    EXPECT_EQ(frame->m_ctlProgress->GetRange(), 1000);
    EXPECT_EQ(frame->m_ctlProgress->GetValue(), 1000);
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text, "deck.txt");
    EXPECT_TRUE(frame->m_ctlALLOCATE->IsLit(false));
}

TEST_F(Buttons, TapeReaderDialogAndAnEmptyFileLeaveTheGauge)
{
    Started(PT_TR, "TR1915/1", PT_TR1915_1);
    // A poll inside the wait would set the gauge from the block (to 0 here);
    // this is about what the allocation itself does.
    frame->m_timer.Stop();
    frame->m_ctlProgress->SetRange(77);
    frame->m_ctlProgress->SetValue(33);
    StartHost({{&B().m_Allocate, [&] { B().m_U.m_cr.m_Filesize = 0; }}});
    wxString longPath = "/d/" + wxString('n', 300);
    watch.answers = {{longPath, wxString('n', 300)}};
    Click(ID_ALLOCATE);
    ASSERT_EQ(watch.dialogs.size(), 1u);
    EXPECT_EQ(watch.dialogs[0].first, "Select TR file for input");
    EXPECT_EQ(watch.dialogs[0].second, "Tape files|*.tp*;*.tape|Text files|*.txt;*.lis|All files|*.*");
    EXPECT_EQ(frame->m_ctlProgress->GetRange(), 77);
    EXPECT_EQ(frame->m_ctlProgress->GetValue(), 33);
    EXPECT_EQ(SAUtils::FieldText(B().m_U.m_cr.m_Filename), longPath.Left(255).ToStdString());
    EXPECT_TRUE(frame->m_allocated);
}

TEST_F(Buttons, ReaderResumesAKeptFileWithoutADialog)
{
    Started(PT_CR, "CR1912/1");
    frame->ShowFilename("/x/deck.txt");
    B().m_U.m_cr.m_DiscWhileFileOpen = true;
    int allocs = 0;
    StartHost({{&B().m_Allocate, [&] { ++allocs; }}});
    Click(ID_ALLOCATE);
    EXPECT_EQ(allocs, 1);
    EXPECT_TRUE(watch.dialogs.empty());
    EXPECT_TRUE(frame->m_allocated);
    EXPECT_TRUE(frame->m_ctlALLOCATE->IsLit(false));
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text, "deck.txt");
}

TEST_F(Buttons, AReaderPunchsReaderUsesItsOwnFieldsClearOfThePunchs)
{
    Started(PT_TR, "RP2601", PT_RP2601);
    std::string seen;
    int closes = 0;
    StartHost({{&B().m_Allocate,
                [&] {
                    seen = SAUtils::FieldText(B().m_U.m_rp.m_FilenameTR);
                    B().m_U.m_rpr.m_Filesize = 1000;
                }},
               {&B().m_U.m_rpr.m_Closefile, [&] { ++closes; }}});
    watch.answers = {{"/data/deck.tp", "deck.tp"}};
    Click(ID_ALLOCATE);
    EXPECT_EQ(seen, "/data/deck.tp");
    EXPECT_FALSE(B().m_U.m_rp.m_Hold2 || B().m_U.m_rp.m_Disc2);
    EXPECT_EQ(frame->m_ctlProgress->GetRange(), 1000);
    B().m_U.m_rpr.m_FilePosition = 300;
    wxTimerEvent tick(frame->m_timer);
    frame->OnTimer(tick);
    EXPECT_EQ(frame->m_ctlProgress->GetValue(), 700);

    // A disconnect that keeps the file open, then HOLD to have it closed.
    B().m_U.m_rp.m_DiscWhileFileOpen = true;
    B().m_Disc = true;
    frame->OnTimer(tick);
    EXPECT_FALSE(frame->m_allocated);
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text, "deck.tp");
    Click(ID_HOLD);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(watch.beeps, 0);
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text, "");
}

TEST_F(Buttons, InputDialogCancelledChangesNothing)
{
    Started(PT_CR, "CR1912/1");
    Click(ID_ALLOCATE);
    EXPECT_EQ(watch.dialogs.size(), 1u);
    EXPECT_FALSE(frame->m_allocated);
    EXPECT_FALSE(B().m_Allocate);
    EXPECT_EQ(B().m_U.m_cr.m_Filename[0], '\0');
}

}  // namespace
