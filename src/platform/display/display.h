#pragma once
// The display control: a persistent 640 x 480 back surface with 2D drawing,
// a gamma ramp applied when presenting, the 3D render hook, and flip.
//
// The back surface lives across ticks: only fills, the 3D render (inside the
// viewport rectangle) and 2D drawing change it; flip presents it through the
// gamma ramp and leaves it as it is. While initialised it lives with the
// back end (on the GPU); its pixels come back to the CPU only when read
// (read_surface, screenshot). At finalise it is copied into memory once and
// put back at the next initialise; drawing in between draws nothing.
//
// Drawing calls and render() do not draw at once: they add to the frame's
// list (render::FrameList), which flip() ends with the present through the
// gamma ramp and hands to the back end in one call. Reading the surface
// first carries out what is listed so far.
//
// The 3D picture comes from a stage the display is given: each initialise
// opens it on a new device, each finalise closes it; its render lists become
// the frame's view.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/common/picture.h"
#include "platform/display/backend.h"
#include "platform/display/image_list.h"
#include "platform/display/text_canvas.h"
#include "platform/render/frame_list.h"
#include "platform/render/gamma.h"
#include "platform/render/look.h"
#include "platform/render/surface2d.h"
#include "platform/retained/viewport.h"

namespace quarvel::rm {
class Stage;
}

namespace quarvel::display {

class FrameGrabber;

class DisplayControl {
 public:
  static constexpr int kWidth = 640;
  static constexpr int kHeight = 480;

  // `stage` is what render() draws; it must outlive the control.
  DisplayControl(std::unique_ptr<DisplayBackend> backend, rm::Stage& stage);
  ~DisplayControl();
  DisplayControl(const DisplayControl&) = delete;
  DisplayControl& operator=(const DisplayControl&) = delete;

  // Full screen (else a resizable window) at the next initialise.
  bool full_screen = true;

  // Raised by initialise (in this order) and finalise.
  std::function<void()> on_initialize;
  std::function<void()> on_initialize_surface;
  std::function<void()> on_finalize;

  // Finalises first when already initialised; then opens the back end and
  // its frame back end, opens the stage (a new device, camera and viewport),
  // raises on_initialize and on_initialize_surface. On failure everything
  // created so far is released and DisplayError is thrown.
  void initialize();
  // Raises on_finalize, closes the stage and releases the back end. Does
  // nothing when not initialised.
  void finalize();
  bool initialized() const { return initialized_; }

  // Back-surface drawing, only while initialised. Colours are raw device
  // colours (RGB565 in the low 16 bits).
  // A copy of the back surface (read back from the GPU when initialised,
  // else the copy kept at finalise).
  Picture read_surface() const;
  Picture surface() const { return read_surface(); }
  void fill_rect(int left, int top, int width, int height, uint32_t raw);
  void fill(uint32_t raw);
  // Every step-th row of the rectangle from its top: the pixels of a
  // one-row fill_rect for each.
  void fill_rows(int left, int top, int width, int height, int step, uint32_t raw);
  // Image-list pictures; an index outside the list draws nothing.
  void draw(int index, int x, int y);
  void draw_alpha(render::Rect r, int index, int opacity);
  ImageList* image_list = nullptr;
  TextCanvas& canvas() { return canvas_; }
  void text_out(int x, int y, std::string_view latin1);

  // The gamma ramp applied to every presented picture; identity at start.
  void get_gamma(render::GammaRamp& ramp) const { ramp = gamma_; }
  void set_gamma(const render::GammaRamp& ramp) { gamma_ = ramp; }

  // The look of the presented pictures (look.h), sharp at start; taken at
  // once when initialised, else at the next initialise. The smooth look
  // draws the 3D at the back end's smooth_scale(). A look the GL cannot
  // give (no multisampled picture) leaves the look as it was: false.
  bool set_look(render::Look look);
  render::Look look() const { return look_; }

  // The two 256-entry colour tables (kept for 8-bit displays; no effect on
  // ours).
  void set_colour_tables(const std::array<uint32_t, 256>& table) { colour_table_ = table; }

  // Lists the stage's view of its viewport rectangle. Only when initialised.
  void render();
  // Processor time of the whole process (llvmpipe's threads included) spent
  // so far in render() and in executing the views it listed. With
  // finish_render on, each view waits for the GPU work it queued, so that
  // time holds the 3D raster too (timing runs only: it takes away the
  // overlap of that work with the rest of the tick).
  double render_cpu_seconds() const;
  void set_finish_render(bool on);
  // Ends the frame's list with the present through the gamma ramp and hands
  // it to the back end: only when initialised.
  void flip();
  // The next flip presents the back surface shifted right by dx and down by
  // dy pixels, the uncovered area black; the back surface itself does not
  // move, and later flips present it unshifted.
  void scroll_next_present(int dx, int dy) {
    scroll_dx_ = dx;
    scroll_dy_ = dy;
  }
  int flips() const { return flips_; }

  // A line of Latin-1 text, white on black, over the picture's top left
  // corner for the next `flips` flips: in the window only, no part of the
  // presented picture (screenshots and captures never hold it).
  void show_notice(const std::string& latin1, int flips = 180);
  // The notice shown now ("" when none).
  const std::string& notice() const { return notice_; }

  // Drawn over every presented picture but not into the picture: for it the
  // back surface is set aside, the overlay drawn on it (2D drawing, the
  // canvas as the overlay leaves it), the picture presented, and the back
  // surface and canvas put back as they were. None when empty. The window
  // program's help and notes.
  std::function<void()> overlay;

  // The last presented picture (after the look and the gamma ramp), row 0
  // at the top, at its presented size (larger in the smooth look); empty
  // before the first flip.
  Picture screenshot() const;

  DisplayBackend& backend() { return *backend_; }
  // What executes the frame lists while initialised, else null.
  render::FrameBackEnd* frames() { return frames_.get(); }

 private:
  // A frame grabber reads the presenter and may hold frames back.
  friend class FrameGrabber;

  // True when 2D drawing may go on: initialised, and the GL context made
  // current.
  bool drawing();
  // The image-list item at `index` (nullptr when none) while drawing.
  const ImageItem* image(int index);
  // Whether an attached frame grabber holds this frame back.
  bool held_back() const;
  // Hands the commands listed so far to the back end.
  void execute_listed();
  // The image-list picture of `it` as the frame list carries it: copied
  // once per revision, so that the list stays whole whatever the image
  // list does before it is executed.
  std::shared_ptr<const Picture> listed_picture(const ImageItem& it);

  // Adds the stage's render lists to the frame's list as its views.
  struct ViewLister : rm::RenderBackend {
    render::FrameList* frame = nullptr;
    void execute(rm::RenderList&& list) override;
  };
  // Gives the renderer and the presenter the current look.
  void apply_look();

  std::unique_ptr<DisplayBackend> backend_;
  rm::Stage& stage_;
  std::unique_ptr<render::FrameBackEnd> frames_;  // while initialised
  std::shared_ptr<ViewLister> views_ = std::make_shared<ViewLister>();
  render::FrameList frame_;        // listed since the last hand-over
  struct ListedPicture {
    uint32_t revision = 0;
    std::shared_ptr<const Picture> picture;
  };
  std::unordered_map<uint64_t, ListedPicture> pictures_;  // by image id
  Picture back_{kWidth, kHeight};  // the back surface while not initialised
  int scroll_dx_ = 0, scroll_dy_ = 0;
  FrameGrabber* grabber_ = nullptr;  // the attached frame grabber, if any
  TextCanvas canvas_;
  render::GammaRamp gamma_ = render::GammaRamp::identity();
  render::Look look_ = render::Look::Sharp;
  std::array<uint32_t, 256> colour_table_{};
  bool initialized_ = false;
  int flips_ = 0;
  std::string notice_;
  int notice_flips_ = 0;
  bool finish_render_ = false;
  double render_cpu_ = 0;        // in render() itself
  double views_cpu_before_ = 0;  // in views, with the back ends closed so far
};

}  // namespace quarvel::display
