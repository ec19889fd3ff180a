#include "platform/retained/mesh.h"

#include <algorithm>
#include <atomic>
#include <unordered_map>

namespace quarvel::rm {

uint64_t next_object_id() {
  static std::atomic<uint64_t> counter{0};
  return ++counter;
}

uint32_t MeshBase::add_vertex(const Vec3& p, Vec2 uv) {
  positions_.push_back(p);
  uvs_.push_back(uv);
  if (!vertex_colors_.empty()) vertex_colors_.push_back(0xFFFFFFFF);
  touch();
  return static_cast<uint32_t>(positions_.size() - 1);
}

uint32_t MeshBase::add_normal(const Vec3& n) {
  Vec3 u;
  normals_.push_back(normalize(n, u) ? u : Vec3{0, 0, 0});
  touch();
  return static_cast<uint32_t>(normals_.size() - 1);
}

bool MeshBase::add_face(const std::vector<uint32_t>& vertices, const std::vector<uint32_t>& normals,
                       uint32_t color) {
  if (vertices.size() < 3) return false;
  for (uint32_t v : vertices)
    if (v >= positions_.size()) return false;
  if (!normals.empty()) {
    if (normals.size() != vertices.size()) return false;
    for (uint32_t n : normals)
      if (n >= normals_.size()) return false;
  }
  faces_.push_back(Face{vertices, normals, color, nullptr});
  touch();
  return true;
}

void MeshBase::set_vertex_color(uint32_t vertex, uint32_t argb) {
  if (vertex >= positions_.size()) return;
  if (vertex_colors_.empty()) {
    vertex_colors_.assign(positions_.size(), 0xFFFFFFFF);
    // Vertices without a colour of their own take the colour of a face using them.
    for (const Face& f : faces_)
      for (uint32_t v : f.vertices) vertex_colors_[v] = f.color;
  }
  vertex_colors_[vertex] = argb;
  touch();
}

bool MeshBase::set_texture_coordinates(uint32_t vertex, float u, float v) {
  if (vertex >= uvs_.size()) return false;
  if (uvs_[vertex].x == u && uvs_[vertex].y == v) return true;
  uvs_[vertex] = {u, v};
  touch_appearance();
  return true;
}

void MeshBase::scale(float sx, float sy, float sz) {
  for (Vec3& p : positions_) p = {p.x * sx, p.y * sy, p.z * sz};
  // Normals follow the inverse scale; an axis scaled by zero keeps them as they were.
  if (sx != 0 && sy != 0 && sz != 0) {
    for (Vec3& n : normals_) {
      Vec3 u;
      if (normalize(Vec3{n.x / sx, n.y / sy, n.z / sz}, u)) n = u;
    }
  }
  touch();
}

void MeshBase::set_color(uint32_t argb) {
  // When every face already has one colour of the same opacity class, the
  // triangles keep their make-up and only their colour changes.
  bool uniform = !faces_.empty() && ((faces_[0].color >> 24) < 255) == ((argb >> 24) < 255);
  for (size_t i = 1; uniform && i < faces_.size(); ++i) uniform = faces_[i].color == faces_[0].color;
  for (size_t i = 0; uniform && i < vertex_colors_.size(); ++i) uniform = vertex_colors_[i] == faces_[0].color;
  for (Face& f : faces_) f.color = argb;
  for (uint32_t& c : vertex_colors_) c = argb;
  if (uniform)
    touch_appearance();
  else
    touch();
}

void MeshBase::set_color_rgb(float r, float g, float b) {
  auto ch = [](float v) { return static_cast<uint32_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f); };
  set_color(0xFF000000u | ch(r) << 16 | ch(g) << 8 | ch(b));
}

void MeshBase::set_texture(std::shared_ptr<Texture> texture) {
  texture_ = std::move(texture);
  for (Face& f : faces_) f.texture.reset();
  touch();
}

void MeshBase::set_face_texture(size_t face, std::shared_ptr<Texture> texture) {
  if (face >= faces_.size()) return;
  faces_[face].texture = std::move(texture);
  touch();
}

Box MeshBase::box() const {
  if (positions_.empty()) return {};
  Box b{positions_[0], positions_[0]};
  for (const Vec3& p : positions_) {
    b.min = {std::min(b.min.x, p.x), std::min(b.min.y, p.y), std::min(b.min.z, p.z)};
    b.max = {std::max(b.max.x, p.x), std::max(b.max.y, p.y), std::max(b.max.z, p.z)};
  }
  return b;
}

void MeshBase::copy_from(const MeshBase& o) {
  positions_ = o.positions_;
  normals_ = o.normals_;
  uvs_ = o.uvs_;
  vertex_colors_ = o.vertex_colors_;
  faces_ = o.faces_;
  texture_ = o.texture_;
  quality_ = o.quality_;
  perspective_ = o.perspective_;
  set_name(o.name());
  touch();
}

namespace {

Vec3 polygon_normal(const std::vector<Vec3>& pos, const std::vector<uint32_t>& idx) {
  // Newell's method; faces are clockwise seen from the front (left-handed).
  Vec3 n;
  for (size_t i = 0; i < idx.size(); ++i) {
    const Vec3& a = pos[idx[i]];
    const Vec3& b = pos[idx[(i + 1) % idx.size()]];
    n.x += (a.y - b.y) * (a.z + b.z);
    n.y += (a.z - b.z) * (a.x + b.x);
    n.z += (a.x - b.x) * (a.y + b.y);
  }
  Vec3 u;
  return normalize(n, u) ? u : Vec3{0, 0, 0};
}

}  // namespace

const TriangleBuffer& MeshBase::triangles(bool flat) const {
  if (triangles_shape_revision_ == shape_revision_ && triangles_.flat == flat) {
    if (triangles_revision_ != revision_) {
      // Only texture coordinates and colours moved: update them in place,
      // each vertex from the face it was made for (faces of several colours
      // keep theirs when only a wrap is applied again).
      for (size_t i = 0; i < triangles_.vertices.size(); ++i) {
        RenderVertex& rv = triangles_.vertices[i];
        const uint32_t v = triangles_.source[i];
        rv.uv[0] = uvs_[v].x;
        rv.uv[1] = uvs_[v].y;
        rv.color = vertex_colors_.empty() ? faces_[triangles_.source_face[i]].color : vertex_colors_[v];
      }
      triangles_revision_ = revision_;
    }
    return triangles_;
  }
  ++triangle_builds_;
  TriangleBuffer out;
  out.box = box();
  out.flat = flat;

  std::vector<Vec3> face_normals(faces_.size());
  std::vector<Vec3> smooth;  // averaged normals for corners without one
  bool need_smooth = false;
  for (size_t f = 0; f < faces_.size(); ++f) {
    face_normals[f] = polygon_normal(positions_, faces_[f].vertices);
    if (faces_[f].normals.empty()) need_smooth = true;
  }
  if (need_smooth) {
    smooth.assign(positions_.size(), Vec3{});
    for (size_t f = 0; f < faces_.size(); ++f)
      for (uint32_t v : faces_[f].vertices) smooth[v] += face_normals[f];
    for (Vec3& n : smooth) {
      Vec3 u;
      n = normalize(n, u) ? u : Vec3{0, 0, 0};
    }
  }

  // Shared vertices: key (position, normal index or none, colour).
  struct Key {
    uint32_t position, normal, color;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& k) const {
      return (size_t(k.position) * 0x9E3779B1u) ^ (size_t(k.normal) * 0x85EBCA77u) ^ size_t(k.color);
    }
  };
  std::unordered_map<Key, uint32_t, KeyHash> shared;

  // One batch per (texture, opaque/blended), opaque ones first.
  struct Pending {
    std::shared_ptr<Texture> texture;
    bool transparent;
    std::vector<uint32_t> indices;
  };
  std::vector<Pending> pending;
  auto batch_for = [&](const std::shared_ptr<Texture>& t, bool transparent) -> Pending& {
    for (Pending& p : pending)
      if (p.texture == t && p.transparent == transparent) return p;
    pending.push_back(Pending{t, transparent, {}});
    return pending.back();
  };

  std::vector<uint32_t> corner;
  for (size_t f = 0; f < faces_.size(); ++f) {
    const Face& face = faces_[f];
    const size_t n = face.vertices.size();
    auto corner_color = [&](size_t k) {
      return vertex_colors_.empty() ? face.color : vertex_colors_[face.vertices[k]];
    };
    bool transparent = false;
    for (size_t k = 0; k < n; ++k) transparent |= (corner_color(k) >> 24) < 255;
    Pending& batch = batch_for(face.texture ? face.texture : texture_, transparent);
    corner.assign(n, 0);
    for (size_t k = 0; k < n; ++k) {
      uint32_t v = face.vertices[k];
      uint32_t color = corner_color(k);
      uint32_t normal_index = face.normals.empty() ? UINT32_MAX : face.normals[k];
      if (!flat) {
        auto [it, added] = shared.try_emplace(Key{v, normal_index, color}, static_cast<uint32_t>(out.vertices.size()));
        corner[k] = it->second;
        if (!added) continue;
      } else {
        corner[k] = static_cast<uint32_t>(out.vertices.size());
      }
      RenderVertex rv{};
      const Vec3& p = positions_[v];
      Vec3 nn = face.normals.empty() ? smooth[v] : normals_[normal_index];
      const Vec3& fn = flat ? face_normals[f] : nn;
      rv.position[0] = p.x, rv.position[1] = p.y, rv.position[2] = p.z;
      rv.normal[0] = nn.x, rv.normal[1] = nn.y, rv.normal[2] = nn.z;
      rv.face_normal[0] = fn.x, rv.face_normal[1] = fn.y, rv.face_normal[2] = fn.z;
      rv.uv[0] = uvs_[v].x, rv.uv[1] = uvs_[v].y;
      rv.color = color;
      out.vertices.push_back(rv);
      out.source.push_back(v);
      out.source_face.push_back(static_cast<uint32_t>(f));
    }
    for (size_t k = 1; k + 1 < n; ++k) batch.indices.insert(batch.indices.end(), {corner[0], corner[k], corner[k + 1]});
    for (size_t k = 0; k < n; ++k) out.edges.insert(out.edges.end(), {corner[k], corner[(k + 1) % n]});
  }

  std::stable_sort(pending.begin(), pending.end(),
                   [](const Pending& a, const Pending& b) { return !a.transparent && b.transparent; });
  for (Pending& p : pending) {
    uint32_t first = static_cast<uint32_t>(out.indices.size());
    out.batches.push_back(RenderBatch{p.texture, p.transparent, first, static_cast<uint32_t>(p.indices.size())});
    out.indices.insert(out.indices.end(), p.indices.begin(), p.indices.end());
  }
  triangles_ = std::move(out);
  triangles_revision_ = revision_;
  triangles_shape_revision_ = shape_revision_;
  return triangles_;
}

std::shared_ptr<Mesh> MeshBuilder::create_mesh() const {
  auto mesh = std::make_shared<Mesh>();
  mesh->copy_from(*this);
  return mesh;
}

void MeshBuilder::clear() {
  positions_.clear();
  normals_.clear();
  uvs_.clear();
  vertex_colors_.clear();
  faces_.clear();
  touch();
}

}  // namespace quarvel::rm
