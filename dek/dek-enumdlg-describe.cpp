// The texts of the selection list, worked out from a block alone. Nothing
// here needs a display, so the list's logic can be tested and fuzzed apart
// from the dialog.
#include "dek-enumdlg-describe.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "mkshareditem.h"
#include "peri-catalogue.h"

// Text as the list shows it: every byte that is not part of a printable
// character of the current locale becomes '?', so that no control character
// or broken multibyte sequence from a block reaches the list.
std::string PrintableText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    mbstate_t state{};
    size_t i = 0;
    while (i < text.size()) {
        wchar_t wc = 0;
        size_t n = mbrtowc(&wc, text.data() + i, text.size() - i, &state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n == 0) {
            out += '?';
            ++i;
            state = mbstate_t{};
            continue;
        }
        if (iswprint(static_cast<wint_t>(wc)))
            out.append(text, i, n);
        else
            out.append(n, '?');
        i += n;
    }
    return out;
}

namespace {

constexpr UINT kIclTypeCount = MNEMONIC_TYPES;
static_assert(kIclTypeCount == 29, "the list shows the mnemonics of types 0 to 28");

// "*" and the letters of each type's name, for the types the list can show.
constexpr std::array<std::array<char, 4>, kIclTypeCount> MnemonicTexts()
{
    std::array<std::array<char, 4>, kIclTypeCount> texts{};
    for (UINT t = 0; t < kIclTypeCount; ++t)
        if (PeriTypeLetters[t][0] != '\0')
            texts[t] = {'*', PeriTypeLetters[t][0], PeriTypeLetters[t][1], '\0'};
    return texts;
}
constexpr auto kMnemonicTexts = MnemonicTexts();

constexpr std::array<const char*, kIclTypeCount> MnemonicTable()
{
    std::array<const char*, kIclTypeCount> table{};
    for (UINT t = 0; t < kIclTypeCount; ++t)
        table[t] = kMnemonicTexts[t].data();
    return table;
}

// Type mnemonics by type number; types without one have an empty entry and
// types above 28 have none at all.
constexpr std::array<const char*, kIclTypeCount> IclTypes = MnemonicTable();

std::string UnsignedText(UINT value)
{
    char buf[16];
    snprintf(buf, sizeof buf, "%u", value);
    return buf;
}

std::string CountText(UINT count, const char* noun)
{
    char buf[48];
    snprintf(buf, sizeof buf, "%u %s", count, noun);
    return buf;
}

// Root and medium file name joined by the plus separator; an empty file name
// still shows the root and the separator.
std::string MediumPath(const S_SHAREBASE& b, const std::string& file)
{
    return SAUtils::FieldText(b.m_SystemRoot) + " + " + file;
}

// A flag of the block taken as its byte: the host may leave any value in it,
// and loading a byte other than 0 or 1 as a bool is undefined.
bool FlagSet(const bool& flag)
{
    unsigned char byte;
    memcpy(&byte, &flag, 1);
    return byte != 0;
}

std::string LineText(UINT line, const COMMSLINE& cl)
{
    char buf[64];
    snprintf(buf, sizeof buf, "L%-2u %ssync, %5u BPS%s", line, FlagSet(cl.Synch) ? "" : "a", cl.Speed,
             FlagSet(cl.Sentinel) ? ",Sentinel" : "");
    return buf;
}

void MakePrintable(EnumRow& row)
{
    for (std::string* text : {&row.si, &row.ops, &row.desc, &row.type, &row.misc, &row.path, &row.path2})
        *text = PrintableText(*text);
}

void AddLineRows(const SHAREA_MX& mx, std::vector<EnumRow>& rows)
{
    // Read the count exactly once (the host may change it while we look) and
    // bound it: the record holds lines 1 to MX_MAX_LINES only, whatever the
    // count claims.
    UINT lines = *static_cast<const volatile UINT*>(&mx.m_nLines);
    if (lines > MX_MAX_LINES)
        lines = MX_MAX_LINES;
    for (UINT l = 1; l <= lines; ++l) {
        EnumRow row;
        row.desc = "        \"";
        row.misc = LineText(l, mx.m_Lines[l]);
        rows.push_back(row);
    }
}

// Fills the "Misc.", "Path" and "Path2" texts of a peripheral row.
void DescribeDetails(const S_SHAREBASE& b, EnumRow& row)
{
    const SHAREA_UNION& u = b.m_U;
    switch (b.m_PeriType) {
    case PT_TR:
        if (SAUtils::FieldText(b.m_Periph) == "RP2602") {
            row.path = MediumPath(b, SAUtils::FieldText(u.m_rp.m_FilenameTR));
            row.path2 = MediumPath(b, SAUtils::FieldText(u.m_rp.m_FilenameTP));
        } else {
            row.path = MediumPath(b, SAUtils::FieldText(u.m_cr.m_Filename));
        }
        break;
    case PT_TP:
        row.path = MediumPath(b, SAUtils::FieldText(u.m_tp.m_Filename));
        break;
    case PT_CR:
        row.path = MediumPath(b, SAUtils::FieldText(u.m_cr.m_Filename));
        break;
    case PT_CP:
        row.path = MediumPath(b, SAUtils::FieldText(u.m_cp.m_Filename));
        break;
    case PT_MT:
        row.misc = CountText(u.m_mt.m_nTransports, "transports");
        row.path = SAUtils::FieldText(u.m_mt.m_szBaseDir) + "/tapes";
        break;
    case PT_ED:
    case PT_ES:
        row.misc = CountText(u.m_ed.m_nTransports, "transports");
        row.path = SAUtils::FieldText(u.m_ed.m_szBaseDir) + "/discs";
        break;
    case PT_FD:
        row.misc = CountText(u.m_ed.m_nTransports, "transports");
        row.path = SAUtils::FieldText(u.m_ed.m_szBaseDir) + "/fds";
        break;
    case PT_DR:
        row.misc = CountText(u.m_dr.m_nDrums, "transports");
        break;
    case PT_HD:
        row.misc = CountText(u.m_hd.m_nDrums, "transports");
        break;
    case PT_UX:
    case PT_MX:
        row.misc = CountText(u.m_mx.m_nLines, "lines");
        break;
    case PT_GP:
        row.path = MediumPath(b, SAUtils::FieldText(u.m_gp.m_Filename));
        break;
    case PT_CC:
        row.misc = "7903 Comm's Processor";
        break;
    case PT_40: {
        // Interface types count from the first P/Q model; any other model
        // wraps round as an unsigned difference rather than going negative.
        char buf[48];
        snprintf(buf, sizeof buf, "Interface type %u", static_cast<UINT>(b.m_DevTyp - PT_PT_SIMPLE));
        row.misc = buf;
        break;
    }
    default:  // PT_LP, PT_GD, PT_PB: nothing more to say
        break;
    }
}

}  // namespace

bool IsListedPeriType(UINT periType)
{
    switch (periType) {
    case PT_TR: case PT_TP: case PT_LP: case PT_CR: case PT_CP: case PT_MT:
    case PT_ED: case PT_DR: case PT_UX: case PT_MX: case PT_FD: case PT_GP:
    case PT_GD: case PT_CC: case PT_HD: case PT_ES: case PT_PB: case PT_40:
        return true;
    default:
        return false;
    }
}

std::vector<EnumRow> DescribeBlock(const S_SHAREBASE& b, UINT chan)
{
    std::vector<EnumRow> rows;
    const UINT periType = b.m_PeriType;
    if (!IsListedPeriType(periType))
        return rows;

    EnumRow row;
    row.chan = chan;
    row.si = UnsignedText(chan);
    row.ops = UnsignedText(b.m_OpsNo);
    row.desc = SAUtils::FieldText(b.m_Periph);
    if (periType < IclTypes.size())
        row.type = IclTypes[periType];
    DescribeDetails(b, row);
    rows.push_back(row);

    if (periType == PT_UX || periType == PT_MX)
        AddLineRows(b.m_U.m_mx, rows);
    for (EnumRow& r : rows)
        MakePrintable(r);
    return rows;
}
