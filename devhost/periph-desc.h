// What one published peripheral looks like: parsed from
// CHANNEL:TYPE[:MODEL[:OPTION,OPTION...]] on the command line and in the
// control channel's publish command.
#pragma once
#include <string>
#include <vector>
#include "share-mx.h"
#include "tchar-compat.h"

namespace DevHost {

struct LineDesc {
    UINT speed = 2400;
    bool synch = false;
    bool sentinel = false;
};

struct PeriphDesc {
    std::string text;  // the text it was parsed from, to publish it again
    UINT channel = 0;
    UINT type = 0;
    std::string model;
    UINT devTyp = 0;
    UINT opsNo = 0;
    bool closeOnHostDown = true;
    bool hostUp = true;
    bool operAnswer = true;       // m_Oper left after an allocation
    bool discWhileOpen = false;   // a disconnect keeps a reader's file open
    bool physical = false;
    std::string physicalName;
    UINT rate = 0;                // reader speed; 0 = the host's default
    UINT units = 0;               // drums or transports; 0 = type default
    std::vector<LineDesc> lines;  // multiplexors: lines 1..n
    std::string baseDir;          // tape and disc controllers
    std::string fileTR, fileTP;   // reader-punch files shown by the selection dialog
};

// Highest channel accepted; names stay "SHMEM_mmmm_cc".
constexpr UINT kMaxChannel = 99;

// Parses `text` into `desc`. On failure returns false with a one-line
// reason in `error`; `desc` is then unspecified.
bool ParsePeriphDesc(const std::string& text, PeriphDesc* desc, std::string* error);

// Splits `text` at `sep`, keeping empty pieces.
std::vector<std::string> SplitText(const std::string& text, char sep);

// Strict unsigned decimal (or 0x hex) that fits 32 bits.
bool ParseUint(const std::string& text, UINT* value);
// 1/0, on/off, true/false, yes/no.
bool ParseBool(const std::string& text, bool* value);

}  // namespace DevHost
