#include "platform/retained/viewport.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quarvel::rm {

namespace {

constexpr int kMaxDepth = 512;  // guards the walk; the graph itself never has cycles

struct WalkState {
  std::vector<std::shared_ptr<Frame>> path;
  bool via_visual = false;
};

// Visits every mesh drawn by `frame` (placed by `world`) and, outside frames
// used as visuals, every light. Frames used as visuals are drawn relative to
// the frame they are a visual of.
template <class MeshFn, class LightFn>
void walk(const Frame& frame, const Mat4& world, WalkState& st, int depth, MeshFn& on_mesh, LightFn& on_light) {
  if (depth > kMaxDepth) return;
  st.path.push_back(std::const_pointer_cast<Frame>(frame.weak_from_this().lock()));
  if (!st.via_visual)
    for (const auto& l : frame.lights()) on_light(*l, world);
  for (const auto& v : frame.visuals()) {
    if (auto f = std::dynamic_pointer_cast<Frame>(v)) {
      bool was = st.via_visual;
      st.via_visual = true;
      walk(*f, world * f->transform(), st, depth + 1, on_mesh, on_light);
      st.via_visual = was;
    } else if (auto m = std::dynamic_pointer_cast<MeshBase>(v)) {
      on_mesh(m, world, st.path);
    }
  }
  for (const auto& c : frame.children()) walk(*c, world * c->transform(), st, depth + 1, on_mesh, on_light);
  st.path.pop_back();
}

Frame* root_of(const Frame& f) { return const_cast<Frame&>(f).root(); }

}  // namespace

Viewport::Viewport(std::shared_ptr<Device> device, std::shared_ptr<Frame> camera, int x, int y, int width,
                   int height)
    : device_(std::move(device)), camera_(std::move(camera)) {
  rect_ = {x, y, std::max(width, 1), std::max(height, 1)};
}

bool Viewport::configure(int x, int y, int width, int height) {
  if (width <= 0 || height <= 0) return false;
  rect_ = {x, y, width, height};
  return true;
}

bool Viewport::set_field(float field) {
  if (!std::isfinite(field) || !(field > 0)) return false;
  field_ = field;
  return true;
}

bool Viewport::set_front(float front) {
  if (!std::isfinite(front) || !(front > 0) || !(front < back_)) return false;
  front_ = front;
  return true;
}

bool Viewport::set_back(float back) {
  if (!std::isfinite(back) || !(back > front_)) return false;
  back_ = back;
  return true;
}

void Viewport::scales(float& sx, float& sy) const {
  if (uniform_) {
    sx = sy = std::max(rect_.width, rect_.height) * 0.5f / field_;
  } else {
    sx = rect_.width * 0.5f / field_;
    sy = rect_.height * 0.5f / field_;
  }
}

bool Viewport::project(const Vec3& world, float& px, float& py) const {
  Mat4 view = camera_ ? camera_->world_transform().inverse() : Mat4{};
  Vec3 c = view.transform_point(world);
  if (!(c.z > 0)) return false;
  float sx, sy;
  scales(sx, sy);
  px = rect_.x + rect_.width * 0.5f + sx * c.x / c.z;
  py = rect_.y + rect_.height * 0.5f - sy * c.y / c.z;
  return true;
}

void Viewport::clear() {
  if (!device_ || !device_->backend()) return;
  const Frame* scene = camera_ ? root_of(*camera_) : nullptr;
  auto bg = scene ? scene->scene_background_image() : nullptr;
  uint32_t color = scene ? scene->scene_background() : 0xFF000000u;
  device_->backend()->clear(rect_, bg && !bg->picture().empty() ? bg.get() : nullptr, color);
}

bool Viewport::outside_view(const Box& box, const Mat4& model_view, float kx, float ky, float& far) const {
  // Each of the six planes: outside when all eight corners are past it.
  // A corner (x, y, z) is in view when front <= z <= back, |kx x| <= z and
  // |ky y| <= z.
  int past[6] = {0, 0, 0, 0, 0, 0};
  far = -std::numeric_limits<float>::infinity();
  for (int i = 0; i < 8; ++i) {
    const Vec3 p{(i & 1) ? box.max.x : box.min.x, (i & 2) ? box.max.y : box.min.y,
                 (i & 4) ? box.max.z : box.min.z};
    const Vec3 c = model_view.transform_point(p);
    far = std::max(far, c.z);
    past[0] += c.z < front_;
    past[1] += c.z > back_;
    past[2] += kx * c.x > c.z;
    past[3] += -kx * c.x > c.z;
    past[4] += ky * c.y > c.z;
    past[5] += -ky * c.y > c.z;
  }
  for (int n : past)
    if (n == 8) return true;
  return false;
}

RenderList Viewport::build_render_list(const Frame& scene) const {
  RenderList list;
  list.rect = rect_;
  list.view = camera_ ? camera_->world_transform().inverse() : Mat4{};
  float sx, sy;
  scales(sx, sy);
  Mat4 p;
  p.m[0][0] = sx / (rect_.width * 0.5f);
  p.m[1][1] = sy / (rect_.height * 0.5f);
  p.m[2][2] = (back_ + front_) / (back_ - front_);
  p.m[2][3] = -2.0f * back_ * front_ / (back_ - front_);
  p.m[3][2] = 1;
  p.m[3][3] = 0;
  list.projection = p;
  list.front = front_;
  list.back = back_;
  list.fog = root_of(scene)->scene_fog();
  if (device_) {
    list.texture_quality = device_->texture_quality();
    list.render_mode = device_->render_mode();
  }

  std::vector<std::pair<float, size_t>> blended;
  auto on_mesh = [&](const std::shared_ptr<MeshBase>& m, const Mat4& world, const auto&) {
    if (m->face_count() == 0) return;
    const TriangleBuffer& tb = m->triangles(quality::flat(m->quality()));
    const Mat4 model_view = list.view * world;
    float far;
    if (outside_view(tb.box, model_view, sx / (rect_.width * 0.5f), sy / (rect_.height * 0.5f), far)) {
      ++list.culled;
      return;
    }
    Vec3 centre = (tb.box.min + tb.box.max) * 0.5f;
    DrawItem item{m, world, m->quality(), model_view.transform_point(centre).z, far};
    if (!tb.batches.empty() && tb.batches.back().transparent) blended.push_back({item.depth, list.items.size()});
    list.items.push_back(std::move(item));
  };
  auto on_light = [&](const Light& l, const Mat4& world) {
    RenderLight rl;
    rl.type = l.type();
    rl.color = l.color();
    rl.position = world.origin();
    if (!normalize(world.axis(2), rl.direction)) rl.direction = {0, 0, 1};
    rl.range = l.range();
    rl.constant = l.constant_attenuation();
    rl.linear = l.linear_attenuation();
    rl.quadratic = l.quadratic_attenuation();
    rl.umbra = l.umbra();
    rl.penumbra = l.penumbra();
    list.lights.push_back(rl);
  };
  WalkState st;
  walk(scene, scene.world_transform(), st, 0, on_mesh, on_light);
  std::stable_sort(blended.begin(), blended.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& b : blended) list.blended_order.push_back(b.second);
  return list;
}

void Viewport::render(const Frame& scene) {
  if (!device_ || !device_->backend()) return;
  device_->backend()->draw(build_render_list(scene));
}

namespace {
// Ray (o + t d) against triangle abc, both sides; t > 0 on a hit.
bool intersect(const Vec3& o, const Vec3& d, const Vec3& a, const Vec3& b, const Vec3& c, float& t) {
  Vec3 e1 = b - a, e2 = c - a;
  Vec3 pv = cross(d, e2);
  float det = dot(e1, pv);
  if (std::fabs(det) < 1e-12f) return false;
  float inv = 1.0f / det;
  Vec3 tv = o - a;
  float u = dot(tv, pv) * inv;
  if (u < 0 || u > 1) return false;
  Vec3 qv = cross(tv, e1);
  float v = dot(d, qv) * inv;
  if (v < 0 || u + v > 1) return false;
  t = dot(e2, qv) * inv;
  return t > 0 && std::isfinite(t);
}
}  // namespace

std::vector<PickResult> Viewport::pick(int x, int y) const {
  std::vector<PickResult> out;
  if (!camera_ || x < rect_.x || y < rect_.y || x >= rect_.x + rect_.width || y >= rect_.y + rect_.height)
    return out;
  float sx, sy;
  scales(sx, sy);
  Vec3 dir_cam{(x + 0.5f - rect_.x - rect_.width * 0.5f) / sx, -(y + 0.5f - rect_.y - rect_.height * 0.5f) / sy, 1};
  Mat4 cam_world = camera_->world_transform();
  Mat4 view = cam_world.inverse();
  Vec3 o = cam_world.origin();
  Vec3 d = cam_world.transform_vector(dir_cam);

  auto on_mesh = [&](const std::shared_ptr<MeshBase>& m, const Mat4& world,
                    const std::vector<std::shared_ptr<Frame>>& path) {
    const auto& pos = m->positions();
    bool hit = false;
    PickResult best;
    for (size_t fi = 0; fi < m->faces().size(); ++fi) {
      const Face& f = m->faces()[fi];
      Vec3 a = world.transform_point(pos[f.vertices[0]]);
      for (size_t k = 1; k + 1 < f.vertices.size(); ++k) {
        float t;
        if (!intersect(o, d, a, world.transform_point(pos[f.vertices[k]]), world.transform_point(pos[f.vertices[k + 1]]), t))
          continue;
        Vec3 pw = o + d * t;
        float z = view.transform_point(pw).z;
        if (z < front_ || z > back_) continue;
        if (!hit || z < best.distance) {
          hit = true;
          best.distance = z;
          best.position = pw;
          best.face = fi;
        }
      }
    }
    if (!hit) return;
    best.visual = m;
    best.frames = path;
    out.push_back(std::move(best));
  };
  auto on_light = [](const Light&, const Mat4&) {};
  const Frame& scene = *root_of(*camera_);
  WalkState st;
  walk(scene, scene.world_transform(), st, 0, on_mesh, on_light);
  std::stable_sort(out.begin(), out.end(), [](const PickResult& a, const PickResult& b) { return a.distance < b.distance; });
  return out;
}

}  // namespace quarvel::rm
