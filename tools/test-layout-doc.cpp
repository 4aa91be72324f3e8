// The record describer on small records of known layout: gaps that are
// padding, gaps that hide a left-out field, overlaps, unions, and rendering.
#include <gtest/gtest.h>

#include "layout-doc.h"

LAYOUT_DOC_TYPE_NAME(int)
LAYOUT_DOC_TYPE_NAME(char)
LAYOUT_DOC_TYPE_NAME(short)

namespace {

using LayoutDoc::FieldDoc;
using LayoutDoc::RecordDoc;

struct Padded {
    char a;         // 0, then 3 bytes of padding
    int b;          // 4
    volatile char c;  // 8, then 3 bytes of padding to 12
};

#pragma pack(push, 1)
struct Packed {
    char a;
    int b;
    char c;
};
#pragma pack(pop)

union Either {
    int small;
    char big[10];  // 10 bytes, padded to 12 by the int's alignment
};

template <typename Rec>
RecordDoc Describe(std::vector<FieldDoc> fields)
{
    RecordDoc r;
    r.name = "Rec";
    r.tag = "Rec";
    r.unit = "rec.h";
    r.isUnion = std::is_union<Rec>::value;
    r.size = sizeof(Rec);
    r.align = alignof(Rec);
    r.fields = std::move(fields);
    return r;
}

RecordDoc FullPadded()
{
    return Describe<Padded>({LAYOUT_DOC_FIELD(Padded, a, "host", "first"),
                             LAYOUT_DOC_FIELD(Padded, b, "panel, dialog", "second"),
                             LAYOUT_DOC_FIELD(Padded, c, "request", "")});
}

bool Mentions(const std::vector<std::string>& problems, const std::string& text)
{
    for (const std::string& p : problems)
        if (p.find(text) != std::string::npos)
            return true;
    return false;
}

TEST(LayoutCheck, CompleteDescriptionWithPaddingIsConsistent)
{
    EXPECT_TRUE(LayoutDoc::LayoutProblems(FullPadded()).empty());

    const RecordDoc r = FullPadded();
    const auto rows = LayoutDoc::LayoutRows(r);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1].field, nullptr);  // padding after a
    EXPECT_EQ(rows[1].offset, 1u);
    EXPECT_EQ(rows[1].size, 3u);
    EXPECT_EQ(rows[2].field->name, "b");
    EXPECT_EQ(rows[4].field, nullptr);  // trailing padding after c
    EXPECT_EQ(rows[4].offset, 9u);
    EXPECT_EQ(rows[4].size, 3u);
}

TEST(LayoutCheck, LeftOutFieldIsReported)
{
    // Without b, bytes 1..7 cannot all be padding: an int is 4-aligned.
    RecordDoc noMiddle = Describe<Padded>({LAYOUT_DOC_FIELD(Padded, a, "", ""),
                                           LAYOUT_DOC_FIELD(Padded, c, "", "")});
    EXPECT_TRUE(Mentions(LayoutDoc::LayoutProblems(noMiddle), "undescribed bytes before c"));

    RecordDoc noFirst = Describe<Padded>({LAYOUT_DOC_FIELD(Padded, b, "", ""),
                                          LAYOUT_DOC_FIELD(Padded, c, "", "")});
    EXPECT_TRUE(Mentions(LayoutDoc::LayoutProblems(noFirst), "undescribed bytes before b"));

    RecordDoc noLast = Describe<Padded>({LAYOUT_DOC_FIELD(Padded, a, "", ""),
                                         LAYOUT_DOC_FIELD(Padded, b, "", "")});
    EXPECT_TRUE(Mentions(LayoutDoc::LayoutProblems(noLast), "at the end"));
}

TEST(LayoutCheck, PackedRecordAllowsNoGapAtAll)
{
    RecordDoc full = Describe<Packed>({LAYOUT_DOC_FIELD(Packed, a, "", ""),
                                       LAYOUT_DOC_FIELD(Packed, b, "", ""),
                                       LAYOUT_DOC_FIELD(Packed, c, "", "")});
    EXPECT_TRUE(LayoutDoc::LayoutProblems(full).empty());
    EXPECT_EQ(full.fields[1].offset, 1u);

    RecordDoc noFirst = Describe<Packed>({LAYOUT_DOC_FIELD(Packed, b, "", ""),
                                          LAYOUT_DOC_FIELD(Packed, c, "", "")});
    EXPECT_TRUE(Mentions(LayoutDoc::LayoutProblems(noFirst), "1 undescribed bytes before b"));
}

TEST(LayoutCheck, OverlapOrWrongOrderIsReported)
{
    RecordDoc swapped = Describe<Padded>({LAYOUT_DOC_FIELD(Padded, b, "", ""),
                                          LAYOUT_DOC_FIELD(Padded, a, "", ""),
                                          LAYOUT_DOC_FIELD(Padded, c, "", "")});
    EXPECT_TRUE(Mentions(LayoutDoc::LayoutProblems(swapped), "a overlaps b"));

    RecordDoc twice = FullPadded();
    twice.fields.insert(twice.fields.begin() + 1, twice.fields[0]);
    EXPECT_FALSE(LayoutDoc::LayoutProblems(twice).empty());

    RecordDoc tooSmall = FullPadded();
    tooSmall.size = 8;
    EXPECT_TRUE(Mentions(LayoutDoc::LayoutProblems(tooSmall), "fields reach byte 9"));

    EXPECT_FALSE(LayoutDoc::LayoutProblems(Describe<Padded>({})).empty());
}

TEST(LayoutCheck, UnionNeedsItsLargestMember)
{
    RecordDoc both = Describe<Either>({LAYOUT_DOC_FIELD(Either, small, "", ""),
                                       LAYOUT_DOC_FIELD(Either, big, "", "")});
    EXPECT_TRUE(LayoutDoc::LayoutProblems(both).empty());
    EXPECT_EQ(LayoutDoc::LayoutRows(both).size(), 2u);  // no gap rows in a union

    RecordDoc onlySmall = Describe<Either>({LAYOUT_DOC_FIELD(Either, small, "", "")});
    EXPECT_TRUE(Mentions(LayoutDoc::LayoutProblems(onlySmall), "no described member"));

    RecordDoc shifted = both;
    shifted.fields[0].offset = 4;
    EXPECT_TRUE(Mentions(LayoutDoc::LayoutProblems(shifted), "does not start at 0"));
}

TEST(LayoutTypes, NamesAndVolatileMarksComeFromTheDeclaration)
{
    EXPECT_EQ(LayoutDoc::TypeName<char[64]>(), "char[64]");
    EXPECT_EQ(LayoutDoc::TypeName<short[2][3]>(), "short[2][3]");
    EXPECT_EQ(LayoutDoc::TypeName<const volatile int>(), "int");
    EXPECT_TRUE(LayoutDoc::IsVolatileType<volatile int>());
    EXPECT_TRUE(LayoutDoc::IsVolatileType<volatile char[4]>());
    EXPECT_FALSE(LayoutDoc::IsVolatileType<int*>());
    EXPECT_FALSE(LayoutDoc::IsVolatileType<char[4]>());

    const RecordDoc r = FullPadded();
    EXPECT_FALSE(r.fields[0].isVolatile);
    EXPECT_TRUE(r.fields[2].isVolatile);
    EXPECT_EQ(r.fields[1].type, "int");
    EXPECT_EQ(r.fields[1].size, sizeof(int));
    EXPECT_EQ(r.fields[1].align, alignof(int));
}

TEST(LayoutTypes, RolesMatchWholeItemsOnly)
{
    FieldDoc f{"x", 0, 1, 1, "char", false, "host, dialog", ""};
    EXPECT_TRUE(LayoutDoc::HasUse(f, "host"));
    EXPECT_TRUE(LayoutDoc::HasUse(f, "dialog"));
    EXPECT_FALSE(LayoutDoc::HasUse(f, "panel"));
    EXPECT_FALSE(LayoutDoc::HasUse(f, "dia"));
    f.use = "";
    EXPECT_FALSE(LayoutDoc::HasUse(f, "host"));
}

TEST(LayoutRender, TableShowsFieldsGapsAndPlaceInBlock)
{
    RecordDoc r = FullPadded();
    const std::string plain = LayoutDoc::RenderRecord(r);
    EXPECT_NE(plain.find("| 4 | 4 | `int` | `b` | no | panel, dialog | second |"), std::string::npos);
    EXPECT_NE(plain.find("| 1 | 3 | — | *gap* |"), std::string::npos);
    EXPECT_NE(plain.find("| 8 | 1 | `char` | `c` | yes | request | — |"), std::string::npos);
    EXPECT_EQ(plain.find("In block"), std::string::npos);

    r.blockPath = "m_U.m_x.";
    r.blockOffset = 1000;
    const std::string placed = LayoutDoc::RenderRecord(r);
    EXPECT_NE(placed.find("in the block as `m_U.m_x` from offset 1000"), std::string::npos);
    EXPECT_NE(placed.find("| 4 | 1004 | 4 | `int` | `b` |"), std::string::npos);
    EXPECT_NE(placed.find("| 9 | 1009 | 3 | — | *gap* |"), std::string::npos);
}

}  // namespace
