#pragma once
// The factory of the scene graph: every object is made here and handed back
// as a counted reference. A frame made with a parent is attached at once.
#include <memory>
#include <string>

#include "platform/retained/animation.h"
#include "platform/retained/frame.h"
#include "platform/retained/mesh.h"
#include "platform/retained/parse_ahead.h"
#include "platform/retained/texture_files.h"
#include "platform/retained/viewport.h"
#include "platform/retained/wrap.h"

namespace quarvel::rm {

class Root {
 public:
  std::shared_ptr<Frame> create_frame(const std::shared_ptr<Frame>& parent = nullptr);
  std::shared_ptr<MeshBuilder> create_mesh_builder();
  std::shared_ptr<Light> create_light_rgb(LightType type, float r, float g, float b);
  std::shared_ptr<Wrap> create_wrap(WrapType type, std::shared_ptr<Frame> reference, Vec3 origin, Vec3 direction,
                                   Vec3 up, float ou, float ov, float su, float sv);
  std::shared_ptr<Texture> create_texture(Picture picture);
  // Reads a picture file as a texture, its picture shared with every other
  // texture of the same file; null on failure (one line on standard error
  // the first time a file fails, whichever load met it).
  std::shared_ptr<Texture> load_texture(const std::string& path);
  // The picture files read so far, for the model loads that should share
  // pictures and failures with load_texture.
  TextureFiles& texture_files() { return texture_files_; }
  // The model and picture files the coming scenes need, parsed ahead; the
  // picture files above take what it holds.
  ParseAhead& parse_ahead() { return parse_ahead_; }
  std::shared_ptr<Animation> create_animation();
  std::shared_ptr<AnimationSet> create_animation_set();
  std::shared_ptr<Device> create_device(std::shared_ptr<RenderBackend> backend, int width, int height);
  // Null when the size is zero or negative or device or camera is missing.
  std::shared_ptr<Viewport> create_viewport(std::shared_ptr<Device> device, std::shared_ptr<Frame> camera, int x,
                                           int y, int width, int height);

 private:
  ParseAhead parse_ahead_;  // before the picture files, which use it
  TextureFiles texture_files_{&parse_ahead_};
};

// A visual seen as a mesh builder; null when it is something else.
inline std::shared_ptr<MeshBuilder> as_mesh_builder(const std::shared_ptr<Visual>& v) {
  return std::dynamic_pointer_cast<MeshBuilder>(v);
}
inline std::shared_ptr<Frame> as_frame(const std::shared_ptr<Visual>& v) { return std::dynamic_pointer_cast<Frame>(v); }

}  // namespace quarvel::rm
