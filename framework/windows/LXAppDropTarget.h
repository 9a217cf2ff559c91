// CLXAppDropTarget: files dropped on the program itself rather than on one of its windows (the
// launcher, or a second start handing its files over): they are checked, limited, announced to
// the main window and posted to the application's thread as one "OpenDocumentFiles" list.
#pragma once
#include "LXDropTarget.h"

class CLXAppDropTarget : public CLXDropTarget {
 public:
  // Makes the drop target for a drop from outside; one for the run.
  class CFactory {
   public:
    explicit CFactory(bool multipleInstances) : m_bMultipleInstances(multipleInstances) {}
    bool Register();
    bool IsRegistered() const { return m_dwRegister != 0; }
    bool AllowsMultipleInstances() const { return m_bMultipleInstances; }
    CLXAppDropTarget* CreateObject() const { return new CLXAppDropTarget; }

   private:
    bool m_bMultipleInstances;
    DWORD m_dwRegister = 0;
  };

  CLXAppDropTarget();
  ~CLXAppDropTarget() override;

  // Creates the factory on the first call, registers it when it is not; whether it is registered.
  static bool RegisterFactory(bool multipleInstances);
  // Revokes and deletes the factory at the program's exit: nothing more is dropped on it.
  static void RevokeFactory();
  static CFactory* GetFactory();
  // The road of a drop from outside: a target made by the factory takes the paths as one drop.
  // asked: the user has already been asked about this many files (in the window that passed
  // them on), so the question is not put again.
  static bool DropFiles(const std::vector<CString>& paths, bool asked = false);

  DWORD OnDragEnter(CWnd* window, CLXDropData* data, DWORD keyState, CPoint point) override;
  DWORD OnDragOver(CWnd* window, CLXDropData* data, DWORD keyState, CPoint point) override;
  BOOL OnDrop(CWnd* window, CLXDropData* data, DWORD effect, CPoint point) override;
  void DrawDropFeedback(CWnd*, CPoint, bool) override {}
  void EndDragTracking(CWnd* window) override;
  bool BeginDrop(CWnd* window, FileList& list) override;
  bool OpenFile(CWnd*, CPoint, const CString&) override { return true; }
  bool IsAcceptableFile(CWnd* window, const CString& path) override;

  HWND m_hMainWnd = nullptr;
  bool m_bAskedAboutMany = false;
};
