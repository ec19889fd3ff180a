#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/display/backend.h"
#include "platform/display/display_error.h"
#include "platform/display/display_lost.h"

namespace quarvel::display {
namespace {

// A function of a library SDL has already loaded for its video driver (SDL
// loads Xlib and the Wayland client library itself, at run time); null when
// that library is not loaded.
void* loaded_function(const char* library, const char* name) {
  void* lib = dlopen(library, RTLD_LAZY | RTLD_NOLOAD);
  if (!lib) return nullptr;
  void* f = dlsym(lib, name);
  dlclose(lib);  // the library stays: SDL holds it
  return f;
}

// Xlib ends the process on its own when the connection to the X server
// breaks, after several lines of its own; with this handler the program says
// one line instead and ends at once (display_went_away).
void watch_x_connection() {
  using IoErrorHandler = int (*)(void* display);
  using SetIoErrorHandler = IoErrorHandler (*)(IoErrorHandler);
  if (auto set = reinterpret_cast<SetIoErrorHandler>(loaded_function("libX11.so.6", "XSetIOErrorHandler"))) {
    set([](void*) -> int { display_went_away(); });
  }
}

class WindowBackend : public DisplayBackend {
 public:
  WindowBackend(std::string title, WindowSettings settings) : title_(std::move(title)), settings_(settings) {}
  ~WindowBackend() override { close(); }

  void open(bool full_screen) override {
    close();
    const bool driver_chosen = std::getenv("SDL_VIDEODRIVER") != nullptr;
    if (!driver_chosen && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
      throw DisplayError(
          "cannot open the display: no X server or Wayland compositor (DISPLAY and WAYLAND_DISPLAY "
          "are not set); quarvel-capture runs the show headless");
    }
    if (!driver_chosen) {
      // Only the systems that are there: probing others prints their errors.
      SDL_SetHint(SDL_HINT_VIDEODRIVER, std::getenv("WAYLAND_DISPLAY")
                                            ? (std::getenv("DISPLAY") ? "wayland,x11" : "wayland")
                                            : "x11");
    }
    if (!(SDL_WasInit(SDL_INIT_VIDEO) & SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
      const char* name = std::getenv("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : std::getenv("DISPLAY");
      throw DisplayError(std::string("cannot open the display") + (name ? std::string(" ") + name : "") + ": " +
                         SDL_GetError());
    }
    const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
    if (!driver_chosen && (driver == "offscreen" || driver == "dummy")) {
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
      throw DisplayError("cannot open the display: no X server or Wayland compositor answered");
    }
    if (driver == "x11") watch_x_connection();
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI;
    int w = 640, h = 480;
    // The screen asked for, when there is one; else the first.
    const int screen = settings_.display < SDL_GetNumVideoDisplays() ? settings_.display : 0;
    if (full_screen) {
      flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
      // The desktop's size from the start, so the window covers the screen
      // even where no window manager resizes it.
      SDL_DisplayMode desktop;
      if (SDL_GetDesktopDisplayMode(screen, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
        w = desktop.w;
        h = desktop.h;
      }
    } else {
      flags |= SDL_WINDOW_RESIZABLE;
      // Where the window was when it was last left; else twice the
      // picture's size where the screen allows it.
      SDL_Rect usable;
      if (saved_.w > 0) {
        w = saved_.w;
        h = saved_.h;
      } else if (settings_.width > 0) {
        w = settings_.width;
        h = settings_.height;
      } else if (SDL_GetDisplayUsableBounds(screen, &usable) == 0 && usable.w >= 1280 + 64 && usable.h >= 960 + 64) {
        w = 1280;
        h = 960;
      }
    }
    const bool placed = !full_screen && saved_.w > 0;
    SDL_Rect bounds{0, 0, 0, 0};
    SDL_GetDisplayBounds(screen, &bounds);
    const int centred = static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(screen));
    const int x = full_screen ? bounds.x : placed ? saved_.x : centred;
    const int y = full_screen ? bounds.y : placed ? saved_.y : centred;
    window_ = SDL_CreateWindow(title_.c_str(), x, y, w, h, flags);
    if (!window_) throw DisplayError(std::string("cannot create the window: ") + SDL_GetError());
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) {
      std::string msg = std::string("cannot create an OpenGL 3.3 core context: ") + SDL_GetError();
      close();
      throw DisplayError(msg);
    }
    SDL_GL_MakeCurrent(window_, context_);
    SDL_GL_SetSwapInterval(settings_.vsync ? 1 : 0);  // present after the vertical blank, or at once
    SDL_ShowCursor(full_screen ? SDL_DISABLE : SDL_ENABLE);
    full_screen_ = full_screen;
    watch_wayland_connection();
  }

  void close() override {
    if (window_ && !full_screen_) {
      SDL_GetWindowPosition(window_, &saved_.x, &saved_.y);
      SDL_GetWindowSize(window_, &saved_.w, &saved_.h);
    }
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    context_ = nullptr;
    window_ = nullptr;
  }

  bool is_open() const override { return window_ != nullptr; }

  void make_current() override {
    if (window_) SDL_GL_MakeCurrent(window_, context_);
  }

  void show(render::Presenter& presenter) override {
    if (!window_) return;
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    presenter.blit_to(0, w, h);
    SDL_GL_SwapWindow(window_);
  }

  bool headless() const override { return false; }

  bool shown() const override {
    return window_ && !(SDL_GetWindowFlags(window_) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED));
  }

  bool lost() const override { return wayland_ && wayland_error_ && wayland_error_(wayland_) != 0; }

  int smooth_scale() const override {
    int w = 0, h = 0;
    if (window_) SDL_GL_GetDrawableSize(window_, &w, &h);
    const render::Rect r = render::letterbox(w, h);
    return std::clamp(r.w / 640, 1, 4);
  }

  bool to_surface(int x, int y, int* sx, int* sy) const override {
    if (!window_) return false;
    int w = 0, h = 0, dw = 0, dh = 0;
    SDL_GetWindowSize(window_, &w, &h);
    SDL_GL_GetDrawableSize(window_, &dw, &dh);
    if (w <= 0 || h <= 0) return false;
    // Window points to drawable pixels (they differ on high-density screens).
    return letterbox_to_surface(static_cast<long>(x) * dw / w, static_cast<long>(y) * dh / h, dw, dh, sx, sy);
  }

 private:
  // On Wayland, the connection whose error lost() reads: a compositor that
  // went away leaves its error set (SDL itself only stops pumping events).
  void watch_wayland_connection() {
    wayland_ = nullptr;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window_, &info) || info.subsystem != SDL_SYSWM_WAYLAND) return;
    wayland_error_ = reinterpret_cast<int (*)(void*)>(loaded_function("libwayland-client.so.0", "wl_display_get_error"));
    wayland_ = info.info.wl.display;
  }

  std::string title_;
  WindowSettings settings_;
  SDL_Window* window_ = nullptr;
  SDL_GLContext context_ = nullptr;
  bool full_screen_ = true;
  SDL_Rect saved_{0, 0, 0, 0};  // the window's place when it was last closed
  void* wayland_ = nullptr;      // the Wayland display, when the window is on one
  int (*wayland_error_)(void*) = nullptr;
};

}  // namespace

std::unique_ptr<DisplayBackend> make_window_backend(const std::string& title, const WindowSettings& settings) {
  return std::make_unique<WindowBackend>(title, settings);
}

}  // namespace quarvel::display
