// The rows of the selection list for one shared block, as plain texts.
// Needs no display.
#pragma once

#include <string>
#include <vector>

#include "sharebase.h"

// One row of the list, as texts. `chan` is the row's item data: the SI
// channel of a peripheral row, 0 for a multiplexor's line row.
struct EnumRow {
    UINT chan = 0;
    std::string si;     // "SI#"
    std::string ops;    // "OP#"
    std::string desc;   // "Desc"
    std::string type;   // "Type"
    std::string misc;   // "Misc."
    std::string path;   // "Path"
    std::string path2;  // "Path2"
};

// `text` with every byte that is not part of a printable character of the
// current locale (a control character, a broken multibyte sequence) as '?'.
// The panel shows the block's texts the same way.
std::string PrintableText(const std::string& text);

// True for the peripheral type codes (m_PeriType) that the dialog lists.
bool IsListedPeriType(UINT periType);

// The rows that describe block `b` found on channel `chan`: the peripheral's
// own row, followed by one row per line for a multiplexor. Empty when the
// block's type is not listed. Needs no display: every text field is read
// within its width, every count is bounded, and every byte that is not part
// of a printable character of the current locale reads '?'.
std::vector<EnumRow> DescribeBlock(const S_SHAREBASE& b, UINT chan);
