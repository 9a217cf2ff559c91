// CStructListDrop: the structures list's drop target. Patterns dragged from a structures list
// are placed before, into or after the row under the pointer: from this process the very
// patterns move, from another process new ones are rebuilt from the drag's flat forms (checked
// whole before any is used) and computed with this document's settings. Dropped files become
// patterns through the document's readers and are placed the same way.
#pragma once

#include "LXDropTarget.h"
#include "QLPattern.h"

#include <cstdint>
#include <optional>
#include <vector>

class CStructuresList;

// The drag format of a list of patterns: the transfer block of the flat forms.
inline constexpr const char* kPatternListMime = "application/x-qlw-pattern-list";

// A block from another process: every pattern it counts but a crystal whose cell no editor takes
// (left out with an alert), or nothing when the block is short, miscounted or holds a kind other
// than observed (1), crystal (2) or mixture (4).
std::optional<CQLPatternList> ReadForeignPatternBlock(const std::vector<std::uint8_t>& block);

class CStructListDrop : public CLXDropTarget {
 public:
  // Drop positions of the hit test.
  enum : int { kDropNone = 0, kDropBefore = 1, kDropInto = 2, kDropAfter = 3 };

  explicit CStructListDrop(CStructuresList* list) : m_list(list) {}

  DWORD OnDragEnter(CWnd* window, CLXDropData* data, DWORD keyState, CPoint point) override;
  DWORD OnDragOver(CWnd* window, CLXDropData* data, DWORD keyState, CPoint point) override;
  BOOL OnDrop(CWnd* window, CLXDropData* data, DWORD effect, CPoint point) override;
  void OnDragLeave(CWnd* window) override;
  void DrawDropFeedback(CWnd* window, CPoint point, bool show) override;
  void EndDragTracking(CWnd* window) override;
  bool OpenFiles(CWnd* window, CPoint point, FileList& list) override;
  bool OpenFile(CWnd* window, CPoint point, const CString& path) override;
  bool IsAcceptableFile(CWnd* window, const CString& path) override;

  // Puts patterns at a point of the list; false when the document refused the move.
  bool PlaceDroppedPatterns(const CQLPatternList& patterns, CPoint point);

  bool m_bWasEmpty = false;

 private:
  CStructuresList* m_list;
};
