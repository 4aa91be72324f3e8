// The shared block described record by record, and the document made of it.
#pragma once
#include <string>
#include <vector>
#include "layout-doc.h"

namespace SharedAreaDoc {

// The header, the union and every record that can sit in the union, in the
// order of the document.
std::vector<LayoutDoc::RecordDoc> Records();

// A field with its full name in the block, for fields that have one fixed
// place there (header fields and fields of the union's members).
struct PlacedField {
    std::string path;     // e.g. m_U.m_cr.m_Closefile
    size_t blockOffset;
    const LayoutDoc::FieldDoc* field;
};
std::vector<PlacedField> PlacedFields(const std::vector<LayoutDoc::RecordDoc>& records);

// Layout problems of all records, each prefixed with its record's name.
std::vector<std::string> Problems(const std::vector<LayoutDoc::RecordDoc>& records);

std::string Document(const std::vector<LayoutDoc::RecordDoc>& records);

}  // namespace SharedAreaDoc
