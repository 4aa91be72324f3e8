// The development host's command line.
#pragma once
#include <string>
#include <vector>
#include "periph-desc.h"

namespace DevHost {

struct HostOptions {
    UINT machine = 0;
    std::string root;  // absolute
    std::vector<PeriphDesc> periphs;
    UINT cpu = 0;
    UINT pollMs = 5;
    UINT cardsPerMinute = 300;
    UINT tapeCharsPerSecond = 300;
    UINT publishPauseMs = 0;  // between the steps of a publication
    bool chaos = false;       // --chaos SEED
    UINT chaosSeed = 0;
    UINT chaosRate = 60;      // chaos actions a minute
    std::string replayPath;   // --replay FILE: the chaos lines of a log
    bool exitOnEof = false;
    bool help = false;
};

// Parses argv[1..]; `cwd` makes a relative --root absolute. False with a
// one-line reason in `error` for anything wrong, including a channel given
// twice. --help sets `help` and needs nothing else.
bool ParseHostOptions(const std::vector<std::string>& args, const std::string& cwd, HostOptions* options,
                      std::string* error);

// The --help text: syntax of peripherals and of the control commands.
std::string UsageText();

}  // namespace DevHost
