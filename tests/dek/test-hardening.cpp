// The panel and the selection dialog against a hostile or failing host: a
// block truncated or re-versioned while in use, lying sizes, unterminated
// texts, flag bytes other than 0 and 1, requests never answered, and a
// damaged settings file. Real objects throughout.
#include "panel-harness.h"

#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>

#include <wx/listctrl.h>
#include <wx/log.h>

#include "dek-enumdlg.h"
#include "dek-panel-face.h"
#include "dek-placement.h"

namespace {

using namespace panel_test;

const char* const kLost = "Shared area lost\nThe emulator host removed or shrank the block";
const char* const kMismatch = "Shared area version mismatch\nExpected 0x89000071";

void SetByte(volatile bool& flag, unsigned char value)
{
    reinterpret_cast<volatile unsigned char&>(flag) = value;
}

unsigned char ByteOf(const volatile bool& flag)
{
    return reinterpret_cast<const volatile unsigned char&>(flag);
}

using Lost = PanelTest;

// The host truncates the object under a polling panel: to nothing (every
// page gone) and to one page (the header still readable, the rest not).
TEST_F(Lost, TruncatedBlockEndsThePanelWithStatus1)
{
    for (size_t size : {size_t(0), size_t(4096)}) {
        SCOPED_TRACE(size);
        watch.exits.clear();
        Started(PT_CR, "CR1912/1");
        const void* where = frame->m_share;
        const size_t mapped = frame->m_shareSize;
        block->Resize(size);  // the test's own mapping is not touched again
        wxTEST_DIALOG(PumpUntilGone(frame, 1500), ErrorBox(kLost));
        EXPECT_EQ(watch.exits, std::vector<int>{1});
        EXPECT_FALSE(frame) << "the panel closed";
        EXPECT_FALSE(HasMappingExactly(where, mapped)) << "and released its mapping";
        block.reset();
    }
}

// The program ends without closing its window: the placement must already
// be in the settings file when it does.
TEST_F(Lost, ChangedVersionStoresThePlacementThenEndsWithTheMismatchMessage)
{
    Started(PT_LP);
    frame->Move(150, 90);
    const wxString key = wxString::Format("Placement/Id-%u-%u/x", m_machine, m_chan);
    long storedAtExit = -1;
    DekHooks::Get().endProcess = [&](int status) {
        watch.exits.push_back(status);
        storedAtExit = wxFileConfig("dek", "VOV 1900-Edarodizadu").ReadLong(key, -1);
    };
    B().m_Version = 0x89000070;
    wxTEST_DIALOG(PumpUntilGone(frame, 1500), ErrorBox(kMismatch));
    EXPECT_EQ(watch.exits, std::vector<int>{1});
    EXPECT_EQ(storedAtExit, 150);
    EXPECT_FALSE(frame);
}

// A request is waiting when the block goes: cut to one page, the flag still
// reads raised and only the poll inside the wait can end it; cut to nothing,
// the zero pages read the flag as cleared.
TEST_F(Lost, TruncationDuringAnUnansweredRequestEndsTheWait)
{
    for (size_t size : {size_t(4096), size_t(0)}) {
        SCOPED_TRACE(size);
        watch.exits.clear();
        Started(PT_40);
        std::thread host([&] {
            wxMilliSleep(250);
            block->Resize(size);
        });
        wxTEST_DIALOG(
            {
                Click(ID_BUTTON1);
                PumpUntilGone(frame, 1500);
            },
            ErrorBox(kLost));
        host.join();
        EXPECT_EQ(watch.exits, std::vector<int>{1});
        EXPECT_FALSE(frame);
        block.reset();
    }
}

// ------------------------------------------- Sizes the host claims

TEST(ClaimedSize, MustCoverABlockAndNotExceedTheObject)
{
    const size_t block = sizeof(S_SHAREBASE);
    EXPECT_TRUE(ClaimedSizeFits(block, block));
    EXPECT_TRUE(ClaimedSizeFits(block, 2 * block));
    EXPECT_FALSE(ClaimedSizeFits(0, block));
    EXPECT_FALSE(ClaimedSizeFits(1, block));
    EXPECT_FALSE(ClaimedSizeFits(block - 1, block));
    EXPECT_FALSE(ClaimedSizeFits(block + 1, block));
    EXPECT_FALSE(ClaimedSizeFits(0x80000000u, block));
    EXPECT_FALSE(ClaimedSizeFits(0xFFFFFFFFu, 0xFFFFFFFEu));
}

using HostileSize = PanelTest;

TEST_F(HostileSize, IsRefusedAtAttachAndUnmapsNothingElse)
{
    // Neighbours mapped just before the panel's block: a release of the
    // claimed length would take them with it.
    TestBlock neighbour(m_machine, 30);
    const std::pair<UINT, const char*> cases[] = {
        {0u, "0"}, {1u, "1"}, {0x80000000u, "2147483648"}, {sizeof(S_SHAREBASE) + 1, "35073"}};
    for (const auto& [claim, shown] : cases) {
        SCOPED_TRACE(claim);
        watch.exits.clear();
        Publish(PT_TR).m_SharedAreaSize = claim;
        const std::string why = std::string("Shared area size invalid\nThe block claims ") + shown +
                                " bytes; 35072 are mapped";
        wxTEST_DIALOG(Open(), ErrorBox(why));
        EXPECT_EQ(watch.exits, std::vector<int>{1});
        EXPECT_EQ(frame->m_share, nullptr);
        EXPECT_TRUE(IsMapped(neighbour.Bytes()));
        EXPECT_TRUE(IsMapped(block->Bytes()));
        EXPECT_EQ(neighbour.Block()->m_Version, SHAREBASE_VERSION);
        CloseAndFlush(frame);
    }
}

TEST(HostileSizeInTheDialog, ListsTheBlocksAndUnmapsNothingElse)
{
    const UINT machine = UniqueMachineNumber();
    TestBlock neighbour(machine, 40);  // never probed
    std::vector<std::unique_ptr<TestBlock>> blocks;
    const UINT claims[] = {0u, 1u, 0x80000000u};
    for (UINT i = 0; i < 3; ++i) {
        blocks.emplace_back(new TestBlock(machine, 5 + i));
        blocks.back()->Block()->m_PeriType = PT_CP;
        blocks.back()->Block()->m_OpsNo = 20 + i;
        blocks.back()->Block()->m_SharedAreaSize = claims[i];
    }
    DekEnumDlg dialog(nullptr);
    DekEnumDlg* dlg = &dialog;
    dlg->m_CPU = machine;
    for (int round = 0; round < 3; ++round)
        dlg->DoScan();
    ASSERT_EQ(dlg->m_list->GetItemCount(), 3);
    EXPECT_EQ(dlg->m_list->GetItemText(2, 2), "22");
    EXPECT_TRUE(IsMapped(neighbour.Bytes()));
    for (auto& b : blocks)
        EXPECT_TRUE(IsMapped(b->Bytes()));
}

// ------------------------------------------------ Texts and counts

using HostileText = PanelTest;

TEST_F(HostileText, UnterminatedRootAndDeviceNameAndTheLargestOperatorNumber)
{
    S_SHAREBASE& b = Publish(PT_LP, "LP1933/1");
    // Short components: the file chooser takes the folder as it is.
    std::string root;
    while (root.size() < sizeof b.m_SystemRoot)
        root += "/ab";
    memcpy(b.m_SystemRoot, root.data(), sizeof b.m_SystemRoot);
    memset(b.m_PeriDir, 'Z', sizeof b.m_PeriDir);  // what follows the root
    Open("-s");
    watch.answers.push_back({"/x/fl1.ini", "fl1.ini"});
    StartHost({{&B().m_U.m_lp.m_LoadFormatLoop, nullptr}});
    Click(ID_DATA);
    ASSERT_EQ(watch.dialogs.size(), 1u);
    EXPECT_EQ(watch.dialogs[0].dir, wxString(root) + "/Formatloops");
    StopHost();
    CloseAndFlush(frame);

    S_SHAREBASE& c = Publish(PT_CP, "CP1920/2", PT_NONE, 4294967295u);
    SetByte(c.m_PhysicalDevice, 1);
    memset(c.m_PhysicalDeviceName, 'D', sizeof c.m_PhysicalDeviceName);
    memset(reinterpret_cast<char*>(&c) + offsetof(S_SHAREBASE, m_PhysicalDeviceName) + 64, 'G', 3);  // the gap
    Open("-s");
    EXPECT_EQ(frame->GetTitle(), "U4294967295 - CP1920/2");
    EXPECT_EQ(frame->m_ctlOperNO->Pane(false).text, "4294967295");
    StartHost({{&B().m_Allocate, nullptr}});
    Click(ID_ALLOCATE);
    EXPECT_EQ(frame->m_ctlCurrFile->Pane(false).text, wxString('D', 64));
    EXPECT_TRUE(frame->m_allocated);
}

TEST(HostileTextInTheDialog, UnterminatedFieldsAndAHugeLineCount)
{
    const UINT machine = UniqueMachineNumber();
    TestBlock tr(machine, 5);
    S_SHAREBASE& b = *tr.Block();
    b.m_PeriType = PT_TR;
    memset(b.m_Periph, 'P', sizeof b.m_Periph);
    memset(b.m_SystemRoot, 'R', sizeof b.m_SystemRoot);
    memset(b.m_PeriDir, 'Z', sizeof b.m_PeriDir);
    memset(b.m_U.m_cr.m_Filename, 'F', sizeof b.m_U.m_cr.m_Filename);
    b.m_U.m_cr.m_DiscWhileFileOpen = true;  // the byte after the file name
    TestBlock mx(machine, 6);
    mx.Block()->m_PeriType = PT_MX;
    mx.Block()->m_U.m_mx.m_nLines = 100000;
    for (int l = 0; l <= MX_MAX_LINES; ++l) {
        mx.Block()->m_U.m_mx.m_Lines[l].Speed = 4294967295u;
        reinterpret_cast<unsigned char&>(mx.Block()->m_U.m_mx.m_Lines[l].Synch) = 0x7F;
    }

    DekEnumDlg dialog(nullptr);
    DekEnumDlg* dlg = &dialog;
    dlg->m_CPU = machine;
    dlg->DoScan();
    ASSERT_EQ(dlg->m_list->GetItemCount(), 1 + 1 + MX_MAX_LINES);
    EXPECT_EQ(dlg->m_list->GetItemText(0, 3), wxString('P', 64));
    EXPECT_EQ(dlg->m_list->GetItemText(0, 6), wxString('R', 513) + " + " + wxString('F', 256));
    EXPECT_EQ(dlg->m_list->GetItemText(1, 5), "100000 lines");
    EXPECT_EQ(dlg->m_list->GetItemText(21, 5), "L20 sync, 4294967295 BPS");
}

// A block shrunk while the dialog reads it gives no rows: the zero pages
// the guard put in its place would otherwise list a paper-tape reader.
TEST(LostInTheDialog, ABlockLostWhileReadIsSkipped)
{
    const UINT machine = UniqueMachineNumber();
    TestBlock cp(machine, 5);
    cp.Block()->m_PeriType = PT_CP;
    cp.Block()->m_OpsNo = 9;
    char name[64];
    SAUtils::MakeSharedAreaname(machine, 5, name, sizeof name);
    size_t mapped = 0;
    PSHAREBASE p = SAUtils::OpenPeripheralSharedArea(name, &mapped);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(DescribeMappedBlock(p, 5).size(), 1u);
    cp.Resize(0);
    EXPECT_TRUE(DescribeMappedBlock(p, 5).empty());
    SAUtils::ReleaseSharedArea(p, mapped);
}

// ---- Flag bytes other than 0 and 1 (undefined as bool loads; the sanitizer
// build catches any that is still read as bool)

using FlagBytes = PanelTest;

TEST_F(FlagBytes, AnyNonZeroByteCountsAsSet)
{
    Started(PT_CR, "CR1912/1");
    frame->m_allocated = true;
    SetByte(B().m_HostUp, 0x02);
    SetByte(B().m_U.m_cr.m_DiscWhileFileOpen, 0x40);
    SetByte(B().m_Disc, 0xFF);
    // Two polls, whatever the load: one consumes the event, the next lights.
    wxTimerEvent tick(frame->m_timer);
    frame->OnTimer(tick);
    frame->OnTimer(tick);
    EXPECT_EQ(ByteOf(B().m_Disc), 0) << "the event was consumed";
    EXPECT_FALSE(frame->m_allocated);
    EXPECT_TRUE(frame->m_ctlSTART->IsLit(false)) << "an odd up byte is up";

    SetByte(B().m_HostUp, 0);
    SetByte(B().m_CloseOnHostDown, 0x10);
    PumpUntilGone(frame, 1000);
    EXPECT_FALSE(frame) << "an odd close byte closes";
}

TEST_F(FlagBytes, AWaitEndsOnlyWhenTheByteIsZero)
{
    Started(PT_40);
    std::atomic<bool> done{false};
    std::thread host([&] {
        wxMilliSleep(100);
        SetByte(B().m_U.m_pt.B, 0x80);  // not a clearance
        wxMilliSleep(200);
        EXPECT_FALSE(done.load());
        SetByte(B().m_U.m_pt.B, 0);
    });
    Click(ID_BUTTON1);
    done = true;
    host.join();
}

// --------------------------------------- A host that never answers

using DeadHost = PanelTest;

TEST_F(DeadHost, HostDownCloseDuringAnUnansweredRequest)
{
    Started(PT_40);
    B().m_CloseOnHostDown = true;
    std::thread host([&] {
        wxMilliSleep(200);
        B().m_Disc = true;  // the poll still runs inside the wait
        wxMilliSleep(300);
        B().m_HostUp = false;
    });
    wxWeakRef<DekFrame> ref(frame);
    const void* where = frame->m_share;
    Click(ID_BUTTON1);  // returns once the panel has closed
    host.join();
    EXPECT_FALSE(B().m_Disc) << "consumed during the wait";
    EXPECT_TRUE(B().m_U.m_pt.B) << "the request stays posted";
    EXPECT_FALSE(IsMappedFrom(where, block->Name()));
    PumpUntilGone(ref, 1000);
    EXPECT_FALSE(ref);
    EXPECT_TRUE(watch.exits.empty());
}

// ----------------------------------------------- The settings file

class Settings : public PanelTest {
protected:
    std::string File() const { return std::string(getenv("HOME")) + "/.dek"; }
    void Write(const std::string& text)
    {
        std::ofstream f(File(), std::ios::binary | std::ios::trunc);
        f << text;
    }
    std::string Read() const
    {
        std::ifstream f(File(), std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    void TearDown() override
    {
        PanelTest::TearDown();
        RemoveTree(File());
    }
};

TEST_F(Settings, DamagedLinesKeepTheDefaultPositionAndTheOtherEntries)
{
    // Control characters in a comment and a value are nothing to the store.
    Write("; note\x01\n[Placement/Id-1-5]\nx=40\ny=50\nz=\x1b[1m\n[Placement/Id-" + std::to_string(m_machine) +
          "-" + std::to_string(m_chan) + "]\nx=12abc\ny=\n[[[broken\nz\n");
    Publish(PT_CP);
    Open();
    EXPECT_NE(frame->GetPosition(), wxPoint(12, 0));
    frame->Move(70, 80);
    CloseAndFlush(frame);
    EXPECT_FALSE(frame);
    wxFileConfig cfg("dek", "VOV 1900-Edarodizadu");
    EXPECT_EQ(cfg.ReadLong("Placement/Id-1-5/x", -1), 40) << Read();
    EXPECT_EQ(cfg.ReadLong(PlacementKey() + "/x", -1), 70) << Read();
    EXPECT_EQ(cfg.ReadLong(PlacementKey() + "/y", -1), 80) << Read();
}

// Files that would make the store assert, or that its rewrite would spoil,
// are neither read nor written.
TEST_F(Settings, FilesTheStoreCannotTakeAreLeftAlone)
{
    const std::string group = "[Placement/Id-" + std::to_string(m_machine) + "-" + std::to_string(m_chan) + "]";
    const std::string utf16 = group + "\nx=30\ny=30\n";
    std::string wide = "\xff\xfe";
    for (char c : utf16)
        wide += std::string{c, '\0'};
    for (const std::string& text : {group + "\nx=30\ny=30\n  =7\n", group + "\nx=30\ny=30\n" + group + "\n", wide}) {
        SCOPED_TRACE(text);
        Write(text);
        Publish(PT_CP);
        Open();
        EXPECT_NE(frame->GetPosition(), wxPoint(30, 30));
        frame->Move(70, 80);
        CloseAndFlush(frame);
        EXPECT_FALSE(frame);
        EXPECT_EQ(Read(), text);
    }
}

TEST_F(Settings, AnUnwritablePlaceStillClosesCleanly)
{
    ASSERT_EQ(mkdir(File().c_str(), 0700), 0);  // the file's name taken by a directory
    Publish(PT_CP);
    Open();
    EXPECT_TRUE(frame->IsShown());
    CloseAndFlush(frame);
    EXPECT_FALSE(frame);
    struct stat st;
    ASSERT_EQ(stat(File().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

// ----------------------------------------------- The face decision

TEST(FaceFor, EachTypeAndModel)
{
    using F = DekFace;
    const std::tuple<unsigned, const char*, UINT, DekFace> cases[] = {
        {PT_TR, "TR1915/1", 0, F::OnOffReader}, {PT_TR, "TR1916/1", 0, F::OnOffReader},
        {PT_TR, "TR1915/1 ", 0, F::Reader},  // names match exactly
        {PT_TR, "RP2601", 0, F::ReaderPunch}, {PT_TR, "RP2602", 0, F::ReaderPunch}, {PT_TR, "", 0, F::Reader},
        {PT_TP, "TP1925/1", 0, F::OnOffPunch}, {PT_TP, "TR1915/1", 0, F::Punch}, {PT_LP, "", 0, F::LinePrinter},
        {PT_CR, "TR1915/1", 0, F::CardReader}, {PT_DR, "", 0, F::Drum}, {PT_MX, "", PT_SC7930, F::SyncMultiplexor},
        {PT_MX, "SC7930", PT_SC7930 + 1, F::Multiplexor},  // the device code decides
        {PT_40, "", 0xFFFFFFFFu, F::PQInterface}, {PT_CP, "", 0, F::CardPunch}, {PT_GP, "", 0, F::Plotter},
        {PT_HD, "", 0, F::HdDrum}, {PT_PB, "", 0, F::PbDevice}};
    for (const auto& [type, periph, devTyp, face] : cases)
        EXPECT_EQ(FaceFor(type, periph, devTyp), face) << type << " " << periph;
    for (unsigned t : {5u, 6u, 7u, 8u, 10u, 12u, 21u, 24u, 26u, 39u, 41u, 255u, 256u, 0xFFFFFFFFu})
        EXPECT_EQ(FaceFor(t, "TR1915/1", PT_SC7930), DekFace::Unsupported) << t;
    EXPECT_TRUE(FaceFollowsAnInputFile(DekFace::ReaderPunch));
    EXPECT_FALSE(FaceFollowsAnInputFile(DekFace::LinePrinter));
    EXPECT_FALSE(FaceFollowsAnInputFile(DekFace::Unsupported));
}

int g_storeAsserts = 0;

void CountStoreAssert(const wxString&, int, const wxString&, const wxString&, const wxString&)
{
    ++g_storeAsserts;
}

// Every entry the store reads, as "/group/name=value".
void StoreEntries(wxFileConfig& cfg, const wxString& group, std::set<std::string>& out)
{
    cfg.SetPath(group.empty() ? "/" : group);
    wxString name;
    long i = 0;
    for (bool more = cfg.GetFirstEntry(name, i); more; more = cfg.GetNextEntry(name, i))
        out.insert((group + "/" + name + "=" + cfg.Read(name, wxString())).utf8_string());
    wxArrayString groups;
    for (bool more = cfg.GetFirstGroup(name, i); more; more = cfg.GetNextGroup(name, i))
        groups.push_back(name);
    for (const wxString& g : groups)
        StoreEntries(cfg, group + "/" + g, out);
}

// What the real store makes of a file of these bytes: it reads it and writes
// it back with a placement added, without an assertion, and afterwards reads
// everything it read before plus the placement.
bool StoreCopesWith(const std::string& bytes)
{
    const std::string path = std::string(getenv("HOME")) + "/store-trial";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    g_storeAsserts = 0;
    wxAssertHandler_t previous = wxSetAssertHandler(CountStoreAssert);
    wxLogNull quiet;
    std::set<std::string> before, after;
    {
        wxFileConfig cfg(wxEmptyString, wxEmptyString, path, wxEmptyString, wxCONFIG_USE_LOCAL_FILE);
        StoreEntries(cfg, wxEmptyString, before);
        cfg.Write("/Placement/Id-1-2/x", 5L);
    }
    {
        wxFileConfig cfg(wxEmptyString, wxEmptyString, path, wxEmptyString, wxCONFIG_USE_LOCAL_FILE);
        StoreEntries(cfg, wxEmptyString, after);
    }
    wxSetAssertHandler(previous);
    unlink(path.c_str());
    before.insert("/Placement/Id-1-2/x=5");
    return g_storeAsserts == 0 && after == before;
}

// The gate against the store itself, on files it takes and files it does
// not; the expected column keeps both sides in the table.
TEST(SettingsText, TheGateRefusesExactlyWhatTheStoreCannotTake)
{
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"[Placement/Id-1-5]\r\nx=40\n\ty=50\rz=1", true},
        {"; note\x01\n[g]\nk=\x1b[1m\x7f\n", true},
        {std::string("[g]\nk=1\0z\n", 10), true},
        {"[g]\nk=caf\xe9\n", true},
        {"\xef\xbb\xbf[g]\nk=caf\xc3\xa9\n", true},
        {"[g]\nx==2\n[h]x\n[[[broken\nz\n", true},
        {"[]\nk=1\n[/]\n[g/..]\n", true},
        {"[g/b]\n[g]\n[g/./b]\n", true},
        {"[g]\n\\==1\nk=\xf4\x8f\xbf\xbf\n", true},
        {garbage, true},
        {"=7\n", false},
        {"[g]\n  =7\n", false},
        {"[g]\n\\ =1\n", false},
        {"[g]\n\f=1\n", false},
        {"[g]\rk=1\r\r=2", false},
        {"[g]\nk=1\n[G]\n", false},
        {"[g/b]\n[/g//b/]\n", false},
        {"[g]\n[x/../g]\n", false},
        {"[g\\]]\n[g\\]]\n", false},
        {"[g]\nk=\xf4\x90\x80\x80\n", false},
        {std::string("\xff\xfe[\0g\0]\0", 8), false},
        {std::string("\0\0\xfe\xff", 4), false},
    };
    for (const auto& [bytes, takes] : cases) {
        SCOPED_TRACE(testing::PrintToString(bytes.substr(0, 40)));
        EXPECT_EQ(StoreCopesWith(bytes), takes) << "the store itself";
        EXPECT_EQ(LooksLikeSettingsText(bytes), takes) << "the gate";
    }
}

}  // namespace
