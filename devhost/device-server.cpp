#include "device-server.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include "catalogue.h"
#include "fields.h"
#include "mkshareditem.h"
#include "peri-names.h"

namespace DevHost {

namespace {

constexpr UINT kCardColumns = 80;

// Request flags that are not declared volatile are still shared with a
// running panel: every access goes through a volatile reference.
volatile bool* Shared(bool& flag) { return &flag; }
volatile bool* Shared(volatile bool& flag) { return &flag; }

void RaiseFlag(volatile bool* flag)
{
    std::atomic_thread_fence(std::memory_order_release);
    *flag = true;
}

void ClearFlag(volatile bool* flag)
{
    // Whatever the host stored while acting must be visible before the
    // acknowledgement.
    std::atomic_thread_fence(std::memory_order_release);
    *flag = false;
}

std::string ErrnoText() { return strerror(errno); }

std::string Kv(const std::string& key, const std::string& value) { return " " + key + "=" + QuoteText(value); }
std::string Kv(const std::string& key, UINT value) { return " " + key + "=" + std::to_string(value); }

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string Today()
{
    time_t t = time(nullptr);
    struct tm tmv;
    char text[32] = "";
    if (localtime_r(&t, &tmv) != nullptr)
        strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tmv);
    return text;
}

}  // namespace

std::string PunchFileName(UINT channel, UINT n)
{
    return "data/punch-" + std::to_string(channel) + "-" + std::to_string(n) + ".tpe";
}

bool SafeRelativePath(const std::string& path, std::string* why)
{
    if (path.empty()) {
        *why = "empty file name";
        return false;
    }
    if (path[0] == '/') {
        *why = "absolute path, expected one relative to the root";
        return false;
    }
    for (const std::string& part : SplitText(path, '/')) {
        if (part == "..") {
            *why = "path leaves the root";
            return false;
        }
    }
    return true;
}

bool NamesDevice(UINT type, const std::string& name, bool isDevice)
{
    if (name.empty() || (type == PT_LP && !isDevice))
        return false;
    bool bare = name.find('/') == std::string::npos && name.find('.') == std::string::npos;
    return bare || name.back() == ':';
}

std::string OutputSample(UINT type, UINT channel, const std::string& model)
{
    std::string who = model + " on channel " + std::to_string(channel);
    switch (type) {
    case PT_LP:
        return "\f" + std::string(40, '*') + "\n*  DEK-DEVHOST LINE PRINTER OUTPUT\n*  " + who + "\n*  " + Today() +
               "\n" + std::string(40, '*') + "\n\n    THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789\n";
    case PT_CP: {
        std::string card = "DEK-DEVHOST CARD PUNCH " + who;
        card.resize(kCardColumns, ' ');
        std::string seq = "00000010";
        card.replace(kCardColumns - seq.size(), seq.size(), seq);
        return card + "\n";
    }
    case PT_GP: return "; dek-devhost plotter output, " + who + "\nPU 0 0\nPD 1000 0 1000 1000 0 1000 0 0\nPU\n";
    default: return "DEK-DEVHOST PAPER TAPE OUTPUT, " + who + "\n";
    }
}

DeviceServer::DeviceServer(const HostSettings& settings, const PeriphDesc& desc, EventSink sink)
    : m_settings(settings), m_desc(desc), m_sink(std::move(sink))
{
}

DeviceServer::~DeviceServer()
{
    Withdraw();
}

bool DeviceServer::Publish(std::string* error, bool* inUse)
{
    return m_pub.Create(m_settings.machine, m_desc, m_settings.root, m_settings.cpu, m_settings.publishPauseMs, error,
                        inUse);
}

void DeviceServer::Withdraw()
{
    CloseInput();
    m_reading = false;
    m_pub.Withdraw();
}

void DeviceServer::SetHostUp(bool up)
{
    m_desc.hostUp = up;
    if (Block() != nullptr)
        *reinterpret_cast<volatile bool*>(&Block()->m_HostUp) = up;
}

void DeviceServer::SetCloseOnHostDown(bool on)
{
    m_desc.closeOnHostDown = on;
    if (Block() != nullptr)
        Block()->m_CloseOnHostDown = on;
}

bool DeviceServer::IsReaderPunch() const
{
    return RecordFor(m_desc.type, m_desc.model) == RecordKind::Rp;
}

SAUtils::ReaderFields DeviceServer::Reader() const
{
    return SAUtils::ReaderFieldsOf(Block()->m_U, IsReaderPunch());
}

volatile bool* DeviceServer::FlagOf(RequestId id) const
{
    PSHAREBASE b = Block();
    switch (id) {
    case kHold: return Shared(b->m_Hold);
    case kAllocate: return Shared(b->m_Allocate);
    case kFormatLoop: return m_desc.type == PT_LP ? Shared(b->m_U.m_lp.m_LoadFormatLoop) : nullptr;
    case kCloseFile: return IsReaderType(m_desc.type) ? Reader().closefile : nullptr;
    case kPQ: return m_desc.type == PT_40 ? Shared(b->m_U.m_pt.B) : nullptr;
    case kAllocate2: return IsReaderPunch() ? Shared(b->m_U.m_rp.m_Allocate2) : nullptr;
    case kHold2: return IsReaderPunch() ? Shared(b->m_U.m_rp.m_Hold2) : nullptr;
    case kRequestCount: break;
    }
    return nullptr;
}

DeviceServer::Snapshot DeviceServer::Capture(RequestId id) const
{
    std::atomic_thread_fence(std::memory_order_acquire);
    const S_SHAREBASE& b = *Block();
    Snapshot s;
    if (id == kFormatLoop) {
        s.file = SAUtils::FieldText(b.m_U.m_lp.m_FormatLoopName);
    } else if (id == kPQ) {
        s.q = b.m_U.m_pt.Q;
        s.p = b.m_U.m_pt.P;
    } else if (id == kAllocate) {
        if (b.m_PhysicalDevice) {
            s.file = SAUtils::FieldText(b.m_PhysicalDeviceName);
        } else if (IsReaderType(m_desc.type)) {
            const SAUtils::ReaderFields reader = Reader();
            s.file = std::string(reader.filename, strnlen(reader.filename, reader.filenameWidth));
            s.discWhileOpen = *reader.discWhileFileOpen;
        } else if (m_desc.type == PT_TP) {
            s.file = SAUtils::FieldText(b.m_U.m_tp.m_Filename);
        } else if (m_desc.type == PT_LP) {
            s.file = SAUtils::FieldText(b.m_U.m_lp.m_Filename);
            s.isDevice = b.m_U.m_lp.m_IsDevice;
        } else if (m_desc.type == PT_CP) {
            s.file = SAUtils::FieldText(b.m_U.m_cp.m_Filename);
        } else if (m_desc.type == PT_GP) {
            s.file = SAUtils::FieldText(b.m_U.m_gp.m_Filename);
        }
    }
    return s;
}

// The data of a request as seen when its flag rose, as KEY=VALUE words.
std::string DeviceServer::Describe(RequestId id, const Snapshot& data) const
{
    switch (id) {
    case kFormatLoop: return Kv("name", data.file);
    case kPQ: return Kv("q", data.q) + Kv("p", data.p);
    case kAllocate:
        if (Block()->m_PhysicalDevice)
            return Kv("device", data.file);
        if (IsReaderType(m_desc.type))
            return Kv("file", data.file) + (data.discWhileOpen ? " discopen=1" : "");
        if (IsOutputType(m_desc.type))
            return Kv("file", data.file) + (m_desc.type == PT_LP ? Kv("isdevice", data.isDevice ? 1u : 0u) : "");
        return "";
    default: return "";
    }
}

void DeviceServer::Poll(double now)
{
    if (Block() == nullptr)
        return;
    m_lastPoll = now;
    if (!m_pub.StillWhole()) {
        Emit("error " + std::to_string(m_desc.channel) + " object shrunk by someone else; withdrawn");
        Withdraw();
        Emit("withdrawn " + std::to_string(m_desc.channel));
        return;
    }
    for (int i = 0; i < kRequestCount; ++i) {
        RequestId id = static_cast<RequestId>(i);
        Request& r = m_requests[i];
        volatile bool* flag = FlagOf(id);
        if (flag == nullptr || !*flag) {
            r.seen = false;
            continue;
        }
        if (!r.seen) {
            r.data = Capture(id);
            r.seen = true;
            if (m_ignoring)
                Emit("pending " + std::to_string(m_desc.channel) + " " + r.name + Describe(id, r.data));
        }
        if (m_ignoring)
            continue;
        std::string line = "served " + std::to_string(m_desc.channel) + " " + r.name + Describe(id, r.data);
        line += Serve(id, r.data);
        ClearFlag(flag);
        r.seen = false;
        Emit(line);
    }
    AdvanceReader(now);
    WatchDisconnect(now);
}

void DeviceServer::WatchDisconnect(double now)
{
    if (m_discRaisedAt < 0 || *Shared(Block()->m_Disc))
        return;
    char after[32];
    snprintf(after, sizeof after, "%.3f", now - m_discRaisedAt);
    Emit("taken " + std::to_string(m_desc.channel) + " disc after=" + after);
    m_discRaisedAt = -1;
}

std::string DeviceServer::Serve(RequestId id, const Snapshot& data)
{
    switch (id) {
    case kHold: return ServeHold();
    case kAllocate: return ServeAllocate(data);
    case kFormatLoop: return ServeFormatLoop(data);
    case kCloseFile: return ServeCloseFile();
    case kPQ: return "";  // nothing to do with the values but report them
    case kAllocate2: return ServeAllocate2();
    case kHold2: return ServeHold2();
    case kRequestCount: break;
    }
    return "";
}

std::string DeviceServer::ServeAllocate(const Snapshot& data)
{
    PSHAREBASE b = Block();
    if (b->m_PhysicalDevice) {
        b->m_Oper = true;
        return "";
    }
    if (IsReaderType(m_desc.type)) {
        // Resume only when the panel asked for it: a panel that attached afresh has
        // cleared the keep-open flag and sends a new file name.
        bool resume = m_keptOpen && data.discWhileOpen && m_inputFd >= 0;
        return resume ? ResumeInput() : AllocateInput(data);
    }
    if (IsDrumType(m_desc.type)) {
        b->m_Oper = m_desc.operAnswer;
        return Kv("oper", m_desc.operAnswer ? 1u : 0u);
    }
    b->m_Oper = true;
    if (IsOutputType(m_desc.type))
        return AllocateOutput(data);
    return "";
}

std::string DeviceServer::AllocateInput(const Snapshot& data)
{
    PSHAREBASE b = Block();
    CloseInput();
    m_inputPath = data.file;
    m_inputSize = 0;
    m_inputPos = 0;
    std::string error;
    if (data.file.empty() || data.file[0] != '/') {
        error = "not an absolute path";
    } else {
        int fd = open(data.file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st;
        if (fd < 0) {
            error = ErrnoText();
        } else if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            error = "not a regular file";
            close(fd);
        } else {
            m_inputFd = fd;
            m_inputSize = st.st_size > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<UINT>(st.st_size);
        }
    }
    const SAUtils::ReaderFields reader = Reader();
    *reader.filePosition = 0;
    *reader.filesize = m_inputSize;
    *reader.discWhileFileOpen = false;
    b->m_Oper = true;
    // Even an unreadable file starts the reader: it runs out at once and
    // disconnects, as a reader with an empty hopper would.
    m_reading = true;
    m_credit = 0;
    m_lastTime = -1;
    return Kv("size", m_inputSize) + (error.empty() ? "" : Kv("error", error));
}

std::string DeviceServer::ResumeInput()
{
    PSHAREBASE b = Block();
    struct stat st;
    if (fstat(m_inputFd, &st) == 0 && st.st_size >= 0)
        m_inputSize = st.st_size > 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<UINT>(st.st_size);
    m_keptOpen = false;
    const SAUtils::ReaderFields reader = Reader();
    *reader.filesize = m_inputSize;
    *reader.filePosition = m_inputPos;
    *reader.discWhileFileOpen = false;
    b->m_Oper = true;
    m_reading = true;
    m_credit = 0;
    m_lastTime = -1;
    return Kv("size", m_inputSize) + Kv("position", m_inputPos) + " resume=1";
}

std::string DeviceServer::AllocateOutput(const Snapshot& data)
{
    if (NamesDevice(m_desc.type, data.file, data.isDevice))
        return " device=1";
    std::string why;
    if (!SafeRelativePath(data.file, &why))
        return Kv("error", why);
    std::string path = m_settings.root + "/" + data.file;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return Kv("error", ErrnoText());
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              WriteAll(fd, OutputSample(m_desc.type, m_desc.channel, m_desc.model));
    close(fd);
    return ok ? Kv("wrote", path) : Kv("error", "cannot write " + path);
}

std::string DeviceServer::ServeHold()
{
    // A drum held by the operator goes off line.
    if (IsDrumType(m_desc.type))
        Block()->m_Oper = false;
    return "";
}

std::string DeviceServer::ServeFormatLoop(const Snapshot& data)
{
    if (data.file.empty() || data.file.find('/') != std::string::npos || data.file == "..")
        return " found=0";
    struct stat st;
    std::string path = m_settings.root + "/Formatloops/" + data.file;
    bool found = stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    return found ? " found=1" : " found=0";
}

std::string DeviceServer::ServeCloseFile()
{
    std::string closed = m_inputFd >= 0 ? Kv("file", m_inputPath) : " file=none";
    CloseInput();
    m_reading = false;
    *Reader().discWhileFileOpen = false;
    return closed;
}

// The punch's output file is the host's to name: a new file under the root's
// data directory at every allocation, so that no earlier output is lost. Its
// name goes into m_FilenameTP before the request is acknowledged; a failure
// leaves the field empty.
std::string DeviceServer::ServeAllocate2()
{
    char* field = Block()->m_U.m_rp.m_FilenameTP;
    const size_t width = sizeof Block()->m_U.m_rp.m_FilenameTP;
    SAUtils::StoreFieldText(field, width, "");
    m_punchFile.clear();
    constexpr UINT kMaxPunchFiles = 9999;
    for (UINT n = 1; n <= kMaxPunchFiles; ++n) {
        std::string rel = PunchFileName(m_desc.channel, n);
        std::string path = m_settings.root + "/" + rel;
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return Kv("error", ErrnoText());
        bool ok = WriteAll(fd, OutputSample(PT_TP, m_desc.channel, m_desc.model));
        close(fd);
        if (!ok)
            return Kv("error", "cannot write " + path);
        m_punchFile = rel;
        SAUtils::StoreFieldText(field, width, rel.c_str());
        return Kv("file", rel);
    }
    return Kv("error", "no free file name");
}

// HOLD on the punch ends its medium: the output is finished and the panel
// hears of it through m_Disc2.
std::string DeviceServer::ServeHold2()
{
    if (m_punchFile.empty())
        return "";
    std::string line = Kv("file", m_punchFile) + " disc2=1";
    m_punchFile.clear();
    RaiseFlag(Shared(Block()->m_U.m_rp.m_Disc2));
    return line;
}

void DeviceServer::CloseInput()
{
    if (m_inputFd >= 0)
        close(m_inputFd);
    m_inputFd = -1;
    m_keptOpen = false;
}

UINT DeviceServer::ReaderRate() const
{
    if (m_desc.rate != 0)
        return m_desc.rate;
    return m_desc.type == PT_CR ? m_settings.cardsPerMinute : m_settings.tapeCharsPerSecond;
}

// One card is one line of the deck, at most 80 columns and its newline.
UINT DeviceServer::NextCardLength() const
{
    char card[kCardColumns + 1];
    ssize_t n = m_inputFd >= 0 ? pread(m_inputFd, card, sizeof card, m_inputPos) : -1;
    if (n <= 0)
        return m_inputSize - m_inputPos;  // the file shrank: the deck is done
    const void* nl = memchr(card, '\n', static_cast<size_t>(n));
    if (nl != nullptr)
        return static_cast<UINT>(static_cast<const char*>(nl) - card) + 1;
    return static_cast<UINT>(n) < kCardColumns ? static_cast<UINT>(n) : kCardColumns;
}

void DeviceServer::AdvanceReader(double now)
{
    PSHAREBASE b = Block();
    if (!m_reading || !IsReaderType(m_desc.type))
        return;
    // The reader stops with the host or when the operator's STOP has taken
    // the unit off line.
    if (!b->m_HostUp || !b->m_Oper) {
        m_lastTime = -1;
        return;
    }
    if (m_lastTime >= 0) {
        bool cards = m_desc.type == PT_CR;
        double perSecond = cards ? ReaderRate() / 60.0 : ReaderRate();
        m_credit += (now - m_lastTime) * perSecond;
        // A stalled poll does not make the reader race afterwards.
        double cap = perSecond > 1 ? perSecond : 1;
        if (m_credit > cap)
            m_credit = cap;
        while (m_credit >= 1 && m_inputPos < m_inputSize) {
            UINT step = cards ? NextCardLength() : static_cast<UINT>(m_credit);
            if (step > m_inputSize - m_inputPos)
                step = m_inputSize - m_inputPos;
            m_inputPos += step;
            m_credit -= cards ? 1 : step;
        }
        *Reader().filePosition = m_inputPos;
    }
    m_lastTime = now;
    if (m_inputPos >= m_inputSize)
        Disconnect("end");
}

void DeviceServer::Disconnect(const std::string& reason)
{
    PSHAREBASE b = Block();
    if (b == nullptr)
        return;
    std::string line = "disc " + std::to_string(m_desc.channel) + " " + reason;
    if (IsReaderType(m_desc.type)) {
        m_reading = false;
        bool keep = m_desc.discWhileOpen && m_inputFd >= 0;
        if (keep)
            m_keptOpen = true;
        else
            CloseInput();
        *Reader().discWhileFileOpen = keep;
        line += Kv("position", m_inputPos) + Kv("size", m_inputSize) + Kv("open", keep ? 1u : 0u);
    }
    RaiseFlag(Shared(b->m_Disc));
    if (m_discRaisedAt < 0)
        m_discRaisedAt = m_lastPoll;
    Emit(line);
}

}  // namespace DevHost
