// The diagnostic logger and its stopwatch.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/utsname.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "logutils.h"

// The logger's header must not bring in order-code or character names.
enum ProgramWords { NUL, MODE, EXIT };

namespace {

const std::string kBanner = "\n\f" + std::string(40, '^') + "\n\n";

std::string TempFile()
{
    char tmpl[] = "/tmp/dek-logger-XXXXXX";
    int fd = mkstemp(tmpl);
    EXPECT_GE(fd, 0);
    close(fd);
    return tmpl;
}

std::string ReadFile(const std::string& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

class LoggerFile : public ::testing::Test {
protected:
    void SetUp() override { path = TempFile(); }
    void TearDown() override { unlink(path.c_str()); }

    std::string Contents() const { return ReadFile(path); }
    void OpenLog() { ASSERT_TRUE(log.Open(path.c_str(), false)); }
    // What the logger wrote, once it is closed and its banner checked off.
    std::string ClosedText(CLogger& log) const
    {
        log.Close();
        std::string text = Contents();
        EXPECT_GE(text.size(), kBanner.size());
        if (text.size() < kBanner.size())
            return text;
        EXPECT_EQ(text.substr(text.size() - kBanner.size()), kBanner);
        return text.substr(0, text.size() - kBanner.size());
    }

    std::string path;
    CLogger log;
};

// A number right-aligned in 12 columns and HH:MM:SS; the number to *value.
const char* const kStamp = "( *)([0-9]+) [0-2][0-9]:[0-5][0-9]:[0-6][0-9] ";

bool StampWellFormed(const std::smatch& m, size_t first, unsigned long long* value)
{
    std::string pad = m[first].str();
    std::string digits = m[first + 1].str();
    if (value)
        *value = std::stoull(digits);
    size_t width = pad.size() + digits.size();
    return digits.size() >= 12 ? pad.empty() : width == 12;
}

TEST_F(LoggerFile, OpenCreatesAppendsOrEmptiesAndReportsFailure)
{
    EXPECT_FALSE(log.Open(true));  // no file name yet
    EXPECT_FALSE(log.Open("/nonexistent-dir-dek/x.log", false));
    EXPECT_FALSE(log.IsOpen());

    {
        std::ofstream out(path, std::ios::binary);
        out << "old\n";
    }
    log.SetFilename(path.c_str());
    ASSERT_TRUE(log.Open(true));
    log.Log("new\n");
    EXPECT_EQ(ClosedText(log), "old\nnew\n");

    ASSERT_TRUE(log.Open(path.c_str(), false));
    log.Log("fresh\n");
    EXPECT_EQ(ClosedText(log), "fresh\n");

    ASSERT_TRUE(log.Open(path.c_str(), true));
    log.Log("before\n");
    log.Empty();
    log.Log("after\n");
    EXPECT_EQ(ClosedText(log), "after\n");
}

TEST_F(LoggerFile, ReopeningReplacesTheStreamWithoutLosingText)
{
    const std::string other = TempFile();
    ASSERT_TRUE(log.Open(other.c_str(), false));
    log.Log("first file\n");
    ASSERT_TRUE(log.Open(path.c_str(), false));
    log.Log("second file\n");
    // A failed open leaves the current file in use.
    EXPECT_FALSE(log.Open("/nonexistent-dir-dek/x.log", true));
    log.Log("still second\n");
    EXPECT_EQ(ClosedText(log), "second file\nstill second\n");

    EXPECT_EQ(ReadFile(other), "first file\n");
    unlink(other.c_str());

    // Reopened for appending, the old stream's buffer is kept.
    ASSERT_TRUE(log.Open(path.c_str(), false));
    log.Log("one\n");
    ASSERT_TRUE(log.Open(path.c_str(), true));
    log.Log("two\n");
    EXPECT_EQ(ClosedText(log), "one\ntwo\n");
}

TEST_F(LoggerFile, BannerIsWrittenOnceOnCloseOrDestructionAndClosedLoggersWriteNothing)
{
    log.Log(LG_EMERG, "dropped\n");
    log.Log("dropped\n");
    log.Log();
    log.LogBlock(reinterpret_cast<const BYTE*>("ab"), 2);
    log.TraceBuffer(reinterpret_cast<const BYTE*>("ab"), 2, nullptr);
    log.SetLevel(3);
    log.Close();
    EXPECT_EQ(Contents(), "");

    ASSERT_TRUE(log.Open(path.c_str(), false));
    log.Log("text");
    log.Close();
    log.Close();
    log.Log(LG_EMERG, "after close\n");
    EXPECT_EQ(Contents(), "text" + kBanner);

    {
        CLogger dying;
        ASSERT_TRUE(dying.Open(path.c_str(), false));
        dying.Log("bye\n");
    }
    EXPECT_EQ(Contents(), "bye\n" + kBanner);
}

TEST_F(LoggerFile, LevelFiltersMessages)
{
    OpenLog();
    log.Log(LG_EMERG, "a\n");
    log.Log(LG_ALERT, "b\n");
    log.Log(LG_DEBUG, "c\n");
    log.SetLevel(9);  // refused; the level in force is reported
    EXPECT_EQ(log.GetLevel(), 0u);
    log.SetLevel(7);
    log.Log(LG_DEBUG, "d %d\n", 4);
    log.Log(LG_DEBUG | LG_NOINTERVAL, "e\n");  // bit 8 is not part of the level
    log.SetTraceLevel(3);
    log.Log(LG_ERR, "f\n");
    log.Log(LG_WARN, "g\n");
    log.Log(8 + LG_ERR, "h\n");
    log.Log("plain ignores the level\n");
    EXPECT_EQ(ClosedText(log),
              "a\n"
              "Log level now 0\n"
              "Log level now 7\n"
              "d 4\n"
              "e\n"
              "Log level now 3\n"
              "f\n"
              "h\n"
              "plain ignores the level\n");
}

TEST_F(LoggerFile, TimeStampsBeginLinesOnly)
{
    OpenLog();
    log.Log(LG_EMERG, "unstamped\n");
    log.SetTimeStamping(true);
    log.Log(LG_EMERG, "part one, ");
    log.Log(LG_EMERG, "part two\n");
    log.Log("plain\n");
    log.Log(LG_EMERG, "partial");
    log.Log();
    log.Log(LG_EMERG, "after newline\n");
    log.SetTimeStamping(false);
    log.Log(LG_EMERG, "off again\n");
    std::string text = ClosedText(log);

    std::string s(kStamp);
    std::regex shape("unstamped\n" +
                     s + "\nTimestamping on using divisor of 1000\n" +
                     s + "part one, part two\n" +
                     s + "plain\n" +
                     s + "partial\n" +
                     s + "after newline\n"
                     "\nNo Timestamping\n"
                     "off again\n");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(text, m, shape)) << text;
    for (size_t group = 1; group < m.size(); group += 2)
        EXPECT_TRUE(StampWellFormed(m, group, nullptr)) << text;
}

TEST_F(LoggerFile, StampNumberComesFromTheCounterOrTheTick)
{
    // Counter microseconds, nanoseconds for divisor 0, or the tick.
    const struct {
        int divisor;
        bool counter;
    } cases[] = {{1000, true}, {0, true}, {1000, false}};
    for (const auto& c : cases) {
        LARGE_INTEGER before, after;
        QueryPerformanceCounter(&before);
        UINT tickBefore = GetTickCount();
        ASSERT_TRUE(log.Open(path.c_str(), false));
        log.m_TimeStamped = true;
        log.m_TimeStampDivisor = c.divisor;
        log.UseHighPrecisionTimestamp(c.counter);
        log.Log(LG_EMERG, "x\n");
        std::string text = ClosedText(log);
        QueryPerformanceCounter(&after);
        UINT tickAfter = GetTickCount();
        std::smatch m;
        unsigned long long value = 0, scale = c.divisor ? c.divisor : 1;
        ASSERT_TRUE(std::regex_match(text, m, std::regex(std::string(kStamp) + "x\n"))) << text;
        EXPECT_TRUE(StampWellFormed(m, 1, &value)) << text;
        if (c.counter)
            EXPECT_TRUE(value >= before.QuadPart / scale && value <= after.QuadPart / scale) << c.divisor;
        else
            EXPECT_LE(static_cast<UINT>(value) - tickBefore, tickAfter - tickBefore);
    }
}

TEST_F(LoggerFile, MessagesAreCutAt999Characters)
{
    OpenLog();
    log.m_TimeStamped = true;
    std::string longText(2000, 'y');
    log.Log(LG_EMERG, "%s\n", longText.c_str());
    // The cut took the newline, so this continues the line unstamped.
    log.Log("%s", longText.c_str());
    std::string text = ClosedText(log);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(text, m, std::regex(std::string("^") + kStamp))) << text;
    EXPECT_EQ(text.substr(m.length(0)), std::string(1998, 'y'));
}

TEST_F(LoggerFile, IntervalPrefixShowsSecondsAndMilliseconds)
{
    char out[1000];
    const std::pair<UINT, const char*> formats[] = {
        {61234, "61.234    x"}, {5, "0.005     x"}, {4294967295u, "4294967.295 x"}};
    for (const auto& f : formats) {
        CLogger::IntervalFormat(out, sizeof out, f.first, "x");
        EXPECT_STREQ(out, f.second);
    }
    std::string longFmt(2000, 'z');
    CLogger::IntervalFormat(out, sizeof out, 0, longFmt.c_str());
    EXPECT_EQ(strlen(out), 999u);

    OpenLog();
    log.m_UseTimer = true;
    log.m_TimerBase = GetTickCount() - 2500;
    log.Log(LG_EMERG, "first %d\n", 1);
    log.Log(LG_EMERG | LG_NOINTERVAL, "bare\n");
    log.Log(LG_EMERG, "second\n");
    log.Log("plain\n");
    std::string text = ClosedText(log);
    std::regex shape("2\\.5[0-9][0-9]     first 1\n"
                     "bare\n"
                     "0\\.[0-9][0-9][0-9]     second\n"
                     "plain\n");
    EXPECT_TRUE(std::regex_match(text, shape)) << text;
}

TEST_F(LoggerFile, SizeLimitClosesTheFileWithoutBanner)
{
    OpenLog();
    log.SetSizeLimit(100, true);
    const std::string line = "0123456789012345678901234567\n";  // 29 bytes
    for (int i = 0; i < 6; ++i)
        log.Log(LG_EMERG, "%s", line.c_str());
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.GetFile(), nullptr);
    log.Close();
    EXPECT_EQ(Contents(), line + line + line + line);  // 116 > 100

    // A filtered message still triggers the check.
    ASSERT_TRUE(log.Open(path.c_str(), false));
    log.SetSizeLimit(100, false);
    log.Log(LG_EMERG, "%s", std::string(50, 'q').c_str());
    log.SetSizeLimit(10, true);
    EXPECT_TRUE(log.IsOpen());
    log.Log(LG_DEBUG, "filtered\n");
    EXPECT_FALSE(log.IsOpen());
    log.Log(LG_EMERG, "dropped\n");
    EXPECT_EQ(Contents(), std::string(50, 'q'));
}

TEST_F(LoggerFile, FlushMakesEachMessageVisibleAtOnce)
{
    OpenLog();
    log.Log(LG_EMERG, "zero\n");
    log.Flush();
    EXPECT_EQ(Contents(), "zero\n");
    log.SetFlush(true);
    log.Log(LG_EMERG, "one\n");
    EXPECT_EQ(Contents(), "zero\none\n");
    log.Log("two\n");
    EXPECT_EQ(Contents(), "zero\none\ntwo\n");
    log.Close();
    log.Flush();  // closed: nothing to push
}

TEST_F(LoggerFile, LogBlockShowsControlBytesInHexAndIsCutLikeAnyMessage)
{
    OpenLog();
    const BYTE two[] = {0x0A, 'A'};
    log.LogBlock(two, 2);
    log.LogBlock(two, 0);
    const BYTE mixed[] = {0x00, 0x1F, ' ', 0xC0};
    log.LogBlock(mixed, 4);
    EXPECT_EQ(ClosedText(log),
              ">>Net len =    2 >> 0a A  \n"
              ">>Net len =    4 >> 00 1f " "   " "\xC0  \n");

    std::vector<BYTE> block(400, 'k');
    ASSERT_TRUE(log.Open(path.c_str(), false));
    log.LogBlock(block.data(), 400);
    std::string cut = ClosedText(log);
    EXPECT_EQ(cut.size(), 999u);
    EXPECT_EQ(cut.substr(0, 23), ">>Net len =  400 >> k  ");
    EXPECT_EQ(cut.find('\n'), std::string::npos);
}

TEST_F(LoggerFile, TraceBufferDumpsSixteenBytesALine)
{
    const BYTE bytes[] = "ABCDEFGHIJKLMNOPQRST\x01";
    const std::string full = "0000: 41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 | ABCDEFGHIJKLMNOP\n";
    const struct {
        int from, n;
        const char* label;
        std::string dump;
    } cases[] = {
        {0, 0, nullptr, "Buffer - nChars =   0\n"},
        {0, -3, "neg", "neg - nChars = 4294967293\n"},
        {0, 16, "rx", "rx - nChars =  16\n" + full},
        {0, 20, nullptr, "Buffer - nChars =  20\n" + full + "0010: 51 52 53 54 | QRST\n"},
        {19, 2, "x", "x - nChars =   2\n0000: 54 01 | T.\n"},  // unprintable bytes show as dots
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(log.Open(path.c_str(), false));
        log.TraceBuffer(bytes + c.from, c.n, c.label);
        EXPECT_EQ(ClosedText(log), c.dump) << c.n;
    }
    EXPECT_EQ(log.prtchar(0x7F), '.');
    EXPECT_EQ(log.prtchar(0xA3), '.');  // the C locale
}

TEST_F(LoggerFile, ControlWordHeaderAndHostInfo)
{
    OpenLog();
    log.PrintControlWordHeader();
    log.SetNFieldLabel("Control area address");  // cut to 15 characters
    log.m_PrintDecimal = false;
    log.m_PrintInst = false;
    log.PrintControlWordHeader();
    EXPECT_EQ(ClosedText(log),
              "N               Octal    Decimal   Chars Order\n"
              "Control area ad Octal    Chars\n");

    struct utsname host;
    ASSERT_EQ(uname(&host), 0);
    OpenLog();
    log.PrintHostInfo();
    EXPECT_EQ(ClosedText(log), std::string("OS: ") + host.sysname + " " + host.release + " " +
                                   host.machine + "\n\n");
}

// Levelled messages, stamp and text, are written under the logger's lock.
TEST_F(LoggerFile, LevelledMessagesWaitForTheLoggersLock)
{
    OpenLog();
    log.SetFlush(true);
    log.m_TimeStamped = true;
    std::atomic<bool> done(false);
    pthread_mutex_lock(&log.m_cs);
    std::thread writer([this, &done] {
        log.Log(LG_EMERG, "waited\n");
        done = true;
    });
    Sleep(50);
    EXPECT_FALSE(done.load());
    EXPECT_EQ(Contents(), "");
    pthread_mutex_unlock(&log.m_cs);
    writer.join();
    EXPECT_TRUE(std::regex_match(Contents(), std::regex(std::string(kStamp) + "waited\n"))) << Contents();
}

TEST(ENamesTable, FilledWithPrivateCopiesAndOctalExtracodes)
{
    for (int i = 0; i < 50; ++i)
        CLogger refill;  // each construction refills; old copies are freed
    CLogger log;
    for (int code = 0; code < 96; ++code) {
        ASSERT_NE(ENames[code], nullptr);
        EXPECT_NE(ENames[code], ONames[code]);
        EXPECT_STREQ(ENames[code], ONames[code]) << code;
    }
    char octal[8];
    // Including SUSBY (0150), which prints as its number here.
    for (int code = 96; code < 128; ++code) {
        snprintf(octal, sizeof octal, "'%03o", code);
        EXPECT_STREQ(ENames[code], octal);
    }
    ENames[0][0] = 'l';  // writable copies; the printed names are untouched
    EXPECT_STREQ(ONames[0], "LDX");

    // Neither a program's own text nor a copy taken out is the logger's to free.
    char own[] = "MINE";
    char* taken = ENames[5];
    ENames[5] = own;
    CLogger next;
    EXPECT_STREQ(ENames[5], "ADXC");
    EXPECT_STREQ(own, "MINE");
    EXPECT_STREQ(taken, "ADXC");
    free(taken);
}

TEST(LogTimer, IntervalsSurviveTheTickWrap)
{
    CLogTimer timer;
    timer.IntervalTo(0xFFFFFFF0u);
    EXPECT_EQ(timer.IntervalTo(0x10u), 0x20u);
    EXPECT_EQ(timer.IntervalTo(0x15u), 5u);
    EXPECT_EQ(timer.IntervalTo(0x15u), 0u);
}

}  // namespace
