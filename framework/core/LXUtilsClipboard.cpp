// CUtils: text onto the clipboard.
#include "LXUtils.h"

#include <cstring>

bool CUtils::CopyTextToClipboard(HWND owner, const CString& text) {
  if (!OpenClipboard(owner)) return false;
  bool placed = false;
  if (EmptyClipboard()) {
    // Unicode text travels as UTF-16 with its terminator.
    std::u16string units = qlw::ToUtf16(std::wstring_view(text.GetString(), text.GetLength()));
    SIZE_T bytes = (units.size() + 1) * sizeof(char16_t);
    if (HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
      if (void* data = GlobalLock(mem)) {
        std::memcpy(data, units.c_str(), bytes);
        GlobalUnlock(mem);
        placed = SetClipboardData(CF_UNICODETEXT, mem) != nullptr;
      }
      // The clipboard owns the block only once it has accepted it.
      if (!placed) GlobalFree(mem);
    }
  }
  CloseClipboard();
  return placed;
}
