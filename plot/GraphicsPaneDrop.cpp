// Files dropped on the graphics pane: which are accepted, the question before many, and their
// addition to the document once the drop ends.
#include "GraphicsPane.h"

#include "FileTypes.h"
#include "GraphicsPaneBand.h"
#include "LXGdiplus.h"
#include "QlwDoc.h"
#include "Resources.h"

#include <algorithm>
#include <filesystem>

namespace {
// The types a drop may add to the document: crystals, text crystals, sessions, data and profiles.
constexpr std::uint32_t kDroppableTypes[] = {kFileTypeCrystal,  kFileTypeLXTX,        kFileTypeCrystal5, kFileTypeCrystalPre5,
                                             kFileTypeSession,  kFileTypeSessionPre6, kFileTypeDataset,  kFileTypeProfile,
                                             kFileTypeCIF,      kFileTypeRigaku,      kFileTypeStruplo};
}  // namespace

CGraphicsPaneDrop::~CGraphicsPaneDrop() = default;

bool CGraphicsPaneDrop::IsAcceptablePath(const CString& path) {
  std::error_code error;
  const std::filesystem::path p(path.GetString());
  if (path.IsEmpty() || !std::filesystem::exists(p, error)) return false;
  if (std::filesystem::is_directory(p, error)) return true;
  const std::uint32_t type = IdentifyFileType(path.GetString(), true);
  return std::find(std::begin(kDroppableTypes), std::end(kDroppableTypes), type) != std::end(kDroppableTypes);
}

bool CGraphicsPaneDrop::IsAcceptableFile(CWnd*, const CString& path) { return IsAcceptablePath(path); }

bool CGraphicsPaneDrop::OpenFile(CWnd*, CPoint, const CString& path) {
  m_dropped.push_back(path);
  return true;
}

bool CGraphicsPaneDrop::BeginDrop(CWnd* window, FileList& list) {
  if (list.size() > kLotsOfFiles) {
    CLXXFileLotsOfFiles question(kLXSeverityUser, 0, 0, static_cast<long>(list.size()));
    const bool goOn = question.Report();
    if (CWnd* frame = m_pPane ? m_pPane->GetParentFrame() : nullptr) frame->UpdateWindow();
    if (!goOn) return false;
  }
  return CLXDropTarget::BeginDrop(window, list);
}

void CGraphicsPaneDrop::EndDragTracking(CWnd* window) {
  CQlwDoc* doc = m_pPane ? m_pPane->GetDocument() : nullptr;
  if (!m_dropped.empty() && doc) {
    // The dropped files come selected, alone.
    for (const CQLPatternPtr& p : CollectPatterns(doc->GetPatterns(), false, true, true)) p->SetSelected(false);
    const std::vector<CString> paths = std::move(m_dropped);
    m_dropped.clear();
    doc->AddFilesFromDrop(paths);
  }
  m_dropped.clear();
  CLXDropTarget::EndDragTracking(window);
}

void CGraphicsPaneDrop::DrawDropFeedback(CWnd*, CPoint, bool show) {
  if (!m_pPane || !m_pPane->IsInitialised()) return;
  CImagingPane& canvas = m_pPane->GetCanvas();
  if (!canvas.m_hWnd) return;
  if (show) {
    CRect frame;
    if (m_pPane->m_bPrinting) {
      LXGraphics::CSyncRect plot;
      canvas.GetPlotRect(plot);
      plot.Sync();
      frame = plot.m_rect;
    } else {
      m_pPane->GetCanvasRect(frame);
      m_pPane->MapWindowPoints(&canvas, &frame);
    }
    frame.NormalizeRect();
    qlwplot::ShowDropFrame(&canvas, frame);
  } else {
    qlwplot::ShowDropFrame(&canvas, nullptr);
    canvas.InvalidateLayers(0, true);
  }
}
