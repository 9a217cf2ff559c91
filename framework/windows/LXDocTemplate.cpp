// Document strings, filters and opening a document into an open window.
#include "LXDocTemplate.h"

#include "AfxApp.h"
#include "LXDocWnd.h"
#include "Resources.h"

bool g_openInSameWindow = false;

IMPLEMENT_DYNAMIC(CLXDocTemplate, CSingleDocTemplate)

namespace {
constexpr int kDocName = 1;
constexpr int kFilterName = 3;
constexpr int kFilterExt = 4;
constexpr UINT kAllFilesString = 1310;
constexpr UINT kUntitledString = 1120;
}  // namespace

BOOL CLXDocTemplate::GetDocString(CString& text, int index) const {
  if (!CSingleDocTemplate::GetDocString(text, index)) return FALSE;
  if (index == kFilterExt) {
    const int semicolon = text.Find(L';');
    if (semicolon >= 0) text = text.Left(semicolon);
  }
  return TRUE;
}

int CLXDocTemplate::AppendFilter(CString& filter, bool addAllFiles, bool close) const {
  filter.Empty();
  int count = 0;
  CString name, extensions;
  if (CSingleDocTemplate::GetDocString(name, kFilterName) && !name.IsEmpty() &&
      CSingleDocTemplate::GetDocString(extensions, kFilterExt) && !extensions.IsEmpty()) {
    filter = name + L"|";
    bool first = true;
    int start = 0;
    const int length = extensions.GetLength();
    while (start <= length) {
      int end = start;
      while (end < length && extensions[end] != L'.' && extensions[end] != L';') ++end;
      if (end > start) {
        if (!first) filter += L";";
        filter += L"*." + extensions.Mid(start, end - start);
        first = false;
      }
      start = end + 1;
    }
    filter += L"|";
    count = 1;
  }
  if (addAllFiles) {
    CString all;
    if (!LoadString(kAllFilesString, all)) all = L"All Files|*.*|";
    filter += all;
    ++count;
  }
  if (close) filter += L"|";
  return count;
}

void CLXDocTemplate::SetDefaultTitle(CDocument* doc) {
  CString title;
  if (!CSingleDocTemplate::GetDocString(title, kDocName) || title.IsEmpty()) {
    if (!LoadString(kUntitledString, title)) title = L"Untitled";
  }
  doc->SetTitle(title);
}

void CLXDocTemplate::TransferDocument(CDocument*, CDocument*) {}

void CLXDocTemplate::MoveViews(CLXDocWnd* window, CDocument* from, CDocument* to) {
  CView* active = window ? window->GetActiveView() : nullptr;
  const BOOL autoDelete = from->m_bAutoDelete;
  from->m_bAutoDelete = FALSE;
  const std::vector<CView*> views = from->Views();
  for (CView* view : views) {
    from->RemoveView(view);
    to->AddView(view);
  }
  if (CDocument* held = GetDocument()) RemoveDocument(held);
  AddDocument(to);
  from->m_bAutoDelete = autoDelete;
  to->m_bAutoDelete = autoDelete;
  if (window && active) window->SetActiveView(active, FALSE);
}

CDocument* CLXDocTemplate::OpenDocumentFile(LPCWSTR path, BOOL, BOOL makeVisible) {
  return OpenDocumentFile(path, makeVisible);
}

CDocument* CLXDocTemplate::OpenDocumentFile(LPCWSTR path, BOOL makeVisible) {
  CLXDocWnd* window = CLXDocWnd::FromWindow(nullptr);
  if (window) window->m_bOpening = true;
  CDocument* oldDoc = nullptr;
  try {
    CDocument* doc = OpenInto(window, path, makeVisible, oldDoc);
    if (window) window->m_bOpening = false;
    // The old document has no views left; it goes only once the new one holds the window.
    delete oldDoc;
    return doc;
  } catch (...) {
    if (window) window->m_bOpening = false;
    if (CDocument* held = GetDocument()) RemoveDocument(held);
    if (window)
      if (CDocument* active = window->GetActiveDocument()) AddDocument(active);
    throw;
  }
}

CDocument* CLXDocTemplate::OpenInto(CLXDocWnd* window, LPCWSTR path, BOOL makeVisible, CDocument*& oldDoc) {
  const bool sameWindow = window && g_openInSameWindow;
  CDocument* doc = nullptr;
  if (sameWindow && window->GetActiveDocument()) {
    oldDoc = window->GetActiveDocument();
    CObject* made = m_pDocClass ? m_pDocClass->CreateObject() : nullptr;
    doc = dynamic_cast<CDocument*>(made);
    if (!doc) delete made;
  } else {
    doc = CreateNewDocument();
  }
  if (!doc) {
    oldDoc = nullptr;
    return nullptr;
  }
  SetDefaultTitle(doc);

  if (oldDoc) {
    MoveViews(window, oldDoc, doc);
  } else if (!sameWindow) {
    const BOOL autoDelete = m_bAutoDelete;
    m_bAutoDelete = FALSE;
    CFrameWnd* frame = CreateNewFrame(doc, nullptr);
    m_bAutoDelete = autoDelete;
    if (auto* docWnd = DYNAMIC_DOWNCAST(CLXDocWnd, frame)) {
      window = docWnd;
      if (CWinApp* app = AfxGetApp(); app && !app->m_pMainWnd) app->m_pMainWnd = docWnd;
      AddDocument(doc);
      InitialUpdateFrame(docWnd, doc, makeVisible);
    } else if (frame) {
      frame->DestroyWindow();
    }
  }
  if (!window) {
    // No window to show the document in.
    doc->m_bAutoDelete = FALSE;
    if (GetDocument() == doc) RemoveDocument(doc);
    delete doc;
    if (oldDoc) {
      oldDoc->m_bAutoDelete = FALSE;
      delete oldDoc;
    }
    oldDoc = nullptr;
    return nullptr;
  }

  if (path) {
    if (doc->OnOpenDocument(path)) {
      doc->SetPathName(path, TRUE);
      TransferDocument(oldDoc, doc);
      return doc;
    }
    CDocument* kept = oldDoc;
    if (oldDoc) MoveViews(window, doc, oldDoc);
    oldDoc = nullptr;
    doc->m_bAutoDelete = FALSE;
    doc->OnCloseDocument();
    if (GetDocument() == doc) RemoveDocument(doc);
    delete doc;
    // The views were refreshed from the document that failed, which held nothing: they show the
    // one they are back with again.
    if (kept) kept->UpdateAllViews(nullptr);
    return nullptr;
  }
  if (!g_openInSameWindow) {
    if (!makeVisible) doc->m_bEmbedded = TRUE;
    if (!doc->OnNewDocument()) {
      doc->m_bAutoDelete = FALSE;
      doc->OnCloseDocument();
      if (GetDocument() == doc) RemoveDocument(doc);
      delete doc;
      return nullptr;
    }
  }
  return doc;
}
