// CLXDropTarget: the base of every window that accepts files dropped from a file manager. It
// settles the drag protocol (feedback, reading the dropped list, folders walked, a cancellable
// multi-file open); a derived target says which files it accepts and opens one. The Qt side
// (drag events, `text/uri-list`) is in LXDropTargetQt.cpp.
#pragma once
#include <cstdint>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "Wnd.h"

#ifndef DROPEFFECT_NONE
#define DROPEFFECT_NONE 0
#define DROPEFFECT_COPY 1
#define DROPEFFECT_MOVE 2
#define DROPEFFECT_LINK 4
#endif

// What a drag carries: the dropped paths when it offers files (the shell's file-drop format).
class CLXDropData {
 public:
  CLXDropData() = default;
  explicit CLXDropData(std::vector<CString> files) : m_files(std::move(files)), m_hasFiles(true) {}
  bool HasFiles() const { return m_hasFiles; }
  // The file-drop handle: null when the data holds no files.
  const std::vector<CString>* GetDropHandle() const { return m_hasFiles ? &m_files : nullptr; }
  // The bytes of another format the drag offers, by MIME type; null when it offers none.
  void SetFormat(const std::string& mime, std::vector<uint8_t> bytes) { m_formats[mime] = std::move(bytes); }
  const std::vector<uint8_t>* GetFormat(const std::string& mime) const {
    const auto it = m_formats.find(mime);
    return it == m_formats.end() ? nullptr : &it->second;
  }
  // The window that started the drag when it runs in this process; null for a drag from elsewhere.
  void SetSourceWindow(HWND window) { m_source = window; }
  HWND GetSourceWindow() const { return m_source; }

 private:
  std::vector<CString> m_files;
  bool m_hasFiles = false;
  std::map<std::string, std::vector<uint8_t>> m_formats;
  HWND m_source = nullptr;
};

class CLXDropTarget {
 public:
  using FileList = std::list<CString>;
  using DropHandle = const std::vector<CString>*;

  CLXDropTarget() = default;
  virtual ~CLXDropTarget();
  CLXDropTarget(const CLXDropTarget&) = delete;
  CLXDropTarget& operator=(const CLXDropTarget&) = delete;

  // Makes the window accept drags; false without a window (or one with no widget).
  BOOL Register(CWnd* window);
  virtual void Revoke();
  CWnd* GetWindow() const { return m_pWnd; }

  virtual DWORD OnDragEnter(CWnd* window, CLXDropData* data, DWORD keyState, CPoint point);
  virtual DWORD OnDragOver(CWnd* window, CLXDropData* data, DWORD keyState, CPoint point);
  virtual BOOL OnDrop(CWnd* window, CLXDropData* data, DWORD effect, CPoint point);
  virtual void OnDragLeave(CWnd* window);

  virtual void AddDroppedPath(CWnd* window, const CString& path, FileList& list);
  virtual void DrawDropFeedback(CWnd* window, CPoint point, bool show);
  virtual bool OpenDroppedFile(CWnd* window, CPoint point, const CString& path);
  virtual void EndDragTracking(CWnd* window);
  virtual bool BeginDrop(CWnd* window, FileList& list);
  virtual bool OpenFile(CWnd* window, CPoint point, const CString& path) = 0;
  virtual bool OpenFiles(CWnd* window, CPoint point, FileList& list);
  virtual bool IsAcceptableFile(CWnd* window, const CString& path) = 0;
  virtual void ReadDroppedFiles(CWnd* window, DropHandle drop, FileList* list, bool* accepted);

  // Raised while a drop of more than one file is being opened.
  static bool IsDroppingSeveralFiles();

  bool m_bDragActive = false;
  bool m_bAccepted = false;
  FileList m_files;
  DWORD m_nCancelCookie = 0;
  bool m_bCancelled = false;

 protected:
  CWnd* m_pWnd = nullptr;
  void* m_pBridge = nullptr;  // the Qt event filter of the registered window
  static bool s_droppingSeveral;
};
