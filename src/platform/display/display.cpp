#include "platform/display/display.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "platform/display/display_error.h"
#include "platform/display/frame_grabber.h"
#include "platform/render/gl.h"
#include "platform/render/scene_renderer.h"
#include "platform/retained/stage.h"

namespace quarvel::display {
namespace {

// The old window, its GL context and whatever the owner let go of when the
// display is initialised again leave many free blocks among live ones,
// which the allocator keeps: without this each Alt+Enter kept about 0.4 MB
// more of the window program's resident memory, none of it in use.
void give_back_free_memory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace

DisplayControl::DisplayControl(std::unique_ptr<DisplayBackend> backend, rm::Stage& stage)
    : backend_(std::move(backend)), stage_(stage) {}

DisplayControl::~DisplayControl() {
  // Release without raising events: the owner may already be half gone.
  on_finalize = nullptr;
  finalize();
  if (grabber_) grabber_->display_ = nullptr;
}

void DisplayControl::initialize() {
  finalize();
  try {
    backend_->open(full_screen);
    presenter_ = std::make_unique<render::Presenter>(kWidth, kHeight);
    gpu_ = std::make_unique<render::BackSurface>(kWidth, kHeight);
    gpu_->upload(back_);
    renderer_ = std::make_shared<render::SceneRenderer>(*gpu_);
  } catch (const std::runtime_error& e) {
    renderer_.reset();
    gpu_.reset();
    presenter_.reset();
    backend_->close();
    if (dynamic_cast<const DisplayError*>(&e)) throw;
    throw DisplayError(e.what());
  }
  set_look(look_);
  stage_.open(renderer_, kWidth, kHeight);
  initialized_ = true;
  if (on_initialize) on_initialize();
  if (on_initialize_surface) on_initialize_surface();
  give_back_free_memory();
}

void DisplayControl::finalize() {
  if (!initialized_) return;
  if (on_finalize) on_finalize();
  initialized_ = false;
  backend_->make_current();
  stage_.close();
  renderer_.reset();
  back_ = gpu_->read();
  gpu_.reset();
  if (grabber_) grabber_->finish_reads();
  presenter_.reset();
  backend_->close();
}

bool DisplayControl::drawing() {
  if (!gpu_) return false;
  backend_->make_current();
  return true;
}

bool DisplayControl::set_look(render::Look look) {
  const render::Look was = look_;
  look_ = look;
  if (!presenter_) return true;
  backend_->make_current();
  try {
    apply_look();
  } catch (const std::runtime_error& e) {
    look_ = was == look ? render::Look::Sharp : was;
    std::fprintf(stderr, "quarvel: %s; the look is %s\n", e.what(), render::look_name(look_));
    apply_look();
    return false;
  }
  return true;
}

void DisplayControl::apply_look() {
  const bool smooth = look_ == render::Look::Smooth;
  const int scale = std::max(1, backend_->smooth_scale());
  renderer_->set_smooth(smooth ? scale : 0);
  presenter_->set_look(look_, scale, renderer_->scene_texture());
}

bool DisplayControl::held_back() const { return grabber_ && grabber_->seeking(); }

void DisplayControl::fill_rect(int left, int top, int width, int height, uint32_t raw) {
  if (drawing()) gpu_->fill_rect({left, top, width, height}, render::device_colour_to_argb(raw));
}

void DisplayControl::fill_rows(int left, int top, int width, int height, int step, uint32_t raw) {
  if (drawing()) gpu_->fill_rows({left, top, width, height}, step, render::device_colour_to_argb(raw));
}

void DisplayControl::fill(uint32_t raw) { fill_rect(0, 0, kWidth, kHeight, raw); }

const ImageItem* DisplayControl::image(int index) {
  const ImageList* list = image_list;  // read only: drawing changes no picture
  const ImageItem* it = list ? list->item(index) : nullptr;
  return it && drawing() ? it : nullptr;
}

void DisplayControl::draw(int index, int x, int y) {
  const ImageItem* it = image(index);
  if (!it) return;
  const uint32_t key = render::bgr_to_argb(it->transparent_colour);
  gpu_->copy_picture(it->picture, it->id, it->revision, x, y, it->transparent, key);
}

void DisplayControl::draw_alpha(render::Rect r, int index, int opacity) {
  const ImageItem* it = image(index);
  if (!it) return;
  const uint32_t key = render::bgr_to_argb(it->transparent_colour);
  gpu_->blend_stretched(it->picture, it->id, it->revision, r, opacity, it->transparent, key);
}

void DisplayControl::text_out(int x, int y, std::string_view latin1) {
  if (!drawing()) return;
  const TextMask m = canvas_.layout(x, y, latin1);
  if (m.fill_background) gpu_->fill_rect(m.background, m.background_argb);
  gpu_->draw_mask(m.ink, m.box, m.ink_argb);
}

Picture DisplayControl::read_surface() const {
  if (!gpu_) return back_;
  backend_->make_current();
  return gpu_->read();
}

void DisplayControl::render() {
  if (!initialized_ || held_back()) return;
  const std::clock_t started = std::clock();
  backend_->make_current();
  stage_.render();
  if (finish_render_) glFinish();
  render_cpu_ += static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC;
}

void DisplayControl::flip() {
  if (!initialized_ || !presenter_) return;
  if (held_back()) {
    // A frame held back still uses up a scroll asked for this frame.
    scroll_dx_ = scroll_dy_ = 0;
    ++flips_;
    return;
  }
  backend_->make_current();
  Picture kept;
  const TextCanvas canvas = canvas_;
  if (overlay) {
    kept = gpu_->read();
    overlay();
    backend_->make_current();
  }
  presenter_->present(gpu_->framebuffer(), gamma_, scroll_dx_, scroll_dy_);
  if (overlay) {
    gpu_->upload(kept);
    canvas_ = canvas;
  }
  scroll_dx_ = scroll_dy_ = 0;
  backend_->show(*presenter_);
  ++flips_;
  if (notice_flips_ > 0 && --notice_flips_ == 0) {
    notice_.clear();
    presenter_->set_caption({});
  }
}

void DisplayControl::show_notice(const std::string& latin1, int flips) {
  notice_ = latin1;
  notice_flips_ = latin1.empty() ? 0 : std::max(1, flips);
  if (!presenter_) return;
  backend_->make_current();
  if (latin1.empty()) {
    presenter_->set_caption({});
    return;
  }
  TextCanvas text;
  text.set_font_colour(0xFFFFFF);
  text.set_font_size(10);
  const int width = text.layout(0, 0, latin1).advance + 8, height = text.line_height() + 4;
  Picture caption(std::min(width, kWidth), height, 0xFF000000u);
  text.text_out(caption, 4, 2, latin1);
  presenter_->set_caption(caption);
}

Picture DisplayControl::screenshot() const {
  if (!presenter_ || flips_ == 0) return {};
  backend_->make_current();
  return presenter_->read_presented();
}

}  // namespace quarvel::display
