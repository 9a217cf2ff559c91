// Runner support for tabbed dialogs and the font dialog: `print` of a tab control, `answer font`,
// and the dialog forms of `rect` and `resize`.
#include "UiApi.h"
#include "UiRunnerState.h"

#include <QFontDialog>
#include <QTabBar>
#include <QWidget>

#include <cwchar>

#include "Controls.h"
#include "WndGeometry.h"
#include "WndQt.h"

namespace qlwui {
namespace {
// "ID: LABEL (N of M)" for a tab control.
bool DescribeTabControl(HWND control, QWidget* widget, std::string& text) {
  wchar_t cls[32] = {};
  ::GetClassNameW(control, cls, 32);
  if (std::wcscmp(cls, WC_TABCONTROL) != 0) return false;
  auto* bar = widget->findChild<QTabBar*>();
  if (!bar) return false;
  const int current = bar->currentIndex();
  const std::string label = current >= 0 ? WithoutMnemonic(bar->tabText(current).toStdString()) : std::string();
  text = label + " (" + std::to_string(current + 1) + " of " + std::to_string(bar->count()) + ")";
  return true;
}

struct Registration {
  Registration() { AddPriorityDescriber(&DescribeTabControl); }
} const g_registration;

HWND TopmostDialogWindow() {
  QWidget* dialog = TopmostDialog();
  HWND hwnd = dialog ? qlw::HwndOf(dialog) : nullptr;
  if (!hwnd) throw Failure("no dialog is up");
  return hwnd;
}
}  // namespace

void PrintDialogRect() {
  RECT r{};
  ::GetWindowRect(TopmostDialogWindow(), &r);
  Print("dialog: " + std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
        std::to_string(r.bottom - r.top));
}

void ResizeDialog(int width, int height) {
  QWidget* dialog = qlw::WidgetOf(TopmostDialogWindow());
  if (!dialog) throw Failure("the dialog has no widget");
  // As a drag of the corner: the window's limits hold.
  dialog->resize(width, height);
}

void SetFontAnswer(const Line& line) {
  RunnerState& state = State();
  const std::string& first = line.Word(2, "font family or cancel");
  if (first == "cancel") {
    state.fontAnswer = "cancel";
    return;
  }
  // FAMILY… POINTS [bold] [italic]: the family may have several words.
  size_t end = line.words.size();
  bool bold = false, italic = false;
  while (end > 3 && (line.words[end - 1] == "bold" || line.words[end - 1] == "italic")) {
    (line.words[end - 1] == "bold" ? bold : italic) = true;
    --end;
  }
  if (end < 4) throw Failure("answer font needs a family and a size");
  const double points = ParseNumber(line.words[end - 1], "font size");
  if (points <= 0) throw Failure("bad font size");
  std::string family;
  for (size_t i = 2; i + 1 < end; ++i) family += (family.empty() ? "" : " ") + line.words[i];
  state.fontAnswer = family;
  state.fontPoints = points;
  state.fontBold = bold;
  state.fontItalic = italic;
}

void AnswerFontDialog(QFontDialog& dialog) {
  RunnerState& state = State();
  const std::string answer = state.fontAnswer;
  state.fontAnswer.clear();
  if (answer.empty() || answer == "cancel") {
    dialog.reject();
    return;
  }
  QFont font(QString::fromStdString(answer));
  font.setPointSizeF(state.fontPoints);
  font.setBold(state.fontBold);
  font.setItalic(state.fontItalic);
  dialog.setCurrentFont(font);
  dialog.setProperty("qlwAnsweredFont", font);
  dialog.accept();
}
}  // namespace qlwui
