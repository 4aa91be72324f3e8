// The shared-area document as built from the real declarations: complete,
// placed where the host expects, and with the protocol lists right.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "shared-area-records.h"

namespace {

using LayoutDoc::RecordDoc;

const std::vector<RecordDoc>& AllRecords()
{
    static const std::vector<RecordDoc> records = SharedAreaDoc::Records();
    return records;
}

std::map<std::string, size_t> PlacedOffsets()
{
    std::map<std::string, size_t> offsets;
    for (const auto& p : SharedAreaDoc::PlacedFields(AllRecords()))
        offsets[p.path] = p.blockOffset;
    return offsets;
}

std::set<std::string> PathsWithRole(const char* role)
{
    std::set<std::string> paths;
    for (const auto& p : SharedAreaDoc::PlacedFields(AllRecords()))
        if (LayoutDoc::HasUse(*p.field, role))
            paths.insert(p.path);
    return paths;
}

const RecordDoc* Find(const std::string& name)
{
    for (const RecordDoc& r : AllRecords())
        if (r.name == name)
            return &r;
    return nullptr;
}

TEST(SharedAreaRecords, EveryRecordIsCompletelyDescribed)
{
    const auto problems = SharedAreaDoc::Problems(AllRecords());
    for (const std::string& p : problems)
        ADD_FAILURE() << p;
    EXPECT_TRUE(problems.empty());
}

TEST(SharedAreaRecords, EveryUnionMemberAndElementTypeHasItsOwnTable)
{
    const RecordDoc* u = Find("SHAREA_UNION");
    ASSERT_NE(u, nullptr);
    for (const auto& member : u->fields) {
        const RecordDoc* r = Find(member.type);
        ASSERT_NE(r, nullptr) << member.type;
        EXPECT_EQ(r->blockPath, "m_U." + member.name + ".");
        EXPECT_EQ(r->blockOffset, 1264u);
        EXPECT_EQ(r->size, member.size);
    }
    for (const char* element : {"MTINFO", "MTPOSITION", "EDINFO", "COMMSLINE", "PB7210IFSTATE"}) {
        const RecordDoc* r = Find(element);
        ASSERT_NE(r, nullptr) << element;
        EXPECT_TRUE(r->blockPath.empty()) << element;  // arrays: no single place in the block
    }
}

TEST(SharedAreaRecords, FieldsSitWhereTheHostPutsThem)
{
    const auto at = PlacedOffsets();
    EXPECT_EQ(at.at("m_Version"), 0u);
    EXPECT_EQ(at.at("m_OpsNo"), 88u);
    EXPECT_EQ(at.at("m_PeriType"), 156u);
    EXPECT_EQ(at.at("m_HostCpu"), 1192u);
    EXPECT_EQ(at.at("m_U"), 1264u);
    EXPECT_EQ(at.at("m_U.m_cr.m_Filesize"), 1524u);
    EXPECT_EQ(at.at("m_U.m_cr.m_Closefile"), 1532u);
    EXPECT_EQ(at.at("m_U.m_lp.m_FormatLoopName"), 1264u + 528u);
    EXPECT_EQ(at.at("m_U.m_rp.m_FilenameTR"), 1267u);
    // The reader-punch's counters follow its record, 4-aligned.
    EXPECT_EQ(at.at("m_U.m_rpr.m_Filesize"), 1264u + 516u);
    EXPECT_EQ(at.at("m_U.m_rpr.m_Closefile"), 1264u + 524u);
    EXPECT_EQ(at.at("m_U.m_pt.P"), 1272u);
}

TEST(SharedAreaRecords, ProtocolRolesMatchTheHandshake)
{
    EXPECT_EQ(PathsWithRole("request"),
              (std::set<std::string>{"m_Hold", "m_Allocate", "m_U.m_lp.m_LoadFormatLoop",
                                     "m_U.m_cr.m_Closefile", "m_U.m_pt.B", "m_U.m_rp.m_Allocate2",
                                     "m_U.m_rp.m_Hold2", "m_U.m_rpr.m_Closefile"}));
    EXPECT_EQ(PathsWithRole("event"), (std::set<std::string>{"m_Disc", "m_U.m_rp.m_Disc2"}));

    // Fields both sides write: the host keeps them, the panel only clears them.
    std::set<std::string> shared;
    const auto host = PathsWithRole("host");
    const auto panel = PathsWithRole("panel");
    std::set_intersection(host.begin(), host.end(), panel.begin(), panel.end(),
                          std::inserter(shared, shared.begin()));
    EXPECT_EQ(shared, (std::set<std::string>{"m_Oper", "m_U.m_cr.m_DiscWhileFileOpen",
                                             "m_U.m_rp.m_DiscWhileFileOpen"}));

    // Request and event flags that the panel polls across waits must be volatile,
    // except the two that are reached through volatile references.
    for (const auto& p : SharedAreaDoc::PlacedFields(AllRecords())) {
        const bool flag = LayoutDoc::HasUse(*p.field, "request") || LayoutDoc::HasUse(*p.field, "event");
        if (flag && p.path != "m_U.m_lp.m_LoadFormatLoop" && p.path != "m_U.m_pt.B") {
            EXPECT_TRUE(p.field->isVolatile) << p.path;
        }
    }
}

TEST(SharedAreaDocument, CarriesTheFactsAndIsStable)
{
    const std::string doc = SharedAreaDoc::Document(AllRecords());
    EXPECT_EQ(doc, SharedAreaDoc::Document(SharedAreaDoc::Records()));
    for (const char* fact : {"`SHMEM_0005_07`", "`SHMEM_12345_123`", "0x89000071 (decimal 2298478705)",
                             "`S_SHAREBASE` of 35072 bytes", "(33808 bytes) from offset 1264",
                             "| 260 | 1524 | 4 | `UINT` | `m_Filesize` | no | host |",
                             "| 4 | 1268 | 252 | `COMMSLINE[21]` | `m_Lines` |",
                             "| `m_Disc` | 81 | host raises, panel clears | panel |",
                             "| `PT_Parity_One` | 4 |", "| 28 | `PT_PB` | `*PB` |\n| 31 | `PT_IR` |  |",
                             "| 75 | `PT_SC7930` | SC7930 |", "| 109 | `PT_PT_SIMPLE` | PT_SIMPLE |",
                             "| 30 | `CPU_1902T` |",
                             "| allocate request | `m_Allocate` (79) | `m_U.m_rp.m_Allocate2` (1264) |"})
        EXPECT_NE(doc.find(fact), std::string::npos) << fact;
    for (const RecordDoc& r : AllRecords())
        EXPECT_NE(doc.find("### `" + r.name + "`"), std::string::npos) << r.name;
}

}  // namespace
