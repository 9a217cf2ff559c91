// libFuzzer target of the scattering-factor table reader: the input read as a table file, and a
// table that reads is written and read again, which must give the same records.
#include "ASFTableFile.h"
#include "FuzzInput.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cwchar>

extern "C" int LLVMFuzzerInitialize(int*, char***) { return qlwfuzz::Initialise("input.txt"); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring path = qlwfuzz::WriteInput(data, size);
  if (path.empty()) return 0;
  std::vector<CLXASF> table;
  bool ok = false;
  try {
    ok = ReadASFFile(path.c_str(), table);
  } catch (const CLXException&) {
    return 0;
  }
  if (!ok) return 0;
  // Numbers so large that a written line passes the reader's 255 characters do not read back
  // (the reader says so); every other table must.
  const std::string text = FormatASFFile(table);
  size_t longest = 0;
  for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    longest = std::max(longest, static_cast<size_t>(CString(text.substr(start, end - start).c_str()).GetLength()));
  if (longest > 255) return 0;
  const std::wstring again = path + L".out";
  WriteASFFile(again.c_str(), table);
  std::vector<CLXASF> reread;
  if (!ReadASFFile(again.c_str(), reread) || reread.size() != table.size()) std::abort();
  for (size_t i = 0; i < table.size(); ++i) {
    const CLXASF& a = table[i];
    const CLXASF& b = reread[i];
    if (std::wcscmp(a.GetSymbol(), b.GetSymbol()) != 0 || a.m_Z != b.m_Z || a.m_note != b.m_note) std::abort();
    // Within the rounding of the written decimals.
    auto near = [](double x, double y, double tolerance) {
      return std::fabs(x - y) <= tolerance + 1e-15 * std::fabs(x);
    };
    if (!near(a.m_weight, b.m_weight, 5e-4) || !near(a.m_neutronLength, b.m_neutronLength, 5e-5)) std::abort();
    for (int k = 0; k < 9; ++k)
      if (!near(a.m_coefficients[k], b.m_coefficients[k], 5e-7)) std::abort();
  }
  return 0;
}
