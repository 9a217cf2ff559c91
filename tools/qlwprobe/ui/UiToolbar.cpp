// The toolbar in scripts: `toolbar` (its state and each item's place), `toolbar menu` (its
// context menu, as a right click opens it) and `toolbar overflow` (a press of the overflow
// button); `print` shows a toolbar button as a check box with its label.
#include "UiApi.h"

#include <QWidget>

#include "DiffractWnd.h"
#include "QlwToolbar.h"
#include "WndQt.h"

namespace qlwui {
namespace {
CQlwToolbar* Toolbar() {
  auto* bar = dynamic_cast<CQlwToolbar*>(MainWindow()->GetToolbar());
  if (!bar || !bar->m_hWnd) throw Failure("the window has no toolbar");
  return bar;
}

std::string CodeText(LXToolCode code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>((code >> shift) & 0xFF);
  return text;
}

bool DescribeToolButton(HWND control, QWidget*, std::string& text) {
  auto* button = dynamic_cast<CLXToolButton*>(CWnd::FromHandlePermanent(control));
  if (!button) return false;
  wchar_t label[256] = {};
  GetWindowTextW(control, label, 255);
  text = std::string(button->IsChecked() ? "[x] " : "[ ] ") + WithoutMnemonic(Utf8(label));
  return true;
}

struct Registration {
  Registration() { AddDescriber(&DescribeToolButton); }
} g_registration;

void PrintToolbar(CQlwToolbar* bar) {
  RECT client{};
  bar->GetClientRect(&client);
  const bool icons = bar->ShowsIcons(), text = bar->ShowsText();
  const char* mode = icons && text ? "icon and text" : icons ? "icon only" : "text only";
  const bool shown = (bar->GetStyle() & WS_VISIBLE) != 0;
  Print(std::string("toolbar: ") + (shown ? "shown" : "off") + ", " + mode + ", " + (bar->IsLarge() ? "large" : "small") +
        ", " + std::to_string(client.right - client.left) + " x " + std::to_string(client.bottom - client.top) +
        ", overflow " + (bar->IsOverflowShown() ? "shown" : "off"));
  const auto& items = bar->GetItems();
  for (size_t i = 0; i < items.size(); ++i) {
    const auto& item = items[i];
    std::string line = std::to_string(i) + " " + CodeText(item.code) + " ";
    if (!item.visible) {
      line += "off";
    } else if (!item.shown) {
      line += "overflow";
    } else {
      RECT r{};
      if (item.window && item.window->m_hWnd) {
        item.window->GetWindowRect(&r);
        bar->ScreenToClient(&r);
      }
      line += "shown " + std::to_string(r.left) + " " + std::to_string(r.right - r.left);
    }
    Print(line);
  }
}

void RunToolbar(const Line& line) {
  CQlwToolbar* bar = Toolbar();
  if (line.words.size() < 2) {
    PrintToolbar(bar);
    return;
  }
  const std::string& what = line.words[1];
  if (what == "menu") {
    RECT r{};
    bar->GetWindowRect(&r);
    bar->SendMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(bar->m_hWnd), MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
  } else if (what == "overflow") {
    CAlphaButton& button = bar->GetOverflowButton();
    if (!button.m_hWnd || !button.IsWindowVisible()) throw Failure("the toolbar shows no overflow button");
    QWidget* widget = WidgetOfControl(button.m_hWnd, "overflow");
    ClickAt(widget, widget->rect().center());
  } else {
    throw Failure("no toolbar command \"" + what + "\"");
  }
}
}  // namespace
}  // namespace qlwui

QLW_UI_COMMAND(toolbar, "toolbar", "[menu|overflow]", qlwui::RunToolbar);
