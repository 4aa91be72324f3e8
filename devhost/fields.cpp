#include "fields.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <utility>
#include "mkshareditem.h"
#include "periph-desc.h"

namespace DevHost {

namespace {

std::vector<FieldDef> BuildFields()
{
    std::vector<FieldDef> fields;
    auto add = [&fields](const std::string& name, const std::string& shortName, size_t offset, FieldKind kind,
                         size_t width, RecordKind record, int index) {
        fields.push_back(FieldDef{name, shortName, offset, kind, width, record, index});
    };
#define DH_HEADER(f, kind) \
    add(#f, #f, offsetof(S_SHAREBASE, f), FieldKind::kind, sizeof(std::declval<S_SHAREBASE&>().f), RecordKind::None, -1)
#define DH_RECORD(rec, kindOfRecord, f, kind)                                                       \
    add("m_U." #rec "." #f, #f, offsetof(S_SHAREBASE, m_U.rec.f), FieldKind::kind,                 \
        sizeof(std::declval<S_SHAREBASE&>().m_U.rec.f), RecordKind::kindOfRecord, -1)

    DH_HEADER(m_Version, Uint);
    DH_HEADER(m_SharedAreaSize, Uint);
    DH_HEADER(m_DevTyp, Uint);
    DH_HEADER(m_SharedAreaName, Text);
    DH_HEADER(m_HostUp, Bool);
    DH_HEADER(m_CloseOnHostDown, Bool);
    DH_HEADER(m_Hold, Bool);
    DH_HEADER(m_Allocate, Bool);
    DH_HEADER(m_Oper, Bool);
    DH_HEADER(m_Disc, Bool);
    DH_HEADER(m_Refresh, Bool);
    DH_HEADER(m_DevLogSwitch, Bool);
    DH_HEADER(m_DevLogOn, Bool);
    DH_HEADER(m_OpsNo, Uint);
    DH_HEADER(m_Periph, Text);
    DH_HEADER(m_PeriType, Byte);
    DH_HEADER(m_Filler, Uint);
    DH_HEADER(m_DebugSwitch, Bool);
    DH_HEADER(m_SystemRoot, Text);
    DH_HEADER(m_PeriDir, Text);
    DH_HEADER(m_HostCpu, Uint);
    DH_HEADER(m_PhysicalDevice, Bool);
    DH_HEADER(m_PhysicalDeviceName, Text);

    DH_RECORD(m_cr, TrCr, m_Decoder, Byte);
    DH_RECORD(m_cr, TrCr, m_Filename, Text);
    DH_RECORD(m_cr, TrCr, m_DiscWhileFileOpen, Bool);
    DH_RECORD(m_cr, TrCr, m_Filesize, Uint);
    DH_RECORD(m_cr, TrCr, m_FilePosition, Uint);
    DH_RECORD(m_cr, TrCr, m_Closefile, Bool);

    DH_RECORD(m_rp, Rp, m_Allocate2, Bool);
    DH_RECORD(m_rp, Rp, m_Hold2, Bool);
    DH_RECORD(m_rp, Rp, m_Disc2, Bool);
    DH_RECORD(m_rp, Rp, m_FilenameTR, Text);
    DH_RECORD(m_rp, Rp, m_FilenameTP, Text);
    DH_RECORD(m_rp, Rp, m_DiscWhileFileOpen, Bool);
    DH_RECORD(m_rpr, Rp, m_Filesize, Uint);
    DH_RECORD(m_rpr, Rp, m_FilePosition, Uint);
    DH_RECORD(m_rpr, Rp, m_Closefile, Bool);

    DH_RECORD(m_tp, Tp, m_Kind, Uint);
    DH_RECORD(m_tp, Tp, m_Parity, Uint);
    DH_RECORD(m_tp, Tp, m_Filename, Text);
    DH_RECORD(m_tp, Tp, m_nBytes, Uint);

    DH_RECORD(m_lp, Lp, m_Length, Uint);
    DH_RECORD(m_lp, Lp, m_PFCC, Uint);
    DH_RECORD(m_lp, Lp, m_CC, Uint);
    DH_RECORD(m_lp, Lp, m_Repertoire, Byte);
    DH_RECORD(m_lp, Lp, m_LoadFormatLoop, Bool);
    DH_RECORD(m_lp, Lp, m_FullUI, Bool);
    DH_RECORD(m_lp, Lp, m_IsDevice, Bool);
    DH_RECORD(m_lp, Lp, m_Filename, Text);
    DH_RECORD(m_lp, Lp, m_FormatLoopName, Text);

    DH_RECORD(m_cp, Cp, m_Length, Uint);
    DH_RECORD(m_cp, Cp, m_Filename, Text);
    DH_RECORD(m_cp, Cp, m_Text, Bool);

    DH_RECORD(m_gp, Gp, m_Filename, Text);
    DH_RECORD(m_dr, Dr, m_nDrums, Uint);
    DH_RECORD(m_hd, Hd, m_nDrums, Uint);

    DH_RECORD(m_pt, Pt, B, Bool);
    DH_RECORD(m_pt, Pt, Q, Uint);
    DH_RECORD(m_pt, Pt, P, Uint);

    DH_RECORD(m_pb, Pb, m_DataFlowEstablished, Bool);
    DH_RECORD(m_pb, Pb, m_OnLine, Bool);
    DH_RECORD(m_pb, Pb, m_GUI_Online, Bool);
    DH_RECORD(m_pb, Pb, m_Master, Bool);
    DH_RECORD(m_pb, Pb, m_TransferCount, Uint);

    DH_RECORD(m_mt, Mt, m_GReset, Bool);
    DH_RECORD(m_mt, Mt, m_nTransports, Uint);
    DH_RECORD(m_mt, Mt, m_szBaseDir, Text);
    for (int i = 0; i < 6; ++i) {
        std::string prefix = "m_MtInfo[" + std::to_string(i) + "].";
        size_t base = offsetof(S_SHAREBASE, m_U.m_mt.m_MtInfo) + static_cast<size_t>(i) * sizeof(MTINFO);
        add("m_U.m_mt." + prefix + "filename", prefix + "filename", base + offsetof(MTINFO, filename),
            FieldKind::Text, sizeof(MTINFO::filename), RecordKind::Mt, i);
        add("m_U.m_mt." + prefix + "IsLoaded", prefix + "IsLoaded", base + offsetof(MTINFO, IsLoaded),
            FieldKind::Bool, 1, RecordKind::Mt, i);
        add("m_U.m_mt." + prefix + "wpr", prefix + "wpr", base + offsetof(MTINFO, wpr), FieldKind::Bool, 1,
            RecordKind::Mt, i);
    }

    DH_RECORD(m_ed, Ed, m_GReset, Bool);
    DH_RECORD(m_ed, Ed, m_nTransports, Uint);
    DH_RECORD(m_ed, Ed, m_Filesize, Uint);
    DH_RECORD(m_ed, Ed, m_szBaseDir, Text);
    DH_RECORD(m_ed, Ed, m_szConsoleFile, Text);
    for (int i = 0; i < 9; ++i) {
        std::string prefix = "m_EdInfo[" + std::to_string(i) + "].";
        size_t base = offsetof(S_SHAREBASE, m_U.m_ed.m_EdInfo) + static_cast<size_t>(i) * sizeof(EDINFO);
        add("m_U.m_ed." + prefix + "filename", prefix + "filename", base + offsetof(EDINFO, filename),
            FieldKind::Text, sizeof(EDINFO::filename), RecordKind::Ed, i);
        add("m_U.m_ed." + prefix + "Oper", prefix + "Oper", base + offsetof(EDINFO, Oper), FieldKind::Bool, 1,
            RecordKind::Ed, i);
    }

    DH_RECORD(m_mx, Mx, m_nLines, Uint);
    for (int i = 0; i <= MX_MAX_LINES; ++i) {
        std::string prefix = "m_Lines[" + std::to_string(i) + "].";
        size_t base = offsetof(S_SHAREBASE, m_U.m_mx.m_Lines) + static_cast<size_t>(i) * sizeof(COMMSLINE);
        add("m_U.m_mx." + prefix + "Speed", prefix + "Speed", base + offsetof(COMMSLINE, Speed), FieldKind::Uint,
            4, RecordKind::Mx, i);
        add("m_U.m_mx." + prefix + "Port", prefix + "Port", base + offsetof(COMMSLINE, Port), FieldKind::Uint, 4,
            RecordKind::Mx, i);
        add("m_U.m_mx." + prefix + "Synch", prefix + "Synch", base + offsetof(COMMSLINE, Synch), FieldKind::Bool,
            1, RecordKind::Mx, i);
        add("m_U.m_mx." + prefix + "Sentinel", prefix + "Sentinel", base + offsetof(COMMSLINE, Sentinel),
            FieldKind::Bool, 1, RecordKind::Mx, i);
    }
#undef DH_HEADER
#undef DH_RECORD
    return fields;
}

const unsigned char* BytesOf(const S_SHAREBASE& block, const FieldDef& field)
{
    return reinterpret_cast<const unsigned char*>(&block) + field.offset;
}

UINT ReadUint(const S_SHAREBASE& block, const FieldDef& field)
{
    UINT v = 0;
    memcpy(&v, BytesOf(block, field), sizeof v);
    return v;
}

// Whether entry `index` of an array lies within the block's own count.
bool EntryInUse(const S_SHAREBASE& block, const FieldDef& field)
{
    if (field.index < 0)
        return true;
    UINT i = static_cast<UINT>(field.index);
    switch (field.record) {
    case RecordKind::Mx: return i >= 1 && i <= block.m_U.m_mx.m_nLines;
    case RecordKind::Mt: return i < block.m_U.m_mt.m_nTransports;
    case RecordKind::Ed: return i < block.m_U.m_ed.m_nTransports;
    default: return true;
    }
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

const std::vector<FieldDef>& AllFields()
{
    static const std::vector<FieldDef> fields = BuildFields();
    return fields;
}

const FieldDef* FindField(const std::string& name, RecordKind record)
{
    for (const FieldDef& f : AllFields())
        if (f.name == name)
            return &f;
    for (const FieldDef& f : AllFields())
        if (f.record != RecordKind::None && f.record == record && f.shortName == name)
            return &f;
    return nullptr;
}

std::string FieldValueText(const S_SHAREBASE& block, const FieldDef& field)
{
    const unsigned char* p = BytesOf(block, field);
    switch (field.kind) {
    case FieldKind::Uint: return std::to_string(ReadUint(block, field));
    case FieldKind::Bool:
    case FieldKind::Byte: return std::to_string(static_cast<unsigned>(*p));
    case FieldKind::Text:
        return QuoteText(std::string(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), field.width)));
    }
    return "";
}

bool StoreFieldValue(S_SHAREBASE* block, const FieldDef& field, const std::string& value, std::string* error)
{
    unsigned char* p = reinterpret_cast<unsigned char*>(block) + field.offset;
    UINT number = 0;
    bool flag = false;
    switch (field.kind) {
    case FieldKind::Uint:
        if (!ParseUint(value, &number)) {
            *error = "'" + value + "' is not a 32-bit unsigned number";
            return false;
        }
        memcpy(p, &number, sizeof number);
        return true;
    case FieldKind::Byte:
        if (!ParseUint(value, &number) || number > 255) {
            *error = "'" + value + "' is not a number from 0 to 255";
            return false;
        }
        *reinterpret_cast<volatile unsigned char*>(p) = static_cast<unsigned char>(number);
        return true;
    case FieldKind::Bool:
        if (!ParseBool(value, &flag)) {
            *error = "'" + value + "' is not 0/1, on/off or true/false";
            return false;
        }
        // Flags are shared with a running panel: one real byte store.
        *reinterpret_cast<volatile unsigned char*>(p) = flag ? 1 : 0;
        return true;
    case FieldKind::Text: {
        std::string text;
        if (!UnquoteText(value, &text)) {
            *error = "badly quoted text " + value;
            return false;
        }
        SAUtils::StoreFieldText(reinterpret_cast<char*>(p), field.width, text.c_str());
        return true;
    }
    }
    return false;
}

std::vector<std::string> DescribeBlock(const S_SHAREBASE& block, RecordKind record)
{
    std::vector<std::string> lines;
    for (const FieldDef& f : AllFields()) {
        bool wanted = f.record == RecordKind::None || f.record == record;
        if (wanted && EntryInUse(block, f))
            lines.push_back(f.name + " " + FieldValueText(block, f));
    }
    return lines;
}

std::string QuoteText(const std::string& text)
{
    bool plain = !text.empty();
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u <= ' ' || u >= 0x7f || c == '"' || c == '\\')
            plain = false;
    }
    if (plain)
        return text;
    std::string out = "\"";
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (u < ' ' || u >= 0x7f) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

bool UnquoteText(const std::string& text, std::string* out)
{
    if (text.empty() || text[0] != '"') {
        *out = text;
        return true;
    }
    if (text.size() < 2 || text.back() != '"')
        return false;
    out->clear();
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        char c = text[i];
        if (c == '"')
            return false;
        if (c != '\\') {
            *out += c;
            continue;
        }
        if (++i + 1 > text.size() - 1)
            return false;
        char e = text[i];
        if (e == 'n') {
            *out += '\n';
        } else if (e == 't') {
            *out += '\t';
        } else if (e == '"' || e == '\\') {
            *out += e;
        } else if (e == 'x' && i + 2 < text.size() - 1 && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            *out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace DevHost
