// The control channel's commands, one a line on standard input.
#pragma once
#include <string>
#include "tchar-compat.h"

namespace DevHost {

enum class CommandKind {
    Empty,  // blank line or # comment
    Help,
    Up,
    Down,
    CloseOnHostDown,
    DiscOpen,
    Oper,
    Disc,
    Ignore,
    Ack,
    Set,
    Get,
    Show,
    Publish,
    Withdraw,
    Truncate,
    Chaos,
    List,
    Quit,
};

struct Command {
    CommandKind kind = CommandKind::Empty;
    bool allChannels = true;  // no channel given where one is optional
    UINT channel = 0;
    bool on = false;          // on/off commands; chaos: on with a seed, or off
    UINT number = 0;          // truncate: the size; chaos: the seed
    std::string field;        // set, get
    std::string value;        // set: the rest of the line; publish: the desc
};

// False with a one-line reason for an unknown command or bad arguments.
bool ParseCommand(const std::string& line, Command* command, std::string* error);

}  // namespace DevHost
