// The panel against a hostile or failing host, and a damaged settings file.
#include "panel-harness.h"

#include <fstream>
#include <sys/stat.h>

#include "dek-enumdlg.h"
#include "dek-panel-face.h"
#include "dek-placement.h"

namespace {

using namespace panel_test;

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

// The program ends without closing its window: the placement is stored first.
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

using HostileSize = PanelTest;

TEST_F(HostileSize, IsRefusedAtAttachAndUnmapsNothingElse)
{
    // Mapped just before the panel's block: a release of the claimed length would take it.
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
    watch.ExpectOneDialog("Select format loop", "Format loops|*.ini|All files|*.*", (root + "/Formatloops").c_str(),
                          wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    StopHost();
    CloseAndFlush(frame);

    // Bytes that are no printable text read '?', as in the selection list.
    S_SHAREBASE& c = Publish(PT_CP, "CP1920/2\x01\xff", PT_NONE, 4294967295u);
    SetByte(c.m_PhysicalDevice, 1);
    memset(c.m_PhysicalDeviceName, 'D', sizeof c.m_PhysicalDeviceName);
    memset(reinterpret_cast<char*>(&c) + offsetof(S_SHAREBASE, m_PhysicalDeviceName) + 64, 'G', 3);  // the gap
    Open("-s");
    EXPECT_EQ(frame->GetTitle() + " " + frame->m_ctlOperNO->Pane(false).text, "U4294967295 - CP1920/2?? 4294967295");
    StartHost({{&B().m_Allocate, nullptr}});
    Click(ID_ALLOCATE);
    EXPECT_TRUE(frame->m_allocated && frame->m_ctlCurrFile->Pane(false).text == wxString('D', 64));
}

// Zero pages in place of a shrunk block would otherwise list a paper-tape reader.
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

// Flag bytes other than 0 and 1: the sanitizer build catches any read as bool.
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
    EXPECT_TRUE(ByteOf(B().m_Disc) == 0 && !frame->m_allocated) << "the event was consumed";
    EXPECT_TRUE(frame->m_ctlSTART->IsLit(false)) << "an odd up byte is up; an odd close byte: test-crossings";
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

class Settings : public PanelTest {
protected:
    std::string File() const { return std::string(getenv("HOME")) + "/.dek"; }
    void Write(const std::string& text) { std::ofstream(File(), std::ios::binary | std::ios::trunc) << text; }
    std::string Read() const
    {
        std::ifstream f(File(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
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
    EXPECT_EQ(std::vector<long>({cfg.ReadLong("Placement/Id-1-5/x", -1), cfg.ReadLong(PlacementKey() + "/x", -1),
                                 cfg.ReadLong(PlacementKey() + "/y", -1)}),
              std::vector<long>({40, 70, 80}))
        << Read();
}

// Files the store would assert on, or spoil when rewriting, are neither read nor written.
TEST_F(Settings, FilesTheStoreCannotTakeAreLeftAlone)
{
    const std::string group = "[Placement/Id-" + std::to_string(m_machine) + "-" + std::to_string(m_chan) + "]";
    for (const std::string& text : {group + "\nx=30\ny=30\n  =7\n", group + "\nx=30\ny=30\n" + group + "\n"}) {
        SCOPED_TRACE(text);
        Write(text);
        Publish(PT_CP);
        Open();
        EXPECT_NE(frame->GetPosition(), wxPoint(30, 30));
        frame->Move(70, 80);
        CloseAndFlush(frame);
        EXPECT_TRUE(!frame && Read() == text);
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
    EXPECT_TRUE(FaceFollowsAnInputFile(DekFace::ReaderPunch));
    EXPECT_FALSE(FaceFollowsAnInputFile(DekFace::LinePrinter));
    EXPECT_FALSE(FaceFollowsAnInputFile(DekFace::Unsupported));
}

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
        EXPECT_EQ(LooksLikeSettingsText(bytes), takes);
    }
}

}  // namespace
