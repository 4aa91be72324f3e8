// The running dek-devhost, driven through its standard input and watched
// through its shared blocks and its standard output, as a panel sees it.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include "mkshareditem.h"
#include "peri-enums.h"
#include "peri-names.h"
#include "proc.h"
#include "shm-block.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLineTimeoutMs = 5000;

// Polls `done` every millisecond for at most `ms`.
template <typename Pred>
bool WaitUntil(Pred done, int ms = 3000)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool ObjectExists(const std::string& posixName)
{
    int fd = shm_open(posixName.c_str(), O_RDONLY, 0);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

class DevHostRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_machine = UniqueMachineNumber();
        char dir[] = "/tmp/dek-devhost-test-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_root = dir;
        std::filesystem::create_directories(m_root + "/data");
        std::filesystem::create_directories(m_root + "/Formatloops");
    }

    void TearDown() override
    {
        for (auto& mapped : m_maps)
            SAUtils::ReleaseSharedArea(mapped.first, mapped.second);
        if (m_host.Running()) {
            m_host.Signal(SIGTERM);
            m_host.Wait(5000);
        }
        for (UINT ch = 0; ch <= 40; ++ch)
            EXPECT_FALSE(ObjectExists(PosixName(ch))) << "left behind: channel " << ch;
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }

    std::string PosixName(UINT channel) const
    {
        char name[64];
        SAUtils::MakeSharedAreaname(m_machine, channel, name, sizeof name);
        return std::string("/") + name;
    }

    // With --exit-on-eof unless `stayAtEof`: a host whose test has gone
    // away ends and removes its objects.
    std::vector<std::string> HostArgs(const std::vector<std::string>& periphs, bool stayAtEof = false) const
    {
        std::vector<std::string> args = {DEVHOST_PATH, "--machine", std::to_string(m_machine), "--root", m_root,
                                         "--poll-ms", "2"};
        if (!stayAtEof)
            args.push_back("--exit-on-eof");
        for (const std::string& p : periphs) {
            args.push_back("--periph");
            args.push_back(p);
        }
        return args;
    }

    // Starts the host and waits until it has published everything.
    void StartHost(const std::vector<std::string>& periphs)
    {
        ASSERT_TRUE(m_host.Start(HostArgs(periphs)));
        ASSERT_TRUE(m_host.WaitForLine("ready", kLineTimeoutMs)) << m_host.Stderr();
    }

    PSHAREBASE Attach(UINT channel)
    {
        size_t size = 0;
        PSHAREBASE b = SAUtils::OpenPeripheralSharedArea(PosixName(channel).c_str(), &size);
        if (b != nullptr)
            m_maps.push_back({b, size});
        return b;
    }

    // Raises a request flag as a panel does and waits for the host to clear
    // it.
    static bool Request(volatile bool& flag, int ms = 3000)
    {
        flag = true;
        return WaitUntil([&flag] { return !flag; }, ms);
    }
    static bool Request(bool& flag, int ms = 3000) { return Request(*const_cast<volatile bool*>(&flag), ms); }

    std::string WriteFile(const std::string& rel, const std::string& text)
    {
        std::string path = m_root + "/" + rel;
        std::ofstream(path) << text;
        return path;
    }

    std::string Command(const std::string& line, const std::string& reply)
    {
        std::string got;
        EXPECT_TRUE(m_host.WriteLine(line));
        EXPECT_TRUE(m_host.WaitForLine(reply, kLineTimeoutMs, &got)) << line;
        return got;
    }

    UINT m_machine = 0;
    std::string m_root;
    ChildProcess m_host;
    std::vector<std::pair<PSHAREBASE, size_t>> m_maps;
};

TEST_F(DevHostRun, VersionWordAppearsOnlyOnAWholeFilledObject)
{
    std::vector<std::string> periphs;
    for (UINT ch = 4; ch <= 7; ++ch)
        periphs.push_back(std::to_string(ch) + ":CR:CR1911/1");
    std::vector<std::string> args = HostArgs(periphs);
    args.push_back("--publish-pause-ms");
    args.push_back("20");
    ASSERT_TRUE(m_host.Start(args));
    int unsized = 0, unversioned = 0, valid = 0;
    std::set<UINT> done;
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (done.size() < 4 && Clock::now() < deadline) {
        for (UINT ch = 4; ch <= 7; ++ch) {
            int fd = shm_open(PosixName(ch).c_str(), O_RDONLY, 0);
            if (fd < 0)
                continue;
            struct stat st;
            bool sized = fstat(fd, &st) == 0 && st.st_size > 0;
            void* p = sized ? mmap(nullptr, st.st_size, PROT_READ, MAP_SHARED, fd, 0) : MAP_FAILED;
            close(fd);
            if (p == MAP_FAILED) {
                ++unsized;
                continue;
            }
            const S_SHAREBASE* b = static_cast<const S_SHAREBASE*>(p);
            if (*reinterpret_cast<const volatile UINT*>(&b->m_Version) == SHAREBASE_VERSION) {
                ++valid;
                done.insert(ch);
                EXPECT_EQ(static_cast<size_t>(st.st_size), sizeof(S_SHAREBASE)) << ch;
                EXPECT_EQ(b->m_SharedAreaSize, sizeof(S_SHAREBASE)) << ch;
                EXPECT_EQ(b->m_OpsNo, ch);
                EXPECT_TRUE(b->m_HostUp) << "a panel attaching now would take the host for down";
            } else {
                ++unversioned;
                EXPECT_EQ(static_cast<size_t>(st.st_size), sizeof(S_SHAREBASE)) << "sized in steps";
            }
            munmap(p, st.st_size);
        }
    }
    EXPECT_EQ(done.size(), 4u);
    EXPECT_GT(unsized, 0) << "never saw an object before it was sized";
    EXPECT_GT(unversioned, 0) << "never saw a sized object before its version word";
    EXPECT_TRUE(m_host.WaitForLine("ready", kLineTimeoutMs));
}

// One card reader through a whole life: sized before the acknowledgement,
// read card by card, paused off line, disconnected with its file open and
// resumed, kept open at the end, replaced by a fresh panel's file, and ended
// for good once the host no longer keeps files open.
TEST_F(DevHostRun, CardReaderServesItsFileCardByCardAndKeepsItOpenWhenAsked)
{
    std::string deck;
    for (int i = 1; i <= 30; ++i)
        deck += "CARD " + std::to_string(i) + (i % 3 == 0 ? " WITH A LONGER TEXT" : "") + "\n";
    std::string path = WriteFile("data/deck.txt", deck);
    std::string second = WriteFile("data/b.txt", "B1\nB2\nB3\n");
    StartHost({"5:CR:CR1911/1:rate=1200"});  // 20 cards a second
    PSHAREBASE b = Attach(5);
    ASSERT_NE(b, nullptr);
    Command("discopen on 5", "ok discopen");
    SAUtils::StoreFieldText(b->m_U.m_cr.m_Filename, path.c_str());
    ASSERT_TRUE(Request(b->m_Allocate));
    // The cleared flag is the acknowledgement: the size must be there now.
    EXPECT_EQ(b->m_U.m_cr.m_Filesize, deck.size());
    EXPECT_TRUE(b->m_Oper);
    std::string line;
    ASSERT_TRUE(m_host.WaitForLine("served 5 allocate", kLineTimeoutMs, &line));
    EXPECT_NE(line.find("file=" + path), std::string::npos) << line;
    EXPECT_NE(line.find("size=" + std::to_string(deck.size())), std::string::npos) << line;
    ASSERT_TRUE(WaitUntil([b] { return b->m_U.m_cr.m_FilePosition > 0; }));
    UINT pos = b->m_U.m_cr.m_FilePosition;
    EXPECT_LT(pos, deck.size()) << "the deck went through far too fast";
    EXPECT_EQ(deck[pos - 1], '\n') << "position is not at the end of a card";

    // STOP on the panel takes the unit off line: the reader pauses.
    b->m_Oper = false;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    UINT stopped = b->m_U.m_cr.m_FilePosition;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(b->m_U.m_cr.m_FilePosition, stopped);
    b->m_Oper = true;

    line = Command("disc 5", "disc 5 command");
    EXPECT_NE(line.find("open=1"), std::string::npos) << line;
    EXPECT_TRUE(b->m_Disc);
    EXPECT_TRUE(b->m_U.m_cr.m_DiscWhileFileOpen);
    b->m_Disc = false;  // the panel consumes the event
    ASSERT_TRUE(m_host.WaitForLine("taken 5 disc after=", kLineTimeoutMs));
    UINT held = b->m_U.m_cr.m_FilePosition;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(b->m_U.m_cr.m_FilePosition, held) << "a disconnected reader went on reading";

    // ALLOCATE without a new name resumes the open file where it stopped.
    ASSERT_TRUE(Request(b->m_Allocate));
    ASSERT_TRUE(m_host.WaitForLine("served 5 allocate", kLineTimeoutMs, &line));
    EXPECT_NE(line.find("resume=1"), std::string::npos) << line;
    EXPECT_NE(line.find("position=" + std::to_string(held)), std::string::npos) << line;
    EXPECT_FALSE(b->m_U.m_cr.m_DiscWhileFileOpen);
    ASSERT_TRUE(m_host.WaitForLine("disc 5 end", kLineTimeoutMs));
    EXPECT_TRUE(b->m_Disc);
    EXPECT_EQ(b->m_U.m_cr.m_FilePosition, deck.size());
    EXPECT_TRUE(b->m_U.m_cr.m_DiscWhileFileOpen);

    // A panel attaching afresh clears the keep-open flag and allocates anew.
    b->m_Disc = false;
    b->m_U.m_cr.m_DiscWhileFileOpen = false;
    SAUtils::StoreFieldText(b->m_U.m_cr.m_Filename, second.c_str());
    ASSERT_TRUE(Request(b->m_Allocate));
    ASSERT_TRUE(m_host.WaitForLine("served 5 allocate", kLineTimeoutMs, &line));
    EXPECT_NE(line.find("file=" + second), std::string::npos) << line;
    EXPECT_EQ(line.find("resume=1"), std::string::npos) << line;
    EXPECT_EQ(b->m_U.m_cr.m_Filesize, 9u);
    ASSERT_TRUE(m_host.WaitForLine("disc 5 end", kLineTimeoutMs));
    // HOLD on the disconnected reader asks the host to close the file.
    ASSERT_TRUE(Request(b->m_U.m_cr.m_Closefile));
    EXPECT_FALSE(b->m_U.m_cr.m_DiscWhileFileOpen);
    ASSERT_TRUE(m_host.WaitForLine("served 5 closefile", kLineTimeoutMs, &line));
    EXPECT_NE(line.find("file=" + second), std::string::npos) << line;

    Command("discopen off 5", "ok discopen");
    b->m_Disc = false;
    ASSERT_TRUE(Request(b->m_Allocate));
    ASSERT_TRUE(m_host.WaitForLine("disc 5 end", kLineTimeoutMs));
    EXPECT_FALSE(b->m_U.m_cr.m_DiscWhileFileOpen);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(b->m_Disc) << "the host must leave the event for the panel";
}

// A card reader's HOLD on a file kept open closes it; here through the
// reader-punch's own counters.
TEST_F(DevHostRun, ReaderPunchServesItsReaderAndItsPunchEachOnItsOwnFields)
{
    std::string path = WriteFile("data/tape.tpe", std::string(300, 'x'));
    WriteFile("data/punch-6-1.tpe", "an earlier run's output\n");
    StartHost({"6:TR:RP2601:rate=1000,discopen=1"});
    PSHAREBASE b = Attach(6);
    ASSERT_NE(b, nullptr);
    SHAREA_RP& rp = b->m_U.m_rp;

    // The punch: a new file each time, named before the acknowledgement.
    ASSERT_TRUE(Request(rp.m_Allocate2));
    EXPECT_EQ(SAUtils::FieldText(rp.m_FilenameTP), "data/punch-6-2.tpe");
    ASSERT_TRUE(Request(rp.m_Hold2));
    EXPECT_TRUE(rp.m_Disc2) << "HOLD2 ends the punch's medium";
    rp.m_Disc2 = false;
    ASSERT_TRUE(Request(rp.m_Hold2));
    EXPECT_FALSE(rp.m_Disc2) << "no medium, nothing to end";

    // The reader, with the punch's fields left as they are.
    SAUtils::StoreFieldText(rp.m_FilenameTR, path.c_str());
    ASSERT_TRUE(Request(b->m_Allocate));
    EXPECT_EQ(b->m_U.m_rpr.m_Filesize, 300u);
    ASSERT_TRUE(m_host.WaitForLine("disc 6 end", kLineTimeoutMs));
    EXPECT_EQ(b->m_U.m_rpr.m_FilePosition, 300u);
    EXPECT_TRUE(rp.m_DiscWhileFileOpen);
    EXPECT_EQ(SAUtils::FieldText(rp.m_FilenameTP), "data/punch-6-2.tpe");
    EXPECT_FALSE(rp.m_Allocate2 || rp.m_Hold2 || rp.m_Disc2);
    ASSERT_TRUE(Request(b->m_U.m_rpr.m_Closefile));
    EXPECT_FALSE(rp.m_DiscWhileFileOpen);
    std::string line;
    ASSERT_TRUE(m_host.WaitForLine("served 6 closefile", kLineTimeoutMs, &line));
    EXPECT_NE(line.find("file=" + path), std::string::npos) << line;
}

TEST_F(DevHostRun, IgnoredRequestsStayRaisedAndReportTheDataOfTheirRise)
{
    StartHost({"30:40::devtyp=PT_PT_LONGBLOCK"});
    PSHAREBASE b = Attach(30);
    ASSERT_NE(b, nullptr);
    Command("ignore 30", "ok ignore");
    b->m_U.m_pt.Q = 511;
    b->m_U.m_pt.P = 3;
    *const_cast<volatile bool*>(&b->m_U.m_pt.B) = true;
    std::string line;
    ASSERT_TRUE(m_host.WaitForLine("pending 30 pq", kLineTimeoutMs, &line));
    EXPECT_EQ(line, "pending 30 pq q=511 p=3");
    b->m_U.m_pt.Q = 1;  // changed after the rise: not what the host reports
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(*const_cast<volatile bool*>(&b->m_U.m_pt.B)) << "an ignored request was acknowledged";
    m_host.WriteLine("ack 30");
    ASSERT_TRUE(m_host.WaitForLine("served 30 pq", kLineTimeoutMs, &line));
    EXPECT_EQ(line, "served 30 pq q=511 p=3");
    EXPECT_TRUE(WaitUntil([b] { return !*const_cast<volatile bool*>(&b->m_U.m_pt.B); }));
}

TEST_F(DevHostRun, OutputFormatLoopAndDrumRequests)
{
    WriteFile("Formatloops/std.ini", "[loop]\n");
    StartHost({"9:TP:TP1925/1", "10:LP", "11:DR::drums=3", "12:HD"});
    PSHAREBASE tp = Attach(9);
    PSHAREBASE lp = Attach(10);
    PSHAREBASE dr = Attach(11);
    ASSERT_TRUE(tp && lp && dr);
    EXPECT_EQ(dr->m_U.m_dr.m_nDrums, 3u);

    SAUtils::StoreFieldText(tp->m_U.m_tp.m_Filename, "data/out.tpe");
    ASSERT_TRUE(Request(tp->m_Allocate));
    std::string line;
    ASSERT_TRUE(m_host.WaitForLine("served 9 allocate", kLineTimeoutMs, &line));
    EXPECT_NE(line.find("file=data/out.tpe"), std::string::npos) << line;
    struct stat st;
    EXPECT_EQ(stat((m_root + "/data/out.tpe").c_str(), &st), 0) << "nothing written under the root";

    SAUtils::StoreFieldText(tp->m_U.m_tp.m_Filename, "../escape.tpe");
    ASSERT_TRUE(Request(tp->m_Allocate));
    ASSERT_TRUE(m_host.WaitForLine("served 9 allocate", kLineTimeoutMs, &line));
    EXPECT_NE(line.find("error="), std::string::npos) << line;
    EXPECT_NE(stat((m_root + "/../escape.tpe").c_str(), &st), 0);

    lp->m_U.m_lp.m_IsDevice = true;
    SAUtils::StoreFieldText(lp->m_U.m_lp.m_Filename, "PRN");  // a chosen DEV_PRN
    ASSERT_TRUE(Request(lp->m_Allocate));
    ASSERT_TRUE(m_host.WaitForLine("served 10 allocate", kLineTimeoutMs, &line));
    EXPECT_EQ(line, "served 10 allocate file=PRN isdevice=1 device=1");
    EXPECT_NE(stat((m_root + "/PRN").c_str(), &st), 0) << "a device name is not a file";

    SAUtils::StoreFieldText(lp->m_U.m_lp.m_FormatLoopName, "std.ini");
    ASSERT_TRUE(Request(lp->m_U.m_lp.m_LoadFormatLoop));
    ASSERT_TRUE(m_host.WaitForLine("served 10 formatloop", kLineTimeoutMs, &line));
    EXPECT_EQ(line, "served 10 formatloop name=std.ini found=1");

    ASSERT_TRUE(Request(dr->m_Allocate));
    EXPECT_TRUE(dr->m_Oper);
    ASSERT_TRUE(Request(dr->m_Hold));
    EXPECT_FALSE(dr->m_Oper);
    Command("oper off 11", "ok oper");
    ASSERT_TRUE(Request(dr->m_Allocate));
    EXPECT_FALSE(dr->m_Oper) << "the host's answer was not in place before the acknowledgement";
    ASSERT_TRUE(m_host.WaitForLine("served 11 allocate oper=0", kLineTimeoutMs));
}

TEST_F(DevHostRun, CommandsSetFieldsAndHostStateAndPublishAtRunTime)
{
    StartHost({"5:CR:CR1911/1"});
    PSHAREBASE b = Attach(5);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->m_CloseOnHostDown);
    Command("set 5 m_Periph TR1915/1", "ok set");
    EXPECT_EQ(SAUtils::FieldText(b->m_Periph), "TR1915/1");
    EXPECT_EQ(Command("get 5 m_Filesize", "value 5"), "value 5 m_U.m_cr.m_Filesize 0");
    EXPECT_EQ(Command("set 5 m_Nothing 1", "error"), "error no field m_Nothing in this block");
    Command("closeonhostdown off 5", "ok closeonhostdown");
    EXPECT_FALSE(b->m_CloseOnHostDown);
    Command("down", "ok down");
    EXPECT_FALSE(b->m_HostUp);
    Command("up 5", "ok up");
    EXPECT_TRUE(b->m_HostUp);

    Command("publish 21:MX:SC7930:lines=2", "published 21");
    PSHAREBASE mx = Attach(21);
    ASSERT_NE(mx, nullptr);
    EXPECT_EQ(mx->m_U.m_mx.m_nLines, 2u);
    EXPECT_EQ(Command("list", "channels"), "channels 5 21");

    // Withdrawal removes the name; a panel still mapped sees the host down.
    Command("withdraw 21", "withdrawn 21");
    EXPECT_FALSE(ObjectExists(PosixName(21)));
    EXPECT_FALSE(mx->m_HostUp);
    EXPECT_EQ(Command("withdraw 21", "error"), "error channel 21 is not published");

    // Truncation cuts the object under its mappings, then removes the name.
    Command("publish 22:TP", "published 22");
    PSHAREBASE tp = Attach(22);
    ASSERT_NE(tp, nullptr);
    Command("truncate 22 4096", "withdrawn 22");
    EXPECT_FALSE(ObjectExists(PosixName(22)));
    EXPECT_FALSE(SAUtils::IsSharedAreaIntact(tp));
}

TEST_F(DevHostRun, ChaosEndsWithEveryPeripheralBackAndItsLogReplays)
{
    const std::vector<std::string> periphs = {"4:CR", "5:LP::closeonhostdown=0", "6:DR::oper=0", "7:TP", "8:CP", "9:GP"};
    std::vector<std::string> args = HostArgs(periphs);
    args.insert(args.end(), {"--chaos-rate", "6000"});
    ASSERT_TRUE(m_host.Start(args));
    ASSERT_TRUE(m_host.WaitForLine("ready", kLineTimeoutMs)) << m_host.Stderr();
    Command("chaos 11", "ok chaos 11");
    std::vector<std::string> log;
    std::string line;
    while (log.size() < 30 && m_host.WaitForLine("chaos t=", kLineTimeoutMs, &line))
        log.push_back(line);
    ASSERT_EQ(log.size(), 30u);
    Command("chaos off", "ok chaos off");
    for (UINT ch = 4; ch <= 9; ++ch) {
        PSHAREBASE b = Attach(ch);
        ASSERT_NE(b, nullptr) << ch;
        const BYTE types[] = {PT_CR, PT_LP, PT_DR, PT_TP, PT_CP, PT_GP};
        EXPECT_EQ(b->m_PeriType, types[ch - 4]) << ch;
        EXPECT_TRUE(b->m_HostUp) << ch;
        EXPECT_EQ(b->m_CloseOnHostDown, ch != 5) << ch;
    }
    m_host.WriteLine("quit");
    ASSERT_TRUE(m_host.Wait(5000));

    // A replay takes the same actions in the same order.
    std::string path = WriteFile("chaos.log", "ready\n" + [&log] {
        std::string text;
        for (const std::string& l : log)
            text += l + "\nok something\n";
        return text;
    }());
    ChildProcess replay;
    args = HostArgs(periphs);
    args.insert(args.end(), {"--replay", path});
    ASSERT_TRUE(replay.Start(args));
    for (const std::string& expected : log) {
        ASSERT_TRUE(replay.WaitForLine("chaos t=", kLineTimeoutMs, &line)) << replay.Stderr();
        EXPECT_EQ(line, expected);
    }
    replay.WriteLine("quit");
    ASSERT_TRUE(replay.Wait(5000));
}

// SIGTERM, SIGINT and, when asked, the end of input end the host with
// status 0 and every object removed; without --exit-on-eof it stays.
TEST_F(DevHostRun, SignalsAndEndOfInputEndTheHostCleanly)
{
    for (int end : {SIGTERM, SIGINT, 0}) {
        ChildProcess host;
        ASSERT_TRUE(host.Start(HostArgs({"5:CR", "9:TP", "11:MX"})));
        ASSERT_TRUE(host.WaitForLine("ready", kLineTimeoutMs));
        EXPECT_TRUE(ObjectExists(PosixName(9)));
        if (end != 0)
            ASSERT_TRUE(host.Signal(end));
        else
            host.CloseStdin();
        ASSERT_TRUE(host.Wait(5000));
        EXPECT_EQ(host.ExitStatus(), 0) << "signal " << end;
        for (UINT ch : {5u, 9u, 11u})
            EXPECT_FALSE(ObjectExists(PosixName(ch))) << "signal " << end << " channel " << ch;
    }
    ChildProcess stays;
    ASSERT_TRUE(stays.Start(HostArgs({"5:CR"}, true)));
    ASSERT_TRUE(stays.WaitForLine("ready", kLineTimeoutMs));
    stays.CloseStdin();
    EXPECT_FALSE(stays.Wait(300));
    EXPECT_TRUE(ObjectExists(PosixName(5)));
}

TEST_F(DevHostRun, RefusesAChannelInUseAndBadArgumentsWithStatus2AtStartAndAtRunTime)
{
    TestBlock taken(m_machine, 7);
    ASSERT_TRUE(taken.Ok());
    {
        ChildProcess host;
        ASSERT_TRUE(host.Start(HostArgs({"5:CR", "7:TP"})));
        ASSERT_TRUE(host.Wait(5000));
        EXPECT_EQ(host.ExitStatus(), 2);
        EXPECT_NE(host.Stderr().find("already in use"), std::string::npos) << host.Stderr();
        EXPECT_FALSE(ObjectExists(PosixName(5))) << "the channel published first was left behind";
        EXPECT_TRUE(ObjectExists(PosixName(7))) << "the host removed an object that was not its own";
        EXPECT_EQ(taken.Block()->m_Version, SHAREBASE_VERSION);
    }

    const std::vector<std::vector<std::string>> bad = {
        {DEVHOST_PATH, "--machine", "1", "--nonsense"},
        {DEVHOST_PATH, "--machine", std::to_string(m_machine), "--root", m_root + "/missing", "--periph", "5:CR"},
    };
    for (const auto& args : bad) {
        ChildProcess host;
        ASSERT_TRUE(host.Start(args));
        ASSERT_TRUE(host.Wait(5000));
        EXPECT_EQ(host.ExitStatus(), 2) << args.back();
        EXPECT_NE(host.Stderr().find("dek-devhost: "), std::string::npos) << args.back();
        EXPECT_FALSE(ObjectExists(PosixName(5)));
    }
    // At run time the host refuses it and goes on serving.
    StartHost({"5:CR"});
    EXPECT_NE(Command("publish 7:TP", "error").find("already in use"), std::string::npos);
    EXPECT_TRUE(ObjectExists(PosixName(7)));
    Command("show 5", "end 5");
    taken.Unlink();
}

TEST_F(DevHostRun, ABrokenBlockNeverCrashesTheHost)
{
    StartHost({"5:CR", "9:TP"});
    PSHAREBASE cr = Attach(5);
    PSHAREBASE tp = Attach(9);
    ASSERT_TRUE(cr && tp);
    // Names without terminators, relative input names, a directory.
    memset(cr->m_U.m_cr.m_Filename, 'A', sizeof cr->m_U.m_cr.m_Filename);
    memset(tp->m_U.m_tp.m_Filename, 'B', sizeof tp->m_U.m_tp.m_Filename);
    ASSERT_TRUE(Request(cr->m_Allocate));
    ASSERT_TRUE(Request(tp->m_Allocate));
    std::string line;
    ASSERT_TRUE(m_host.WaitForLine("served 5 allocate", kLineTimeoutMs, &line));
    EXPECT_NE(line.find("error="), std::string::npos) << line;
    EXPECT_EQ(cr->m_U.m_cr.m_Filesize, 0u);
    SAUtils::StoreFieldText(cr->m_U.m_cr.m_Filename, m_root.c_str());
    ASSERT_TRUE(Request(cr->m_Allocate));
    ASSERT_TRUE(m_host.WaitForLine("served 5 allocate", kLineTimeoutMs, &line));
    EXPECT_NE(line.find("not a regular file"), std::string::npos) << line;
    Command("show 9", "end 9");
    EXPECT_TRUE(m_host.Running());
}

}  // namespace
