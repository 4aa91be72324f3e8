// The running dek-devhost where no end-to-end run goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/mman.h>
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

    // With --exit-on-eof: a host whose test has gone ends and cleans up.
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

    // Raises a request flag and waits for the host to clear it.
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
    const auto start = Clock::now();
    UINT pos = b->m_U.m_cr.m_FilePosition;
    const long left = std::count(deck.begin() + pos, deck.end(), '\n');
    EXPECT_LT(pos, deck.size()) << "the deck went through far too fast";
    EXPECT_EQ(deck[pos - 1], '\n') << "position is not at the end of a card";

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
    // A lower bound that load cannot break: at most twice the asked rate.
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), 25 * (left - 1));
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

// A host killed outright leaves its block; the next host takes it over, but
// never a block that a live host serves or that another kind of host made.
TEST_F(DevHostRun, TakesOverOnlyTheBlockOfAHostThatDiedAndRefusesOthersWithStatus2)
{
    TestBlock taken(m_machine, 7);
    ASSERT_TRUE(taken.Ok());
    ChildProcess first;
    ASSERT_TRUE(first.Start(HostArgs({"5:CR"})));
    ASSERT_TRUE(first.WaitForLine("ready", kLineTimeoutMs)) << first.Stderr();
    SAUtils::SharedAreaIdentity served, now;
    ASSERT_TRUE(SAUtils::IdentifySharedArea(PosixName(5).c_str(), &served));
    const std::pair<std::vector<std::string>, const char*> refused[] = {
        {HostArgs({"5:CR"}), "already in use"},
        {HostArgs({"6:CR", "7:TP"}), "already in use"},
        {{DEVHOST_PATH, "--machine", "1", "--nonsense=1"}, "unknown option"},
        {{DEVHOST_PATH, "--machine", std::to_string(m_machine), "--root", m_root + "/missing", "--periph", "6:CR"},
         "is not a directory"},
    };
    for (const auto& r : refused) {
        ChildProcess host;
        ASSERT_TRUE(host.Start(r.first));
        ASSERT_TRUE(host.Wait(5000));
        EXPECT_EQ(host.ExitStatus(), 2) << r.second;
        EXPECT_NE(host.Stderr().find("dek-devhost: "), std::string::npos) << r.second;
        EXPECT_NE(host.Stderr().find(r.second), std::string::npos) << host.Stderr();
        EXPECT_FALSE(ObjectExists(PosixName(6))) << "the channel published first was left behind";
    }
    EXPECT_TRUE(SAUtils::IdentifySharedArea(PosixName(5).c_str(), &now) && now == served);
    EXPECT_EQ(taken.Block()->m_Version, SHAREBASE_VERSION);

    ASSERT_TRUE(first.Signal(SIGKILL));
    ASSERT_TRUE(first.Wait(5000));
    PSHAREBASE left = Attach(5);
    ASSERT_NE(left, nullptr);
    ASSERT_TRUE(m_host.Start(HostArgs({"5:CR"})));
    ASSERT_TRUE(m_host.WaitForLine("published 5 over the block of a host that died", kLineTimeoutMs)) << m_host.Stderr();
    ASSERT_TRUE(m_host.WaitForLine("ready", kLineTimeoutMs));
    EXPECT_TRUE(SAUtils::IdentifySharedArea(PosixName(5).c_str(), &now) && now != served);
    PSHAREBASE b = Attach(5);
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(Request(b->m_Hold)) << "the new host serves the new block";
    EXPECT_TRUE(left->m_HostUp && !Request(left->m_Hold, 100)) << "the dead host's block is left as it was";
    // At run time the host refuses the other's block and goes on serving.
    EXPECT_NE(Command("publish 7:TP", "error").find("already in use"), std::string::npos);
    EXPECT_TRUE(ObjectExists(PosixName(7)));
    Command("show 5", "end 5");
    taken.Unlink();
}

TEST_F(DevHostRun, TheLastLineCountsWithoutItsNewlineAndTheEndOfInputEndsOnlyAHostAskedTo)
{
    StartHost({"5:CR"});  // --exit-on-eof
    ASSERT_TRUE(m_host.Write(std::string(70000, 'x') + "\nlist\ndown 5"));
    m_host.CloseStdin();
    EXPECT_TRUE(m_host.WaitForLine("error line too long", kLineTimeoutMs));
    EXPECT_TRUE(m_host.WaitForLine("channels 5", kLineTimeoutMs));
    EXPECT_TRUE(m_host.WaitForLine("ok down 5", kLineTimeoutMs));
    ASSERT_TRUE(m_host.Wait(5000));
    EXPECT_EQ(m_host.ExitStatus(), 0);
    EXPECT_FALSE(ObjectExists(PosixName(5)));

    ChildProcess host;
    ASSERT_TRUE(host.Start(HostArgs({"6:TP"}, true)));
    ASSERT_TRUE(host.WaitForLine("ready", kLineTimeoutMs));
    ASSERT_TRUE(host.Write("down 6"));
    host.CloseStdin();
    EXPECT_TRUE(host.WaitForLine("ok down 6", kLineTimeoutMs));
    PSHAREBASE b = Attach(6);
    ASSERT_NE(b, nullptr);
    EXPECT_FALSE(b->m_HostUp);
    EXPECT_TRUE(Request(b->m_Hold)) << "the host stopped serving when its input ended";
    ASSERT_TRUE(host.Signal(SIGTERM));
    ASSERT_TRUE(host.Wait(5000));
    EXPECT_EQ(host.ExitStatus(), 0);
    EXPECT_NE(host.Stderr().find("signal 15, peripherals withdrawn"), std::string::npos) << host.Stderr();
    EXPECT_FALSE(ObjectExists(PosixName(6)));
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
