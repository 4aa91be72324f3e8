#include "baseline-args.h"

#include <cerrno>
#include <cstdlib>

namespace {

bool ParseCount(const std::string& text, unsigned long limit, unsigned long* value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    unsigned long v = strtoul(text.c_str(), nullptr, 10);
    if (errno != 0 || v > limit)
        return false;
    *value = v;
    return true;
}

bool Fail(std::string* error, const std::string& reason)
{
    *error = reason;
    return false;
}

// "-M5" and "-M 5" alike; `i` moves past a separate value.
bool TakeValue(const std::vector<std::string>& args, size_t& i, const std::string& flag, std::string* value)
{
    if (args[i].size() > flag.size()) {
        *value = args[i].substr(flag.size());
        return true;
    }
    if (i + 1 >= args.size())
        return false;
    *value = args[++i];
    return true;
}

}  // namespace

bool ParseWindowSize(const std::string& text, int* width, int* height)
{
    size_t x = text.find('x');
    if (x == std::string::npos)
        return false;
    unsigned long w = 0, h = 0;
    if (!ParseCount(text.substr(0, x), 10000, &w) || !ParseCount(text.substr(x + 1), 10000, &h) || w == 0 || h == 0)
        return false;
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

bool ParseBaselineArgs(const std::vector<std::string>& args, BaselineArgs* out, std::string* error)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string value;
        unsigned long n = 0;
        if (a == "-m") {
            out->startMin = true;
        } else if (a == "-s") {
            out->started = true;
        } else if (a == "--text") {
            out->text = true;
        } else if (a.rfind("-M", 0) == 0 || a.rfind("-S", 0) == 0) {
            const std::string flag = a.substr(0, 2);
            if (!TakeValue(args, i, flag, &value))
                return Fail(error, "missing value for " + flag);
            if (!ParseCount(value, 0xFFFFFFFFul, &n))
                return Fail(error, "bad number '" + value + "' for " + flag);
            (flag == "-M" ? out->machine : out->channel) = static_cast<unsigned>(n);
        } else if (a == "--size") {
            if (i + 1 >= args.size())
                return Fail(error, "missing value for --size");
            value = args[++i];
            if (!ParseWindowSize(value, &out->width, &out->height))
                return Fail(error, "bad size '" + value + "' (want WIDTHxHEIGHT)");
        } else {
            return Fail(error, "unknown argument '" + a + "'");
        }
    }
    return true;
}
