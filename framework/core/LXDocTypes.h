// The application's document types: one row per document template, whose document string (the
// string-table entry of the row's id) gives its names, extensions and registry file-type id.
#pragma once
#include <cstdint>
#include <vector>

#include "Win.h"

struct CLXDocTypeRow {
  UINT stringId;          // resource id of the template and of its document string
  uint32_t fileType;      // code of the file-type factory
  uint8_t shell;          // registered with the shell by default
  uint8_t main;           // the main template
};

namespace LXDocTypes {
// Fields of a document string, in order.
enum { kWindowTitle = 0, kDocName, kFileNewName, kFilterName, kFilterExt, kRegFileTypeId, kRegFileTypeName };

void SetTable(const std::vector<CLXDocTypeRow>& rows);
const std::vector<CLXDocTypeRow>& GetTable();
// One field of the row's document string; false when it is empty or missing.
bool GetDocString(const CLXDocTypeRow& row, int index, CString& out);
// The row of a file-type code (the pre-version-5 codes 6 and 7 use the rows of 1 and 2); null
// when none.
const CLXDocTypeRow* FindRowForFileType(uint32_t fileType);
// The lower-cased part of the registry file-type id behind its last "."; empty without an id.
CString GetShortTypeName(const CLXDocTypeRow& row);
// The extensions of the row with their dots (".cif").
std::vector<CString> GetExtensions(const CLXDocTypeRow& row);
}  // namespace LXDocTypes
