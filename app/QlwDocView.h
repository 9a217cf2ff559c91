// What the document needs of the things that show it: views that receive update hints, and the
// diffraction window whose layout a session restores and records. CQlwDocBase stands in for the
// class library's document (views, title, path, modified flag) that CQlwDoc is built on.
#pragma once

#include "LXSyncRect.h"
#include "Win.h"

#include <list>
#include <vector>

class CQlwDocView {
 public:
  virtual ~CQlwDocView() = default;
  // lHint is the address of the CUpdateHint, or 0 for an update without a hint.
  virtual void OnUpdate(CQlwDocView* sender, LPARAM lHint, void* hintObject) = 0;
};

// The window side of a session's layout; the diffraction window implements it.
class CQlwDocWindow {
 public:
  enum Pane { kPaneStructures = 0, kPaneParameters = 1, kPaneReflexions = 2 };
  virtual ~CQlwDocWindow() = default;
  virtual HWND GetSafeHwnd() const = 0;
  // True once the window has laid itself out from a session; later sessions keep its layout.
  virtual bool HasRestoredLayout() const = 0;
  virtual bool GetScreenRect(LXGraphics::CSyncRect& out) const = 0;
  // Fits the rectangle to its monitor and moves the window there.
  virtual void MoveOnScreen(const LXGraphics::CSyncRect& rect) = 0;
  virtual bool IsPaneShown(Pane pane) const = 0;
  virtual void PostMenuCommand(UINT commandId) = 0;
  // 1 or 2 for the pressed tab button of the parameters pane, 0 when neither.
  virtual int GetParametersTab() const = 0;
  virtual void SelectParametersTab(int tab) = 0;
  virtual void CloseInspectorPanes() = 0;
  virtual void DisclosePane(const CString& header) = 0;
  virtual void GetOpenPaneNames(std::list<CString>& out) const = 0;
  virtual void InvalidateAll() = 0;
};

class CQlwDocBase {
 public:
  virtual ~CQlwDocBase() = default;

  void AddView(CQlwDocView* view) { m_views.push_back(view); }
  void RemoveView(CQlwDocView* view);
  const std::vector<CQlwDocView*>& Views() const { return m_views; }
  // Every view but sender receives the hint.
  void UpdateAllViews(CQlwDocView* sender, LPARAM hint = 0, void* hintObject = nullptr);

  virtual void SetTitle(LPCWSTR title) { m_strTitle = title; }
  const CString& GetTitle() const { return m_strTitle; }
  virtual void SetPathName(LPCWSTR path) { m_strPathName = path; }
  const CString& GetPathName() const { return m_strPathName; }
  virtual BOOL IsModified() { return m_bModified; }
  virtual void SetModifiedFlag(BOOL modified = TRUE) { m_bModified = modified; }
  virtual void DeleteContents() {}

 protected:
  CString m_strTitle;
  CString m_strPathName;
  BOOL m_bModified = FALSE;
  std::vector<CQlwDocView*> m_views;
};
