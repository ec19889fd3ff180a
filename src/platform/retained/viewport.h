#pragma once
// Device, viewport and the render list.
//
// The viewport turns a scene into a render list: everything one view of a
// frame needs, already decided (the clear of its rectangle, the meshes'
// triangles captured with their world matrices, the order of the opaque
// and the blended passes with repeats left out, a sky in the fog replaced
// by a clear, lights, fog, camera and rectangle). It hands the list to the
// device's back end in one call; the back end only executes it and never
// reads the graph. Picking is computed here on the CPU.
//
// Projection: a point (x, y, z) in camera coordinates (x right, y up, z ahead)
// lands on the pixel
//   px = left + width / 2 + sx * x / z,   py = top + height / 2 - sy * y / z
// with, for the field f (the tangent of half the view angle):
//   uniform scaling on:  sx = sy = max(width, height) / 2 / f
//   uniform scaling off: sx = width / 2 / f, sy = height / 2 / f
// Only points with front <= z <= back are drawn.
#include <memory>
#include <vector>

#include "platform/retained/fog_shell.h"
#include "platform/retained/frame.h"
#include "platform/retained/mesh.h"

namespace quarvel::rm {

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
};

struct RenderLight {
  LightType type = LightType::Ambient;
  Vec3 color;
  Vec3 position;   // world
  Vec3 direction;  // world, unit (the light frame's +z)
  float range = 0;
  float constant = 0, linear = 0, quadratic = 0;
  float umbra = 0, penumbra = 0;
};

struct DrawItem {
  // The mesh's triangles in the form its quality draws (flat or smooth),
  // captured when the list was built; the pointer keeps the mesh alive. The
  // same mesh gives the same pointer.
  std::shared_ptr<const TriangleBuffer> triangles;
  // Which mesh they come from and how often it changed: the GPU keeps them
  // uploaded under the id, again only when a revision moves.
  uint64_t mesh_id = 0;
  uint32_t revision = 0;        // the triangles' contents
  uint32_t shape_revision = 0;  // their make-up (see MeshBase::shape_revision)
  Mat4 world;
  uint32_t quality = 0;
  float depth = 0;  // camera-space z of the mesh's box centre
  float far = 0;    // camera-space z of the box's farthest corner
};

enum class TextureQuality { Nearest = 0, Linear = 1 };

// The clear of a view's rectangle, carried out before its items are drawn.
struct ViewClear {
  bool due = false;
  // Stretched over the whole rectangle when set, else `color` (ARGB).
  std::shared_ptr<const Texture> background;
  uint32_t color = 0;
};

struct RenderList {
  Rect rect;                // viewport rectangle on the target surface
  Rect clipped;             // ... within the device; empty when nothing of it is on it
  ViewClear clear;          // done first, when due
  bool draw = true;         // false: only the clear
  Mat4 view;                // world to camera
  Mat4 projection;          // camera to clip space (GL conventions), for `rect`
  float front = 1, back = 100;
  std::vector<RenderLight> lights;
  Fog fog;
  std::vector<DrawItem> items;
  // Items drawn in the opaque pass (indices into items), nearest farthest
  // corner first, each repeat of the item just before it (the same mesh,
  // quality and place) left out, and so is the sky in the fog.
  std::vector<size_t> opaque_order;
  // Then those with blended batches in the blended pass (indices into items,
  // back to front).
  std::vector<size_t> blended_order;
  // The item found to be a sky wholly in the fog (see fog_shell.h), or
  // FogShell::kNone: the clear is then to the fog colour, without the
  // background picture, and the item is not drawn.
  size_t fog_shell = FogShell::kNone;
  TextureQuality texture_quality = TextureQuality::Nearest;
  uint32_t render_mode = 0;
  // Visuals left out: their bounds lie wholly in front of the front plane
  // (or behind the camera), beyond the back plane, or to one side of the view.
  size_t culled = 0;
};

// What executes render lists: the OpenGL renderer, or a recording back end.
class RenderBackend {
 public:
  virtual ~RenderBackend() = default;
  // Takes the whole list, to carry out (its clear when due, then its items
  // when `list.draw`) now or with the rest of the frame.
  virtual void execute(RenderList&& list) = 0;
};

class Device : public Object {
 public:
  static constexpr uint32_t kBlendedTransparency = 0x1;
  static constexpr uint32_t kSortedTransparency = 0x2;

  Device(std::shared_ptr<RenderBackend> backend, int width, int height)
      : backend_(std::move(backend)), width_(width), height_(height) {}
  RenderBackend* backend() const { return backend_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }

  void set_texture_quality(TextureQuality q) { texture_quality_ = q; }
  TextureQuality texture_quality() const { return texture_quality_; }
  void set_render_mode(uint32_t mode) { render_mode_ = mode; }
  uint32_t render_mode() const { return render_mode_; }
  void set_quality(uint32_t q) { quality_ = q; }
  uint32_t quality() const { return quality_; }

 private:
  std::shared_ptr<RenderBackend> backend_;
  int width_, height_;
  TextureQuality texture_quality_ = TextureQuality::Nearest;
  uint32_t render_mode_ = 0;
  uint32_t quality_ = quality::kGouraud;
};

struct PickResult {
  std::shared_ptr<Visual> visual;              // the mesh or mesh builder hit
  std::vector<std::shared_ptr<Frame>> frames;  // from the scene root down to the frame holding it
  float distance = 0;                          // camera-space depth of the hit
  Vec3 position;                               // world position of the hit
  size_t face = 0;                             // index of the face hit
};

class Viewport : public Object {
 public:
  Viewport(std::shared_ptr<Device> device, std::shared_ptr<Frame> camera, int x, int y, int width, int height);

  // Refused (false, unchanged) for a zero or negative width or height.
  bool configure(int x, int y, int width, int height);
  Rect rect() const { return rect_; }
  void set_camera(std::shared_ptr<Frame> camera) { camera_ = std::move(camera); }
  std::shared_ptr<Frame> camera() const { return camera_; }
  std::shared_ptr<Device> device() const { return device_; }

  bool set_field(float field);  // refused unless finite and > 0
  float field() const { return field_; }
  void set_uniform_scaling(bool on) { uniform_ = on; }
  bool uniform_scaling() const { return uniform_; }
  bool set_front(float front);  // refused when <= 0 or >= back
  bool set_back(float back);    // refused when <= front
  float front() const { return front_; }
  float back() const { return back_; }

  // Screen scale factors sx, sy (see above).
  void scales(float& sx, float& sy) const;
  // Pixel of a world point; false when it is behind the camera.
  bool project(const Vec3& world, float& px, float& py) const;

  // Clears the rectangle to the scene's background image (stretched) when the
  // camera's scene root has one, else to its background colour.
  void clear();
  // Builds the render list of `scene` (its visuals and children, frames used
  // as visuals included) and hands it to the device's back end. Visuals
  // whose box, placed by their frame and seen from the camera, lies wholly
  // outside the view volume are left out (neither lit nor drawn).
  void render(const Frame& scene);
  // The clear and the render together, as one list: a sky wholly in the
  // fog may then stand for the clear.
  void clear_and_render(const Frame& scene);
  // The list render() (or, with `clear`, clear_and_render()) hands over.
  RenderList build_render_list(const Frame& scene, bool clear = false) const;

  // Visuals under the pixel (x, y), nearest first, with their frames.
  std::vector<PickResult> pick(int x, int y) const;

 private:
  // True when `box`, taken to camera space by `model_view`, lies wholly
  // past one plane of the view volume (kx, ky: the projection's x and y
  // scales). `far` receives the camera-space z of its farthest corner.
  bool outside_view(const Box& box, const Mat4& model_view, float kx, float ky, float& far) const;
  // The list's rectangle, whole and within the device.
  void set_rect(RenderList& list) const;
  // The list's clear, from the camera's scene root.
  void set_clear(RenderList& list) const;
  // The opaque pass's order, and the sky in the fog when the list clears.
  void decide_order(RenderList& list) const;

  std::shared_ptr<Device> device_;
  std::shared_ptr<Frame> camera_;
  Rect rect_;
  float field_ = 0.5f;
  bool uniform_ = true;
  float front_ = 1.0f, back_ = 100.0f;
  mutable FogShell fog_shell_;  // remembers which meshes are closed
};

}  // namespace quarvel::rm
