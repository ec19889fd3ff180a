#include "platform/retained/root.h"

namespace quarvel::rm {

std::shared_ptr<Frame> Root::create_frame(const std::shared_ptr<Frame>& parent) {
  auto f = std::make_shared<Frame>();
  if (parent) parent->add_child(f);
  return f;
}

std::shared_ptr<MeshBuilder> Root::create_mesh_builder() { return std::make_shared<MeshBuilder>(); }

std::shared_ptr<Light> Root::create_light_rgb(LightType type, float r, float g, float b) {
  return std::make_shared<Light>(type, r, g, b);
}

std::shared_ptr<Wrap> Root::create_wrap(WrapType type, std::shared_ptr<Frame> reference, Vec3 origin, Vec3 direction,
                                       Vec3 up, float ou, float ov, float su, float sv) {
  Wrap::Params p;
  p.type = type;
  p.origin = origin;
  p.direction = direction;
  p.up = up;
  p.ou = ou, p.ov = ov, p.su = su, p.sv = sv;
  return std::make_shared<Wrap>(std::move(reference), p);
}

std::shared_ptr<Texture> Root::create_texture(Picture picture) { return std::make_shared<Texture>(std::move(picture)); }

std::shared_ptr<Texture> Root::load_texture(const std::string& path) { return texture_files_.load(path); }

std::shared_ptr<Animation> Root::create_animation() { return std::make_shared<Animation>(); }
std::shared_ptr<AnimationSet> Root::create_animation_set() { return std::make_shared<AnimationSet>(); }

std::shared_ptr<Device> Root::create_device(std::shared_ptr<RenderBackend> backend, int width, int height) {
  return std::make_shared<Device>(std::move(backend), width, height);
}

std::shared_ptr<Viewport> Root::create_viewport(std::shared_ptr<Device> device, std::shared_ptr<Frame> camera, int x,
                                               int y, int width, int height) {
  if (!device || !camera || width <= 0 || height <= 0) return nullptr;
  return std::make_shared<Viewport>(std::move(device), std::move(camera), x, y, width, height);
}

}  // namespace quarvel::rm
