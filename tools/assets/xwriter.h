#pragma once
// A model file in memory and its writer: DirectX .x text format
// ("xof 0302txt 0032"), with frames, meshes (normals, texture coordinates,
// materials), and animation sets with rotation, scale, position and matrix
// keys. The output depends only on the input: fixed number formatting, no
// time stamps.
#include <optional>
#include <string>
#include <vector>

#include "geometry.h"

namespace quarvel::assets {

struct XFrame {
  std::string name;
  Mat4 transform;  // relative to the parent
  std::optional<MeshData> mesh;
  std::string mesh_name;
  std::vector<XFrame> children;

  XFrame& child(const std::string& child_name, const Mat4& m = Mat4{});
  const XFrame* find(const std::string& frame_name) const;
};

struct RotationKey {
  float time;
  Quat q;
};
struct VectorKey {
  float time;
  Vec3 v;
};
struct MatrixKey {
  float time;
  Mat4 m;
};

struct XAnimation {
  std::string frame;
  std::vector<RotationKey> rotation;
  std::vector<VectorKey> scale;
  std::vector<VectorKey> position;
  std::vector<MatrixKey> matrix;
  bool write_options = true;
  bool closed = false;
  bool spline = false;
};

struct XAnimationSet {
  std::string name;
  std::vector<XAnimation> animations;
};

struct XFile {
  int ticks_per_second = 0;  // written only when not 0
  bool write_templates = false;
  std::vector<XFrame> frames;
  std::vector<XAnimationSet> sets;
};

std::string write_x_text(const XFile& file);

// Fills rotation, scale and position keys of `anim` from the frame matrices
// `poses` sampled at `times` (rotation-only matrices with uniform or axis
// scale; the translation is taken from row 3). Consecutive quaternions are
// kept in the same hemisphere.
void keys_from_poses(XAnimation& anim, const std::vector<float>& times,
                     const std::vector<Mat4>& poses, bool with_scale = false);

}  // namespace quarvel::assets
