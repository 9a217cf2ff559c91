// The document-type table and the fields of its document strings.
#include "LXDocTypes.h"

namespace {
std::vector<CLXDocTypeRow>& Table() {
  static std::vector<CLXDocTypeRow> table;
  return table;
}
}  // namespace

namespace LXDocTypes {
void SetTable(const std::vector<CLXDocTypeRow>& rows) { Table() = rows; }
const std::vector<CLXDocTypeRow>& GetTable() { return Table(); }

bool GetDocString(const CLXDocTypeRow& row, int index, CString& out) {
  out.Empty();
  CString text;
  if (!text.LoadString(row.stringId)) return false;
  int start = 0;
  for (int i = 0; i < index; ++i) {
    start = text.Find(L'\n', start);
    if (start < 0) return false;
    ++start;
  }
  int end = text.Find(L'\n', start);
  out = end < 0 ? text.Mid(start) : text.Mid(start, end - start);
  return !out.IsEmpty();
}

const CLXDocTypeRow* FindRowForFileType(uint32_t fileType) {
  if (fileType == 6) fileType = 1;
  if (fileType == 7) fileType = 2;
  for (const CLXDocTypeRow& row : Table())
    if (row.fileType == fileType) return &row;
  return nullptr;
}

CString GetShortTypeName(const CLXDocTypeRow& row) {
  CString progId;
  if (!GetDocString(row, kRegFileTypeId, progId)) return CString();
  CString name = progId.Mid(progId.ReverseFind(L'.') + 1);
  name.MakeLower();
  return name;
}

std::vector<CString> GetExtensions(const CLXDocTypeRow& row) {
  std::vector<CString> extensions;
  CString list;
  if (!GetDocString(row, kFilterExt, list)) return extensions;
  int start = 0;
  while (start <= list.GetLength()) {
    int end = list.Find(L';', start);
    if (end < 0) end = list.GetLength();
    CString ext = list.Mid(start, end - start);
    ext.Trim();
    if (!ext.IsEmpty()) extensions.push_back(ext);
    start = end + 1;
  }
  return extensions;
}
}  // namespace LXDocTypes
