// The standard controls as native Qt widgets: each window class brings its widget and a window
// procedure that answers the control's messages; user actions reach the parent as the control's
// notifications. Changes made through messages notify only where the platform's controls do.
#include <QAbstractTableModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QImage>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QStyleOptionSlider>
#include <QStylePainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabBar>
#include <QTextEdit>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cwchar>
#include <map>
#include <set>

#include "Controls.h"
#include "MenuOwnerDraw.h"
#include "Resources.h"
#include "WndGeometry.h"
#include "WndInternal.h"
#include "WndQt.h"
#include "WndState.h"

namespace {
// Set while a message changes a control, so that its Qt signals do not pose as the user's.
thread_local int t_quiet = 0;
struct Quiet {
  Quiet() { ++t_quiet; }
  ~Quiet() { --t_quiet; }
};

DWORD Style(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }
QString Q(const wchar_t* s) { return s ? QString::fromStdWString(s) : QString(); }

void NotifyCommand(HWND hwnd, UINT code) {
  if (t_quiet) return;
  HWND parent = GetParent(hwnd);
  if (parent) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

LRESULT Notify(HWND hwnd, NMHDR& hdr, UINT code) {
  hdr.hwndFrom = hwnd;
  hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
  hdr.code = code;
  HWND parent = GetParent(hwnd);
  return parent ? SendMessageW(parent, WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr)) : 0;
}

// Copies text into a caller's buffer of `size` characters; answers the characters copied.
LRESULT CopyOut(const QString& text, wchar_t* buffer, size_t size) {
  if (!buffer || size == 0) return 0;
  std::wstring w = text.toStdWString();
  size_t n = std::min(w.size(), size - 1);
  std::wmemcpy(buffer, w.data(), n);
  buffer[n] = L'\0';
  return static_cast<LRESULT>(n);
}

template <class W>
W* As(HWND hwnd) {
  return qobject_cast<W*>(qlw::WidgetOf(hwnd));
}

// WM_SETTEXT/WM_GETTEXT over a Qt text.
bool TextMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, QString current, LRESULT& out) {
  if (message == WM_GETTEXT) {
    out = CopyOut(current, reinterpret_cast<wchar_t*>(lParam), wParam);
    return true;
  }
  if (message == WM_GETTEXTLENGTH) {
    out = static_cast<LRESULT>(current.toStdWString().size());
    return true;
  }
  (void)hwnd;
  return false;
}

// ---- Button -------------------------------------------------------------------------------
// A push button whose style says BS_OWNERDRAW asks its parent to draw it (WM_DRAWITEM), whenever
// the style was set.
class PushButton : public QPushButton {
 public:
  PushButton(HWND hwnd, const QString& text, QWidget* parent) : QPushButton(text, parent), m_hwnd(hwnd) {}

 protected:
  void paintEvent(QPaintEvent* e) override {
    if ((Style(m_hwnd) & BS_TYPEMASK) != BS_OWNERDRAW) {
      QPushButton::paintEvent(e);
      return;
    }
    QPainter painter(this);
    RECT r{0, 0, width(), height()};
    HDC dc = qlw::MakeOwnerDrawDC(&painter, r);
    HWND parent = GetParent(m_hwnd);
    if (!dc || !parent) {
      qlw::FreeOwnerDrawDC(dc);
      return;
    }
    DRAWITEMSTRUCT di{};
    di.CtlType = ODT_BUTTON;
    di.CtlID = static_cast<UINT>(GetDlgCtrlID(m_hwnd));
    di.itemAction = ODA_DRAWENTIRE;
    if (isDown()) di.itemState |= ODS_SELECTED;
    if (hasFocus()) di.itemState |= ODS_FOCUS;
    if (!isEnabled()) di.itemState |= ODS_DISABLED;
    di.hwndItem = m_hwnd;
    di.hDC = dc;
    di.rcItem = r;
    SendMessageW(parent, WM_DRAWITEM, di.CtlID, reinterpret_cast<LPARAM>(&di));
    qlw::FreeOwnerDrawDC(dc);
  }

 private:
  HWND m_hwnd;
};

// A check box of BS_MULTILINE style: its text wraps onto further lines at the width the layout
// gives it, and it asks for the height of the lines it then needs.
class WrappingCheckBox : public QCheckBox {
 public:
  WrappingCheckBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    QSizePolicy policy = sizePolicy();
    policy.setHorizontalPolicy(QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
  }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override {
    const QRect lines = TextBounds(TextWidth(width));
    return std::max(QCheckBox::sizeHint().height(), lines.height() + 2);
  }
  // At least the box and the longest word.
  QSize minimumSizeHint() const override {
    int widest = 0;
    for (const QString& word : text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
      widest = std::max(widest, fontMetrics().horizontalAdvance(word));
    const int width = widest + (QCheckBox::sizeHint().width() - TextWidth(QCheckBox::sizeHint().width())) + 1;
    return QSize(width, heightForWidth(width));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    painter.drawControl(QStyle::CE_CheckBox, option);
    const QRect contents = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    painter.drawItemText(contents, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap | Qt::TextShowMnemonic,
                         palette(), isEnabled(), text(), QPalette::WindowText);
  }
  // The whole face answers a click, as a one-line box answers on its box and text.
  bool hitButton(const QPoint& at) const override { return rect().contains(at); }

 private:
  // The width left to the text in a box `width` wide.
  int TextWidth(int width) const {
    QStyleOptionButton option;
    initStyleOption(&option);
    option.rect = QRect(0, 0, width, QCheckBox::sizeHint().height());
    return std::max(1, style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this).width());
  }
  QRect TextBounds(int width) const {
    return fontMetrics().boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap | Qt::TextShowMnemonic, text());
  }
};

QWidget* MakeButton(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parent) {
  const DWORD type = static_cast<DWORD>(cs.style) & BS_TYPEMASK;
  const QString text = Q(cs.lpszName).replace(QLatin1Char('&'), QLatin1String("&"));
  QAbstractButton* b = nullptr;
  switch (type) {
    case BS_GROUPBOX: return new QGroupBox(text, parent);
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE: {
      auto* c = (cs.style & BS_MULTILINE) ? new WrappingCheckBox(text, parent) : new QCheckBox(text, parent);
      c->setTristate(type == BS_3STATE || type == BS_AUTO3STATE);
      b = c;
      break;
    }
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON: {
      auto* r = new QRadioButton(text, parent);
      // Radio groups are the dialog's business (WS_GROUP), not Qt's parent-wide exclusivity.
      r->setAutoExclusive(false);
      b = r;
      break;
    }
    default: {
      auto* p = new PushButton(hwnd, text, parent);
      p->setDefault(type == BS_DEFPUSHBUTTON);
      p->setAutoDefault(false);
      b = p;
      break;
    }
  }
  // Non-automatic boxes change only when the owner says so.
  if (type == BS_CHECKBOX || type == BS_3STATE || type == BS_RADIOBUTTON) b->setCheckable(false);
  QObject::connect(b, &QAbstractButton::clicked, b, [hwnd, type, b] {
    if (type == BS_AUTORADIOBUTTON) {
      Quiet q;
      // Unchecks the other automatic radio buttons of the group (up to the next WS_GROUP).
      HWND parent = GetParent(hwnd);
      std::vector<HWND> siblings;
      for (HWND h = GetWindow(hwnd, GW_HWNDFIRST); h; h = GetWindow(h, GW_HWNDNEXT)) siblings.push_back(h);
      auto me = std::find(siblings.begin(), siblings.end(), hwnd);
      auto first = me;
      while (first != siblings.begin() && !(Style(*first) & WS_GROUP)) --first;
      for (auto it = first; it != siblings.end(); ++it) {
        if (it != first && (Style(*it) & WS_GROUP)) break;
        if (*it != hwnd && (Style(*it) & BS_TYPEMASK) == BS_AUTORADIOBUTTON) SendMessageW(*it, BM_SETCHECK, BST_UNCHECKED, 0);
      }
      b->setChecked(true);
      (void)parent;
    }
    NotifyCommand(hwnd, BN_CLICKED);
  });
  return b;
}

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  QWidget* w = qlw::WidgetOf(hwnd);
  auto* b = qobject_cast<QAbstractButton*>(w);
  auto* g = qobject_cast<QGroupBox*>(w);
  LRESULT r;
  switch (message) {
    case BM_GETCHECK: {
      auto* c = qobject_cast<QCheckBox*>(b);
      if (c && c->checkState() == Qt::PartiallyChecked) return BST_INDETERMINATE;
      return b && b->isChecked() ? BST_CHECKED : BST_UNCHECKED;
    }
    case BM_SETCHECK:
      if (b) {
        Quiet q;
        const bool checkable = b->isCheckable();
        b->setCheckable(true);
        if (auto* c = qobject_cast<QCheckBox*>(b); c && wParam == BST_INDETERMINATE) c->setCheckState(Qt::PartiallyChecked);
        else b->setChecked(wParam == BST_CHECKED);
        b->setCheckable(checkable);
        if (!checkable) b->update();
      }
      return 0;
    case BM_CLICK:
      if (b) b->click();
      return 0;
    case WM_SETTEXT:
      if (b) b->setText(Q(reinterpret_cast<const wchar_t*>(lParam)));
      if (g) g->setTitle(Q(reinterpret_cast<const wchar_t*>(lParam)));
      break;
    default:
      if (b && TextMessage(hwnd, message, wParam, lParam, b->text(), r)) return r;
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Unchecked painting of a plain check box: BM_SETCHECK must show even when Qt may not toggle it.
// (QAbstractButton paints isChecked() whatever isCheckable() says after the state was set.)

// ---- Static -------------------------------------------------------------------------------
namespace {
// A static text asks its parent for its colours before it paints (WM_CTLCOLORSTATIC with a device
// context): the parent, or the static itself through the reflected message, may set the text
// colour; a static nobody answers for keeps the style's colour.
class StaticLabel : public QLabel {
 public:
  StaticLabel(HWND hwnd, const QString& text, QWidget* parent) : QLabel(text, parent), m_hwnd(hwnd) {}

 protected:
  void paintEvent(QPaintEvent* e) override {
    TakeParentsColour();
    QLabel::paintEvent(e);
  }

 private:
  void TakeParentsColour() {
    HWND parent = IsWindow(m_hwnd) ? GetParent(m_hwnd) : nullptr;
    if (!parent) return;
    // The DC is one over a scratch picture: the answer is read off it, nothing is drawn.
    QImage scratch(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    HDC dc = qlw::MakeOwnerDrawDC(&painter, RECT{0, 0, 1, 1});
    if (!dc) return;
    const LRESULT brush = SendMessageW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(m_hwnd));
    COLORREF colour = 0;
    const bool read = qlw::OwnerDrawDCTextColour(dc, colour);
    qlw::FreeOwnerDrawDC(dc);
    if (!brush || !read) {
      if (m_coloured) setPalette(QPalette());
      m_coloured = false;
      return;
    }
    const QColor wanted(GetRValue(colour), GetGValue(colour), GetBValue(colour));
    if (m_coloured && palette().color(QPalette::Active, QPalette::WindowText) == wanted) return;
    QPalette p = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) p.setColor(group, QPalette::WindowText, wanted);
    setPalette(p);
    m_coloured = true;
  }

  HWND m_hwnd;
  bool m_coloured = false;
};
}  // namespace

QWidget* MakeStatic(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parent) {
  auto* l = new StaticLabel(hwnd, Q(cs.lpszName), parent);
  const DWORD align = static_cast<DWORD>(cs.style) & 0x3;
  l->setAlignment((align == SS_CENTER ? Qt::AlignHCenter : align == SS_RIGHT ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
  l->setWordWrap((cs.style & SS_EDITCONTROL) != 0);
  return l;
}

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* l = As<QLabel>(hwnd);
  if (l && message == WM_SETTEXT) l->setText(Q(reinterpret_cast<const wchar_t*>(lParam)));
  if (l && message == WM_LBUTTONUP && (Style(hwnd) & SS_NOTIFY)) NotifyCommand(hwnd, STN_CLICKED);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- Edit and rich edit -------------------------------------------------------------------
namespace {
// An edit shows its selection only while it has the focus, as on the platform; the selection itself
// stays (a pane selects a field's text after a refresh, and three fields would otherwise look chosen).
class SelectionHider : public QObject {
 public:
  explicit SelectionHider(QLineEdit* edit) : QObject(edit), m_shown(edit->palette()) { Show(edit, edit->hasFocus()); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
      Show(static_cast<QLineEdit*>(watched), event->type() == QEvent::FocusIn);
    return false;
  }

 private:
  void Show(QLineEdit* edit, bool shown) {
    QPalette palette = edit->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
      palette.setBrush(group, QPalette::Highlight, shown ? m_shown.brush(group, QPalette::Highlight) : palette.brush(group, QPalette::Base));
      palette.setBrush(group, QPalette::HighlightedText,
                       shown ? m_shown.brush(group, QPalette::HighlightedText) : palette.brush(group, QPalette::Text));
    }
    edit->setPalette(palette);
  }

  QPalette m_shown;
};
}  // namespace

QWidget* MakeEdit(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parent) {
  const DWORD style = static_cast<DWORD>(cs.style);
  if (style & ES_MULTILINE) {
    auto* t = new QTextEdit(parent);
    t->setAcceptRichText(false);
    t->setPlainText(Q(cs.lpszName));
    t->setReadOnly(style & ES_READONLY);
    QObject::connect(t, &QTextEdit::textChanged, t, [hwnd] { NotifyCommand(hwnd, EN_CHANGE); });
    return t;
  }
  auto* e = new QLineEdit(Q(cs.lpszName), parent);
  e->setReadOnly(style & ES_READONLY);
  if (style & ES_PASSWORD) e->setEchoMode(QLineEdit::Password);
  if (!(style & ES_NOHIDESEL)) e->installEventFilter(new SelectionHider(e));
  const DWORD align = style & 0x3;
  if (align == ES_RIGHT) e->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  if (align == ES_CENTER) e->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  // EN_UPDATE and EN_CHANGE follow every change of the text, the owner's own included, as on the platform.
  QObject::connect(e, &QLineEdit::textChanged, e, [hwnd] {
    for (UINT code : {EN_UPDATE, EN_CHANGE}) {
      HWND parent = IsWindow(hwnd) ? GetParent(hwnd) : nullptr;
      if (parent) SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
    }
  });
  return e;
}

QWidget* MakeRichEdit(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parent) {
  auto* t = new QTextEdit(parent);
  t->setPlainText(Q(cs.lpszName));
  t->setReadOnly(static_cast<DWORD>(cs.style) & ES_READONLY);
  QObject::connect(t, &QTextEdit::textChanged, t, [hwnd] { NotifyCommand(hwnd, EN_CHANGE); });
  return t;
}

LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  QWidget* w = qlw::WidgetOf(hwnd);
  auto* e = qobject_cast<QLineEdit*>(w);
  auto* t = qobject_cast<QTextEdit*>(w);
  if (!e && !t) return DefWindowProcW(hwnd, message, wParam, lParam);
  LRESULT r;
  switch (message) {
    case WM_SETTEXT:
      if (e) {
        // Setting the same text again still notifies, as on the platform (Qt stays silent).
        const QString text = Q(reinterpret_cast<const wchar_t*>(lParam));
        if (text == e->text()) emit e->textChanged(text);
        else e->setText(text);
        e->setModified(false);
      } else {
        t->setPlainText(Q(reinterpret_cast<const wchar_t*>(lParam)));
      }
      break;  // the handle table keeps the text too
    case EM_SETSEL: {
      int from = static_cast<int>(wParam), to = static_cast<int>(lParam);
      const int length = e ? static_cast<int>(e->text().size()) : static_cast<int>(t->toPlainText().size());
      if (to < 0 || to > length) to = length;
      if (from < 0) {
        if (e) e->deselect();
        return 0;
      }
      if (e) e->setSelection(from, to - from);
      else {
        QTextCursor c = t->textCursor();
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        t->setTextCursor(c);
      }
      return 0;
    }
    case EM_GETSEL: {
      int from = 0, to = 0;
      if (e) {
        from = e->hasSelectedText() ? e->selectionStart() : e->cursorPosition();
        to = e->hasSelectedText() ? e->selectionEnd() : from;
      } else {
        from = t->textCursor().selectionStart();
        to = t->textCursor().selectionEnd();
      }
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(from);
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(to);
      return MAKELRESULT(from, to);
    }
    case EM_REPLACESEL:
      if (e) e->insert(Q(reinterpret_cast<const wchar_t*>(lParam)));
      else t->insertPlainText(Q(reinterpret_cast<const wchar_t*>(lParam)));
      return 0;
    case EM_SCROLLCARET:
      if (t) t->ensureCursorVisible();
      return 0;
    case EM_LIMITTEXT:
      if (e) e->setMaxLength(wParam ? static_cast<int>(std::min<WPARAM>(wParam, 0x7FFFFFFE)) : 0x7FFFFFFE);
      return 0;
    case EM_SETREADONLY:
      if (e) e->setReadOnly(wParam != 0);
      else t->setReadOnly(wParam != 0);
      return TRUE;
    case EM_SETCUEBANNER:
      if (e) e->setPlaceholderText(Q(reinterpret_cast<const wchar_t*>(lParam)));
      else t->setPlaceholderText(Q(reinterpret_cast<const wchar_t*>(lParam)));
      return TRUE;
    case EM_GETMODIFY: return e ? e->isModified() : t->document()->isModified();
    case EM_SETMODIFY:
      if (e) e->setModified(wParam != 0);
      else t->document()->setModified(wParam != 0);
      return 0;
    case WM_SETFOCUS: NotifyCommand(hwnd, EN_SETFOCUS); break;
    case WM_KILLFOCUS: NotifyCommand(hwnd, EN_KILLFOCUS); break;
    default:
      if (TextMessage(hwnd, message, wParam, lParam, e ? e->text() : t->toPlainText(), r)) return r;
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- Combo box ----------------------------------------------------------------------------
bool IsOwnerDrawnCombo(HWND hwnd) { return (Style(hwnd) & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0; }

// Asks the parent to draw item `index` of an owner-drawn combo box into `rect` of the painter.
void DrawComboItem(HWND hwnd, QComboBox* c, QPainter& painter, const QRect& rect, int index, UINT state) {
  HWND parent = GetParent(hwnd);
  RECT r{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
  HDC dc = parent ? qlw::MakeOwnerDrawDC(&painter, r) : nullptr;
  if (!dc) return;
  DRAWITEMSTRUCT di{};
  di.CtlType = ODT_COMBOBOX;
  di.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
  di.itemID = static_cast<UINT>(index);
  di.itemAction = ODA_DRAWENTIRE;
  di.itemState = state | (c->isEnabled() ? 0u : ODS_DISABLED);
  di.hwndItem = hwnd;
  di.hDC = dc;
  di.rcItem = r;
  di.itemData = index >= 0 && index < c->count() ? static_cast<ULONG_PTR>(c->itemData(index).value<qlonglong>()) : 0;
  SendMessageW(parent, WM_DRAWITEM, di.CtlID, reinterpret_cast<LPARAM>(&di));
  qlw::FreeOwnerDrawDC(dc);
}

// The item height that the parent gives an owner-drawn combo box (WM_MEASUREITEM), asked once.
int MeasureComboItems(HWND hwnd, QComboBox* c) {
  QVariant known = c->property("qlwItemHeight");
  if (known.isValid()) return known.toInt();
  MEASUREITEMSTRUCT mi{ODT_COMBOBOX, static_cast<UINT>(GetDlgCtrlID(hwnd)), 0, 0,
                       static_cast<UINT>(c->fontMetrics().height() + 2), 0};
  if (HWND parent = GetParent(hwnd)) SendMessageW(parent, WM_MEASUREITEM, mi.CtlID, reinterpret_cast<LPARAM>(&mi));
  const int height = std::max<int>(static_cast<int>(mi.itemHeight), 4);
  c->setProperty("qlwItemHeight", height);
  return height;
}

class OwnerDrawDelegate : public QStyledItemDelegate {
 public:
  OwnerDrawDelegate(HWND hwnd, QComboBox* combo) : QStyledItemDelegate(combo), m_hwnd(hwnd), m_combo(combo) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    if (!IsOwnerDrawnCombo(m_hwnd)) return QStyledItemDelegate::paint(painter, option, index);
    UINT state = 0;
    if (option.state & (QStyle::State_Selected | QStyle::State_MouseOver)) state |= ODS_SELECTED;
    if (option.state & QStyle::State_HasFocus) state |= ODS_FOCUS;
    painter->save();
    DrawComboItem(m_hwnd, m_combo, *painter, option.rect, index.row(), state);
    painter->restore();
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (IsOwnerDrawnCombo(m_hwnd)) size.setHeight(MeasureComboItems(m_hwnd, m_combo));
    return size;
  }

 private:
  HWND m_hwnd;
  QComboBox* m_combo;
};

// A combo box whose closed face an owner-drawn style has its parent draw (the selected item).
class ComboWidget : public QComboBox {
 public:
  ComboWidget(HWND hwnd, QWidget* parent) : QComboBox(parent), m_hwnd(hwnd) {}
  void showPopup() override {
    // The drop-down's list is built when it is first wanted: a dialog of many boxes opens sooner.
    if (!m_delegate) {
      m_delegate = new OwnerDrawDelegate(m_hwnd, this);
      setItemDelegate(m_delegate);
    }
    NotifyCommand(m_hwnd, CBN_DROPDOWN);
    QComboBox::showPopup();
  }

 protected:
  void focusOutEvent(QFocusEvent* e) override {
    QComboBox::focusOutEvent(e);
    // The list of an open drop-down takes the focus without the box losing it.
    if (!m_delegate || !view()->isVisible()) NotifyCommand(m_hwnd, CBN_KILLFOCUS);
  }
  void paintEvent(QPaintEvent* e) override {
    if (!IsOwnerDrawnCombo(m_hwnd) || isEditable()) return QComboBox::paintEvent(e);
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    UINT state = ODS_COMBOBOXEDIT;
    if (hasFocus()) state |= ODS_SELECTED | ODS_FOCUS;
    painter.save();
    painter.setClipRect(field);
    DrawComboItem(m_hwnd, this, painter, field, currentIndex(), state);
    painter.restore();
  }

 private:
  HWND m_hwnd;
  OwnerDrawDelegate* m_delegate = nullptr;
};

// Owner-drawn items are told to their parent as they go (WM_DELETEITEM).
void AnnounceComboDeletion(HWND hwnd, QComboBox* c, int index) {
  HWND parent = GetParent(hwnd);
  if (!parent || !IsOwnerDrawnCombo(hwnd) || index < 0 || index >= c->count()) return;
  DELETEITEMSTRUCT di{ODT_COMBOBOX, static_cast<UINT>(GetDlgCtrlID(hwnd)), static_cast<UINT>(index), hwnd,
                      static_cast<ULONG_PTR>(c->itemData(index).value<qlonglong>())};
  SendMessageW(parent, WM_DELETEITEM, di.CtlID, reinterpret_cast<LPARAM>(&di));
}

QWidget* MakeCombo(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parent) {
  auto* c = new ComboWidget(hwnd, parent);
  const DWORD kind = static_cast<DWORD>(cs.style) & 0x3;
  c->setEditable(kind == CBS_DROPDOWN || kind == CBS_SIMPLE);
  c->setInsertPolicy(QComboBox::NoInsert);
  QObject::connect(c, &QComboBox::activated, c, [hwnd] {
    NotifyCommand(hwnd, CBN_SELENDOK);
    NotifyCommand(hwnd, CBN_SELCHANGE);
  });
  if (c->isEditable())
    QObject::connect(c, &QComboBox::editTextChanged, c, [hwnd] { NotifyCommand(hwnd, CBN_EDITCHANGE); });
  return c;
}

LRESULT CALLBACK ComboProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* c = As<QComboBox>(hwnd);
  if (!c) return DefWindowProcW(hwnd, message, wParam, lParam);
  Quiet q;
  const int index = static_cast<int>(wParam);
  const auto text = [&] { return Q(reinterpret_cast<const wchar_t*>(lParam)); };
  const auto find = [&](bool exact) -> LRESULT {
    const QString wanted = text();
    for (int i = std::max(0, index + 1); i < c->count(); ++i) {
      const QString item = c->itemText(i);
      if (exact ? item.compare(wanted, Qt::CaseInsensitive) == 0 : item.startsWith(wanted, Qt::CaseInsensitive)) return i;
    }
    for (int i = 0; i <= std::min(index, c->count() - 1); ++i) {
      const QString item = c->itemText(i);
      if (exact ? item.compare(wanted, Qt::CaseInsensitive) == 0 : item.startsWith(wanted, Qt::CaseInsensitive)) return i;
    }
    return CB_ERR;
  };
  LRESULT r;
  switch (message) {
    case CB_ADDSTRING: {
      if (!(GetWindowLongW(hwnd, GWL_STYLE) & CBS_SORT)) {
        c->addItem(text());
        return c->count() - 1;
      }
      // A sorted list places the text before the first item that sorts after it.
      const QString added = text();
      int at = 0;
      while (at < c->count() && c->itemText(at).compare(added, Qt::CaseInsensitive) <= 0) ++at;
      c->insertItem(at, added);
      return at;
    }
    case CB_INSERTSTRING: {
      const int at = index < 0 || index > c->count() ? c->count() : index;
      c->insertItem(at, text());
      return at;
    }
    case CB_DELETESTRING:
      if (index < 0 || index >= c->count()) return CB_ERR;
      AnnounceComboDeletion(hwnd, c, index);
      c->removeItem(index);
      return c->count();
    case CB_RESETCONTENT:
      for (int i = c->count() - 1; i >= 0; --i) AnnounceComboDeletion(hwnd, c, i);
      c->clear();
      return 0;
    case CB_SETMINVISIBLE:
      // The rows the drop-down shows: Qt's list is a window of its own beside the box.
      if (wParam < 1) return FALSE;
      c->setMaxVisibleItems(static_cast<int>(wParam));
      return TRUE;
    case CB_GETMINVISIBLE: return c->maxVisibleItems();
    case CB_GETITEMHEIGHT:
      if (IsOwnerDrawnCombo(hwnd)) return MeasureComboItems(hwnd, c);
      return c->fontMetrics().height() + 2;
    case CB_GETCOUNT: return c->count();
    case CB_GETCURSEL: return c->currentIndex();
    case CB_SETCURSEL:
      if (index < 0 || index >= c->count()) {
        c->setCurrentIndex(-1);
        return CB_ERR;
      }
      c->setCurrentIndex(index);
      return index;
    case CB_GETLBTEXT:
      if (index < 0 || index >= c->count()) return CB_ERR;
      return CopyOut(c->itemText(index), reinterpret_cast<wchar_t*>(lParam), c->itemText(index).toStdWString().size() + 1);
    case CB_GETLBTEXTLEN:
      if (index < 0 || index >= c->count()) return CB_ERR;
      return static_cast<LRESULT>(c->itemText(index).toStdWString().size());
    case CB_GETITEMDATA:
      if (index < 0 || index >= c->count()) return CB_ERR;
      return static_cast<LRESULT>(c->itemData(index).value<qlonglong>());
    case CB_SETITEMDATA:
      if (index < 0 || index >= c->count()) return CB_ERR;
      c->setItemData(index, QVariant::fromValue<qlonglong>(lParam));
      return 0;
    case CB_FINDSTRING: return find(false);
    case CB_FINDSTRINGEXACT: return find(true);
    case CB_SELECTSTRING: {
      LRESULT found = find(false);
      if (found != CB_ERR) c->setCurrentIndex(static_cast<int>(found));
      return found;
    }
    case CB_SHOWDROPDOWN:
      if (wParam) c->showPopup();
      else c->hidePopup();
      return TRUE;
    case CB_SETEDITSEL:
      if (c->lineEdit()) c->lineEdit()->setSelection(LOWORD(lParam), static_cast<short>(HIWORD(lParam)) < 0 ? 0x7FFF : HIWORD(lParam) - LOWORD(lParam));
      return TRUE;
    case CB_LIMITTEXT:
      if (c->lineEdit()) c->lineEdit()->setMaxLength(wParam ? static_cast<int>(wParam) : 0x7FFFFFFE);
      return TRUE;
    case WM_SETTEXT:
      if (c->isEditable()) c->setEditText(text());
      else if (int i = c->findText(text()); i >= 0) c->setCurrentIndex(i);
      break;
    default:
      if (TextMessage(hwnd, message, wParam, lParam, c->currentText(), r)) return r;
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- List box -----------------------------------------------------------------------------
QWidget* MakeListBox(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parent) {
  auto* l = new QListWidget(parent);
  const DWORD style = static_cast<DWORD>(cs.style);
  l->setSelectionMode((style & LBS_EXTENDEDSEL) ? QAbstractItemView::ExtendedSelection
                      : (style & LBS_MULTIPLESEL) ? QAbstractItemView::MultiSelection
                                                  : QAbstractItemView::SingleSelection);
  l->setSortingEnabled(style & LBS_SORT);
  QObject::connect(l, &QListWidget::itemSelectionChanged, l, [hwnd] {
    if (Style(hwnd) & LBS_NOTIFY) NotifyCommand(hwnd, LBN_SELCHANGE);
  });
  QObject::connect(l, &QListWidget::itemDoubleClicked, l, [hwnd] {
    if (Style(hwnd) & LBS_NOTIFY) NotifyCommand(hwnd, LBN_DBLCLK);
  });
  return l;
}

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* l = As<QListWidget>(hwnd);
  if (!l) return DefWindowProcW(hwnd, message, wParam, lParam);
  Quiet q;
  const int index = static_cast<int>(wParam);
  const bool valid = index >= 0 && index < l->count();
  switch (message) {
    case LB_ADDSTRING: {
      auto* item = new QListWidgetItem(Q(reinterpret_cast<const wchar_t*>(lParam)));
      l->addItem(item);
      return l->row(item);
    }
    case LB_INSERTSTRING: {
      const int at = index < 0 || index > l->count() ? l->count() : index;
      l->insertItem(at, Q(reinterpret_cast<const wchar_t*>(lParam)));
      return at;
    }
    case LB_DELETESTRING:
      if (!valid) return LB_ERR;
      delete l->takeItem(index);
      return l->count();
    case LB_RESETCONTENT: l->clear(); return 0;
    case LB_GETCOUNT: return l->count();
    case LB_GETCURSEL: {
      auto sel = l->selectedItems();
      return sel.isEmpty() ? LB_ERR : l->row(sel.front());
    }
    case LB_SETCURSEL:
      l->clearSelection();
      if (!valid) return index == -1 ? 0 : LB_ERR;
      l->setCurrentRow(index);
      l->item(index)->setSelected(true);
      return index;
    case LB_GETSEL: return valid ? l->item(index)->isSelected() : LB_ERR;
    case LB_SETSEL: {
      const int at = static_cast<int>(lParam);
      for (int i = 0; i < l->count(); ++i)
        if (at == -1 || i == at) l->item(i)->setSelected(wParam != 0);
      return 0;
    }
    case LB_GETSELCOUNT: return l->selectedItems().size();
    case LB_GETTEXT:
      if (!valid) return LB_ERR;
      return CopyOut(l->item(index)->text(), reinterpret_cast<wchar_t*>(lParam), l->item(index)->text().toStdWString().size() + 1);
    case LB_GETTEXTLEN: return valid ? static_cast<LRESULT>(l->item(index)->text().toStdWString().size()) : LB_ERR;
    case LB_GETITEMDATA: return valid ? static_cast<LRESULT>(l->item(index)->data(Qt::UserRole).value<qlonglong>()) : LB_ERR;
    case LB_SETITEMDATA:
      if (!valid) return LB_ERR;
      l->item(index)->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(lParam));
      return 0;
    case LB_FINDSTRINGEXACT:
      for (int i = 0; i < l->count(); ++i)
        if (l->item(i)->text().compare(Q(reinterpret_cast<const wchar_t*>(lParam)), Qt::CaseInsensitive) == 0) return i;
      return LB_ERR;
    default: break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- Slider, progress bar, up-down --------------------------------------------------------
// A slider whose tick marks may stand at chosen positions (TBM_SETTIC) instead of at a regular
// interval, which QSlider alone cannot draw.
class TickedSlider : public QSlider {
 public:
  using QSlider::QSlider;
  std::set<int> m_tics;

 protected:
  void paintEvent(QPaintEvent* e) override {
    if (m_tics.empty()) return QSlider::paintEvent(e);
    // Laid out as with ticks, which the style leaves to us: it knows only regular intervals.
    QStylePainter p(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    if (option.tickPosition == QSlider::NoTicks) option.tickPosition = QSlider::TicksBelow;
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    p.drawComplexControl(QStyle::CC_Slider, option);
    const int tick = style()->pixelMetric(QStyle::PM_SliderTickmarkOffset, &option, this);
    const int available = style()->pixelMetric(QStyle::PM_SliderSpaceAvailable, &option, this);
    const int fudge = style()->pixelMetric(QStyle::PM_SliderLength, &option, this) / 2;
    const bool horizontal = orientation() == Qt::Horizontal;
    const bool above = option.tickPosition & QSlider::TicksAbove, below = option.tickPosition & QSlider::TicksBelow;
    const QRect r = rect();
    p.setPen(palette().color(QPalette::WindowText));
    for (int tic : m_tics) {
      if (tic < minimum() || tic > maximum()) continue;
      const int at = QStyle::sliderPositionFromValue(minimum(), maximum(), tic, available, option.upsideDown) + fudge;
      if (horizontal) {
        if (above) p.drawLine(at, r.top(), at, r.top() + tick - 1);
        if (below) p.drawLine(at, r.bottom(), at, r.bottom() - tick + 1);
      } else {
        if (above) p.drawLine(r.left(), at, r.left() + tick - 1, at);
        if (below) p.drawLine(r.right(), at, r.right() - tick + 1, at);
      }
    }
  }
};

QWidget* MakeSlider(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parent) {
  const bool vertical = static_cast<DWORD>(cs.style) & TBS_VERT;
  auto* s = new TickedSlider(vertical ? Qt::Vertical : Qt::Horizontal, parent);
  s->setRange(0, 100);
  const auto report = [hwnd, vertical](int code, int pos) {
    if (t_quiet) return;
    HWND parent = GetParent(hwnd);
    if (parent)
      SendMessageW(parent, vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, pos), reinterpret_cast<LPARAM>(hwnd));
  };
  QObject::connect(s, &QSlider::sliderMoved, s, [report](int pos) { report(TB_THUMBTRACK, pos); });
  QObject::connect(s, &QSlider::actionTriggered, s, [s, report](int action) {
    int code = -1;
    switch (action) {
      case QAbstractSlider::SliderSingleStepAdd: code = TB_LINEDOWN; break;
      case QAbstractSlider::SliderSingleStepSub: code = TB_LINEUP; break;
      case QAbstractSlider::SliderPageStepAdd: code = TB_PAGEDOWN; break;
      case QAbstractSlider::SliderPageStepSub: code = TB_PAGEUP; break;
      case QAbstractSlider::SliderToMinimum: code = TB_TOP; break;
      case QAbstractSlider::SliderToMaximum: code = TB_BOTTOM; break;
      default: break;
    }
    if (code >= 0) QMetaObject::invokeMethod(s, [s, report, code] { report(code, s->value()); report(TB_ENDTRACK, s->value()); }, Qt::QueuedConnection);
  });
  QObject::connect(s, &QSlider::sliderReleased, s, [s, report] {
    report(TB_THUMBPOSITION, s->value());
    report(TB_ENDTRACK, s->value());
  });
  return s;
}

LRESULT CALLBACK SliderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* s = As<QSlider>(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
  Quiet q;
  switch (message) {
    case TBM_GETPOS: return s->value();
    case TBM_SETPOS: s->setValue(static_cast<int>(lParam)); return 0;
    case TBM_SETRANGE: s->setRange(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))); return 0;
    case TBM_SETRANGEMIN: s->setMinimum(static_cast<int>(lParam)); return 0;
    case TBM_SETRANGEMAX: s->setMaximum(static_cast<int>(lParam)); return 0;
    case TBM_GETRANGEMIN: return s->minimum();
    case TBM_GETRANGEMAX: return s->maximum();
    case TBM_SETPAGESIZE: {
      int old = s->pageStep();
      s->setPageStep(static_cast<int>(lParam));
      return old;
    }
    case TBM_SETLINESIZE: {
      int old = s->singleStep();
      s->setSingleStep(static_cast<int>(lParam));
      return old;
    }
    case TBM_SETTICFREQ:
      s->setTickInterval(static_cast<int>(wParam));
      s->setTickPosition(QSlider::TicksBelow);
      return 0;
    case TBM_SETTIC:
      if (auto* t = dynamic_cast<TickedSlider*>(s); t && lParam >= s->minimum() && lParam <= s->maximum()) {
        t->m_tics.insert(static_cast<int>(lParam));
        t->update();
        return TRUE;
      }
      return FALSE;
    case TBM_CLEARTICS:
      if (auto* t = dynamic_cast<TickedSlider*>(s)) t->m_tics.clear(), t->update();
      return 0;
    case TBM_GETNUMTICS:
      if (auto* t = dynamic_cast<TickedSlider*>(s); t && !t->m_tics.empty()) return static_cast<LRESULT>(t->m_tics.size());
      if (s->tickPosition() == QSlider::NoTicks || s->tickInterval() <= 0) return 0;
      return (s->maximum() - s->minimum()) / s->tickInterval() + 1;
    case TBM_GETTIC: {
      auto* t = dynamic_cast<TickedSlider*>(s);
      if (!t || wParam >= t->m_tics.size()) return -1;
      return *std::next(t->m_tics.begin(), static_cast<long>(wParam));
    }
    default: break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

QWidget* MakeProgress(HWND, const CREATESTRUCTW& cs, QWidget* parent) {
  auto* p = new QProgressBar(parent);
  p->setTextVisible(false);
  p->setRange(0, (static_cast<DWORD>(cs.style) & PBS_MARQUEE) ? 0 : 100);
  p->setValue(0);
  return p;
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* p = As<QProgressBar>(hwnd);
  if (!p) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case PBM_SETRANGE: p->setRange(LOWORD(lParam), HIWORD(lParam)); return 0;
    case PBM_SETRANGE32: p->setRange(static_cast<int>(wParam), static_cast<int>(lParam)); return 0;
    case PBM_SETPOS: {
      int old = p->value();
      p->setValue(std::clamp(static_cast<int>(wParam), p->minimum(), p->maximum()));
      return old;
    }
    case PBM_DELTAPOS: {
      int old = p->value();
      p->setValue(std::clamp(old + static_cast<int>(wParam), p->minimum(), p->maximum()));
      return old;
    }
    case PBM_GETPOS: return p->value();
    case PBM_SETMARQUEE:
      // A busy indicator in Qt is a bar with an empty range.
      if (wParam) p->setRange(0, 0);
      else p->setRange(0, 100);
      return TRUE;
    default: break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class UpDownWidget : public QWidget {
 public:
  UpDownWidget(HWND hwnd, bool horizontal, QWidget* parent) : QWidget(parent), m_hwnd(hwnd), m_horizontal(horizontal) {
    QBoxLayout* box = horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(this)) : new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    auto* up = new QToolButton(this);
    auto* down = new QToolButton(this);
    up->setArrowType(horizontal ? Qt::RightArrow : Qt::UpArrow);
    down->setArrowType(horizontal ? Qt::LeftArrow : Qt::DownArrow);
    up->setAutoRepeat(true);
    down->setAutoRepeat(true);
    up->setObjectName("up");
    down->setObjectName("down");
    for (QToolButton* b : {up, down}) {
      b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
      b->setMinimumSize(1, 1);
      // The arrows are for the mouse: Tab goes from the buddy to the next field, not onto them.
      b->setFocusPolicy(Qt::NoFocus);
    }
    if (horizontal) {
      box->addWidget(down);
      box->addWidget(up);
    } else {
      box->addWidget(up);
      box->addWidget(down);
    }
    // A spin sits beside its buddy: narrow, whatever a layout offers.
    if (horizontal) setFixedHeight(18);
    else setFixedWidth(18);
    QObject::connect(up, &QToolButton::clicked, this, [this] { Step(+1); });
    QObject::connect(down, &QToolButton::clicked, this, [this] { Step(-1); });
  }
  // As tall as the edit it sits beside, whatever its arrows would ask for.
  QSize sizeHint() const override { return m_horizontal ? QSize(36, 18) : QSize(18, 24); }
  QSize minimumSizeHint() const override { return m_horizontal ? QSize(24, 12) : QSize(12, 16); }
  int low = 0, high = 100, pos = 0;
  HWND buddy = nullptr;

 private:
  void Step(int delta) {
    NMUPDOWN nm{};
    nm.iPos = pos;
    nm.iDelta = low > high ? -delta : delta;
    // A non-zero answer refuses the change.
    if (Notify(m_hwnd, nm.hdr, UDN_DELTAPOS)) return;
    const int lo = std::min(low, high), hi = std::max(low, high);
    const int next = std::clamp(pos + nm.iDelta, lo, hi);
    if (next == pos) return;
    pos = next;
    HWND parent = GetParent(m_hwnd);
    const UINT msg = (Style(m_hwnd) & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL;
    if (parent) SendMessageW(parent, msg, MAKEWPARAM(SB_THUMBPOSITION, pos), reinterpret_cast<LPARAM>(m_hwnd));
  }
  HWND m_hwnd;
  bool m_horizontal;
};

QWidget* MakeUpDown(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parent) {
  return new UpDownWidget(hwnd, static_cast<DWORD>(cs.style) & UDS_HORZ, parent);
}

LRESULT CALLBACK UpDownProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* u = dynamic_cast<UpDownWidget*>(qlw::WidgetOf(hwnd));
  if (!u) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case UDM_SETRANGE32:
      u->low = static_cast<int>(wParam);
      u->high = static_cast<int>(lParam);
      return 0;
    case UDM_GETRANGE32:
      if (wParam) *reinterpret_cast<int*>(wParam) = u->low;
      if (lParam) *reinterpret_cast<int*>(lParam) = u->high;
      return 0;
    case UDM_SETPOS32: {
      int old = u->pos;
      u->pos = std::clamp(static_cast<int>(lParam), std::min(u->low, u->high), std::max(u->low, u->high));
      return old;
    }
    case UDM_GETPOS32:
      if (lParam) *reinterpret_cast<BOOL*>(lParam) = FALSE;
      return u->pos;
    case UDM_SETBUDDY: {
      HWND old = u->buddy;
      u->buddy = reinterpret_cast<HWND>(wParam);
      return reinterpret_cast<LRESULT>(old);
    }
    case UDM_GETBUDDY: return reinterpret_cast<LRESULT>(IsWindow(u->buddy) ? u->buddy : nullptr);
    default: break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- Tab control --------------------------------------------------------------------------
class TabWidget : public QWidget {
 public:
  TabWidget(HWND hwnd, QWidget* parent) : QWidget(parent), bar(new QTabBar(this)) {
    bar->setDrawBase(true);
    bar->setExpanding(false);
    QObject::connect(bar, &QTabBar::tabBarClicked, this, [this](int index) {
      if (index < 0 || index == bar->currentIndex()) return;
      NMHDR nm{};
      m_vetoed = Notify(m_hwnd, nm, TCN_SELCHANGING) != 0;
    });
    QObject::connect(bar, &QTabBar::currentChanged, this, [this](int) {
      if (t_quiet) return;
      NMHDR nm{};
      Notify(m_hwnd, nm, TCN_SELCHANGE);
    });
    m_hwnd = hwnd;
  }
  void resizeEvent(QResizeEvent*) override { bar->setGeometry(0, 0, width(), bar->sizeHint().height()); }
  QTabBar* bar;
  std::vector<LPARAM> data;

 private:
  HWND m_hwnd{};
  bool m_vetoed = false;
};

QWidget* MakeTab(HWND hwnd, const CREATESTRUCTW&, QWidget* parent) { return new TabWidget(hwnd, parent); }

LRESULT CALLBACK TabProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* t = dynamic_cast<TabWidget*>(qlw::WidgetOf(hwnd));
  if (!t) return DefWindowProcW(hwnd, message, wParam, lParam);
  Quiet q;
  const int index = static_cast<int>(wParam);
  const bool valid = index >= 0 && index < t->bar->count();
  switch (message) {
    case TCM_GETITEMCOUNT: return t->bar->count();
    case TCM_GETCURSEL: return t->bar->currentIndex();
    case TCM_SETCURSEL: {
      if (!valid) return -1;
      int old = t->bar->currentIndex();
      t->bar->setCurrentIndex(index);
      return old;
    }
    case TCM_INSERTITEMW: {
      auto* item = reinterpret_cast<const TCITEMW*>(lParam);
      const int at = index < 0 || index > t->bar->count() ? t->bar->count() : index;
      t->bar->insertTab(at, item && (item->mask & TCIF_TEXT) ? Q(item->pszText) : QString());
      t->data.insert(t->data.begin() + at, item && (item->mask & TCIF_PARAM) ? item->lParam : 0);
      t->bar->setGeometry(0, 0, t->width(), t->bar->sizeHint().height());
      return at;
    }
    case TCM_SETITEMW: {
      auto* item = reinterpret_cast<const TCITEMW*>(lParam);
      if (!valid || !item) return FALSE;
      if (item->mask & TCIF_TEXT) t->bar->setTabText(index, Q(item->pszText));
      if (item->mask & TCIF_PARAM) t->data[static_cast<size_t>(index)] = item->lParam;
      return TRUE;
    }
    case TCM_GETITEMW: {
      auto* item = reinterpret_cast<TCITEMW*>(lParam);
      if (!valid || !item) return FALSE;
      if (item->mask & TCIF_TEXT) CopyOut(t->bar->tabText(index), item->pszText, static_cast<size_t>(std::max(0, item->cchTextMax)));
      if (item->mask & TCIF_PARAM) item->lParam = t->data[static_cast<size_t>(index)];
      return TRUE;
    }
    case TCM_DELETEITEM:
      if (!valid) return FALSE;
      t->bar->removeTab(index);
      t->data.erase(t->data.begin() + index);
      return TRUE;
    case TCM_DELETEALLITEMS:
      while (t->bar->count()) t->bar->removeTab(0);
      t->data.clear();
      return TRUE;
    case TCM_GETITEMRECT: {
      if (!valid || !lParam) return FALSE;
      QRect r = t->bar->tabRect(index).translated(t->bar->pos());
      *reinterpret_cast<RECT*>(lParam) = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
      return TRUE;
    }
    case TCM_ADJUSTRECT: {
      // The display area lies below the tabs; wParam TRUE turns a display area into a window area.
      auto* r = reinterpret_cast<RECT*>(lParam);
      if (!r) return 0;
      const int band = t->bar->sizeHint().height();
      if (wParam) r->top -= band + 2, r->left -= 2, r->right += 2, r->bottom += 2;
      else r->top += band + 2, r->left += 2, r->right -= 2, r->bottom -= 2;
      return 0;
    }
    default: break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- Tooltips -----------------------------------------------------------------------------
// Each tool is a window (TTF_IDISHWND) or a rectangle of one; its text is fixed or asked for with
// TTN_GETDISPINFOW when Qt wants to show it.
class ToolTipHost : public QObject {
 public:
  struct Tool {
    HWND owner;
    UINT_PTR id;
    UINT flags;
    RECT rect;
    std::wstring text;
    bool callback;
  };
  explicit ToolTipHost(HWND hwnd) : m_hwnd(hwnd) {}
  std::vector<Tool> tools;
  bool active = true;

  HWND ToolWindow(const Tool& t) const { return (t.flags & TTF_IDISHWND) ? reinterpret_cast<HWND>(t.id) : t.owner; }
  void Watch(const Tool& t) {
    if (QWidget* w = qlw::WidgetOf(ToolWindow(t))) w->installEventFilter(this);
  }
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() != QEvent::ToolTip || !active || !IsWindow(m_hwnd)) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    HWND window = qlw::HwndOf(widget);
    auto* help = static_cast<QHelpEvent*>(e);
    for (const Tool& t : tools) {
      if (ToolWindow(t) != window) continue;
      if (!(t.flags & TTF_IDISHWND)) {
        POINT p{help->pos().x(), help->pos().y()};
        p.x -= qlw::ClientOrigin(window).x(), p.y -= qlw::ClientOrigin(window).y();
        if (!PtInRect(&t.rect, p)) continue;
      }
      QString text = QString::fromStdWString(t.text);
      if (t.callback) {
        NMTTDISPINFOW info{};
        info.hdr.hwndFrom = m_hwnd;
        info.hdr.idFrom = t.id;
        info.hdr.code = TTN_GETDISPINFOW;
        info.uFlags = t.flags;
        SendMessageW(t.owner, WM_NOTIFY, t.id, reinterpret_cast<LPARAM>(&info));
        if (info.lpszText && info.lpszText != LPSTR_TEXTCALLBACKW) {
          if (reinterpret_cast<uintptr_t>(info.lpszText) < 0x10000) {
            CString loaded;
            LoadString(static_cast<UINT>(reinterpret_cast<uintptr_t>(info.lpszText)), loaded);
            text = QString::fromStdWString(loaded.GetString());
          } else {
            text = QString::fromStdWString(info.lpszText);
          }
        } else {
          text = QString::fromStdWString(info.szText);
        }
      }
      if (text.isEmpty()) QToolTip::hideText();
      else QToolTip::showText(help->globalPos(), text, widget);
      return true;
    }
    return false;
  }

 private:
  HWND m_hwnd;
};

std::map<HWND, std::unique_ptr<ToolTipHost>>& ToolTipHosts() {
  static std::map<HWND, std::unique_ptr<ToolTipHost>> hosts;
  return hosts;
}

QWidget* MakeToolTip(HWND, const CREATESTRUCTW&, QWidget*) {
  // The tip itself is Qt's; the window needs no widget of its own on screen.
  auto* w = new QWidget(nullptr, Qt::ToolTip);
  return w;
}

LRESULT CALLBACK ToolTipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto& hosts = ToolTipHosts();
  auto& host = hosts[hwnd];
  if (!host) host = std::make_unique<ToolTipHost>(hwnd);
  auto* info = reinterpret_cast<const TOOLINFOW*>(lParam);
  auto same = [&](const ToolTipHost::Tool& t) { return info && t.owner == info->hwnd && t.id == info->uId; };
  switch (message) {
    case TTM_ADDTOOLW: {
      if (!info) return FALSE;
      ToolTipHost::Tool t{info->hwnd, info->uId, info->uFlags, info->rect, {}, info->lpszText == LPSTR_TEXTCALLBACKW};
      if (!t.callback && info->lpszText) {
        if (reinterpret_cast<uintptr_t>(info->lpszText) < 0x10000) {
          CString loaded;
          LoadString(static_cast<UINT>(reinterpret_cast<uintptr_t>(info->lpszText)), loaded);
          t.text = loaded.GetString();
        } else {
          t.text = info->lpszText;
        }
      }
      host->tools.erase(std::remove_if(host->tools.begin(), host->tools.end(), same), host->tools.end());
      host->tools.push_back(t);
      host->Watch(t);
      return TRUE;
    }
    case TTM_DELTOOLW:
      host->tools.erase(std::remove_if(host->tools.begin(), host->tools.end(), same), host->tools.end());
      return 0;
    case TTM_UPDATETIPTEXTW:
      for (auto& t : host->tools)
        if (same(t)) {
          t.callback = info->lpszText == LPSTR_TEXTCALLBACKW;
          t.text = t.callback || !info->lpszText ? L"" : info->lpszText;
        }
      return 0;
    case TTM_GETTOOLCOUNT: return static_cast<LRESULT>(host->tools.size());
    case TTM_ACTIVATE: host->active = wParam != 0; return 0;
    case TTM_SETMAXTIPWIDTH: return -1;
    case WM_NCDESTROY: hosts.erase(hwnd); break;
    default: break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// ---- Tree ---------------------------------------------------------------------------------
class TreeWidget : public QTreeWidget {
 public:
  TreeWidget(HWND hwnd, QWidget* parent) : QTreeWidget(parent), m_hwnd(hwnd) {
    setHeaderHidden(true);
    QObject::connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* now, QTreeWidgetItem* old) {
      if (t_quiet) return;
      NMTREEVIEWW nm{};
      nm.itemNew.hItem = Handle(now);
      nm.itemNew.lParam = now ? now->data(0, Qt::UserRole).value<qlonglong>() : 0;
      nm.itemOld.hItem = Handle(old);
      Notify(m_hwnd, nm.hdr, TVN_SELCHANGEDW);
    });
  }
  HTREEITEM Handle(QTreeWidgetItem* item) { return reinterpret_cast<HTREEITEM>(item); }
  QTreeWidgetItem* Item(HTREEITEM h) {
    auto* item = reinterpret_cast<QTreeWidgetItem*>(h);
    return m_items.count(item) ? item : nullptr;
  }
  std::set<QTreeWidgetItem*> m_items;

 private:
  HWND m_hwnd;
};

QWidget* MakeTree(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parent) {
  auto* t = new TreeWidget(hwnd, parent);
  t->setRootIsDecorated(static_cast<DWORD>(cs.style) & TVS_LINESATROOT);
  return t;
}

void ForgetTreeItem(TreeWidget* t, QTreeWidgetItem* item) {
  for (int i = 0; i < item->childCount(); ++i) ForgetTreeItem(t, item->child(i));
  t->m_items.erase(item);
}

LRESULT CALLBACK TreeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* t = dynamic_cast<TreeWidget*>(qlw::WidgetOf(hwnd));
  if (!t) return DefWindowProcW(hwnd, message, wParam, lParam);
  Quiet q;
  switch (message) {
    case TVM_INSERTITEMW: {
      auto* ins = reinterpret_cast<const TVINSERTSTRUCTW*>(lParam);
      if (!ins) return 0;
      QTreeWidgetItem* parent = ins->hParent == TVI_ROOT || !ins->hParent ? nullptr : t->Item(ins->hParent);
      if (ins->hParent && ins->hParent != TVI_ROOT && !parent) return 0;
      auto* item = new QTreeWidgetItem;
      if (ins->item.mask & TVIF_TEXT) item->setText(0, Q(ins->item.pszText));
      if (ins->item.mask & TVIF_PARAM) item->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(ins->item.lParam));
      const int count = parent ? parent->childCount() : t->topLevelItemCount();
      int at = count;
      if (ins->hInsertAfter == TVI_FIRST) at = 0;
      else if (QTreeWidgetItem* after = t->Item(ins->hInsertAfter))
        at = (parent ? parent->indexOfChild(after) : t->indexOfTopLevelItem(after)) + 1;
      if (parent) parent->insertChild(at, item);
      else t->insertTopLevelItem(at, item);
      t->m_items.insert(item);
      return reinterpret_cast<LRESULT>(item);
    }
    case TVM_DELETEITEM: {
      auto h = reinterpret_cast<HTREEITEM>(lParam);
      if (h == TVI_ROOT || !h) {
        t->clear();
        t->m_items.clear();
        return TRUE;
      }
      QTreeWidgetItem* item = t->Item(h);
      if (!item) return FALSE;
      ForgetTreeItem(t, item);
      delete item;
      return TRUE;
    }
    case TVM_EXPAND: {
      QTreeWidgetItem* item = t->Item(reinterpret_cast<HTREEITEM>(lParam));
      if (!item) return FALSE;
      const UINT action = static_cast<UINT>(wParam) & 0x3;
      item->setExpanded(action == TVE_EXPAND || (action == TVE_TOGGLE && !item->isExpanded()));
      return TRUE;
    }
    case TVM_GETCOUNT: return static_cast<LRESULT>(t->m_items.size());
    case TVM_GETNEXTITEM: {
      QTreeWidgetItem* item = t->Item(reinterpret_cast<HTREEITEM>(lParam));
      QTreeWidgetItem* out = nullptr;
      switch (wParam) {
        case TVGN_ROOT: out = t->topLevelItem(0); break;
        case TVGN_CARET: out = t->currentItem(); break;
        case TVGN_CHILD: out = item ? item->child(0) : t->topLevelItem(0); break;
        case TVGN_PARENT: out = item ? item->parent() : nullptr; break;
        case TVGN_NEXT:
        case TVGN_PREVIOUS:
          if (item) {
            const int step = wParam == TVGN_NEXT ? 1 : -1;
            QTreeWidgetItem* p = item->parent();
            const int i = (p ? p->indexOfChild(item) : t->indexOfTopLevelItem(item)) + step;
            out = p ? p->child(i) : t->topLevelItem(i);
          }
          break;
        default: break;
      }
      return reinterpret_cast<LRESULT>(out);
    }
    case TVM_SELECTITEM: {
      QTreeWidgetItem* item = t->Item(reinterpret_cast<HTREEITEM>(lParam));
      if (lParam && !item) return FALSE;
      // A selection made by message is announced like the user's, as on the platform.
      --t_quiet;
      t->setCurrentItem(item);
      ++t_quiet;
      return TRUE;
    }
    case TVM_GETITEMW:
    case TVM_SETITEMW: {
      auto* tv = reinterpret_cast<TVITEMW*>(lParam);
      QTreeWidgetItem* item = tv ? t->Item(tv->hItem) : nullptr;
      if (!item) return FALSE;
      if (message == TVM_SETITEMW) {
        if (tv->mask & TVIF_TEXT) item->setText(0, Q(tv->pszText));
        if (tv->mask & TVIF_PARAM) item->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(tv->lParam));
        if ((tv->mask & TVIF_STATE) && (tv->stateMask & TVIS_EXPANDED)) item->setExpanded(tv->state & TVIS_EXPANDED);
      } else {
        if (tv->mask & TVIF_TEXT) CopyOut(item->text(0), tv->pszText, static_cast<size_t>(std::max(0, tv->cchTextMax)));
        if (tv->mask & TVIF_PARAM) tv->lParam = static_cast<LPARAM>(item->data(0, Qt::UserRole).value<qlonglong>());
        if (tv->mask & TVIF_STATE)
          tv->state = (item->isExpanded() ? TVIS_EXPANDED : 0) | (t->currentItem() == item ? TVIS_SELECTED : 0);
      }
      return TRUE;
    }
    default: break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}
}  // namespace

// The list view lives in WndListView.cpp.
namespace qlw::wnd {
QWidget* MakeListView(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parent);
LRESULT CALLBACK ListViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
QWidget* MakeHeader(HWND hwnd, const CREATESTRUCTW& cs, QWidget* parent);
LRESULT CALLBACK HeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

void ShowTitle(QWidget* widget, const wchar_t* text) {
  if (widget->isWindow()) widget->setWindowTitle(QString::fromStdWString(text));
}

void RegisterControlClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterBuiltinClass(WC_BUTTON, ButtonProc, MakeButton);
  RegisterBuiltinClass(WC_STATIC, StaticProc, MakeStatic);
  RegisterBuiltinClass(WC_EDIT, EditProc, MakeEdit);
  RegisterBuiltinClass(RICHEDIT_CLASS, EditProc, MakeRichEdit);
  RegisterBuiltinClass(WC_COMBOBOX, ComboProc, MakeCombo);
  RegisterBuiltinClass(WC_LISTBOX, ListBoxProc, MakeListBox);
  RegisterBuiltinClass(TRACKBAR_CLASS, SliderProc, MakeSlider);
  RegisterBuiltinClass(PROGRESS_CLASS, ProgressProc, MakeProgress);
  RegisterBuiltinClass(UPDOWN_CLASS, UpDownProc, MakeUpDown);
  RegisterBuiltinClass(WC_TABCONTROL, TabProc, MakeTab);
  RegisterBuiltinClass(TOOLTIPS_CLASS, ToolTipProc, MakeToolTip);
  RegisterBuiltinClass(WC_TREEVIEW, TreeProc, MakeTree);
  RegisterBuiltinClass(WC_LISTVIEW, ListViewProc, MakeListView);
  RegisterBuiltinClass(WC_HEADER, HeaderProc, MakeHeader);
}
}  // namespace qlw::wnd

BOOL IsDialogMessageW(HWND dialog, LPMSG msg) {
  if (!msg || !IsWindow(dialog) || msg->message != WM_KEYDOWN) return FALSE;
  if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
  if (msg->wParam == VK_ESCAPE) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
    return TRUE;
  }
  if (msg->wParam == VK_RETURN) {
    // A multi-line edit keeps its Return.
    wchar_t cls[32] = {};
    GetClassNameW(msg->hwnd, cls, 32);
    if (std::wcscmp(cls, WC_EDIT) == 0 && (GetWindowLongW(msg->hwnd, GWL_STYLE) & ES_MULTILINE)) return FALSE;
    LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
    const int id = HIWORD(def) == 0x534B ? LOWORD(def) : IDOK;
    HWND button = GetDlgItem(dialog, id);
    if (button && !IsWindowEnabled(button)) return TRUE;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return TRUE;
  }
  return FALSE;
}
