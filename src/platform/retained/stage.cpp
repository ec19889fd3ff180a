#include "platform/retained/stage.h"

namespace quarvel::rm {

void Stage::open(std::shared_ptr<RenderBackend> backend, int width, int height) {
  device = root.create_device(std::move(backend), width, height);
  device->set_quality(quality::kGouraud);
  device->set_texture_quality(TextureQuality::Nearest);
  if (!scene) scene = root.create_frame(nullptr);
  camera = root.create_frame(scene);
  camera->set_position(scene.get(), {0, 0, 0});
  viewport = root.create_viewport(device, camera, 0, 0, width, height);
  viewport->set_back(kBack);
}

void Stage::close() {
  viewport.reset();
  device.reset();
  if (camera && scene) scene->delete_child(camera.get());
  camera.reset();
}

void Stage::render() {
  if (!viewport) return;
  viewport->clear_and_render(*scene);
}

}  // namespace quarvel::rm
