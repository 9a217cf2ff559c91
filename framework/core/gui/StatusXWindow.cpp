// The progress window and the wait cursor over a display connection of their own. Qt's widgets
// can only be shown and painted by the user-interface thread; while that thread reads a large file
// nothing of theirs reaches the screen. The X server takes requests from any connection, so the
// threads that decide show what they decided themselves: the status manager an override-redirect
// window whose background pixmap holds the picture (the server repaints it on exposure without
// asking anybody), the watchdog the wait cursor on the program's active window.
#include "StatusXWindow.h"

#include "ShownWindows.h"
#include "StatusPicture.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {
constexpr const char* kWindowClass = "Quillonographic-CLXStatusWnd";
constexpr uint16_t kWatchGlyph = 150;  // "watch" in the X cursor font

struct XSide {
  std::mutex lock;
  xcb_connection_t* connection = nullptr;
  xcb_screen_t* screen = nullptr;
  xcb_window_t window = 0;
  xcb_pixmap_t pixmap = 0;
  xcb_gcontext_t gc = 0;
  xcb_cursor_t watch = 0;
  std::vector<xcb_window_t> cursorOn;  // the windows that show our wait cursor
  QSize pixels;
  StatusPictureStyle style;
};

XSide g_x;
// How long a window manager may take to remove the frame of a window that was closed.
constexpr auto kFrameGoneWait = std::chrono::milliseconds(1000);

// Rounds the quotient down also for a negative numerator (a window larger than the area).
int FloorHalf(int value) { return value >= 0 ? value / 2 : -((-value + 1) / 2); }

// The area to centre on, in root coordinates: the owner's client area, else the whole screen.
QRect CentringArea(XSide& x) {
  const QRect screen(0, 0, x.screen->width_in_pixels, x.screen->height_in_pixels);
  const std::vector<uint32_t> shown = ShownWindowIds();
  if (shown.empty()) return screen;
  const xcb_window_t owner = shown.front();
  xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(x.connection, xcb_get_geometry(x.connection, owner), nullptr);
  xcb_translate_coordinates_reply_t* origin = xcb_translate_coordinates_reply(
      x.connection, xcb_translate_coordinates(x.connection, owner, x.screen->root, 0, 0), nullptr);
  QRect area = screen;
  if (geometry != nullptr && origin != nullptr)
    area = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
  std::free(geometry);
  std::free(origin);
  return area;
}

void SetStringProperty(XSide& x, xcb_atom_t property, const std::string& value) {
  xcb_change_property(x.connection, XCB_PROP_MODE_REPLACE, x.window, property, XCB_ATOM_STRING, 8,
                      static_cast<uint32_t>(value.size()), value.data());
}

xcb_atom_t Atom(XSide& x, const char* name) {
  xcb_intern_atom_reply_t* reply =
      xcb_intern_atom_reply(x.connection, xcb_intern_atom(x.connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : XCB_ATOM_NONE;
  std::free(reply);
  return atom;
}

// Nothing here asks for events; errors (a window that went meanwhile) would pile up unread.
void DropEvents(XSide& x) {
  while (xcb_generic_event_t* event = xcb_poll_for_event(x.connection)) std::free(event);
}

void DestroyWindowLocked(XSide& x) {
  if (x.window != 0) xcb_destroy_window(x.connection, x.window);
  if (x.pixmap != 0) xcb_free_pixmap(x.connection, x.pixmap);
  if (x.gc != 0) xcb_free_gc(x.connection, x.gc);
  x.window = x.pixmap = x.gc = 0;
  xcb_flush(x.connection);
}

// Copies the picture into the pixmap in strips that fit the server's request size.
void PutPicture(XSide& x, const QImage& picture) {
  const uint32_t stride = static_cast<uint32_t>(picture.bytesPerLine());
  const uint32_t maxBytes = xcb_get_maximum_request_length(x.connection) * 4u - 64u;
  const int rowsPerStrip = std::max(1, static_cast<int>(maxBytes / stride));
  for (int top = 0; top < picture.height(); top += rowsPerStrip) {
    const int rows = std::min(rowsPerStrip, picture.height() - top);
    xcb_put_image(x.connection, XCB_IMAGE_FORMAT_Z_PIXMAP, x.pixmap, x.gc, static_cast<uint16_t>(picture.width()),
                  static_cast<uint16_t>(rows), 0, static_cast<int16_t>(top), 0, x.screen->root_depth, rows * stride,
                  picture.constScanLine(top));
  }
}

void CreateWindowLocked(XSide& x) {
  const QRect area = CentringArea(x);
  const int left = area.left() + FloorHalf(area.width() - x.pixels.width());
  const int top = area.top() + FloorHalf(area.height() - x.pixels.height());
  x.pixmap = xcb_generate_id(x.connection);
  xcb_create_pixmap(x.connection, x.screen->root_depth, x.pixmap, x.screen->root, static_cast<uint16_t>(x.pixels.width()),
                    static_cast<uint16_t>(x.pixels.height()));
  x.gc = xcb_generate_id(x.connection);
  xcb_create_gc(x.connection, x.gc, x.pixmap, 0, nullptr);
  x.window = xcb_generate_id(x.connection);
  // Left alone by the window manager: no title, no frame, no focus, where it is put.
  const uint32_t values[] = {x.pixmap, 1};
  xcb_create_window(x.connection, XCB_COPY_FROM_PARENT, x.window, x.screen->root, static_cast<int16_t>(left),
                    static_cast<int16_t>(top), static_cast<uint16_t>(x.pixels.width()),
                    static_cast<uint16_t>(x.pixels.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, x.screen->root_visual,
                    XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, values);
  SetStringProperty(x, XCB_ATOM_WM_CLASS, std::string(kWindowClass) + '\0' + kWindowClass + '\0');
  const xcb_atom_t type = Atom(x, "_NET_WM_WINDOW_TYPE"), utility = Atom(x, "_NET_WM_WINDOW_TYPE_UTILITY");
  if (type != XCB_ATOM_NONE && utility != XCB_ATOM_NONE)
    xcb_change_property(x.connection, XCB_PROP_MODE_REPLACE, x.window, type, XCB_ATOM_ATOM, 32, 1, &utility);
}

void Present(const CLXStatusWnd::State& state) {
  std::lock_guard<std::mutex> guard(g_x.lock);
  XSide& x = g_x;
  if (x.connection == nullptr) return;
  DropEvents(x);
  if (!state.exists || !state.visible) {
    DestroyWindowLocked(x);
    return;
  }
  const bool created = x.window == 0;
  if (created) CreateWindowLocked(x);
  PutPicture(x, DrawStatusPicture(state, x.style));
  if (created) xcb_map_window(x.connection, x.window);
  else xcb_clear_area(x.connection, 0, x.window, 0, 0, 0, 0);
  // Topmost: above whatever came up since.
  const uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(x.connection, x.window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  xcb_flush(x.connection);
}

// The image bytes of QImage::Format_RGB32 are what the server takes only for 32-bit pixels in
// little-endian order.
bool TakesRgb32(xcb_connection_t* connection, const xcb_screen_t* screen) {
  const xcb_setup_t* setup = xcb_get_setup(connection);
  if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST || screen->root_depth != 24) return false;
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem > 0; xcb_format_next(&it))
    if (it.data->depth == screen->root_depth) return it.data->bits_per_pixel == 32;
  return false;
}

// The window and every window inside it: a child window with a cursor of its own (the plot's
// cross) would show that one, not the one of the window around it.
void AddWithChildren(XSide& x, xcb_window_t window, std::vector<xcb_window_t>& out) {
  out.push_back(window);
  xcb_query_tree_reply_t* tree = xcb_query_tree_reply(x.connection, xcb_query_tree(x.connection, window), nullptr);
  if (tree == nullptr) return;
  const xcb_window_t* children = xcb_query_tree_children(tree);
  const int count = xcb_query_tree_children_length(tree);
  for (int i = 0; i < count; ++i) AddWithChildren(x, children[i], out);
  std::free(tree);
}

bool Viewable(XSide& x, xcb_window_t window) {
  xcb_get_window_attributes_reply_t* attributes =
      xcb_get_window_attributes_reply(x.connection, xcb_get_window_attributes(x.connection, window), nullptr);
  const bool viewable = attributes != nullptr && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
  std::free(attributes);
  return viewable;
}

// Off the screen: unmapped (or destroyed), and out of the frame a window manager put it in, or
// that frame is unmapped too.
bool OffScreen(XSide& x, xcb_window_t window) {
  if (Viewable(x, window)) return false;
  xcb_query_tree_reply_t* tree = xcb_query_tree_reply(x.connection, xcb_query_tree(x.connection, window), nullptr);
  if (tree == nullptr) return true;
  const xcb_window_t parent = tree->parent;
  std::free(tree);
  return parent == x.screen->root || !Viewable(x, parent);
}
}  // namespace

bool StartStatusXWindow() {
  StartShownWindows();
  if (IsStatusXWindowRunning()) return true;
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
  int screenNumber = 0;
  xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
  if (connection == nullptr || xcb_connection_has_error(connection)) {
    if (connection != nullptr) xcb_disconnect(connection);
    return false;
  }
  xcb_screen_t* screen = nullptr;
  auto it = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; it.rem > 0; ++i, xcb_screen_next(&it))
    if (i == screenNumber) screen = it.data;
  if (screen == nullptr || !TakesRgb32(connection, screen)) {
    xcb_disconnect(connection);
    return false;
  }
  {
    std::lock_guard<std::mutex> guard(g_x.lock);
    g_x.connection = connection;
    g_x.screen = screen;
    g_x.style.family = StatusFontFamily();
    g_x.style.ratio = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->devicePixelRatio() : 1.0;
    g_x.pixels = (QSizeF(StatusPictureSize()) * g_x.style.ratio).toSize();
  }
  CLXStatusWnd::SetPresenter(Present);
  return true;
}

void StopStatusXWindow() {
  CLXStatusWnd::SetPresenter(nullptr);
  StopShownWindows();
  std::lock_guard<std::mutex> guard(g_x.lock);
  XSide& x = g_x;
  if (x.connection == nullptr) return;
  DestroyWindowLocked(x);
  xcb_disconnect(x.connection);
  x.connection = nullptr;
  x.screen = nullptr;
  x.watch = 0;
  x.cursorOn.clear();
}

bool IsStatusXWindowRunning() {
  std::lock_guard<std::mutex> guard(g_x.lock);
  return g_x.connection != nullptr;
}

void SetStatusXWaitCursor(bool on) {
  std::lock_guard<std::mutex> guard(g_x.lock);
  XSide& x = g_x;
  if (x.connection == nullptr) return;
  DropEvents(x);
  if (on) {
    // Every shown window of the program: its thread answers none of them. The list leaves out a
    // dialog closed a moment ago, which the work that followed it has kept from being
    // deactivated.
    const std::vector<uint32_t> shown = ShownWindowIds();
    if (shown.empty()) return;
    if (x.watch == 0) {
      const xcb_font_t font = xcb_generate_id(x.connection);
      xcb_open_font(x.connection, font, 6, "cursor");
      x.watch = xcb_generate_id(x.connection);
      xcb_create_glyph_cursor(x.connection, x.watch, font, font, kWatchGlyph, kWatchGlyph + 1, 0, 0, 0, 0xFFFF, 0xFFFF,
                              0xFFFF);
      xcb_close_font(x.connection, font);
    }
    for (const uint32_t window : shown) AddWithChildren(x, window, x.cursorOn);
    for (const xcb_window_t window : x.cursorOn) xcb_change_window_attributes(x.connection, window, XCB_CW_CURSOR, &x.watch);
  } else {
    // The windows' own cursors come back when the user-interface thread sets them again.
    const uint32_t none = XCB_CURSOR_NONE;
    for (const xcb_window_t window : x.cursorOn) xcb_change_window_attributes(x.connection, window, XCB_CW_CURSOR, &none);
    x.cursorOn.clear();
  }
  xcb_flush(x.connection);
  DropEvents(x);
}

uint32_t StatusXFrameOf(uint32_t window) {
  std::lock_guard<std::mutex> guard(g_x.lock);
  XSide& x = g_x;
  if (x.connection == nullptr) return 0;
  // Up to the window just below the root.
  xcb_window_t top = window;
  for (int depth = 0; depth < 8; ++depth) {
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(x.connection, xcb_query_tree(x.connection, top), nullptr);
    if (tree == nullptr) break;
    const xcb_window_t parent = tree->parent;
    std::free(tree);
    if (parent == x.screen->root || parent == XCB_WINDOW_NONE) break;
    top = parent;
  }
  DropEvents(x);
  return top;
}

bool WaitUntilStatusXWindowsGone(const std::vector<uint32_t>& windows) {
  const auto end = std::chrono::steady_clock::now() + kFrameGoneWait;
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(g_x.lock);
      XSide& x = g_x;
      if (x.connection == nullptr) return false;
      const bool gone = std::all_of(windows.begin(), windows.end(), [&x](uint32_t w) { return OffScreen(x, w); });
      DropEvents(x);
      if (gone) return true;
    }
    if (std::chrono::steady_clock::now() >= end) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

unsigned int GetStatusXWindowId() {
  std::lock_guard<std::mutex> guard(g_x.lock);
  return g_x.window;
}
