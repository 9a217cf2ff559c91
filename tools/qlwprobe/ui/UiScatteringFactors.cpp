// Window-script lines for owner-drawn graphs and right clicks: `graph ID` describes the last
// drawing of the scattering-factors graph, `rclick ID` right-clicks the middle of a control (of a
// list's first selected row).
#include <QAbstractItemView>
#include <QApplication>
#include <QItemSelectionModel>
#include <QContextMenuEvent>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <cstdio>

#include "ScatteringFactors.h"
#include "UiApi.h"
#include "Wnd.h"

namespace qlwui {
namespace {
std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

void RunRightClick(const Line& line) {
  const std::string id = line.Word(1, "control id");
  QWidget* widget = WidgetOfControl(FindControl(id), id);
  // A list is right-clicked on its first selected row, as a user acts on a selection.
  QPoint middle;
  if (auto* view = qobject_cast<QAbstractItemView*>(widget); view && view->selectionModel() &&
                                                             view->selectionModel()->hasSelection()) {
    QModelIndexList rows = view->selectionModel()->selectedIndexes();
    std::sort(rows.begin(), rows.end());
    view->scrollTo(rows.front());
    middle = view->visualRect(rows.front()).center();
  }
  if (auto* area = widget->findChild<QWidget*>(QStringLiteral("qt_scrollarea_viewport"))) widget = area;
  if (middle.isNull()) middle = widget->rect().center();
  ActivateWindowOf(widget);
  QTest::mousePress(widget, Qt::RightButton, Qt::NoModifier, middle);
  QTest::mouseRelease(widget, Qt::RightButton, Qt::NoModifier, middle);
  // Sent to the widget directly, mouse events make no context-menu event of their own.
  QContextMenuEvent event(QContextMenuEvent::Mouse, middle, widget->mapToGlobal(middle));
  QApplication::sendEvent(widget, &event);
}

void RunGraph(const Line& line) {
  const std::string id = line.Word(1, "control id");
  const HWND control = FindControl(id);
  auto* palette = dynamic_cast<CScatteringFactors*>(CWnd::FromHandlePermanent(::GetParent(control)));
  if (!palette || ::GetDlgCtrlID(control) != static_cast<int>(CScatteringFactors::kGraphId))
    throw Failure("control " + id + " is no graph");
  const CDiffractionSettings& s = palette->GetGraphSettings();
  Print("title: " + Utf8(s.m_showPlotTitle ? s.m_fourthText.GetString() : L""));
  Print("x range: " + Number(s.m_visibleXMin) + " " + Number(s.m_visibleXMax));
  Print("y range: " + Number(s.m_visibleYMin) + " " + Number(s.m_visibleYMax));
  for (const auto& curve : palette->GetLastCurves()) {
    std::string text = "curve " + Utf8(curve.title.GetString()) + ": " + std::to_string(curve.points.size()) + " points";
    if (!curve.points.empty()) {
      text += ", first " + Number(curve.points.front().first) + " " + Number(curve.points.front().second);
      text += ", last " + Number(curve.points.back().first) + " " + Number(curve.points.back().second);
    }
    Print(text);
  }
}
}  // namespace
}  // namespace qlwui

QLW_UI_COMMAND(rclick, "rclick", "ID", qlwui::RunRightClick);
QLW_UI_COMMAND(graph, "graph", "ID", qlwui::RunGraph);
