#include "dek-panel-logic.h"

#include <cstdint>

#include "dek-enumdlg-describe.h"
#include "dek-panel-face.h"
#include "mkshareditem.h"
#include "peri-names.h"

namespace {

wxString SizeInvalidText(UINT claimed, size_t mapped)
{
    return wxString::Format("Shared area size invalid\nThe block claims %u bytes; %zu are mapped", claimed, mapped);
}

bool StartsWithNoCase(const wxString& s, const wxString& prefix)
{
    return s.length() >= prefix.length() && s.Left(prefix.length()).CmpNoCase(prefix) == 0;
}

}  // namespace

wxString UnsupportedTypeText(unsigned type)
{
    return wxString::Format("Device type %u not supported", type);
}

wxString ChangedPeripheralText(UINT si, const DekPeripheral& now)
{
    return wxString::Format("Peripheral changed\nChannel %u is now %s, type %u; start a new panel for it", si,
                            HostText(now.periph), now.type);
}

wxString VersionMismatchText()
{
    return wxString::Format("Shared area version mismatch\nExpected 0x%08X", SHAREBASE_VERSION);
}

bool ParseDecimalUint32(const wxString& text, UINT& value)
{
    if (text.empty())
        return false;
    UINT v = 0;  // unsigned arithmetic: a longer number keeps its low 32 bits
    for (wxUniChar c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10u + static_cast<UINT>(c.GetValue() - '0');
    }
    value = v;
    return true;
}

bool ParseDekArgs(const wxArrayString& args, DekArgs& out)
{
    // A machine number or channel that is not a whole base-10 number (-Mx,
    // -M=5, -M 5x) is refused like any other bad parameter rather than
    // silently becoming some other number.
    for (size_t i = 1; i < args.size(); ++i) {
        const wxString& a = args[i];
        if (a == "-M" && i + 1 < args.size()) {
            if (!ParseDecimalUint32(args[++i], out.cpu))
                return false;
        } else if (a.StartsWith("-M")) {
            if (!ParseDecimalUint32(a.Mid(2), out.cpu))
                return false;
        } else if (a == "-S" && i + 1 < args.size()) {
            if (!ParseDecimalUint32(args[++i], out.si))
                return false;
        } else if (a.StartsWith("-S")) {
            if (!ParseDecimalUint32(a.Mid(2), out.si))
                return false;
        } else if (a == "-m") {
            out.startMin = true;
        } else if (a == "-s") {
            out.started = true;
        } else if (a.StartsWith("-")) {
            return false;
        }
    }
    return true;
}

bool ScanOctalEntry(const wxString& text, UINT& value)
{
    wxCharBuffer buf = text.mb_str(wxConvLibc);
    const char* s = buf.data() ? buf.data() : "";
    while (*s == ' ' || (*s >= '\t' && *s <= '\r'))
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') {
        negative = *s == '-';
        ++s;
    }
    uint64_t v = 0;
    for (; *s >= '0' && *s <= '7'; ++s) {
        v = v * 8 + static_cast<unsigned>(*s - '0');
        if (v > UINT32_MAX)
            return false;
    }
    UINT u = static_cast<UINT>(v);
    value = negative ? 0u - u : u;
    return true;
}

wxString LastPathComponent(const wxString& fn)
{
    int p = fn.Find('/', true);
    if (p == wxNOT_FOUND)
        p = fn.Find('\\', true);
    return p == wxNOT_FOUND ? fn : fn.Mid(static_cast<size_t>(p) + 1);
}

wxString OutputExtension(unsigned type)
{
    switch (type) {
    case PT_TP:
        return "tpe";
    case PT_LP:
    case PT_CP:
        return "txt";
    case PT_GP:
        return "gplt";
    default:
        return wxString();
    }
}

DekOutputTarget MapOutputChoice(const wxString& path, const wxString& filename, const wxString& sysRoot)
{
    DekOutputTarget t;
    if (StartsWithNoCase(filename, "dev_")) {
        // A host device: the name after the prefix, up to its first dot and
        // then marked with ':'; the chosen file's directory plays no part.
        wxString dev = filename.Mid(4);
        int dot = dev.Find('.');
        if (dot != wxNOT_FOUND)
            dev = dev.Left(static_cast<size_t>(dot)) + ":";
        t.usable = !dev.empty();
        t.isDevice = true;
        t.shown = dev;
        t.rel = dev;
        return t;
    }
    if (sysRoot.empty())
        return t;
    // The file must lie under the root itself, so the separator after the
    // root is required: /srv/root2/x is not under /srv/root. A root given
    // with a trailing '/' is compared without it.
    wxString root = sysRoot;
    while (root.EndsWith("/"))
        root.RemoveLast();
    size_t len = root.length();
    if (path.length() <= len + 1 || path[len] != '/' || !StartsWithNoCase(path, root))
        return t;
    t.usable = true;
    t.shown = path;
    t.rel = path.Mid(len + 1);
    return t;
}

bool ClaimedSizeFits(UINT claimed, size_t mapped)
{
    return claimed >= sizeof(S_SHAREBASE) && claimed <= mapped;
}

wxString PanelTitle(UINT opsNo, const wxString& periph, DekHostState state)
{
    wxString title = wxString::Format("U%02u - %s", opsNo, periph);
    switch (state) {
    case DekHostState::Attached:
        break;
    case DekHostState::Waiting:
        title += " (waiting for the host)";
        break;
    case DekHostState::Gone:
        title += " (host gone)";
        break;
    }
    return title;
}

wxString HostText(const std::string& text)
{
    return wxString(PrintableText(text).c_str(), wxConvLibc);
}

wxString FatalMessageLine(const wxString& message)
{
    wxString line = message;
    line.Replace("\r\n", "; ");
    line.Replace("\n", "; ");
    line.Replace("\r", "; ");
    return "dek: " + line;
}

DekPeripheral PeripheralOf(const S_SHAREBASE& block)
{
    DekPeripheral p;
    p.type = block.m_PeriType;
    p.periph = SAUtils::FieldText(block.m_Periph);
    p.devTyp = block.m_DevTyp;
    return p;
}

// Why a freshly mapped block cannot be used, or nothing. A block that claims
// to be shorter than the header and device records it must hold, or longer
// than the object really is, is as unusable as one of another version.
wxString AttachRefusal(const S_SHAREBASE& b, size_t mapped)
{
    if (b.m_Version != SHAREBASE_VERSION)
        return VersionMismatchText();
    if (!ClaimedSizeFits(b.m_SharedAreaSize, mapped))
        return SizeInvalidText(b.m_SharedAreaSize, mapped);
    return wxString();
}

DekReattach JudgeReattach(const DekPeripheral& was, const S_SHAREBASE& now, size_t mapped)
{
    // Checked as at start-up: the version, then the size the block claims.
    if (!AttachRefusal(now, mapped).empty())
        return DekReattach::Refuse;
    DekPeripheral is = PeripheralOf(now);
    if (FaceFor(is.type, is.periph, is.devTyp) == DekFace::Unsupported)
        return DekReattach::Unsupported;
    // The faces are built once, for one peripheral: another type or model
    // needs a panel of its own.
    if (is.type != was.type || is.periph != was.periph || is.devTyp != was.devTyp)
        return DekReattach::Changed;
    return DekReattach::Resume;
}
