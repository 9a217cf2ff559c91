// What the window-script runner (`qlwprobe ui`) offers its line commands: the command table,
// output, control lookup, the per-kind readers behind `print` and `rows`, and input helpers.
// The runner itself is UiRunner.cpp; each group of line commands lives in a Ui*Commands.cpp file
// and registers itself with QLW_UI_COMMAND, so a new command needs no edit elsewhere.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "WinTypes.h"

#include <QPoint>
#include <Qt>

class QWidget;
class CString;
class CDiffractionSettings;
class CQLPattern;
class QAbstractItemView;
class QHeaderView;
class QModelIndex;
class CQlwDoc;
class CDiffractWnd;

namespace qlwui {

// A line that cannot run: the runner prints "error: WHY" and exits 1.
struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One script line, split into words; a word in double quotes keeps its blanks.
struct Line {
  std::string text;                // as written, trimmed
  std::vector<std::string> words;  // words[0] is the command's name
  std::vector<size_t> starts;      // where each word starts in `body`
  std::string body;                // the text without a trailing `menu ID` / `menu "TEXT"`

  // The raw text from word `index` to the end of the body, one pair of enclosing quotes removed.
  std::string Rest(size_t index) const;
  // Word `index`; throws "missing WHAT" when the line is shorter.
  const std::string& Word(size_t index, const char* what) const;
};

using CommandFn = void (*)(const Line& line);

struct Command {
  const char* name;
  const char* usage;
  CommandFn run;
};

void AddCommand(const Command& command);
const std::vector<Command>& Commands();

struct CommandRegistrar {
  CommandRegistrar(const char* name, const char* usage, CommandFn run) { AddCommand({name, usage, run}); }
};

// ---- output and state ----

// One line of the runner's output.
void Print(const std::string& text);
// The folder of --shots, or "" when none was given.
const std::string& ShotsFolder();
// The main window and its document; Failure when there is none (yet or any more).
CDiffractWnd* MainWindow();
CQlwDoc* Document();
// Waits for `ms` milliseconds of events before the next line.
void WaitBeforeNextLine(int ms);
// Something the runner must see settle before the next line (work on another thread, say).
void AddSettledCheck(bool (*settled)());

// ---- controls ----

// "ID" or "ID@TEMPLATE": looked up in the topmost dialog, then the palettes, then the main
// window's visible panes. Failure when not found.
HWND FindControl(const std::string& idText);
// The Qt widget of a control (never null: Failure otherwise).
QWidget* WidgetOfControl(HWND control, const std::string& idText);
// The topmost dialog (a platform dialog or a Qt one), null when none is up.
QWidget* TopmostDialog();
// The front visible palette (a floating tool window of the program), null when none is up.
QWidget* FrontPalette();
// The loupe's window over the plot; Failure when it is not shown.
QWidget* LoupeWindow();
// The template id of the dialog or form a window sits in, 0 when none.
UINT TemplateOf(HWND window);

// `print` describes a control by its kind: the describers are asked last-added first; one that
// knows the widget sets `text` (without the "ID: " and "disabled " that the runner adds) and
// answers true.
using Describer = bool (*)(HWND control, QWidget* widget, std::string& text);
void AddDescriber(Describer describer);
// `rows` reads a list control the same way: one entry per row, columns joined by " | ",
// " *" after a selected row.
using RowsReader = bool (*)(HWND control, QWidget* widget, std::vector<std::string>& rows);
void AddRowsReader(RowsReader reader);
// Readers and describers of particular controls, asked before all the others.
void AddPriorityRowsReader(RowsReader reader);
void AddPriorityDescriber(Describer describer);
// Where `select` clicks a row of a list: a cell that selects without editing or toggling.
QModelIndex RowClickIndex(QAbstractItemView* view, const QModelIndex& row);
// The line `print` shows for a control, and the rows `rows` shows (Failure for a control that is
// no list).
std::string DescribeControl(const std::string& idText, HWND control, QWidget* widget);
std::vector<std::string> RowsOf(HWND control, QWidget* widget, const std::string& idText);
// A list's rows in display order (children of expanded rows after their parent), its header, and
// its columns' logical indices in the order the header shows them, hidden ones left out.
std::vector<QModelIndex> ListRows(QAbstractItemView* view);
QHeaderView* ListHeader(QAbstractItemView* view);
std::vector<int> ListColumns(QAbstractItemView* view);
// Editable lists (UiSubEditList.cpp): their column 0 is hidden from the runner, and a cell is
// clicked in the middle of its check box, swatch or button (false for other lists).
bool IsEditableListHiddenColumn(QAbstractItemView* view, int logical);
bool EditableListCellPoint(QAbstractItemView* view, const QModelIndex& index, QPoint& viewportPoint);
// A button's or label's text as shown: "&" marks removed, "&&" as "&".
std::string WithoutMnemonic(const std::string& text);
std::string Utf8(const wchar_t* text);

// ---- values: `field settings NAME…` and `field ROW NAME…` ----

// A value named as the preferences name it: from the document's settings, or from the pattern at
// a row of the structures pane (false: the name is no field of that pattern's kind). In pattern
// names "*" stands for the kind, as in the preferences' CrystalLineWidth.
using SettingsField = std::string (*)(const CDiffractionSettings& settings);
using PatternField = bool (*)(CQLPattern& pattern, std::string& value);
void AddSettingsField(const char* name, SettingsField read);
void AddPatternField(const char* name, PatternField read);
// A family of pattern values named PREFIX:KEY (Site:O1): `read` gets the KEY.
using PatternKeyField = bool (*)(CQLPattern& pattern, const std::string& key, std::string& value);
void AddPatternKeyField(const char* prefix, PatternKeyField read);
// The forms `field` prints: numbers %.10g, flags 0 or 1, colours 0xAARRGGBB, texts as stored.
std::string FieldNumber(double value);
std::string FieldFlag(bool value);
std::string FieldColour(std::uint32_t argb);
std::string FieldText(const CString& text);

// ---- input, as a user gives it ----

// Makes the widget's window the active one, as a click on it would.
void ActivateWindowOf(QWidget* widget);
void ClickAt(QWidget* widget, QPoint point, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// A key name as `key` takes it ("Return", "ctrl+a", "Shift+Tab", "x"); Failure when unknown.
void PressKey(QWidget* target, const std::string& name);
// The widget that has the keyboard focus (the active window when none has).
QWidget* FocusTarget();

// Parsing helpers that fail with the argument's name.
int ParseInt(const std::string& word, const char* what);
double ParseNumber(const std::string& word, const char* what);
}  // namespace qlwui

#define QLW_UI_COMMAND(ident, name, usage, fn) \
  static const ::qlwui::CommandRegistrar ident##_ui_registrar(name, usage, fn)
