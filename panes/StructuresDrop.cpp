// The structures list's drop target: hit test, feedback, patterns from a drag and dropped files.
#include "StructuresDrop.h"

#include "QLPatternFlat.h"
#include "QLMixturePattern.h"
#include "QlwDoc.h"
#include "StructuresList.h"
#include "StructuresPane.h"

#include <algorithm>
#include <iterator>

std::optional<CQLPatternList> ReadForeignPatternBlock(const std::vector<std::uint8_t>& block) {
  if (block.size() < 20) return std::nullopt;
  try {
    CQLFlatReader reader(block.data() + 12, block.size() - 12);
    // Each form starts with its 4-byte kind: a count the rest cannot hold is refused at once.
    const std::uint64_t count = reader.ReadCount(4);
    CQLPatternList patterns;
    for (std::uint64_t i = 0; i < count; ++i) {
      const auto kind = reader.Read<std::uint32_t>();
      if (!IsFlatPatternKind(kind)) return std::nullopt;
      // Null for a crystal left out for its cell, which the reader has named; the others come.
      if (CQLPatternPtr pattern = ReadFlatPattern(kind, reader)) patterns.push_back(std::move(pattern));
    }
    return patterns;
  } catch (const CQLFlatOverrun&) {
    return std::nullopt;
  } catch (const CLXException&) {
    return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

namespace {
const std::vector<std::uint8_t>* PatternBlock(CLXDropData* data) {
  return data ? data->GetFormat(kPatternListMime) : nullptr;
}

DWORD PatternEffect(DWORD keyState) { return (keyState & MK_CONTROL) ? DROPEFFECT_COPY : DROPEFFECT_MOVE; }

bool TreeIsEmpty(CQlwDoc& doc) { return CountPatternsOfType<CQLPattern>(doc.GetPatterns(), false, false, false) == 0; }
}  // namespace

DWORD CStructListDrop::OnDragEnter(CWnd* window, CLXDropData* data, DWORD keyState, CPoint point) {
  m_bDragActive = true;
  m_bAccepted = false;
  try {
    if (const auto* block = PatternBlock(data)) {
      m_bAccepted = !block->empty();
      return m_bAccepted ? PatternEffect(keyState) : DROPEFFECT_NONE;
    }
    const DWORD effect = CLXDropTarget::OnDragEnter(window, data, keyState, point);
    m_bDragActive = true;
    m_bAccepted = effect != DROPEFFECT_NONE;
    return effect;
  } catch (...) {
    m_bAccepted = false;
    return DROPEFFECT_NONE;
  }
}

DWORD CStructListDrop::OnDragOver(CWnd* window, CLXDropData* data, DWORD keyState, CPoint point) {
  if (!m_bDragActive || !m_bAccepted) return DROPEFFECT_NONE;
  DrawDropFeedback(window, point, true);
  return PatternBlock(data) ? PatternEffect(keyState) : DROPEFFECT_COPY;
}

void CStructListDrop::OnDragLeave(CWnd* window) {
  if (m_bDragActive) DrawDropFeedback(window, CPoint(), false);
  m_bDragActive = m_bAccepted = false;
}

void CStructListDrop::DrawDropFeedback(CWnd*, CPoint point, bool show) {
  if (m_list) m_list->DrawDropFeedback(point, show);
}

void CStructListDrop::EndDragTracking(CWnd* window) {
  CLXDropTarget::EndDragTracking(window);
  DrawDropFeedback(window, CPoint(), false);
  if (CStructuresPane* pane = m_list ? m_list->GetPane() : nullptr) pane->NotifyListChanged();
}

bool CStructListDrop::IsAcceptableFile(CWnd*, const CString&) { return true; }

bool CStructListDrop::OpenFile(CWnd* window, CPoint point, const CString& path) {
  FileList one{path};
  return OpenFiles(window, point, one);
}

bool CStructListDrop::OpenFiles(CWnd*, CPoint point, FileList& list) {
  CStructuresPane* pane = m_list ? m_list->GetPane() : nullptr;
  CQlwDoc* doc = pane ? pane->GetDocument() : nullptr;
  if (!doc) return false;
  const bool wasEmpty = TreeIsEmpty(*doc);
  const size_t before = doc->GetPatterns().size();
  pane->AddPatternsFromFiles(std::vector<CString>(list.begin(), list.end()));
  CQLPatternList added(std::next(doc->GetPatterns().begin(), static_cast<std::ptrdiff_t>(std::min(before, doc->GetPatterns().size()))),
                       doc->GetPatterns().end());
  if (added.empty()) return false;
  // The readers appended them; now they go where they were dropped.
  PlaceDroppedPatterns(added, point);
  if (wasEmpty) doc->FitPlotToPatterns();
  return true;
}

bool CStructListDrop::PlaceDroppedPatterns(const CQLPatternList& patterns, CPoint point) {
  CQlwDoc* doc = m_list ? m_list->GetDocument() : nullptr;
  if (!doc || patterns.empty()) return false;
  for (const CQLPatternPtr& p : patterns) p->SetSelected(true);
  int row = -1;
  const int code = m_list->HitTestDrop(point, row);
  CQLPattern* target = m_list->PatternAt(row);
  switch (target ? code : kDropNone) {
    case kDropBefore: return doc->MovePatternsBeside(patterns, *target, true);
    case kDropAfter: return doc->MovePatternsBeside(patterns, *target, false);
    case kDropInto:
      if (auto* mixture = dynamic_cast<CQLMixturePattern*>(target)) return doc->MovePatternsIntoMixture(patterns, *mixture);
      return doc->MovePatternsBeside(patterns, *target, false);
    default: doc->MovePatternsToEnd(patterns); return true;
  }
}

BOOL CStructListDrop::OnDrop(CWnd* window, CLXDropData* data, DWORD effect, CPoint point) {
  if (!m_bDragActive || !m_bAccepted || !window || !m_list) return FALSE;
  const auto* block = PatternBlock(data);
  if (!block) return CLXDropTarget::OnDrop(window, data, DROPEFFECT_COPY, point);
  (void)effect;
  BOOL result = FALSE;
  CStructuresList* source = nullptr;
  try {
    CQlwDoc* doc = m_list->GetDocument();
    if (!doc) throw CLXXStructures(kLXSeverityMessage, 0, __LINE__);
    // The same process is told by the drag's source, never by the block's bytes.
    source = data->GetSourceWindow() ? dynamic_cast<CStructuresList*>(CWnd::FromHandlePermanent(data->GetSourceWindow()))
                                     : nullptr;
    CQLPatternList patterns;
    bool fresh = false;
    if (source && source->GetDocument() == doc) {
      patterns = source->GetDraggedPatterns();
    } else if (source) {
      // Another window of this process: copies, as another process would make.
      for (const CQLPatternPtr& p : source->GetDraggedPatterns()) patterns.push_back(p->Clone());
      fresh = true;
    } else if (auto read = ReadForeignPatternBlock(*block)) {
      patterns = std::move(*read);
      fresh = true;
    }
    if (!patterns.empty()) {
      m_bWasEmpty = TreeIsEmpty(*doc);
      // Reflexions and profiles of copies were computed with the sender's settings.
      if (fresh)
        if (const CDiffractionSettings* settings = doc->GetSettings())
          for (const CQLPatternPtr& p : patterns) p->ApplySettings(*settings);
      if (PlaceDroppedPatterns(patterns, point)) {
        result = TRUE;
        if (fresh) doc->UpdateDataRange();
        EndDragTracking(window);
        if (m_bWasEmpty) doc->FitPlotToPatterns();
      } else {
        DrawDropFeedback(window, point, false);
      }
    } else {
      DrawDropFeedback(window, point, false);
    }
  } catch (CLXException& e) {
    e.Report();
    EndDragTracking(window);
    result = FALSE;
  }
  m_bDragActive = m_bAccepted = false;
  if (source) source->ClearDraggedPatterns();
  return result;
}
