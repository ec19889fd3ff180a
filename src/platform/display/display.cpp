#include "platform/display/display.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/display/display_error.h"
#include "platform/display/frame_grabber.h"
#include "platform/render/gl_frames.h"
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

std::unique_ptr<render::FrameBackEnd> DisplayBackend::make_frames(int width, int height, const Picture& back) {
  return std::make_unique<render::GlFrames>(width, height, back);
}

void DisplayControl::ViewLister::execute(rm::RenderList&& list) {
  if (frame) frame->commands.emplace_back(render::ViewCommand{std::move(list)});
}

DisplayControl::DisplayControl(std::unique_ptr<DisplayBackend> backend, rm::Stage& stage)
    : backend_(std::move(backend)), stage_(stage) {
  views_->frame = &frame_;
}

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
    frames_ = backend_->make_frames(kWidth, kHeight, back_);
    frames_->set_finish_views(finish_render_);
  } catch (const std::runtime_error& e) {
    frames_.reset();
    backend_->close();
    if (dynamic_cast<const DisplayError*>(&e)) throw;
    throw DisplayError(e.what());
  }
  stage_.open(views_, kWidth, kHeight);
  set_look(look_);
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
  execute_listed();
  stage_.close();
  back_ = frames_->read_surface();
  if (grabber_) grabber_->finish_reads();
  views_cpu_before_ += frames_->view_cpu_seconds();
  frames_.reset();
  pictures_.clear();
  backend_->close();
}

bool DisplayControl::drawing() { return frames_ != nullptr; }

bool DisplayControl::set_look(render::Look look) {
  const render::Look was = look_;
  look_ = look;
  if (!frames_) return true;
  backend_->make_current();
  // What is listed so far was asked for in the look it was drawn in.
  execute_listed();
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

void DisplayControl::apply_look() { frames_->set_look(look_, std::max(1, backend_->smooth_scale())); }

bool DisplayControl::held_back() const { return grabber_ && grabber_->seeking(); }

void DisplayControl::execute_listed() {
  if (frame_.empty()) return;
  frames_->execute(frame_);
  frame_.commands.clear();
}

std::shared_ptr<const Picture> DisplayControl::listed_picture(const ImageItem& it) {
  ListedPicture& p = pictures_[it.id];
  if (!p.picture || p.revision != it.revision) {
    p.picture = std::make_shared<const Picture>(it.picture);
    p.revision = it.revision;
  }
  return p.picture;
}

void DisplayControl::fill_rect(int left, int top, int width, int height, uint32_t raw) {
  if (drawing())
    frame_.commands.emplace_back(render::FillCommand{{left, top, width, height}, 0, render::device_colour_to_argb(raw)});
}

void DisplayControl::fill_rows(int left, int top, int width, int height, int step, uint32_t raw) {
  if (drawing())
    frame_.commands.emplace_back(render::FillCommand{{left, top, width, height}, step, render::device_colour_to_argb(raw)});
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
  render::PictureCommand c;
  c.picture = listed_picture(*it);
  c.key = it->id;
  c.revision = it->revision;
  c.rect = {x, y, it->picture.width, it->picture.height};
  c.transparent = it->transparent;
  c.key_argb = render::bgr_to_argb(it->transparent_colour);
  frame_.commands.emplace_back(std::move(c));
}

void DisplayControl::draw_alpha(render::Rect r, int index, int opacity) {
  const ImageItem* it = image(index);
  if (!it) return;
  render::PictureCommand c;
  c.picture = listed_picture(*it);
  c.key = it->id;
  c.revision = it->revision;
  c.stretched = true;
  c.rect = r;
  c.opacity = opacity;
  c.transparent = it->transparent;
  c.key_argb = render::bgr_to_argb(it->transparent_colour);
  frame_.commands.emplace_back(std::move(c));
}

void DisplayControl::text_out(int x, int y, std::string_view latin1) {
  if (!drawing()) return;
  TextMask m = canvas_.layout(x, y, latin1);
  if (m.fill_background) frame_.commands.emplace_back(render::FillCommand{m.background, 0, m.background_argb});
  frame_.commands.emplace_back(render::MaskCommand{std::move(m.ink), m.box, m.ink_argb});
}

Picture DisplayControl::read_surface() const {
  if (!frames_) return back_;
  backend_->make_current();
  const_cast<DisplayControl*>(this)->execute_listed();
  return frames_->read_surface();
}

double DisplayControl::render_cpu_seconds() const {
  return render_cpu_ + views_cpu_before_ + (frames_ ? frames_->view_cpu_seconds() : 0);
}

void DisplayControl::set_finish_render(bool on) {
  finish_render_ = on;
  if (frames_) frames_->set_finish_views(on);
}

void DisplayControl::render() {
  if (!initialized_ || held_back()) return;
  const std::clock_t started = std::clock();
  stage_.render();
  render_cpu_ += static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC;
}

void DisplayControl::flip() {
  if (!initialized_ || !frames_) return;
  backend_->make_current();
  if (held_back()) {
    // A frame held back still draws into the back surface and uses up a
    // scroll asked for this frame; it is not presented.
    execute_listed();
    scroll_dx_ = scroll_dy_ = 0;
    ++flips_;
    return;
  }
  // The overlay is drawn over this picture only: the back surface as the
  // show left it is put back after the present, and the canvas with it.
  std::shared_ptr<const Picture> kept;
  std::optional<TextCanvas> canvas;  // only with an overlay: a flip without one copies nothing
  if (overlay) {
    execute_listed();
    kept = std::make_shared<const Picture>(frames_->read_surface());
    canvas = canvas_;
    overlay();
  }
  frame_.commands.emplace_back(render::PresentCommand{gamma_, scroll_dx_, scroll_dy_});
  if (kept) {
    frame_.commands.emplace_back(render::SurfaceCommand{std::move(kept)});
    canvas_ = std::move(*canvas);
  }
  scroll_dx_ = scroll_dy_ = 0;
  execute_listed();
  if (render::Presenter* presenter = frames_->presenter()) backend_->show(*presenter);
  ++flips_;
  if (notice_flips_ > 0 && --notice_flips_ == 0) {
    notice_.clear();
    if (render::Presenter* presenter = frames_->presenter()) presenter->set_caption({});
  }
}

void DisplayControl::show_notice(const std::string& latin1, int flips) {
  notice_ = latin1;
  notice_flips_ = latin1.empty() ? 0 : std::max(1, flips);
  render::Presenter* presenter = frames_ ? frames_->presenter() : nullptr;
  if (!presenter) return;
  backend_->make_current();
  if (latin1.empty()) {
    presenter->set_caption({});
    return;
  }
  TextCanvas text;
  text.set_font_colour(0xFFFFFF);
  text.set_font_size(10);
  const int width = text.layout(0, 0, latin1).advance + 8, height = text.line_height() + 4;
  Picture caption(std::min(width, kWidth), height, 0xFF000000u);
  text.text_out(caption, 4, 2, latin1);
  presenter->set_caption(caption);
}

Picture DisplayControl::screenshot() const {
  if (!frames_ || flips_ == 0) return {};
  backend_->make_current();
  return frames_->read_presented();
}

}  // namespace quarvel::display
