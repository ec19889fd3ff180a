#include "platform/retained/wrap.h"

namespace quarvel::rm {

void Wrap::axes(Vec3& x, Vec3& y, Vec3& z) const {
  if (!normalize(p_.direction, z)) z = {0, 0, 1};
  if (normalize(cross(p_.up, z), x)) {
    y = cross(z, x);
    return;
  }
  const Vec3 candidates[3] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
  const Vec3* best = &candidates[0];
  for (const Vec3& c : candidates)
    if (std::fabs(dot(c, z)) < std::fabs(dot(*best, z))) best = &c;
  normalize(cross(*best, z), x);
  y = cross(z, x);
}

bool Wrap::apply_with(const Mat4& to_space, MeshBase& mesh) const {
  Vec3 x, y, z;
  axes(x, y, z);
  const auto& pos = mesh.positions();
  std::vector<Vec3> vertex_normals;
  if (p_.type == WrapType::Chrome) {
    // Normal of each vertex: the average of the face corner normals using it.
    vertex_normals.assign(pos.size(), Vec3{});
    for (const Face& f : mesh.faces()) {
      for (size_t k = 0; k < f.vertices.size(); ++k) {
        Vec3 n;
        if (!f.normals.empty()) {
          n = mesh.normals()[f.normals[k]];
        } else {
          const Vec3& a = pos[f.vertices[0]];
          n = cross(pos[f.vertices[1]] - a, pos[f.vertices[2]] - a);
        }
        vertex_normals[f.vertices[k]] += n;
      }
    }
  }
  for (size_t i = 0; i < pos.size(); ++i) {
    float u, v;
    if (p_.type == WrapType::Chrome) {
      Vec3 n;
      if (!normalize(to_space.transform_vector(vertex_normals[i]), n)) n = {0, 0, -1};
      u = p_.ou + p_.su * (0.5f + 0.5f * dot(n, x));
      v = p_.ov + p_.sv * (0.5f - 0.5f * dot(n, y));
    } else {
      Vec3 d = to_space.transform_point(pos[i]) - p_.origin;
      u = p_.ou + p_.su * dot(d, x);
      v = p_.ov + p_.sv * dot(d, y);
    }
    if (!std::isfinite(u)) u = 0;
    if (!std::isfinite(v)) v = 0;
    mesh.set_texture_coordinates(static_cast<uint32_t>(i), u, v);
  }
  return true;
}

bool Wrap::apply(MeshBase& mesh) const {
  // Without a frame for the mesh, its coordinates are taken as world ones.
  Mat4 to_space = reference_ ? reference_->world_transform().inverse() : Mat4{};
  return apply_with(to_space, mesh);
}

bool Wrap::apply_relative(const Frame& frame, MeshBase& mesh) const {
  Mat4 w = frame.world_transform();
  Mat4 to_space = reference_ ? reference_->world_transform().inverse() * w : w;
  return apply_with(to_space, mesh);
}

}  // namespace quarvel::rm
