#pragma once
// Where the presented picture goes: a window (SDL2 + OpenGL), nowhere
// (headless, EGL surfaceless), or a web page's canvas (WebGL2). Each gives
// the display control a current OpenGL 3.3 core (or WebGL2) context; the
// picture itself is made by the same GL code. The recording back end has
// no GL at all: its frames are kept as lists, not drawn.
#include <memory>
#include <string>

#include "platform/common/picture.h"
#include "platform/render/frame_list.h"
#include "platform/render/presenter.h"

namespace quarvel::display {

class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;

  // Creates the window or context and makes its GL context current.
  // Throws DisplayError naming what failed.
  virtual void open(bool full_screen) = 0;
  virtual void close() = 0;
  virtual bool is_open() const = 0;
  virtual void make_current() = 0;

  // Shows the presented picture: in a window, scaled with black bars and
  // swapped after the vertical blank; headless, nothing more to do.
  virtual void show(render::Presenter& presenter) = 0;

  virtual bool headless() const = 0;

  // What executes the display's frame lists, once open, with the back
  // surface starting as `back`: the GL back surface, scene renderer and
  // presenter, unless the back end has none. Throws std::runtime_error
  // naming what failed.
  virtual std::unique_ptr<render::FrameBackEnd> make_frames(int width, int height, const Picture& back);
  // Whether the picture can be seen: false while the window is hidden or
  // minimised, when the window program stops ticking and waits for events.
  virtual bool shown() const { return true; }
  // Whether the display itself is gone (the Wayland compositor closed the
  // connection): then the program ends (display_went_away) rather than
  // closing the show as after a request to quit.
  virtual bool lost() const { return false; }
  // How many times the back surface's size the smooth look draws the 3D:
  // the whole multiple the picture is shown at on the screen (twice, as on
  // a 1080p screen, where there is no screen).
  virtual int smooth_scale() const { return 2; }

  // Window pixel (x, y) to back-surface coordinates (640 x 480); false when
  // the point is on a black bar.
  virtual bool to_surface(int x, int y, int* sx, int* sy) const {
    *sx = x;
    *sy = y;
    return true;
  }
};

// Drawable pixel (px, py), row 0 at the top, of a w x h drawable showing the
// picture in its letterbox, to back-surface coordinates (640 x 480); false
// when the point is on a black bar.
inline bool letterbox_to_surface(long px, long py, int w, int h, int* sx, int* sy) {
  const render::Rect r = render::letterbox(w, h);
  const long top = h - (r.y + r.h);  // the letterbox is in GL coordinates
  if (r.w <= 0 || px < r.x || px >= r.x + r.w || py < top || py >= top + r.h) return false;
  *sx = static_cast<int>((px - r.x) * 640 / r.w);
  *sy = static_cast<int>((py - top) * 480 / r.h);
  return true;
}

// The headless back end: no window, no X server, no environment needed.
std::unique_ptr<DisplayBackend> make_headless_backend();

// How the window back end opens its window.
struct WindowSettings {
  int display = 0;  // the screen (SDL's display index; the first when there is no such screen)
  bool vsync = true;  // swap after the vertical blank
  int width = 0;    // the window's first size; 0: twice the picture's where the screen allows it
  int height = 0;
};

// The window back end: a borderless desktop-sized window in full screen, or
// a resizable window, titled `title`.
std::unique_ptr<DisplayBackend> make_window_backend(const std::string& title, const WindowSettings& settings = {});

// The recording back end: no window, no GL context; frame lists are kept
// (render::RecordingFrames), not drawn. For tests that look at the show's
// state rather than its pixels.
std::unique_ptr<DisplayBackend> make_recording_backend();

// The page's back end (web build only): a WebGL2 context on the canvas
// found by the CSS selector `canvas` ("#screen").
std::unique_ptr<DisplayBackend> make_web_backend(const std::string& canvas);

}  // namespace quarvel::display
