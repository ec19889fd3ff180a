#include "geometry.h"

#include <algorithm>
#include <cmath>

namespace quarvel::assets {

float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float length(Vec3 a) { return std::sqrt(dot(a, a)); }
Vec3 normalize(Vec3 a) {
  float l = length(a);
  if (l <= 1e-20f) return {0, 1, 0};
  return a * (1.0f / l);
}
Vec3 lerp(Vec3 a, Vec3 b, float t) { return a + (b - a) * t; }

Mat4 operator*(const Mat4& a, const Mat4& b) {
  Mat4 r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0;
      for (int k = 0; k < 4; ++k) s += a.at(i, k) * b.at(k, j);
      r.at(i, j) = s;
    }
  return r;
}

Mat4 translation(Vec3 t) {
  Mat4 r;
  r.at(3, 0) = t.x;
  r.at(3, 1) = t.y;
  r.at(3, 2) = t.z;
  return r;
}

Mat4 scaling(Vec3 s) {
  Mat4 r;
  r.at(0, 0) = s.x;
  r.at(1, 1) = s.y;
  r.at(2, 2) = s.z;
  return r;
}

// Rotations in the left-handed convention: a positive angle about an axis
// turns clockwise when looking along the axis towards the origin... the usual
// Direct3D-style row-vector matrices.
namespace {
// Turns axis i towards axis j by `a`; the third axis stays.
Mat4 plane_rotation(float a, int i, int j) {
  Mat4 r;
  float c = std::cos(a), s = std::sin(a);
  r.at(i, i) = c;
  r.at(i, j) = s;
  r.at(j, i) = -s;
  r.at(j, j) = c;
  return r;
}
}  // namespace
Mat4 rotation_x(float a) { return plane_rotation(a, 1, 2); }
Mat4 rotation_y(float a) { return plane_rotation(a, 2, 0); }
Mat4 rotation_z(float a) { return plane_rotation(a, 0, 1); }

Mat4 look_frame(Vec3 pos, Vec3 dir, Vec3 up) {
  Vec3 z = normalize(dir);
  Vec3 x = cross(up, z);
  if (length(x) < 1e-6f) x = cross(Vec3{0, 0, 1}, z);
  if (length(x) < 1e-6f) x = {1, 0, 0};
  x = normalize(x);
  Vec3 y = cross(z, x);
  Mat4 r;
  r.at(0, 0) = x.x; r.at(0, 1) = x.y; r.at(0, 2) = x.z;
  r.at(1, 0) = y.x; r.at(1, 1) = y.y; r.at(1, 2) = y.z;
  r.at(2, 0) = z.x; r.at(2, 1) = z.y; r.at(2, 2) = z.z;
  r.at(3, 0) = pos.x; r.at(3, 1) = pos.y; r.at(3, 2) = pos.z;
  return r;
}

Vec3 transform_point(const Mat4& m, Vec3 p) {
  return {p.x * m.at(0, 0) + p.y * m.at(1, 0) + p.z * m.at(2, 0) + m.at(3, 0),
          p.x * m.at(0, 1) + p.y * m.at(1, 1) + p.z * m.at(2, 1) + m.at(3, 1),
          p.x * m.at(0, 2) + p.y * m.at(1, 2) + p.z * m.at(2, 2) + m.at(3, 2)};
}
Vec3 transform_dir(const Mat4& m, Vec3 d) {
  return {d.x * m.at(0, 0) + d.y * m.at(1, 0) + d.z * m.at(2, 0),
          d.x * m.at(0, 1) + d.y * m.at(1, 1) + d.z * m.at(2, 1),
          d.x * m.at(0, 2) + d.y * m.at(1, 2) + d.z * m.at(2, 2)};
}

Quat quat_from_matrix(const Mat4& mm) {
  // Textbook conversion of a rotation matrix R (R[i][j] = m.at(i, j)).
  auto R = [&](int i, int j) { return static_cast<double>(mm.at(i, j)); };
  double tr = R(0, 0) + R(1, 1) + R(2, 2);
  double w, x, y, z;
  if (tr > 0) {
    double s = std::sqrt(tr + 1.0) * 2;
    w = 0.25 * s;
    x = (R(2, 1) - R(1, 2)) / s;
    y = (R(0, 2) - R(2, 0)) / s;
    z = (R(1, 0) - R(0, 1)) / s;
  } else if (R(0, 0) > R(1, 1) && R(0, 0) > R(2, 2)) {
    double s = std::sqrt(1.0 + R(0, 0) - R(1, 1) - R(2, 2)) * 2;
    w = (R(2, 1) - R(1, 2)) / s;
    x = 0.25 * s;
    y = (R(0, 1) + R(1, 0)) / s;
    z = (R(0, 2) + R(2, 0)) / s;
  } else if (R(1, 1) > R(2, 2)) {
    double s = std::sqrt(1.0 + R(1, 1) - R(0, 0) - R(2, 2)) * 2;
    w = (R(0, 2) - R(2, 0)) / s;
    x = (R(0, 1) + R(1, 0)) / s;
    y = 0.25 * s;
    z = (R(1, 2) + R(2, 1)) / s;
  } else {
    double s = std::sqrt(1.0 + R(2, 2) - R(0, 0) - R(1, 1)) * 2;
    w = (R(1, 0) - R(0, 1)) / s;
    x = (R(0, 2) + R(2, 0)) / s;
    y = (R(1, 2) + R(2, 1)) / s;
    z = 0.25 * s;
  }
  double n = std::sqrt(w * w + x * x + y * y + z * z);
  if (n <= 0) return {};
  Quat q{static_cast<float>(w / n), static_cast<float>(x / n), static_cast<float>(y / n),
         static_cast<float>(z / n)};
  if (q.w < 0) q = {-q.w, -q.x, -q.y, -q.z};
  return q;
}

Mat4 matrix_from_quat(const Quat& q) {
  float w = q.w, x = q.x, y = q.y, z = q.z;
  Mat4 r;
  r.at(0, 0) = 1 - 2 * (y * y + z * z);
  r.at(0, 1) = 2 * (x * y - w * z);
  r.at(0, 2) = 2 * (x * z + w * y);
  r.at(1, 0) = 2 * (x * y + w * z);
  r.at(1, 1) = 1 - 2 * (x * x + z * z);
  r.at(1, 2) = 2 * (y * z - w * x);
  r.at(2, 0) = 2 * (x * z - w * y);
  r.at(2, 1) = 2 * (y * z + w * x);
  r.at(2, 2) = 1 - 2 * (x * x + y * y);
  return r;
}

int MeshData::add_material(const Material& m) {
  materials.push_back(m);
  return static_cast<int>(materials.size()) - 1;
}

int MeshData::add_vertex(Vec3 pos, Vec3 normal, float u, float v) {
  Vertex vx;
  vx.pos = transform_point(xf, pos);
  vx.normal = normalize(transform_dir(xf, normal));
  vx.u = u;
  vx.v = v;
  vertices.push_back(vx);
  return static_cast<int>(vertices.size()) - 1;
}

void MeshData::add_triangle(int a, int b, int c) {
  const Vertex &A = vertices[a], &B = vertices[b], &C = vertices[c];
  Vec3 fn = cross(B.pos - A.pos, C.pos - A.pos);
  if (length(fn) < 1e-12f) return;  // degenerate: drop it
  Vec3 vn = A.normal + B.normal + C.normal;
  if (dot(fn, vn) < 0) std::swap(b, c);
  faces.push_back({a, b, c});
  face_material.push_back(mat);
  quad_start.push_back(false);
}

void MeshData::add_quad(int a, int b, int c, int d) {
  const size_t before = faces.size();
  add_triangle(a, b, c);
  add_triangle(a, c, d);
  if (faces.size() == before + 2) quad_start[before] = true;
}

void MeshData::add_lattice_quads(int base, int rows, int cols) {
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < cols; ++j) {
      int a = base + i * (cols + 1) + j;
      add_quad(a, a + 1, a + cols + 2, a + cols + 1);
    }
}

void MeshData::box(Vec3 c, Vec3 s) {
  Vec3 h = s * 0.5f;
  struct Face {
    Vec3 n, u, v;
  };
  const Face fs[6] = {
      {{0, 0, -1}, {1, 0, 0}, {0, -1, 0}}, {{0, 0, 1}, {-1, 0, 0}, {0, -1, 0}},
      {{-1, 0, 0}, {0, 0, -1}, {0, -1, 0}}, {{1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
      {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},   {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}},
  };
  for (const Face& f : fs) {
    Vec3 center = c + Vec3{f.n.x * h.x, f.n.y * h.y, f.n.z * h.z};
    Vec3 du = {f.u.x * h.x, f.u.y * h.y, f.u.z * h.z};
    Vec3 dv = {f.v.x * h.x, f.v.y * h.y, f.v.z * h.z};
    int i0 = add_vertex(center - du - dv, f.n, 0, 0);
    int i1 = add_vertex(center + du - dv, f.n, 1, 0);
    int i2 = add_vertex(center + du + dv, f.n, 1, 1);
    int i3 = add_vertex(center - du + dv, f.n, 0, 1);
    add_quad(i0, i1, i2, i3);
  }
}

void MeshData::lathe(const std::vector<std::array<float, 2>>& prof, int segs, bool caps,
                     bool inward, float u_turns) {
  const int n = static_cast<int>(prof.size());
  if (n < 2 || segs < 3) return;
  // Profile normals from the neighbouring points.
  std::vector<std::array<float, 2>> pn(n);
  for (int i = 0; i < n; ++i) {
    int a = std::max(0, i - 1), b = std::min(n - 1, i + 1);
    float dr = prof[b][0] - prof[a][0], dy = prof[b][1] - prof[a][1];
    float nr = dy, ny = -dr;  // outward for a profile going upwards
    float l = std::sqrt(nr * nr + ny * ny);
    if (l < 1e-9f) { nr = 1; ny = 0; l = 1; }
    pn[i] = {nr / l, ny / l};
  }
  float total = 0;
  std::vector<float> vs(n, 0.0f);
  for (int i = 1; i < n; ++i) {
    float dr = prof[i][0] - prof[i - 1][0], dy = prof[i][1] - prof[i - 1][1];
    total += std::sqrt(dr * dr + dy * dy);
    vs[i] = total;
  }
  const int base = static_cast<int>(vertices.size());
  for (int i = 0; i < n; ++i) {
    const float r = std::fabs(prof[i][0]) < 1e-4f ? 0.0f : prof[i][0];  // poles meet exactly
    for (int s = 0; s <= segs; ++s) {
      float a = 2 * kPi * s / segs;
      float ca = std::cos(a), sa = std::sin(a);
      Vec3 p{r * ca, prof[i][1], r * sa};
      Vec3 nn{pn[i][0] * ca, pn[i][1], pn[i][0] * sa};
      if (inward) nn = nn * -1.0f;
      float v = total > 0 ? 1.0f - vs[i] / total : 0.0f;
      add_vertex(p, nn, u_turns * s / segs, v);
    }
  }
  add_lattice_quads(base, n - 1, segs);
  if (!caps || inward) return;
  for (int end = 0; end < 2; ++end) {
    const auto& p = end == 0 ? prof.front() : prof.back();
    if (p[0] <= 1e-6f) continue;
    Vec3 nrm{0, end == 0 ? -1.0f : 1.0f, 0};
    int centre = add_vertex({0, p[1], 0}, nrm, 0.5f, 0.5f);
    int first = static_cast<int>(vertices.size());
    for (int s = 0; s <= segs; ++s) {
      float a = 2 * kPi * s / segs;
      add_vertex({p[0] * std::cos(a), p[1], p[0] * std::sin(a)}, nrm, 0.5f + 0.5f * std::cos(a),
                 0.5f + 0.5f * std::sin(a));
    }
    for (int s = 0; s < segs; ++s) add_triangle(centre, first + s, first + s + 1);
  }
}

void MeshData::cylinder(float r, float y0, float y1, int segs, bool caps) {
  lathe({{r, y0}, {r, y1}}, segs, caps);
}

void MeshData::cone(float r, float y0, float y1, int segs) {
  lathe({{r, y0}, {r * 0.5f, (y0 + y1) * 0.5f}, {0.0f, y1}}, segs, true);
}

void MeshData::ellipsoid(Vec3 c, Vec3 radii, int segs, int rings) {
  const int base = static_cast<int>(vertices.size());
  for (int i = 0; i <= rings; ++i) {
    float b = -kPi / 2 + kPi * i / rings;
    for (int s = 0; s <= segs; ++s) {
      float a = 2 * kPi * s / segs;
      const float cb = (i == 0 || i == rings) ? 0.0f : std::cos(b);  // poles meet exactly
      Vec3 unit{cb * std::cos(a), i == 0 ? -1.0f : (i == rings ? 1.0f : std::sin(b)), cb * std::sin(a)};
      Vec3 p = c + Vec3{unit.x * radii.x, unit.y * radii.y, unit.z * radii.z};
      Vec3 n{unit.x / std::max(radii.x, 1e-6f), unit.y / std::max(radii.y, 1e-6f),
             unit.z / std::max(radii.z, 1e-6f)};
      add_vertex(p, normalize(n), static_cast<float>(s) / segs,
                 1.0f - static_cast<float>(i) / rings);
    }
  }
  add_lattice_quads(base, rings, segs);
}

void MeshData::grid(float x0, float x1, float z0, float z1, int nx, int nz,
                    const std::function<float(float, float)>& height, float tile) {
  const int base = static_cast<int>(vertices.size());
  auto h = [&](float x, float z) { return height ? height(x, z) : 0.0f; };
  float dx = (x1 - x0) / nx, dz = (z1 - z0) / nz;
  for (int j = 0; j <= nz; ++j)
    for (int i = 0; i <= nx; ++i) {
      float x = x0 + dx * i, z = z0 + dz * j;
      float hx = h(x + dx * 0.5f, z) - h(x - dx * 0.5f, z);
      float hz = h(x, z + dz * 0.5f) - h(x, z - dz * 0.5f);
      Vec3 n = normalize({-hx / dx, 1.0f, -hz / dz});
      add_vertex({x, h(x, z), z}, n, x / tile, -z / tile);
    }
  add_lattice_quads(base, nz, nx);
}

void MeshData::panel(Vec3 c, float w, float h) {
  for (int side = 0; side < 2; ++side) {
    Vec3 n{0, 0, side == 0 ? -1.0f : 1.0f};
    float du = side == 0 ? 1.0f : -1.0f;
    int a = add_vertex(c + Vec3{-w / 2 * du, h / 2, 0}, n, 0, 0);
    int b = add_vertex(c + Vec3{w / 2 * du, h / 2, 0}, n, 1, 0);
    int d = add_vertex(c + Vec3{w / 2 * du, -h / 2, 0}, n, 1, 1);
    int e = add_vertex(c + Vec3{-w / 2 * du, -h / 2, 0}, n, 0, 1);
    add_quad(a, b, d, e);
  }
}

void MeshData::torus(float major, float minor, int segs, int sides) {
  const int base = static_cast<int>(vertices.size());
  for (int i = 0; i <= segs; ++i) {
    float a = 2 * kPi * i / segs;
    Vec3 ring{std::cos(a), 0, std::sin(a)};
    for (int j = 0; j <= sides; ++j) {
      float b = 2 * kPi * j / sides;
      Vec3 n = ring * std::cos(b) + Vec3{0, std::sin(b), 0};
      add_vertex(ring * major + n * minor, n, static_cast<float>(i) / segs,
                 static_cast<float>(j) / sides);
    }
  }
  add_lattice_quads(base, segs, sides);
}

void MeshData::displace(int from, const std::function<Vec3(Vec3)>& f) {
  for (size_t i = static_cast<size_t>(from); i < vertices.size(); ++i)
    vertices[i].pos = f(vertices[i].pos);
}

void MeshData::recompute_normals(int from_vertex) {
  const size_t from = static_cast<size_t>(from_vertex);
  std::vector<Vec3> acc(vertices.size(), Vec3{});
  for (size_t f = 0; f < faces.size(); ++f) {
    const auto& t = faces[f];
    if (static_cast<size_t>(t[0]) < from) continue;
    Vec3 n = cross(vertices[t[1]].pos - vertices[t[0]].pos, vertices[t[2]].pos - vertices[t[0]].pos);
    for (int k = 0; k < 3; ++k) acc[t[k]] = acc[t[k]] + n;
  }
  for (size_t i = from; i < vertices.size(); ++i)
    if (length(acc[i]) > 1e-12f) vertices[i].normal = normalize(acc[i]);
}

float lattice_hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
               seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return static_cast<float>(h & 0xFFFFFF) / 16777216.0f;
}

float value_noise(float x, float y, uint32_t seed) {
  return lattice_noise(x, y, [seed](int i, int j) { return lattice_hash(i, j, seed) * 2.0f - 1.0f; });
}

}  // namespace quarvel::assets
