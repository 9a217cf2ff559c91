// The header control: a QHeaderView that a list view adopts as its column header. Presses on a
// divider ask the parent before Qt starts resizing (HDN_BEGINTRACK may refuse), divider
// double-clicks and item clicks become notifications that the list view answers, and the sort
// arrows come from the items' HDF_SORTUP and HDF_SORTDOWN formats.
#include <QAbstractItemModel>
#include <QApplication>
#include <QHeaderView>
#include <QStyle>

#include <cwchar>
#include <vector>

#include "Controls.h"
#include "WndGeometry.h"
#include "WndQt.h"

namespace {
class HeaderView : public QHeaderView {
 public:
  HeaderView(HWND hwnd, QWidget* parent) : QHeaderView(Qt::Horizontal, parent), m_hwnd(hwnd) {
    setSectionsClickable(true);
    setHighlightSections(false);
    setStretchLastSection(false);
    QObject::connect(this, &QHeaderView::sectionClicked, this, [this](int section) {
      NMHEADERW nm{};
      nm.iItem = section;
      Notify(nm, HDN_ITEMCLICKW);
      ShowSortArrow();
    });
    QObject::connect(this, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
      HDITEMW item{};
      item.mask = HDI_WIDTH;
      item.cxy = size;
      NMHEADERW nm{};
      nm.iItem = section;
      nm.pitem = &item;
      if (m_tracking) Notify(nm, HDN_TRACKW);
      Notify(nm, HDN_ITEMCHANGEDW);
    });
    QObject::connect(this, &QHeaderView::sectionMoved, this, [this](int section, int, int) {
      NMHEADERW nm{};
      nm.iItem = section;
      if (!m_dragging) Notify(nm, HDN_BEGINDRAG);
      m_dragging = false;
      Notify(nm, HDN_ENDDRAG);
    });
  }

  LRESULT Notify(NMHEADERW& nm, UINT code) {
    nm.hdr.hwndFrom = m_hwnd;
    nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(m_hwnd));
    nm.hdr.code = code;
    HWND parent = GetParent(m_hwnd);
    return parent ? SendMessageW(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm)) : 0;
  }

  // The section whose right divider is under x (viewport coordinates), as Qt finds it; -1 when none.
  int DividerAt(int x) const {
    int visual = visualIndexAt(x);
    if (visual < 0) return -1;
    const int logical = logicalIndex(visual);
    const int pos = sectionViewportPosition(logical);
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    if (x < pos + grip) {
      while (visual > 0) {
        const int left = logicalIndex(--visual);
        if (!isSectionHidden(left)) return left;
      }
      return -1;
    }
    return x > pos + sectionSize(logical) - grip ? logical : -1;
  }

  int Format(int section) const {
    return section >= 0 && section < static_cast<int>(m_formats.size()) ? m_formats[static_cast<size_t>(section)] : 0;
  }
  void SetFormat(int section, int fmt) {
    if (section < 0) return;
    if (static_cast<size_t>(section) >= m_formats.size()) m_formats.resize(static_cast<size_t>(section) + 1, 0);
    m_formats[static_cast<size_t>(section)] = fmt;
    ShowSortArrow();
  }
  // HDF_SORTUP draws ▲. Qt's styles draw the arrow of its descending order pointing up and that of
  // its ascending order pointing down, so the orders are given crosswise.
  void ShowSortArrow() {
    for (int i = 0; i < static_cast<int>(m_formats.size()); ++i) {
      const int fmt = m_formats[static_cast<size_t>(i)];
      if (fmt & (HDF_SORTUP | HDF_SORTDOWN)) {
        setSortIndicatorShown(true);
        setSortIndicator(i, (fmt & HDF_SORTUP) ? Qt::DescendingOrder : Qt::AscendingOrder);
        return;
      }
    }
    setSortIndicatorShown(false);
  }

  HWND m_hwnd;
  bool m_tracking = false;
  bool m_dragging = false;
  int m_pressed = -1;
  QPoint m_pressAt;
  std::vector<int> m_formats;
};

HeaderView* HeaderOf(HWND hwnd) { return dynamic_cast<HeaderView*>(qlw::WidgetOf(hwnd)); }

void CopyText(const QString& text, wchar_t* buffer, int size) {
  if (!buffer || size <= 0) return;
  const std::wstring w = text.toStdWString();
  const size_t n = std::min(w.size(), static_cast<size_t>(size) - 1);
  std::wmemcpy(buffer, w.data(), n);
  buffer[n] = L'\0';
}
}  // namespace

namespace qlw::wnd {
QWidget* MakeHeader(HWND hwnd, const CREATESTRUCTW&, QWidget* parent) { return new HeaderView(hwnd, parent); }

// The list view keeps its header's item formats in step with its columns.
void HeaderColumnInserted(HWND header, int at, int fmt) {
  HeaderView* h = HeaderOf(header);
  if (!h || at < 0) return;
  if (static_cast<size_t>(at) > h->m_formats.size()) h->m_formats.resize(static_cast<size_t>(at), 0);
  h->m_formats.insert(h->m_formats.begin() + at, fmt);
  h->ShowSortArrow();
}

void HeaderColumnRemoved(HWND header, int at) {
  HeaderView* h = HeaderOf(header);
  if (!h || at < 0 || static_cast<size_t>(at) >= h->m_formats.size()) return;
  h->m_formats.erase(h->m_formats.begin() + at);
  h->ShowSortArrow();
}

LRESULT CALLBACK HeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  HeaderView* h = HeaderOf(hwnd);
  if (!h) return DefWindowProcW(hwnd, message, wParam, lParam);
  const QPoint at(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
  switch (message) {
    case WM_LBUTTONDOWN: {
      const int divider = h->DividerAt(at.x());
      if (divider >= 0) {
        NMHEADERW nm{};
        nm.iItem = divider;
        if (h->Notify(nm, HDN_BEGINTRACKW)) return 0;  // refused: Qt never starts resizing
        h->m_tracking = true;
      } else {
        h->m_pressed = h->logicalIndexAt(at.x());
        h->m_pressAt = at;
      }
      break;
    }
    case WM_MOUSEMOVE:
      if (h->m_pressed >= 0 && !h->m_dragging && h->sectionsMovable() && (wParam & MK_LBUTTON) &&
          (at - h->m_pressAt).manhattanLength() >= QApplication::startDragDistance()) {
        h->m_dragging = true;
        NMHEADERW nm{};
        nm.iItem = h->m_pressed;
        h->Notify(nm, HDN_BEGINDRAG);
      }
      break;
    case WM_LBUTTONUP: {
      const LRESULT r = DefWindowProcW(hwnd, message, wParam, lParam);
      if (h->m_tracking) {
        h->m_tracking = false;
        NMHEADERW nm{};
        nm.iItem = h->DividerAt(at.x());
        h->Notify(nm, HDN_ENDTRACKW);
      }
      h->m_pressed = -1;
      h->m_dragging = false;
      return r;
    }
    case WM_LBUTTONDBLCLK: {
      const int divider = h->DividerAt(at.x());
      if (divider < 0) break;
      NMHEADERW nm{};
      nm.iItem = divider;
      // The list view sizes the column when the notification reaches its own handling.
      h->Notify(nm, HDN_DIVIDERDBLCLICKW);
      return 0;
    }
    case HDM_GETITEMCOUNT: return h->count();
    case HDM_ORDERTOINDEX: return h->logicalIndex(static_cast<int>(wParam));
    case HDM_GETORDERARRAY: {
      auto* out = reinterpret_cast<int*>(lParam);
      if (!out || static_cast<int>(wParam) < h->count()) return FALSE;
      for (int v = 0; v < h->count(); ++v) out[v] = h->logicalIndex(v);
      return TRUE;
    }
    case HDM_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lParam);
      const int i = static_cast<int>(wParam);
      if (!r || i < 0 || i >= h->count()) return FALSE;
      const int left = h->sectionViewportPosition(i);
      *r = RECT{left, 0, left + h->sectionSize(i), h->height()};
      return TRUE;
    }
    case HDM_GETITEMW: {
      auto* item = reinterpret_cast<HDITEMW*>(lParam);
      const int i = static_cast<int>(wParam);
      if (!item || i < 0 || i >= h->count()) return FALSE;
      if (item->mask & HDI_WIDTH) item->cxy = h->sectionSize(i);
      if (item->mask & HDI_FORMAT) item->fmt = h->Format(i);
      if (item->mask & HDI_ORDER) item->iOrder = h->visualIndex(i);
      if ((item->mask & HDI_TEXT) && h->model())
        CopyText(h->model()->headerData(i, Qt::Horizontal).toString(), item->pszText, item->cchTextMax);
      return TRUE;
    }
    case HDM_SETITEMW: {
      auto* item = reinterpret_cast<const HDITEMW*>(lParam);
      const int i = static_cast<int>(wParam);
      if (!item || i < 0 || i >= h->count()) return FALSE;
      if (item->mask & HDI_WIDTH) h->resizeSection(i, item->cxy);
      if (item->mask & HDI_FORMAT) h->SetFormat(i, item->fmt);
      if ((item->mask & HDI_TEXT) && h->model() && item->pszText)
        h->model()->setHeaderData(i, Qt::Horizontal, QString::fromStdWString(item->pszText));
      return TRUE;
    }
    default: break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}
}  // namespace qlw::wnd
