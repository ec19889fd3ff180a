#pragma once
// Where the tests find the asset set the build generated, and small helpers
// over the model reader's data.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "platform/retained/xfile/model.h"
#include "platform/retained/xfile/reader.h"

namespace quarvel::assets_test {

inline std::string show_file(const std::string& name) {
  return std::string(QUARVEL_BINARY_DIR) + "/show/" + name;
}

inline bool read_model(const std::string& name, xfile::Model& model, std::string& error) {
  return xfile::read_file(show_file(name), model, error);
}

struct Box {
  xfile::Vec3 min{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                  std::numeric_limits<float>::max()};
  xfile::Vec3 max{-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                  -std::numeric_limits<float>::max()};
  void add(const xfile::Vec3& p) {
    min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
    max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
  }
  float size_x() const { return max.x - min.x; }
  float size_y() const { return max.y - min.y; }
  float size_z() const { return max.z - min.z; }
};

inline Box mesh_box(const xfile::Mesh& mesh) {
  Box b;
  for (const auto& p : mesh.positions) b.add(p);
  return b;
}

inline const xfile::Animation* find_animation(const xfile::Model& model, const std::string& frame) {
  for (const auto& set : model.animation_sets)
    for (const auto& a : set.animations)
      if (a.frame == frame) return &a;
  return nullptr;
}

inline const xfile::AnimationKeys* keys_of(const xfile::Animation& a, uint32_t type) {
  for (const auto& k : a.keys)
    if (k.type == type && !k.keys.empty()) return &k;
  return nullptr;
}

}  // namespace quarvel::assets_test
