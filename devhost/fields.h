// Fields of the shared block by name, for the control channel's set, get and
// show commands: the header's own names ("m_OpsNo") and the device records'
// full paths ("m_U.m_cr.m_Filesize"), which may be shortened to the last part
// for the peripheral's own record.
#pragma once
#include <string>
#include <vector>
#include "catalogue.h"
#include "sharebase.h"

namespace DevHost {

enum class FieldKind { Uint, Bool, Byte, Text };

struct FieldDef {
    std::string name;     // full name
    std::string shortName;  // the name without "m_U.m_xx."
    size_t offset;        // from the start of the block
    FieldKind kind;
    size_t width;         // bytes
    RecordKind record;    // None for the header
    int index;            // entry of an array of units or lines, else -1
};

const std::vector<FieldDef>& AllFields();

// The field called `name`: a full name, or a short name of the header or of
// the record(s) that `record` uses. Null when there is none.
const FieldDef* FindField(const std::string& name, RecordKind record);

std::string FieldValueText(const S_SHAREBASE& block, const FieldDef& field);

// Stores `value` (number, 0/1/on/off, or text, cut to the field's width less
// one; a quoted text may hold spaces and \" \\ \n \t \xNN escapes). False with
// a reason for a value the field cannot take; the field is then unchanged.
bool StoreFieldValue(S_SHAREBASE* block, const FieldDef& field, const std::string& value, std::string* error);

// "NAME VALUE" for the header and the peripheral's record; arrays only as far
// as the block's own counts reach.
std::vector<std::string> DescribeBlock(const S_SHAREBASE& block, RecordKind record);

// Text as one word: unchanged when it is plain, else in double quotes with
// escapes, so that a line of KEY=VALUE pairs can be split at blanks.
std::string QuoteText(const std::string& text);
// The reverse of QuoteText for quoted input; plain text comes back unchanged.
bool UnquoteText(const std::string& text, std::string* out);

}  // namespace DevHost
