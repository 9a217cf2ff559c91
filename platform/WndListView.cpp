// The list view control in report view: a QTreeView over a table model. With LVS_OWNERDATA the
// model keeps only the row count and asks the parent for each cell it shows (LVN_GETDISPINFOW);
// otherwise it keeps the items' texts, data and states itself.
#include <QAbstractTableModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTreeView>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "Controls.h"
#include "WndGeometry.h"
#include "WndQt.h"

namespace {
thread_local int t_quiet = 0;

struct Row {
  std::vector<std::wstring> cells;
  LPARAM data = 0;
};

class ListModel : public QAbstractTableModel {
 public:
  ListModel(HWND hwnd, bool ownerData) : m_hwnd(hwnd), m_ownerData(ownerData) {}

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
  Qt::Alignment Align(int column) const {
    const int fmt = m_columns[static_cast<size_t>(column)].fmt & 0x3;
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

class ListView : public QTreeView {
 public:
  ListView(HWND hwnd, DWORD style, QWidget* parent)
      : QTreeView(parent), m_hwnd(hwnd), m_model(hwnd, (style & LVS_OWNERDATA) != 0) {
    setModel(&m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode((style & LVS_SINGLESEL) ? QAbstractItemView::SingleSelection : QAbstractItemView::ExtendedSelection);
    header()->setSectionsClickable(!(style & LVS_NOSORTHEADER));
    header()->setStretchLastSection(false);
    QObject::connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
                     [this](const QItemSelection& on, const QItemSelection& off) {
                       if (t_quiet) return;
                       for (const QModelIndex& i : off.indexes())
                         if (i.column() == 0) Changed(i.row(), LVIS_SELECTED, 0);
                       for (const QModelIndex& i : on.indexes())
                         if (i.column() == 0) Changed(i.row(), 0, LVIS_SELECTED);
                     });
    QObject::connect(this, &QTreeView::clicked, this, [this](const QModelIndex& i) { Activate(NM_CLICK, i); });
    QObject::connect(this, &QTreeView::doubleClicked, this, [this](const QModelIndex& i) { Activate(NM_DBLCLK, i); });
    QObject::connect(header(), &QHeaderView::sectionClicked, this, [this](int section) {
      NMLISTVIEW nm{};
      nm.iItem = -1;
      nm.iSubItem = section;
      Notify(nm.hdr, LVN_COLUMNCLICK);
    });
  }
  ListModel& Model() { return m_model; }
  LRESULT Notify(NMHDR& hdr, UINT code) {
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
  void Activate(UINT code, const QModelIndex& i) {
    NMITEMACTIVATE nm{};
    nm.iItem = i.isValid() ? i.row() : -1;
    nm.iSubItem = i.isValid() ? i.column() : 0;
    QPoint p = viewport()->mapFromGlobal(QCursor::pos());
    nm.ptAction = POINT{p.x(), p.y()};
    Notify(nm.hdr, code);
  }
  bool Selected(int row) const { return selectionModel()->isRowSelected(row, QModelIndex()); }

 private:
  HWND m_hwnd;
  ListModel m_model;
};

ListView* ViewOf(HWND hwnd) { return dynamic_cast<ListView*>(qlw::WidgetOf(hwnd)); }

UINT StateOf(ListView* v, int row) {
  UINT state = 0;
  if (v->Selected(row)) state |= LVIS_SELECTED;
  if (v->currentIndex().isValid() && v->currentIndex().row() == row) state |= LVIS_FOCUSED;
  return state;
}

void SetState(ListView* v, int row, UINT state, UINT mask) {
  const int count = v->Model().rowCount();
  const int first = row < 0 ? 0 : row, last = row < 0 ? count - 1 : row;
  for (int r = first; r <= last && r < count; ++r) {
    const QModelIndex i = v->Model().index(r, 0);
    if (mask & LVIS_SELECTED)
      v->selectionModel()->select(i, ((state & LVIS_SELECTED) ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                         QItemSelectionModel::Rows);
    if ((mask & LVIS_FOCUSED) && (state & LVIS_FOCUSED))
      v->selectionModel()->setCurrentIndex(i, QItemSelectionModel::NoUpdate);
  }
}
}  // namespace

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
    case LVM_INSERTCOLUMNW: {
      auto* c = reinterpret_cast<const LVCOLUMNW*>(lParam);
      if (!c) return -1;
      const int at = std::clamp(index, 0, m.columnCount());
      m.InsertColumn(at, ListModel::Column{(c->mask & LVCF_TEXT) && c->pszText ? c->pszText : L"", (c->mask & LVCF_FMT) ? c->fmt : 0});
      if (c->mask & LVCF_WIDTH) v->header()->resizeSection(at, c->cx);
      return at;
    }
    case LVM_DELETECOLUMN:
      if (index < 0 || index >= m.columnCount()) return FALSE;
      m.RemoveColumn(index);
      return TRUE;
    case LVM_SETCOLUMNWIDTH:
      if (index < 0 || index >= m.columnCount()) return FALSE;
      v->header()->resizeSection(index, static_cast<int>(static_cast<short>(LOWORD(lParam))));
      return TRUE;
    case LVM_GETCOLUMNWIDTH: return index >= 0 && index < m.columnCount() ? v->header()->sectionSize(index) : 0;
    case LVM_SETITEMCOUNT: {
      ++t_quiet;
      m.SetCount(index);
      --t_quiet;
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
      const size_t n = std::min(text.size(), static_cast<size_t>(item->cchTextMax) - 1);
      std::wmemcpy(item->pszText, text.data(), n);
      item->pszText[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case LVM_GETITEMW: {
      auto* item = reinterpret_cast<LVITEMW*>(lParam);
      if (!item || item->iItem < 0 || item->iItem >= m.rowCount()) return FALSE;
      if ((item->mask & LVIF_PARAM) && !m.m_ownerData) item->lParam = m.m_rows[static_cast<size_t>(item->iItem)].data;
      if (item->mask & LVIF_STATE) item->state = StateOf(v, item->iItem) & item->stateMask;
      if ((item->mask & LVIF_TEXT) && item->pszText && item->cchTextMax > 0) {
        const std::wstring text = m.Text(item->iItem, item->iSubItem);
        const size_t n = std::min(text.size(), static_cast<size_t>(item->cchTextMax) - 1);
        std::wmemcpy(item->pszText, text.data(), n);
        item->pszText[n] = L'\0';
      }
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
    case LVM_DELETEALLITEMS: m.Clear(); return TRUE;
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
      for (int r = index + 1; r < m.rowCount(); ++r) {
        const UINT state = StateOf(v, r);
        if (flags == LVNI_ALL || ((flags & LVNI_SELECTED) && (state & LVIS_SELECTED)) ||
            ((flags & LVNI_FOCUSED) && (state & LVIS_FOCUSED)))
          return r;
      }
      return -1;
    }
    case LVM_ENSUREVISIBLE:
      if (index >= 0 && index < m.rowCount()) v->scrollTo(m.index(index, 0));
      return TRUE;
    case LVM_REDRAWITEMS: m.Changed(static_cast<int>(wParam), static_cast<int>(lParam)); return TRUE;
    case LVM_GETTOPINDEX: {
      const QModelIndex top = v->indexAt(QPoint(1, 1));
      return top.isValid() ? top.row() : 0;
    }
    case LVM_GETCOUNTPERPAGE: {
      const int h = v->sizeHintForRow(0);
      return h > 0 ? v->viewport()->height() / h : 0;
    }
    case LVM_GETITEMRECT:
    case LVM_GETSUBITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lParam);
      if (!r || index < 0 || index >= m.rowCount()) return FALSE;
      const int column = message == LVM_GETSUBITEMRECT ? r->top : 0;
      QRect q = v->visualRect(m.index(index, std::clamp(column, 0, std::max(0, m.columnCount() - 1))));
      if (message == LVM_GETITEMRECT) q.setLeft(0), q.setWidth(v->header()->length());
      q.translate(v->viewport()->pos());
      *r = RECT{q.left(), q.top(), q.left() + q.width(), q.top() + q.height()};
      return TRUE;
    }
    case LVM_HITTEST:
    case LVM_SUBITEMHITTEST: {
      auto* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
      if (!info) return -1;
      const QModelIndex i = v->indexAt(QPoint(info->pt.x, info->pt.y) - v->viewport()->pos());
      info->iItem = i.isValid() ? i.row() : -1;
      info->iSubItem = i.isValid() ? i.column() : 0;
      info->flags = i.isValid() ? LVHT_ONITEM : 0;
      return info->iItem;
    }
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      const DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFFu;
      if (mask & LVS_EX_GRIDLINES) v->setAlternatingRowColors(lParam & LVS_EX_GRIDLINES);
      return 0;
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
