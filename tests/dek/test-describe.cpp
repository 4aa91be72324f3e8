// The texts of the selection list, worked out from a block without a display.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "dek-enumdlg.h"
#include "mkshareditem.h"
#include "peri-enums.h"
#include "peri-names.h"

namespace {

std::unique_ptr<S_SHAREBASE> NewBlock(BYTE periType, const char* periph = "DEV", const char* root = "/emu")
{
    std::unique_ptr<S_SHAREBASE> b(new S_SHAREBASE());
    b->m_Version = SHAREBASE_VERSION;
    b->m_SharedAreaSize = sizeof(S_SHAREBASE);
    b->m_PeriType = periType;
    b->m_OpsNo = 12;
    SAUtils::StoreFieldText(b->m_Periph, periph);
    SAUtils::StoreFieldText(b->m_SystemRoot, root);
    return b;
}

// The peripheral row of a block that must be listed with no line rows.
EnumRow OnlyRow(const S_SHAREBASE& b, UINT chan = 5)
{
    std::vector<EnumRow> rows = DescribeBlock(b, chan);
    EXPECT_EQ(rows.size(), 1u);
    return rows.empty() ? EnumRow() : rows[0];
}

// The union's records overlay one another, so one block serves one case.
TEST(DescribeBlock, DetailTextsOfEachType)
{
    using Fill = std::function<void(S_SHAREBASE&)>;
    auto name = [](const char* text) -> Fill {
        return [text](S_SHAREBASE& b) { SAUtils::StoreFieldText(b.m_U.m_cr.m_Filename, text); };
    };
    auto units = [](UINT n, const char* dir) -> Fill {
        return [=](S_SHAREBASE& b) {
            b.m_U.m_ed.m_nTransports = n;
            SAUtils::StoreFieldText(b.m_U.m_ed.m_szBaseDir, dir);
        };
    };
    const struct {
        BYTE type;
        Fill fill;
        const char *mnemonic, *misc, *path;
    } cases[] = {
        {PT_TP, [](S_SHAREBASE& b) { SAUtils::StoreFieldText(b.m_U.m_tp.m_Filename, "out/tape1"); }, "*TP", "",
         "/emu + out/tape1"},
        {PT_CR, name("/data/deck"), "*CR", "", "/emu + /data/deck"},
        {PT_CR, name(""), "*CR", "", "/emu + "},
        {PT_CP, [](S_SHAREBASE& b) { SAUtils::StoreFieldText(b.m_U.m_cp.m_Filename, "punched"); }, "*CP", "",
         "/emu + punched"},
        {PT_GP, [](S_SHAREBASE& b) { SAUtils::StoreFieldText(b.m_U.m_gp.m_Filename, "plot.out"); }, "*GP", "",
         "/emu + plot.out"},
        {PT_GP, [](S_SHAREBASE& b) { SAUtils::StoreFieldText(b.m_SystemRoot, ""); }, "*GP", "", " + "},
        {PT_MT,
         [](S_SHAREBASE& b) { b.m_U.m_mt.m_nTransports = 6; SAUtils::StoreFieldText(b.m_U.m_mt.m_szBaseDir, "/mt"); }, "*MT", "6 transports", "/mt/tapes"},
        {PT_ED, units(9, "/d"), "*ED", "9 transports", "/d/discs"},
        {PT_ES, units(1, "/e"), "*ES", "1 transports", "/e/discs"},
        {PT_FD, units(4294967295u, ""), "*FD", "4294967295 transports", "/fds"},
        {PT_DR, [](S_SHAREBASE& b) { b.m_U.m_dr.m_nDrums = 2; }, "*DR", "2 transports", ""},
        {PT_HD, name(""), "*HD", "0 transports", ""},
        {PT_CC, name(""), "*CC", "7903 Comm's Processor", ""},
        // Types with nothing more to say ignore whatever their record holds.
        {PT_LP, name("lp.out"), "*LP", "", ""},
        {PT_GD, name("x"), "*GD", "", ""},
        {PT_PB, name("x"), "*PB", "", ""},
    };
    for (const auto& c : cases) {
        auto b = NewBlock(c.type);
        c.fill(*b);
        const EnumRow r = OnlyRow(*b);
        EXPECT_EQ(std::vector<std::string>({r.type, r.misc, r.path, r.path2}),
                  std::vector<std::string>({c.mnemonic, c.misc, c.path, ""}));
    }
    auto b = NewBlock(PT_LP, "LP1933/2");
    b->m_OpsNo = 4294967295u;
    const EnumRow r = OnlyRow(*b, 17);
    EXPECT_EQ(std::vector<std::string>({std::to_string(r.chan), r.si, r.ops, r.desc}),
              std::vector<std::string>({"17", "17", "4294967295", "LP1933/2"}));
}

TEST(DescribeBlock, ReaderPunchShowsBothPathsOnlyWhenNamedExactly)
{
    auto rp = NewBlock(PT_TR, "RP2602");
    SAUtils::StoreFieldText(rp->m_U.m_rp.m_FilenameTR, "in.pt");
    SAUtils::StoreFieldText(rp->m_U.m_rp.m_FilenameTP, "out.pt");
    EnumRow r = OnlyRow(*rp);
    EXPECT_EQ(r.type + r.path + r.path2, "*TR/emu + in.pt/emu + out.pt");

    // Other reader names read the reader record, which overlays the same bytes.
    for (const char* name : {"TR1915/1", "RP2601", "RP260", "RP26020", "rp2602"}) {
        auto tr = NewBlock(PT_TR, name);
        SAUtils::StoreFieldText(tr->m_U.m_cr.m_Filename, "reader.pt");
        r = OnlyRow(*tr);
        EXPECT_EQ(r.path + "|" + r.path2, "/emu + reader.pt|") << name;
    }
}

TEST(DescribeBlock, BytesThatAreNotPrintableInTheLocaleShowAsQuestionMarks)
{
    const char* previous = setlocale(LC_CTYPE, nullptr);
    const std::string saved = previous ? previous : "C";
    ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    // Printable text of the locale stays; control characters (of one or two bytes), bytes that are not
    // UTF-8 and a character cut short do not.
    const std::pair<const char*, std::string> cases[] = {{"caf\xc3\xa9", "caf\xc3\xa9"}, {"a\x01\tb\x7f", "a??b?"},
                                                         {"x\xe9y", "x?y"}, {"\xc2\x85z", "??z"}, {"end\xc3", "end?"}};
    for (const auto& [text, shown] : cases) {
        auto rp = NewBlock(PT_TR, "RP2602", text);
        SAUtils::StoreFieldText(rp->m_U.m_rp.m_FilenameTR, text);
        SAUtils::StoreFieldText(rp->m_U.m_rp.m_FilenameTP, text);
        const EnumRow r = OnlyRow(*rp);
        EXPECT_EQ(r.path + "|" + r.path2 + "|" + OnlyRow(*NewBlock(PT_LP, text)).desc,
                  shown + " + " + shown + "|" + shown + " + " + shown + "|" + shown);
    }
    setlocale(LC_CTYPE, saved.c_str());
}

TEST(DescribeBlock, InterfaceTypeIsTheUnsignedModelOffset)
{
    auto b = NewBlock(PT_40, "PT");
    const struct {
        UINT devTyp;
        const char* misc;
    } cases[] = {{PT_PT_SIMPLE, "Interface type 0"}, {PT_PT_RECHARGE, "Interface type 2"},
                 {0, "Interface type 4294967187"}, {4294967295u, "Interface type 4294967186"}};
    for (const auto& c : cases) {
        b->m_DevTyp = c.devTyp;
        EnumRow r = OnlyRow(*b);
        EXPECT_EQ(r.type + r.misc + r.path, c.misc) << "no mnemonic, no path";
    }
}

TEST(DescribeBlock, MultiplexorLinesFollowItsRow)
{
    for (BYTE t : {BYTE(PT_UX), BYTE(PT_MX)}) {
        auto b = NewBlock(t, "MX7007");
        SHAREA_MX& mx = b->m_U.m_mx;
        mx.m_nLines = 3;
        mx.m_Lines[0] = {77777, 0, true, true};  // never shown
        mx.m_Lines[1] = {110, 1, false, false};
        mx.m_Lines[2] = {9600, 2, true, true};
        mx.m_Lines[3] = {4294967295u, 3, false, true};
        mx.m_Lines[4] = {300, 4, false, false};  // beyond the count

        std::vector<EnumRow> rows = DescribeBlock(*b, 8);
        ASSERT_EQ(rows.size(), 4u);
        EXPECT_EQ(rows[0].type + " " + rows[0].misc, t == PT_UX ? "*UX 3 lines" : "*MX 3 lines");

        const char* lines[] = {"L1  async,   110 BPS", "L2  sync,  9600 BPS,Sentinel",
                               "L3  async, 4294967295 BPS,Sentinel"};
        for (size_t i = 1; i < rows.size(); ++i) {
            const EnumRow& r = rows[i];
            EXPECT_EQ(std::vector<std::string>({std::to_string(r.chan), r.si, r.ops, r.desc, r.type, r.misc, r.path, r.path2}),
                      std::vector<std::string>({"0", "", "", "        \"", "", lines[i - 1], "", ""}));
        }
    }
}

TEST(DescribeBlock, MultiplexorLineCountIsBoundedByTheRecord)
{
    auto b = NewBlock(PT_MX);
    SHAREA_MX& mx = b->m_U.m_mx;
    for (UINT l = 0; l <= MX_MAX_LINES; ++l)
        mx.m_Lines[l] = {1200, l, l % 2 == 0, false};

    for (UINT n : {20u, 100000u, 4294967295u, 0u}) {
        mx.m_nLines = n;
        const std::vector<EnumRow> rows = DescribeBlock(*b, 4);
        ASSERT_EQ(rows.size(), n == 0 ? 1u : 21u) << n;
        EXPECT_EQ(rows[0].misc, std::to_string(n) + " lines");
        EXPECT_EQ(rows.back().misc, n == 0 ? "0 lines" : "L20 sync,  1200 BPS");
    }
}

TEST(DescribeBlock, UnterminatedTextFieldsAreReadWithinTheirWidth)
{
    // Every byte non-zero: a read past a field's end picks up its neighbours.
    std::unique_ptr<S_SHAREBASE> b(new S_SHAREBASE());
    memset(static_cast<void*>(b.get()), 'Z', sizeof(S_SHAREBASE));
    memset(b->m_Periph, 'P', sizeof b->m_Periph);
    memset(b->m_SystemRoot, 'R', sizeof b->m_SystemRoot);
    b->m_PeriType = PT_CR;
    memset(b->m_U.m_cr.m_Filename, 'F', sizeof b->m_U.m_cr.m_Filename);

    EnumRow r = OnlyRow(*b);
    EXPECT_EQ(r.desc + r.path, std::string(64, 'P') + std::string(513, 'R') + " + " + std::string(256, 'F'));

    b->m_PeriType = PT_TR;
    memcpy(b->m_Periph, "RP2602", 6);  // "RP2602" followed by 58 more bytes, no NUL
    memset(b->m_U.m_rp.m_FilenameTR, 'I', sizeof b->m_U.m_rp.m_FilenameTR);
    memset(b->m_U.m_rp.m_FilenameTP, 'O', sizeof b->m_U.m_rp.m_FilenameTP);
    r = OnlyRow(*b);
    EXPECT_EQ(r.path2, "") << "a longer name is not the reader-punch";

    memset(b->m_Periph, 0, sizeof b->m_Periph);
    memcpy(b->m_Periph, "RP2602", 6);
    r = OnlyRow(*b);
    EXPECT_EQ(r.path + r.path2, std::string(513, 'R') + " + " + std::string(256, 'I') + std::string(513, 'R') + " + " +
                                    std::string(256, 'O'));

}

TEST(DescribeBlock, UnlistedTypesGiveNoRows)
{
    EXPECT_TRUE(DescribeBlock(*NewBlock(7), 5).empty());
    int listed = 0;
    for (UINT t = 0; t < 256; ++t)
        listed += IsListedPeriType(t) ? 1 : 0;
    EXPECT_EQ(listed, 18);
    EXPECT_FALSE(IsListedPeriType(256 + PT_TR)) << "type numbers are not taken modulo a byte";
}

}  // namespace
