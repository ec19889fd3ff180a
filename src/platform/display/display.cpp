#include "platform/display/display.h"

#include <ctime>
#include <stdexcept>

#include "platform/display/display_error.h"
#include "platform/render/gl.h"
#include "platform/render/scene_renderer.h"

namespace quarvel::display {

DisplayControl::DisplayControl(std::unique_ptr<DisplayBackend> backend) : backend_(std::move(backend)) {}

DisplayControl::~DisplayControl() {
  // Release without raising events: the owner may already be half gone.
  on_finalize = nullptr;
  finalize();
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
  device = root.create_device(renderer_, kWidth, kHeight);
  device->set_quality(rm::quality::kGouraud);
  device->set_texture_quality(rm::TextureQuality::Nearest);
  if (!scene) scene = root.create_frame(nullptr);
  camera = root.create_frame(scene);
  camera->set_position(scene.get(), {0, 0, 0});
  viewport = root.create_viewport(device, camera, 0, 0, kWidth, kHeight);
  viewport->set_back(5000.0f);
  initialized_ = true;
  if (on_initialize) on_initialize();
  if (on_initialize_surface) on_initialize_surface();
}

void DisplayControl::finalize() {
  if (!initialized_) return;
  if (on_finalize) on_finalize();
  initialized_ = false;
  backend_->make_current();
  viewport.reset();
  device.reset();
  if (camera && scene) scene->delete_child(camera.get());
  camera.reset();
  renderer_.reset();
  back_ = gpu_->read();
  gpu_.reset();
  while (presenter_->reads_in_flight() > 0) finish_oldest_read();
  presenter_.reset();
  backend_->close();
}

void DisplayControl::fill_rect(int left, int top, int width, int height, uint32_t raw) {
  if (gpu_) {
    backend_->make_current();
    gpu_->fill_rect({left, top, width, height}, render::device_colour_to_argb(raw));
  } else {
    render::fill_rect(back_, {left, top, width, height}, raw);
  }
}

void DisplayControl::fill(uint32_t raw) { fill_rect(0, 0, kWidth, kHeight, raw); }

const ImageItem* DisplayControl::image(int index) {
  const ImageList* list = image_list;  // read only: drawing changes no picture
  const ImageItem* it = list ? list->item(index) : nullptr;
  if (it && gpu_) backend_->make_current();
  return it;
}

void DisplayControl::draw(int index, int x, int y) {
  const ImageItem* it = image(index);
  if (!it) return;
  const uint32_t key = render::bgr_to_argb(it->transparent_colour);
  if (gpu_) {
    gpu_->copy_picture(it->picture, it->id, it->revision, x, y, it->transparent, key);
  } else {
    render::copy_picture(back_, it->picture, x, y, it->transparent, key);
  }
}

void DisplayControl::draw_alpha(render::Rect r, int index, int opacity) {
  const ImageItem* it = image(index);
  if (!it) return;
  const uint32_t key = render::bgr_to_argb(it->transparent_colour);
  if (gpu_) {
    gpu_->blend_stretched(it->picture, it->id, it->revision, r, opacity, it->transparent, key);
  } else {
    render::blend_stretched(back_, it->picture, r, opacity, it->transparent, key);
  }
}

void DisplayControl::text_out(int x, int y, std::string_view latin1) {
  if (!gpu_) {
    canvas_.text_out(back_, x, y, latin1);
    return;
  }
  backend_->make_current();
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
  if (!initialized_ || !render_enabled_) return;
  const std::clock_t started = std::clock();
  backend_->make_current();
  viewport->clear();
  viewport->render(*scene);
  device->update();
  if (finish_render_) glFinish();
  render_cpu_ += static_cast<double>(std::clock() - started) / CLOCKS_PER_SEC;
}

void DisplayControl::flip() {
  if (!initialized_ || !presenter_) return;
  if (!present_enabled_) {
    // A skipped present still uses up a scroll asked for this frame.
    scroll_dx_ = scroll_dy_ = 0;
    ++flips_;
    return;
  }
  backend_->make_current();
  presenter_->present(gpu_->framebuffer(), gamma_, scroll_dx_, scroll_dy_);
  scroll_dx_ = scroll_dy_ = 0;
  backend_->show(*presenter_);
  ++flips_;
}

Picture DisplayControl::screenshot() const {
  if (!presenter_ || flips_ == 0) return {};
  backend_->make_current();
  return presenter_->read_presented();
}

void DisplayControl::finish_oldest_read() const { read_.push_back(presenter_->finish_read()); }

void DisplayControl::queue_screenshot() const {
  if (!presenter_ || flips_ == 0) {
    read_.emplace_back();  // nothing presented: the empty picture, in its turn
    return;
  }
  backend_->make_current();
  if (!presenter_->start_read()) {
    finish_oldest_read();
    presenter_->start_read();
  }
}

bool DisplayControl::take_screenshot(Picture& out, bool wait) const {
  if (read_.empty() && presenter_ && presenter_->reads_in_flight() > 0) {
    backend_->make_current();
    if (wait || presenter_->oldest_read_done()) finish_oldest_read();
  }
  if (read_.empty()) return false;
  out = std::move(read_.front());
  read_.pop_front();
  return true;
}

int DisplayControl::pending_screenshots() const {
  return static_cast<int>(read_.size()) + (presenter_ ? presenter_->reads_in_flight() : 0);
}

}  // namespace quarvel::display
