#pragma once
// The scene renderer's geometry and textures on the GPU, keyed by the id of
// the mesh or texture they come from (as a render list's items carry it). Each is uploaded when first used and
// again only when its revision changes (a mesh's texture coordinates and
// colours alone when only they changed); entries not used for a while are
// dropped.
//
// Needs a current OpenGL 3.3 core context for its whole life.
#include <cstdint>
#include <unordered_map>

#include "platform/render/gl.h"
#include "platform/retained/viewport.h"

namespace quarvel::render {

class GpuCache {
 public:
  // A mesh's triangles: positions and normals in `vbo`, texture coordinates
  // and colours in `look` (apart, so that they update alone), triangle
  // indices then edge indices in `ebo`, all bound to `vao`.
  struct Mesh {
    GLuint vao = 0, vbo = 0, ebo = 0, look = 0;
    uint32_t shape_revision = 0;
    uint32_t revision = 0;
    bool flat = false;
    uint64_t last_used = 0;
  };
  // Uploads so far.
  struct Uploads {
    uint64_t geometry = 0;
    uint64_t look = 0;  // texture coordinates and colours alone
    uint64_t texture = 0;
  };

  GpuCache() = default;
  ~GpuCache();
  GpuCache(const GpuCache&) = delete;
  GpuCache& operator=(const GpuCache&) = delete;

  // The triangles an item captured (flat or smooth), uploaded as needed.
  const Mesh& mesh(const rm::DrawItem& item);
  // Binds the texture of `t` to the current unit, uploaded as needed,
  // filtered by `filter`.
  GLuint bind_texture(const rm::Texture& t, GLint filter);  // returns its texture name

  // With `on`, every texture bound is mipmapped (the mipmaps made at its
  // first bind after an upload) and filtered trilinearly and anisotropically
  // (as far as the GL offers), whatever filter is asked for.
  void set_smooth(bool on) { smooth_ = on; }
  // The filter key bind_texture keeps for that filtering.
  static constexpr GLint kSmoothFilter = -1;

  // A vertex array of three vertices at the origin, laid out as every mesh's
  // is, for draws that only prepare a state (made once, not an upload).
  GLuint probe_vao();

  // Counts one more frame (a render list drawn); what is used from here on
  // is stamped with it.
  void next_frame() { ++frame_; }
  // Every 64 frames, drops the entries not used for the last 120.
  void evict();

  const Uploads& uploads() const { return uploads_; }

 private:
  struct Texture {
    GLuint tex = 0;
    uint32_t revision = 0;
    uint64_t last_used = 0;
    GLint filter = 0;  // the minifying and magnifying filter set, 0 before any
    bool mipmapped = false;  // mipmaps made for this revision
  };
  // Sets the smooth filtering on the bound texture `g`.
  void smooth_filter(Texture& g);
  GLuint texture(const rm::Texture& t);
  void upload_look(Mesh& g, const rm::TriangleBuffer& tb);
  static void release(Mesh& g);
  // With `g`'s vertex array bound: its attributes from `g.vbo` and `g.look`.
  static void set_layout(const Mesh& g);

  uint64_t frame_ = 0;
  std::unordered_map<uint64_t, Mesh> meshes_;
  std::unordered_map<uint64_t, Texture> textures_;
  Uploads uploads_;
  Mesh probe_;
  bool smooth_ = false;
  float max_anisotropy_ = -1;  // the GL's, read at the first smooth bind (0: none)
};

}  // namespace quarvel::render
