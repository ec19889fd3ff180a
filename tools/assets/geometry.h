#pragma once
// Small geometry kit for the generated models: vectors, row-vector matrices
// (the model files' convention: v' = v * M, translation in the last row),
// quaternions in the model files' key order, and a mesh under construction.
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarvel::assets {

struct Vec3 {
  float x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
float dot(Vec3 a, Vec3 b);
Vec3 cross(Vec3 a, Vec3 b);
float length(Vec3 a);
Vec3 normalize(Vec3 a);
Vec3 lerp(Vec3 a, Vec3 b, float t);

// Row-vector 4x4 matrix: rows 0..2 are the frame's x, y and z axes seen from
// its parent, row 3 its origin.
struct Mat4 {
  std::array<float, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  float& at(int r, int c) { return m[r * 4 + c]; }
  float at(int r, int c) const { return m[r * 4 + c]; }
};
Mat4 operator*(const Mat4& a, const Mat4& b);  // a then b
Mat4 translation(Vec3 t);
Mat4 scaling(Vec3 s);
Mat4 rotation_x(float radians);
Mat4 rotation_y(float radians);
Mat4 rotation_z(float radians);
// A frame at `pos` whose z axis looks along `dir` with `up` as its y axis.
Mat4 look_frame(Vec3 pos, Vec3 dir, Vec3 up = {0, 1, 0});
Vec3 transform_point(const Mat4& m, Vec3 p);
Vec3 transform_dir(const Mat4& m, Vec3 d);

// Quaternion in the order the model files store it (w, x, y, z), such that
// the 3x3 part of a frame's row-vector matrix equals the textbook rotation
// matrix of (w, x, y, z).
struct Quat {
  float w = 1, x = 0, y = 0, z = 0;
};
Quat quat_from_matrix(const Mat4& m);
Mat4 matrix_from_quat(const Quat& q);

struct Material {
  float r = 0.8f, g = 0.8f, b = 0.8f, a = 1.0f;
  float power = 10.0f;
  float sr = 0.2f, sg = 0.2f, sb = 0.2f;
  float er = 0, eg = 0, eb = 0;
  std::string texture;  // empty: none
};

struct Vertex {
  Vec3 pos;
  Vec3 normal;
  float u = 0, v = 0;
};

// A mesh under construction. Everything added goes through `xf` and uses
// material `mat`. Triangles are stored in the order that makes their face
// normal (b - a) x (c - a) agree with their vertex normals, which is the front
// side for the renderer.
class MeshData {
 public:
  std::vector<Vertex> vertices;
  std::vector<std::array<int, 3>> faces;
  std::vector<int> face_material;
  // Per face: it and the next are the two halves of one quad (add_quad).
  std::vector<bool> quad_start;
  // Write each quad as one four-sided face rather than two triangles: the
  // same triangles when drawn solid, but a wireframe of it shows the quad's
  // four sides without the diagonal.
  bool write_quads = false;
  std::vector<Material> materials;

  Mat4 xf;
  int mat = 0;

  int add_material(const Material& m);
  int add_vertex(Vec3 pos, Vec3 normal, float u, float v);  // transformed by xf
  void add_triangle(int a, int b, int c);
  void add_quad(int a, int b, int c, int d);
  // Quads over a lattice of (rows + 1) x (cols + 1) vertices stored row by
  // row from index `base`.
  void add_lattice_quads(int base, int rows, int cols);

  // Axis-aligned box centred on c (before xf), flat-shaded, each face mapped
  // to the whole texture.
  void box(Vec3 c, Vec3 size);
  // Surface of revolution about the y axis through profile points (radius,
  // height), bottom to top; `segs` around. Caps close a nonzero end radius.
  void lathe(const std::vector<std::array<float, 2>>& profile, int segs, bool caps = true,
             bool inward = false, float u_turns = 1.0f);
  // Cylinder along y from y0 to y1.
  void cylinder(float r, float y0, float y1, int segs, bool caps = true);
  void cone(float r, float y0, float y1, int segs);
  // Sphere (scaled to an ellipsoid by `radii`) centred on c.
  void ellipsoid(Vec3 c, Vec3 radii, int segs, int rings);
  // Height field over x0..x1, z0..z1 with nx by nz cells; texture repeats
  // every `tile` units.
  void grid(float x0, float x1, float z0, float z1, int nx, int nz,
            const std::function<float(float, float)>& height, float tile);
  // A flat panel (both sides) in the local xy plane, centred on c.
  void panel(Vec3 c, float w, float h);
  // Torus about the y axis.
  void torus(float major, float minor, int segs, int sides);

  // Applies `f` to every vertex position added from index `from` on.
  void displace(int from, const std::function<Vec3(Vec3)>& f);
  void recompute_normals(int from_vertex);
  bool empty() const { return faces.empty(); }
};

// While it lives, everything added to `mesh` also goes through `local`
// (before the mesh's own transform); the transform is put back after.
class LocalTransform {
 public:
  LocalTransform(MeshData& mesh, const Mat4& local) : mesh_(mesh), saved_(mesh.xf) {
    mesh_.xf = local * saved_;
  }
  ~LocalTransform() { mesh_.xf = saved_; }
  LocalTransform(const LocalTransform&) = delete;
  LocalTransform& operator=(const LocalTransform&) = delete;

 private:
  MeshData& mesh_;
  Mat4 saved_;
};

// Deterministic pseudo-random numbers (a 32-bit linear congruential
// generator with a fixed seed).
class Rng {
 public:
  explicit Rng(uint32_t seed) : s_(seed) {}
  uint32_t next() {
    s_ = s_ * 1664525u + 1013904223u;
    return s_;
  }
  float uniform() { return static_cast<float>(next() >> 8) / 16777216.0f; }  // [0, 1)
  float range(float a, float b) { return a + (b - a) * uniform(); }

 private:
  uint32_t s_;
};

// A deterministic value in 0..1 for each integer lattice point.
float lattice_hash(int x, int y, uint32_t seed);

// Smooth noise in 2D: the values `at(i, j)` of the integer lattice points
// around (x, y), blended with a smoothstep in each direction.
template <typename Lattice>
float lattice_noise(float x, float y, Lattice at) {
  int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  float fx = x - ix, fy = y - iy;
  fx = fx * fx * (3 - 2 * fx);
  fy = fy * fy * (3 - 2 * fy);
  float a = at(ix, iy), b = at(ix + 1, iy), c = at(ix, iy + 1), d = at(ix + 1, iy + 1);
  float top = a + (b - a) * fx, bottom = c + (d - c) * fx;
  return top + (bottom - top) * fy;
}

// Smooth value noise in 2D, deterministic, values in about -1..1.
float value_noise(float x, float y, uint32_t seed);

constexpr float kPi = 3.14159265358979323846f;

}  // namespace quarvel::assets
