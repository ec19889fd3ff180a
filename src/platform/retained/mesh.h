#pragma once
// Meshes and mesh builders: faces made of vertices (positions with texture
// coordinates and optional colours) and normals, with colour, quality and
// texture. A mesh builder is edited freely; CreateMesh copies it into a mesh.
//
// Render quality word (the values the show passes: 64, 137, 201):
//   bits 0-2   shade:  0 flat (one lit colour per face), 1 Gouraud (per vertex);
//                      other values are drawn as Gouraud
//   bits 3-5   light:  0 off (colours as given), 1 (value 8) on
//   bits 6-11  fill:   bit 6 (64) wireframe, bit 7 (128) solid; both set draws
//                      the solid faces and their outlines; neither draws points
//   so 64 = wireframe flat unlit, 137 = solid lit Gouraud, 201 = 137 | 64.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/retained/object.h"

namespace quarvel::rm {

namespace quality {
constexpr uint32_t kShadeMask = 0x7, kShadeFlat = 0, kShadeGouraud = 1;
constexpr uint32_t kLightMask = 0x38, kLightOn = 0x8;
constexpr uint32_t kFillMask = 0xFC0, kFillWireframe = 0x40, kFillSolid = 0x80;
constexpr uint32_t kGouraud = kShadeGouraud | kLightOn | kFillSolid;  // 137
// Outlines only, flat and unlit.
constexpr uint32_t kWireframe = kShadeFlat | kFillWireframe;  // 64
// Solid lit Gouraud faces with their outlines drawn over them.
constexpr uint32_t kGouraudOutlined = kGouraud | kFillWireframe;  // 201
inline bool flat(uint32_t q) { return (q & kShadeMask) == kShadeFlat; }
inline bool lit(uint32_t q) { return (q & kLightMask) != 0; }
inline bool solid(uint32_t q) { return (q & kFillSolid) != 0; }
inline bool wireframe(uint32_t q) { return (q & kFillWireframe) != 0; }
inline bool points(uint32_t q) { return !solid(q) && !wireframe(q); }
}  // namespace quality

struct Box {
  Vec3 min, max;
};

struct Face {
  std::vector<uint32_t> vertices;  // indices into positions (clockwise seen from the front)
  std::vector<uint32_t> normals;   // indices into normals, one per vertex, or empty
  uint32_t color = 0xFFFFFFFF;     // ARGB
  std::shared_ptr<Texture> texture;
};

// Vertex of the triangle list handed to the renderer.
struct RenderVertex {
  float position[3];
  float normal[3];
  float face_normal[3];
  float uv[2];
  uint32_t color;  // ARGB
};

// Triangles of one texture and one kind (opaque or blended): a range of
// TriangleBuffer::indices.
struct RenderBatch {
  std::shared_ptr<Texture> texture;
  bool transparent = false;
  uint32_t first = 0;  // first index
  uint32_t count = 0;  // index count (a multiple of 3)
};

// The mesh as indexed triangles, built from the faces when first asked for
// after a change, then kept. For smooth shading, corners with the same
// vertex, normal and colour share one vertex; for flat shading every face has
// vertices of its own (so any corner carries the face normal). Edge indices
// outline the faces (for wireframe).
struct TriangleBuffer {
  std::vector<RenderVertex> vertices;
  std::vector<uint32_t> indices;
  std::vector<RenderBatch> batches;
  std::vector<uint32_t> edges;  // pairs of vertex indices
  std::vector<uint32_t> source;       // per vertex, the mesh position it came from
  std::vector<uint32_t> source_face;  // per vertex, the face whose colour it carries
  Box box;
  bool flat = false;
  size_t triangle_count() const { return indices.size() / 3; }
};

class MeshBase : public Visual {
 public:
  // Geometry
  uint32_t add_vertex(const Vec3& p, Vec2 uv = {});
  uint32_t add_normal(const Vec3& n);
  // A face of at least three valid vertex indices; normal indices, when given,
  // one per vertex. Returns false (nothing added) otherwise.
  bool add_face(const std::vector<uint32_t>& vertices, const std::vector<uint32_t>& normals = {},
               uint32_t color = 0xFFFFFFFF);
  void set_vertex_color(uint32_t vertex, uint32_t argb);
  bool set_texture_coordinates(uint32_t vertex, float u, float v);
  void scale(float sx, float sy, float sz);

  // Appearance
  void set_color(uint32_t argb);  // every face; alpha kept
  void set_color_rgb(float r, float g, float b);
  void set_quality(uint32_t q) { quality_ = q; }
  uint32_t quality() const { return quality_; }
  void set_texture(std::shared_ptr<Texture> texture);  // every face
  void set_face_texture(size_t face, std::shared_ptr<Texture> texture);
  std::shared_ptr<Texture> texture() const { return texture_; }
  void set_perspective(bool on) { perspective_ = on; }
  bool perspective() const { return perspective_; }

  Box box() const;  // min and max corners; zero box when empty

  const std::vector<Vec3>& positions() const { return positions_; }
  const std::vector<Vec3>& normals() const { return normals_; }
  const std::vector<Vec2>& uvs() const { return uvs_; }
  const std::vector<uint32_t>& vertex_colors() const { return vertex_colors_; }
  const std::vector<Face>& faces() const { return faces_; }
  size_t face_count() const { return faces_.size(); }

  // Changes whenever the triangles change (geometry, colours, coordinates).
  uint32_t revision() const { return revision_; }
  // Changes when the triangles' make-up changes: everything but texture
  // coordinates and a colour change that keeps every face one colour of the
  // same opacity. Between two shape revisions only the vertices' texture
  // coordinates and colours move, and the triangle buffer is updated in
  // place rather than rebuilt.
  uint32_t shape_revision() const { return shape_revision_; }
  const TriangleBuffer& triangles(bool flat = false) const;
  // Triangle buffers rebuilt so far (for tests and benchmarks).
  uint32_t triangle_builds() const { return triangle_builds_; }

 // Copies everything but the identity (id) from another mesh.
  void copy_from(const MeshBase& o);

 protected:
  void touch() {
    ++revision_;
    ++shape_revision_;
  }
  void touch_appearance() { ++revision_; }

  std::vector<Vec3> positions_;
  std::vector<Vec3> normals_;
  std::vector<Vec2> uvs_;
  std::vector<uint32_t> vertex_colors_;  // per position, or empty (face colours)
  std::vector<Face> faces_;
  std::shared_ptr<Texture> texture_;
  uint32_t quality_ = quality::kGouraud;
  bool perspective_ = false;
  uint32_t revision_ = 1;
  uint32_t shape_revision_ = 1;

  mutable TriangleBuffer triangles_;
  mutable uint32_t triangles_revision_ = 0;
  mutable uint32_t triangles_shape_revision_ = 0;
  mutable uint32_t triangle_builds_ = 0;
};

// A finished mesh, made by MeshBuilder::create_mesh.
class Mesh : public MeshBase {};

class MeshBuilder : public MeshBase {
 public:
  std::shared_ptr<Mesh> create_mesh() const;
  void clear();
};

}  // namespace quarvel::rm
