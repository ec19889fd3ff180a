#pragma once
// The OpenGL 3.3 core back end of the scene graph: executes the render lists
// that viewports build, into the persistent back surface.
//
// It draws straight into the back surface on the GPU (BackSurface), inside
// the viewport rectangle; nothing comes back to the CPU. Clear fills the
// rectangle with the background image stretched over it, or a colour, and
// clears depth. A draw not preceded by a clear starts from the surface's
// current pixels.
//
// Given a picture instead (tests, tools), it draws into a surface of its own
// and copies each drawn or cleared rectangle back into the picture; a draw
// not preceded by a clear then starts from the picture's current pixels.
//
// Geometry and textures are uploaded once and again only when their revision
// changes; entries not used for a while are dropped.
//
// Shading: lit per vertex (Gouraud) or per face (flat: one colour per face,
// computed with the face normal), or unlit; textures modulated by the colour
// and repeating; linear fog per vertex on the camera-space depth; opaque
// batches first, then blended ones item by item back to front, without depth
// writes. Faces are drawn from the front only (clockwise on screen).
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "platform/common/picture.h"
#include "platform/render/back_surface.h"
#include "platform/render/gl.h"
#include "platform/retained/viewport.h"

namespace quarvel::render {

class SceneRenderer : public rm::RenderBackend {
 public:
  static constexpr int kMaxLights = 48;

  // Needs a current GL 3.3 core context; throws std::runtime_error naming
  // what failed. `target` must outlive the renderer.
  explicit SceneRenderer(BackSurface& target);
  // Draws into a surface of its own and copies the results into `target`
  // (see set_target).
  explicit SceneRenderer(Picture& target);
  ~SceneRenderer() override;
  SceneRenderer(const SceneRenderer&) = delete;
  SceneRenderer& operator=(const SceneRenderer&) = delete;

  void set_target(Picture& target);

  void clear(const rm::Rect& rect, const rm::Texture* background, uint32_t color) override;
  void draw(const rm::RenderList& list) override;
  void update() override;

  // Counters for tests and benchmarks.
  struct Stats {
    uint64_t geometry_uploads = 0;
    uint64_t look_uploads = 0;  // texture coordinates and colours alone
    uint64_t culled = 0;              // items not drawn (outside the view)
    uint64_t texture_uploads = 0;
    uint64_t draw_calls = 0;
  };
  const Stats& stats() const { return stats_; }

 private:
  struct GpuMesh {
    GLuint vao = 0, vbo = 0, ebo = 0;
    GLuint look = 0;  // texture coordinates and colours, apart so they update alone
    uint32_t shape_revision = 0;
    uint32_t revision = 0;
    bool flat = false;
    uint64_t last_used = 0;
  };
  struct GpuTexture {
    GLuint tex = 0;
    uint32_t revision = 0;
    uint64_t last_used = 0;
    GLint filter = 0;  // the minifying and magnifying filter set, 0 before any
  };
  struct Program;
  struct LightUniforms;

  explicit SceneRenderer(Picture* mirror);
  void ensure_target_size();
  const GpuMesh& mesh(const rm::MeshBase& m, bool flat);
  void upload_look(GpuMesh& g, const rm::TriangleBuffer& tb);
  GLuint texture(const rm::Texture& t);
  // Binds `t` to the current unit, filtered by `filter`.
  void bind_texture(const rm::Texture& t, GLint filter);
  // The scene program for a combination of switches, compiled when first
  // asked for.
  Program& program(unsigned variant);
  void read_back(const rm::Rect& clipped);
  bool clip(const rm::Rect& r, rm::Rect& out) const;
  void set_viewport(const rm::Rect& r);
  void evict();

  BackSurface* surface_ = nullptr;
  std::unique_ptr<BackSurface> own_surface_;
  Picture* mirror_ = nullptr;  // the picture given instead of a surface
  int width_ = 0, height_ = 0;
  GLuint fbo_ = 0;
  std::unique_ptr<Program> programs_[16];
  GLuint bg_program_ = 0, empty_vao_ = 0;
  GLint bg_tex_ = -1;
  std::unique_ptr<LightUniforms> lights_;  // of the list being drawn
  uint64_t list_serial_ = 0, item_serial_ = 0;  // render lists and items drawn so far
  bool pending_clear_ = false;
  rm::Rect pending_rect_;
  uint64_t frame_ = 0;
  std::unordered_map<uint64_t, GpuMesh> meshes_;
  std::unordered_map<uint64_t, GpuTexture> textures_;
  Stats stats_;
};

}  // namespace quarvel::render
