// Line commands on controls: `print`, `rows`, `columns`, `type`, `key`, `click`, `choose`,
// `focus`, `slide`, `cell`, `header`, `select` and `tab`.
#include "UiApi.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QAbstractButton>
#include <QCheckBox>
#include <QStyleOption>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTextEdit>
#include <QTreeView>

#include "DiffractWnd.h"
#include "WndQt.h"

namespace qlwui {
namespace {
struct Control {
  std::string idText;
  HWND hwnd;
  QWidget* widget;
};

Control Find(const std::string& idText) {
  Control c{idText, FindControl(idText), nullptr};
  c.widget = WidgetOfControl(c.hwnd, idText);
  return c;
}

template <class W>
W* As(const Control& c, const char* kind) {
  if (auto* w = qobject_cast<W*>(c.widget)) return w;
  if (auto* inner = c.widget->findChild<W*>()) return inner;
  throw Failure("control " + c.idText + " is not " + kind);
}

QAbstractItemView* ListOf(const Control& c) { return As<QAbstractItemView>(c, "a list"); }

size_t Index(const std::string& word, size_t count, const char* what) {
  const int n = ParseInt(word, what);
  if (n < 0 || static_cast<size_t>(n) >= count)
    throw Failure(std::string(what) + " " + word + " is out of range (" + std::to_string(count) + ")");
  return static_cast<size_t>(n);
}

void ClickIndex(QAbstractItemView* view, const QModelIndex& index, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  view->scrollTo(index);
  const QRect r = view->visualRect(index);
  if (!r.isValid()) throw Failure("the row is not shown");
  QPoint at = r.center();
  EditableListCellPoint(view, index, at);
  ClickAt(view->viewport(), at, modifiers);
}

// A cell of the row that is drawn: some lists keep their first column 0 px wide.
QModelIndex DrawnCellOf(QAbstractItemView* view, const QModelIndex& row) {
  view->scrollTo(row);
  if (view->visualRect(row).width() > 0) return row;
  QHeaderView* header = ListHeader(view);
  for (const int column : ListColumns(view))
    if (!header || header->sectionSize(column) > 0) return row.sibling(row.row(), column);
  return row;
}

void Type(QWidget* target, const QString& text) {
  for (QChar ch : text) {
    if (ch.unicode() < 128 && ch.isPrint()) {
      QTest::keyClick(target, ch.toLatin1());
      continue;
    }
    // Beyond ASCII Qt's test keys have no key code: the character comes as the event's text.
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
  }
}

void RunPrint(const Line& line) {
  if (line.words.size() < 2) throw Failure("missing control id");
  for (size_t i = 1; i < line.words.size(); ++i) {
    const Control c = Find(line.words[i]);
    Print(DescribeControl(c.idText, c.hwnd, c.widget));
  }
}

void RunRows(const Line& line) {
  const Control c = Find(line.Word(1, "control id"));
  for (const std::string& row : RowsOf(c.hwnd, c.widget, c.idText)) Print(row);
}

void RunColumns(const Line& line) {
  const Control c = Find(line.Word(1, "control id"));
  QAbstractItemView* view = ListOf(c);
  QHeaderView* header = ListHeader(view);
  Print(c.idText + ": client " + std::to_string(view->viewport()->width()));
  if (!header) return;
  const std::vector<int> columns = ListColumns(view);
  for (size_t i = 0; i < columns.size(); ++i) {
    const int logical = columns[i];
    std::string text = std::to_string(i + 1) + " " +
                       view->model()->headerData(logical, Qt::Horizontal).toString().toStdString() + " " +
                       std::to_string(header->sectionSize(logical));
    if (header->isSortIndicatorShown() && header->sortIndicatorSection() == logical)
      // The arrow as drawn: Qt's styles point the arrow of its descending order up.
      text += header->sortIndicatorOrder() == Qt::DescendingOrder ? " ^" : " v";
    Print(text);
  }
}

// The control's own text field: a line edit, an editable combo's or a spin box's.
QWidget* TextTarget(const Control& c) {
  if (auto* combo = qobject_cast<QComboBox*>(c.widget); combo && combo->lineEdit()) return combo->lineEdit();
  if (qobject_cast<QLineEdit*>(c.widget) || qobject_cast<QTextEdit*>(c.widget) ||
      qobject_cast<QPlainTextEdit*>(c.widget) || qobject_cast<QAbstractSpinBox*>(c.widget))
    return c.widget;
  if (auto* edit = c.widget->findChild<QLineEdit*>()) return edit;
  throw Failure("control " + c.idText + " takes no text");
}

void SelectAll(QWidget* target) {
  if (auto* e = qobject_cast<QLineEdit*>(target)) e->selectAll();
  else if (auto* t = qobject_cast<QTextEdit*>(target)) t->selectAll();
  else if (auto* p = qobject_cast<QPlainTextEdit*>(target)) p->selectAll();
  else if (auto* s = qobject_cast<QAbstractSpinBox*>(target)) s->selectAll();
}

// The focus, its text selected, then TEXT key by key; an empty TEXT deletes the selection.
void RunType(const Line& line) {
  const Control c = Find(line.Word(1, "control id"));
  if (line.words.size() < 3) throw Failure("missing text");
  QWidget* target = TextTarget(c);
  ActivateWindowOf(target);
  target->setFocus(Qt::OtherFocusReason);
  SelectAll(target);
  const QString text = QString::fromStdString(line.Rest(2));
  if (text.isEmpty()) QTest::keyClick(target, Qt::Key_Backspace);
  else Type(target, text);
}

void RunKey(const Line& line) {
  if (line.words.size() < 2) throw Failure("missing key");
  for (size_t i = 1; i < line.words.size(); ++i) PressKey(FocusTarget(), line.words[i]);
}

void RunClick(const Line& line) {
  const Control c = Find(line.Word(1, "control id"));
  QWidget* target = c.widget;
  if (auto* view = qobject_cast<QAbstractItemView*>(target)) target = view->viewport();
  // A check box wider than its text takes clicks on its box and text only: click the box.
  if (auto* box = qobject_cast<QCheckBox*>(target)) {
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    ClickAt(target, indicator.center());
    return;
  }
  ClickAt(target, target->rect().center());
}

// ITEM is the item's text, or #N for the N-th (from 0).
int ItemIndex(const std::string& item, const std::vector<QString>& texts) {
  if (item.size() > 1 && item[0] == '#') return static_cast<int>(Index(item.substr(1), texts.size(), "item"));
  for (size_t i = 0; i < texts.size(); ++i)
    if (texts[i].toStdString() == item) return static_cast<int>(i);
  throw Failure("no item \"" + item + "\"");
}

void RunChoose(const Line& line) {
  const Control c = Find(line.Word(1, "control id"));
  if (line.words.size() < 3) throw Failure("missing item");
  const std::string item = line.Rest(2);
  if (auto* combo = qobject_cast<QComboBox*>(c.widget)) {
    std::vector<QString> texts;
    for (int i = 0; i < combo->count(); ++i) texts.push_back(combo->itemText(i));
    const int index = ItemIndex(item, texts);
    ActivateWindowOf(combo);
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    ClickIndex(view, view->model()->index(index, combo->modelColumn(), view->rootIndex()));
    return;
  }
  QAbstractItemView* view = ListOf(c);
  const std::vector<QModelIndex> rows = ListRows(view);
  std::vector<QString> texts;
  for (const QModelIndex& row : rows) texts.push_back(row.data(Qt::DisplayRole).toString());
  ClickIndex(view, DrawnCellOf(view, rows[static_cast<size_t>(ItemIndex(item, texts))]));
}

// As Tab brings it: an edit field's text comes selected.
void RunFocus(const Line& line) {
  const Control c = Find(line.Word(1, "control id"));
  ActivateWindowOf(c.widget);
  c.widget->setFocus(Qt::TabFocusReason);
}

void RunSlide(const Line& line) {
  const Control c = Find(line.Word(1, "control id"));
  auto* slider = As<QSlider>(c, "a slider");
  const int position = ParseInt(line.Word(2, "position"), "position");
  QStyleOptionSlider option;
  option.initFrom(slider);
  option.orientation = slider->orientation();
  option.minimum = slider->minimum();
  option.maximum = slider->maximum();
  option.sliderPosition = slider->sliderPosition();
  option.sliderValue = slider->value();
  option.singleStep = slider->singleStep();
  option.pageStep = slider->pageStep();
  option.tickPosition = slider->tickPosition();
  option.tickInterval = slider->tickInterval();
  const bool horizontal = slider->orientation() == Qt::Horizontal;
  option.upsideDown = horizontal ? slider->invertedAppearance() != (option.direction == Qt::RightToLeft)
                                 : !slider->invertedAppearance();
  QStyle* style = slider->style();
  const QRect handle = style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
  const QRect groove = style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider);
  const int length = horizontal ? handle.width() : handle.height();
  const int first = horizontal ? groove.x() : groove.y();
  const int last = (horizontal ? groove.right() : groove.bottom()) - length + 1;
  const int offset = QStyle::sliderPositionFromValue(slider->minimum(), slider->maximum(), position, last - first,
                                                     option.upsideDown) + first + length / 2;
  const QPoint from = handle.center();
  const QPoint to = horizontal ? QPoint(offset, from.y()) : QPoint(from.x(), offset);
  ActivateWindowOf(slider);
  QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, from);
  QTest::mouseMove(slider, to);
  QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, to);
}

Qt::KeyboardModifiers ModifierWord(const Line& line, size_t index) {
  if (index >= line.words.size()) return Qt::NoModifier;
  if (line.words[index] == "shift") return Qt::ShiftModifier;
  if (line.words[index] == "ctrl") return Qt::ControlModifier;
  throw Failure("bad modifier \"" + line.words[index] + "\"");
}

// ROW from 0, COL from 1 as the header shows the columns.
void RunCell(const Line& line) {
  const Control c = Find(line.Word(1, "control id"));
  QAbstractItemView* view = ListOf(c);
  const std::vector<QModelIndex> rows = ListRows(view);
  const size_t row = Index(line.Word(2, "row"), rows.size(), "row");
  const std::vector<int> columns = ListColumns(view);
  const size_t column = Index(std::to_string(ParseInt(line.Word(3, "column"), "column") - 1), columns.size(), "column");
  const QModelIndex index = rows[row].sibling(rows[row].row(), columns[column]);
  ClickIndex(view, index, ModifierWord(line, 4));
}

void RunHeader(const Line& line) {
  const Control c = Find(line.Word(1, "control id"));
  QAbstractItemView* view = ListOf(c);
  QHeaderView* header = ListHeader(view);
  if (!header || header->isHidden()) throw Failure("control " + c.idText + " shows no header");
  const std::vector<int> columns = ListColumns(view);
  const size_t column = Index(std::to_string(ParseInt(line.Word(2, "column"), "column") - 1), columns.size(), "column");
  const int logical = columns[column];
  const QPoint at(header->sectionViewportPosition(logical) + header->sectionSize(logical) / 2, header->height() / 2);
  ClickAt(header->viewport(), at);
}

// The structures pane's list, once the main window shows that pane.
void RunSelect(const Line& line) {
  if (line.words.size() < 2) throw Failure("missing row");
  CWnd* pane = MainWindow()->GetPatternsPane();
  if (!pane || !pane->m_hWnd || !IsWindowVisible(pane->m_hWnd)) throw Failure("the structures pane is not shown");
  QWidget* widget = qlw::WidgetOf(pane->m_hWnd);
  auto* view = widget ? widget->findChild<QAbstractItemView*>() : nullptr;
  if (!view || !view->isVisible()) throw Failure("the structures pane has no list");
  const std::vector<QModelIndex> rows = ListRows(view);
  for (size_t i = 1; i < line.words.size(); ++i) {
    const size_t row = Index(line.words[i], rows.size(), "row");
    ClickIndex(view, RowClickIndex(view, rows[row]), i == 1 ? Qt::NoModifier : Qt::ControlModifier);
  }
}

bool ClickTab(QWidget* root, const std::string& name) {
  if (!root || !root->isVisible()) return false;
  for (QTabBar* bar : root->findChildren<QTabBar*>()) {
    if (!bar->isVisible()) continue;
    for (int i = 0; i < bar->count(); ++i) {
      if (WithoutMnemonic(bar->tabText(i).toStdString()) != name) continue;
      ClickAt(bar, bar->tabRect(i).center());
      return true;
    }
  }
  // Tabs drawn as buttons (the inspector's) carry the "qlwTab" property.
  for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
    if (!button->isVisible() || !button->property("qlwTab").toBool()) continue;
    if (WithoutMnemonic(button->text().toStdString()) != name) continue;
    ClickAt(button, button->rect().center());
    return true;
  }
  return false;
}

// The topmost dialog's tabs first (preference pages), then the main window's (inspector).
void RunTab(const Line& line) {
  const std::string name = line.Rest(1);
  if (name.empty()) throw Failure("missing tab name");
  if (ClickTab(TopmostDialog(), name)) return;
  if (ClickTab(qlw::WidgetOf(MainWindow()->m_hWnd), name)) return;
  throw Failure("no tab \"" + name + "\" is shown");
}
}  // namespace
}  // namespace qlwui

QLW_UI_COMMAND(print, "print", "ID...", qlwui::RunPrint);
QLW_UI_COMMAND(rows, "rows", "ID", qlwui::RunRows);
QLW_UI_COMMAND(columns, "columns", "ID", qlwui::RunColumns);
QLW_UI_COMMAND(type, "type", "ID TEXT", qlwui::RunType);
QLW_UI_COMMAND(key, "key", "KEY...", qlwui::RunKey);
QLW_UI_COMMAND(click, "click", "ID", qlwui::RunClick);
QLW_UI_COMMAND(choose, "choose", "ID ITEM", qlwui::RunChoose);
QLW_UI_COMMAND(focus, "focus", "ID", qlwui::RunFocus);
QLW_UI_COMMAND(slide, "slide", "ID POS", qlwui::RunSlide);
QLW_UI_COMMAND(cell, "cell", "ID ROW COL [shift|ctrl]", qlwui::RunCell);
QLW_UI_COMMAND(header, "header", "ID N", qlwui::RunHeader);
QLW_UI_COMMAND(select, "select", "N...", qlwui::RunSelect);
QLW_UI_COMMAND(tab, "tab", "NAME", qlwui::RunTab);
