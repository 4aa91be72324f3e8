// The texts of the selection list, worked out from a block without a display.
// Expected strings are written out by hand.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
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
    EXPECT_EQ(r.si, "17");
    EXPECT_EQ(r.ops, "4294967295");
    EXPECT_EQ(r.desc, "LP1933/2");
    EXPECT_EQ(r.type, "*LP");
    EXPECT_EQ(r.misc, "");
    EXPECT_EQ(r.path, "");
    EXPECT_EQ(r.path2, "");
}

TEST(DescribeBlock, MediumTypesJoinRootAndFileName)
{
    auto tp = NewBlock(PT_TP);
    SAUtils::StoreFieldText(tp->m_U.m_tp.m_Filename, "out/tape1");
    EnumRow r = OnlyRow(*tp);
    EXPECT_EQ(r.type, "*TP");
    EXPECT_EQ(r.path, "/emu + out/tape1");
    EXPECT_EQ(r.path2, "");

    auto cr = NewBlock(PT_CR);
    SAUtils::StoreFieldText(cr->m_U.m_cr.m_Filename, "/data/deck.crd");
    r = OnlyRow(*cr);
    EXPECT_EQ(r.type, "*CR");
    EXPECT_EQ(r.path, "/emu + /data/deck.crd");

    auto cp = NewBlock(PT_CP);
    SAUtils::StoreFieldText(cp->m_U.m_cp.m_Filename, "punched");
    r = OnlyRow(*cp);
    EXPECT_EQ(r.type, "*CP");
    EXPECT_EQ(r.path, "/emu + punched");

    auto gp = NewBlock(PT_GP);
    SAUtils::StoreFieldText(gp->m_U.m_gp.m_Filename, "plot.out");
    r = OnlyRow(*gp);
    EXPECT_EQ(r.type, "*GP");
    EXPECT_EQ(r.path, "/emu + plot.out");
    EXPECT_EQ(r.misc, "");
}

TEST(DescribeBlock, EmptyFileNameStillShowsRootAndSeparator)
{
    auto b = NewBlock(PT_CR, "CR1911/1", "/home/op/1900");
    EXPECT_EQ(OnlyRow(*b).path, "/home/op/1900 + ");
    auto noRoot = NewBlock(PT_GP, "GP", "");
    EXPECT_EQ(OnlyRow(*noRoot).path, " + ");
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

TEST(DescribeBlock, TransportAndDrumCountsWithTheirDirectories)
{
    auto mt = NewBlock(PT_MT);
    mt->m_U.m_mt.m_nTransports = 6;
    SAUtils::StoreFieldText(mt->m_U.m_mt.m_szBaseDir, "/emu/mt");
    EnumRow r = OnlyRow(*mt);
    EXPECT_EQ(r.type, "*MT");
    EXPECT_EQ(r.misc, "6 transports");
    EXPECT_EQ(r.path, "/emu/mt/tapes");

    auto ed = NewBlock(PT_ED);
    ed->m_U.m_ed.m_nTransports = 9;
    SAUtils::StoreFieldText(ed->m_U.m_ed.m_szBaseDir, "/d");
    r = OnlyRow(*ed);
    EXPECT_EQ(r.type, "*ED");
    EXPECT_EQ(r.misc, "9 transports");
    EXPECT_EQ(r.path, "/d/discs");

    auto es = NewBlock(PT_ES);
    es->m_U.m_ed.m_nTransports = 1;
    SAUtils::StoreFieldText(es->m_U.m_ed.m_szBaseDir, "/e");
    r = OnlyRow(*es);
    EXPECT_EQ(r.type, "*ES");
    EXPECT_EQ(r.misc, "1 transports");
    EXPECT_EQ(r.path, "/e/discs");

    auto fd = NewBlock(PT_FD);
    fd->m_U.m_ed.m_nTransports = 4294967295u;
    r = OnlyRow(*fd);
    EXPECT_EQ(r.type, "*FD");
    EXPECT_EQ(r.misc, "4294967295 transports");
    EXPECT_EQ(r.path, "/fds");

    auto dr = NewBlock(PT_DR);
    dr->m_U.m_dr.m_nDrums = 2;
    r = OnlyRow(*dr);
    EXPECT_EQ(r.type, "*DR");
    EXPECT_EQ(r.misc, "2 transports");
    EXPECT_EQ(r.path, "");

    auto hd = NewBlock(PT_HD);
    hd->m_U.m_hd.m_nDrums = 0;
    r = OnlyRow(*hd);
    EXPECT_EQ(r.type, "*HD");
    EXPECT_EQ(r.misc, "0 transports");
}

TEST(DescribeBlock, TypesWithoutDetailAndTheCommsProcessor)
{
    for (BYTE t : {BYTE(PT_LP), BYTE(PT_GD), BYTE(PT_PB)}) {
        auto b = NewBlock(t);
        SAUtils::StoreFieldText(b->m_U.m_gp.m_Filename, "ignored");
        EnumRow r = OnlyRow(*b);
        EXPECT_EQ(r.misc, "") << int(t);
        EXPECT_EQ(r.path, "") << int(t);
        EXPECT_EQ(r.path2, "") << int(t);
    }
    EXPECT_EQ(OnlyRow(*NewBlock(PT_GD)).type, "*GD");
    EXPECT_EQ(OnlyRow(*NewBlock(PT_PB)).type, "*PB");

    EnumRow cc = OnlyRow(*NewBlock(PT_CC));
    EXPECT_EQ(cc.type, "*CC");
    EXPECT_EQ(cc.misc, "7903 Comm's Processor");
}

TEST(DescribeBlock, InterfaceTypeIsTheUnsignedModelOffset)
{
    auto b = NewBlock(PT_40, "PT");
    const struct {
        UINT devTyp;
        const char* misc;
    } cases[] = {
        {PT_PT_SIMPLE, "Interface type 0"},
        {PT_PT_LONGBLOCK, "Interface type 1"},
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
        EXPECT_EQ(rows[0].chan, 8u);
        EXPECT_EQ(rows[0].desc, "MX7007");
        EXPECT_EQ(rows[0].misc, "3 lines");
        EXPECT_EQ(rows[0].type, t == PT_UX ? "*UX" : "*MX");

        EXPECT_EQ(rows[1].misc, "L1  async,   110 BPS");
        EXPECT_EQ(rows[2].misc, "L2  sync,  9600 BPS,Sentinel");
        EXPECT_EQ(rows[3].misc, "L3  async, 4294967295 BPS,Sentinel");
        for (size_t i = 1; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].chan, 0u);
            EXPECT_EQ(rows[i].desc, "        \"");
            EXPECT_EQ(rows[i].si, "");
            EXPECT_EQ(rows[i].ops, "");
            EXPECT_EQ(rows[i].type, "");
            EXPECT_EQ(rows[i].path, "");
            EXPECT_EQ(rows[i].path2, "");
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
        }
    }
}

}  // namespace
