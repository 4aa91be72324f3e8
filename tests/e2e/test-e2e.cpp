// The real dek and dek-devhost on the test X server, driven by xdotool.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "proc.h"
#include "shm-block.h"

namespace {

using Clock = std::chrono::steady_clock;

// Output of a shell command; `trim` removes the trailing newline.
std::string Shell(const std::string& cmd, bool trim = true)
{
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[512];
        for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
            out.append(buf, n);
        pclose(p);
    }
    while (trim && !out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

template <typename Pred>
bool WaitUntil(Pred done, int ms)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// The first visible window named like `regex` within `ms`; empty if none.
std::string FindWindow(const std::string& regex, int ms = 8000)
{
    std::string ids;
    WaitUntil([&] { return !(ids = Shell("xdotool search --onlyvisible --name '" + regex + "' 2>/dev/null")).empty(); },
              ms);
    return ids.substr(0, ids.find('\n'));
}

void Pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Keyboard focus follows the pointer here (no window manager).
void PressIn(const std::string& win, const std::string& key, int x = 20, int y = 20)
{
    Shell("xdotool mousemove --window " + win + " " + std::to_string(x) + " " + std::to_string(y));
    Pause(250);
    Shell("xdotool key " + key);
}

void ClickAt(const std::string& win, int x, int y)
{
    Shell("xdotool mousemove --window " + win + " " + std::to_string(x) + " " + std::to_string(y));
    Pause(100);
    Shell("xdotool click 1");
    Pause(500);  // clicks on one spot closer than the double-click time merge
}

// The screen pixels from (x, y) rightwards, `width` of them, each as "r,g,b".
std::vector<std::string> PixelsAt(int x, int y, int width)
{
    std::string rgb = Shell("import -silent -window root -crop " + std::to_string(width) + "x1+" + std::to_string(x) +
                                "+" + std::to_string(y) + " -depth 8 rgb:- 2>/dev/null",
                            false);
    std::vector<std::string> pixels;
    for (size_t i = 0; i + 3 <= rgb.size(); i += 3) {
        const unsigned char* px = reinterpret_cast<const unsigned char*>(&rgb[i]);
        pixels.push_back(std::to_string(px[0]) + "," + std::to_string(px[1]) + "," + std::to_string(px[2]));
    }
    return pixels;
}

std::string PixelAt(int x, int y)
{
    std::vector<std::string> pixels = PixelsAt(x, y, 1);
    return pixels.empty() ? std::string() : pixels[0];
}

// The blue-dominant pixels of a gauge's bar: how much of it is filled.
int GaugeFill(int x, int y, int width)
{
    int filled = 0;
    for (const std::string& px : PixelsAt(x, y, width)) {
        int r = 0, g = 0, b = 0;
        if (sscanf(px.c_str(), "%d,%d,%d", &r, &g, &b) == 3 && b - r > 100)
            ++filled;
    }
    return filled;
}

// Task bars and window lists show the icon that the window carries.
bool HasIcon(const std::string& win)
{
    return Shell("xprop -id " + win + " _NET_WM_ICON | head -n 1").find("Icon (") != std::string::npos;
}

// The window's place on the screen with the window manager's frame, as
// {x, y, width, height}, and its client area's top-left corner.
std::vector<int> Outer(const std::string& win, int* clientX = nullptr, int* clientY = nullptr)
{
    int v[4] = {0, 0, 0, 0}, frame[4] = {0, 0, 0, 0};  // left, right, top, bottom
    const std::string info = Shell("xwininfo -id " + win);
    const char* keys[] = {"Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"};
    for (int i = 0; i < 4; ++i)
        if (info.find(keys[i]) != std::string::npos)
            v[i] = atoi(info.c_str() + info.find(keys[i]) + strlen(keys[i]));
    sscanf(Shell("xprop -id " + win + " _NET_FRAME_EXTENTS").c_str(), "_NET_FRAME_EXTENTS(CARDINAL) = %d, %d, %d, %d",
           &frame[0], &frame[1], &frame[2], &frame[3]);
    if (clientX != nullptr)
        *clientX = v[0], *clientY = v[1];
    return {v[0] - frame[0], v[1] - frame[2], v[2] + frame[0] + frame[1], v[3] + frame[2] + frame[3]};
}

std::string Text(const std::vector<int>& v)
{
    std::string s;
    for (int i : v)
        s += std::to_string(i) + " ";
    return s;
}

// Points of a panel at (0, 0): first-row lamp n, its face, the panes.
int LampX(int n)
{
    return 4 + n * 94 + 46;
}
int LampFaceX(int n)
{
    return 4 + n * 94 + 8;
}
const int kLampY = 4 + 25, kUpperPaneY = 4 + 8, kLowerCornerY = 4 + 44;

// A scratch root and private home (placements live there), own machine number.
class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs an X server";
        m_machine = UniqueMachineNumber();
        char dir[] = "/tmp/dek-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_root = dir;
        std::filesystem::create_directories(m_root + "/home");
        std::filesystem::create_directories(m_root + "/data");
        for (const char* var : {"HOME", "XDG_CONFIG_HOME"})
            setenv(var, (m_root + "/home").c_str(), 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
        setenv("NO_AT_BRIDGE", "1", 1);
        // Away from where windows open: a tooltip is a window named "dek" too.
        Shell("xdotool mousemove 1590 1190");
    }

    void TearDown() override
    {
        m_panels.clear();
        m_host.reset();
        m_wm.reset();
        // A host killed or faulted leaves its objects behind.
        for (int ch = 0; ch < 100; ++ch)
            shm_unlink(ObjectName(ch).c_str());
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }

    std::string ObjectName(int ch) const
    {
        char name[64];
        snprintf(name, sizeof name, "/SHMEM_%04u_%02d", m_machine, ch);
        return name;
    }

    void StartHost(const std::vector<std::string>& periphs)
    {
        std::vector<std::string> argv = {DEVHOST_PATH, "--machine", std::to_string(m_machine), "--root", m_root};
        for (const std::string& p : periphs)
            argv.insert(argv.end(), {"--periph", p});
        m_host.reset(new ChildProcess);
        ASSERT_TRUE(m_host->Start(argv));
        ASSERT_TRUE(m_host->WaitForLine("ready", 5000)) << m_host->Stderr();
    }

    // The host's answer to `command`: the first line starting with `reply`.
    std::string Ask(const std::string& command, const std::string& reply)
    {
        std::string line;
        m_host->WriteLine(command);
        EXPECT_TRUE(m_host->WaitForLine(reply, 5000, &line)) << command;
        return line;
    }

    std::vector<std::string> MachineArgs(int channel, bool started = false) const
    {
        std::vector<std::string> args = {"-M", std::to_string(m_machine), "-S", std::to_string(channel)};
        if (started)
            args.push_back("-s");
        return args;
    }

    ChildProcess& StartPanel(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv = {DEK_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        m_panels.emplace_back(new ChildProcess);
        EXPECT_TRUE(m_panels.back()->Start(argv));
        return *m_panels.back();
    }

    // A started panel moved to the screen's corner; empty if it did not appear.
    std::string StartedPanelInTheCorner(int channel, const std::string& title)
    {
        StartPanel(MachineArgs(channel, true));
        std::string win = FindWindow(title);
        if (!win.empty()) {
            Shell("xdotool windowmove " + win + " 0 0");
            Pause(300);
        }
        return win;
    }

    // Exit status, minus the signal that ended it, or -100 if still running.
    static int Status(ChildProcess& p, int ms = 5000)
    {
        if (!p.Wait(ms))
            return -100;
        return p.TermSignal() != 0 ? -p.TermSignal() : p.ExitStatus();
    }

    // Answers the box with Return; `alone`: no panel window besides it.
    int StatusAfterTheBox(ChildProcess& panel, bool alone = true)
    {
        std::string box = FindWindow("^dek$");
        EXPECT_FALSE(box.empty()) << "no message box: " << panel.Stderr();
        if (box.empty())
            return -200;
        EXPECT_TRUE(!alone || FindWindow("^U[0-9]", 300).empty()) << "a panel besides the box";
        PressIn(box, "Return");  // the default answer
        return Status(panel);
    }

    // `count` numbered lines "PREFIX n" in the data directory's file `name`.
    void WriteDeck(const std::string& name, const std::string& prefix, int count) const
    {
        std::ofstream deck(m_root + "/data/" + name);
        for (int i = 0; i < count; ++i)
            deck << prefix << " " << i << "\n";
    }

    // False when the file dialog did not appear.
    static bool ChooseInFileDialog(const std::string& title, const std::string& name)
    {
        std::string dlg = FindWindow(title);
        if (dlg.empty())
            return false;
        // A bare name: a whole path races the entry's completion.
        PressIn(dlg, "ctrl+l", 200, 200);
        Pause(300);
        Shell("xdotool type --delay 30 " + name);
        Pause(500);
        Shell("xdotool key Return");
        return true;
    }

    // The window manager that DEK_TEST_WM names (openbox), if any; false if
    // it did not come up.
    bool StartWindowManager()
    {
        const char* wm = getenv("DEK_TEST_WM");
        if (wm == nullptr || strcmp(wm, "openbox") != 0)
            return true;
        // Now and then openbox, started on a fresh server, never takes it up
        // (seen about once in six runs, with nothing on its standard error):
        // a second start does.
        for (int attempt = 0; attempt < 3; ++attempt) {
            m_wm.reset(new ChildProcess);
            if (m_wm->Start({"/usr/bin/openbox", "--sm-disable"}) &&
                WaitUntil([] { return Shell("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") !=
                                      std::string::npos; },
                          5000))
                return true;
        }
        return false;
    }

    // Keys go to `win`: the pointer rests in its bottom-right corner (no
    // tooltip there), and a window manager makes it the active window.
    void Focus(const std::string& win)
    {
        const std::vector<int> r = Outer(win);
        Shell("xdotool mousemove " + std::to_string(r[0] + r[2] - 4) + " " + std::to_string(r[1] + r[3] - 4));
        if (m_wm)
            Shell("xdotool windowactivate --sync " + win);
        Pause(300);
    }

    UINT m_machine = 0;
    std::string m_root;
    std::unique_ptr<ChildProcess> m_wm;  // ended last
    std::unique_ptr<ChildProcess> m_host;
    std::vector<std::unique_ptr<ChildProcess>> m_panels;
};

TEST_F(EndToEnd, RefusalsShowABoxWithoutAPanelAndEndWithTheirStatus)
{
    const struct {
        const char* periph;  // published first, unless empty
        const char* command;  // then sent to the host, unless empty
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {"", "", {"-M", "0", "-S", "7"}, 2},
        {"", "", {"-ms"}, 2},
        {"", "", {"-M", "5x"}, 2},
        {"5:MT", "", MachineArgs(5), 1},  // a type without a panel
        // A claimed size that does not fit is refused at attach.
        {"6:LP", "set 6 m_SharedAreaSize 0", MachineArgs(6), 1},
        {"6:LP", "set 6 m_SharedAreaSize 1", MachineArgs(6), 1},
        {"6:LP", "set 6 m_SharedAreaSize 2147483648", MachineArgs(6), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.periph + " " + c.command);
        if (*c.periph)
            StartHost({c.periph});
        if (*c.command)
            Ask(c.command, "ok");
        EXPECT_EQ(StatusAfterTheBox(StartPanel(c.args)), c.status);
        m_panels.clear();
        m_host.reset();
    }
}

TEST_F(EndToEnd, TruncatedBlockEndsThePanelWithItsMessageAndStatus1)
{
    for (off_t size : {off_t(0), off_t(4096)}) {
        SCOPED_TRACE(size);
        StartHost({"5:CP"});
        ChildProcess& panel = StartPanel(MachineArgs(5));
        ASSERT_FALSE(FindWindow("^U05 - ").empty());
        int fd = shm_open(ObjectName(5).c_str(), O_RDWR, 0);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(ftruncate(fd, size), 0);
        close(fd);
        EXPECT_EQ(StatusAfterTheBox(panel, false), 1) << "ended by status, not by a signal";
        m_panels.clear();
        m_host.reset();  // it may well have faulted on its own mapping
        shm_unlink(ObjectName(5).c_str());
    }
}

TEST_F(EndToEnd, WaitsForALateBlockThenShowsItsTitle)
{
    ChildProcess& panel = StartPanel(MachineArgs(9));
    Pause(800);
    EXPECT_TRUE(panel.Running());
    EXPECT_TRUE(FindWindow("^U", 100).empty());
    StartHost({"9:TP:TP1925/1:ops=12"});
    EXPECT_FALSE(FindWindow("^U12 - TP1925/1$").empty());
    EXPECT_TRUE(panel.Running());
}

// Choosing a row is part of the desktop test below.
TEST_F(EndToEnd, WithoutAChannelTheSelectionDialogEndsOnEscapeWithoutAPanel)
{
    StartHost({"9:TP:TP1925/1:ops=19"});
    ChildProcess& left = StartPanel({"-M", std::to_string(m_machine)});
    std::string dlg = FindWindow("^Select peripheral$");
    ASSERT_FALSE(dlg.empty()) << left.Stderr();
    PressIn(dlg, "Escape", 300, 200);
    EXPECT_EQ(Status(left), 0);
    EXPECT_TRUE(FindWindow("^U", 100).empty());
}

// The panel's own dialogs close with it: the native file chooser, then the
// toolkit's message box, which runs GTK's own loop.
TEST_F(EndToEnd, HostGoingDownClosesThePanelWithItsFileDialogOrItsBox)
{
    StartHost({"5:CR:CR1912/1:closeonhostdown=1"});
    for (bool box : {false, true}) {
        SCOPED_TRACE(box ? "Cancel?" : "file dialog");
        ChildProcess& panel = StartPanel(MachineArgs(5, !box));
        std::string win = FindWindow("^U05 - CR1912/1$");
        ASSERT_FALSE(win.empty());
        ClickAt(win, LampX(box ? 4 : 2), kLampY);  // STOP on a stopped panel, or ALLOCATE
        ASSERT_FALSE(FindWindow(box ? "^dek$" : "^Select CR file for input$").empty()) << "no dialog";

        m_host->WriteLine("down 5");
        EXPECT_EQ(Status(panel, 2000), 0) << "the panel and its dialog are gone";
        EXPECT_TRUE(FindWindow(box ? "^dek$" : "^Select CR file for input$", 100).empty());
        m_host->WriteLine("up 5");
    }
}

TEST_F(EndToEnd, ReaderPunchReadsItsDeckToTheEndAndPunchesIntoAHostNamedFile)
{
    WriteDeck("deck.tpe", "TAPE LINE", 50);
    StartHost({"6:TR:RP2602:rate=150"});
    std::string win = StartedPanelInTheCorner(6, "^U06 - RP2602$");
    ASSERT_FALSE(win.empty());

    // Row 1 is the reader: ALLOCATE is its second lamp (no DATA).
    auto allocateLamp = [] { return PixelAt(LampFaceX(1), kLowerCornerY); };
    EXPECT_EQ(allocateLamp(), "0,127,0");
    ClickAt(win, LampX(1), kLampY);
    ASSERT_TRUE(ChooseInFileDialog("^Select TR file for input$", "deck.tpe")) << "no file dialog";
    std::string line;
    ASSERT_TRUE(m_host->WaitForLine("served 6 allocate", 8000, &line));
    EXPECT_NE(line.find("file=" + m_root + "/data/deck.tpe"), std::string::npos) << line;
    EXPECT_TRUE(WaitUntil([&] { return allocateLamp() == "0,255,0"; }, 3000)) << "the ALLOCATE lamp lights";

    // The gauge (row 2, right of the file) empties as the tape is read.
    const int gx = 4 + 60 + 92 + 4 + 300 + 4, gy = 4 + 50 + 4 + 25 + 7, gw = 160;
    ASSERT_TRUE(WaitUntil([&] { return GaugeFill(gx, gy, gw) > 0; }, 5000)) << "the gauge never filled";
    std::vector<int> fills;
    bool ended = false;
    auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!ended && Clock::now() < deadline) {
        fills.push_back(GaugeFill(gx, gy, gw));
        while (!ended && m_host->ReadLine(&line, 50))
            ended = line.rfind("disc 6 end", 0) == 0;
    }
    ASSERT_TRUE(ended) << "the tape was not read to its end";
    EXPECT_TRUE(WaitUntil([&] { return GaugeFill(gx, gy, gw) == 0; }, 3000)) << "the gauge ends empty";
    EXPECT_TRUE(WaitUntil([&] { return allocateLamp() == "0,127,0"; }, 3000)) << "and the lamp goes out";
    const int full = fills.front();
    EXPECT_GT(full, gw / 2) << "the gauge starts (nearly) full";
    bool between = false;
    for (size_t i = 1; i < fills.size(); ++i) {
        EXPECT_LE(fills[i], fills[i - 1]) << "sample " << i;
        between = between || (fills[i] > 10 && fills[i] < full - 10);
    }
    EXPECT_TRUE(between) << "the gauge jumped instead of following the tape";
    // What the selection list shows as the reader's file.
    EXPECT_EQ(Ask("get 6 m_FilenameTR", "value 6"), "value 6 m_U.m_rp.m_FilenameTR " + m_root + "/data/deck.tpe");

    // Row 3 is the punch: HOLD, then ALLOCATE; its file shows beside them.
    const int row3 = 4 + 2 * (50 + 4), fx = 4 + 2 * 94 + 300 - 20, fy = row3 + 10;
    EXPECT_NE(PixelAt(fx, fy), "240,240,240") << "no punch file shown before an allocation";
    ClickAt(win, LampX(1), row3 + 25);
    ASSERT_TRUE(m_host->WaitForLine("served 6 allocate2", 5000, &line));
    const std::string file = "data/punch-6-1.tpe";
    EXPECT_EQ(line, "served 6 allocate2 file=" + file);
    std::ifstream punched(m_root + "/" + file);
    std::string first;
    ASSERT_TRUE(std::getline(punched, first)) << "nothing punched";
    EXPECT_EQ(first, "DEK-DEVHOST PAPER TAPE OUTPUT, RP2602 on channel 6");
    EXPECT_TRUE(WaitUntil([&] { return PixelAt(fx, fy) == "240,240,240"; }, 3000)) << "the punch's file is shown";

    ClickAt(win, LampX(0), row3 + 25);
    ASSERT_TRUE(m_host->WaitForLine("served 6 hold2", 5000, &line));
    EXPECT_EQ(line, "served 6 hold2 file=" + file + " disc2=1");
    // The panel's poll takes the end of the punch's medium.
    EXPECT_TRUE(WaitUntil([&] { return Ask("get 6 m_Disc2", "value 6") == "value 6 m_U.m_rp.m_Disc2 0"; }, 3000));
    EXPECT_TRUE(m_panels.back()->Running());
}

TEST_F(EndToEnd, TheSameChannelPublishedAgainIsFollowedAnotherTypeEndsThePanelWithStatus1)
{
    StartHost({"5:CR:CR1911/1:ops=5,closeonhostdown=0"});
    ASSERT_FALSE(StartedPanelInTheCorner(5, "^U05 - CR1911/1$").empty());
    ChildProcess& panel = *m_panels.back();
    auto startLit = [] { return PixelAt(LampFaceX(0), kUpperPaneY) == "0,255,0"; };
    ASSERT_TRUE(WaitUntil(startLit, 3000)) << "START lit";

    Ask("withdraw 5", "withdrawn 5");
    EXPECT_FALSE(FindWindow("^U05 - CR1911/1 \\(host gone\\)$", 3000).empty());
    EXPECT_EQ(PixelAt(LampFaceX(0), kUpperPaneY), "0,127,0") << "dark";
    Ask("publish 5:CR:CR1911/1:ops=5,closeonhostdown=0", "published 5");
    EXPECT_FALSE(FindWindow("^U05 - CR1911/1$", 3000).empty());
    EXPECT_TRUE(WaitUntil(startLit, 3000)) << "lit again";
    EXPECT_TRUE(panel.Running());

    Ask("withdraw 5", "withdrawn 5");
    Ask("publish 5:LP:LP1933/1", "published 5");
    std::string box = FindWindow("^dek$", 5000);
    ASSERT_FALSE(box.empty()) << panel.Stderr();
    const std::string line = "dek: Peripheral changed; Channel 5 is now LP1933/1, type 2";
    EXPECT_TRUE(WaitUntil([&] { return panel.Stderr().find(line) != std::string::npos; }, 3000)) << panel.Stderr();
    // The panel on its way out no longer claims the channel: a new one opens.
    ChildProcess& next = StartPanel(MachineArgs(5));
    EXPECT_FALSE(FindWindow("^U05 - LP1933/1$").empty()) << next.Stderr();
    EXPECT_TRUE(next.Running());
    PressIn(box, "Return");
    EXPECT_EQ(Status(panel), 1);
}

TEST_F(EndToEnd, ARequestTheHostLeavesPendingIsShownInTheTitleUntilAnswered)
{
    StartHost({"4:CP:CP2151:phys=lp0"});
    Ask("ignore 4", "ok");
    std::string win = StartedPanelInTheCorner(4, "^U04 - CP2151$");
    ASSERT_FALSE(win.empty());

    ClickAt(win, LampX(1), kLampY);  // ALLOCATE: the device, no dialog
    ASSERT_TRUE(m_host->WaitForLine("pending 4 allocate", 5000));
    EXPECT_FALSE(FindWindow("^U04 - CP2151 \\(waiting for the host\\)$", 3000).empty());
    m_host->WriteLine("ack 4");
    ASSERT_TRUE(m_host->WaitForLine("served 4 allocate", 3000));
    EXPECT_TRUE(WaitUntil([&] { return Shell("xdotool getwindowname " + win) == "U04 - CP2151"; }, 3000));
}

// STOP on a stopped panel asks "Cancel?"; Yes ends it with status 0.
TEST_F(EndToEnd, HostKilledDuringARequestThenStopAndClose)
{
    StartHost({"4:CP::phys=lp0"});
    Ask("ignore 4", "ok");
    std::string win = StartedPanelInTheCorner(4, "^U04 - ");
    ASSERT_FALSE(win.empty());
    ChildProcess& panel = *m_panels.back();

    ClickAt(win, LampX(1), kLampY);  // ALLOCATE: the device, no dialog
    ASSERT_TRUE(m_host->WaitForLine("pending 4 allocate", 5000));
    ASSERT_TRUE(m_host->Signal(SIGKILL));
    ASSERT_TRUE(m_host->Wait(3000));
    Pause(300);
    EXPECT_TRUE(panel.Running());

    ClickAt(win, LampX(3), kLampY);  // STOP ends the wait and the run
    ClickAt(win, LampX(3), kLampY);  // STOP on a stopped panel
    std::string box = FindWindow("^dek$");
    ASSERT_FALSE(box.empty()) << "the panel answers after the wait";
    PressIn(box, "Return");  // Yes is the default answer
    EXPECT_EQ(Status(panel), 0);
}

// Both at (0, 0): the second lamp tells the reader (grey DATA) from the punch.
// A first panel that cannot answer (stopped) is not reported as brought forward.
TEST_F(EndToEnd, ASecondPanelForAChannelBringsTheFirstForwardAndEnds)
{
    StartHost({"5:CR:CR1911/1", "6:CP"});
    ChildProcess& reader = StartPanel(MachineArgs(5));
    std::string readerWin = FindWindow("^U05 - ");
    ASSERT_FALSE(readerWin.empty());
    Shell("xdotool windowmove " + readerWin + " 0 0");
    StartPanel(MachineArgs(6));
    std::string punchWin = FindWindow("^U06 - ");
    ASSERT_FALSE(punchWin.empty());
    Shell("xdotool windowmove " + punchWin + " 0 0");
    auto readerOnTop = [] { return PixelAt(LampFaceX(1), kLowerCornerY) == "127,127,127"; };
    ASSERT_TRUE(WaitUntil([&] { return PixelAt(LampFaceX(1), kLowerCornerY) == "0,127,0"; }, 3000))
        << "punch on top";

    // First, as raising a window takes the keyboard's focus with it.
    ASSERT_TRUE(reader.Signal(SIGSTOP));
    ChildProcess& third = StartPanel(MachineArgs(5));
    const auto asked = Clock::now();
    EXPECT_FALSE(FindWindow("^dek$", 5000).empty()) << "no message: " << third.Stderr();
    EXPECT_LT(Clock::now() - asked, std::chrono::seconds(4));
    EXPECT_NE(third.Stderr().find("A panel for machine " + std::to_string(m_machine) + " channel 5 is already open"),
              std::string::npos);
    EXPECT_EQ(StatusAfterTheBox(third, false), 1);
    reader.Signal(SIGCONT);
    Pause(500);
    EXPECT_FALSE(readerOnTop()) << "nobody waits for it any more";

    ChildProcess& second = StartPanel(MachineArgs(5));
    ASSERT_TRUE(second.Wait(5000));
    EXPECT_EQ(second.ExitStatus(), 0) << second.Stderr();
    EXPECT_TRUE(WaitUntil(readerOnTop, 3000)) << "the reader's panel came forward";
    EXPECT_EQ(Shell("xdotool search --onlyvisible --name '^U05 - ' | wc -l"), "1");
    EXPECT_TRUE(reader.Running());
}

TEST_F(EndToEnd, TwentyPanelsOnOneHostAllCloseCleanly)
{
    std::vector<std::string> periphs;
    for (int ch = 4; ch < 24; ++ch)
        periphs.push_back(std::to_string(ch) + ":CP::closeonhostdown=1");
    StartHost(periphs);
    for (int ch = 4; ch < 24; ++ch)
        StartPanel(MachineArgs(ch));
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
        EXPECT_FALSE(std::filesystem::exists("/dev/shm" + ObjectName(ch))) << ch;
}

// Also run under openbox and on a 1366x768 screen (tests/e2e/CMakeLists.txt).
TEST_F(EndToEnd, OnTheDesktopTheKeyboardPressesInScreenOrderAndAPanelComesBackWhereItWas)
{
    ASSERT_TRUE(StartWindowManager()) << (m_wm ? m_wm->Stderr() : std::string());
    int sw = 0, sh = 0;
    sscanf(Shell("xdotool getdisplaygeometry").c_str(), "%d %d", &sw, &sh);
    StartHost({"4:TP", "9:CR:CR1911/1"});
    Shell("xdotool mousemove " + std::to_string(sw - 10) + " " + std::to_string(sh - 10));
    ChildProcess& first = StartPanel({"-M", std::to_string(m_machine)});
    std::string dlg = FindWindow("^Select peripheral$");
    ASSERT_FALSE(dlg.empty()) << first.Stderr();
    Pause(500);
    const std::vector<int> d = Outer(dlg);
    EXPECT_TRUE(d[0] >= 0 && d[1] >= 0 && d[0] + d[2] <= sw && d[1] + d[3] <= sh) << "dialog " << Text(d);
    EXPECT_TRUE(HasIcon(dlg));
    EXPECT_TRUE(FindWindow("^U", 100).empty()) << "no panel before a choice";
    Focus(dlg);
    Shell("xdotool key Down Return");
    std::string win = FindWindow("^U09 - CR1911/1$");
    ASSERT_FALSE(win.empty()) << "the keyboard picked the second row, in channel order";
    EXPECT_TRUE(HasIcon(win));
    Pause(500);

    // Neither resizing nor maximising is offered.
    const std::string hints = Shell("xprop -id " + win + " WM_NORMAL_HINTS");
    int size[4] = {0, 0, 0, 0};
    sscanf(hints.c_str() + hints.find("minimum size:"), "minimum size: %d by %d", &size[0], &size[1]);
    sscanf(hints.c_str() + hints.find("maximum size:"), "maximum size: %d by %d", &size[2], &size[3]);
    EXPECT_TRUE(size[0] > 0 && size[0] == size[2] && size[1] == size[3]) << hints;
    if (m_wm) {
        EXPECT_EQ(Shell("xprop -id " + win + " _NET_WM_ALLOWED_ACTIONS | grep -c -E 'MAXIMIZE|RESIZE'"), "0");
    }

    // Space and Return press the focused lamp; Tab goes row by row, past the
    // operator number and the file display. The focus shows once keys are used.
    int cx = 0, cy = 0;
    const std::vector<int> placed = Outer(win, &cx, &cy);
    auto markOn = [&](int lamp) {
        const std::vector<std::string> row = PixelsAt(cx + 4 + lamp * 94 + 3, cy + 4 + 46, 86);
        return std::find(row.begin(), row.end(), "255,255,255") != row.end();
    };
    Focus(win);
    EXPECT_FALSE(markOn(0) || markOn(1) || markOn(2) || markOn(3) || markOn(4)) << "no mark before a key";
    Shell("xdotool key space");
    EXPECT_TRUE(WaitUntil([&] { return PixelAt(cx + LampFaceX(0), cy + kUpperPaneY) == "0,255,0"; }, 3000))
        << "START lit";
    EXPECT_TRUE(markOn(0));
    Shell("xdotool key Tab Tab");
    Pause(300);
    EXPECT_TRUE(markOn(2) && !markOn(0));
    Shell("xdotool key Return");
    std::string files = FindWindow("^Select CR file for input$");
    EXPECT_FALSE(files.empty()) << "ALLOCATE, two along from START";
    if (!files.empty())
        PressIn(files, "Escape", 300, 300);
    EXPECT_TRUE(WaitUntil([&] { return FindWindow("^Select CR file", 50).empty(); }, 3000));
    Focus(win);
    Shell("xdotool key Tab Tab Tab Return");
    EXPECT_TRUE(WaitUntil([&] { return PixelAt(cx + 64 + 8, cy + 58 + 8) == "200,0,0"; }, 3000)) << "ENG lit";
    Shell("xdotool key shift+Tab Return Return");  // STOP, and STOP again on a stopped panel
    EXPECT_EQ(StatusAfterTheBox(first, false), 0);
    first.Signal(SIGTERM);  // if the keys did not end it
    first.Wait(3000);

    // Put in the bottom-right corner, it comes back there exactly, and stays.
    std::ofstream(m_root + "/home/.dek") << "[Placement/Id-" << m_machine << "-9]\nx=" << sw - placed[2]
                                        << "\ny=" << sh - placed[3] << "\n";
    ChildProcess& second = StartPanel(MachineArgs(9));
    win = FindWindow("^U09 - CR1911/1$");
    ASSERT_FALSE(win.empty());
    Pause(500);
    EXPECT_EQ(Text(Outer(win)), Text({sw - placed[2], sh - placed[3], placed[2], placed[3]}));
    Focus(win);
    Shell("xdotool key Tab Tab Tab Tab Return");
    EXPECT_EQ(StatusAfterTheBox(second, false), 0);
    std::ifstream settings(m_root + "/home/.dek");
    const std::string stored((std::istreambuf_iterator<char>(settings)), std::istreambuf_iterator<char>());
    EXPECT_NE(stored.find("x=" + std::to_string(sw - placed[2]) + "\ny=" + std::to_string(sh - placed[3])),
              std::string::npos)
        << stored;
}

}  // namespace
