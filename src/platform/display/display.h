#pragma once
// The display control: a persistent 640 x 480 back surface with 2D drawing,
// a gamma ramp applied when presenting, the 3D render hook, and flip.
//
// The back surface lives across ticks: only fills, the 3D render (inside the
// viewport rectangle) and 2D drawing change it; flip presents it through the
// gamma ramp and leaves it as it is. While initialised it lives on the GPU
// and every drawing call is a GL draw into it; its pixels come back to the
// CPU only when read (read_surface, screenshot). Between finalise and the
// next initialise it is kept in memory.
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/common/picture.h"
#include "platform/display/backend.h"
#include "platform/display/image_list.h"
#include "platform/display/text_canvas.h"
#include "platform/render/back_surface.h"
#include "platform/render/gamma.h"
#include "platform/render/surface2d.h"
#include "platform/retained/root.h"

namespace quarvel::render {
class SceneRenderer;
}

namespace quarvel::display {

class DisplayControl {
 public:
  static constexpr int kWidth = 640;
  static constexpr int kHeight = 480;

  explicit DisplayControl(std::unique_ptr<DisplayBackend> backend);
  ~DisplayControl();
  DisplayControl(const DisplayControl&) = delete;
  DisplayControl& operator=(const DisplayControl&) = delete;

  // Full screen (else a resizable window) at the next initialise.
  bool full_screen = true;

  // Raised by initialise (in this order) and finalise.
  std::function<void()> on_initialize;
  std::function<void()> on_initialize_surface;
  std::function<void()> on_finalize;

  // The scene graph. The root and the scene frame live as long as the
  // control; each initialise makes a new device (OpenGL back end), a camera
  // frame (child of the scene frame, at the origin) and a viewport over the
  // whole back surface with its back clipping plane at 5000.
  rm::Root root;
  std::shared_ptr<rm::Frame> scene;
  std::shared_ptr<rm::Frame> camera;
  std::shared_ptr<rm::Device> device;
  std::shared_ptr<rm::Viewport> viewport;

  // Finalises first when already initialised; then opens the back end,
  // sets up the scene graph, raises on_initialize and
  // on_initialize_surface. On failure everything created so far is
  // released and DisplayError is thrown.
  void initialize();
  // Raises on_finalize and releases the back end. Does nothing when not
  // initialised.
  void finalize();
  bool initialized() const { return initialized_; }

  // Back-surface drawing. Colours are raw device colours (RGB565 in the low
  // 16 bits).
  // A copy of the back surface (read back from the GPU when initialised).
  Picture read_surface() const;
  Picture surface() const { return read_surface(); }
  void fill_rect(int left, int top, int width, int height, uint32_t raw);
  void fill(uint32_t raw);
  // Image-list pictures; an index outside the list draws nothing.
  void draw(int index, int x, int y);
  void draw_alpha(render::Rect r, int index, int opacity);
  ImageList* image_list = nullptr;
  TextCanvas& canvas() { return canvas_; }
  void text_out(int x, int y, std::string_view latin1);

  // The gamma ramp applied to every presented picture; identity at start.
  void get_gamma(render::GammaRamp& ramp) const { ramp = gamma_; }
  void set_gamma(const render::GammaRamp& ramp) { gamma_ = ramp; }

  // The two 256-entry colour tables (kept for 8-bit displays; no effect on
  // ours).
  void set_colour_tables(const std::array<uint32_t, 256>& table) { colour_table_ = table; }

  // Draws the scene into the viewport rectangle: viewport clear, render of
  // the scene frame, device update. Only when initialised.
  void render();
  // Processor time of the whole process (llvmpipe's threads included) spent
  // in render() so far. With finish_render on, render() waits for the GPU work
  // it queued, so that time holds the 3D raster too (timing runs only: it
  // takes away the overlap of that work with the rest of the tick).
  double render_cpu_seconds() const { return render_cpu_; }
  void set_finish_render(bool on) { finish_render_ = on; }
  // Presents the back surface through the gamma ramp: only when initialised.
  void flip();
  // The next flip presents the back surface shifted right by dx and down by
  // dy pixels, the uncovered area black; the back surface itself does not
  // move, and later flips present it unshifted.
  void scroll_next_present(int dx, int dy) {
    scroll_dx_ = dx;
    scroll_dy_ = dy;
  }
  int flips() const { return flips_; }

  // Seeking: with rendering off, render() draws nothing; with presenting
  // off, flip() presents nothing but still counts. Everything else (scene
  // graph, back-surface drawing, gamma, counters) goes on as usual, so a
  // run with them off for a while reaches the same state. Both on at start.
  void set_render_enabled(bool on) { render_enabled_ = on; }
  void set_present_enabled(bool on) { present_enabled_ = on; }
  bool render_enabled() const { return render_enabled_; }
  bool present_enabled() const { return present_enabled_; }

  // The last presented picture (after the gamma ramp), row 0 at the top;
  // empty before the first flip.
  Picture screenshot() const;

  // Screenshots read late, so that reading does not wait for the frame to
  // be drawn. queue_screenshot (after a flip) starts reading what
  // screenshot() gives now. take_screenshot hands the queued pictures back
  // oldest first, each once: with `wait` false only one already read (else
  // false and nothing taken), with `wait` true the oldest, waiting for it
  // (false only when none is queued). Queued pictures outlive finalise.
  // Reading changes nothing that is shown, so these are const like
  // screenshot().
  void queue_screenshot() const;
  bool take_screenshot(Picture& out, bool wait) const;
  int pending_screenshots() const;

  DisplayBackend& backend() { return *backend_; }

 private:
  // The image-list item at `index` (nullptr when none), the GL context made
  // current when drawing on the GPU.
  const ImageItem* image(int index);
  // Moves the presenter's oldest read into read_, waiting for it.
  void finish_oldest_read() const;

  std::unique_ptr<DisplayBackend> backend_;
  std::unique_ptr<render::Presenter> presenter_;
  std::shared_ptr<render::SceneRenderer> renderer_;
  std::unique_ptr<render::BackSurface> gpu_;  // the back surface while initialised
  Picture back_{kWidth, kHeight};              // ... and while not
  int scroll_dx_ = 0, scroll_dy_ = 0;
  // Queued screenshots already read, older than those the presenter still
  // reads.
  mutable std::deque<Picture> read_;
  TextCanvas canvas_;
  render::GammaRamp gamma_ = render::GammaRamp::identity();
  std::array<uint32_t, 256> colour_table_{};
  bool initialized_ = false;
  int flips_ = 0;
  bool render_enabled_ = true;
  bool finish_render_ = false;
  double render_cpu_ = 0;
  bool present_enabled_ = true;
};

}  // namespace quarvel::display
