// The panel's decisions that need no window: the command line, the octal
// entries, where output files go, the title, the messages that end the
// program and what to make of a block met again. The frame uses them; tests
// and the fuzz target call them directly.
#pragma once

#include <cstddef>
#include <string>

#include <wx/arrstr.h>
#include <wx/string.h>

#include "sharebase.h"

// What the command line asks for.
struct DekArgs {
    UINT cpu = 0;
    UINT si = 0;
    bool startMin = false;
    bool started = false;
};

// Reads -M, -S, -m and -s from the program's arguments (program name first).
// False for an argument that starts with '-' and is none of these, and for a
// machine number or channel that is not a whole unsigned 32-bit decimal.
bool ParseDekArgs(const wxArrayString& args, DekArgs& out);

// A whole base-10 number of digits only, truncated to its low 32 bits.
bool ParseDecimalUint32(const wxString& text, UINT& value);

// The octal value at the start of an entry field, read like sscanf's "%o":
// blanks skipped, an optional sign, digits up to the first other character;
// no digit gives 0. False when the digits do not fit in 32 bits.
bool ScanOctalEntry(const wxString& text, UINT& value);

// The last component of a path or device name: after the last '/', or, only
// when there is none, after the last backslash.
wxString LastPathComponent(const wxString& fn);

// The extension offered for an output type's files (punch, printer, card
// punch, plotter); empty for any other type.
wxString OutputExtension(unsigned type);

// Where a chosen output file goes: a "dev_" name becomes a host device name,
// any other file must lie under the system root and travels relative to it.
struct DekOutputTarget {
    bool usable = false;
    bool isDevice = false;
    wxString shown;  // what the current-file display gets (before its last-component cut)
    wxString rel;    // what the host gets
};
DekOutputTarget MapOutputChoice(const wxString& path, const wxString& filename, const wxString& sysRoot);

// A block's m_SharedAreaSize is believable when it covers a whole block and
// no more than the object that was mapped.
bool ClaimedSizeFits(UINT claimed, size_t mapped);

// What the operator is told about the host in the title.
enum class DekHostState {
    Attached,  // the host answers as far as the panel knows
    Waiting,   // a request has waited half a second or more
    Gone,      // the block's name no longer refers to the block mapped
};

// "U%02u - %s" of the operator number and model, and the host's state.
wxString PanelTitle(UINT opsNo, const wxString& periph, DekHostState state);

// Text from a block as the operator sees it, in the title, a display or a
// message: every byte that is not part of a printable character of the
// current locale reads '?', as in the selection list.
wxString HostText(const std::string& text);

// A message that ends the program as one line for standard error: "dek: "
// and the message with its line breaks written as "; ".
wxString FatalMessageLine(const wxString& message);

// The peripheral a block describes, as far as the panel's face depends on it.
struct DekPeripheral {
    unsigned type = 0;
    std::string periph;
    UINT devTyp = 0;
};
DekPeripheral PeripheralOf(const S_SHAREBASE& block);

// What a panel whose host has gone does with the block that now carries the
// name: take it up, or end because it is unusable, of a type without a
// panel, or another peripheral than the one the panel was built for.
enum class DekReattach { Resume, Refuse, Unsupported, Changed };
DekReattach JudgeReattach(const DekPeripheral& was, const S_SHAREBASE& now, size_t mapped);

// Why a freshly mapped block cannot be used (another version, or a size it
// cannot have), or nothing.
wxString AttachRefusal(const S_SHAREBASE& block, size_t mapped);

// The messages that end the program.
wxString VersionMismatchText();
wxString UnsupportedTypeText(unsigned type);
wxString ChangedPeripheralText(UINT si, const DekPeripheral& now);
