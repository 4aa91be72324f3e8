#include "layout-doc.h"

#include <algorithm>
#include <sstream>

namespace LayoutDoc {

namespace {

size_t RoundUp(size_t n, size_t align)
{
    return align == 0 ? n : (n + align - 1) / align * align;
}

std::string Dash(const std::string& text)
{
    return text.empty() ? "—" : text;
}

std::vector<std::string> StructProblems(const RecordDoc& record)
{
    std::vector<std::string> problems;
    size_t end = 0;
    const FieldDoc* previous = nullptr;
    for (const FieldDoc& f : record.fields) {
        if (previous && f.offset < end) {
            problems.push_back(record.name + ": " + f.name + " overlaps " + previous->name +
                               " or is listed out of order");
        } else if (f.offset - end >= std::max<size_t>(std::min(f.align, record.align), 1)) {
            // The compiler pads only up to the next field's alignment (no more
            // than the record's own in a packed record); a longer stretch holds
            // a field that the description leaves out.
            problems.push_back(record.name + ": " + std::to_string(f.offset - end) +
                               " undescribed bytes before " + f.name);
        }
        end = std::max(end, f.offset + f.size);
        previous = &f;
    }
    if (end > record.size) {
        problems.push_back(record.name + ": fields reach byte " + std::to_string(end) +
                           " of a " + std::to_string(record.size) + "-byte record");
    } else if (record.size - end >= std::max<size_t>(record.align, 1)) {
        problems.push_back(record.name + ": " + std::to_string(record.size - end) +
                           " undescribed bytes at the end");
    }
    return problems;
}

std::vector<std::string> UnionProblems(const RecordDoc& record)
{
    std::vector<std::string> problems;
    size_t largest = 0;
    for (const FieldDoc& f : record.fields) {
        if (f.offset != 0)
            problems.push_back(record.name + ": member " + f.name + " does not start at 0");
        if (f.size > record.size)
            problems.push_back(record.name + ": member " + f.name + " is larger than the union");
        largest = std::max(largest, f.size);
    }
    if (RoundUp(largest, record.align) != record.size)
        problems.push_back(record.name + ": no described member is as large as the union");
    return problems;
}

std::string RenderStructTable(const RecordDoc& record)
{
    const bool placed = !record.blockPath.empty();
    std::ostringstream out;
    out << "| Offset |" << (placed ? " In block |" : "")
        << " Size | Type | Field | Volatile | Use | Meaning |\n";
    out << "|---:|" << (placed ? "---:|" : "") << "---:|---|---|---|---|---|\n";
    for (const LayoutRow& row : LayoutRows(record)) {
        out << "| " << row.offset << " | ";
        if (placed)
            out << record.blockOffset + row.offset << " | ";
        out << row.size << " | ";
        if (row.field) {
            const FieldDoc& f = *row.field;
            out << "`" << f.type << "` | `" << f.name << "` | " << (f.isVolatile ? "yes" : "no")
                << " | " << Dash(f.use) << " | " << Dash(f.meaning) << " |\n";
        } else {
            out << "— | *gap* | | | alignment padding |\n";
        }
    }
    return out.str();
}

std::string RenderUnionTable(const RecordDoc& record)
{
    std::ostringstream out;
    out << "| Member | Type | Size | Used for |\n";
    out << "|---|---|---:|---|\n";
    for (const FieldDoc& f : record.fields)
        out << "| `" << f.name << "` | `" << f.type << "` | " << f.size << " | " << f.meaning
            << " |\n";
    return out.str();
}

}  // namespace

std::vector<LayoutRow> LayoutRows(const RecordDoc& record)
{
    std::vector<LayoutRow> rows;
    size_t end = 0;
    for (const FieldDoc& f : record.fields) {
        if (!record.isUnion && f.offset > end)
            rows.push_back({end, f.offset - end, nullptr});
        rows.push_back({f.offset, f.size, &f});
        end = std::max(end, f.offset + f.size);
    }
    if (!record.isUnion && record.size > end)
        rows.push_back({end, record.size - end, nullptr});
    return rows;
}

std::vector<std::string> LayoutProblems(const RecordDoc& record)
{
    if (record.fields.empty())
        return {record.name + ": no fields described"};
    return record.isUnion ? UnionProblems(record) : StructProblems(record);
}

bool HasUse(const FieldDoc& field, const std::string& role)
{
    std::istringstream roles(field.use);
    std::string item;
    while (std::getline(roles, item, ',')) {
        item.erase(0, item.find_first_not_of(' '));
        item.erase(item.find_last_not_of(' ') + 1);
        if (item == role)
            return true;
    }
    return false;
}

std::string RenderRecord(const RecordDoc& record)
{
    std::ostringstream out;
    out << "### `" << record.name << "`\n\n";
    out << (record.isUnion ? "union `" : "struct `") << record.tag << "`, declared in `"
        << record.unit << "`; " << record.size << " bytes, alignment " << record.align;
    if (!record.blockPath.empty())
        out << "; in the block as `" << record.blockPath.substr(0, record.blockPath.size() - 1)
            << "` from offset " << record.blockOffset;
    out << ".\n\n";
    if (!record.summary.empty())
        out << record.summary << "\n\n";
    out << (record.isUnion ? RenderUnionTable(record) : RenderStructTable(record)) << "\n";
    return out.str();
}

}  // namespace LayoutDoc
