// The diffraction window's graphics commands: the plot copied to the clipboard, exported to a file,
// and its font chosen.
#include "DiffractWnd.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <memory>

#include "LXException.h"
#include "LXFile.h"
#include "LXFileDialog.h"
#include "LXGraphicsErrors.h"
#include "LXImages.h"
#include "GraphicsExportDialog.h"
#include "LXMessage.h"
#include "PlotFontDialog.h"
#include "QlwDoc.h"
#include "RecentDocuments.h"

namespace {
constexpr UINT kFileTypeSvg = 45;
CDiffractWnd::GraphicsExportDialog g_exportDialog = nullptr;

// What a file was before a write: whether it existed, and its size and change time then.
struct FileStamp {
  bool exists = false;
  off_t size = 0;
  timespec changed{};
};

FileStamp StampOf(const CString& path) {
  FileStamp stamp;
  struct stat st {};
  if (::stat(path.ToUtf8().c_str(), &st) == 0) {
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.changed = st.st_mtim;
  }
  return stamp;
}

bool WasTouched(const FileStamp& before, const FileStamp& after) {
  return after.exists && (!before.exists || before.size != after.size || before.changed.tv_sec != after.changed.tv_sec ||
                          before.changed.tv_nsec != after.changed.tv_nsec);
}
}  // namespace

void CDiffractWnd::SetGraphicsExportDialog(GraphicsExportDialog dialog) { g_exportDialog = dialog; }

void CDiffractWnd::CopyGraphics() {
  try {
    if (!m_pGraphicsPane || !m_pGraphicsPane->m_hWnd) throw CLXXCopyGrfxNoBitmap(kLXSeverityMessage, 0, __LINE__);
    CImagingPane::RenderRequest request;
    request.kind = CImagingPane::kRenderBitmap;
    std::unique_ptr<Gdiplus::Image> image(m_pGraphicsPane->GetCanvas().RenderToBuffer(request));
    // The vector form beside the pixels: word processors and drawing programs paste it sharp.
    request.kind = CImagingPane::kRenderMetafile;
    std::unique_ptr<Gdiplus::Image> vector(m_pGraphicsPane->GetCanvas().RenderToBuffer(request));
    std::vector<Gdiplus::Image*> images{image.get()};
    if (vector) images.push_back(vector.get());
    if (!image || !CopyImagesToClipboard(images, m_hWnd))
      throw CLXXCopyGrfxNoBitmap(kLXSeverityMessage, 0, __LINE__);
  } catch (CLXException& e) {
    e.Report();
  }
}

void CDiffractWnd::ExportGraphics() {
  UpdatePlotRect();
  if (!g_exportDialog) throw CLXXUnimplemented(kLXSeverityMessage, 0, __LINE__);
  GraphicsExportChoice choice;
  if (g_exportDialog(this, m_plotRect.m_int.Width, m_plotRect.m_int.Height, choice) != IDOK) return;
  UINT fileType = choice.fileType;
  CString path;
  if (!CLXFileDialog::PromptExportFile(this, CString(), CString(), CString(), false, &fileType, &path)) return;
  SaveGraphics(choice, fileType, path);
}

void CDiffractWnd::SaveGraphics(const GraphicsExportChoice& choice, UINT fileType, const CString& path) {
  if (!m_pGraphicsPane || !m_pGraphicsPane->m_hWnd) throw CLXXCopyGrfxNoBitmap(kLXSeverityMessage, 0, __LINE__);
  CImagingPane::RenderRequest request = choice.request;
  request.kind = fileType == kFileTypeSvg ? CImagingPane::kRenderMetafile : CImagingPane::kRenderBitmap;
  // BMP and JPEG keep no transparency: a transparent white would save as black.
  request.transparent = request.transparent && ::GraphicsExportDialog::AllowsTransparency(static_cast<int>(fileType));
  std::unique_ptr<Gdiplus::Image> image(m_pGraphicsPane->GetCanvas().RenderToBuffer(request));
  if (!image) throw CLXXCopyGrfxNoBitmap(kLXSeverityMessage, 0, __LINE__);

  const FileStamp before = StampOf(path);
  bool saved = false;
  LONGLONG error = ERROR_WRITE_FAULT;
  try {
    saved = SaveImageToFile(image.get(), path);
  } catch (CLXException& e) {
    error = e.GetErrorCode();
  }
  if (saved) {
    SHAddToRecentDocs(SHARD_PATHW, path.GetString());
    return;
  }
  // What the failed write left is no picture; a file it never reached is the user's and stays.
  if (WasTouched(before, StampOf(path))) ::DeleteFileW(path.GetString());
  // A folder that is missing or closed to writing is named with the path, as a session's save does.
  const std::string folder = std::filesystem::path(path.ToUtf8()).parent_path().string();
  const int cause = ::access(folder.empty() ? "." : folder.c_str(), F_OK) != 0   ? ERROR_PATH_NOT_FOUND
                    : ::access(folder.empty() ? "." : folder.c_str(), W_OK) != 0 ? ERROR_ACCESS_DENIED
                                                                                  : 0;
  if (cause) {
    CLXXMFC(CQlwDoc::DescribeOpenError(cause, path), kLXSeverityMessage, cause, __LINE__).Report();
    return;
  }
  CLXXFile(kLXSeverityMessage, error, __LINE__).Report();
}

void CDiffractWnd::ChooseFont() {
  CQlwDoc* doc = GetDocument();
  CDiffractionSettings* settings = doc ? doc->GetSettings() : nullptr;
  if (!settings) return;
  PlotFontChoice choice;
  choice.face = settings->m_fontName;
  choice.points = settings->m_fontSize;
  choice.style = settings->m_fontStyle;
  if (!RunPlotFontDialog(this, choice)) return;
  settings->m_fontName = choice.face;
  settings->m_fontSize = choice.points;
  settings->m_fontStyle = choice.style;
  settings->m_fontColor |= 0xFF000000u;
  doc->RecomputeAllPatterns(true, false, true);
  CUHRequestPlotUpdate hint(doc, nullptr, true, CUHRequestPlotUpdate::kRedrawAll);
  doc->DispatchUpdateHint(hint);
  if (HWND main = LXAppWindows::GetMainWindow()) ::UpdateWindow(main);
}
