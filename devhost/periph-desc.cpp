#include "periph-desc.h"

#include <cctype>
#include <cstdlib>
#include <set>
#include "catalogue.h"
#include "peri-names.h"

namespace DevHost {

namespace {

constexpr UINT kDefaultLines = 4;
constexpr UINT kMaxDrums = 8;
constexpr UINT kMaxTapeTransports = 6;  // entries of m_MtInfo
constexpr UINT kMaxDiscDrives = 9;      // entries of m_EdInfo

// An option value given once for every line ("2400") or line by line
// ("110/300/2400").
struct PerLine {
    bool given = false;
    std::vector<std::string> values;
};

bool Fail(std::string* error, const std::string& why)
{
    *error = why;
    return false;
}

bool ParseChannel(const std::string& text, UINT* channel, std::string* error)
{
    if (!ParseUint(text, channel) || *channel > kMaxChannel)
        return Fail(error, "bad channel '" + text + "' (0 to " + std::to_string(kMaxChannel) + ")");
    return true;
}

bool ApplyLines(const PerLine& speeds, const PerLine& synch, const PerLine& sentinel, UINT count,
                bool countGiven, PeriphDesc* desc, std::string* error)
{
    size_t n = countGiven ? count : kDefaultLines;
    for (const PerLine* list : {&speeds, &synch, &sentinel})
        if (!countGiven && list->given && list->values.size() > 1)
            n = list->values.size();
    if (n < 1 || n > MX_MAX_LINES)
        return Fail(error, "a multiplexor has 1 to " + std::to_string(MX_MAX_LINES) + " lines");
    desc->lines.assign(n, LineDesc());
    for (const PerLine* list : {&speeds, &synch, &sentinel}) {
        if (list->given && list->values.size() != 1 && list->values.size() != n)
            return Fail(error, "a per-line list needs 1 or " + std::to_string(n) + " values");
    }
    for (size_t i = 0; i < n; ++i) {
        LineDesc& line = desc->lines[i];
        if (speeds.given) {
            const std::string& v = speeds.values[speeds.values.size() == 1 ? 0 : i];
            if (!ParseUint(v, &line.speed))
                return Fail(error, "bad line speed '" + v + "'");
        }
        if (synch.given) {
            const std::string& v = synch.values[synch.values.size() == 1 ? 0 : i];
            if (!ParseBool(v, &line.synch))
                return Fail(error, "bad synch value '" + v + "'");
        }
        if (sentinel.given) {
            const std::string& v = sentinel.values[sentinel.values.size() == 1 ? 0 : i];
            if (!ParseBool(v, &line.sentinel))
                return Fail(error, "bad sentinel value '" + v + "'");
        }
    }
    return true;
}

UINT DefaultUnits(UINT type)
{
    if (IsDrumType(type))
        return 2;
    if (type == PT_MT)
        return 4;
    if (type == PT_ED || type == PT_FD || type == PT_ES)
        return 2;
    return 0;
}

UINT MaxUnits(UINT type)
{
    if (IsDrumType(type))
        return kMaxDrums;
    return type == PT_MT ? kMaxTapeTransports : kMaxDiscDrives;
}

bool UsesTransports(UINT type) { return type == PT_MT || type == PT_ED || type == PT_FD || type == PT_ES; }

}  // namespace

std::vector<std::string> SplitText(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(sep, start);
        if (at == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

bool ParseUint(const std::string& text, UINT* value)
{
    if (text.empty() || text.size() > 12)
        return false;
    int base = 10;
    size_t from = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        from = 2;
    }
    for (size_t i = from; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (base == 10 ? !isdigit(c) : !isxdigit(c))
            return false;
    }
    unsigned long long v = strtoull(text.c_str() + from, nullptr, base);
    if (v > 0xFFFFFFFFull)
        return false;
    *value = static_cast<UINT>(v);
    return true;
}

bool ParseBool(const std::string& text, bool* value)
{
    if (text == "1" || text == "on" || text == "true" || text == "yes") {
        *value = true;
        return true;
    }
    if (text == "0" || text == "off" || text == "false" || text == "no") {
        *value = false;
        return true;
    }
    return false;
}

bool ParsePeriphDesc(const std::string& text, PeriphDesc* desc, std::string* error)
{
    *desc = PeriphDesc();
    desc->text = text;
    // CHANNEL:TYPE:MODEL:OPTIONS; the options themselves may contain ':'
    // (device names such as "LP0:"), so only the first three colons split.
    std::vector<std::string> head;
    size_t start = 0;
    while (head.size() < 3) {
        size_t at = text.find(':', start);
        if (at == std::string::npos)
            break;
        head.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    head.push_back(text.substr(start));
    if (head.size() < 2)
        return Fail(error, "peripheral '" + text + "' is not CHANNEL:TYPE[:MODEL[:OPTIONS]]");
    if (!ParseChannel(head[0], &desc->channel, error))
        return false;
    if (!ParseTypeName(head[1], &desc->type))
        return Fail(error, "unknown peripheral type '" + head[1] + "'");
    desc->model = head.size() > 2 && !head[2].empty() ? head[2] : DefaultModel(desc->type);
    if (desc->model.size() > 63)
        return Fail(error, "model name longer than 63 characters");
    desc->devTyp = DefaultDevTyp(desc->type, desc->model);
    desc->opsNo = desc->channel;
    desc->units = DefaultUnits(desc->type);

    PerLine speeds, synch, sentinel;
    UINT lineCount = 0;
    bool lineCountGiven = false;
    std::set<std::string> seen;
    std::vector<std::string> options =
        head.size() > 3 && !head[3].empty() ? SplitText(head[3], ',') : std::vector<std::string>();
    for (const std::string& option : options) {
        size_t eq = option.find('=');
        if (eq == std::string::npos || eq == 0)
            return Fail(error, "option '" + option + "' is not NAME=VALUE");
        std::string key = option.substr(0, eq);
        if (key == "speed")
            key = "speeds";
        std::string value = option.substr(eq + 1);
        if (!seen.insert(key).second)
            return Fail(error, "option '" + key + "' given twice");
        bool ok = true;
        if (key == "ops") {
            ok = ParseUint(value, &desc->opsNo);
        } else if (key == "devtyp") {
            ok = ParseDevTypeName(value, &desc->devTyp);
        } else if (key == "closeonhostdown") {
            ok = ParseBool(value, &desc->closeOnHostDown);
        } else if (key == "up") {
            ok = ParseBool(value, &desc->hostUp);
        } else if (key == "oper") {
            ok = ParseBool(value, &desc->operAnswer);
        } else if (key == "discopen") {
            ok = ParseBool(value, &desc->discWhileOpen);
        } else if (key == "rate") {
            ok = ParseUint(value, &desc->rate) && desc->rate > 0;
        } else if (key == "phys") {
            ok = !value.empty() && value.size() < 64;
            desc->physical = true;
            desc->physicalName = value;
        } else if (key == "drums" || key == "transports") {
            bool fits = key == "drums" ? IsDrumType(desc->type) : UsesTransports(desc->type);
            if (!fits)
                return Fail(error, "option '" + key + "' does not apply to type " + TypeName(desc->type));
            ok = ParseUint(value, &desc->units) && desc->units >= 1 && desc->units <= MaxUnits(desc->type);
        } else if (key == "basedir") {
            if (!UsesTransports(desc->type))
                return Fail(error, "option 'basedir' does not apply to type " + TypeName(desc->type));
            ok = value.size() < 256;
            desc->baseDir = value;
        } else if (key == "tr" || key == "tp") {
            if (RecordFor(desc->type, desc->model) != RecordKind::Rp)
                return Fail(error, "option '" + key + "' is for the reader-punches RP2601 and RP2602");
            ok = value.size() < 256;
            (key == "tr" ? desc->fileTR : desc->fileTP) = value;
        } else if (key == "lines" || key == "speeds" || key == "synch" || key == "sentinel") {
            if (!IsMultiplexorType(desc->type))
                return Fail(error, "option '" + key + "' is for multiplexors (MX, UX)");
            if (key == "lines") {
                ok = ParseUint(value, &lineCount);
                lineCountGiven = true;
            } else {
                PerLine& list = key == "synch" ? synch : key == "sentinel" ? sentinel : speeds;
                list.given = true;
                list.values = SplitText(value, '/');
            }
        } else {
            return Fail(error, "unknown option '" + key + "'");
        }
        if (!ok)
            return Fail(error, "bad value '" + value + "' for option '" + key + "'");
    }
    if (IsMultiplexorType(desc->type))
        return ApplyLines(speeds, synch, sentinel, lineCount, lineCountGiven, desc, error);
    return true;
}

}  // namespace DevHost
