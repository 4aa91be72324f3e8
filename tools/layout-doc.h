// Describes plain records field by field, from the compiler's own offsetof,
// sizeof and alignof, checks that a description covers its record, and
// renders it as Markdown. The shared-area document is built from these so
// that it cannot drift from the declarations.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace LayoutDoc {

// The name under which a field's type appears in the document. Every type of
// a documented field needs one: a type without a name does not compile.
template <typename T>
struct TypeText;

template <typename T>
std::string TypeName()
{
    return TypeText<std::remove_cv_t<T>>::Get();
}

// The bounds of an array type as written in a declaration, outermost first.
template <typename T>
std::string Extents()
{
    if constexpr (std::rank<T>::value == 0)
        return "";
    else
        return "[" + std::to_string(std::extent<T>::value) + "]" +
               Extents<std::remove_extent_t<T>>();
}

template <typename T, size_t N>
struct TypeText<T[N]> {
    static std::string Get() { return TypeName<std::remove_all_extents_t<T>>() + Extents<T[N]>(); }
};

// Declared volatile: for arrays the mark sits on the elements.
template <typename T>
constexpr bool IsVolatileType()
{
    return std::is_volatile<std::remove_all_extents_t<T>>::value;
}

struct FieldDoc {
    std::string name;
    size_t offset;
    size_t size;
    size_t align;
    std::string type;
    bool isVolatile;
    std::string use;      // comma-separated roles: host, panel, request, event, dialog
    std::string meaning;
};

struct RecordDoc {
    std::string name;         // typedef name, e.g. SHAREA_TRCR
    std::string tag;          // struct or union tag
    std::string unit;         // declaring header
    bool isUnion = false;
    size_t size = 0;
    size_t align = 1;
    // Where the record lies in the block ("m_U.m_cr." at 1264), for records
    // that have one fixed place there; empty for element records.
    std::string blockPath;
    size_t blockOffset = 0;
    std::string summary;
    std::vector<FieldDoc> fields;
};

// A row of a rendered table: a documented field, or (field == nullptr) the
// padding the compiler put between fields or at the end.
struct LayoutRow {
    size_t offset;
    size_t size;
    const FieldDoc* field;
};

std::vector<LayoutRow> LayoutRows(const RecordDoc& record);

// Everything that makes the description disagree with the record: fields out
// of order or overlapping, a stretch of bytes that is too long to be padding
// (a field left out of the description), fields beyond the record's end, a
// union whose size no documented member explains. Empty when consistent.
std::vector<std::string> LayoutProblems(const RecordDoc& record);

bool HasUse(const FieldDoc& field, const std::string& role);

// The Markdown table of one record, preceded by its heading and summary.
std::string RenderRecord(const RecordDoc& record);

}  // namespace LayoutDoc

#define LAYOUT_DOC_TYPE_NAME(T)                          \
    namespace LayoutDoc {                                \
    template <>                                          \
    struct TypeText<T> {                                 \
        static std::string Get() { return #T; }          \
    };                                                   \
    }

#define LAYOUT_DOC_FIELD(Rec, f, use, meaning)                                                   \
    ::LayoutDoc::FieldDoc{#f, offsetof(Rec, f), sizeof(Rec::f), alignof(decltype(Rec::f)),       \
                          ::LayoutDoc::TypeName<decltype(Rec::f)>(),                              \
                          ::LayoutDoc::IsVolatileType<decltype(Rec::f)>(), use, meaning}
