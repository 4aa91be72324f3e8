// The texts of the selection list, worked out from a block without a display.
// Expected strings are written out by hand.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
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

TEST(DescribeBlock, CommonCellsOfAPeripheralRow)
{
    auto b = NewBlock(PT_LP, "LP1933/2");
    b->m_OpsNo = 4294967295u;
    EnumRow r = OnlyRow(*b, 17);
    EXPECT_EQ(r.chan, 17u);
    EXPECT_EQ(std::vector<std::string>({r.si, r.ops, r.desc}),
              std::vector<std::string>({"17", "4294967295", "LP1933/2"}));
}

// Per-type detail texts. Each case fills the record of its type; the union's
// records overlay one another, so one block serves one case.
TEST(DescribeBlock, DetailTextsOfEachType)
{
    const struct {
        BYTE type;
        std::function<void(S_SHAREBASE&)> fill;
        const char* mnemonic;
        const char* misc;
        const char* path;
    } cases[] = {
        {PT_TP, [](S_SHAREBASE& b) { SAUtils::StoreFieldText(b.m_U.m_tp.m_Filename, "out/tape1"); },
         "*TP", "", "/emu + out/tape1"},
        {PT_CR, [](S_SHAREBASE& b) { SAUtils::StoreFieldText(b.m_U.m_cr.m_Filename, "/data/deck"); },
         "*CR", "", "/emu + /data/deck"},
        {PT_CR, [](S_SHAREBASE&) {}, "*CR", "", "/emu + "},
        {PT_CP, [](S_SHAREBASE& b) { SAUtils::StoreFieldText(b.m_U.m_cp.m_Filename, "punched"); },
         "*CP", "", "/emu + punched"},
        {PT_GP, [](S_SHAREBASE& b) { SAUtils::StoreFieldText(b.m_U.m_gp.m_Filename, "plot.out"); },
         "*GP", "", "/emu + plot.out"},
        {PT_GP, [](S_SHAREBASE& b) { SAUtils::StoreFieldText(b.m_SystemRoot, ""); }, "*GP", "", " + "},
        {PT_MT,
         [](S_SHAREBASE& b) { b.m_U.m_mt.m_nTransports = 6; SAUtils::StoreFieldText(b.m_U.m_mt.m_szBaseDir, "/mt"); },
         "*MT", "6 transports", "/mt/tapes"},
        {PT_ED,
         [](S_SHAREBASE& b) { b.m_U.m_ed.m_nTransports = 9; SAUtils::StoreFieldText(b.m_U.m_ed.m_szBaseDir, "/d"); },
         "*ED", "9 transports", "/d/discs"},
        {PT_ES,
         [](S_SHAREBASE& b) { b.m_U.m_ed.m_nTransports = 1; SAUtils::StoreFieldText(b.m_U.m_ed.m_szBaseDir, "/e"); },
         "*ES", "1 transports", "/e/discs"},
        {PT_FD, [](S_SHAREBASE& b) { b.m_U.m_ed.m_nTransports = 4294967295u; }, "*FD",
         "4294967295 transports", "/fds"},
        {PT_DR, [](S_SHAREBASE& b) { b.m_U.m_dr.m_nDrums = 2; }, "*DR", "2 transports", ""},
        {PT_HD, [](S_SHAREBASE&) {}, "*HD", "0 transports", ""},
        {PT_CC, [](S_SHAREBASE&) {}, "*CC", "7903 Comm's Processor", ""},
        // Types with nothing more to say ignore whatever their record holds.
        {PT_LP, [](S_SHAREBASE& b) { SAUtils::StoreFieldText(b.m_U.m_lp.m_Filename, "lp.out"); }, "*LP", "", ""},
        {PT_GD, [](S_SHAREBASE& b) { SAUtils::StoreFieldText(b.m_U.m_gp.m_Filename, "x"); }, "*GD", "", ""},
        {PT_PB, [](S_SHAREBASE& b) { SAUtils::StoreFieldText(b.m_U.m_gp.m_Filename, "x"); }, "*PB", "", ""},
    };
    for (const auto& c : cases) {
        auto b = NewBlock(c.type);
        c.fill(*b);
        const EnumRow r = OnlyRow(*b);
        EXPECT_EQ(std::vector<std::string>({r.type, r.misc, r.path, r.path2}),
                  std::vector<std::string>({c.mnemonic, c.misc, c.path, ""}));
    }
}

TEST(DescribeBlock, ReaderPunchShowsBothPathsOnlyWhenNamedExactly)
{
    auto rp = NewBlock(PT_TR, "RP2602");
    SAUtils::StoreFieldText(rp->m_U.m_rp.m_FilenameTR, "in.pt");
    SAUtils::StoreFieldText(rp->m_U.m_rp.m_FilenameTP, "out.pt");
    EnumRow r = OnlyRow(*rp);
    EXPECT_EQ(r.type, "*TR");
    EXPECT_EQ(r.path, "/emu + in.pt");
    EXPECT_EQ(r.path2, "/emu + out.pt");

    // Other reader names read the reader record, which overlays the same bytes.
    for (const char* name : {"TR1915/1", "RP2601", "RP260", "RP26020", "rp2602"}) {
        auto tr = NewBlock(PT_TR, name);
        SAUtils::StoreFieldText(tr->m_U.m_cr.m_Filename, "reader.pt");
        r = OnlyRow(*tr);
        EXPECT_EQ(r.path, "/emu + reader.pt") << name;
        EXPECT_EQ(r.path2, "") << name;
    }
}

TEST(DescribeBlock, BytesThatAreNotPrintableInTheLocaleShowAsQuestionMarks)
{
    const char* previous = setlocale(LC_CTYPE, nullptr);
    const std::string saved = previous ? previous : "C";
    ASSERT_NE(setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"caf\xc3\xa9", "caf\xc3\xa9"},        // printable text of the locale stays
        {"a\x01\tb\x7f", "a??b?"},             // control characters
        {"x\xe9y", "x?y"},                      // not UTF-8
        {"\xc2\x85z", "??z"},                   // a control character of two bytes
        {"end\xc3", "end?"},                    // cut inside a character
    };
    for (const auto& c : cases) {
        const std::string shown = c.shown;
        auto rp = NewBlock(PT_TR, "RP2602", c.text);
        SAUtils::StoreFieldText(rp->m_U.m_rp.m_FilenameTR, c.text);
        SAUtils::StoreFieldText(rp->m_U.m_rp.m_FilenameTP, c.text);
        EnumRow r = OnlyRow(*rp);
        EXPECT_EQ(r.path, shown + " + " + shown);
        EXPECT_EQ(r.path2, shown + " + " + shown);
        EXPECT_EQ(OnlyRow(*NewBlock(PT_LP, c.text)).desc, shown);
    }
    setlocale(LC_CTYPE, saved.c_str());
}

TEST(DescribeBlock, InterfaceTypeIsTheUnsignedModelOffset)
{
    auto b = NewBlock(PT_40, "PT");
    const struct {
        UINT devTyp;
        const char* misc;
    } cases[] = {
        {PT_PT_SIMPLE, "Interface type 0"},
        {PT_PT_RECHARGE, "Interface type 2"},
        {0, "Interface type 4294967187"},
        {108, "Interface type 4294967295"},
        {4294967295u, "Interface type 4294967186"},
    };
    for (const auto& c : cases) {
        b->m_DevTyp = c.devTyp;
        EnumRow r = OnlyRow(*b);
        EXPECT_EQ(r.misc, c.misc) << c.devTyp;
        EXPECT_EQ(r.type, "") << "type 40 has no mnemonic";
        EXPECT_EQ(r.path, "");
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
        EXPECT_EQ(rows[0].misc, "3 lines");
        EXPECT_EQ(rows[0].type, t == PT_UX ? "*UX" : "*MX");

        const char* lines[] = {"L1  async,   110 BPS", "L2  sync,  9600 BPS,Sentinel",
                               "L3  async, 4294967295 BPS,Sentinel"};
        for (size_t i = 1; i < rows.size(); ++i) {
            const EnumRow& r = rows[i];
            EXPECT_EQ(r.chan, 0u);
            EXPECT_EQ(std::vector<std::string>({r.si, r.ops, r.desc, r.type, r.misc, r.path, r.path2}),
                      std::vector<std::string>({"", "", "        \"", "", lines[i - 1], "", ""}));
        }
    }
}

TEST(DescribeBlock, MultiplexorLineCountIsBoundedByTheRecord)
{
    auto b = NewBlock(PT_MX);
    SHAREA_MX& mx = b->m_U.m_mx;
    for (UINT l = 0; l <= MX_MAX_LINES; ++l)
        mx.m_Lines[l] = {1200, l, l % 2 == 0, false};

    mx.m_nLines = 20;
    std::vector<EnumRow> rows = DescribeBlock(*b, 4);
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(rows[12].misc, "L12 sync,  1200 BPS");
    EXPECT_EQ(rows[20].misc, "L20 sync,  1200 BPS");

    mx.m_nLines = 100000;
    rows = DescribeBlock(*b, 4);
    ASSERT_EQ(rows.size(), 21u);
    EXPECT_EQ(rows[0].misc, "100000 lines");
    EXPECT_EQ(rows[20].misc, "L20 sync,  1200 BPS");

    mx.m_nLines = 4294967295u;
    EXPECT_EQ(DescribeBlock(*b, 4).size(), 21u);

    mx.m_nLines = 0;
    rows = DescribeBlock(*b, 4);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].misc, "0 lines");
}

TEST(DescribeBlock, UnterminatedTextFieldsAreReadWithinTheirWidth)
{
    // Every byte of the block is non-zero, so a read past a field's end
    // would pick up the neighbouring bytes.
    std::unique_ptr<S_SHAREBASE> b(new S_SHAREBASE());
    memset(static_cast<void*>(b.get()), 'Z', sizeof(S_SHAREBASE));
    memset(b->m_Periph, 'P', sizeof b->m_Periph);
    memset(b->m_SystemRoot, 'R', sizeof b->m_SystemRoot);
    b->m_PeriType = PT_CR;
    memset(b->m_U.m_cr.m_Filename, 'F', sizeof b->m_U.m_cr.m_Filename);

    EnumRow r = OnlyRow(*b);
    EXPECT_EQ(r.desc, std::string(64, 'P'));
    EXPECT_EQ(r.path, std::string(513, 'R') + " + " + std::string(256, 'F'));

    b->m_PeriType = PT_TR;
    memcpy(b->m_Periph, "RP2602", 6);  // "RP2602" followed by 58 more bytes, no NUL
    memset(b->m_U.m_rp.m_FilenameTR, 'I', sizeof b->m_U.m_rp.m_FilenameTR);
    memset(b->m_U.m_rp.m_FilenameTP, 'O', sizeof b->m_U.m_rp.m_FilenameTP);
    r = OnlyRow(*b);
    EXPECT_EQ(r.path2, "") << "a longer name is not the reader-punch";

    memset(b->m_Periph, 0, sizeof b->m_Periph);
    memcpy(b->m_Periph, "RP2602", 6);
    r = OnlyRow(*b);
    EXPECT_EQ(r.path, std::string(513, 'R') + " + " + std::string(256, 'I'));
    EXPECT_EQ(r.path2, std::string(513, 'R') + " + " + std::string(256, 'O'));

    b->m_PeriType = PT_MT;
    memset(b->m_U.m_mt.m_szBaseDir, 'T', sizeof b->m_U.m_mt.m_szBaseDir);
    EXPECT_EQ(OnlyRow(*b).path, std::string(256, 'T') + "/tapes");
    b->m_PeriType = PT_FD;
    memset(b->m_U.m_ed.m_szBaseDir, 'D', sizeof b->m_U.m_ed.m_szBaseDir);
    EXPECT_EQ(OnlyRow(*b).path, std::string(256, 'D') + "/fds");
}

TEST(DescribeBlock, UnlistedTypesGiveNoRows)
{
    for (int t : {7, 8, 12, 14, 15, 22, 23, 27, 29, 39, 41, 63, 64, 200, 255}) {
        auto b = NewBlock(static_cast<BYTE>(t));
        EXPECT_TRUE(DescribeBlock(*b, 5).empty()) << t;
        EXPECT_FALSE(IsListedPeriType(static_cast<UINT>(t))) << t;
    }
    int listed = 0;
    for (UINT t = 0; t < 256; ++t)
        listed += IsListedPeriType(t) ? 1 : 0;
    EXPECT_EQ(listed, 18);
    EXPECT_FALSE(IsListedPeriType(256 + PT_TR)) << "type numbers are not taken modulo a byte";
}

TEST(DescribeBlock, RandomBlocksGiveBoundedRows)
{
    // Hostile contents of every kind: whatever the bytes, the rows stay few
    // and their texts short.
    std::mt19937 rng(1900);
    std::unique_ptr<S_SHAREBASE> b(new S_SHAREBASE());
    unsigned char* bytes = reinterpret_cast<unsigned char*>(b.get());
    for (int round = 0; round < 600; ++round) {
        for (size_t i = 0; i < sizeof(S_SHAREBASE); ++i)
            bytes[i] = static_cast<unsigned char>(rng() % 4 == 0 ? 0 : rng());
        b->m_PeriType = static_cast<BYTE>(round % 64);
        std::vector<EnumRow> rows = DescribeBlock(*b, 32);
        if (!IsListedPeriType(b->m_PeriType)) {
            EXPECT_TRUE(rows.empty());
            continue;
        }
        ASSERT_FALSE(rows.empty());
        ASSERT_LE(rows.size(), 21u);
        EXPECT_EQ(rows[0].chan, 32u);
        for (const EnumRow& r : rows) {
            EXPECT_LE(r.desc.size(), 64u);
            EXPECT_LE(r.misc.size(), 40u);
            EXPECT_LE(r.path.size(), 513u + 3u + 256u);
            EXPECT_LE(r.path2.size(), 513u + 3u + 256u);
            for (const std::string* text : {&r.desc, &r.misc, &r.path, &r.path2})
                for (unsigned char ch : *text)
                    ASSERT_TRUE(ch >= 0x20 && ch != 0x7F) << "control character " << int(ch);
        }
    }
}

}  // namespace
