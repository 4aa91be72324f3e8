#include "catalogue.h"

#include <cctype>
#include <cstdlib>
#include "peri-catalogue.h"
#include "reader-fields.h"

namespace DevHost {

namespace {

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
        if (name == PeriTypeLetters[i]) {
            *type = i;
            return true;
        }
    }
    return false;
}

std::string TypeName(UINT type)
{
    if (type < PT_LAST && PeriTypeLetters[type][0] != '\0')
        return PeriTypeLetters[type];
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
        std::string known = DevTypeNames[i];
        if (name == known || name == "PT_" + known) {
            *devTyp = i;
            return true;
        }
    }
    return false;
}

bool ParseCpuName(const std::string& text, UINT* cpu)
{
    if (ParseSmallNumber(text, CPU_LAST, cpu))
        return true;
    std::string name = WithoutPrefix(Upper(text), "CPU_");
    for (UINT i = 0; i < CPU_LAST; ++i) {
        if (name == CpuNames[i]) {
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
