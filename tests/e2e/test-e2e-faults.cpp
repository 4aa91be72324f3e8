// The real dek program against a host that misbehaves: the block truncated
// under a running panel, a block that lies about its size, a host killed in
// the middle of a request, and twenty panels on one host at once.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "e2e-support.h"
#include "proc.h"
#include "shm-block.h"

namespace {

using namespace e2e;

// The n-th lamp (from 0) of the first row.
int LampX(int n)
{
    return 4 + n * 94 + 46;
}
const int kLampY = 4 + 25;

class Faults : public HostTest {
protected:
    void TearDown() override
    {
        m_panels.clear();
        m_host.reset();
        // A host killed or faulted leaves its objects behind.
        for (int ch = 0; ch < 100; ++ch)
            shm_unlink(ObjectName(ch).c_str());
        HostTest::TearDown();
    }

    std::string ObjectName(int ch) const
    {
        char name[64];
        snprintf(name, sizeof name, "/SHMEM_%04u_%02d", m_machine, ch);
        return name;
    }

    bool ObjectExists(int ch) const { return std::filesystem::exists("/dev/shm" + ObjectName(ch)); }

    void Truncate(int ch, off_t size)
    {
        int fd = shm_open(ObjectName(ch).c_str(), O_RDWR, 0);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(ftruncate(fd, size), 0);
        close(fd);
    }

    ChildProcess& StartPanel(int ch, bool started = false)
    {
        std::vector<std::string> argv = {DEK_PATH, "-M", std::to_string(m_machine), "-S", std::to_string(ch)};
        if (started)
            argv.push_back("-s");
        m_panels.emplace_back(new ChildProcess);
        EXPECT_TRUE(m_panels.back()->Start(argv));
        return *m_panels.back();
    }

    static int Status(ChildProcess& p, int ms = 5000)
    {
        if (!p.Wait(ms))
            return -100;
        return p.TermSignal() != 0 ? -p.TermSignal() : p.ExitStatus();
    }

    std::vector<std::unique_ptr<ChildProcess>> m_panels;
};

TEST_F(Faults, TruncatedBlockEndsThePanelWithItsMessageAndStatus1)
{
    for (off_t size : {off_t(0), off_t(4096)}) {
        SCOPED_TRACE(size);
        StartHost({"5:CP"});
        ChildProcess& panel = StartPanel(5);
        ASSERT_FALSE(FindWindow("^U05 - ").empty());
        Truncate(5, size);
        std::string box = FindWindow("^dek$");
        ASSERT_FALSE(box.empty()) << "no message box: " << panel.Stderr();
        PressReturnIn(box);
        EXPECT_EQ(Status(panel), 1) << "ended by status, not by a signal";
        m_panels.clear();
        m_host.reset();  // it may well have faulted on its own mapping
        shm_unlink(ObjectName(5).c_str());
    }
}

TEST_F(Faults, ClaimedSizeThatDoesNotFitIsRefusedAtAttach)
{
    for (const char* claim : {"0", "1", "2147483648"}) {
        SCOPED_TRACE(claim);
        StartHost({"6:LP"});
        m_host->WriteLine(std::string("set 6 m_SharedAreaSize ") + claim);
        ASSERT_TRUE(m_host->WaitForLine("ok", 3000));
        ChildProcess& panel = StartPanel(6);
        std::string box = FindWindow("^dek$");
        ASSERT_FALSE(box.empty()) << "no message box: " << panel.Stderr();
        EXPECT_TRUE(FindWindow("^U06 - ", 300).empty());
        PressReturnIn(box);
        EXPECT_EQ(Status(panel), 1);
        m_panels.clear();
        m_host.reset();
    }
}

TEST_F(Faults, HostKilledDuringARequestThenStopAndClose)
{
    StartHost({"4:CP::phys=lp0"});
    m_host->WriteLine("ignore 4");
    ASSERT_TRUE(m_host->WaitForLine("ok", 3000));
    ChildProcess& panel = StartPanel(4, true);
    std::string win = FindWindow("^U04 - ");
    ASSERT_FALSE(win.empty());
    Shell("xdotool windowmove " + win + " 0 0");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    ClickAt(win, LampX(1), kLampY);  // ALLOCATE: the device, no dialog
    ASSERT_TRUE(m_host->WaitForLine("pending 4 allocate", 5000));
    ASSERT_TRUE(m_host->Signal(SIGKILL));
    ASSERT_TRUE(m_host->Wait(3000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(panel.Running());

    ClickAt(win, LampX(3), kLampY);  // STOP ends the wait and the run
    ClickAt(win, LampX(3), kLampY);  // STOP on a stopped panel: "Cancel?"
    std::string box = FindWindow("^dek$");
    ASSERT_FALSE(box.empty()) << "the panel answers after the wait";
    PressReturnIn(box);
    EXPECT_EQ(Status(panel), 0);
}

TEST_F(Faults, TwentyPanelsOnOneHostAllCloseCleanly)
{
    std::vector<std::string> periphs;
    for (int ch = 4; ch < 24; ++ch)
        periphs.push_back(std::to_string(ch) + ":CP::closeonhostdown=1");
    StartHost(periphs);
    for (int ch = 4; ch < 24; ++ch)
        StartPanel(ch);
    for (int ch = 4; ch < 24; ++ch) {
        char title[32];
        snprintf(title, sizeof title, "^U%02d - ", ch);
        EXPECT_FALSE(FindWindow(title, 30000).empty()) << ch;
    }
    m_host->WriteLine("down");
    for (size_t i = 0; i < m_panels.size(); ++i)
        EXPECT_EQ(Status(*m_panels[i], 15000), 0) << "panel " << i;
    m_host->WriteLine("quit");
    ASSERT_TRUE(m_host->Wait(5000));
    EXPECT_EQ(m_host->ExitStatus(), 0);
    for (int ch = 4; ch < 24; ++ch)
        EXPECT_FALSE(ObjectExists(ch)) << ch;
}

}  // namespace
