// The pointer's cursor as the X server shows it, for the real-input tests: "qlwcursorimage" prints
// its image as WIDTH HEIGHT XHOT YHOT HASH; "qlwcursorimage glyph N" prints the same for glyph N of
// the X cursor font (black on white with mask N + 1, as the program makes its wait cursor), shown
// for a moment over the whole screen in a window that the window manager leaves alone.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <xcb/xcb.h>

#include <poll.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {
bool PrintCursor(Display* display) {
  XFixesCursorImage* image = XFixesGetCursorImage(display);
  if (image == nullptr) return false;
  // FNV-1a over the ARGB pixels, which Xlib hands over one to a long.
  uint64_t hash = 1469598103934665603ull;
  for (int i = 0; i < image->width * image->height; ++i) {
    const auto pixel = static_cast<uint32_t>(image->pixels[i]);
    for (int shift = 0; shift < 32; shift += 8) hash = (hash ^ ((pixel >> shift) & 0xFF)) * 1099511628211ull;
  }
  std::printf("%d %d %d %d %016llx\n", image->width, image->height, image->xhot, image->yhot,
              static_cast<unsigned long long>(hash));
  XFree(image);
  return true;
}

// Waits for the server to say that the cursor shown has changed, ten seconds at most.
bool AwaitCursorChange(Display* display, int base) {
  for (int waited = 0; waited < 100;) {
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == base + XFixesCursorNotify) return true;
    }
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    if (poll(&fd, 1, 100) == 0) ++waited;
  }
  return false;
}

// Made over a connection of its own with the protocol's requests: Xlib's call would let the
// cursor theme put its own picture in the glyph's place, as no program that asks the protocol sees.
int ShowGlyph(Display* display, unsigned glyph) {
  int base = 0, error = 0;
  if (!XFixesQueryExtension(display, &base, &error)) return 2;
  XFixesSelectCursorInput(display, DefaultRootWindow(display), XFixesDisplayCursorNotifyMask);
  XSync(display, False);
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection)) return 2;
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  const xcb_font_t font = xcb_generate_id(connection);
  xcb_open_font(connection, font, 6, "cursor");
  const xcb_cursor_t cursor = xcb_generate_id(connection);
  xcb_create_glyph_cursor(connection, cursor, font, font, static_cast<uint16_t>(glyph), static_cast<uint16_t>(glyph + 1),
                          0, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF);
  const xcb_window_t cover = xcb_generate_id(connection);
  const uint32_t values[] = {1, cursor};
  xcb_create_window(connection, 0, cover, screen->root, 0, 0, screen->width_in_pixels, screen->height_in_pixels, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_CURSOR, values);
  xcb_map_window(connection, cover);
  const uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(connection, cover, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  const bool printed = AwaitCursorChange(display, base) && PrintCursor(display);
  xcb_destroy_window(connection, cover);
  xcb_free_cursor(connection, cursor);
  xcb_close_font(connection, font);
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
  xcb_disconnect(connection);
  return printed ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "qlwcursorimage: cannot open the display\n");
    return 2;
  }
  int result = 1;
  if (argc == 3 && std::string(argv[1]) == "glyph") result = ShowGlyph(display, static_cast<unsigned>(std::atoi(argv[2])));
  else if (argc == 1) result = PrintCursor(display) ? 0 : 1;
  else std::fprintf(stderr, "usage: qlwcursorimage [glyph N]\n");
  XCloseDisplay(display);
  return result;
}
