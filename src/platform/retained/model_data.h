#pragma once
// A model as plain data: meshes, a frame hierarchy and animations, as a model
// file reader produces them. The scene graph builds mesh builders and
// animation sets from it, so it never parses files itself.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/retained/math3d.h"

namespace quarvel::rm {

struct ModelMaterial {
  uint32_t color = 0xFFFFFFFF;  // ARGB (diffuse colour and alpha)
  std::string texture_file;      // as written in the file; empty for none
};

struct ModelMesh {
  std::string name;
  std::vector<Vec3> positions;
  std::vector<Vec2> uvs;                       // one per position, or empty
  std::vector<uint32_t> vertex_colors;          // one per position (ARGB), or empty
  std::vector<Vec3> normals;
  std::vector<std::vector<uint32_t>> faces;    // indices into positions
  std::vector<std::vector<uint32_t>> face_normals;  // per face, indices into normals, or empty
  std::vector<ModelMaterial> materials;
  std::vector<uint32_t> face_materials;         // per face, index into materials, or empty
};

struct ModelFrame {
  std::string name;
  Mat4 transform;             // relative to the parent (column vectors, see math3d.h)
  std::vector<int> meshes;    // indices into Model::meshes
  std::vector<ModelFrame> children;
};

struct ModelVectorKey {
  float time = 0;
  Vec3 value;
};
struct ModelRotationKey {
  float time = 0;
  Quat value;
};

struct ModelAnimation {
  std::string name;
  std::string frame_name;  // the frame the animation drives
  // Animation options (see Animation::kOpen ...); 0 means the default.
  uint32_t options = 0;
  std::vector<ModelVectorKey> position_keys;
  std::vector<ModelVectorKey> scale_keys;
  std::vector<ModelRotationKey> rotation_keys;
};

struct Model {
  std::vector<ModelMesh> meshes;
  std::vector<ModelFrame> frames;  // top-level frames
  std::vector<int> loose_meshes;    // meshes outside any frame
  std::vector<ModelAnimation> animations;
};

}  // namespace quarvel::rm
