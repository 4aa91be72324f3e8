#include "logutils.h"

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/utsname.h>
#include <unistd.h>

static UINT tcold = 0;

UINT TickCountFrom(uint64_t seconds, uint64_t microseconds)
{
    return static_cast<UINT>(seconds) * 1000u + static_cast<UINT>(microseconds / 1000u);
}

UINT GetTickCount()
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return TickCountFrom(static_cast<uint64_t>(tv.tv_sec), static_cast<uint64_t>(tv.tv_usec));
}

UINT timeGetTime()
{
    return GetTickCount();
}

UINT GetTickerValue()
{
    return GetTickCount();
}

UINT GetTickCountDiff()
{
    UINT now = GetTickCount();
    UINT diff = now - tcold;
    tcold = now;
    return diff;
}

void Sleep(UINT ms)
{
    struct timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    nanosleep(&ts, nullptr);
}

UINT GetCurrentDirectory(UINT nBufferLength, char* lpBuffer)
{
    char* cwd = getcwd(nullptr, 0);
    if (cwd == nullptr) {
        if (lpBuffer && nBufferLength > 0)
            lpBuffer[0] = '\0';
        return 0;
    }
    UINT stored = 0;
    if (lpBuffer && nBufferLength > 0) {
        size_t n = strlen(cwd);
        if (n > nBufferLength - 1)
            n = nBufferLength - 1;
        memcpy(lpBuffer, cwd, n);
        lpBuffer[n] = '\0';
        stored = static_cast<UINT>(n);
    }
    free(cwd);
    return stored;
}

int CreateDirectory(const char* path, void* /*securityAttributes*/)
{
    if (mkdir(path, 0777) == 0 || errno == EEXIST)
        return 1;
    return 0;
}

double GetProcSpeed()
{
    return 0.0;
}

UINT GetNumProcs()
{
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<UINT>(n) : 1u;
}

int QueryPerformanceCounter(LARGE_INTEGER* counter)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    counter->QuadPart = static_cast<int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
    return 1;
}

// ---------------------------------------------------------------------------
// Mnemonic tables
// ---------------------------------------------------------------------------

// The paired branch codes share a mnemonic (the odd code only adds a bit of
// address); unassigned extracodes print as their octal number.
const char* const ONames[128] = {
    "LDX", "ADX", "NGX", "SBX", "LDXC", "ADXC", "NGXC", "SBXC",
    "STO", "ADS", "NGS", "SBS", "STOC", "ADSC", "NGSC", "SBSC",
    "ANDX", "ORX", "ERX", "OBEY", "LDCH", "LDEX", "TXU", "TXL",
    "ANDS", "ORS", "ERS", "STOZ", "DCH", "DEX", "DSA", "DLA",
    "MPY", "MPR", "MPA", "CDB", "DVD", "DVR", "DVS", "CBD",
    "BZE", "BZE", "BNZ", "BNZ", "BPZ", "BPZ", "BNG", "BNG",
    "BUX", "BUX", "BDX", "BDX", "BCHX", "BCHX", "BCT", "BCT",
    "CALL", "CALL", "EXIT", "EXIT", "BRN", "BRN", "BFP", "BFP",
    "LDN", "ADN", "NGN", "SBN", "LDNC", "ADNC", "NGNC", "SBNC",
    "SLC", "SLCD", "SRC", "SRCD", "NORM", "NORMD", "MVCH", "SMO",
    "ANDN", "ORN", "ERN", "NUL", "LDCT", "MODE", "MOVE", "SUM",
    "FLOAT", "FIX", "FAD", "FSB", "FMPY", "FDVD", "LFP", "SFP",
    "'140", "'141", "'142", "'143", "'144", "'145", "'146", "'147",
    "SUSBY", "REL", "DIS", "'153", "CONT", "SUSDP", "ALLOT", "PERI",
    "SUSTY", "SUSWT", "SUSMA", "AUTO", "SUSAR", "GIVE", "RRQ", "'167",
    "'170E", "'171E", "'172E", "'173E", "'174E", "'175E", "'176E", "'177E",
};

const char* const brns[8] = {
    "BRN", "BVS", "BVSR", "BVC", "BVCR", "BCS", "BCC", "BVCI",
};

const char* const shifts[16] = {
    "SLC", "SLL", "SLA", "SL3", "SLC", "SLL", "SLA", "SL3",
    "SRC", "SRL", "SRA", "SRAV", "SRC", "SRL", "SRA", "SRAV",
};

const char* const S1Names[3] = {"SUSTY", "DISTY", "DELTY"};
const char* const S2Names[3] = {"SUSWT", "DISP", "DEL"};

char* ENames[128];

namespace {

const size_t kMaxMessage = 1000;  // 999 characters and the terminator
const UINT kFirstExtracode = 96;

// The copies the last construction made. A program of the suite may put its
// own text into ENames; only an entry that still holds the logger's copy is
// freed, and a copy the program took out of the table is the program's.
char* g_ownENames[128];

// Replaces every entry with a fresh copy, releasing the previous copies so
// that constructing many loggers does not grow the heap.
void FillENames()
{
    for (UINT i = 0; i < 128; ++i) {
        char* copy;
        if (i < kFirstExtracode) {
            copy = strdup(ONames[i]);
        } else {
            char octal[8];
            snprintf(octal, sizeof octal, "'%03o", i);
            copy = strdup(octal);
        }
        if (ENames[i] == g_ownENames[i])
            free(ENames[i]);
        ENames[i] = copy;
        g_ownENames[i] = copy;
    }
}

// Appends formatted text at *len, never beyond size - 1 characters.
void AppendFormat(char* buf, size_t size, size_t* len, const char* fmt, ...) LOGUTILS_PRINTF(4, 5);
void AppendFormat(char* buf, size_t size, size_t* len, const char* fmt, ...)
{
    if (*len + 1 >= size)
        return;
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(buf + *len, size - *len, fmt, ap);
    va_end(ap);
    if (n < 0)
        return;
    *len += static_cast<size_t>(n);
    if (*len > size - 1)
        *len = size - 1;
}

const char kBanner[] =
    "\n\f"
    "^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^^"
    "\n\n";
static_assert(sizeof kBanner - 1 == 44, "closing banner is 44 bytes");

}  // namespace

// ---------------------------------------------------------------------------
// CLogger
// ---------------------------------------------------------------------------

CLogger::CLogger()
    : m_NoSymbols(true),
      m_CRLF(false),
      m_EBM(false),
      m_EXEC(true),
      m_Unsuffixed(false),
      m_TimeStampDivisor(1000),
      m_Use_uSec(true),
      m_TimeStamped(false),
      m_TimeStampAllowed(true),
      m_UseTimer(false),
      m_TimerBase(GetTickCount()),
      m_SizeLimit(0),
      m_SizeLimiting(false),
      m_Open(false),
      m_Level(LG_EMERG),
      m_F(nullptr),
      m_PrintLevel(2),
      m_G3Datum(0xFFFFFFFFu),
      m_pPMEntries(nullptr),
      m_nPMEntries(0),
      m_pSymbols(nullptr),
      m_Nfield(),
      m_PrintOctal(true),
      m_PrintChars(true),
      m_PrintDecimal(true),
      m_PrintInst(true),
      m_Flush(false),
      m_Limiting(true),
      m_UseDumpLabels(false),
      m_Filename(),
      m_Trace(false)
{
    pthread_mutex_init(&m_cs, nullptr);
    FillENames();
}

CLogger::~CLogger()
{
    if (m_Open)
        Close();
    pthread_mutex_destroy(&m_cs);
}

bool CLogger::Open(const char* path, bool append)
{
    if (path == nullptr)
        return false;
    // Flush first: reopening the same file with "w" must not let the old
    // stream's buffered text land in the new file afterwards.
    if (m_Open)
        fflush(m_F);
    FILE* f = fopen(path, append ? "a+" : "w");
    if (f == nullptr)
        return false;
    if (m_Open)
        fclose(m_F);
    m_F = f;
    m_Open = true;
    return true;
}

bool CLogger::Open(bool append)
{
    if (m_Filename[0] == '\0')
        return false;
    return Open(m_Filename, append);
}

void CLogger::Close()
{
    if (m_Open) {
        fwrite(kBanner, 1, sizeof kBanner - 1, m_F);
        fflush(m_F);
        fclose(m_F);
        m_F = nullptr;
    }
    m_Open = false;
}

bool CLogger::IsOpen() const
{
    return m_Open;
}

void CLogger::SetFilename(const char* path)
{
    snprintf(m_Filename, sizeof m_Filename, "%s", path ? path : "");
}

FILE* CLogger::GetFile() const
{
    return m_F;
}

void CLogger::IntervalFormat(char* out, size_t outSize, UINT elapsedMs, const char* fmt)
{
    char prefix[32];
    snprintf(prefix, sizeof prefix, "%u.%03u", elapsedMs / 1000u, elapsedMs % 1000u);
    snprintf(out, outSize, "%-9s %s", prefix, fmt);
}

void CLogger::Log(UINT level, const char* fmt, ...)
{
    // The open test is made under the lock: another thread's size check may
    // close the stream at any moment.
    pthread_mutex_lock(&m_cs);
    if (m_Open && (level & 7u) <= m_Level) {
        char withInterval[kMaxMessage];
        const char* format = fmt;
        if (m_UseTimer && (level & LG_NOINTERVAL) == 0) {
            UINT elapsed = GetTickCount() - m_TimerBase;
            m_TimerBase = GetTickCount();
            IntervalFormat(withInterval, sizeof withInterval, elapsed, fmt);
            format = withInterval;
        }
        char text[kMaxMessage];
        va_list ap;
        va_start(ap, fmt);
        vsnprintf(text, sizeof text, format, ap);
        va_end(ap);
        WriteText(text);
    }
    CloseIfOverLimit();
    pthread_mutex_unlock(&m_cs);
}

void CLogger::Log(const char* fmt, ...)
{
    if (!m_Open)
        return;
    char text[kMaxMessage];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    WriteText(text);
}

void CLogger::Log()
{
    if (!m_Open)
        return;
    fputc('\n', m_F);
    m_TimeStampAllowed = true;
}

void CLogger::WriteText(const char* text)
{
    TimeStamp();
    size_t len = strlen(text);
    fwrite(text, 1, len, m_F);
    if (len > 0)
        m_TimeStampAllowed = text[len - 1] == '\n';
    if (m_Flush)
        fflush(m_F);
}

void CLogger::CloseIfOverLimit()
{
    if (!m_Open || !m_SizeLimiting)
        return;
    UINT pos = static_cast<UINT>(ftell(m_F));
    if (pos > m_SizeLimit) {
        // No banner: the limit is a hard cap on the file's size.
        fclose(m_F);
        m_F = nullptr;
        m_Open = false;
    }
}

void CLogger::TimeStamp()
{
    if (!m_TimeStamped || !m_TimeStampAllowed || !m_Open)
        return;
    char number[32];
    if (m_Use_uSec) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        int64_t divisor = m_TimeStampDivisor != 0 ? m_TimeStampDivisor : 1;
        snprintf(number, sizeof number, "%12llu",
                 static_cast<unsigned long long>(counter.QuadPart / divisor));
    } else {
        snprintf(number, sizeof number, "%12u", GetTickCount());
    }
    time_t now = time(nullptr);
    struct tm local;
    if (localtime_r(&now, &local) == nullptr)
        local = tm();
    fprintf(m_F, "%s %02u:%02u:%02u ", number, static_cast<unsigned>(local.tm_hour),
            static_cast<unsigned>(local.tm_min), static_cast<unsigned>(local.tm_sec));
}

void CLogger::SetLevel(UINT level)
{
    if (level <= LG_DEBUG)
        m_Level = level;
    Log(LG_EMERG, "Log level now %u\n", m_Level);
}

void CLogger::SetTraceLevel(UINT level)
{
    SetLevel(level);
}

UINT CLogger::GetLevel() const
{
    return m_Level;
}

UINT CLogger::GetTraceLevel() const
{
    return m_Level;
}

void CLogger::SetTimeStamping(bool on)
{
    m_TimeStamped = on;
    if (on)
        Log(LG_EMERG, "\nTimestamping on using divisor of %i\n", m_TimeStampDivisor);
    else
        Log(LG_EMERG, "\nNo Timestamping\n");
}

bool CLogger::GetTimeStamping() const
{
    return m_TimeStamped;
}

void CLogger::UseHighPrecisionTimestamp(bool on)
{
    m_Use_uSec = on;
}

void CLogger::SetSizeLimit(UINT limit, bool on)
{
    m_SizeLimit = limit;
    m_SizeLimiting = on;
}

void CLogger::SetLimiting(bool on)
{
    m_Limiting = on;
}

void CLogger::SetDumpLabels(bool on)
{
    m_UseDumpLabels = on;
}

void CLogger::SetFlush(bool on)
{
    m_Flush = on;
}

void CLogger::Flush()
{
    if (m_Open)
        fflush(m_F);
}

void CLogger::Empty()
{
    if (!m_Open)
        return;
    rewind(m_F);
    int rc = ftruncate(fileno(m_F), 0);
    (void)rc;  // on failure the old text simply stays
}

void CLogger::SetTrace(bool on)
{
    m_Trace = on;
}

bool CLogger::GetTrace() const
{
    return m_Trace;
}

void CLogger::SetNFieldLabel(const char* label)
{
    snprintf(m_Nfield, sizeof m_Nfield, "%s", label ? label : "");
}

void CLogger::SetPMDefs(PPMENTRY entries, UINT count)
{
    m_pPMEntries = entries;
    m_nPMEntries = entries ? count : 0;
}

void CLogger::SetG3Datum(UINT datum)
{
    m_G3Datum = datum;
}

void CLogger::SetSymbols(CSymbolTable* symbols)
{
    m_pSymbols = symbols;
    m_NoSymbols = symbols == nullptr;
}

void CLogger::PrintControlWordHeader()
{
    char line[80];
    size_t len = 0;
    AppendFormat(line, sizeof line, &len, "%-16s", m_Nfield[0] != '\0' ? m_Nfield : "N");
    if (m_PrintOctal)
        AppendFormat(line, sizeof line, &len, "%-9s", "Octal");
    if (m_PrintDecimal)
        AppendFormat(line, sizeof line, &len, "%-10s", "Decimal");
    if (m_PrintChars)
        AppendFormat(line, sizeof line, &len, "%-6s", "Chars");
    if (m_PrintInst)
        AppendFormat(line, sizeof line, &len, "%s", "Order");
    while (len > 0 && line[len - 1] == ' ')
        --len;
    line[len] = '\0';
    Log(LG_EMERG, "%s\n", line);
}

void CLogger::LogBlock(const BYTE* p, UINT n)
{
    if (n == 0 || p == nullptr)
        return;
    // The message is cut at 999 characters anyway, so the line is built only
    // that far; long blocks need no buffer of their own size.
    char line[kMaxMessage + 8];
    size_t len = 0;
    AppendFormat(line, sizeof line, &len, ">>Net len = %4u >> ", n);
    for (UINT i = 0; i < n && len < kMaxMessage; ++i) {
        if (p[i] > 31)
            AppendFormat(line, sizeof line, &len, "%c  ", static_cast<char>(p[i]));
        else
            AppendFormat(line, sizeof line, &len, "%02x ", p[i]);
    }
    Log(LG_EMERG, "%s\n", line);
}

void CLogger::TraceBuffer(const BYTE* buf, int n, const char* label)
{
    if (label == nullptr)
        label = "Buffer";
    Log(LG_EMERG, "%s - nChars = %3u\n", label, static_cast<unsigned>(n));
    if (n > 0 && buf != nullptr) {
        char hex[80];
        char chars[24];
        size_t hexLen = 0;
        size_t charLen = 0;
        UINT offset = 0;
        UINT count = 0;
        AppendFormat(hex, sizeof hex, &hexLen, "%04X: ", offset);
        AppendFormat(chars, sizeof chars, &charLen, "| ");
        for (int i = 0; i < n; ++i) {
            AppendFormat(hex, sizeof hex, &hexLen, "%02x ", buf[i]);
            AppendFormat(chars, sizeof chars, &charLen, "%c", prtchar(buf[i]));
            ++count;
            ++offset;
            if (count == 16 || i == n - 1) {
                Log(LG_EMERG, "%s%s\n", hex, chars);
                count = 0;
                hexLen = 0;
                charLen = 0;
                AppendFormat(hex, sizeof hex, &hexLen, "%04X: ", offset);
                AppendFormat(chars, sizeof chars, &charLen, "| ");
            }
        }
    }
    if (m_Flush && m_Open)
        fflush(m_F);
}

unsigned char CLogger::prtchar(unsigned char c)
{
    return isprint(c) ? c : '.';
}

void CLogger::PrintHostInfo()
{
    struct utsname host;
    if (uname(&host) != 0)
        host = utsname();
    Log(LG_EMERG, "OS: %s %s %s\n\n", host.sysname, host.release, host.machine);
}

// ---------------------------------------------------------------------------
// CLogTimer
// ---------------------------------------------------------------------------

CLogTimer::CLogTimer() : m_IntStart(GetTickCount())
{
}

CLogTimer::~CLogTimer() = default;

UINT CLogTimer::GetInterval()
{
    return IntervalTo(GetTickCount());
}

UINT CLogTimer::IntervalTo(UINT now)
{
    UINT elapsed = now - m_IntStart;  // unsigned: right across the wrap
    m_IntStart = now;
    return elapsed;
}
