#pragma once
// The OpenGL 3.3 core back end of the scene graph: executes the render lists
// that viewports build, into the persistent back surface, each in one call.
// Everything about what to draw and in which order is in the list; this
// reads the captured triangles and never the graph.
//
// It draws straight into the back surface on the GPU (BackSurface), inside
// the viewport rectangle; nothing comes back to the CPU. A list's clear fills
// the rectangle with the background image stretched over it, or a colour,
// and clears depth. A list without a clear starts from the surface's current
// pixels.
//
// Geometry and textures are uploaded once and again only when their revision
// changes; entries not used for a while are dropped (see gpu_cache.h).
//
// Shading: lit per vertex (Gouraud) or per face (flat: one colour per face,
// computed with the face normal), or unlit; textures modulated by the colour
// and repeating; linear fog per vertex on the camera-space depth; opaque
// batches first, item by item front to back, then blended ones item by item
// back to front, without depth writes. Faces are drawn from the front only
// (clockwise on screen).
//
// Smooth drawing (the smooth look): the 3D is drawn `scale` times larger,
// with 4x multisampling and mipmapped, anisotropic textures, into a picture
// of its own that lives across frames as the back surface does; after each
// list, that picture's rectangle is resolved, and put into the back surface
// made smaller again, its pixels marked as the 3D's (alpha 0) so that the
// presentation takes them from the larger picture. The back surface then
// holds a fair small copy of the 3D, and 2D drawn over it later (alpha 1)
// stays in front.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/render/back_surface.h"
#include "platform/render/backdrop.h"
#include "platform/render/gl.h"
#include "platform/render/gpu_cache.h"
#include "platform/render/occlusion.h"
#include "platform/render/shaders.h"
#include "platform/retained/viewport.h"

namespace quarvel::render {

class SceneRenderer : public rm::RenderBackend {
 public:
  static constexpr int kMaxLights = 48;

  // Needs a current GL 3.3 core context; throws std::runtime_error naming
  // what failed. `target` must outlive the renderer.
  explicit SceneRenderer(BackSurface& target);
  SceneRenderer(const SceneRenderer&) = delete;
  SceneRenderer& operator=(const SceneRenderer&) = delete;

  void execute(rm::RenderList&& list) override { draw(list); }
  // Carries out `list`: its clear when due, then its items when list.draw.
  void draw(const rm::RenderList& list);

  // Smooth drawing `scale` times larger (1 to 4), or plain drawing for 0.
  // Leaving it marks no pixel as the 3D's any more. Throws
  // std::runtime_error when the larger picture cannot be made.
  void set_smooth(int scale);
  // The scale drawn at (0: plain drawing), and the texture of the 3D drawn
  // at it (0 when plain).
  int smooth_scale() const { return smooth_ ? smooth_->scale : 0; }
  GLuint scene_texture() const { return smooth_ ? smooth_->resolved : 0; }

  // Counters for tests and benchmarks.
  struct Stats {
    uint64_t geometry_uploads = 0;
    uint64_t look_uploads = 0;  // texture coordinates and colours alone
    uint64_t culled = 0;        // items not drawn (outside the view)
    uint64_t texture_uploads = 0;
    uint64_t draw_calls = 0;
    uint64_t occluded = 0;  // items not drawn (wholly behind nearer ones)
    uint64_t fog_shells = 0;  // items drawn as a clear to the fog colour
    uint64_t backdrop_stretches = 0;  // background pictures drawn stretched (not copied)
  };
  Stats stats() const;

 private:
  // Takes the list's clear (of `clipped`), carried out by flush_clear.
  void start_clear(const rm::RenderList& list, const rm::Rect& clipped);
  // Carries out the clear asked for, if it is still due.
  void flush_clear();
  // Binds the target, limits drawing to `clipped` and clears its depth unless
  // the list's clear did (`cleared`).
  void begin_target(const rm::Rect& clipped, bool cleared);
  // The viewport, lights and depth and face state for drawing `list`.
  void begin_list(const rm::RenderList& list);
  // The opaque batches of the list's opaque order, with depth writes; the
  // farther items that are wholly hidden are left out.
  void draw_opaque(const rm::RenderList& list);
  // Of the items of the opaque order from `from` on, those found wholly
  // hidden behind what is drawn so far (true at their index less `from`).
  std::vector<bool> occluded(const rm::RenderList& list, size_t from);
  // One occlusion query with the tester's state, at the first list drawn
  // (behind the show's loading screen): llvmpipe compiles the code for that
  // state at its first use, about 10 ms, which would otherwise fall in the
  // first frame of the first scene that tests.
  void warm_occlusion(const rm::RenderList& list);
  // Each scene program drawn once in the state of each pass (opaque, or
  // blended without depth writes), at the first list drawn. llvmpipe
  // compiles its code for a program and a state at their first draw
  // together, some milliseconds each: a scene that turns its fog on, or
  // shows its first translucent item, would otherwise pay them in that
  // tick. The triangle drawn has no area and lies outside the view, so no
  // pixel changes.
  void warm_draw_states(const rm::RenderList& list);
  // The blended batches item by item back to front, without depth writes.
  void draw_blended(const rm::RenderList& list);
  // Leaves the GL state as the other passes on the surface expect it.
  void restore_state();

  // One item's batches of the opaque or the blended pass, and its edges when
  // drawn as wireframe.
  void draw_item(const rm::RenderList& list, const rm::DrawItem& item, bool blended_pass);
  // Draws `count` indices from `first` of the bound mesh as `mode`.
  void draw_elements(GLenum mode, size_t first, size_t count);
  // Makes the scene program of `variant` current, with the list's and the
  // item's uniforms.
  void use_program(const rm::RenderList& list, unsigned variant, const rm::DrawItem& item);
  // The GL state the items' draws change, set only when it differs from
  // what the last draws of the pass left (each GL call costs a page a trip
  // through the browser's checks and its GPU process).
  void forget_state();  // after anything else drew: nothing is taken as known
  void set_cull(bool on);
  void bind_vertex_array(GLuint vao);
  void bind_texture(const rm::Texture& t, GLint filter);

  // The framebuffer the 3D is drawn into: the back surface's, or the
  // multisampled larger one.
  GLuint draw_framebuffer() const;
  // Puts rectangle `c` (surface pixels) of the larger picture into the back
  // surface as the smooth drawing does (see above).
  void publish(const rm::Rect& c);
  // Adds `c` to what the next publish_due() puts into the back surface.
  void mark_dirty(const rm::Rect& c);
  void publish_due();

  bool clip(const rm::Rect& r, rm::Rect& out) const;
  void set_viewport(const rm::Rect& r);
  void set_scissor(const rm::Rect& clipped);

  int width_ = 0, height_ = 0;
  BackSurface& target_;  // drawn into through its framebuffer()
  ScenePrograms programs_;
  bool all_programs_ = false;  // every combination compiled
  bool occlusion_ready_ = false;  // the occlusion test's state used once
  BackgroundProgram background_;
  Backdrop backdrop_{width_, height_};
  GpuCache cache_;
  OcclusionTester occlusion_;
  LightUniforms lights_;                        // of the list being drawn
  const SceneProgram* current_ = nullptr;       // in use for the list being drawn
  struct PassState {
    int cull = -1;  // face culling on (1), off (0), not known (-1)
    GLuint vao = 0;  // 0: not known
    bool texture_bound = false;  // unit 0 holds the texture below
    uint64_t texture_id = 0;
    uint32_t texture_revision = 0;
    GLint filter = 0;
  } state_;
  uint64_t list_serial_ = 0, item_serial_ = 0;  // render lists and items drawn so far
  // The list's clear, taken and not yet carried out, and its rectangle.
  bool clear_due_ = false;
  rm::Rect clear_rect_;
  struct Clear {
    GLuint background = 0;  // the picture's texture, 0 for none
    Backdrop::Key key;      // and where it is stretched, which its pixels depend on
    uint32_t color = 0;
  } clear_;
  uint64_t culled_ = 0, draw_calls_ = 0, occluded_ = 0, fog_shells_ = 0;
  // The smooth drawing's GL objects, while it is on.
  struct Smooth {
    int scale = 1;
    GLuint fbo = 0, colour = 0, depth = 0;  // multisampled
    GLuint resolved_fbo = 0, resolved = 0;  // the same picture resolved
    std::unique_ptr<Backdrop> backdrop;     // the background, stretched at that size
    ~Smooth();
  };
  std::unique_ptr<Smooth> smooth_;
  int scale_ = 1;  // of viewports and scissors: smooth_->scale, or 1
  bool dirty_ = false;  // part of the larger picture not yet in the back surface
  rm::Rect dirty_rect_;
};

}  // namespace quarvel::render
