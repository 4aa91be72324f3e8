// ICL 1900 words, character addresses, character set and mnemonics.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "logutils.h"
#include "types1900.h"

namespace {

UINT Chars(UINT c0, UINT c1, UINT c2, UINT c3)
{
    return (c0 << 18) | (c1 << 12) | (c2 << 6) | c3;
}

TEST(IclWord, ViewsLineUpWithTheOrderFormats)
{
    ICLWORD w;
    w.f = 0;
    w.op1.X = 5;
    w.op1.F = 0x7F;
    w.op1.M = 2;
    w.op1.N = 0xABC;
    EXPECT_EQ(w.f, (5u << 21) | (0x7Fu << 14) | (2u << 12) | 0xABCu);

    w.f = 0;
    w.op2.N = 0x7FFF;
    EXPECT_EQ(w.f, 0x7FFFu);

    w.f = 0;
    w.op3.Nt = 3;
    w.op3.N = 0x3FF;
    EXPECT_EQ(w.f, 0xFFFu);
    w.f = 0x400;  // shift type 1, count 0
    EXPECT_EQ(w.op3.Nt, 1u);
    EXPECT_EQ(w.op3.N, 0u);

    w.f = Chars(33, 34, 35, 36);
    EXPECT_EQ(std::vector<UINT>({w.chs.c0, w.chs.c1, w.chs.c2, w.chs.c3}), std::vector<UINT>({33, 34, 35, 36}));

    w.f = 0xFF123456;
    EXPECT_EQ(w.iVal, 0x123456u);
}

TEST(StoreWord, KeepsTheTopEightContainerBitsAndAddressesCharactersModuloFour)
{
    CStoreWord sw;
    sw.w.f = 0xAB000000;
    sw = 0xFF345678;
    EXPECT_EQ(static_cast<UINT>(sw), 0x345678u);
    EXPECT_EQ(sw.w.f, 0xAB345678u);

    sw.w.f = 0;
    sw = Chars(1, 2, 3, 4);
    for (UINT i = 0; i < 4; ++i)
        EXPECT_EQ(sw.GetChar(i), i + 1);
    EXPECT_EQ(sw.GetChar(5), sw.GetChar(1));
    EXPECT_EQ(sw.GetChar(7), 4u);

    sw.w.f = 0x5A000000;
    sw = 0xFFFFFF;
    sw.SetChar(1, 0);
    EXPECT_EQ(static_cast<UINT>(sw), 0xFC0FFFu);
    sw.SetChar(6, 5);  // position 2
    EXPECT_EQ(static_cast<UINT>(sw), 0xFC017Fu);

    // Too wide for position 0: cut at bit 23, the top bits untouched.
    sw = 0;
    sw.SetChar(0, 0xFF);
    EXPECT_EQ(static_cast<UINT>(sw), 0xFC0000u);
    EXPECT_EQ(sw.w.f, 0x5AFC0000u);
    sw.SetChar(0, 16);
    EXPECT_EQ(sw.GetChar(0), 16u);
    EXPECT_EQ(static_cast<UINT>(sw), 16u << 18);
}

TEST(CharAddr, StepsThroughTheCharactersAndWrapsAtBothEndsOfThe22BitStore)
{
    // What each step returns ("character:word"): the new address.
    std::string trail;
    auto note = [&trail](const CCharAddr& x) {
        trail += std::to_string(x.GetCharIndex()) + ":" + std::to_string(x.GetWordAddr()) + " ";
    };
    CCharAddr a;
    a = (1u << 22) | 100u;
    for (int i = 0; i < 3; ++i)
        note(a++);
    for (int i = 0; i < 2; ++i)
        note(a--);
    a = (3u << 22) | 0x3FFFFFu;
    note(a++);
    note(a--);
    EXPECT_EQ(trail, "2:100 3:100 0:101 3:100 2:100 0:0 3:4194303 ");
    EXPECT_EQ(static_cast<UINT>(a), 0xFFFFFFu);
}

TEST(CharacterSet, SixtyFourCharactersWithThePoundAtTwentyAndFourHLeftmostFirst)
{
    EXPECT_EQ(strlen(IclTab), 64u);
    EXPECT_EQ(IclTab[20], '\xA3');
    EXPECT_EQ(IclTab[32], '@');
    EXPECT_EQ(IclTab[60], '$');
    std::set<char> distinct(IclTab, IclTab + 64);
    EXPECT_EQ(distinct.size(), 64u);

    EXPECT_STREQ(_4H(0), "0000");
    EXPECT_STREQ(_4H(Chars(16, 16, 16, 16)), "    ");
    EXPECT_STREQ(_4H(0xFF000000), "0000");
    EXPECT_STREQ(_4H(Chars(33, 58, 20, 63)), "AZ\xA3_");
    const char* first = _4H(Chars(1, 2, 3, 4));
    EXPECT_STREQ(first, "1234");
    _4H(Chars(5, 6, 7, 8));
    EXPECT_STREQ(first, "5678");  // one static buffer
}

TEST(OrderNames, CodesHaveTheirMachineValuesAndPrintedNames)
{
    // One code missing or doubled anywhere shifts every later one.
    EXPECT_EQ(BZE, 40);
    EXPECT_EQ(LDN, 64);
    EXPECT_EQ(FLOTE, 88);
    EXPECT_EQ(I140, 96);
    EXPECT_EQ(SUSBY, 104);
    EXPECT_EQ(SUSTY, 112);
    EXPECT_EQ(I170, 120);

    for (int code = 0; code < 128; ++code)
        ASSERT_NE(ONames[code], nullptr) << code;
    EXPECT_STREQ(ONames[SUSBY], "SUSBY");
    EXPECT_STREQ(ONames[FLOTE], "FLOAT");

    // Both codes of each branch pair print the even code's mnemonic.
    EXPECT_STREQ(ONames[BZE1], "BZE");
    for (int code = BZE; code <= BFP1; code += 2)
        EXPECT_STREQ(ONames[code], ONames[code + 1]) << code;

    char octal[8];
    for (int code : {96, 97, 98, 99, 100, 101, 102, 103, 107, 119}) {
        snprintf(octal, sizeof octal, "'%03o", code);
        EXPECT_STREQ(ONames[code], octal);
    }
    for (int code = I170; code <= I177; ++code) {
        snprintf(octal, sizeof octal, "'%03oE", code);
        EXPECT_STREQ(ONames[code], octal);
    }

    // Apart from the branch pairs every code has a name of its own.
    std::set<std::string> names(ONames, ONames + 128);
    EXPECT_EQ(names.size(), 128u - 12u);
}

}  // namespace
