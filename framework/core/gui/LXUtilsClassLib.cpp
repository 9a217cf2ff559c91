// CUtils helpers that need the class library (CCmdUI) or the drawing layer (icons).
#include "LXUtils.h"

#include "CmdTarget.h"
#include "Gdi.h"
#include "Resources.h"

namespace {
constexpr UINT kAppIconId = 1000;
}

bool CUtils::SetAppIcon(HWND window) {
  if (!IsWindow(window)) return false;
  auto big = static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  if (big == nullptr) return false;
  auto small = static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small != nullptr ? small : big));
  return true;
}

void CUtils::SetCmdUIText(CCmdUI* ui, bool condition, UINT idIfTrue, UINT idIfFalse) {
  if (ui == nullptr) return;
  CString text;
  LoadString(condition ? idIfTrue : idIfFalse, text);
  ui->SetText(text);
}
