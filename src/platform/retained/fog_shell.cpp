#include "platform/retained/fog_shell.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <unordered_map>
#include <utility>

#include "platform/retained/viewport.h"

namespace quarvel::rm {

namespace {

using D3 = FogShell::Point;
D3 sub(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 cross(const D3& a, const D3& b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double length(const D3& a) { return std::sqrt(dot(a, a)); }

// `p` through `m` (an affine matrix, as the scene program applies it).
D3 apply(const Mat4& m, const D3& p) {
  const auto& a = m.m;
  return {a[0][0] * p.x + a[0][1] * p.y + a[0][2] * p.z + a[0][3],
          a[1][0] * p.x + a[1][1] * p.y + a[1][2] * p.z + a[1][3],
          a[2][0] * p.x + a[2][1] * p.y + a[2][2] * p.z + a[2][3]};
}

// The sides of the view a camera-space point lies beyond: left, right,
// bottom, top (as clip-space x and y against w, each a half-space of camera
// space) and before the front plane.
unsigned outside(const RenderList& list, const D3& e) {
  const auto& p = list.projection.m;
  auto row = [&](int r) { return p[r][0] * e.x + p[r][1] * e.y + p[r][2] * e.z + p[r][3]; };
  const double x = row(0), y = row(1), w = row(3);
  return (x < -w ? 1u : 0u) | (x > w ? 2u : 0u) | (y < -w ? 4u : 0u) | (y > w ? 8u : 0u) |
         (e.z < list.front ? 16u : 0u);
}

// Whether a ray from the origin along `d` crosses the triangle (a, b, c);
// `unclear` is set when it passes too near an edge or corner to say.
bool crosses(const D3& d, const D3& a, const D3& b, const D3& c, bool& unclear) {
  const D3 e1 = sub(b, a), e2 = sub(c, a);
  const D3 p = cross(d, e2);
  const double det = dot(e1, p);
  const double scale = length(e1) * length(e2);
  if (std::fabs(det) <= 1e-12 * scale) return false;  // edge-on or no area
  const D3 s = sub({0, 0, 0}, a);
  const double u = dot(s, p) / det;
  const D3 q = cross(s, e1);
  const double v = dot(d, q) / det;
  const double t = dot(e2, q) / det;
  constexpr double kNear = 1e-7;
  if (std::fabs(u) < kNear || std::fabs(v) < kNear || std::fabs(1 - u - v) < kNear) unclear = true;
  return u > 0 && v > 0 && u + v < 1 && t > 0;
}

}  // namespace

bool FogShell::closed(const TriangleBuffer& tb) {
  if (tb.indices.empty()) return false;
  const double extent =
      std::max({tb.box.max.x - tb.box.min.x, tb.box.max.y - tb.box.min.y, tb.box.max.z - tb.box.min.z});
  if (!(extent > 0)) return false;
  const double cell = extent * 1e-6;
  std::map<std::array<long long, 3>, uint32_t> cells;
  std::vector<uint32_t> weld(tb.vertices.size());
  for (size_t i = 0; i < tb.vertices.size(); ++i) {
    const float* p = tb.vertices[i].position;
    const std::array<long long, 3> key = {std::llround(p[0] / cell), std::llround(p[1] / cell),
                                          std::llround(p[2] / cell)};
    weld[i] = cells.try_emplace(key, static_cast<uint32_t>(cells.size())).first->second;
  }
  std::unordered_map<uint64_t, int> edges;
  for (size_t t = 0; t + 2 < tb.indices.size(); t += 3) {
    const uint32_t v[3] = {weld[tb.indices[t]], weld[tb.indices[t + 1]], weld[tb.indices[t + 2]]};
    if (v[0] == v[1] || v[1] == v[2] || v[0] == v[2]) continue;  // a point or a line: no surface
    for (int k = 0; k < 3; ++k) {
      const uint64_t a = std::min(v[k], v[(k + 1) % 3]), b = std::max(v[k], v[(k + 1) % 3]);
      ++edges[a << 32 | b];
    }
  }
  if (edges.empty()) return false;
  for (const auto& [edge, count] : edges)
    if (count != 2) return false;
  return true;
}

bool FogShell::closed_cached(uint64_t mesh_id, uint32_t shape_revision, const TriangleBuffer& tb) {
  Closed& c = closed_[mesh_id];
  if (c.shape_revision != shape_revision || c.flat != tb.flat) {
    c.shape_revision = shape_revision;
    c.flat = tb.flat;
    c.closed = closed(tb);
  }
  return c.closed;
}

size_t FogShell::find(const RenderList& list, bool clear_replaceable) {
  if (!clear_replaceable || !list.fog.enabled) return kNone;
  // Beyond this camera-space depth the scene program's fog factor is zero,
  // leaving the fog colour alone; with a margin for the program's rounding.
  const double fog_end = list.fog.end > list.fog.start ? list.fog.end : list.fog.start;
  const double beyond = fog_end + 1e-3 * std::max(1.0, std::fabs(fog_end));
  const double before_back = list.back * (1 - 1e-3);
  // A mirroring projection turns every triangle's winding on the screen.
  const bool mirrored = list.projection.m[0][0] * list.projection.m[1][1] < 0;
  // How window depth grows with 1 / camera-space depth (GL's projection).
  const double depth_slope = 0.5 * std::fabs(list.projection.m[2][3]);
  if (!(depth_slope > 0)) return kNone;
  const Vec3 camera = list.view.inverse().origin();

  for (size_t i = 0; i < list.items.size(); ++i) {
    const DrawItem& item = list.items[i];
    if (!item.triangles || !quality::solid(item.quality) || quality::wireframe(item.quality)) continue;
    const TriangleBuffer& tb = *item.triangles;
    if (tb.batches.empty()) continue;
    bool plain = true;
    for (const RenderBatch& b : tb.batches) plain &= !b.transparent && !b.texture;
    if (!plain) continue;
    // The camera inside the mesh is inside its box: a cheap first test.
    const Vec3 c = item.world.inverse().transform_point(camera);
    if (c.x < tb.box.min.x || c.y < tb.box.min.y || c.z < tb.box.min.z || c.x > tb.box.max.x ||
        c.y > tb.box.max.y || c.z > tb.box.max.z)
      continue;
    if (!closed_cached(item.mesh_id, item.shape_revision, tb)) continue;

    const Mat4 model_view = list.view * item.world;
    // Kept from frame to frame: this runs for the sky on every frame.
    std::vector<D3>& eye = eye_;
    std::vector<unsigned>& sides = sides_;
    eye.resize(tb.vertices.size());
    sides.resize(tb.vertices.size());
    for (size_t v = 0; v < eye.size(); ++v) {
      const float* p = tb.vertices[v].position;
      eye[v] = apply(model_view, {p[0], p[1], p[2]});
      sides[v] = outside(list, eye[v]);
    }
    bool fogged = true, shows = false;
    double nearest = INFINITY;  // of the planes of the triangles that may show
    double deepest = 0;         // their farthest corner's camera-space depth
    for (size_t t = 0; t + 2 < tb.indices.size() && fogged; t += 3) {
      const uint32_t a = tb.indices[t], b = tb.indices[t + 1], d = tb.indices[t + 2];
      if (sides[a] & sides[b] & sides[d]) continue;  // wholly beyond one side: never drawn
      const D3 n = cross(sub(eye[b], eye[a]), sub(eye[d], eye[a]));
      const double area = length(n);
      if (!(area > 0)) continue;  // no area: draws nothing
      // Drawn only from the front, the side (b - a) x (d - a) points to: the
      // camera must be on it, or the triangle is culled and paints nothing.
      fogged &= (dot(n, eye[a]) < -1e-6 * area * length(eye[a])) != mirrored;
      for (uint32_t v : {a, b, d}) {
        fogged &= eye[v].z >= beyond && eye[v].z <= before_back;
        deepest = std::max(deepest, eye[v].z);
      }
      nearest = std::min(nearest, std::fabs(dot(n, eye[a])) / area);
      shows = true;
    }
    if (!fogged || !shows) continue;

    // Every ray of the view meets a closed mesh round the camera: one ray
    // crossing it an odd number of times says the camera is inside.
    bool inside = false, decided = false;
    const D3 rays[] = {{0.3127, 0.7519, 0.5801}, {-0.6173, 0.2236, -0.7542}, {0.4472, -0.8165, 0.3651}};
    for (const D3& d : rays) {
      bool unclear = false;
      int crossings = 0;
      for (size_t t = 0; t + 2 < tb.indices.size(); t += 3)
        crossings += crosses(d, eye[tb.indices[t]], eye[tb.indices[t + 1]], eye[tb.indices[t + 2]], unclear);
      if (unclear) continue;
      inside = crossings % 2 == 1;
      decided = true;
      break;
    }
    if (!decided || !inside) continue;

    // Everything else nearer than those planes, all round: on every ray it
    // is met before the shell, so the shell hides nothing that shows. Nearer
    // by 16 steps of a 24-bit depth buffer at least, so that the two never
    // round to one depth (where the shell, drawn last, would win).
    const double ratio = 1 + 16.0 / (1 << 24) * deepest / depth_slope + 1e-3;
    const double within = nearest / ratio;
    bool alone = true;
    for (size_t j = 0; j < list.items.size() && alone; ++j) {
      const DrawItem& other = list.items[j];
      if (j == i || !other.triangles) continue;
      if (other.triangles == item.triangles && std::equal(&other.world.m[0][0], &other.world.m[0][0] + 16, &item.world.m[0][0]))
        continue;  // the same item listed twice
      const Box& box = other.triangles->box;
      const Mat4 mv = list.view * other.world;
      for (int k = 0; k < 8 && alone; ++k) {
        const D3 corner = apply(mv, {(k & 1) ? box.max.x : box.min.x, (k & 2) ? box.max.y : box.min.y,
                                     (k & 4) ? box.max.z : box.min.z});
        alone = length(corner) < within;
      }
    }
    if (alone) return i;
  }
  return kNone;
}

}  // namespace quarvel::rm
