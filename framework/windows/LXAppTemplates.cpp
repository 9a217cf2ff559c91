// The members of the application base CLXApp that need the framework's document templates or its
// file dialog: the file type of a template, redrawing every view, and the dialog that
// CLXApp::OpenFilesDialog shows.
#include <algorithm>

#include "LXApp.h"
#include "LXDocTemplate.h"
#include "LXFileDialog.h"

namespace {
bool PromptForFiles(const std::vector<CDocTemplate*>& templates, int initialTemplate, bool multiple,
                    std::vector<CString>& paths) {
  CString filter;
  int rows = 0, initialRow = 0;
  for (size_t i = 0; i < templates.size(); ++i) {
    const auto* docTemplate = dynamic_cast<const CLXDocTemplate*>(templates[i]);
    CString row;
    if (!docTemplate || docTemplate->AppendFilter(row, false, false) == 0) continue;
    filter += row;
    ++rows;
    if (static_cast<int>(i) + 1 == initialTemplate) initialRow = rows;
  }
  if (rows == 0) return false;
  filter += L"|";
  CLXFileDialog dialog(TRUE, nullptr, nullptr, OFN_FILEMUSTEXIST | (multiple ? OFN_ALLOWMULTISELECT : 0u), filter,
                       nullptr);
  if (initialRow > 0) dialog.SetFilterIndex(initialRow);
  if (dialog.DoModal() != IDOK) return false;
  for (const CString& path : dialog.GetPathNames()) paths.push_back(path);
  return true;
}
}  // namespace

void CLXFileDialog::InstallForApplication() { CLXApp::SetOpenFilesPrompt(PromptForFiles); }

uint32_t CLXApp::GetTemplateFileType(const CDocTemplate* docTemplate) const {
  if (!dynamic_cast<const CLXDocTemplate*>(docTemplate)) return 0;
  for (const CLXDocTypeRow& row : LXDocTypes::GetTable())
    if (row.stringId == docTemplate->m_nIDResource) return row.fileType;
  return 0;
}

void CLXApp::RedrawAllViews() {
  std::vector<CDocTemplate*> seen;
  for (const CLXDocTypeRow& row : LXDocTypes::GetTable()) {
    CDocTemplate* docTemplate = GetTemplateForFileType(row.fileType);
    if (!docTemplate || std::find(seen.begin(), seen.end(), docTemplate) != seen.end()) continue;
    seen.push_back(docTemplate);
    if (auto* single = dynamic_cast<CSingleDocTemplate*>(docTemplate); single && single->GetDocument())
      single->GetDocument()->UpdateAllViews(nullptr);
  }
  HWND main = m_pMainWnd && m_pMainWnd->m_hWnd ? m_pMainWnd->m_hWnd : GetMainFrame();
  if (main) RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}
