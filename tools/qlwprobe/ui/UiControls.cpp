// Controls in scripts: finding a control by its id, describing it for `print` and `rows` by the
// kind of its widget, and giving it mouse and key input as a user does (Qt's test events).
#include "UiApi.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTableView>
#include <QTreeView>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "Dialog.h"
#include "DiffractWnd.h"
#include "Frame.h"
#include "Utf16.h"
#include "WndQt.h"

namespace qlwui {
namespace {
std::vector<Describer>& Describers() {
  static std::vector<Describer> list;
  return list;
}

std::vector<RowsReader>& RowsReaders() {
  static std::vector<RowsReader> list;
  return list;
}

std::vector<HWND> Descendants(HWND root) {
  std::vector<HWND> found;
  EnumChildWindows(
      root,
      [](HWND h, LPARAM p) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// This thread's visible top-level windows, topmost first.
std::vector<HWND> TopWindows() {
  std::vector<HWND> found;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND h, LPARAM p) -> BOOL {
        if (IsWindowVisible(h)) reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Palettes are dialogs too, but tool windows that stay up beside the others: never "the dialog".
bool IsDialogWindow(HWND h) {
  return dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(h)) != nullptr && !(GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

// Any descendant with the id; a visible one before a hidden one (an in-place editor over a
// list shares its id with others).
HWND FindIn(HWND root, int id, UINT templateId, bool visibleOnly) {
  HWND hidden = nullptr;
  for (HWND h : Descendants(root)) {
    if (GetDlgCtrlID(h) != id) continue;
    if (visibleOnly && !IsWindowVisible(GetParent(h))) continue;
    if (templateId && TemplateOf(h) != templateId) continue;
    if (IsWindowVisible(h)) return h;
    if (!hidden) hidden = h;
  }
  return hidden;
}

QString ItemText(const QModelIndex& index) { return index.data(Qt::DisplayRole).toString(); }

bool DescribeStandard(HWND control, QWidget* w, std::string& text) {
  if (auto* box = qobject_cast<QCheckBox*>(w)) {
    text = std::string(box->checkState() == Qt::Unchecked ? "[ ] " : "[x] ") + WithoutMnemonic(box->text().toStdString());
    return true;
  }
  if (auto* radio = qobject_cast<QRadioButton*>(w)) {
    text = std::string(radio->isChecked() ? "[x] " : "[ ] ") + WithoutMnemonic(radio->text().toStdString());
    return true;
  }
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    text = combo->currentText().toStdString() + " (" + std::to_string(combo->currentIndex() + 1) + " of " +
           std::to_string(combo->count()) + ")";
    return true;
  }
  if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model()) {
    const std::vector<QModelIndex> rows = ListRows(view);
    int chosen = -1;
    for (size_t i = 0; i < rows.size(); ++i)
      if (view->selectionModel() && view->selectionModel()->isSelected(rows[i])) {
        chosen = static_cast<int>(i);
        break;
      }
    text = (chosen >= 0 ? ItemText(rows[chosen]).toStdString() : std::string()) + " (" + std::to_string(chosen + 1) +
           " of " + std::to_string(rows.size()) + ")";
    return true;
  }
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    text = edit->text().toStdString();
    return true;
  }
  if (auto* edit = qobject_cast<QTextEdit*>(w)) {
    text = edit->toPlainText().toStdString();
    return true;
  }
  if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
    text = edit->toPlainText().toStdString();
    return true;
  }
  if (auto* label = qobject_cast<QLabel*>(w)) {
    text = label->text().toStdString();
    return true;
  }
  if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    text = WithoutMnemonic(button->text().toStdString());
    // A flat format button shows its checked flag like a check box.
    static const UINT flatChecked = RegisterWindowMessageW(L"QlwFlatButtonChecked");
    if (const LRESULT flag = SendMessageW(control, flatChecked, 0, 0)) text = (flag == 2 ? "[x] " : "[ ] ") + text;
    return true;
  }
  // Owner-drawn and other controls: their window text.
  wchar_t buffer[1024] = {};
  GetWindowTextW(control, buffer, 1023);
  text = WithoutMnemonic(Utf8(buffer));
  return true;
}

bool ReadStandardRows(HWND, QWidget* w, std::vector<std::string>& out) {
  QAbstractItemView* view = qobject_cast<QAbstractItemView*>(w);
  if (auto* combo = qobject_cast<QComboBox*>(w)) view = combo->view();
  if (!view || !view->model()) return false;
  const std::vector<QModelIndex> rows = ListRows(view);
  const std::vector<int> columns = ListColumns(view);
  for (const QModelIndex& row : rows) {
    std::string line;
    for (size_t c = 0; c < columns.size(); ++c) {
      if (c) line += " | ";
      line += ItemText(row.sibling(row.row(), columns[c])).toStdString();
    }
    const bool selected = qobject_cast<QComboBox*>(w) ? row.row() == qobject_cast<QComboBox*>(w)->currentIndex()
                                                       : view->selectionModel() && view->selectionModel()->isSelected(row);
    if (selected) line += " *";
    out.push_back(line);
  }
  return true;
}

struct StandardReaders {
  StandardReaders() {
    AddDescriber(&DescribeStandard);
    AddRowsReader(&ReadStandardRows);
  }
} g_standardReaders;

// Key names as `key` writes them, lower case.
const std::map<std::string, Qt::Key>& KeyNames() {
  static const std::map<std::string, Qt::Key> names = {
      {"return", Qt::Key_Return}, {"enter", Qt::Key_Enter},       {"escape", Qt::Key_Escape},
      {"esc", Qt::Key_Escape},    {"tab", Qt::Key_Tab},           {"backtab", Qt::Key_Backtab},
      {"up", Qt::Key_Up},         {"down", Qt::Key_Down},         {"left", Qt::Key_Left},
      {"right", Qt::Key_Right},   {"delete", Qt::Key_Delete},     {"backspace", Qt::Key_Backspace},
      {"home", Qt::Key_Home},     {"end", Qt::Key_End},           {"pageup", Qt::Key_PageUp},
      {"pagedown", Qt::Key_PageDown}, {"space", Qt::Key_Space},   {"insert", Qt::Key_Insert},
      {"plus", Qt::Key_Plus},     {"minus", Qt::Key_Minus},       {"comma", Qt::Key_Comma},
  };
  return names;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}
}  // namespace

namespace {
void CollectRows(QAbstractItemView* view, const QModelIndex& parent, std::vector<QModelIndex>& rows) {
  auto* tree = qobject_cast<QTreeView*>(view);
  for (int r = 0; r < view->model()->rowCount(parent); ++r) {
    if (tree && tree->isRowHidden(r, parent)) continue;
    const QModelIndex index = view->model()->index(r, 0, parent);
    rows.push_back(index);
    if (tree && tree->isExpanded(index)) CollectRows(view, index, rows);
  }
}
}  // namespace

std::vector<QModelIndex> ListRows(QAbstractItemView* view) {
  std::vector<QModelIndex> rows;
  if (view->model()) CollectRows(view, view->rootIndex(), rows);
  return rows;
}

QHeaderView* ListHeader(QAbstractItemView* view) {
  if (auto* tree = qobject_cast<QTreeView*>(view)) return tree->header();
  if (auto* table = qobject_cast<QTableView*>(view)) return table->horizontalHeader();
  return nullptr;
}

std::vector<int> ListColumns(QAbstractItemView* view) {
  std::vector<int> columns;
  QHeaderView* header = ListHeader(view);
  const int count = view->model() ? view->model()->columnCount(view->rootIndex()) : 0;
  for (int visual = 0; visual < (header ? header->count() : count); ++visual) {
    const int logical = header ? header->logicalIndex(visual) : visual;
    if (logical >= 0 && logical < count && !(header && header->isSectionHidden(logical)) &&
        !IsEditableListHiddenColumn(view, logical))
      columns.push_back(logical);
  }
  return columns;
}

// The standard describer answers for any control: it stays last asked, whichever file's
// describers register first.
void AddDescriber(Describer describer) {
  if (describer == &DescribeStandard) Describers().insert(Describers().begin(), describer);
  else Describers().push_back(describer);
}
void AddRowsReader(RowsReader reader) { RowsReaders().push_back(reader); }

namespace {
std::vector<RowsReader>& PriorityRowsReaders() {
  static std::vector<RowsReader> list;
  return list;
}
std::vector<Describer>& PriorityDescribers() {
  static std::vector<Describer> list;
  return list;
}
}  // namespace
void AddPriorityRowsReader(RowsReader reader) { PriorityRowsReaders().push_back(reader); }
void AddPriorityDescriber(Describer describer) { PriorityDescribers().push_back(describer); }

std::string Utf8(const wchar_t* text) { return qlw::ToUtf8(text ? text : L""); }

std::string WithoutMnemonic(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      if (i + 1 < text.size() && text[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

UINT TemplateOf(HWND window) {
  for (HWND h = GetParent(window); h; h = GetParent(h)) {
    CWnd* w = CWnd::FromHandlePermanent(h);
    if (auto* dialog = dynamic_cast<CDialog*>(w)) return dialog->m_nIDHelp;
    if (auto* form = dynamic_cast<CFormView*>(w)) return form->m_nIDTemplate;
  }
  return 0;
}

QWidget* FrontPalette() {
  for (HWND h : TopWindows())
    if (dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(h)) && (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_TOOLWINDOW))
      return qlw::WidgetOf(h);
  return nullptr;
}

QWidget* TopmostDialog() {
  for (HWND h : TopWindows())
    if (IsDialogWindow(h)) return qlw::WidgetOf(h);
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  for (QWidget* top : QApplication::topLevelWidgets())
    if (top->isVisible() && qobject_cast<QDialog*>(top)) return top;
  return nullptr;
}

HWND FindControl(const std::string& idText) {
  const size_t at = idText.find('@');
  const int id = ParseInt(idText.substr(0, at), "control id");
  const UINT templateId = at == std::string::npos ? 0u : static_cast<UINT>(ParseInt(idText.substr(at + 1), "template id"));
  const std::vector<HWND> tops = TopWindows();
  HWND main = nullptr;
  try {
    main = MainWindow()->m_hWnd;
  } catch (const Failure&) {
  }
  for (HWND h : tops)
    if (h != main && IsDialogWindow(h)) {
      if (HWND found = FindIn(h, id, templateId, false)) return found;
      break;  // only the topmost dialog
    }
  for (HWND h : tops)
    if (h != main && !IsDialogWindow(h))
      if (HWND found = FindIn(h, id, templateId, false)) return found;
  if (main)
    if (HWND found = FindIn(main, id, templateId, true)) return found;
  throw Failure("no control " + idText);
}

QWidget* WidgetOfControl(HWND control, const std::string& idText) {
  QWidget* w = qlw::WidgetOf(control);
  if (!w) throw Failure("control " + idText + " has no widget");
  return w;
}

std::string DescribeControl(const std::string& idText, HWND control, QWidget* w) {
  // A text browser tells its page whether it is shown or not.
  if (!IsWindowVisible(control) && !w->findChild<QTextBrowser*>()) return idText + ": hidden";
  std::string text;
  bool described = false;
  for (Describer d : PriorityDescribers())
    if ((described = d(control, w, text))) break;
  if (!described)
    for (auto it = Describers().rbegin(); it != Describers().rend(); ++it)
      if ((*it)(control, w, text)) break;
  return (IsWindowEnabled(control) && w->isEnabled() ? "" : "disabled ") + idText + ": " + text;
}

std::vector<std::string> RowsOf(HWND control, QWidget* w, const std::string& idText) {
  std::vector<std::string> rows;
  for (RowsReader r : PriorityRowsReaders())
    if (r(control, w, rows)) return rows;
  for (auto it = RowsReaders().rbegin(); it != RowsReaders().rend(); ++it)
    if ((*it)(control, w, rows)) return rows;
  throw Failure("control " + idText + " is not a list");
}

void ActivateWindowOf(QWidget* widget) {
  QWidget* window = widget->window();
  if (QApplication::activeWindow() != window) {
    window->activateWindow();
    QApplication::setActiveWindow(window);
  }
}

void ClickAt(QWidget* widget, QPoint point, Qt::KeyboardModifiers modifiers) {
  ActivateWindowOf(widget);
  QTest::mouseClick(widget, Qt::LeftButton, modifiers, point);
}

QWidget* FocusTarget() {
  if (QWidget* w = QApplication::focusWidget()) return w;
  if (QWidget* w = QApplication::activeWindow()) return w;
  if (QWidget* dialog = TopmostDialog()) return dialog;
  return qlw::WidgetOf(MainWindow()->m_hWnd);
}

void PressKey(QWidget* target, const std::string& name) {
  Qt::KeyboardModifiers modifiers;
  std::string rest = name;
  for (size_t plus; (plus = rest.find('+')) != std::string::npos && plus + 1 < rest.size();) {
    const std::string modifier = Lower(rest.substr(0, plus));
    if (modifier == "ctrl" || modifier == "control") modifiers |= Qt::ControlModifier;
    else if (modifier == "shift") modifiers |= Qt::ShiftModifier;
    else if (modifier == "alt") modifiers |= Qt::AltModifier;
    else if (modifier == "meta") modifiers |= Qt::MetaModifier;
    else throw Failure("unknown key " + name);
    rest = rest.substr(plus + 1);
  }
  ActivateWindowOf(target);
  if (rest.size() == 1) {
    const char c = rest[0];
    if (std::isalpha(static_cast<unsigned char>(c))) {
      QTest::keyClick(target, static_cast<Qt::Key>(Qt::Key_A + (std::tolower(c) - 'a')), modifiers);
      return;
    }
    QTest::keyClick(target, c, modifiers);
    return;
  }
  const auto known = KeyNames().find(Lower(rest));
  if (known != KeyNames().end()) {
    QTest::keyClick(target, known->second, modifiers);
    return;
  }
  const QKeySequence sequence = QKeySequence::fromString(QString::fromStdString(rest), QKeySequence::PortableText);
  if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown) throw Failure("unknown key " + name);
  QTest::keyClick(target, sequence[0].key(), modifiers | sequence[0].keyboardModifiers());
}

int ParseInt(const std::string& word, const char* what) {
  char* end = nullptr;
  const long value = std::strtol(word.c_str(), &end, 10);
  if (word.empty() || !end || *end != '\0') throw Failure(std::string("bad ") + what + " \"" + word + "\"");
  return static_cast<int>(value);
}

double ParseNumber(const std::string& word, const char* what) {
  char* end = nullptr;
  const double value = std::strtod(word.c_str(), &end);
  if (word.empty() || !end || *end != '\0' || !std::isfinite(value))
    throw Failure(std::string("bad ") + what + " \"" + word + "\"");
  return value;
}
}  // namespace qlwui
