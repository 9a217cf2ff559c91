// CAdjustWindows keeps child windows anchored, centred or stretched when their parent changes size.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "LXSyncRect.h"
#include "Wnd.h"

class CAdjustWindows {
 public:
  enum : uint16_t {
    kCentreH = 0x1,
    kCentreV = 0x2,
    kMoveRight = 0x10,
    kMoveDown = 0x20,
    kStretchWidth = 0x100,
    kStretchHeight = 0x200,
  };
  // May change the computed rectangle (parent client coordinates) before the window is moved.
  using Callback = std::function<void(HWND window, LXGraphics::CSyncRect& computed)>;

  struct Entry {
    HWND window = nullptr;
    uint16_t flags = 0;
    LXGraphics::CSyncRect reference;  // the parent's client rectangle at Init
    LXGraphics::CSyncRect last;       // ... at the last Adjust
    LXGraphics::CSyncRect initial;    // the window's rectangle at Init, in the parent's client coordinates
    LXGraphics::CSyncRect computed;
    Callback callback;
  };

  // The parent whose client area is the reference (null: each window's own parent).
  explicit CAdjustWindows(CWnd* parent = nullptr) : m_pParent(parent) {}
  virtual ~CAdjustWindows() = default;

  // A new window is appended with its parent's and its own rectangle; a registered one gets the
  // flags OR-ed into its entry.
  void Add(HWND window, uint16_t flags, Callback callback = {});
  void Add(CWnd* window, uint16_t flags, Callback callback = {}) { Add(window ? window->m_hWnd : nullptr, flags, std::move(callback)); }
  // Once the parent is laid out: the reference becomes `reference` (normalised) and every
  // window's present rectangle its starting place. Enables adjusting.
  void Init(const RECT& reference);
  // Moves every window by the parent's growth since Init, in one deferred positioning.
  void Adjust();
  const std::vector<Entry>& Entries() const { return m_entries; }

  CWnd* m_pParent;
  std::vector<Entry> m_entries;
  int m_count = 0;
  bool m_bEnabled = false;

 private:
  HWND ParentOf(HWND window) const;
};
