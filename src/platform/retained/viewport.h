#pragma once
// Device, viewport and the render list.
//
// The viewport turns a scene into a render list (what to draw this frame:
// meshes with their world matrices, lights, fog, camera and rectangle) and
// hands it to the device's back end, which only executes it. Picking is
// computed here on the CPU.
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
  std::shared_ptr<const MeshBase> mesh;  // geometry: id() and revision() tell when it changed
  Mat4 world;
  uint32_t quality = 0;
  float depth = 0;  // camera-space z of the mesh's box centre
  float far = 0;    // camera-space z of the box's farthest corner
};

enum class TextureQuality { Nearest = 0, Linear = 1 };

struct RenderList {
  Rect rect;                // viewport rectangle on the target surface
  Mat4 view;                // world to camera
  Mat4 projection;          // camera to clip space (GL conventions), for `rect`
  float front = 1, back = 100;
  std::vector<RenderLight> lights;
  Fog fog;
  std::vector<DrawItem> items;
  // Items drawn in the opaque pass, then those with blended batches in the
  // blended pass (indices into items, back to front).
  std::vector<size_t> blended_order;
  TextureQuality texture_quality = TextureQuality::Nearest;
  uint32_t render_mode = 0;
  // Visuals left out: their bounds lie wholly in front of the front plane
  // (or behind the camera), beyond the back plane, or to one side of the view.
  size_t culled = 0;
};

// What executes render lists: the OpenGL renderer, or a recording fake.
class RenderBackend {
 public:
  virtual ~RenderBackend() = default;
  // Fills `rect` with `background` stretched over it when given, else `color`.
  // A back end may carry it out with the next draw or update (which a
  // stage's render calls right after it), and `background` need not outlive
  // the call.
  virtual void clear(const Rect& rect, const Texture* background, uint32_t color) = 0;
  virtual void draw(const RenderList& list) = 0;
  virtual void update() {}
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
  void update() {
    if (backend_) backend_->update();
  }

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
  RenderList build_render_list(const Frame& scene) const;

  // Visuals under the pixel (x, y), nearest first, with their frames.
  std::vector<PickResult> pick(int x, int y) const;

 private:
  // True when `box`, taken to camera space by `model_view`, lies wholly
  // past one plane of the view volume (kx, ky: the projection's x and y
  // scales). `far` receives the camera-space z of its farthest corner.
  bool outside_view(const Box& box, const Mat4& model_view, float kx, float ky, float& far) const;

  std::shared_ptr<Device> device_;
  std::shared_ptr<Frame> camera_;
  Rect rect_;
  float field_ = 0.5f;
  bool uniform_ = true;
  float front_ = 1.0f, back_ = 100.0f;
};

}  // namespace quarvel::rm
