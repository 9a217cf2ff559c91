// CLXDocTemplate: the single-document template every document type uses: the first filter
// extension, file-dialog filter entries, a fixed default title, and opening a file into the
// window that is already open, the new document taking over the old one's views.
#pragma once
#include "Frame.h"

class CLXDocWnd;

// While true, an opened file goes into the current window's document instead of a new window.
extern bool g_openInSameWindow;

class CLXDocTemplate : public CSingleDocTemplate {
  DECLARE_DYNAMIC(CLXDocTemplate)
 public:
  using CSingleDocTemplate::CSingleDocTemplate;
  ~CLXDocTemplate() override = default;

  // For the filter extensions (index 4) only the first extension.
  BOOL GetDocString(CString& text, int index) const override;
  virtual CDocument* OpenDocumentFile(LPCWSTR path, BOOL addToRecent, BOOL makeVisible);
  CDocument* OpenDocumentFile(LPCWSTR path, BOOL makeVisible = TRUE) override;
  void SetDefaultTitle(CDocument* doc) override;
  // After a file was opened into a window that already held a document.
  virtual void TransferDocument(CDocument* oldDoc, CDocument* newDoc);

  int AppendFilter(CString& filter, bool addAllFiles, bool close) const;
  void MoveViews(CLXDocWnd* window, CDocument* from, CDocument* to);

 private:
  CDocument* OpenInto(CLXDocWnd* window, LPCWSTR path, BOOL makeVisible, CDocument*& oldDoc);
};
