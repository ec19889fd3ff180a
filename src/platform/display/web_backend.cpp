// The page's back end: a WebGL2 context on the page's canvas. The canvas
// covers the page; its drawing buffer follows its size on screen in device
// pixels, and the picture goes in by whole multiples with black bars, as in
// the desktop's window.
#include <emscripten/html5.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/display/backend.h"
#include "platform/display/display_error.h"

namespace quarvel::display {
namespace {

class WebBackend : public DisplayBackend {
 public:
  explicit WebBackend(std::string canvas) : canvas_(std::move(canvas)) {}
  ~WebBackend() override { close(); }

  void open(bool /*full_screen: the page asks the browser for it*/) override {
    close();
    EmscriptenWebGLContextAttributes attrs;
    emscripten_webgl_init_context_attributes(&attrs);
    attrs.majorVersion = 2;
    attrs.minorVersion = 0;
    attrs.alpha = false;
    attrs.depth = false;
    attrs.stencil = false;
    attrs.antialias = false;  // a multisampled canvas would refuse the present's blit
    attrs.preserveDrawingBuffer = false;
    attrs.powerPreference = EM_WEBGL_POWER_PREFERENCE_HIGH_PERFORMANCE;
    context_ = emscripten_webgl_create_context(canvas_.c_str(), &attrs);
    if (context_ <= 0) throw DisplayError("cannot create a WebGL2 context on the page's canvas " + canvas_);
    emscripten_webgl_make_context_current(context_);
    // The smooth look's anisotropic textures, where the browser has them.
    emscripten_webgl_enable_extension(context_, "EXT_texture_filter_anisotropic");
  }

  void close() override {
    if (context_ > 0) emscripten_webgl_destroy_context(context_);
    context_ = 0;
  }

  bool is_open() const override { return context_ > 0; }

  void make_current() override {
    if (context_ > 0) emscripten_webgl_make_context_current(context_);
  }

  void show(render::Presenter& presenter) override {
    if (context_ <= 0) return;
    int w = 0, h = 0;
    drawing_size(&w, &h);
    presenter.blit_to(0, w, h);  // the browser shows it when the frame's script returns
  }

  bool headless() const override { return false; }

  int smooth_scale() const override {
    // The size the drawing buffer takes at the next present.
    double cw = 0, ch = 0;
    emscripten_get_element_css_size(canvas_.c_str(), &cw, &ch);
    const double ratio = emscripten_get_device_pixel_ratio();
    const render::Rect r = render::letterbox(static_cast<int>(cw * ratio + 0.5), static_cast<int>(ch * ratio + 0.5));
    return std::clamp(r.w / 640, 1, 4);
  }

  bool to_surface(int x, int y, int* sx, int* sy) const override {
    double cw = 0, ch = 0;
    int dw = 0, dh = 0;
    if (emscripten_get_element_css_size(canvas_.c_str(), &cw, &ch) != EMSCRIPTEN_RESULT_SUCCESS) return false;
    emscripten_get_canvas_element_size(canvas_.c_str(), &dw, &dh);
    if (cw <= 0 || ch <= 0) return false;
    // Page points to drawing-buffer pixels.
    return letterbox_to_surface(static_cast<long>(x * dw / cw), static_cast<long>(y * dh / ch), dw, dh, sx, sy);
  }

 private:
  // Makes the drawing buffer as large as the canvas is on screen, in device
  // pixels, and gives its size.
  void drawing_size(int* w, int* h) const {
    double cw = 0, ch = 0;
    emscripten_get_element_css_size(canvas_.c_str(), &cw, &ch);
    const double ratio = emscripten_get_device_pixel_ratio();
    const int want_w = static_cast<int>(cw * ratio + 0.5), want_h = static_cast<int>(ch * ratio + 0.5);
    emscripten_get_canvas_element_size(canvas_.c_str(), w, h);
    if (want_w > 0 && want_h > 0 && (want_w != *w || want_h != *h)) {
      emscripten_set_canvas_element_size(canvas_.c_str(), want_w, want_h);
      *w = want_w;
      *h = want_h;
    }
  }

  std::string canvas_;
  EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context_ = 0;
};

}  // namespace

std::unique_ptr<DisplayBackend> make_web_backend(const std::string& canvas) {
  return std::make_unique<WebBackend>(canvas);
}

}  // namespace quarvel::display
