#include "dek-placement.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>

#include <wx/arrstr.h>
#include <wx/confbase.h>
#include <wx/convauto.h>
#include <wx/wxcrt.h>

namespace {

// ---------------------------------------------------------------------------
// The settings file as the store reads it: decoded by wxConvAuto, split into
// lines at "\n", "\r\n" or a lone "\r", each line read up to a NUL, leading
// blanks skipped, ';' and '#' starting comments.

// The store writes the file back without its byte-order mark; a UTF-16 or
// UTF-32 file then reads as something else entirely.
bool HasWideByteOrderMark(const std::string& bytes)
{
    switch (wxConvAuto::DetectBOM(bytes.data(), bytes.size())) {
    case wxBOM_UTF16BE:
    case wxBOM_UTF16LE:
    case wxBOM_UTF32BE:
    case wxBOM_UTF32LE:
        return true;
    default:
        return false;
    }
}

// The store's UTF-8 reading lets through code points above U+10FFFF that
// its writing then refuses (with an assertion, and the file is not saved).
bool CanBeWrittenBack(const wxString& text)
{
    return std::none_of(text.begin(), text.end(), [](wxUniChar c) { return c.GetValue() > 0x10FFFF; });
}

// A name as the store takes it: a backslash keeps the character after it;
// a backslash at the end is dropped.
wxString Unescaped(const wxString& s)
{
    wxString out;
    for (size_t i = 0; i < s.length(); ++i) {
        if (s[i] == '\\' && ++i == s.length())
            break;
        out += s[i];
    }
    return out;
}

// Where the next unescaped `stop` lies in `s`, from `from`; npos when the
// line ends first (also inside an escape).
size_t FindUnescaped(const wxString& s, size_t from, wxUniChar stop)
{
    for (size_t i = from; i < s.length(); ++i) {
        if (s[i] == stop)
            return i;
        if (s[i] == '\\' && ++i == s.length())
            break;
    }
    return wxString::npos;
}

// The group that a header line ("[...]", blanks already skipped) opens, as a
// path compared the way the store compares them; false for a line that the
// store skips as broken.
bool HeaderGroup(const wxString& line, wxString& group)
{
    const size_t close = FindUnescaped(line, 1, ']');
    if (close == wxString::npos)
        return false;
    wxArrayString parts;
    wxSplitPath(parts, "/" + Unescaped(line.Mid(1, close - 1)));
    group = wxJoin(parts, '/', '\0').Lower();
    return true;
}

// An entry line ("name=value", blanks already skipped) whose name is empty
// once the store has trimmed and unescaped it.
bool IsEntryWithoutName(const wxString& line)
{
    const size_t eq = FindUnescaped(line, 0, '=');
    if (eq == wxString::npos)
        return false;
    wxString name = line.Left(eq);
    return Unescaped(name.Trim(true)).empty();
}

// One line of the file is one the store takes: it asserts on an entry
// without a name and on a second header of a group other than the root.
bool StoreTakesLine(wxString line, std::set<wxString>& headers)
{
    line = line.BeforeFirst(wxUniChar(0));
    size_t start = 0;
    while (start < line.length() && wxIsspace(line[start]))
        ++start;
    line.erase(0, start);
    if (line.empty() || line[0] == ';' || line[0] == '#')
        return true;
    if (line[0] != '[')
        return !IsEntryWithoutName(line);
    wxString group;
    if (!HeaderGroup(line, group) || group.empty())
        return true;
    return headers.insert(group).second;
}

}  // namespace

bool LooksLikeSettingsText(const std::string& bytes)
{
    if (HasWideByteOrderMark(bytes))
        return false;
    wxConvAuto conv;
    const wxString text(bytes.data(), conv, bytes.size());
    if (!CanBeWrittenBack(text))
        return false;
    std::set<wxString> headers;
    size_t start = 0;
    while (start < text.length()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == wxString::npos)
            end = text.length();
        if (!StoreTakesLine(text.substr(start, end - start), headers))
            return false;
        const bool crlf = end + 1 < text.length() && text[end] == '\r' && text[end + 1] == '\n';
        start = end + (crlf ? 2 : 1);
    }
    return true;
}

bool SettingsFileIsUsable(const wxString& path)
{
    struct stat st;
    if (stat(path.fn_str(), &st) != 0)
        return true;
    if (!S_ISREG(st.st_mode))
        return false;
    std::ifstream in(path.fn_str(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return !in.bad() && LooksLikeSettingsText(bytes);
}

// ---------------------------------------------------------------------------
// Where a stored placement puts the window

namespace {

// How far two spans along one axis share (positive) or miss each other
// (negative). In 64 bits: a stored coordinate may be as large as INT_MAX.
int64_t Shared(int64_t a, int64_t aLen, int64_t b, int64_t bLen)
{
    return std::min(a + aLen, b + bLen) - std::max(a, b);
}

int64_t Overlap(const wxRect& a, const wxRect& b)
{
    const int64_t w = Shared(a.x, a.width, b.x, b.width);
    const int64_t h = Shared(a.y, a.height, b.y, b.height);
    return w > 0 && h > 0 ? w * h : 0;
}

// How far apart two rectangles lie, squared; 0 when they touch or overlap.
int64_t GapSquared(const wxRect& a, const wxRect& b)
{
    const int64_t dx = std::min(int64_t(0), Shared(a.x, a.width, b.x, b.width));
    const int64_t dy = std::min(int64_t(0), Shared(a.y, a.height, b.y, b.height));
    return dx * dx + dy * dy;
}

// The display that holds the largest part of the window, or, when none holds
// any of it, the nearest; the first of equals.
size_t HomeDisplay(const wxRect& window, const std::vector<wxRect>& displays)
{
    size_t best = 0;
    for (size_t i = 1; i < displays.size(); ++i) {
        const int64_t have = Overlap(window, displays[i]);
        const int64_t had = Overlap(window, displays[best]);
        const bool nearer = GapSquared(window, displays[i]) < GapSquared(window, displays[best]);
        if (have > had || (had == 0 && nearer))
            best = i;
    }
    return best;
}

// `from` moved just into [low, low + room - extent]; to `low` when the
// extent is larger than the room.
int ClampInto(int from, int extent, int low, int room)
{
    return std::max(low, std::min(from, low + room - extent));
}

}  // namespace

wxPoint PlacedPosition(const wxPoint& stored, const wxSize& size, const std::vector<wxRect>& displays)
{
    const wxRect& area = displays[HomeDisplay(wxRect(stored, size), displays)];
    return wxPoint(ClampInto(stored.x, size.x, area.x, area.width), ClampInto(stored.y, size.y, area.y, area.height));
}
