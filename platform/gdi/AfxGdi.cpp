// The class library's DC and GDI object wrappers.
#include "AfxGdi.h"

#include <cmath>
#include <map>
#include <memory>

namespace {
// Temporary wrappers handed out by FromHandle, one per handle and thread; they never own.
template <typename T, typename H>
T* TemporaryFor(H handle) {
  thread_local std::map<H, std::unique_ptr<T>> wrappers;
  if (!handle) return nullptr;
  auto& slot = wrappers[handle];
  if (!slot) {
    slot = std::make_unique<T>();
    slot->Attach(handle);
  }
  return slot.get();
}
struct TemporaryFont : CFont {
  ~TemporaryFont() override { Detach(); }
};
struct TemporaryGdiObject : CGdiObject {
  ~TemporaryGdiObject() override { Detach(); }
};
template <typename T>
T* Wrap(HGDIOBJ old) {
  // The previous selection as the class library's temporary object of the same kind.
  struct Temporary : T {
    ~Temporary() override { this->Detach(); }
  };
  return TemporaryFor<Temporary>(old);
}
}  // namespace

BOOL CFont::CreatePointFont(int tenthsOfPoint, LPCWSTR face, CDC* dc) {
  LOGFONTW lf{};
  int dpi = dc && dc->m_hDC ? dc->GetDeviceCaps(LOGPIXELSY) : 96;
  lf.lfHeight = -LONG(std::lround(tenthsOfPoint * dpi / 720.0));
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  if (face) wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return CreateFontIndirect(&lf);
}

CFont* CFont::FromHandle(HFONT font) { return TemporaryFor<TemporaryFont>(font); }

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
  return Attach(::CreateCompatibleBitmap(dc ? dc->m_hDC : nullptr, width, height));
}

CDC::~CDC() {
  if (m_owned) DeleteDC();
}

BOOL CDC::Attach(HDC dc) {
  if (m_hDC || !dc) return FALSE;
  m_hDC = dc;
  m_owned = false;
  return TRUE;
}

HDC CDC::Detach() {
  HDC dc = m_hDC;
  m_hDC = nullptr;
  m_owned = false;
  return dc;
}

BOOL CDC::CreateCompatibleDC(CDC* dc) {
  if (m_hDC) return FALSE;
  m_hDC = ::CreateCompatibleDC(dc ? dc->m_hDC : nullptr);
  m_owned = m_hDC != nullptr;
  return m_owned;
}

BOOL CDC::DeleteDC() {
  if (!m_hDC) return FALSE;
  m_owned = false;
  return ::DeleteDC(Detach());
}

CDC* CDC::FromHandle(HDC dc) {
  struct TemporaryDC : CDC {
    ~TemporaryDC() override { Detach(); }
  };
  return TemporaryFor<TemporaryDC>(dc);
}

CPen* CDC::SelectObject(CPen* pen) { return Wrap<CPen>(::SelectObject(m_hDC, pen ? HGDIOBJ(*pen) : nullptr)); }
CBrush* CDC::SelectObject(CBrush* brush) {
  return Wrap<CBrush>(::SelectObject(m_hDC, brush ? HGDIOBJ(*brush) : nullptr));
}
CFont* CDC::SelectObject(CFont* font) { return Wrap<CFont>(::SelectObject(m_hDC, font ? HGDIOBJ(*font) : nullptr)); }
CBitmap* CDC::SelectObject(CBitmap* bitmap) {
  return Wrap<CBitmap>(::SelectObject(m_hDC, bitmap ? HGDIOBJ(*bitmap) : nullptr));
}
CGdiObject* CDC::SelectStockObject(int index) {
  return TemporaryFor<TemporaryGdiObject>(::SelectObject(m_hDC, GetStockObject(index)));
}
CFont* CDC::GetCurrentFont() const { return CFont::FromHandle(static_cast<HFONT>(GetCurrentObject(m_hDC, OBJ_FONT))); }

void CDC::FillSolidRect(LPCRECT rect, COLORREF colour) {
  CRect r(rect);
  r.NormalizeRect();
  HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(m_hDC, &r, brush);
  ::DeleteObject(brush);
}
void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF colour) {
  RECT r{x, y, x + cx, y + cy};
  FillSolidRect(&r, colour);
}
void CDC::Draw3dRect(LPCRECT r, COLORREF topLeft, COLORREF bottomRight) {
  Draw3dRect(r->left, r->top, r->right - r->left, r->bottom - r->top, topLeft, bottomRight);
}
void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) {
  FillSolidRect(x, y, cx - 1, 1, topLeft);
  FillSolidRect(x, y, 1, cy - 1, topLeft);
  FillSolidRect(x + cx, y, -1, cy, bottomRight);
  FillSolidRect(x, y + cy, cx, -1, bottomRight);
}
