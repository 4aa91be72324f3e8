// The panel's decisions that need no window: the command line, the octal
// entries, output targets, titles, messages and what a block met again means.
#include <cstring>
#include <functional>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "dek-panel-logic.h"
#include "peri-enums.h"
#include "peri-names.h"

namespace {

TEST(ParseDekArgs, ReadsWholeDecimalsAndRefusesAnythingElse)
{
    const std::pair<std::vector<const char*>, const char*> cases[] = {
        {{"-M5", "-S7"}, "5 7"}, {{"-M", "5", "-S", "7"}, "5 7"}, {{"-S", "07", "-M", "005"}, "5 7"},
        {{"-m", "-M", "1", "-s", "-M2", "stray", "-S", "3", "-S4"}, "2 4 min started"},  // later ones win
        {{"-M4294967295", "-S", "0"}, "4294967295 0"},
        // Whole numbers wider than 32 bits keep their low 32 bits.
        {{"-M4294967301", "-S", "99999999999"}, "5 1215752191"}, {{"-M", "4294967296"}, "0 0"},
        {{"-ms"}, "refused"}, {{"-M", "5", "-x"}, "refused"}, {{"-"}, "refused"}, {{"--M", "5"}, "refused"},
        {{"-m5"}, "refused"}, {{"-Mx"}, "refused"}, {{"-M=5"}, "refused"}, {{"-M", "5x"}, "refused"},
        {{"-M", "-5"}, "refused"}, {{"-M", " 5"}, "refused"}, {{"-M", "0x10"}, "refused"}, {{"-S"}, "refused"},
    };
    for (const auto& [args, parsed] : cases) {
        wxArrayString argv;
        argv.push_back("dek");
        for (const char* s : args)
            argv.push_back(s);
        DekArgs a;
        const bool ok = ParseDekArgs(argv, a);
        const wxString got = wxString::Format("%u %u%s%s", a.cpu, a.si, a.startMin ? " min" : "", a.started ? " started" : "");
        EXPECT_EQ(ok ? got : "refused", parsed) << wxJoin(argv, ' ');
    }
}

TEST(PanelTitle, NamesTheUnitAndTheStateOfItsHost)
{
    EXPECT_EQ(PanelTitle(5, "CR1911/1", DekHostState::Attached), "U05 - CR1911/1");
    EXPECT_EQ(PanelTitle(123, "LP1933/1", DekHostState::Waiting), "U123 - LP1933/1 (waiting for the host)");
    EXPECT_EQ(PanelTitle(5, "CR1911/1", DekHostState::Gone), "U05 - CR1911/1 (host gone)");
}

TEST(FatalMessageLine, IsOneLineWithItsBreaksAsSemicolons)
{
    EXPECT_EQ(FatalMessageLine("Error: no machine number given (-M nnn)"),
              "dek: Error: no machine number given (-M nnn)");
    EXPECT_EQ(FatalMessageLine("Shared area version mismatch\nExpected 0x89000071"),
              "dek: Shared area version mismatch; Expected 0x89000071");
    EXPECT_EQ(FatalMessageLine("a\r\nb\n\nc\r"), "dek: a; b; ; c; ");
}

TEST(JudgeReattach, ResumesOnlyTheSamePeripheralInAUsableBlock)
{
    const DekPeripheral was{PT_CR, "CR1911/1", PT_NONE};
    const size_t whole = sizeof(S_SHAREBASE);
    const std::tuple<const char*, std::function<void(S_SHAREBASE&)>, DekReattach> cases[] = {
        {"the same", [](S_SHAREBASE&) {}, DekReattach::Resume},
        {"another operator number", [](S_SHAREBASE& b) { b.m_OpsNo = 12; }, DekReattach::Resume},
        {"another model", [](S_SHAREBASE& b) { strcpy(b.m_Periph, "CR1912/1"); }, DekReattach::Changed},
        {"another device code", [](S_SHAREBASE& b) { b.m_DevTyp = PT_SC7930; }, DekReattach::Changed},
        {"another type", [](S_SHAREBASE& b) { b.m_PeriType = PT_LP; }, DekReattach::Changed},
        {"a type without a panel", [](S_SHAREBASE& b) { b.m_PeriType = PT_MT; }, DekReattach::Unsupported},
        {"another version", [](S_SHAREBASE& b) { b.m_Version = 0x89000070; }, DekReattach::Refuse},
        {"a size beyond the object", [=](S_SHAREBASE& b) { b.m_SharedAreaSize = whole + 1; }, DekReattach::Refuse},
    };
    for (const auto& [what, change, verdict] : cases) {
        auto now = std::make_unique<S_SHAREBASE>();
        std::tie(now->m_Version, now->m_SharedAreaSize, now->m_PeriType) = std::make_tuple(SHAREBASE_VERSION, whole, PT_CR);
        strcpy(now->m_Periph, "CR1911/1");
        change(*now);
        EXPECT_EQ(JudgeReattach(was, *now, whole), verdict) << what;
    }
}

TEST(OutputChoice, DeviceNamesAndPathsUnderTheRoot)
{
    // No rel: unusable.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/srv/root/DEV_PRN", "DEV_PRN", "PRN"}, {"/x/Dev_tp1.a.b", "Dev_tp1.a.b", "tp1:"}, {"/x/dev_", "dev_", ""},
        {"/srv/rootx", "rootx", ""}, {"/srv/root", "root", ""}, {"/srv/root/", "", ""}};
    for (const auto& [path, name, rel] : cases) {
        const DekOutputTarget t = MapOutputChoice(path, name, "/srv/root");
        EXPECT_EQ(t.usable, *rel != '\0') << path;
        EXPECT_EQ(t.usable ? t.rel : wxString(), rel) << path;
    }
    // A root given with a trailing separator, the root "/" and no root.
    EXPECT_EQ(MapOutputChoice("/srv/root/a/b", "b", "/srv/root/").rel, "a/b");
    EXPECT_EQ(MapOutputChoice("/a/b", "b", "/").rel, "a/b");
    EXPECT_FALSE(MapOutputChoice("/a/b", "b", "").usable);
    EXPECT_EQ(MapOutputChoice("/srv/root/data/out.tpe", "out.tpe", "/srv/root").shown, "/srv/root/data/out.tpe");

    // After a slash first, then after a backslash.
    EXPECT_EQ(LastPathComponent("/a/b\\c") + LastPathComponent("c:\\x\\y") + LastPathComponent("bare"), "b\\cybare");
}

TEST(OctalEntry, ReadsLikeScanfOctalAndRefusesMoreThan32Bits)
{
    const std::pair<const char*, UINT> cases[] = {
        {"777", 511},   {"", 0},      {" 12x", 10},          {"9", 0},  {"\t017", 15}, {"37777777777", 0xFFFFFFFFu},
        {"00000000000000000001", 1}, {"+7", 7}, {"-1", 0xFFFFFFFFu}, {"x7", 0}};
    for (const auto& [text, value] : cases) {
        UINT v = 12345;
        EXPECT_TRUE(ScanOctalEntry(text, v)) << text;
        EXPECT_EQ(v, value) << text;
    }
    UINT v = 0;
    EXPECT_FALSE(ScanOctalEntry("77777777777", v));
}

TEST(ClaimedSize, MustCoverABlockAndNotExceedTheObject)
{
    const size_t block = sizeof(S_SHAREBASE);
    EXPECT_TRUE(ClaimedSizeFits(block, block) && ClaimedSizeFits(block, 2 * block));
    EXPECT_FALSE(ClaimedSizeFits(block - 1, block) || ClaimedSizeFits(block + 1, block));
    EXPECT_FALSE(ClaimedSizeFits(0xFFFFFFFFu, 0xFFFFFFFEu));
}

}  // namespace
