#pragma once
// What a model file holds, as plain data: the frame hierarchy, the meshes
// with their materials, and the animation sets. The scene graph turns this
// into frames, mesh builders and animations; the reader knows nothing of it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quarvel::xfile {

enum class Encoding { Text, Binary, TextZip, BinaryZip };

// "txt", "bin", "tzip" or "bzip", as written in the file's header.
const char* encoding_name(Encoding e);

struct Vec2 {
  float u = 0, v = 0;
};
struct Vec3 {
  float x = 0, y = 0, z = 0;
};
struct Color {
  float r = 1, g = 1, b = 1, a = 1;
};

// A 4x4 matrix in the file's order: row vectors, so a point p maps to
// p * m and the translation sits in elements 12, 13, 14.
using Matrix = std::array<float, 16>;
constexpr Matrix identity_matrix() {
  return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

struct Material {
  std::string name;
  Color face_color;  // diffuse colour with alpha
  float power = 0;   // specular exponent
  Vec3 specular{0, 0, 0};
  Vec3 emissive{0, 0, 0};
  std::vector<std::string> textures;  // file names as written, in order
};

struct Mesh {
  std::string name;
  // Counts as the file declares them.
  uint32_t declared_vertices = 0;
  uint32_t declared_faces = 0;
  uint32_t declared_materials = 0;

  std::vector<Vec3> positions;
  // Polygons as declared: face_sizes[f] indices each, one after the other.
  std::vector<uint32_t> face_sizes;
  std::vector<uint32_t> face_indices;
  // Polygons cut into fans: three vertex indices per triangle, and the
  // polygon each triangle comes from. Faces with fewer than three vertices
  // give no triangle.
  std::vector<uint32_t> triangles;
  std::vector<uint32_t> triangle_faces;

  // Normals: their own array and, parallel to face_indices, the normal of
  // each polygon corner. Empty when the file gives none or when its normal
  // faces do not match the polygons.
  std::vector<Vec3> normals;
  std::vector<uint32_t> normal_indices;

  std::vector<Vec2> uvs;        // one per vertex, or empty
  std::vector<Color> colors;    // one per vertex, or empty
  // The materials the material list gives, at most as many as it counts
  // (declared_materials). When its faces use a material it does not give,
  // plain ones fill the list up to the highest used, so every index of
  // face_materials is below materials.size().
  std::vector<Material> materials;
  std::vector<uint32_t> face_materials;  // one per polygon, or empty
};

struct Frame {
  std::string name;
  Matrix transform = identity_matrix();
  std::vector<Frame> children;
  std::vector<uint32_t> meshes;  // indices into Model::meshes
};

enum class KeyType : uint32_t { Rotation = 0, Scale = 1, Position = 2, Matrix = 3, MatrixKey = 4 };

struct Key {
  uint32_t time = 0;
  uint32_t count = 0;  // values given (those past 16 are dropped)
  // Rotation: w, x, y, z of a quaternion; scale and position: x, y, z;
  // matrix: 16 values in the file's order.
  std::array<float, 16> values{};
};

struct AnimationKeys {
  uint32_t type = 0;  // 0 rotation, 1 scale, 2 position, 3 and 4 matrix
  std::vector<Key> keys;
};

struct Animation {
  std::string name;
  std::string frame;  // name of the frame it moves
  std::vector<AnimationKeys> keys;
  bool has_options = false;  // an AnimationOptions was given (the last one counts)
  bool closed = true;
  bool spline = false;
};

struct AnimationSet {
  std::string name;
  std::vector<Animation> animations;
};

struct Model {
  Encoding encoding = Encoding::Text;
  int float_bits = 32;
  int version_major = 3;
  int version_minor = 3;
  std::vector<Frame> frames;        // top-level frames
  std::vector<Mesh> meshes;         // every mesh in file order
  std::vector<uint32_t> top_meshes; // meshes outside any frame
  std::vector<Material> materials;  // materials declared outside meshes
  std::vector<AnimationSet> animation_sets;
  uint32_t ticks_per_second = 0;    // 0 when the file does not say
};

// Every frame in the order met in the file, with its depth (1 = top level).
struct FrameRef {
  const Frame* frame;
  int depth;
};
std::vector<FrameRef> flatten_frames(const Model& model);

}  // namespace quarvel::xfile
