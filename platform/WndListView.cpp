// The list view control in report view: a QTreeView over a table model. With LVS_OWNERDATA the
// model keeps only the row count and asks the parent for each cell it shows (LVN_GETDISPINFOW);
// otherwise it keeps the items' texts, data and states itself. Every cell is painted here, with
// the custom-draw notifications around it; the column header is a header control of its own
// (WndHeader.cpp).
#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTreeView>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "Controls.h"
#include "Resources.h"
#include "WndGeometry.h"
#include "WndQt.h"

struct HIMAGELIST__ {
  int cx, cy;
};

namespace qlw::wnd {
LRESULT CALLBACK HeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void HeaderColumnInserted(HWND header, int at, int fmt);
void HeaderColumnRemoved(HWND header, int at);
}  // namespace qlw::wnd

namespace {
thread_local int t_quiet = 0;

struct Row {
  std::vector<std::wstring> cells;
  LPARAM data = 0;
};

QColor ToQ(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

class ListModel : public QAbstractTableModel {
 public:
  ListModel(HWND hwnd, bool ownerData) : m_hwnd(hwnd), m_ownerData(ownerData) {}
  // A subclass may turn owner data on after creation (while the list is empty).
  void FollowStyle() {
    const bool ownerData = (GetWindowLongW(m_hwnd, GWL_STYLE) & LVS_OWNERDATA) != 0;
    if (ownerData == m_ownerData) return;
    beginResetModel();
    m_ownerData = ownerData;
    m_rows.clear();
    m_count = 0;
    endResetModel();
  }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : (m_ownerData ? m_count : static_cast<int>(m_rows.size()));
  }
  int columnCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return QString::fromStdWString(Text(index.row(), index.column()));
  }
  QVariant headerData(int section, Qt::Orientation o, int role) const override {
    if (o != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole) return QString::fromStdWString(m_columns[static_cast<size_t>(section)].title);
    if (role == Qt::TextAlignmentRole) return static_cast<int>(Align(section) | Qt::AlignVCenter);
    return {};
  }
  bool setHeaderData(int section, Qt::Orientation o, const QVariant& value, int role) override {
    if (o != Qt::Horizontal || role != Qt::EditRole || section < 0 || section >= columnCount()) return false;
    m_columns[static_cast<size_t>(section)].title = value.toString().toStdWString();
    emit headerDataChanged(o, section, section);
    return true;
  }

  std::wstring Text(int row, int column) const {
    if (!m_ownerData) {
      if (row < 0 || row >= static_cast<int>(m_rows.size())) return {};
      const Row& r = m_rows[static_cast<size_t>(row)];
      return column < static_cast<int>(r.cells.size()) ? r.cells[static_cast<size_t>(column)] : std::wstring();
    }
    NMLVDISPINFOW info{};
    wchar_t buffer[1024] = {};
    info.hdr.hwndFrom = m_hwnd;
    info.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(m_hwnd));
    info.hdr.code = LVN_GETDISPINFOW;
    info.item.mask = LVIF_TEXT;
    info.item.iItem = row;
    info.item.iSubItem = column;
    info.item.pszText = buffer;
    info.item.cchTextMax = static_cast<int>(std::size(buffer));
    HWND parent = GetParent(m_hwnd);
    if (parent) SendMessageW(parent, WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    // The parent may point at text of its own instead of filling the buffer.
    const wchar_t* text = info.item.pszText && info.item.pszText != LPSTR_TEXTCALLBACKW ? info.item.pszText : buffer;
    return std::wstring(text, wcsnlen(text, info.item.pszText == buffer ? std::size(buffer) : 0x10000));
  }
  int Format(int column) const {
    return column >= 0 && column < columnCount() ? m_columns[static_cast<size_t>(column)].fmt : 0;
  }
  Qt::Alignment Align(int column) const {
    const int fmt = Format(column) & LVCFMT_JUSTIFYMASK;
    return fmt == LVCFMT_RIGHT ? Qt::AlignRight : fmt == LVCFMT_CENTER ? Qt::AlignHCenter : Qt::AlignLeft;
  }

  struct Column {
    std::wstring title;
    int fmt;
  };
  HWND m_hwnd;
  bool m_ownerData;
  int m_count = 0;
  std::vector<Row> m_rows;
  std::vector<Column> m_columns;

  void SetCount(int count) {
    beginResetModel();
    m_count = std::max(0, count);
    endResetModel();
  }
  void InsertColumn(int at, Column c) {
    beginInsertColumns(QModelIndex(), at, at);
    m_columns.insert(m_columns.begin() + at, std::move(c));
    endInsertColumns();
  }
  void RemoveColumn(int at) {
    beginRemoveColumns(QModelIndex(), at, at);
    m_columns.erase(m_columns.begin() + at);
    endRemoveColumns();
  }
  void InsertRow(int at, Row r) {
    beginInsertRows(QModelIndex(), at, at);
    m_rows.insert(m_rows.begin() + at, std::move(r));
    endInsertRows();
  }
  void RemoveRow(int at) {
    beginRemoveRows(QModelIndex(), at, at);
    m_rows.erase(m_rows.begin() + at);
    endRemoveRows();
  }
  void Clear() {
    beginResetModel();
    m_rows.clear();
    m_count = 0;
    endResetModel();
  }
  void Changed(int first, int last) {
    if (rowCount() == 0 || columnCount() == 0) return;
    first = std::clamp(first, 0, rowCount() - 1);
    last = std::clamp(last, first, rowCount() - 1);
    emit dataChanged(index(first, 0), index(last, columnCount() - 1));
  }
};

class ListView;

// Paints every cell through the view, so that custom draw sees each one.
class CellDelegate : public QStyledItemDelegate {
 public:
  explicit CellDelegate(ListView* view);
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  ListView* m_view;
};

class ListView : public QTreeView {
 public:
  ListView(HWND hwnd, DWORD style, QWidget* parent)
      : QTreeView(parent), m_hwnd(hwnd), m_model(hwnd, (style & LVS_OWNERDATA) != 0), m_delegate(this) {
    setModel(&m_model);
    setItemDelegate(&m_delegate);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode((style & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
    ConfigureHeader(header(), style);
    SetBackground(m_bk);
    QObject::connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
                     [this](const QItemSelection& on, const QItemSelection& off) {
                       if (t_quiet) return;
                       Report(off, LVIS_SELECTED, 0);
                       Report(on, 0, LVIS_SELECTED);
                     });
    QObject::connect(this, &QTreeView::clicked, this, [this](const QModelIndex& i) { Activate(NM_CLICK, i); });
    QObject::connect(this, &QTreeView::doubleClicked, this, [this](const QModelIndex& i) { Activate(NM_DBLCLK, i); });
  }

  void ConfigureHeader(QHeaderView* h, DWORD style) {
    h->setSectionsClickable(!(style & LVS_NOSORTHEADER));
    h->setStretchLastSection(false);
    h->setMinimumSectionSize(0);
    h->setSectionsMovable((m_exStyle & LVS_EX_HEADERDRAGDROP) != 0);
    if (style & LVS_NOCOLUMNHEADER) h->hide();
  }
  void AdoptHeader(HWND headerHwnd, DWORD style) {
    auto* h = qobject_cast<QHeaderView*>(qlw::WidgetOf(headerHwnd));
    if (!h) return;
    m_header = headerHwnd;
    setHeader(h);
    ConfigureHeader(h, style);
    for (int i = 0; i < m_model.columnCount(); ++i) qlw::wnd::HeaderColumnInserted(m_header, i, m_model.Format(i));
  }

  // A row asked into view as a row (column 0: the focus, LVM_ENSUREVISIBLE) scrolls vertically
  // only, as the platform's report view does: a list scrolled to its right-hand columns stays
  // there when a click selects a row.
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override {
    if (index.column() != 0) return QTreeView::scrollTo(index, hint);
    const int across = horizontalScrollBar()->value();
    QTreeView::scrollTo(index, hint);
    horizontalScrollBar()->setValue(across);
  }

  ListModel& Model() { return m_model; }
  HWND HeaderHwnd() const { return m_header; }
  LRESULT Notify(NMHDR& hdr, UINT code) const {
    hdr.hwndFrom = m_hwnd;
    hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(m_hwnd));
    hdr.code = code;
    HWND parent = GetParent(m_hwnd);
    return parent ? SendMessageW(parent, WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr)) : 0;
  }
  void Changed(int row, UINT oldState, UINT newState) {
    NMLISTVIEW nm{};
    nm.iItem = row;
    nm.uChanged = LVIF_STATE;
    nm.uOldState = oldState;
    nm.uNewState = newState;
    if (!m_model.m_ownerData && row >= 0 && row < static_cast<int>(m_model.m_rows.size()))
      nm.lParam = m_model.m_rows[static_cast<size_t>(row)].data;
    Notify(nm.hdr, LVN_ITEMCHANGED);
  }
  // A run of rows of an owner-data list is reported at once, as the platform's control does.
  void Report(const QItemSelection& selection, UINT oldState, UINT newState) {
    for (const QItemSelectionRange& range : selection) {
      if (range.left() > 0) continue;
      if (m_model.m_ownerData && range.bottom() > range.top()) {
        NMLVODSTATECHANGE nm{};
        nm.iFrom = range.top();
        nm.iTo = range.bottom();
        nm.uOldState = oldState;
        nm.uNewState = newState;
        Notify(nm.hdr, LVN_ODSTATECHANGED);
        continue;
      }
      for (int r = range.top(); r <= range.bottom(); ++r) Changed(r, oldState, newState);
    }
  }
  void Activate(UINT code, const QModelIndex& i) {
    NMITEMACTIVATE nm{};
    nm.iItem = i.isValid() ? i.row() : -1;
    nm.iSubItem = i.isValid() ? i.column() : 0;
    POINT p{};
    GetCursorPos(&p);
    ScreenToClient(m_hwnd, &p);
    nm.ptAction = p;
    Notify(nm.hdr, code);
  }
  bool Selected(int row) const { return selectionModel()->isRowSelected(row, QModelIndex()); }

  // Where the viewport's origin lies in the window's client coordinates.
  QPoint ViewportOffset() const { return viewport()->pos() - contentsRect().topLeft(); }
  QRect ClientRectOfViewport() const { return QRect(ViewportOffset(), viewport()->size()); }

  void SetBackground(COLORREF c) {
    m_bk = c;
    QPalette p = palette();
    p.setColor(QPalette::Base, ToQ(c));
    setPalette(p);
    viewport()->update();
  }

  UINT ItemState(int row) const {
    UINT state = 0;
    if (Selected(row)) state |= CDIS_SELECTED;
    if (currentIndex().isValid() && currentIndex().row() == row) state |= CDIS_FOCUS;
    if (row == m_hot) state |= CDIS_HOT;
    if (!isEnabled()) state |= CDIS_DISABLED;
    return state;
  }

  LRESULT CustomDraw(QPainter* painter, DWORD stage, int row, int column, const QRect& client, NMLVCUSTOMDRAW& cd) const {
    cd.nmcd.dwDrawStage = stage;
    cd.nmcd.rc = RECT{client.left(), client.top(), client.left() + client.width(), client.top() + client.height()};
    cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
    cd.iSubItem = column;
    HDC dc = nullptr;
    if (painter) {
      painter->save();
      painter->translate(-ViewportOffset());
      const QRect area = ClientRectOfViewport();
      dc = qlw::MakePainterDC(painter, RECT{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()});
    }
    cd.nmcd.hdc = dc;
    const LRESULT r = Notify(cd.nmcd.hdr, NM_CUSTOMDRAW);
    if (painter) {
      qlw::ReleasePainterDC(dc);
      painter->restore();
    }
    return r;
  }

  void PaintCell(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int row = index.row(), column = index.column();
    const QRect cell = option.rect;
    NMLVCUSTOMDRAW cd{};
    cd.nmcd.uItemState = ItemState(row);
    cd.clrText = CLR_DEFAULT;
    cd.clrTextBk = CLR_DEFAULT;
    const bool custom = (m_rowFlags & CDRF_NOTIFYSUBITEMDRAW) != 0;
    LRESULT r = CDRF_DODEFAULT;
    if (custom) {
      r = CustomDraw(painter, CDDS_ITEMPREPAINT | CDDS_SUBITEM, row, column, cell.translated(ViewportOffset()), cd);
      if (r & CDRF_SKIPDEFAULT) return;
    }
    const bool selected = (cd.nmcd.uItemState & CDIS_SELECTED) != 0;
    const bool focused = hasFocus() || (QApplication::focusWidget() && isAncestorOf(QApplication::focusWidget()));
    QColor back = ToQ(cd.clrTextBk == CLR_DEFAULT || cd.clrTextBk == CLR_NONE ? m_bk : cd.clrTextBk);
    QColor text = ToQ(cd.clrText == CLR_DEFAULT ? m_text : cd.clrText);
    if (selected && (focused || (GetWindowLongW(m_hwnd, GWL_STYLE) & LVS_SHOWSELALWAYS))) {
      back = ToQ(GetSysColor(focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
      text = ToQ(GetSysColor(focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    }
    painter->fillRect(cell, back);
    const QString s = QString::fromStdWString(m_model.Text(row, column));
    if (!s.isEmpty() && cell.width() > 12) {
      const QRect textRect = cell.adjusted(6, 0, -6, 0);
      painter->setPen(text);
      painter->setFont(font());
      painter->drawText(textRect, static_cast<int>(m_model.Align(column) | Qt::AlignVCenter),
                        fontMetrics().elidedText(s, Qt::ElideRight, textRect.width()));
    }
    if (custom && (r & CDRF_NOTIFYPOSTPAINT))
      CustomDraw(painter, CDDS_ITEMPOSTPAINT | CDDS_SUBITEM, row, column, cell.translated(ViewportOffset()), cd);
  }

  int RowHeight() const { return std::max(fontMetrics().height() + 4, m_imageHeight); }

  HWND m_hwnd;
  HWND m_header = nullptr;
  DWORD m_exStyle = 0;
  COLORREF m_bk = GetSysColor(COLOR_WINDOW);
  COLORREF m_text = GetSysColor(COLOR_WINDOWTEXT);
  int m_selectionMark = -1;
  int m_hot = -1;
  int m_selectedColumn = -1;
  int m_imageHeight = 0;
  HIMAGELIST m_smallImages = nullptr;

 protected:
  void paintEvent(QPaintEvent* e) override {
    NMLVCUSTOMDRAW cd{};
    m_paintFlags = CustomDraw(nullptr, CDDS_PREPAINT, -1, 0, ClientRectOfViewport(), cd);
    if (m_paintFlags & CDRF_SKIPDEFAULT) return;
    QTreeView::paintEvent(e);
  }
  void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    m_rowFlags = 0;
    if (m_paintFlags & CDRF_NOTIFYITEMDRAW) {
      NMLVCUSTOMDRAW cd{};
      cd.nmcd.uItemState = ItemState(index.row());
      QRect rowRect(0, option.rect.top(), viewport()->width(), option.rect.height());
      const LRESULT r = CustomDraw(painter, CDDS_ITEMPREPAINT, index.row(), 0, rowRect.translated(ViewportOffset()), cd);
      if (r & CDRF_SKIPDEFAULT) return;
      m_rowFlags = r;
    }
    QTreeView::drawRow(painter, option, index);
  }

 private:
  ListModel m_model;
  CellDelegate m_delegate;
  mutable LRESULT m_paintFlags = 0;
  mutable LRESULT m_rowFlags = 0;
};

CellDelegate::CellDelegate(ListView* view) : QStyledItemDelegate(view), m_view(view) {}
void CellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
  m_view->PaintCell(painter, option, index);
}
QSize CellDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const { return QSize(10, m_view->RowHeight()); }

ListView* ViewOf(HWND hwnd) { return dynamic_cast<ListView*>(qlw::WidgetOf(hwnd)); }

UINT StateOf(ListView* v, int row) {
  UINT state = 0;
  if (v->Selected(row)) state |= LVIS_SELECTED;
  if (v->currentIndex().isValid() && v->currentIndex().row() == row) state |= LVIS_FOCUSED;
  return state;
}

void SetState(ListView* v, int row, UINT state, UINT mask) {
  const int count = v->Model().rowCount();
  if (count == 0) return;
  const int first = row < 0 ? 0 : row, last = row < 0 ? count - 1 : row;
  if (first >= count) return;
  QItemSelectionModel* sm = v->selectionModel();
  if ((mask & LVIS_SELECTED) && (state & LVIS_SELECTED) && row >= 0) {
    // A row next to a selected run joins it: rows selected one by one (a Shift range) stay one
    // range, so that the selection's cost does not grow with every row.
    QItemSelection selection = sm->selection();
    const int lastColumn = v->Model().columnCount() - 1;
    for (qsizetype i = 0; i < selection.size(); ++i) {
      const QItemSelectionRange r = selection[i];
      if (r.top() <= row && row <= r.bottom()) {
        mask &= ~LVIS_SELECTED;
        break;
      }
      if (r.bottom() + 1 == row || r.top() - 1 == row) {
        selection[i] = QItemSelectionRange(v->Model().index(std::min(r.top(), row), 0),
                                           v->Model().index(std::max(r.bottom(), row), std::max(0, lastColumn)));
        sm->select(selection, QItemSelectionModel::ClearAndSelect);
        mask &= ~LVIS_SELECTED;
        break;
      }
    }
  }
  if (mask & LVIS_SELECTED) {
    const QItemSelection range(v->Model().index(first, 0), v->Model().index(std::min(last, count - 1), 0));
    v->selectionModel()->select(range, ((state & LVIS_SELECTED) ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                           QItemSelectionModel::Rows);
  }
  if (mask & LVIS_FOCUSED) {
    if (state & LVIS_FOCUSED) v->selectionModel()->setCurrentIndex(v->Model().index(first, 0), QItemSelectionModel::NoUpdate);
    else if (row < 0 || (v->currentIndex().isValid() && v->currentIndex().row() == row))
      v->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
  }
}

void CopyText(const std::wstring& text, wchar_t* buffer, int size) {
  if (!buffer || size <= 0) return;
  const size_t n = std::min(text.size(), static_cast<size_t>(size) - 1);
  std::wmemcpy(buffer, text.data(), n);
  buffer[n] = L'\0';
}

LRESULT ForwardHeaderNotification(ListView* v, HWND hwnd, NMHDR* hdr) {
  auto* nm = reinterpret_cast<NMHEADERW*>(hdr);
  if (hdr->code == HDN_ITEMCLICKW) {
    NMLISTVIEW click{};
    click.iItem = -1;
    click.iSubItem = nm->iItem;
    v->Notify(click.hdr, LVN_COLUMNCLICK);
    return 0;
  }
  if (hdr->code == HDN_DIVIDERDBLCLICKW) {
    if (nm->iItem >= 0) v->resizeColumnToContents(nm->iItem);
    return 0;
  }
  // The rest reaches the list's parent as the header's own notification.
  HWND parent = GetParent(hwnd);
  return parent ? SendMessageW(parent, WM_NOTIFY, hdr->idFrom, reinterpret_cast<LPARAM>(hdr)) : 0;
}
}  // namespace

HIMAGELIST ImageList_Create(int cx, int cy, UINT, int, int) {
  if (cx < 0 || cy < 0) return nullptr;
  return new HIMAGELIST__{cx, cy};
}

BOOL ImageList_Destroy(HIMAGELIST list) {
  delete list;
  return list != nullptr;
}

BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy) {
  if (!list) return FALSE;
  if (cx) *cx = list->cx;
  if (cy) *cy = list->cy;
  return TRUE;
}

namespace {
qlw::PainterDCMaker g_makeDC = nullptr;
qlw::PainterDCRelease g_releaseDC = nullptr;
}  // namespace

namespace qlw {
void SetPainterDCMaker(PainterDCMaker make, PainterDCRelease release) {
  g_makeDC = make;
  g_releaseDC = release;
}
HDC MakePainterDC(QPainter* painter, const RECT& bounds) { return g_makeDC ? g_makeDC(painter, bounds) : nullptr; }
void ReleasePainterDC(HDC dc) {
  if (dc && g_releaseDC) g_releaseDC(dc);
}
}  // namespace qlw

namespace qlw::wnd {
QWidget* MakeListView(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parent) {
  return new ListView(hwnd, static_cast<DWORD>(cs.style), parent);
}

LRESULT CALLBACK ListViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ListView* v = ViewOf(hwnd);
  if (!v) return DefWindowProcW(hwnd, message, wParam, lParam);
  ListModel& m = v->Model();
  const int index = static_cast<int>(wParam);
  switch (message) {
    case WM_CREATE: {
      const DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
      HWND header = CreateWindowExW(0, WC_HEADER, L"", WS_CHILD | WS_VISIBLE | HDS_BUTTONS, 0, 0, 0, 0, hwnd, nullptr,
                                    nullptr, nullptr);
      if (header) v->AdoptHeader(header, style);
      break;
    }
    case WM_SETREDRAW:
      v->setUpdatesEnabled(wParam != 0);
      if (wParam) v->viewport()->update();
      return 0;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lParam);
      if (hdr && hdr->hwndFrom == v->HeaderHwnd()) return ForwardHeaderNotification(v, hwnd, hdr);
      break;
    }
    case WM_MOUSEMOVE: {
      if (!(v->m_exStyle & (LVS_EX_TRACKSELECT | LVS_EX_ONECLICKACTIVATE | LVS_EX_TWOCLICKACTIVATE))) break;
      const QPoint at(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
      const QModelIndex i = v->indexAt(at - v->ViewportOffset());
      const int old = v->m_hot;
      int hot = -1;
      if (i.isValid()) {
        NMLISTVIEW nm{};
        nm.iItem = i.row();
        nm.iSubItem = i.column();
        nm.ptAction = POINT{at.x(), at.y()};
        // A refusal keeps the hot item where it was.
        hot = v->Notify(nm.hdr, LVN_HOTTRACK) == 0 ? i.row() : old;
      }
      if (hot != old) {
        v->m_hot = hot;
        v->viewport()->update();
      }
      break;
    }
    case LVM_GETHEADER: return reinterpret_cast<LRESULT>(v->HeaderHwnd());
    case LVM_INSERTCOLUMNW: {
      auto* c = reinterpret_cast<const LVCOLUMNW*>(lParam);
      if (!c) return -1;
      const int at = std::clamp(index, 0, m.columnCount());
      const int fmt = (c->mask & LVCF_FMT) ? c->fmt : 0;
      m.InsertColumn(at, ListModel::Column{(c->mask & LVCF_TEXT) && c->pszText ? c->pszText : L"", fmt});
      qlw::wnd::HeaderColumnInserted(v->HeaderHwnd(), at, fmt & LVCFMT_JUSTIFYMASK);
      if (c->mask & LVCF_WIDTH) v->header()->resizeSection(at, c->cx);
      return at;
    }
    case LVM_DELETECOLUMN:
      if (index < 0 || index >= m.columnCount()) return FALSE;
      m.RemoveColumn(index);
      qlw::wnd::HeaderColumnRemoved(v->HeaderHwnd(), index);
      return TRUE;
    case LVM_GETCOLUMNW: {
      auto* c = reinterpret_cast<LVCOLUMNW*>(lParam);
      if (!c || index < 0 || index >= m.columnCount()) return FALSE;
      if (c->mask & LVCF_FMT) c->fmt = m.Format(index);
      if (c->mask & LVCF_WIDTH) c->cx = v->header()->sectionSize(index);
      if (c->mask & LVCF_TEXT) CopyText(m.m_columns[static_cast<size_t>(index)].title, c->pszText, c->cchTextMax);
      return TRUE;
    }
    case LVM_SETCOLUMNW: {
      auto* c = reinterpret_cast<const LVCOLUMNW*>(lParam);
      if (!c || index < 0 || index >= m.columnCount()) return FALSE;
      if (c->mask & LVCF_FMT) m.m_columns[static_cast<size_t>(index)].fmt = c->fmt;
      if ((c->mask & LVCF_TEXT) && c->pszText) m.setHeaderData(index, Qt::Horizontal, QString::fromStdWString(c->pszText), Qt::EditRole);
      if (c->mask & LVCF_WIDTH) v->header()->resizeSection(index, c->cx);
      if (c->mask & LVCF_FMT) emit m.headerDataChanged(Qt::Horizontal, index, index);
      v->viewport()->update();
      return TRUE;
    }
    case LVM_GETCOLUMNORDERARRAY: {
      auto* out = reinterpret_cast<int*>(lParam);
      if (!out || index < m.columnCount()) return FALSE;
      for (int i = 0; i < m.columnCount(); ++i) out[i] = v->header()->logicalIndex(i);
      return TRUE;
    }
    case LVM_SETCOLUMNWIDTH:
      if (index < 0 || index >= m.columnCount()) return FALSE;
      v->header()->resizeSection(index, std::max(0, static_cast<int>(static_cast<short>(LOWORD(lParam)))));
      return TRUE;
    case LVM_GETCOLUMNWIDTH: return index >= 0 && index < m.columnCount() ? v->header()->sectionSize(index) : 0;
    case LVM_SETITEMCOUNT: {
      m.FollowStyle();
      ++t_quiet;
      m.SetCount(index);
      --t_quiet;
      if (v->m_selectionMark >= m.rowCount()) v->m_selectionMark = -1;
      if (v->m_hot >= m.rowCount()) v->m_hot = -1;
      return TRUE;
    }
    case LVM_GETITEMCOUNT: return m.rowCount();
    case LVM_INSERTITEMW: {
      auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (!item || m.m_ownerData) return -1;
      const int at = std::clamp(item->iItem, 0, m.rowCount());
      Row r;
      r.cells.resize(static_cast<size_t>(std::max(1, m.columnCount())));
      if ((item->mask & LVIF_TEXT) && item->pszText && item->pszText != LPSTR_TEXTCALLBACKW) r.cells[0] = item->pszText;
      if (item->mask & LVIF_PARAM) r.data = item->lParam;
      ++t_quiet;
      m.InsertRow(at, std::move(r));
      --t_quiet;
      return at;
    }
    case LVM_SETITEMTEXTW: {
      auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (!item || m.m_ownerData || index < 0 || index >= m.rowCount()) return FALSE;
      Row& r = m.m_rows[static_cast<size_t>(index)];
      if (item->iSubItem >= static_cast<int>(r.cells.size())) r.cells.resize(static_cast<size_t>(item->iSubItem) + 1);
      r.cells[static_cast<size_t>(item->iSubItem)] = item->pszText ? item->pszText : L"";
      m.Changed(index, index);
      return TRUE;
    }
    case LVM_GETITEMTEXTW: {
      auto* item = reinterpret_cast<LVITEMW*>(lParam);
      if (!item || !item->pszText || item->cchTextMax <= 0) return 0;
      const std::wstring text = m.Text(index, item->iSubItem);
      CopyText(text, item->pszText, item->cchTextMax);
      return static_cast<LRESULT>(std::min(text.size(), static_cast<size_t>(item->cchTextMax) - 1));
    }
    case LVM_GETITEMW: {
      auto* item = reinterpret_cast<LVITEMW*>(lParam);
      if (!item || item->iItem < 0 || item->iItem >= m.rowCount()) return FALSE;
      if ((item->mask & LVIF_PARAM) && !m.m_ownerData) item->lParam = m.m_rows[static_cast<size_t>(item->iItem)].data;
      if (item->mask & LVIF_STATE) item->state = StateOf(v, item->iItem) & item->stateMask;
      if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax > 0)
        CopyText(m.Text(item->iItem, item->iSubItem), item->pszText, item->cchTextMax);
      return TRUE;
    }
    case LVM_SETITEMW: {
      auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (!item || item->iItem < 0 || item->iItem >= m.rowCount()) return FALSE;
      if ((item->mask & LVIF_PARAM) && !m.m_ownerData) m.m_rows[static_cast<size_t>(item->iItem)].data = item->lParam;
      if (item->mask & LVIF_STATE) SetState(v, item->iItem, item->state, item->stateMask);
      if ((item->mask & LVIF_TEXT) && !m.m_ownerData) {
        LVITEMW copy = *item;
        SendMessageW(hwnd, LVM_SETITEMTEXTW, static_cast<WPARAM>(item->iItem), reinterpret_cast<LPARAM>(&copy));
      }
      return TRUE;
    }
    case LVM_DELETEITEM:
      if (m.m_ownerData || index < 0 || index >= m.rowCount()) return FALSE;
      m.RemoveRow(index);
      return TRUE;
    case LVM_DELETEALLITEMS:
      m.FollowStyle();
      m.Clear();
      return TRUE;
    case LVM_SETITEMSTATE: {
      auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (!item) return FALSE;
      SetState(v, index, item->state, item->stateMask);
      return TRUE;
    }
    case LVM_GETITEMSTATE: return index >= 0 && index < m.rowCount() ? StateOf(v, index) & static_cast<UINT>(lParam) : 0;
    case LVM_GETSELECTEDCOUNT: return v->selectionModel()->selectedRows().size();
    case LVM_GETNEXTITEM: {
      const UINT flags = LOWORD(lParam);
      if (flags == LVNI_SELECTED) {
        // Selected rows straight from the selection, so that a long owner-data list is not walked.
        int best = -1;
        for (const QItemSelectionRange& r : v->selectionModel()->selection()) {
          const int from = std::max(r.top(), index + 1);
          if (from <= r.bottom() && (best < 0 || from < best)) best = from;
        }
        return best;
      }
      for (int r = index + 1; r < m.rowCount(); ++r) {
        const UINT state = StateOf(v, r);
        if (flags == LVNI_ALL || ((flags & LVNI_SELECTED) && (state & LVIS_SELECTED)) ||
            ((flags & LVNI_FOCUSED) && (state & LVIS_FOCUSED)))
          return r;
      }
      return -1;
    }
    case LVM_GETSELECTIONMARK: return v->m_selectionMark;
    case LVM_SETSELECTIONMARK: {
      const int old = v->m_selectionMark;
      v->m_selectionMark = static_cast<int>(lParam) < m.rowCount() ? static_cast<int>(lParam) : -1;
      return old;
    }
    case LVM_GETHOTITEM: return v->m_hot;
    case LVM_SETSELECTEDCOLUMN: v->m_selectedColumn = index; v->viewport()->update(); return 0;
    case LVM_GETSELECTEDCOLUMN: return v->m_selectedColumn;
    case LVM_GETBKCOLOR: return v->m_bk;
    case LVM_SETBKCOLOR: v->SetBackground(static_cast<COLORREF>(lParam)); return TRUE;
    case LVM_GETTEXTCOLOR: return v->m_text;
    case LVM_SETTEXTCOLOR: v->m_text = static_cast<COLORREF>(lParam); v->viewport()->update(); return TRUE;
    case LVM_SETIMAGELIST: {
      if (index != LVSIL_SMALL) return 0;
      HIMAGELIST old = v->m_smallImages;
      v->m_smallImages = reinterpret_cast<HIMAGELIST>(lParam);
      int cy = 0;
      v->m_imageHeight = ImageList_GetIconSize(v->m_smallImages, nullptr, &cy) ? cy : 0;
      v->doItemsLayout();
      return reinterpret_cast<LRESULT>(old);
    }
    case LVM_ENSUREVISIBLE:
      if (index >= 0 && index < m.rowCount()) v->scrollTo(m.index(index, 0));
      return TRUE;
    case LVM_SCROLL:
      v->horizontalScrollBar()->setValue(v->horizontalScrollBar()->value() + static_cast<int>(wParam));
      if (lParam) v->verticalScrollBar()->setValue(v->verticalScrollBar()->value() + static_cast<int>(lParam) / std::max(1, v->RowHeight()));
      return TRUE;
    case LVM_REDRAWITEMS: m.Changed(static_cast<int>(wParam), static_cast<int>(lParam)); return TRUE;
    case LVM_GETTOPINDEX: {
      const QModelIndex top = v->indexAt(QPoint(1, 1));
      return top.isValid() ? top.row() : 0;
    }
    case LVM_GETCOUNTPERPAGE: return v->viewport()->height() / std::max(1, v->RowHeight());
    case LVM_GETITEMRECT:
    case LVM_GETSUBITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lParam);
      if (!r || index < 0 || index >= m.rowCount()) return FALSE;
      const int column = message == LVM_GETSUBITEMRECT ? r->top : 0;
      if (column < 0 || column >= std::max(1, m.columnCount())) return FALSE;
      QRect q = v->visualRect(m.index(index, column));
      if (q.isNull() && m.columnCount() > 0) {
        // A row out of view still has a place: its top from the scroll position.
        const int top = (index - v->verticalScrollBar()->value()) * v->RowHeight();
        q = QRect(v->header()->sectionViewportPosition(column), top, v->header()->sectionSize(column), v->RowHeight());
      }
      if (message == LVM_GETITEMRECT || column == 0) q.setLeft(-v->horizontalScrollBar()->value()), q.setWidth(v->header()->length());
      q.translate(v->ViewportOffset());
      *r = RECT{q.left(), q.top(), q.left() + q.width(), q.top() + q.height()};
      return TRUE;
    }
    case LVM_HITTEST:
    case LVM_SUBITEMHITTEST: {
      auto* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
      if (!info) return -1;
      const QModelIndex i = v->indexAt(QPoint(info->pt.x, info->pt.y) - v->ViewportOffset());
      info->iItem = i.isValid() ? i.row() : -1;
      info->iSubItem = i.isValid() ? i.column() : 0;
      info->flags = i.isValid() ? LVHT_ONITEM : 0;
      return info->iItem;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE: return v->m_exStyle;
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      const DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFFu;
      const DWORD old = v->m_exStyle;
      v->m_exStyle = (old & ~mask) | (static_cast<DWORD>(lParam) & mask);
      v->header()->setSectionsMovable((v->m_exStyle & LVS_EX_HEADERDRAGDROP) != 0);
      v->viewport()->update();
      return old;
    }
    case WM_KEYDOWN: {
      NMLVKEYDOWN nm{};
      nm.wVKey = static_cast<WORD>(wParam);
      v->Notify(nm.hdr, LVN_KEYDOWN);
      break;
    }
    default: break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}
}  // namespace qlw::wnd
