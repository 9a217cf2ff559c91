// The drag of the structures list's selected rows as Qt runs it: the pattern drag format in a
// QDrag from the list's view, copy and move allowed.
#include <QApplication>
#include <QByteArray>
#include <QDrag>
#include <QMimeData>
#include <QWidget>

#include "StructuresList.h"
#include "WndQt.h"

bool CStructuresList::RunDrag() {
  QWidget* view = qlw::WidgetOf(m_hWnd);
  if (!view) return false;
  const std::vector<std::uint8_t> block = BuildDragBlock();
  if (block.empty() || m_dragged.empty()) return false;
  auto* mime = new QMimeData;
  mime->setData(QString::fromLatin1(kPatternListMime),
                QByteArray(reinterpret_cast<const char*>(block.data()), static_cast<qsizetype>(block.size())));
  auto* drag = new QDrag(view);
  drag->setMimeData(mime);
  const Qt::DropAction done = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
  // A drop in this process has emptied the list already; a drop elsewhere made copies.
  m_dragged.clear();
  return done != Qt::IgnoreAction;
}

int CStructuresList::DragDistance() { return QApplication::startDragDistance(); }
