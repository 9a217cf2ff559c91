// Drags and drops on the structures list from scripts: `drag ROW… to AT [ctrl]` drops the list's
// own drag data for the rows inside the list, `drag-out ROW… FILE` writes that data to FILE,
// `drop-in FILE AT [ownpid]` drops FILE's bytes as a drag from another process and
// `drop-files AT PATH…` drops files. AT is `ROW above|middle|below` or `end`.
#include <QAbstractItemView>
#include <QWidget>

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "DiffractWnd.h"
#include "StructuresDrop.h"
#include "StructuresList.h"
#include "StructuresPane.h"
#include "UiApi.h"
#include "WndQt.h"

namespace qlwui {
namespace {
CStructuresList& List() {
  CWnd* pane = MainWindow()->GetPatternsPane();
  auto* structures = dynamic_cast<CStructuresPane*>(pane);
  if (!structures || !structures->m_hWnd || !IsWindowVisible(structures->m_hWnd)) throw Failure("the structures pane is not shown");
  return structures->GetList();
}

int Row(CStructuresList& list, const std::string& word) {
  const int row = ParseInt(word, "row");
  if (row < 0 || row >= list.GetItemCount()) throw Failure("row " + word + " is out of range (" + std::to_string(list.GetItemCount()) + ")");
  return row;
}

// The point of AT, from words[at] on; `next` is the index after it.
CPoint Where(CStructuresList& list, const std::vector<std::string>& words, size_t at, size_t& next) {
  if (at >= words.size()) throw Failure("missing drop position");
  if (words[at] == "end") {
    next = at + 1;
    const int count = list.GetItemCount();
    CRect client;
    list.GetClientRect(&client);
    int bottom = 0;
    if (count > 0) {
      CRect last;
      list.GetItemRect(count - 1, &last, LVIR_BOUNDS);
      bottom = last.bottom;
    }
    if (bottom + 2 >= client.bottom) throw Failure("no room below the last row");
    return CPoint(client.Width() / 2, (bottom + client.bottom) / 2);
  }
  if (at + 1 >= words.size()) throw Failure("missing above, middle or below");
  const int row = Row(list, words[at]);
  CRect r;
  list.GetItemRect(row, &r, LVIR_BOUNDS);
  next = at + 2;
  const std::string& where = words[at + 1];
  const int x = r.left + r.Width() / 2;
  if (where == "above") return CPoint(x, r.top + 2);
  if (where == "middle") return CPoint(x, (r.top + r.bottom) / 2);
  if (where == "below") return CPoint(x, r.bottom - 3);
  throw Failure("unknown position " + where);
}

void SelectRows(CStructuresList& list, const std::vector<int>& rows) {
  list.SetItemState(-1, 0, LVIS_SELECTED);
  for (int r : rows) list.SetItemState(r, LVIS_SELECTED, LVIS_SELECTED);
}

bool Drop(CStructuresList& list, CLXDropData& data, DWORD keys, CPoint point) {
  CStructListDrop& target = list.GetDropTarget();
  const DWORD effect = target.OnDragEnter(&list, &data, keys, point);
  if (effect == DROPEFFECT_NONE) {
    target.OnDragLeave(&list);
    return false;
  }
  target.OnDragOver(&list, &data, keys, point);
  return target.OnDrop(&list, &data, effect, point) != FALSE;
}

void Report(bool dropped) {
  if (!dropped) Print("drop: refused");
}

void RunDrag(const Line& line) {
  CStructuresList& list = List();
  std::vector<int> rows;
  size_t i = 1;
  for (; i < line.words.size() && line.words[i] != "to"; ++i) rows.push_back(Row(list, line.words[i]));
  if (rows.empty() || i >= line.words.size()) throw Failure("usage: drag ROW... to AT [ctrl]");
  SelectRows(list, rows);
  size_t next = 0;
  const CPoint point = Where(list, line.words, i + 1, next);
  const bool ctrl = next < line.words.size() && line.words[next] == "ctrl";
  CLXDropData data;
  data.SetFormat(kPatternListMime, list.BuildDragBlock());
  data.SetSourceWindow(list.m_hWnd);
  Report(Drop(list, data, ctrl ? MK_CONTROL : 0, point));
  list.ClearDraggedPatterns();
}

void RunDragOut(const Line& line) {
  CStructuresList& list = List();
  if (line.words.size() < 3) throw Failure("usage: drag-out ROW... FILE");
  std::vector<int> rows;
  for (size_t i = 1; i + 1 < line.words.size(); ++i) rows.push_back(Row(list, line.words[i]));
  SelectRows(list, rows);
  const std::vector<std::uint8_t> block = list.BuildDragBlock();
  list.ClearDraggedPatterns();
  std::ofstream out(line.words.back(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
  if (!out) throw Failure("cannot write " + line.words.back());
}

void RunDropIn(const Line& line) {
  CStructuresList& list = List();
  std::ifstream in(line.Word(1, "file"), std::ios::binary);
  if (!in) throw Failure("cannot read " + line.words[1]);
  std::vector<std::uint8_t> block((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t next = 0;
  const CPoint point = Where(list, line.words, 2, next);
  if (next < line.words.size() && line.words[next] == "ownpid" && block.size() >= 4) {
    const auto pid = static_cast<std::uint32_t>(::getpid());
    std::memcpy(block.data(), &pid, 4);
  }
  CLXDropData data;
  data.SetFormat(kPatternListMime, std::move(block));
  Report(Drop(list, data, 0, point));
}

void RunDropFiles(const Line& line) {
  CStructuresList& list = List();
  size_t next = 0;
  const CPoint point = Where(list, line.words, 1, next);
  std::vector<CString> files;
  for (size_t i = next; i < line.words.size(); ++i) files.push_back(CString(qlw::FromUtf8(line.words[i]).c_str()));
  if (files.empty()) throw Failure("missing path");
  CLXDropData data(std::move(files));
  Report(Drop(list, data, 0, point));
}
}  // namespace
}  // namespace qlwui

QLW_UI_COMMAND(drag, "drag", "ROW... to AT [ctrl]", qlwui::RunDrag);
QLW_UI_COMMAND(dragout, "drag-out", "ROW... FILE", qlwui::RunDragOut);
QLW_UI_COMMAND(dropin, "drop-in", "FILE AT [ownpid]", qlwui::RunDropIn);
QLW_UI_COMMAND(dropfiles, "drop-files", "AT PATH...", qlwui::RunDropFiles);
