// What the runner's own files share: the answers the script prepared for alerts, file dialogs and
// popup menus, and the way out. Line commands use UiApi.h.
#pragma once
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "UiApi.h"

class QFontDialog;

namespace qlwui {
// A line's trailing `menu ID` or `menu "TEXT"`: the item to choose in the popup the line opens.
struct MenuChoice {
  bool given = false;
  bool byText = false;
  UINT id = 0;
  std::string text;
  bool used = false;
};

struct RunnerState {
  std::string answer;  // the next alert's button: yes, no, ok or cancel; empty: its default
  bool filesGiven = false;
  std::vector<std::string> files;  // the next file dialog's paths; none: cancel it
  MenuChoice choice;
  // The next font dialog's answer: a family (with the size and style below) or "cancel"; empty:
  // cancel it.
  std::string fontAnswer;
  double fontPoints = 0.0;
  bool fontBold = false, fontItalic = false;
  std::chrono::steady_clock::time_point waitUntil{};
  std::function<void(int)> finish;
};

RunnerState& State();
Line ParseLine(const std::string& raw, MenuChoice& choice);
// A failure inside the program's own call (a seam): printed, and the runner ends with 1.
[[noreturn]] void Abort(const std::string& why);
// The command as a menu click sends it, after its update handler; false when that disables it.
bool SendMenuCommand(UINT id);
// The menu and file-dialog seams of the platform, answered from the state above.
void InstallRunnerSeams();
// `answer font …` (UiPreferences.cpp), and the font dialog answered from it.
void SetFontAnswer(const Line& line);
void AnswerFontDialog(QFontDialog& dialog);
// `rect dialog` and `resize dialog W H`: the topmost dialog's window.
void PrintDialogRect();
void ResizeDialog(int width, int height);
}  // namespace qlwui
