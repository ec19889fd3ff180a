#pragma once
// Frames: the nodes of the scene graph. A frame has a transformation relative
// to its parent, children, visuals (meshes, mesh builders, other frames) and
// lights, and a motion (velocity and rotation) that Move applies.
//
// Every pose is given or read relative to a reference frame; a null reference
// means the frame's parent (for a frame without a parent, the world).
//
// A frame may be a child of one frame and a visual of others: as a visual its
// whole subtree is drawn again relative to the frame it is a visual of. No
// request may make a frame drawn inside itself (through children and visuals):
// such requests are refused and change nothing.
//
// The root frame of a scene (the frame without a parent) also carries the
// scene settings: background colour and image, and linear fog.
#include <memory>
#include <vector>

#include "platform/retained/object.h"

namespace quarvel::rm {

enum class Combine { Replace = 0, Before = 1, After = 2 };

struct Fog {
  bool enabled = false;
  uint32_t color = 0xFF000000;  // ARGB
  float start = 1, end = 100, density = 1;
};

class Frame : public Visual, public std::enable_shared_from_this<Frame> {
 public:
  Frame() = default;
  ~Frame() override;

  // Hierarchy
  Frame* parent() const { return parent_; }
  std::shared_ptr<Frame> parent_ptr() const;
  Frame* root();
  // Attaches `child` (detaching it from its former parent); its transformation
  // relative to the parent is kept. Refused for null, self, or a cycle.
  bool add_child(const std::shared_ptr<Frame>& child);
  // Detaches `child` and its subtree; false when it is not a child.
  bool delete_child(const Frame* child);
  std::vector<std::shared_ptr<Frame>> children() const { return children_; }

  bool add_visual(const std::shared_ptr<Visual>& visual);
  bool delete_visual(const Visual* visual);  // removes every occurrence
  std::vector<std::shared_ptr<Visual>> visuals() const { return visuals_; }

  bool add_light(const std::shared_ptr<Light>& light);
  bool delete_light(const Light* light);
  std::vector<std::shared_ptr<Light>> lights() const { return lights_; }

  // Transformation
  const Mat4& transform() const { return local_; }  // relative to the parent
  void set_transform(const Mat4& m);
  Mat4 world_transform() const;
  Mat4 transform_relative_to(const Frame* ref) const;

  void set_position(const Frame* ref, const Vec3& p);
  Vec3 position(const Frame* ref) const;
  // z axis along `dir`, y axis along `up` made orthogonal, as seen from ref;
  // the frame's scale is kept. Zero or parallel vectors: unchanged, false.
  bool set_orientation(const Frame* ref, const Vec3& dir, const Vec3& up);
  void orientation(const Frame* ref, Vec3& dir, Vec3& up) const;
  // Combine a rotation, scale, translation or matrix with the transformation:
  // replace (the whole transformation, position included, becomes it), before
  // (applied to the frame's own coordinates first) or after (applied in the
  // parent's coordinates, moving the position too).
  void add_transform(Combine how, const Mat4& m);
  void add_rotation(Combine how, const Vec3& axis, float angle);
  void add_scale(Combine how, float sx, float sy, float sz);
  void add_translation(Combine how, const Vec3& t);
  // Turns the frame's z axis toward the origin of `target`, keeping the up
  // direction close to the y axis of `ref`. Refused (false) when the target is
  // at the frame's own origin.
  bool look_at(const Frame& target, const Frame* ref);

  // Motion, applied by Move to every frame below the one moved. The velocity
  // and the rotation axis are taken relative to `ref` when set. A zero axis
  // stops the rotation. `with_rotation` is accepted for compatibility and
  // ignored: velocities are not turned by the rotation.
  void set_velocity(const Frame* ref, const Vec3& v, bool with_rotation = false);
  Vec3 velocity(const Frame* ref) const;
  void set_rotation(const Frame* ref, const Vec3& axis, float angle_per_unit);
  void move(float delta);

  // Whether `other` is drawn as part of this frame (through children and frame
  // visuals), this frame included.
  bool draws(const Frame* other) const;

  // Scene settings (meaningful on a scene's root frame)
  void set_scene_background(uint32_t argb) { background_ = argb; }
  uint32_t scene_background() const { return background_; }
  void set_scene_background_image(std::shared_ptr<Texture> t) { background_image_ = std::move(t); }
  std::shared_ptr<Texture> scene_background_image() const { return background_image_; }
  void set_scene_fog_enable(bool on) { fog_.enabled = on; }
  void set_scene_fog_color(uint32_t argb) { fog_.color = argb; }
  void set_scene_fog_params(float start, float end, float density) {
    fog_.start = start, fog_.end = end, fog_.density = density;
  }
  const Fog& scene_fog() const { return fog_; }

 private:
  void move_self(float delta);

  Frame* parent_ = nullptr;
  std::vector<std::shared_ptr<Frame>> children_;
  std::vector<std::shared_ptr<Visual>> visuals_;
  std::vector<std::shared_ptr<Light>> lights_;
  Mat4 local_;

  // Motion in the parent's coordinates.
  Vec3 velocity_;
  Vec3 rotation_axis_;
  float rotation_rate_ = 0;

  uint32_t background_ = 0xFF000000;
  std::shared_ptr<Texture> background_image_;
  Fog fog_;
};

}  // namespace quarvel::rm
