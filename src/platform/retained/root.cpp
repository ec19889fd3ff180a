#include "platform/retained/root.h"

#include <cstdio>

#include "platform/common/picture_file.h"

namespace quarvel::rm {

std::shared_ptr<Frame> Root::createFrame(const std::shared_ptr<Frame>& parent) {
  auto f = std::make_shared<Frame>();
  if (parent) parent->addChild(f);
  return f;
}

std::shared_ptr<MeshBuilder> Root::createMeshBuilder() { return std::make_shared<MeshBuilder>(); }

std::shared_ptr<Light> Root::createLightRGB(LightType type, float r, float g, float b) {
  return std::make_shared<Light>(type, r, g, b);
}

std::shared_ptr<Wrap> Root::createWrap(WrapType type, std::shared_ptr<Frame> reference, Vec3 origin, Vec3 direction,
                                       Vec3 up, float ou, float ov, float su, float sv) {
  Wrap::Params p;
  p.type = type;
  p.origin = origin;
  p.direction = direction;
  p.up = up;
  p.ou = ou, p.ov = ov, p.su = su, p.sv = sv;
  return std::make_shared<Wrap>(std::move(reference), p);
}

std::shared_ptr<Texture> Root::createTexture(Picture picture) { return std::make_shared<Texture>(std::move(picture)); }

std::shared_ptr<Texture> Root::loadTexture(const std::string& path) {
  Picture picture;
  std::string error;
  if (!load_picture(path, picture, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return nullptr;
  }
  auto t = std::make_shared<Texture>(std::move(picture));
  t->setName(path);
  return t;
}

std::shared_ptr<Animation> Root::createAnimation() { return std::make_shared<Animation>(); }
std::shared_ptr<AnimationSet> Root::createAnimationSet() { return std::make_shared<AnimationSet>(); }

std::shared_ptr<Device> Root::createDevice(std::shared_ptr<RenderBackend> backend, int width, int height) {
  return std::make_shared<Device>(std::move(backend), width, height);
}

std::shared_ptr<Viewport> Root::createViewport(std::shared_ptr<Device> device, std::shared_ptr<Frame> camera, int x,
                                               int y, int width, int height) {
  if (!device || !camera || width <= 0 || height <= 0) return nullptr;
  return std::make_shared<Viewport>(std::move(device), std::move(camera), x, y, width, height);
}

}  // namespace quarvel::rm
