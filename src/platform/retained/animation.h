#pragma once
// Key-frame animations and animation sets.
//
// An animation holds position, scale and rotation keys, each kind kept sorted
// by time (keys of equal time keep their insertion order; negative times are
// allowed). SetTime poses the bound frame relative to its parent:
//   - closed animations wrap the time over the span of their keys (first to
//     last key time); open ones hold the first and last keys outside it;
//   - positions are interpolated linearly or along a Catmull-Rom spline
//     through the keys (spline option);
//   - the position option applies position keys, the scale-and-rotation
//     option applies scale and rotation keys;
//   - a kind of key the animation does not have leaves that part of the pose
//     as it is; with no keys or no frame SetTime does nothing.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/retained/frame.h"
#include "platform/retained/mesh.h"
#include "platform/retained/model_data.h"

namespace quarvel::rm {

class Animation : public Object {
 public:
  static constexpr uint32_t kOpen = 0x01;
  static constexpr uint32_t kClosed = 0x02;
  static constexpr uint32_t kLinearPosition = 0x04;
  static constexpr uint32_t kSplinePosition = 0x08;
  static constexpr uint32_t kScaleAndRotation = 0x10;
  static constexpr uint32_t kPosition = 0x20;
  static constexpr uint32_t kDefaultOptions = kClosed | kLinearPosition | kPosition | kScaleAndRotation;

  // Refused (false, unchanged) when both open and closed, or both linear and
  // spline, are set.
  bool set_options(uint32_t options);
  uint32_t options() const { return options_; }

  void add_position_key(float time, const Vec3& p);
  void add_scale_key(float time, const Vec3& s);
  void add_rotation_key(float time, const Quat& q);
  size_t position_key_count() const { return position_.size(); }
  size_t scale_key_count() const { return scale_.size(); }
  size_t rotation_key_count() const { return rotation_.size(); }

  // The animation holds a weak link: it never keeps its frame alive.
  void set_frame(const std::shared_ptr<Frame>& frame) { frame_ = frame; }
  std::shared_ptr<Frame> frame() const { return frame_.lock(); }

  void set_time(float time);

  // Values at a time, without touching the frame (false when no such keys).
  bool position_at(float time, Vec3& out) const;
  bool scale_at(float time, Vec3& out) const;
  bool rotation_at(float time, Quat& out) const;

 private:
  template <class K>
  float local_time(const std::vector<K>& keys, float t) const;

  struct VecKey {
    float time;
    Vec3 value;
  };
  struct RotKey {
    float time;
    Quat value;
  };
  uint32_t options_ = kDefaultOptions;
  std::vector<VecKey> position_, scale_;
  std::vector<RotKey> rotation_;
  std::weak_ptr<Frame> frame_;
};

// Looks up a texture by the file name a model gives; may return null.
using TextureResolver = std::function<std::shared_ptr<Texture>(const std::string&)>;

// Fills a mesh builder from model data (faces with their material colours and
// textures); false when the mesh has invalid indices (the builder is then
// left with the faces that were valid).
bool build_mesh(MeshBuilder& builder, const ModelMesh& mesh, const TextureResolver& textures = {});

// The animations of one model, bound by frame name to the frames the model
// created under a parent frame.
class AnimationSet : public Object {
 public:
  // Builds the model's frame hierarchy under `parent` (names, transformations,
  // meshes as mesh builder visuals) and its animations bound by frame name
  // (the first frame of that name in depth-first order). Returns false when
  // nothing could be built.
  bool load(const Model& model, const std::shared_ptr<Frame>& parent, const TextureResolver& textures = {});

  void set_time(float time);
  std::vector<std::shared_ptr<Animation>> animations() const { return animations_; }
  void add_animation(std::shared_ptr<Animation> a) {
    if (a) animations_.push_back(std::move(a));
  }

 private:
  std::vector<std::shared_ptr<Animation>> animations_;
};

}  // namespace quarvel::rm
