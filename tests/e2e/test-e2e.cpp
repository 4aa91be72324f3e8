// The real dek program on the test X server, driven by dek-devhost and by
// xdotool as an operator would: message boxes and exit statuses, waiting for
// a late block, the title, closing on host-down, the remembered placement,
// a card deck allocated through the real file dialog, and both units of a
// reader-punch.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e-support.h"
#include "proc.h"
#include "shm-block.h"

namespace {

using namespace e2e;

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

// Task bars and window lists show the icon that the window carries.
bool HasIcon(const std::string& win)
{
    return Shell("xprop -id " + win + " _NET_WM_ICON | head -n 1").find("Icon (") != std::string::npos;
}

class Panel : public HostTest {
protected:
    void StartPanel(const std::vector<std::string>& args)
    {
        std::vector<std::string> argv = {DEK_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        m_panel.reset(new ChildProcess);
        ASSERT_TRUE(m_panel->Start(argv));
    }

    std::vector<std::string> MachineArgs(int channel) const
    {
        return {"-M", std::to_string(m_machine), "-S", std::to_string(channel)};
    }

    // `count` numbered lines "PREFIX n" in the data directory's file `name`.
    void WriteDeck(const std::string& name, const std::string& prefix, int count) const
    {
        std::ofstream deck(m_root + "/data/" + name);
        for (int i = 0; i < count; ++i)
            deck << prefix << " " << i << "\n";
    }

    // A started panel on `channel`, found by its title and moved to the
    // screen's corner so that its controls lie at known places. Empty when
    // it did not appear.
    std::string StartedPanelInTheCorner(int channel, const std::string& title)
    {
        StartPanel({"-M", std::to_string(m_machine), "-S", std::to_string(channel), "-s"});
        std::string win = FindWindow(title);
        if (!win.empty()) {
            Shell("xdotool windowmove " + win + " 0 0");
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        }
        return win;
    }

    // Chooses `name` in the data directory with the real file dialog titled
    // `title`. False when the dialog did not appear.
    static bool ChooseInFileDialog(const std::string& title, const std::string& name)
    {
        std::string dlg = FindWindow(title);
        if (dlg.empty())
            return false;
        Shell("xdotool mousemove --window " + dlg + " 200 200");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        Shell("xdotool key ctrl+l");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        // The chooser opens in the data directory; a name typed into its
        // location entry is taken there. (A whole path races the entry's
        // completion of the other /tmp entries.)
        Shell("xdotool type --delay 30 " + name);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        Shell("xdotool key Return");
        return true;
    }

    // Waits for the panel to end by itself and returns its status.
    int PanelStatus(int ms = 5000)
    {
        if (!m_panel->Wait(ms))
            return -100;
        return m_panel->ExitStatus();
    }

    void TearDown() override
    {
        m_panel.reset();
        HostTest::TearDown();
    }

    std::unique_ptr<ChildProcess> m_panel;
};

TEST_F(Panel, RefusedCommandLinesShowABoxAndEndWithStatus2)
{
    for (std::vector<std::string> args : {std::vector<std::string>{"-M", "0", "-S", "7"},
                                          std::vector<std::string>{"-ms"}, std::vector<std::string>{"-M", "5x"}}) {
        SCOPED_TRACE(args[0]);
        StartPanel(args);
        std::string box = FindWindow("^dek$");
        ASSERT_FALSE(box.empty()) << "no message box: " << m_panel->Stderr();
        PressReturnIn(box);
        EXPECT_EQ(PanelStatus(), 2);
    }
}

TEST_F(Panel, UnsupportedTypeEndsWithStatus1WithoutAPanel)
{
    StartHost({"5:MT"});
    StartPanel(MachineArgs(5));
    std::string box = FindWindow("^dek$");
    ASSERT_FALSE(box.empty()) << "no message box";
    EXPECT_TRUE(FindWindow("^U05 - ", 300).empty());
    PressReturnIn(box);
    EXPECT_EQ(PanelStatus(), 1);
}

TEST_F(Panel, WaitsForALateBlockThenShowsItsTitle)
{
    StartPanel(MachineArgs(9));
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    EXPECT_TRUE(m_panel->Running());
    EXPECT_TRUE(FindWindow("^U", 100).empty());
    StartHost({"9:TP:TP1925/1:ops=12"});
    EXPECT_FALSE(FindWindow("^U12 - TP1925/1$").empty());
    EXPECT_TRUE(m_panel->Running());
}

TEST_F(Panel, WithoutAChannelListsThePeripheralsInChannelOrderAndAttachesToTheChosenOne)
{
    StartHost({"9:TP:TP1925/1:ops=19", "5:CR:CR1911/1:ops=15"});
    StartPanel({"-M", std::to_string(m_machine)});
    std::string dlg = FindWindow("^Select peripheral$");
    ASSERT_FALSE(dlg.empty()) << m_panel->Stderr();
    EXPECT_TRUE(FindWindow("^U", 100).empty()) << "no panel before a choice";
    EXPECT_TRUE(HasIcon(dlg));
    // The first row, then the one below it: channel 9 lists after channel 5.
    ClickAt(dlg, 60, 45);
    Shell("xdotool key Down");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Shell("xdotool key Return");
    std::string win = FindWindow("^U19 - TP1925/1$");
    EXPECT_FALSE(win.empty()) << "attached to channel 9";
    EXPECT_TRUE(HasIcon(win));
    EXPECT_TRUE(FindWindow("^Select peripheral$", 100).empty());
    EXPECT_TRUE(m_panel->Running());
}

TEST_F(Panel, ClosesWithStatus0WhenTheHostGoesDownAndReturnsToItsPlace)
{
    StartHost({"6:LP:LP1933/1:closeonhostdown=1"});
    StartPanel(MachineArgs(6));
    std::string win = FindWindow("^U06 - LP1933/1$");
    ASSERT_FALSE(win.empty());
    Shell("xdotool windowmove " + win + " 210 170");
    ASSERT_TRUE(WaitUntil([&] { return WindowPosition(win).x == 210; }, 3000));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    m_host->WriteLine("down 6");
    EXPECT_EQ(PanelStatus(2000), 0);

    m_host->WriteLine("up 6");
    StartPanel(MachineArgs(6));
    win = FindWindow("^U06 - LP1933/1$");
    ASSERT_FALSE(win.empty());
    Geometry g = WindowPosition(win);
    EXPECT_EQ(g.x, 210);
    EXPECT_EQ(g.y, 170);
}

TEST_F(Panel, StopOnAStoppedPanelAndYesEndsWithStatus0)
{
    StartHost({"4:CP"});
    StartPanel(MachineArgs(4));
    std::string win = FindWindow("^U04 - ");
    ASSERT_FALSE(win.empty());
    // A card punch has no DATA button: STOP is the fourth lamp of the first row.
    ClickAt(win, 4 + 3 * 94 + 46, 4 + 25);
    std::string box = FindWindow("^dek$");
    ASSERT_FALSE(box.empty()) << "no Cancel? box";
    PressReturnIn(box);  // Yes is the default answer
    EXPECT_EQ(PanelStatus(), 0);
}

TEST_F(Panel, HostGoingDownDuringTheFileDialogEndsThePanelOnceTheDialogIsDone)
{
    StartHost({"5:CR:CR1912/1:closeonhostdown=1"});
    StartPanel({"-M", std::to_string(m_machine), "-S", "5", "-s"});
    std::string win = FindWindow("^U05 - CR1912/1$");
    ASSERT_FALSE(win.empty());
    ClickAt(win, 4 + 2 * 94 + 46, 4 + 25);
    std::string dlg = FindWindow("^Select CR file for input$");
    ASSERT_FALSE(dlg.empty()) << "no file dialog";

    m_host->WriteLine("down 5");
    EXPECT_TRUE(WaitUntil([&] { return FindWindow("^U05 - ", 50).empty(); }, 3000)) << "the panel goes";
    EXPECT_TRUE(m_panel->Running()) << "while the operator still has the dialog";
    Shell("xdotool mousemove --window " + dlg + " 300 300");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Shell("xdotool key Escape");
    EXPECT_EQ(PanelStatus(), 0);
}

TEST_F(Panel, CardDeckAllocatedThroughTheFileDialogRunsToItsEnd)
{
    WriteDeck("deck.txt", "CARD", 40);
    StartHost({"5:CR:CR1912/1:ops=5,rate=1200"});
    std::string win = StartedPanelInTheCorner(5, "^U05 - CR1912/1$");
    ASSERT_FALSE(win.empty());

    // ALLOCATE is the third lamp of the card reader's first row (after
    // START and DATA); sample its face near the lower left corner.
    const int ax = 4 + 2 * 94 + 8, ay = 4 + 44;
    EXPECT_EQ(PixelAt(ax, ay), "0,127,0");

    ClickAt(win, 4 + 2 * 94 + 46, 4 + 25);
    ASSERT_TRUE(ChooseInFileDialog("^Select CR file for input$", "deck.txt")) << "no file dialog";

    std::string served;
    ASSERT_TRUE(m_host->WaitForLine("served 5 allocate", 8000, &served));
    EXPECT_NE(served.find(m_root + "/data/deck.txt"), std::string::npos) << served;
    EXPECT_TRUE(WaitUntil([&] { return PixelAt(ax, ay) == "0,255,0"; }, 3000)) << "the ALLOCATE lamp lights";

    ASSERT_TRUE(m_host->WaitForLine("disc 5", 15000));
    EXPECT_TRUE(WaitUntil([&] { return PixelAt(ax, ay) == "0,127,0"; }, 3000)) << "and goes out at the end";
    EXPECT_TRUE(m_panel->Running());
}

// The blue-dominant pixels of the gauge's bar: how much of it is filled.
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

TEST_F(Panel, ReaderPunchReadsItsDeckToTheEndAndPunchesIntoAHostNamedFile)
{
    WriteDeck("deck.tpe", "TAPE LINE", 50);
    StartHost({"6:TR:RP2602:rate=150"});
    std::string win = StartedPanelInTheCorner(6, "^U06 - RP2602$");
    ASSERT_FALSE(win.empty());

    // Row 1 is the reader: ALLOCATE is its second lamp (no DATA button).
    ClickAt(win, 4 + 94 + 46, 4 + 25);
    ASSERT_TRUE(ChooseInFileDialog("^Select TR file for input$", "deck.tpe")) << "no file dialog";
    std::string line;
    ASSERT_TRUE(m_host->WaitForLine("served 6 allocate", 8000, &line));
    EXPECT_NE(line.find("file=" + m_root + "/data/deck.tpe"), std::string::npos) << line;

    // The gauge (row 2, right of the file display) empties as the tape is
    // read; its bar is the middle of its height.
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
    ASSERT_FALSE(fills.empty());
    const int full = fills.front();
    EXPECT_GT(full, gw / 2) << "the gauge starts (nearly) full";
    bool between = false;
    for (size_t i = 1; i < fills.size(); ++i) {
        EXPECT_LE(fills[i], fills[i - 1]) << "sample " << i;
        between = between || (fills[i] > 10 && fills[i] < full - 10);
    }
    EXPECT_TRUE(between) << "the gauge jumped instead of following the tape";
    // What the selection list shows as the reader's file.
    m_host->WriteLine("get 6 m_FilenameTR");
    ASSERT_TRUE(m_host->WaitForLine("value 6", 3000, &line));
    EXPECT_EQ(line, "value 6 m_U.m_rp.m_FilenameTR " + m_root + "/data/deck.tpe");

    // Row 3 is the punch: HOLD, then ALLOCATE; its file shows beside them.
    const int row3 = 4 + 2 * (50 + 4), fx = 4 + 2 * 94 + 300 - 20, fy = row3 + 10;
    EXPECT_NE(PixelAt(fx, fy), "240,240,240") << "no punch file shown before an allocation";
    ClickAt(win, 4 + 94 + 46, row3 + 25);
    ASSERT_TRUE(m_host->WaitForLine("served 6 allocate2", 5000, &line));
    const std::string file = "data/punch-6-1.tpe";
    EXPECT_EQ(line, "served 6 allocate2 file=" + file);
    std::ifstream punched(m_root + "/" + file);
    std::string first;
    ASSERT_TRUE(std::getline(punched, first)) << "nothing punched";
    EXPECT_EQ(first, "DEK-DEVHOST PAPER TAPE OUTPUT, RP2602 on channel 6");
    EXPECT_TRUE(WaitUntil([&] { return PixelAt(fx, fy) == "240,240,240"; }, 3000)) << "the punch's file is shown";

    ClickAt(win, 4 + 46, row3 + 25);
    ASSERT_TRUE(m_host->WaitForLine("served 6 hold2", 5000, &line));
    EXPECT_EQ(line, "served 6 hold2 file=" + file + " disc2=1");
    // The panel's poll takes the end of the punch's medium.
    EXPECT_TRUE(WaitUntil(
        [&] {
            m_host->WriteLine("get 6 m_Disc2");
            return m_host->WaitForLine("value 6", 3000, &line) && line == "value 6 m_U.m_rp.m_Disc2 0";
        },
        3000));
    EXPECT_TRUE(m_panel->Running());
}

}  // namespace
