// The block's layout seen from the outside: bytes written at the documented
// offsets must read back through the records, and the reverse.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "mkshareditem.h"
#include "peri-enums.h"
#include "peri-names.h"

namespace {

struct RawBlock {
    std::vector<unsigned char> bytes = std::vector<unsigned char>(sizeof(S_SHAREBASE), 0);
    PSHAREBASE Block() { return reinterpret_cast<PSHAREBASE>(bytes.data()); }
    void PutU32(size_t off, uint32_t v) { memcpy(&bytes[off], &v, 4); }
    uint32_t GetU32(size_t off) const
    {
        uint32_t v;
        memcpy(&v, &bytes[off], 4);
        return v;
    }
};

constexpr size_t U = 1264;  // where the device union starts

TEST(SharedLayout, HeaderFieldsReadFromTheirOffsets)
{
    RawBlock raw;
    raw.PutU32(0, 0x89000071u);
    raw.PutU32(4, 35072);
    raw.PutU32(8, PT_SC7930);
    raw.bytes[76] = 1;   // m_HostUp
    raw.bytes[77] = 1;   // m_CloseOnHostDown
    raw.bytes[79] = 1;   // m_Allocate
    raw.bytes[81] = 1;   // m_Disc
    raw.PutU32(88, 42);  // m_OpsNo
    memcpy(&raw.bytes[92], "TR1915/1", 9);
    raw.bytes[156] = PT_MX;
    raw.bytes[164] = 1;  // m_DebugSwitch
    memcpy(&raw.bytes[165], "/srv/root", 10);
    raw.PutU32(1192, CPU_1904S);
    raw.bytes[1196] = 1;
    memcpy(&raw.bytes[1197], "/dev/ttyS0", 11);

    PSHAREBASE b = raw.Block();
    EXPECT_EQ(b->m_Version, SHAREBASE_VERSION);
    EXPECT_EQ(b->m_SharedAreaSize, 35072u);
    EXPECT_EQ(b->m_DevTyp, 75u);
    EXPECT_TRUE(b->m_HostUp);
    EXPECT_TRUE(b->m_CloseOnHostDown);
    EXPECT_FALSE(b->m_Hold);
    EXPECT_TRUE(b->m_Allocate);
    EXPECT_FALSE(b->m_Oper);
    EXPECT_TRUE(b->m_Disc);
    EXPECT_EQ(b->m_OpsNo, 42u);
    EXPECT_STREQ(b->m_Periph, "TR1915/1");
    EXPECT_EQ(b->m_PeriType, 11);
    EXPECT_TRUE(b->m_DebugSwitch);
    EXPECT_STREQ(b->m_SystemRoot, "/srv/root");
    EXPECT_EQ(b->m_HostCpu, CPU_1904S);
    EXPECT_TRUE(b->m_PhysicalDevice);
    EXPECT_STREQ(b->m_PhysicalDeviceName, "/dev/ttyS0");
}

TEST(SharedLayout, DeviceRecordsWriteToTheirOffsets)
{
    RawBlock raw;
    PSHAREBASE b = raw.Block();

    b->m_U.m_cr.m_Filesize = 0x01020304;
    b->m_U.m_cr.m_FilePosition = 77;
    b->m_U.m_cr.m_Closefile = true;
    EXPECT_EQ(raw.GetU32(1524), 0x01020304u);
    EXPECT_EQ(raw.GetU32(U + 264), 77u);
    EXPECT_EQ(raw.bytes[U + 268], 1);

    b->m_U.m_lp.m_LoadFormatLoop = true;
    b->m_U.m_lp.m_IsDevice = true;
    EXPECT_EQ(raw.bytes[U + 13], 1);
    EXPECT_EQ(raw.bytes[U + 15], 1);
    SAUtils::StoreFieldText(b->m_U.m_lp.m_FormatLoopName, "STD.ini");
    EXPECT_EQ(0, memcmp(&raw.bytes[U + 528], "STD.ini", 8));

    b->m_U.m_pt.Q = 511;
    b->m_U.m_pt.P = 8;
    EXPECT_EQ(raw.GetU32(U + 4), 511u);
    EXPECT_EQ(raw.GetU32(U + 8), 8u);

    b->m_U.m_mx.m_nLines = 20;
    b->m_U.m_mx.m_Lines[20].Speed = 9600;
    b->m_U.m_mx.m_Lines[20].Sentinel = true;
    EXPECT_EQ(raw.GetU32(U), 20u);
    EXPECT_EQ(raw.GetU32(U + 4 + 20 * 12), 9600u);
    EXPECT_EQ(raw.bytes[U + 4 + 20 * 12 + 9], 1);

    b->m_U.m_rp.m_Hold2 = true;
    SAUtils::StoreFieldText(b->m_U.m_rp.m_FilenameTP, "punch.tpe");
    EXPECT_EQ(raw.bytes[U + 1], 1);
    EXPECT_EQ(0, memcmp(&raw.bytes[U + 259], "punch.tpe", 10));

    b->m_U.m_mt.m_nTransports = 6;
    b->m_U.m_mt.m_MtInfo[5].Disconnect = true;
    EXPECT_EQ(raw.GetU32(U + 4), 6u);
    EXPECT_EQ(raw.bytes[U + 264 + 5 * 280 + 20], 1);

    b->m_U.m_ed.m_EdInfo[8].cyl = 202;
    EXPECT_EQ(raw.GetU32(U + 524 + 8 * 268 + 264), 202u);

    b->m_U.m_gd.m_Buffer[32767] = 0xAB;
    EXPECT_EQ(raw.bytes[U + 43 + 32767], 0xAB);
    EXPECT_EQ(raw.bytes.size(), U + 32812 + (33808 - 32812));
}

TEST(SharedLayout, TextFieldKeepsItsNulAndLeavesNeighboursAlone)
{
    RawBlock raw;
    PSHAREBASE b = raw.Block();
    memset(raw.bytes.data(), 0x5A, raw.bytes.size());

    std::string fits(255, 'f');  // n - 1 characters
    SAUtils::StoreFieldText(b->m_U.m_tp.m_Filename, fits.c_str());
    EXPECT_EQ(std::string(b->m_U.m_tp.m_Filename), fits);
    EXPECT_EQ(raw.GetU32(U + 4), 0x5A5A5A5Au);        // m_Parity before it
    EXPECT_EQ(raw.GetU32(U + 264), 0x5A5A5A5Au);      // m_nBytes after it

    // The union's members overlap: start afresh for each record.
    memset(raw.bytes.data(), 0x5A, raw.bytes.size());
    std::string tooLong(600, 'x');
    SAUtils::StoreFieldText(b->m_U.m_lp.m_Filename, tooLong.c_str());
    EXPECT_EQ(std::string(b->m_U.m_lp.m_Filename), std::string(511, 'x'));
    EXPECT_EQ(raw.bytes[U + 15], 0x5A);               // m_IsDevice before it
    EXPECT_EQ(raw.bytes[U + 528], 0x5A);              // m_FormatLoopName after it

    memset(raw.bytes.data(), 0x5A, raw.bytes.size());
    SAUtils::StoreFieldText(b->m_U.m_cr.m_Filename, "ab");
    for (size_t i = 2; i < 256; ++i)
        ASSERT_EQ(b->m_U.m_cr.m_Filename[i], 0) << "zero fill at " << i;
    EXPECT_EQ(raw.bytes[U + 257], 0x5A);              // m_DiscWhileFileOpen untouched
}

TEST(SharedLayout, UnterminatedTextIsReadWithinItsField)
{
    RawBlock raw;
    PSHAREBASE b = raw.Block();
    memset(b->m_Periph, 'P', sizeof b->m_Periph);
    b->m_PeriType = 3;  // the byte after the field is not text
    EXPECT_EQ(SAUtils::FieldText(b->m_Periph), std::string(64, 'P'));
    memcpy(b->m_SystemRoot, "/r\0junk", 7);
    EXPECT_EQ(SAUtils::FieldText(b->m_SystemRoot), "/r");
}

}  // namespace
