// Platform functions of the common code (Windows-style names on Linux) and
// the suite's diagnostic logger.
#pragma once

#include <cstddef>
#include <cstdio>

#include "tchar-compat.h"

// Milliseconds of wall-clock time in 32 bits; wraps every 2^32 ms and follows
// changes of the system clock.
UINT GetTickCount();
UINT timeGetTime();
UINT GetTickerValue();
// Milliseconds since the previous call (the first call returns the full count).
UINT GetTickCountDiff();
void Sleep(UINT ms);
UINT GetCurrentDirectory(UINT nBufferLength, char* lpBuffer);
int CreateDirectory(const char* path, void* securityAttributes);
double GetProcSpeed();
UINT GetNumProcs();
// Monotonic nanoseconds; there is no frequency query.
int QueryPerformanceCounter(LARGE_INTEGER* counter);

// The wall-clock millisecond arithmetic of GetTickCount, for a given time.
UINT TickCountFrom(uint64_t seconds, uint64_t microseconds);

// ---------------------------------------------------------------------------
// Diagnostic logger
// ---------------------------------------------------------------------------

#define LOGUTILS_PRINTF(fmtArg, firstArg) __attribute__((format(printf, fmtArg, firstArg)))

// Severity levels. A level argument carries the severity in its low three
// bits; LG_NOINTERVAL leaves the interval prefix off that one message.
enum __Log_LevelType : UINT {
    LG_EMERG = 0,
    LG_ALERT = 1,
    LG_CRIT = 2,
    LG_ERR = 3,
    LG_WARN = 4,
    LG_NTCE = 5,
    LG_INFO = 6,
    LG_DEBUG = 7
};
const UINT LG_NOINTERVAL = 8;

typedef struct S_PMENTRY {
    UINT addr;
    char name[12];
} PMENTRY, *PPMENTRY;

class CSymbolTable;

class CLogger {
public:
    CLogger();
    virtual ~CLogger();
    CLogger(const CLogger&) = delete;
    CLogger& operator=(const CLogger&) = delete;

    // "a+" when appending, otherwise the file is created or emptied. On
    // failure nothing changes. An open file is replaced by the new one.
    bool Open(const char* path, bool append);
    // Opens m_Filename; false when no name has been set.
    bool Open(bool append);
    // Writes the closing banner and closes; does nothing when closed.
    void Close();
    // False once Close or the size limit has closed the file.
    bool IsOpen() const;
    // The name Open(bool) opens, cut to fit m_Filename.
    void SetFilename(const char* path);
    // The open stream, for a program that writes to it directly; null when closed.
    FILE* GetFile() const;

    // Written when (level & 7) <= m_Level; thread-safe, one whole message.
    void Log(UINT level, const char* fmt, ...) LOGUTILS_PRINTF(3, 4);
    // Written unconditionally; for one thread at a time.
    void Log(const char* fmt, ...) LOGUTILS_PRINTF(2, 3);
    // Ends the current line.
    void Log();

    void SetLevel(UINT level);
    void SetTraceLevel(UINT level);
    // The largest level number written; a refused SetLevel leaves it as it was.
    UINT GetLevel() const;
    // The same level: the trace level and the log level are one.
    UINT GetTraceLevel() const;
    void SetTimeStamping(bool on);
    // Whether lines are stamped.
    bool GetTimeStamping() const;
    // Stamps count the monotonic counter over m_TimeStampDivisor (true) or the millisecond tick.
    void UseHighPrecisionTimestamp(bool on);
    void SetSizeLimit(UINT limit, bool on);
    void SetLimiting(bool on);
    void SetDumpLabels(bool on);
    // When on, every message and dump is flushed at once.
    void SetFlush(bool on);
    // Pushes what has been written so far into the file; nothing when closed.
    void Flush();
    // Starts the open file afresh.
    void Empty();

    // The program's switch for tracing the orders it obeys; the logger only keeps it.
    void SetTrace(bool on);
    // Whether the program traces.
    bool GetTrace() const;
    // Title of the N-field column of control-word dumps, cut to 15 characters.
    void SetNFieldLabel(const char* label);
    // The program's table of named store addresses; not copied, so it must outlive its use.
    void SetPMDefs(PPMENTRY entries, UINT count);
    // Datum of the store region that dumped addresses are relative to (0xFFFFFFFF: none).
    void SetG3Datum(UINT datum);
    // The program's symbol table for naming addresses; null prints numbers only.
    void SetSymbols(CSymbolTable* symbols);
    // Level-0 column titles of a control-word dump: the N-field label, then the m_Print* columns.
    void PrintControlWordHeader();

    // One line: the length, then each byte as itself or, below 32, in hex.
    void LogBlock(const BYTE* p, UINT n);
    // Header line, then 16 bytes a line in hex and as characters.
    void TraceBuffer(const BYTE* buf, int n, const char* label);
    unsigned char prtchar(unsigned char c);
    void PrintHostInfo();
    // Writes a time stamp when stamping is on and a line has just begun.
    void TimeStamp();

    // The format of a message with the interval prefix: the elapsed
    // seconds.milliseconds, left-aligned in nine columns, a space, then fmt;
    // cut to outSize - 1 characters.
    static void IntervalFormat(char* out, size_t outSize, UINT elapsedMs, const char* fmt);

    bool m_NoSymbols;
    bool m_CRLF;
    bool m_EBM;
    bool m_EXEC;
    bool m_Unsuffixed;
    CRITICAL_SECTION m_cs;
    int m_TimeStampDivisor;
    bool m_Use_uSec;
    bool m_TimeStamped;
    bool m_TimeStampAllowed;
    bool m_UseTimer;
    UINT m_TimerBase;
    UINT m_SizeLimit;
    bool m_SizeLimiting;
    bool m_Open;
    UINT m_Level;
    FILE* m_F;
    UINT m_PrintLevel;
    UINT m_G3Datum;
    PPMENTRY m_pPMEntries;
    UINT m_nPMEntries;
    CSymbolTable* m_pSymbols;
    char m_Nfield[16];
    bool m_PrintOctal;
    bool m_PrintChars;
    bool m_PrintDecimal;
    bool m_PrintInst;
    bool m_Flush;
    bool m_Limiting;
    bool m_UseDumpLabels;
    TCHAR m_Filename[512];
    bool m_Trace;

private:
    void WriteText(const char* text);
    void CloseIfOverLimit();
};

// Milliseconds between successive calls.
class CLogTimer {
public:
    CLogTimer();
    virtual ~CLogTimer();
    UINT GetInterval();
    // The interval ending at the given tick; correct across the 32-bit wrap.
    UINT IntervalTo(UINT now);

    UINT m_IntStart;
};

// Mnemonic tables for printing words as orders.
extern const char* const ONames[128];   // by function code
extern const char* const brns[8];       // BRN variants by X field
extern const char* const shifts[16];    // by shift direction and type
extern const char* const S1Names[3];
extern const char* const S2Names[3];
// Private copies of ONames, with the extracodes 96..127 as octal numbers;
// refilled by every CLogger constructor.
extern char* ENames[128];
