// The pieces of the benchmarks that decide something: the baseline's command
// line, the quantiles reported, and the blocks the benchmarks publish.
#include <gtest/gtest.h>

#include <unistd.h>

#include "baseline-args.h"
#include "bench-block.h"
#include "bench-stats.h"
#include "mkshareditem.h"

namespace {

bool Parse(std::vector<std::string> args, BaselineArgs* out, std::string* error)
{
    return ParseBaselineArgs(args, out, error);
}

TEST(BaselineArgs, TakesThePanelsOptionsInBothSpellings)
{
    BaselineArgs a;
    std::string error;
    ASSERT_TRUE(Parse({"-M", "12", "-S7", "-s", "-m", "--size", "640x140"}, &a, &error)) << error;
    EXPECT_EQ(a.machine, 12u);
    EXPECT_EQ(a.channel, 7u);
    EXPECT_TRUE(a.started);
    EXPECT_TRUE(a.startMin);
    EXPECT_EQ(a.width, 640);
    EXPECT_EQ(a.height, 140);

    BaselineArgs b;
    ASSERT_TRUE(Parse({"-M4294967295", "-S", "0"}, &b, &error)) << error;
    EXPECT_EQ(b.machine, 4294967295u);
    EXPECT_FALSE(b.started);
    EXPECT_FALSE(b.startMin);
}

TEST(BaselineArgs, RefusesWhatItCannotUseWithAReason)
{
    const std::vector<std::vector<std::string>> bad = {
        {"-M"},           {"-M", "x1"},        {"-M", "4294967296"}, {"-S", "-1"},
        {"--size"},       {"--size", "640"},   {"--size", "0x10"},   {"--size", "640x"},
        {"--size", "x9"}, {"--size", "10001x5"}, {"-q"},             {"extra"},
    };
    for (const auto& args : bad) {
        BaselineArgs a;
        std::string error;
        EXPECT_FALSE(Parse(args, &a, &error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(Quantile, NearestRankOverUnsortedSamples)
{
    std::vector<double> s;
    for (int i = 100; i >= 1; --i)
        s.push_back(i);
    EXPECT_EQ(Quantile(s, 0.50), 50);
    EXPECT_EQ(Quantile(s, 0.99), 99);
    EXPECT_EQ(Quantile(s, 1.0), 100);
    EXPECT_EQ(Quantile(s, 0.0), 1);
    EXPECT_EQ(Quantile({3, 1, 2}, 0.5), 2);
    EXPECT_EQ(Quantile({7}, 0.99), 7);
    EXPECT_EQ(Quantile({}, 0.5), 0);
    // One slow sample in a hundred is the p99, not beyond it.
    std::vector<double> tail(99, 1.0);
    tail.push_back(40.0);
    EXPECT_EQ(Quantile(tail, 0.99), 1.0);
    EXPECT_EQ(Quantile(tail, 1.0), 40.0);
}

TEST(BenchBlock, IsAcceptedByThePanelsOpenAndRemovedWithItsOwner)
{
    const UINT machine = 400000u + static_cast<UINT>(getpid() % 100000);
    char name[64];
    ASSERT_TRUE(SAUtils::MakeSharedAreaname(machine, 9, name, sizeof name));
    {
        BenchBlock block(machine, 9);
        ASSERT_TRUE(block.Ok());
        block.Block().m_OpsNo = 42;
        size_t mapped = 0;
        PSHAREBASE p = SAUtils::OpenPeripheralSharedArea(name, &mapped);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->m_OpsNo, 42u);
        SAUtils::ReleaseSharedArea(p, mapped);

        BenchBlock again(machine, 9);  // the name is taken
        EXPECT_FALSE(again.Ok());
    }
    EXPECT_EQ(SAUtils::OpenPeripheralSharedArea(name), nullptr);
}

}  // namespace
