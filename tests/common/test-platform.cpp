// Platform functions of the common code.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "logutils.h"

namespace {

TEST(Platform, TickCountWrapsIn32BitsAndTheClocksMoveForward)
{
    // 2^32 ms after the epoch the count is back at 0.
    EXPECT_EQ(TickCountFrom(4294967, 296000), 0u);
    UINT before = TickCountFrom(4294967, 290000);  // 6 ms before the wrap
    UINT after = TickCountFrom(4294967, 300000);   // 4 ms after it
    EXPECT_GT(before, after);
    EXPECT_EQ(after - before, 10u);
    EXPECT_EQ(TickCountFrom(1, 999999), 1999u);  // microseconds truncate

    // GetTickCount itself is timed by the logger's interval timer.
    GetTickCountDiff();
    Sleep(5);
    UINT d = GetTickCountDiff();
    EXPECT_GE(d, 4u);
    EXPECT_LT(d, 5000u);

    LARGE_INTEGER c1, c2;
    EXPECT_EQ(QueryPerformanceCounter(&c1), 1);
    Sleep(2);
    QueryPerformanceCounter(&c2);
    EXPECT_GE(c2.QuadPart - c1.QuadPart, 1000000);  // nanoseconds
    EXPECT_GE(GetNumProcs(), 1u);
    EXPECT_EQ(GetProcSpeed(), 0.0);
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/dek-platform-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override
    {
        rmdir((dir + "/made").c_str());
        rmdir(dir.c_str());
    }
    std::string dir;
};

TEST_F(TempDir, CreateDirectoryAndGetCurrentDirectory)
{
    std::string made = dir + "/made";
    EXPECT_EQ(CreateDirectory(made.c_str(), nullptr), 1);
    EXPECT_EQ(CreateDirectory(made.c_str(), nullptr), 1);  // already there
    EXPECT_EQ(CreateDirectory((dir + "/missing/child").c_str(), nullptr), 0);

    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);

    char buf[512];
    UINT n = GetCurrentDirectory(sizeof buf, buf);
    EXPECT_EQ(n, dir.size());
    EXPECT_EQ(std::string(buf), dir);

    char small[8];
    memset(small, '#', sizeof small);
    n = GetCurrentDirectory(sizeof small, small);
    EXPECT_EQ(n, 7u);
    EXPECT_EQ(std::string(small), dir.substr(0, 7));

    ASSERT_EQ(chdir(saved), 0);
}

}  // namespace
