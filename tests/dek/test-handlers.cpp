// The operator's buttons on real shared blocks, with a host thread answering the requests.
#include "panel-harness.h"

#include <wx/gauge.h>
#include <wx/textctrl.h>

using namespace panel_test;

namespace {

using Buttons = PanelTest;

TEST_F(Buttons, StartAndCode)
{
    Publish(PT_CP);
    Open();
    Click(ID_CODE);
    EXPECT_FALSE(frame->m_code) << "CODE before START does nothing";
    Click(ID_START);
    Click(ID_START);
    EXPECT_EQ(State(), "started | START");
    std::string code;  // CODE2 (upper), CODE1 (lower) after each press
    for (int i = 0; i < 2; ++i) {
        Click(ID_CODE);
        code += std::to_string(frame->m_ctlCODE->IsLit(false)) + std::to_string(frame->m_ctlCODE->IsLit(true));
    }
    EXPECT_EQ(code, "1001");
    // Second-unit buttons without a handler, and the unnumbered displays.
    for (int id : {int(ID_START2), int(ID_STOP2), int(ID_DATA2), frame->m_ctlOperNO->GetId()})
        Click(id);
    EXPECT_EQ(State(), "started | START");
    EXPECT_FALSE(B().m_Allocate || B().m_Hold || watch.beeps);
}

TEST_F(Buttons, StopWhileAllocatedClearsOperAndDarkensTheLamps)
{
    Started(PT_CP);
    B().m_Oper = true;
    Click(ID_STOP);
    EXPECT_TRUE(B().m_Oper) << "not allocated: left on line";
    Click(ID_START);
    frame->m_allocated = frame->m_hold = frame->m_eng = true;
    frame->UpdateLights();
    Click(ID_STOP);
    EXPECT_FALSE(B().m_Oper);
    EXPECT_EQ(State(), "hold eng | ENG");
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
    PumpUntilGone(frame);
    EXPECT_FALSE(frame);
}

TEST_F(Buttons, HoldAndAllocateAreIgnoredBeforeStartAndBeforeAttach)
{
    Publish(PT_CP);
    Open();
    frame->m_allocated = true;
    Click(ID_HOLD);
    Click(ID_ALLOCATE);
    EXPECT_FALSE(frame->m_hold || B().m_Hold || B().m_Allocate || watch.beeps);
    // Started and allocated, ALLOCATE beeps.
    Click(ID_START);
    frame->m_allocated = true;
    Click(ID_ALLOCATE);
    EXPECT_TRUE(watch.beeps == 1 && watch.dialogs.empty() && !B().m_Allocate);
    CloseAndFlush(frame);

    // Never attached: even when started, the presses that need the block do nothing.
    wxTEST_DIALOG(Open(std::vector<wxString>{"-M", "0", "-s"}), ErrorBox("Error: no machine number given (-M nnn)"));
    ASSERT_EQ(frame->m_share, nullptr);
    frame->m_started = true;
    for (int id : {ID_HOLD, ID_ALLOCATE, ID_DATA, ID_BUTTON1, ID_ALLOCATE2, ID_HOLD2})
        Click(id);
    EXPECT_TRUE(watch.beeps == 1 && watch.dialogs.empty()) << "no beep more";
}

TEST_F(Buttons, HoldOnAnAllocatedPeripheralAsksTheHost)
{
    Started(PT_CP);
    frame->m_allocated = true;
    int holds = 0;
    StartHost({{&B().m_Hold, [&] { ++holds; }}});
    Click(ID_HOLD);
    EXPECT_TRUE(holds == 1 && !B().m_Hold);
    EXPECT_EQ(State(), "started allocated hold | START ALLOCATE HOLD");
    Click(ID_STOP);
    EXPECT_EQ(State(), "hold |");
    Click(ID_START);
    EXPECT_EQ(State(), "started hold | START HOLD") << "the HOLD lamp comes back";
}

TEST_F(Buttons, HoldOnHdDeallocatesAndOnMxStopsFirstSoTheRequestGoesOutWithoutAWait)
{
    Started(PT_HD, "HD2851");
    frame->m_allocated = true;
    frame->UpdateLights();
    StartHost({{&B().m_Hold, nullptr}});
    Click(ID_HOLD);
    EXPECT_EQ(State(), "started hold | START");
    CloseAndFlush(frame);
    StopHost();

    Started(PT_MX, "MX7007", PT_MX7007);
    frame->m_allocated = true;
    Click(ID_HOLD);  // no host: a wait would never end
    EXPECT_TRUE(B().m_Hold);
    EXPECT_EQ(State(), "allocated hold |");
}

TEST_F(Buttons, HoldOnAnUnallocatedPeripheralBeepsExceptToCloseAKeptFile)
{
    Started(PT_CP);
    Click(ID_HOLD);
    EXPECT_TRUE(watch.beeps == 1 && !B().m_Hold);
    CloseAndFlush(frame);

    Started(PT_CR, "CR1912/1");
    Click(ID_HOLD);
    EXPECT_TRUE(watch.beeps == 2 && !B().m_U.m_cr.m_Closefile);

    // The host disconnected with the file kept open: HOLD asks it to close.
    frame->ShowFilename("/data/deck.txt");
    frame->m_ctlProgress->SetValue(50);
    B().m_U.m_cr.m_DiscWhileFileOpen = true;
    int closes = 0;
    StartHost({{&B().m_U.m_cr.m_Closefile, [&] { ++closes; }}});
    Click(ID_HOLD);
    EXPECT_TRUE(closes == 1 && watch.beeps == 2 && !B().m_Hold);
    EXPECT_TRUE(frame->m_ctlCurrFile->Pane(false).text.empty());
    EXPECT_TRUE(frame->m_ctlProgress->GetValue() == 0 && frame->m_ctlProgress->IsShown());
}

TEST_F(Buttons, EngineerTellsTheHostOnlyWhenStarted)
{
    Publish(PT_CP);
    Open();
    std::string seen;  // the lamp, then the host's switch, after each press
    for (int id : {ID_ENGINEER, ID_START, ID_ENGINEER, ID_ENGINEER}) {
        Click(id);
        seen += std::to_string(frame->m_ctlENG->IsLit(false)) + std::to_string(B().m_DebugSwitch) + " ";
    }
    EXPECT_EQ(seen, "10 10 00 11 ");
}

TEST_F(Buttons, DataLoadsAFormatLoopOnAPrinterAndBeepsElsewhere)
{
    Started(PT_CR, "CR1912/1");
    Click(ID_DATA);
    EXPECT_TRUE(watch.beeps == 1 && watch.dialogs.empty());
    CloseAndFlush(frame);

    Publish(PT_LP, "LP1933/1");
    Open();          // DATA does not need a started panel
    Click(ID_DATA);  // cancelled
    watch.ExpectOneDialog("Select format loop", "Format loops|*.ini|All files|*.*", "/srv/root/Formatloops",
                          wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    EXPECT_FALSE(B().m_U.m_lp.m_LoadFormatLoop);

    std::string seen;
    StartHost({{reinterpret_cast<volatile bool*>(&B().m_U.m_lp.m_LoadFormatLoop),
                [&] { seen = SAUtils::FieldText(B().m_U.m_lp.m_FormatLoopName); }}});
    watch.answers.push_back({"/elsewhere/std66.ini", "std66.ini"});
    Click(ID_DATA);
    EXPECT_EQ(seen, "std66.ini") << "the name is in place when the flag rises";
    EXPECT_TRUE(!B().m_U.m_lp.m_LoadFormatLoop && watch.beeps == 1);

    // A name as long as the field is cut so that it keeps its NUL.
    wxString longName('f', 600);
    watch.answers.push_back({"/x/" + longName, longName});
    Click(ID_DATA);
    EXPECT_EQ(seen, std::string(511, 'f'));
    EXPECT_EQ(B().m_U.m_lp.m_FormatLoopName[511], '\0');
}

TEST_F(Buttons, SendPQStoresOctalValuesBeforeRaisingBAndIsForThePQInterfaceOnly)
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
    frame->m_ctlQ->ChangeValue(" 12x");
    frame->m_ctlP->ChangeValue("17");
    Click(ID_BUTTON1);
    EXPECT_EQ(std::vector<UINT>({UINT(sends), seenQ, seenP}), std::vector<UINT>({1, 10, 15}));
    EXPECT_EQ(frame->m_ctlQ->GetValue(), " 12x") << "left as typed";
    // Too large for a word: a beep and nothing sent.
    frame->m_ctlQ->ChangeValue("77777777777");
    frame->m_ctlP->ChangeValue("1");
    B().m_U.m_pt.Q = 0;
    Click(ID_BUTTON1);
    EXPECT_TRUE(watch.beeps == 1 && sends == 1 && B().m_U.m_pt.Q == 0u && !B().m_U.m_pt.B);
    CloseAndFlush(frame);
    StopHost();

    Started(PT_CP);
    ASSERT_EQ(frame->m_ctlQ, nullptr) << "not built for a card punch";
    Click(ID_BUTTON1);
    EXPECT_TRUE(B().m_U.m_cp.m_Length == 0u && watch.beeps == 1);
}

// The punch's file is shown once the host has answered: at once after a wait
// on a started panel, from the poll on a stopped one, which posts the request
// without waiting. One request at a time: a second press meanwhile beeps.
TEST_F(Buttons, SecondUnitButtonsRaiseThePunchsOwnFlagsAndShowItsFileUntilTheEndOfItsMedium)
{
    Publish(PT_TR, "RP2602", PT_RP2602);
    Open();
    Click(ID_ALLOCATE2);
    Click(ID_ALLOCATE2);
    Click(ID_HOLD2);
    // Allocate, Hold, Allocate2, Hold2 as raised, and the beeps.
    EXPECT_EQ(std::vector<int>({B().m_Allocate, B().m_Hold, B().m_U.m_rp.m_Allocate2, B().m_U.m_rp.m_Hold2, watch.beeps}),
              std::vector<int>({0, 0, 1, 1, 1}));
    SAUtils::StoreFieldText(B().m_U.m_rp.m_FilenameTP, "data/punch-7-1.tpe");
    B().m_U.m_rp.m_Allocate2 = false;
    Tick();
    EXPECT_EQ(frame->m_ctlPunchFile->Pane(false).text, "data/punch-7-1.tpe");
    EXPECT_TRUE(watch.dialogs.empty() && frame->m_ctlPunchFile->IsShown());
    EXPECT_EQ(State(), "|") << "the reader is not allocated by it";
    B().m_U.m_rp.m_Disc2 = true;
    Tick();
    EXPECT_FALSE(B().m_U.m_rp.m_Disc2);
    EXPECT_EQ(frame->m_ctlPunchFile->Pane(false).text, "");

    Click(ID_START);
    StartHost({{&B().m_U.m_rp.m_Allocate2,
                [&] { SAUtils::StoreFieldText(B().m_U.m_rp.m_FilenameTP, "data/punch-7-2.tpe"); }}});
    Click(ID_ALLOCATE2);
    EXPECT_EQ(frame->m_ctlPunchFile->Pane(false).text, "data/punch-7-2.tpe");
    CloseAndFlush(frame);
    StopHost();

    // Other faces have no second unit: those bytes are their own records'.
    Publish(PT_TR, "TR1915/2", PT_TR1915_2);
    Open();
    Click(ID_ALLOCATE2);
    Click(ID_HOLD2);
    EXPECT_FALSE(B().m_U.m_rp.m_Allocate2 || B().m_U.m_rp.m_Hold2);
}

TEST_F(Buttons, APressDuringAWaitRunsItsOwnWaitInsideTheFirst)
{
    Started(PT_TR, "RP2601", PT_RP2601);
    std::atomic<int> order{0};
    int holdSeen = 0, allocSeen = 0;
    // Hold is answered late, so the inner wait (allocate) runs inside the outer.
    StartHost({{&B().m_U.m_rp.m_Allocate2, [&] { allocSeen = ++order; }},
               {&B().m_U.m_rp.m_Hold2, [&] {
                    wxMilliSleep(150);
                    holdSeen = ++order;
                }}});
    bool innerReturned = false;
    frame->CallAfter([&] {
        Click(ID_ALLOCATE2);
        innerReturned = true;
    });
    Click(ID_HOLD2);
    EXPECT_TRUE(innerReturned && allocSeen > 0 && holdSeen > 0);
    EXPECT_FALSE(B().m_U.m_rp.m_Allocate2 || B().m_U.m_rp.m_Hold2);
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
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text + " " + State(), "lp0 started allocated | START ALLOCATE");
    EXPECT_EQ(B().m_U.m_lp.m_Filename[0], '\0');
}

TEST_F(Buttons, DrumLightsSlowAndFollowsTheHostsAnswer)
{
    Started(PT_DR, "DR1964", PT_DR1964);
    StartHost({{&B().m_Allocate, [&] { B().m_Oper = true; }}});
    Click(ID_ALLOCATE);
    EXPECT_TRUE(frame->m_allocated && frame->m_ctlALLOCATE->IsLit(true) && watch.beeps == 0);
    CloseAndFlush(frame);
    StopHost();

    Started(PT_HD, "HD2851", PT_HD2851);
    StartHost({{&B().m_Allocate, [&] { B().m_Oper = false; }}});
    Click(ID_ALLOCATE);
    EXPECT_TRUE(!frame->m_allocated && frame->m_ctlALLOCATE->IsLit(true) && watch.beeps == 1);
}

TEST_F(Buttons, RequestOnlyTypesRaiseAllocateWithoutADialog)
{
    for (BYTE type : {BYTE(PT_MX), BYTE(PT_40), BYTE(PT_PB)}) {
        SCOPED_TRACE(int(type));
        Started(type, "X", type == PT_40 ? PT_PT_SIMPLE : PT_NONE);
        // A poll in the wait would set the HOLD lamp; this is about the allocation alone.
        frame->m_timer.Stop();
        memset(&B().m_U, 0x5a, sizeof(SHAREA_PB));
        frame->m_ctlHOLD->Light(true, false);
        int allocs = 0;
        StartHost({{&B().m_Allocate, [&] { ++allocs; }}});
        Click(ID_ALLOCATE);
        StopHost();
        EXPECT_TRUE(allocs == 1 && watch.dialogs.empty());
        EXPECT_TRUE(!frame->m_allocated && frame->m_ctlALLOCATE->IsLit(true));
        EXPECT_EQ(frame->m_ctlHOLD->IsLit(false), type != PT_MX);
        for (size_t i = 0; i < sizeof(SHAREA_PB); ++i)
            ASSERT_EQ(reinterpret_cast<unsigned char*>(&B().m_U)[i], 0x5a) << "record byte " << i;
        CloseAndFlush(frame);
    }
}

TEST_F(Buttons, OutputFilesGoRelativeToTheRootOrAsDeviceNames)
{
    const struct {
        BYTE type;
        const char *ext, *path, *name, *written, *shown;
    } cases[] = {{PT_LP, "txt", "/home/op/dev_lp0.txt", "dev_lp0.txt", "lp0:", "lp0:"},
                 {PT_LP, "txt", "/home/op/DEV_PRN", "DEV_PRN", "PRN", "PRN"},
                 {PT_TP, "tpe", "/srv/root/data/out.tpe", "out.tpe", "data/out.tpe", "out.tpe"},
                 {PT_CP, "txt", "/SRV/ROOT/spool/x.txt", "x.txt", "spool/x.txt", "x.txt"},
                 {PT_GP, "gplt", "/srv/root/p.gplt", "p.gplt", "p.gplt", "p.gplt"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Started(c.type);
        frame->m_hold = true;
        std::string seen;
        bool seenDevice = false;
        StartHost({{&B().m_Allocate, [&] {
                        const S_SHAREBASE& b = B();
                        seen = c.type == PT_LP   ? SAUtils::FieldText(b.m_U.m_lp.m_Filename)
                               : c.type == PT_TP ? SAUtils::FieldText(b.m_U.m_tp.m_Filename)
                               : c.type == PT_CP ? SAUtils::FieldText(b.m_U.m_cp.m_Filename)
                                                 : SAUtils::FieldText(b.m_U.m_gp.m_Filename);
                        seenDevice = c.type == PT_LP && b.m_U.m_lp.m_IsDevice;
                    }}});
        watch.answers = {{c.path, c.name}};
        Click(ID_ALLOCATE);
        StopHost();
        watch.ExpectOneDialog("Select output file", wxString::Format("Output files|*.%s|All files|*.*", c.ext),
                              "/srv/root/data", wxFD_SAVE);
        EXPECT_EQ(seen, c.written);
        EXPECT_EQ(seenDevice, c.type == PT_LP);
        EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text, c.shown);
        EXPECT_EQ(State(), "started allocated | START ALLOCATE");
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
        EXPECT_TRUE(allocs == 0 && !frame->m_allocated);
        EXPECT_TRUE(B().m_U.m_tp.m_Filename[0] == 'z' && B().m_U.m_tp.m_Filename[255] == 'z');
        CloseAndFlush(frame);
    }
    // A cancelled dialog changes nothing either.
    Started(PT_GP);
    Click(ID_ALLOCATE);
    EXPECT_TRUE(watch.dialogs.size() == 1u && !B().m_Allocate && !frame->m_allocated);
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
    watch.ExpectOneDialog("Select CR file for input",
                          "Text files|*.txt;*.lis;*.text|Source files|*.plan;*.plas;*.for;*.cob|All files|*.*",
                          "/srv/root/data", wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    EXPECT_EQ(seen, "/tmp/elsewhere/deck.txt");
    EXPECT_TRUE(allocatedDuringWait);
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text + " " + State(), "deck.txt started allocated | START ALLOCATE");
    EXPECT_EQ(frame->m_ctlProgress->GetRange() + frame->m_ctlProgress->GetValue(), 2000);
    CloseAndFlush(frame);
    StopHost();

    // A reader that keeps its file open resumes it without a dialog.
    Started(PT_CR, "CR1912/1");
    frame->ShowFilename("/x/deck.txt");
    B().m_U.m_cr.m_DiscWhileFileOpen = true;
    int allocs = 0;
    StartHost({{&B().m_Allocate, [&] { ++allocs; }}});
    Click(ID_ALLOCATE);
    EXPECT_TRUE(allocs == 1 && watch.dialogs.empty());
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text + " " + State(), "deck.txt started allocated | START ALLOCATE");
    CloseAndFlush(frame);

    // A cancelled dialog changes nothing.
    Started(PT_CR, "CR1912/1");
    Click(ID_ALLOCATE);
    EXPECT_TRUE(watch.dialogs.size() == 1u && !frame->m_allocated && !B().m_Allocate);
    EXPECT_EQ(B().m_U.m_cr.m_Filename[0], '\0');
}

TEST_F(Buttons, TapeReaderDialogAndAnEmptyFileLeaveTheGauge)
{
    Started(PT_TR, "TR1915/1", PT_TR1915_1);
    // A poll in the wait would set the gauge; this is about the allocation alone.
    frame->m_timer.Stop();
    frame->m_ctlProgress->SetRange(77);
    frame->m_ctlProgress->SetValue(33);
    StartHost({{&B().m_Allocate, [&] { B().m_U.m_cr.m_Filesize = 0; }}});
    wxString longPath = "/d/" + wxString('n', 300);
    watch.answers = {{longPath, wxString('n', 300)}};
    Click(ID_ALLOCATE);
    watch.ExpectOneDialog("Select TR file for input", "Tape files|*.tp*;*.tape|Text files|*.txt;*.lis|All files|*.*",
                          "/srv/root/data", wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    EXPECT_EQ(frame->m_ctlProgress->GetRange() * 100 + frame->m_ctlProgress->GetValue(), 7733);
    EXPECT_EQ(SAUtils::FieldText(B().m_U.m_cr.m_Filename), longPath.Left(255).ToStdString());
    EXPECT_TRUE(frame->m_allocated);
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
    B().m_U.m_rpr.m_FilePosition = 300;
    Tick();
    EXPECT_EQ(frame->m_ctlProgress->GetRange() * 10000 + frame->m_ctlProgress->GetValue(), 1000 * 10000 + 700);

    // A disconnect that keeps the file open, then HOLD to have it closed.
    B().m_U.m_rp.m_DiscWhileFileOpen = true;
    B().m_Disc = true;
    Tick();
    EXPECT_FALSE(frame->m_allocated);
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text, "deck.tp");
    Click(ID_HOLD);
    EXPECT_TRUE(closes == 1 && watch.beeps == 0);
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text, "");
}

}  // namespace
