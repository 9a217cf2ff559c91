// CLXPalette: the floating tool window of the main window. It follows the program's activation,
// snaps to the edges the main window names, keeps its state in the preferences and shares a record
// of it with the palettes of the other running instances. The help viewer is in LXHelpViewer.h.
#pragma once
#include <climits>
#include <cstdint>

#include "LXDialog.h"
#include "LXException.h"
#include "LXPreferences.h"
#include "LXSyncRect.h"
#include "Uuid.h"

#define WM_FLOATSTATUS 0x036D
#define FS_SHOW 0x01
#define FS_HIDE 0x02
#define FS_ACTIVATE 0x04
#define FS_DEACTIVATE 0x08
#define FS_ENABLE 0x10
#define FS_DISABLE 0x20
#define FS_SYNCACTIVE 0x40
#ifndef MFS_SYNCACTIVE
#define MFS_SYNCACTIVE 0x00000100u
#endif

class CLXPalette;

LX_DECLARE_EXCEPTION(CLXXNoDialog, CLXXMain, 20793);

// The lParam of "GetAnchorEdges": the main window fills the four deltas, the distance by which each
// edge of the proposed rectangle would move to meet an anchor edge; INT_MAX where there is none.
struct CLXAnchorEdges {
  CLXPalette* palette = nullptr;
  LXGraphics::CSyncRect rect;
  int left = INT_MAX;
  int top = INT_MAX;
  int right = INT_MAX;
  int bottom = INT_MAX;
};

// The shared mapping holds this header, then the palette's own record (which opens with the
// 16-byte UUID of its kind). A reader checks the size before it reads a byte of the record, as
// one mapping name serves records of different sizes.
struct CLXPaletteSyncHeader {
  uint32_t recordSize = 0;
  uint32_t reserved = 0;
};

class CLXPalette : public CLXDialog, public CLXPreferences::CStateWriter {
  DECLARE_DYNAMIC(CLXPalette)
 public:
  CLXPalette();
  // A palette on that template, owned by the application's main window.
  explicit CLXPalette(UINT templateId);
  ~CLXPalette() override;

  BOOL PreTranslateMessage(MSG* msg) override;
  void PostNcDestroy() override;
  // Creates the hidden tool window owned by the main window; the created flag keeps the result.
  BOOL Create(UINT templateId, CWnd* parent = nullptr) override;
  // Palettes are never modal.
  INT_PTR DoModal() override { return 3; }
  BOOL OnInitDialog() override;
  void OnOK() override;
  // Escape never closes a palette.
  void OnCancel() override {}
  LRESULT SetModified(bool modified, bool force) override;

  // Creates the window when needed, places it (an empty rect centres it on the main window) and
  // shows it (showMode 1), hides it (2) or leaves its visibility alone; then saves and shares its
  // state. Throws CLXXNoDialog when the window cannot be made; any failure leaves no window.
  CLXPalette* CreatePalette(const RECT* rect, int showMode);

  virtual void SaveState() = 0;
  virtual bool HasFixedSize() { return false; }
  virtual void UpdateVisibility(bool active);
  virtual void ReadSyncState(const void* view);
  virtual bool IsSyncKeyDown();
  virtual void FillSyncState(void* view);
  virtual size_t GetSyncStateSize();
  virtual void WriteSyncState();
  virtual bool CanSync() { return true; }

  bool WriteStateToPreferences() override;

  // Snap distance s (half the sizing frame); a palette tears loose from an edge at 3 × s.
  static int SnapDistance();
  // The four deltas from rect to the nearest edges of the anchors (INT_MAX where none): screen
  // areas count always, window rectangles only where they face the edge across.
  static void ComputeAnchorDeltas(const RECT& rect, const RECT* areas, size_t areaCount, const RECT* windows,
                                  size_t windowCount, CLXAnchorEdges& edges);
  // One step of edge snapping. proposed becomes the rectangle to take; current is the window's
  // rectangle before the step, drag the cursor's distance from the drag anchor. True when an edge
  // snapped.
  static bool SnapRect(RECT& proposed, const RECT& current, const CLXAnchorEdges& edges, POINT drag, bool sizing);
  // A move or size of the window that has ended (the window manager's, which tells no steps):
  // snaps the final rectangle and shares the state. before is the rectangle before it.
  void FinishUserMove(const RECT& before, const RECT& after, bool sizing);

  bool m_shown = false;
  bool m_activeLook = true;
  bool m_syncGuard = false;
  LXGraphics::CSyncPoint m_dragAnchor;
  bool m_syncEnabled = false;
  UUID m_identity{};
  CString m_text;

  // The name of the shared mapping; the mutex adds the instance's scope to it.
  static CString SyncMappingName();

 protected:
  // Asks the main window for the anchor deltas of the rectangle; false when nobody answered.
  bool AskAnchorEdges(const RECT& rect, CLXAnchorEdges& edges);
  void SendFloatStatus(WPARAM flags) { SendMessage(WM_FLOATSTATUS, flags, 0); }

  LRESULT OnEnterSizeMove(WPARAM, LPARAM);
  LRESULT OnExitSizeMove(WPARAM, LPARAM);
  LRESULT OnMoving(WPARAM, LPARAM rect);
  LRESULT OnSizing(WPARAM edge, LPARAM rect);
  void OnClose();
  LRESULT OnFloatStatus(WPARAM flags, LPARAM);
  BOOL OnNcActivate(BOOL active);
  LRESULT OnIdleMsg(WPARAM, LPARAM);
  LRESULT OnMainFrameActivate(WPARAM, LPARAM lParam);
  LRESULT OnPaletteSync(WPARAM, LPARAM);
  LRESULT OnReadDocumentBegin(WPARAM, LPARAM lParam);
  LRESULT OnReadDocumentEnd(WPARAM, LPARAM);
  LRESULT OnResetPalette(WPARAM, LPARAM);
  DECLARE_MESSAGE_MAP()

 private:
  void Construct();
  // The stay-in-step style, and the caption as active as the owner's.
  void StartCaptionState();
  // Runs a snapping step of the current move or size on rect (window terms).
  void SnapStep(RECT& rect, bool sizing);
};

namespace LXPaletteQt {
// Watches the palette's window for moves and sizes made by the window manager and hands each one to
// FinishUserMove once it has ended.
void WatchUserMoves(CLXPalette* palette);
}  // namespace LXPaletteQt
