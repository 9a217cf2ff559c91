// Line commands for the framework's value controls and their demo: `demo controls`, `spin`,
// `drag-by`, `hover` and `popup` (the open colour popup) and `rect`; `print` of trackbars and
// up-downs ("P of N") and of colour buttons ("#AARRGGBB").
#include "UiApi.h"
#include "UiRunnerState.h"

#include <QApplication>
#include <QTest>
#include <QToolButton>
#include <QWidget>

#include <cstdio>
#include <cwchar>

#include "ControlsDemo.h"
#include "DiffractWnd.h"
#include "LXColorButton.h"
#include "LXColorPopup.h"
#include "WndQt.h"

namespace qlwui {
namespace {
bool ClassIs(HWND control, const wchar_t* name) {
  wchar_t cls[64] = {};
  GetClassNameW(control, cls, 64);
  return std::wcscmp(cls, name) == 0;
}

bool DescribeValueControl(HWND control, QWidget*, std::string& text) {
  if (auto* button = dynamic_cast<CColorButton*>(CWnd::FromHandlePermanent(control))) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "#%08X", static_cast<unsigned>(button->GetColor()));
    text = hex;
    return true;
  }
  int position = 0, high = 0;
  if (ClassIs(control, TRACKBAR_CLASS)) {
    position = static_cast<int>(SendMessageW(control, TBM_GETPOS, 0, 0));
    high = static_cast<int>(SendMessageW(control, TBM_GETRANGEMAX, 0, 0));
  } else if (ClassIs(control, UPDOWN_CLASS)) {
    int low = 0;
    position = static_cast<int>(SendMessageW(control, UDM_GETPOS32, 0, 0));
    SendMessageW(control, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
  } else {
    return false;
  }
  text = std::to_string(position) + " of " + std::to_string(high);
  return true;
}

struct Registration {
  Registration() { AddDescriber(&DescribeValueControl); }
} g_registration;

// The colour popup that is open (it holds the mouse capture); Failure when none is.
CColorPopup* OpenPopup() {
  if (auto* popup = dynamic_cast<CColorPopup*>(CWnd::FromHandlePermanent(GetCapture()))) return popup;
  throw Failure("no colour popup is open");
}

// Entry N of the popup: a swatch from 0, -2 the "More Colours..." entry, -3 "Automatic".
QPoint PopupEntry(CColorPopup* popup, const Line& line) {
  const int entry = ParseInt(line.Word(1, "entry"), "entry");
  CRect r;
  if (entry >= 0 && entry < popup->GetColourCount()) r = popup->GetSwatchRect(entry);
  else if (entry == CColorPopup::kCustomEntry && !popup->GetCustomRect().IsRectEmpty()) r = popup->GetCustomRect();
  else if (entry == CColorPopup::kDefaultEntry && !popup->GetDefaultRect().IsRectEmpty()) r = popup->GetDefaultRect();
  else throw Failure("the popup has no entry " + line.words[1]);
  return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2) + qlw::ClientOrigin(popup->m_hWnd);
}

void RunDemo(const Line& line) {
  if (line.Word(1, "demo name") != "controls") throw Failure("no demo \"" + line.words[1] + "\"");
  CControlsDemo* demo = OpenControlsDemo(MainWindow(), true);
  if (!demo) throw Failure("the controls demo did not open");
  QWidget* window = qlw::WidgetOf(demo->m_hWnd);
  if (!window) throw Failure("the controls demo has no widget");
  ActivateWindowOf(window);
}

void RunSpin(const Line& line) {
  const std::string& idText = line.Word(1, "control id");
  QWidget* widget = WidgetOfControl(FindControl(idText), idText);
  const std::string& direction = line.Word(2, "up or down");
  if (direction != "up" && direction != "down") throw Failure("bad direction \"" + direction + "\"");
  const int times = line.words.size() > 3 ? ParseInt(line.words[3], "count") : 1;
  if (times < 1) throw Failure("bad count \"" + line.words[3] + "\"");
  auto* arrow = widget->findChild<QToolButton*>(QString::fromStdString(direction));
  if (!arrow) throw Failure("control " + idText + " is no up-down");
  for (int i = 0; i < times; ++i) ClickAt(arrow, arrow->rect().center());
}

void RunDragBy(const Line& line) {
  const std::string& idText = line.Word(1, "control id");
  QWidget* widget = WidgetOfControl(FindControl(idText), idText);
  const QPoint by(ParseInt(line.Word(2, "dx"), "dx"), ParseInt(line.Word(3, "dy"), "dy"));
  const QPoint from = widget->rect().center();
  ActivateWindowOf(widget);
  QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
  QTest::mouseMove(widget, from + by / 2);
  QTest::mouseMove(widget, from + by);
  QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, from + by);
}

void RunHover(const Line& line) {
  CColorPopup* popup = OpenPopup();
  QWidget* widget = WidgetOfControl(popup->m_hWnd, "popup");
  QTest::mouseMove(widget, PopupEntry(popup, line));
}

void RunPopup(const Line& line) {
  CColorPopup* popup = OpenPopup();
  QWidget* widget = WidgetOfControl(popup->m_hWnd, "popup");
  const QPoint at = PopupEntry(popup, line);
  QTest::mouseMove(widget, at);
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
}

// Clicks colour button ID, then the swatch of the opaque colour RRGGBB in the popup it opens.
void RunColour(const Line& line) {
  const std::string idText = line.Word(1, "control id");
  const std::string hex = line.Word(2, "colour");
  char* end = nullptr;
  const unsigned long rgb = std::strtoul(hex.c_str(), &end, 16);
  if (hex.size() != 6 || !end || *end) throw Failure("bad colour \"" + hex + "\"");
  HWND control = FindControl(idText);
  QWidget* button = WidgetOfControl(control, idText);
  ClickAt(button, button->rect().center());
  QApplication::processEvents();
  CColorPopup* popup = OpenPopup();
  const std::vector<CColorPopup::Entry>& palette = CColorPopup::Palette();
  for (int i = 0; i < popup->GetColourCount() && i < static_cast<int>(palette.size()); ++i) {
    if ((palette[static_cast<size_t>(i)].colour.GetValue() & 0xFFFFFFu) != rgb) continue;
    const CRect r = popup->GetSwatchRect(i);
    const QPoint at = QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2) + qlw::ClientOrigin(popup->m_hWnd);
    QWidget* widget = WidgetOfControl(popup->m_hWnd, "popup");
    QTest::mouseMove(widget, at);
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
    return;
  }
  throw Failure("the popup has no swatch " + hex);
}

// In the pixels of `shot FILE dialog`: the topmost dialog's widget.
void RunRect(const Line& line) {
  if (line.words.size() < 2) throw Failure("missing control id");
  if (line.words[1] == "dialog") return PrintDialogRect();
  QWidget* dialog = TopmostDialog();
  for (size_t i = 1; i < line.words.size(); ++i) {
    const std::string& idText = line.words[i];
    QWidget* widget = WidgetOfControl(FindControl(idText), idText);
    QWidget* frame = dialog && dialog->isAncestorOf(widget) ? dialog : widget->window();
    const QPoint at = widget->mapTo(frame, QPoint(0, 0));
    Print(idText + ": " + std::to_string(at.x()) + " " + std::to_string(at.y()) + " " + std::to_string(widget->width()) +
          " " + std::to_string(widget->height()));
  }
}
}  // namespace
}  // namespace qlwui

QLW_UI_COMMAND(demo, "demo", "controls", qlwui::RunDemo);
QLW_UI_COMMAND(spin, "spin", "ID up|down [N]", qlwui::RunSpin);
QLW_UI_COMMAND(drag_by, "drag-by", "ID DX DY", qlwui::RunDragBy);
QLW_UI_COMMAND(hover, "hover", "N", qlwui::RunHover);
QLW_UI_COMMAND(popup, "popup", "N", qlwui::RunPopup);
QLW_UI_COMMAND(rect, "rect", "dialog|ID...", qlwui::RunRect);
QLW_UI_COMMAND(colour, "colour", "ID RRGGBB", qlwui::RunColour);
