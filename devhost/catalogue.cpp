#include "catalogue.h"

#include <cctype>
#include <cstdlib>
#include "cpu-codes.h"
#include "peri-enums.h"
#include "peri-names.h"
#include "reader-fields.h"

namespace DevHost {

namespace {

// Two-letter names of the type numbers; empty where a number has none.
const char* const kTypeNames[PT_LAST] = {
    "TR", "TP", "LP", "CR", "CP", "MT", "ED", "MC", "DS", "DR", "UX", "MX", "CT", "FD", "ID", "",
    "",   "",   "",   "",   "GP", "GD", "UD", "",   "CC", "HD", "ES", "",   "PB", "",   "",   "IR",
    "",   "",   "",   "",   "",   "",   "",   "PS", "",   "",   "",   "",   "",   "",   "",   "",
    "CD", "LC", "FR", "FW", "FH", "CO", "EM", "OI", "OO", "CS", "RR", "ET", "CI", "",   "",   "",
};

// PDEVTYPE names without their PT_ prefix, in enumeration order.
const char* const kDevTypeNames[PT_LASTITEM] = {
    "NONE",      "TR1915_2",  "TR1916_2",  "TP1925_2",  "RP2601",    "RP2602",    "LP1931",
    "LP1932",    "LP2402_1",  "LP2402_2",  "LP2404",    "LP2405",    "LP2409_2",  "LP2409_3",
    "LP1933_1",  "LP1933_2",  "LP1933_3",  "LP2430_2",  "LP2430_3",  "CR1911_1",  "CR1911_2",
    "CR1912_1",  "CR1912_2",  "CR2101_0",  "CR2101_1",  "CR2101_2",  "CR2101_3",  "CR2101_4",
    "CR2101_5",  "CR2102_1",  "CR2103",    "CR2104",    "CR2105",    "CR2106",    "CR2104_1",
    "CR2104_2",  "CP1920_2",  "CP1922_1",  "CP2151",    "MT1971",    "MT1972",    "MT1973",
    "MT2504",    "MT2505",    "MT2506",    "MT2507",    "MT2508",    "MT2509",    "MT2510",
    "DA2801",    "DA2802",    "DA2807",    "DA2808",    "DA2820",    "DA2821",    "DA2812_1",
    "DA2812_2",  "DA2812_3",  "DA2812_4",  "DA2812_5",  "ES2812",    "PF56",      "F1497",
    "ITDC",      "MC1958",    "DS1956",    "DR1962",    "DR1963",    "DR1964",    "DRPB304",
    "IT1938",    "UX7010",    "UX7070",    "MX7007",    "SC7920",    "SC7930",    "CT2501",
    "FD2804",    "FD2805",    "FD2806",    "ID7154",    "ID7180",    "GP1934_1",  "GP1934_2",
    "GP1934_3",  "GP1934_4",  "GP1934_5",  "GP1934_6",  "GD1830",    "UD8201",    "UD8301",
    "UD8401",    "CC7901",    "CC7903J",   "CC7903",    "CC7904",    "CC7905",    "CC7906",
    "HD2851",    "PB7210",    "PB7926",    "TR1915_1",  "TR1916_1",  "TP1925_1",  "LP1930",
    "CR1912_NSI", "CP1920_1", "MT1974",    "GP1934",    "PT_SIMPLE", "PT_LONGBLOCK", "PT_RECHARGE",
    "NSI_CONSOLE",
};

const char* const kCpuNames[CPU_LAST] = {
    "NONE",  "1904",   "1905",   "1909",  "1906SC1", "1906SC2", "1907SC1", "1907SC2",
    "1904E", "1904EH", "1905E",  "1905EH", "1906E",  "1906EH",  "1907E",   "1907EH",
    "1904F", "1905F",  "1906F",  "1907F", "1903A",   "1904A",   "1906A",   "1902S",
    "1903S", "1904S",  "1906S",  "1904SD", "1904AD", "1903T",   "1902T",
};

std::string Upper(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return out;
}

// A plain decimal number below `limit`, nothing else.
bool ParseSmallNumber(const std::string& text, UINT limit, UINT* value)
{
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text)
        if (!isdigit(static_cast<unsigned char>(c)))
            return false;
    unsigned long v = strtoul(text.c_str(), nullptr, 10);
    if (v >= limit)
        return false;
    *value = static_cast<UINT>(v);
    return true;
}

std::string WithoutPrefix(const std::string& text, const char* prefix)
{
    size_t n = std::string(prefix).size();
    return text.compare(0, n, prefix) == 0 ? text.substr(n) : text;
}

}  // namespace

bool ParseTypeName(const std::string& text, UINT* type)
{
    if (ParseSmallNumber(text, PT_LAST, type))
        return true;
    std::string name = WithoutPrefix(Upper(text), "*");
    if (name.size() != 2)
        return false;
    for (UINT i = 0; i < PT_LAST; ++i) {
        if (name == kTypeNames[i]) {
            *type = i;
            return true;
        }
    }
    return false;
}

std::string TypeName(UINT type)
{
    if (type < PT_LAST && kTypeNames[type][0] != '\0')
        return kTypeNames[type];
    return std::to_string(type);
}

bool ParseDevTypeName(const std::string& text, UINT* devTyp)
{
    if (ParseSmallNumber(text, PT_LASTITEM, devTyp))
        return true;
    std::string name = Upper(text);
    for (char& c : name)
        if (c == '/')
            c = '_';
    for (UINT i = 0; i < PT_LASTITEM; ++i) {
        std::string known = kDevTypeNames[i];
        if (name == known || name == "PT_" + known) {
            *devTyp = i;
            return true;
        }
    }
    return false;
}

std::string DevTypeModelName(UINT devTyp)
{
    if (devTyp >= PT_LASTITEM)
        return "?";
    std::string name = kDevTypeNames[devTyp];
    // The interface types keep their underscore: it is part of the name, not
    // a variant separator.
    if (name.compare(0, 3, "PT_") == 0 || name == "NSI_CONSOLE")
        return name;
    for (char& c : name)
        if (c == '_')
            c = '/';
    return name;
}

bool ParseCpuName(const std::string& text, UINT* cpu)
{
    if (ParseSmallNumber(text, CPU_LAST, cpu))
        return true;
    std::string name = WithoutPrefix(Upper(text), "CPU_");
    for (UINT i = 0; i < CPU_LAST; ++i) {
        if (name == kCpuNames[i]) {
            *cpu = i;
            return true;
        }
    }
    return false;
}

std::string DefaultModel(UINT type)
{
    switch (type) {
    case PT_TR: return "TR1916/2";
    case PT_TP: return "TP1925/2";
    case PT_LP: return "LP1933/1";
    case PT_CR: return "CR1911/1";
    case PT_CP: return "CP1920/2";
    case PT_MT: return "MT1971";
    case PT_ED: return "DA2801";
    case PT_MC: return "MC1958";
    case PT_DS: return "DS1956";
    case PT_DR: return "DR1962";
    case PT_UX: return "UX7010";
    case PT_MX: return "MX7007";
    case PT_CT: return "CT2501";
    case PT_FD: return "FD2804";
    case PT_ID: return "ID7154";
    case PT_GP: return "GP1934/1";
    case PT_GD: return "GD1830";
    case PT_UD: return "UD8201";
    case PT_CC: return "CC7901";
    case PT_HD: return "HD2851";
    case PT_ES: return "ES2812";
    case PT_PB: return "PB7210";
    case PT_40: return "PT_SIMPLE";
    default: return "TYPE" + std::to_string(type);
    }
}

UINT DefaultDevTyp(UINT type, const std::string& model)
{
    UINT devTyp = PT_NONE;
    if (ParseDevTypeName(model, &devTyp))
        return devTyp;
    if (ParseDevTypeName(DefaultModel(type), &devTyp))
        return devTyp;
    return PT_NONE;
}

RecordKind RecordFor(UINT type, const std::string& model)
{
    switch (type) {
    case PT_TR: return SAUtils::IsReaderPunchModel(model) ? RecordKind::Rp : RecordKind::TrCr;
    case PT_CR: return RecordKind::TrCr;
    case PT_TP: return RecordKind::Tp;
    case PT_LP: return RecordKind::Lp;
    case PT_CP: return RecordKind::Cp;
    case PT_MT: return RecordKind::Mt;
    case PT_ED:
    case PT_FD:
    case PT_ES: return RecordKind::Ed;
    case PT_UX:
    case PT_MX: return RecordKind::Mx;
    case PT_DR: return RecordKind::Dr;
    case PT_HD: return RecordKind::Hd;
    case PT_GP: return RecordKind::Gp;
    case PT_PB: return RecordKind::Pb;
    case PT_40: return RecordKind::Pt;
    default: return RecordKind::None;
    }
}

const char* RecordName(RecordKind kind)
{
    switch (kind) {
    case RecordKind::TrCr: return "cr";
    case RecordKind::Rp: return "rp";
    case RecordKind::Tp: return "tp";
    case RecordKind::Lp: return "lp";
    case RecordKind::Cp: return "cp";
    case RecordKind::Mt: return "mt";
    case RecordKind::Ed: return "ed";
    case RecordKind::Mx: return "mx";
    case RecordKind::Dr: return "dr";
    case RecordKind::Hd: return "hd";
    case RecordKind::Gp: return "gp";
    case RecordKind::Pt: return "pt";
    case RecordKind::Pb: return "pb";
    case RecordKind::None: break;
    }
    return "";
}

bool IsReaderType(UINT type) { return type == PT_TR || type == PT_CR; }
bool IsOutputType(UINT type) { return type == PT_TP || type == PT_LP || type == PT_CP || type == PT_GP; }
bool IsDrumType(UINT type) { return type == PT_DR || type == PT_HD; }
bool IsMultiplexorType(UINT type) { return type == PT_MX || type == PT_UX; }

}  // namespace DevHost
