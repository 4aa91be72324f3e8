// Driving the real programs on the test X server as an operator would, with
// xdotool and ImageMagick.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "proc.h"
#include "shm-block.h"

namespace e2e {

using Clock = std::chrono::steady_clock;

// Output of a shell command, trailing newline removed.
inline std::string Shell(const std::string& cmd)
{
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[512];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

// The first visible window whose name matches `regex`, waiting at most `ms`;
// empty when none appeared.
inline std::string FindWindow(const std::string& regex, int ms = 8000)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    do {
        std::string ids = Shell("xdotool search --onlyvisible --name '" + regex + "' 2>/dev/null");
        if (!ids.empty())
            return ids.substr(0, ids.find('\n'));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (Clock::now() < deadline);
    return std::string();
}

struct Geometry {
    int x = -1, y = -1;
};

inline Geometry WindowPosition(const std::string& win)
{
    Geometry g;
    std::string s = Shell("xdotool getwindowgeometry " + win);
    size_t p = s.find("Position: ");
    if (p != std::string::npos)
        sscanf(s.c_str() + p, "Position: %d,%d", &g.x, &g.y);
    return g;
}

// Keyboard focus follows the pointer here (no window manager).
inline void PressReturnIn(const std::string& win)
{
    Shell("xdotool mousemove --window " + win + " 20 20");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Shell("xdotool key Return");
}

inline void ClickAt(const std::string& win, int x, int y)
{
    Shell("xdotool mousemove --window " + win + " " + std::to_string(x) + " " + std::to_string(y));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Shell("xdotool click 1");
    // Clicks on one spot closer than the double-click time merge.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
}

// The screen pixels from (x, y) rightwards, `width` of them, each as "r,g,b".
inline std::vector<std::string> PixelsAt(int x, int y, int width)
{
    std::string s = Shell("import -silent -window root -crop " + std::to_string(width) + "x1+" + std::to_string(x) +
                          "+" + std::to_string(y) + " -depth 8 txt:- 2>/dev/null");
    std::vector<std::string> pixels;
    // One line a pixel after the header: "X,Y: (R,G,B[,A])  #... ...".
    for (size_t line = s.find('\n'); line != std::string::npos; line = s.find('\n', line + 1)) {
        size_t open = s.find('(', line);
        size_t close = s.find(')', open);
        if (open == std::string::npos || close == std::string::npos)
            break;
        std::string rgb = s.substr(open + 1, close - open - 1);
        // Drop an alpha part and blanks.
        std::string out;
        int commas = 0;
        for (char c : rgb) {
            if (c == ',' && ++commas == 3)
                break;
            if (c != ' ')
                out += c;
        }
        pixels.push_back(out);
    }
    return pixels;
}

// The screen pixel at (x, y) as "r,g,b".
inline std::string PixelAt(int x, int y)
{
    std::vector<std::string> pixels = PixelsAt(x, y, 1);
    return pixels.empty() ? std::string() : pixels[0];
}

// A private desktop for the programs this test starts: their own HOME (the
// panel keeps its placements there) and no desktop session to look for (whose
// complaints would fill the panel's unread error pipe).
inline void UsePrivateDesktop(const std::string& home)
{
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
}

// A scratch root with data/ and a private home for every test, a machine
// number of its own and, on demand, dek-devhost publishing on it.
class HostTest : public ::testing::Test {
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
        UsePrivateDesktop(m_root + "/home");
    }

    void TearDown() override
    {
        m_host.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }

    void StartHost(const std::vector<std::string>& periphs, const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> argv = {DEVHOST_PATH, "--machine", std::to_string(m_machine), "--root", m_root};
        for (const std::string& p : periphs) {
            argv.push_back("--periph");
            argv.push_back(p);
        }
        argv.insert(argv.end(), extra.begin(), extra.end());
        m_host.reset(new ChildProcess);
        ASSERT_TRUE(m_host->Start(argv));
        ASSERT_TRUE(m_host->WaitForLine("ready", 5000)) << m_host->Stderr();
    }

    UINT m_machine = 0;
    std::string m_root;
    std::unique_ptr<ChildProcess> m_host;
};

}  // namespace e2e
