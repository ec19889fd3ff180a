#include "platform/display/display.h"

#include <stdexcept>

#include "platform/display/display_error.h"
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
    renderer_ = std::make_shared<render::SceneRenderer>(back_);
  } catch (const std::runtime_error& e) {
    renderer_.reset();
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
  presenter_.reset();
  backend_->close();
}

void DisplayControl::fill_rect(int left, int top, int width, int height, uint32_t raw) {
  render::fill_rect(back_, {left, top, width, height}, raw);
}

void DisplayControl::fill(uint32_t raw) { render::fill(back_, raw); }

void DisplayControl::draw(int index, int x, int y) {
  const ImageItem* it = image_list ? image_list->item(index) : nullptr;
  if (!it) return;
  render::copy_picture(back_, it->picture, x, y, it->transparent, render::bgr_to_argb(it->transparent_colour));
}

void DisplayControl::draw_alpha(render::Rect r, int index, int opacity) {
  const ImageItem* it = image_list ? image_list->item(index) : nullptr;
  if (!it) return;
  render::blend_stretched(back_, it->picture, r, opacity, it->transparent,
                          render::bgr_to_argb(it->transparent_colour));
}

void DisplayControl::render() {
  if (!initialized_ || !render_enabled_) return;
  backend_->make_current();
  viewport->clear();
  viewport->render(*scene);
  device->update();
}

void DisplayControl::flip() {
  if (!initialized_ || !presenter_) return;
  if (!present_enabled_) {
    ++flips_;
    return;
  }
  backend_->make_current();
  presenter_->present(back_, gamma_);
  backend_->show(*presenter_);
  ++flips_;
}

Picture DisplayControl::screenshot() const {
  if (!presenter_ || flips_ == 0) return {};
  backend_->make_current();
  return presenter_->read_presented();
}

}  // namespace quarvel::display
