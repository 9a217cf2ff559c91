// The drag protocol of a file drop.
#include "LXDropTarget.h"

#include <algorithm>
#include <filesystem>

#include "LXApp.h"
#include "LXGdiplus.h"
#include "LXUtils.h"

bool CLXDropTarget::s_droppingSeveral = false;

bool CLXDropTarget::IsDroppingSeveralFiles() { return s_droppingSeveral; }

namespace {

// Sorted, hidden entries skipped; links to folders are not followed, so a link back up the
// tree cannot make the walk endless or open a folder twice.
void WalkFolder(const std::filesystem::path& folder, CLXDropTarget::FileList& list) {
  std::error_code error;
  std::vector<std::filesystem::path> entries;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::wstring name = entry.path().filename().wstring();
    if (!name.empty() && name[0] != L'.') entries.push_back(entry.path());
  }
  std::sort(entries.begin(), entries.end());
  for (const auto& entry : entries) {
    if (std::filesystem::is_symlink(entry, error)) {
      if (std::filesystem::is_directory(entry, error)) continue;
      CString target;
      if (CUtils::ResolveShortcut(CString(entry.wstring().c_str()), target)) list.push_back(target);
      continue;
    }
    if (std::filesystem::is_directory(entry, error)) {
      WalkFolder(entry, list);
    } else {
      list.push_back(CString(entry.wstring().c_str()));
    }
  }
}

}  // namespace

CLXDropTarget::~CLXDropTarget() { Revoke(); }

void CLXDropTarget::AddDroppedPath(CWnd*, const CString& path, FileList& list) {
  std::error_code error;
  const std::filesystem::path p(path.GetString());
  if (std::filesystem::is_directory(p, error)) {
    WalkFolder(p, list);
    return;
  }
  CString target = path;
  if (CUtils::IsShortcut(path) && !CUtils::ResolveShortcut(path, target)) target = path;
  list.push_back(target);
}

void CLXDropTarget::DrawDropFeedback(CWnd* window, CPoint, bool show) {
  if (!window || !window->m_hWnd) return;
  if (show) DrawFocusFrame(window, nullptr);
  else window->Invalidate(TRUE);
}

bool CLXDropTarget::OpenDroppedFile(CWnd* window, CPoint point, const CString& path) {
  return IsAcceptableFile(window, path) && OpenFile(window, point, path);
}

void CLXDropTarget::EndDragTracking(CWnd* window) {
  if (m_nCancelCookie) CLXApp::EndCancellable(m_nCancelCookie);
  m_nCancelCookie = 0;
  DrawDropFeedback(window, CPoint(0, 0), false);
}

bool CLXDropTarget::BeginDrop(CWnd*, FileList& list) {
  if (list.size() >= 2) m_nCancelCookie = CLXApp::BeginCancellable(nullptr, &m_bCancelled, false);
  return true;
}

bool CLXDropTarget::OpenFiles(CWnd* window, CPoint point, FileList& list) {
  bool opened = false;
  for (const CString& path : list) {
    if (m_bCancelled) break;
    if (OpenDroppedFile(window, point, path)) opened = true;
    CLXApp::PollCancelInput();
  }
  return opened;
}

void CLXDropTarget::ReadDroppedFiles(CWnd* window, DropHandle drop, FileList* list, bool* accepted) {
  if (!drop || (!list && !accepted)) return;
  if (accepted) *accepted = false;
  for (const CString& name : *drop) {
    if (accepted && !list && *accepted) break;
    CString path = name;
    std::error_code error;
    if (!std::filesystem::is_directory(std::filesystem::path(path.GetString()), error) && CUtils::IsShortcut(path)) {
      CString target;
      if (CUtils::ResolveShortcut(path, target)) path = target;
    }
    bool acceptable = false;
    if (accepted) {
      acceptable = IsAcceptableFile(window, path);
      if (acceptable) *accepted = true;
    }
    if (list && (!accepted || acceptable)) AddDroppedPath(window, path, *list);
  }
}

DWORD CLXDropTarget::OnDragEnter(CWnd* window, CLXDropData* data, DWORD, CPoint) {
  m_bDragActive = true;
  m_bAccepted = false;
  try {
    if (data && data->HasFiles()) ReadDroppedFiles(window, data->GetDropHandle(), nullptr, &m_bAccepted);
  } catch (...) {
    // A drag that cannot be read is simply refused.
    m_bAccepted = false;
  }
  return m_bAccepted ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

DWORD CLXDropTarget::OnDragOver(CWnd* window, CLXDropData*, DWORD, CPoint point) {
  if (!m_bDragActive || !m_bAccepted) return DROPEFFECT_NONE;
  DrawDropFeedback(window, point, true);
  return DROPEFFECT_COPY;
}

void CLXDropTarget::OnDragLeave(CWnd* window) {
  if (m_bDragActive) DrawDropFeedback(window, CPoint(0, 0), false);
  m_bDragActive = m_bAccepted = false;
}

BOOL CLXDropTarget::OnDrop(CWnd* window, CLXDropData* data, DWORD, CPoint point) {
  BOOL result = FALSE;
  if (m_bDragActive && m_bAccepted) {
    // A cancel of an earlier drop must not keep this one from opening anything.
    m_bCancelled = false;
    DropHandle drop = data ? data->GetDropHandle() : nullptr;
    if (!drop) {
      m_bDragActive = m_bAccepted = false;
      m_files.clear();
      return FALSE;
    }
    try {
      if (window && window->m_hWnd) CUtils::ShowWindowKeepState(window->m_hWnd, true);
      ReadDroppedFiles(window, drop, &m_files, nullptr);
      if (BeginDrop(window, m_files)) {
        const bool saved = s_droppingSeveral;
        if (m_files.size() > 1) s_droppingSeveral = true;
        try {
          result = OpenFiles(window, point, m_files) ? TRUE : FALSE;
        } catch (...) {
          s_droppingSeveral = saved;
          throw;
        }
        s_droppingSeveral = saved;
        EndDragTracking(window);
      } else {
        DrawDropFeedback(window, point, false);
      }
    } catch (...) {
      // Failures of a drop never reach the file manager: the drop just has no effect.
      EndDragTracking(window);
      result = FALSE;
    }
  }
  m_bDragActive = m_bAccepted = false;
  m_files.clear();
  return result;
}
