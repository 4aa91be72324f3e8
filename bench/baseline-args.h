// Command line of dek-baseline: the panel's -M, -S, -m and -s (accepted and,
// except -m, unused), the window size to copy and whether to draw the
// panel's labels.
#pragma once

#include <string>
#include <vector>

struct BaselineArgs {
    unsigned machine = 0;
    unsigned channel = 0;
    bool startMin = false;
    bool started = false;
    bool text = false;  // --text: the floor that draws text
    int width = 628;  // an idle card reader panel under Xvfb
    int height = 133;
};

// Reads `args` (without the program name). False with a one-line reason in
// `error` for an unknown option, a missing value or a bad number.
bool ParseBaselineArgs(const std::vector<std::string>& args, BaselineArgs* out, std::string* error);

// "WIDTHxHEIGHT" with both between 1 and 10000.
bool ParseWindowSize(const std::string& text, int* width, int* height);
