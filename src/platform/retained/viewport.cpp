#include "platform/retained/viewport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

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

void Viewport::set_rect(RenderList& list) const {
  list.rect = rect_;
  const int w = device_ ? device_->width() : rect_.x + rect_.width;
  const int h = device_ ? device_->height() : rect_.y + rect_.height;
  const int x0 = std::max(rect_.x, 0), y0 = std::max(rect_.y, 0);
  const int x1 = std::min(rect_.x + rect_.width, w), y1 = std::min(rect_.y + rect_.height, h);
  if (x1 > x0 && y1 > y0) list.clipped = {x0, y0, x1 - x0, y1 - y0};
}

void Viewport::set_clear(RenderList& list) const {
  const Frame* scene = camera_ ? root_of(*camera_) : nullptr;
  auto bg = scene ? scene->scene_background_image() : nullptr;
  list.clear.due = true;
  list.clear.color = scene ? scene->scene_background() : 0xFF000000u;
  if (bg && !bg->picture().empty()) list.clear.background = bg;
}

void Viewport::clear() {
  if (!device_ || !device_->backend()) return;
  RenderList list;
  set_rect(list);
  set_clear(list);
  list.draw = false;
  device_->backend()->execute(std::move(list));
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

RenderList Viewport::build_render_list(const Frame& scene, bool clear) const {
  RenderList list;
  set_rect(list);
  if (clear) set_clear(list);
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
    DrawItem item{std::shared_ptr<const TriangleBuffer>(m, &tb),
                  m->id(),
                  m->revision(),
                  m->shape_revision(),
                  world,
                  m->quality(),
                  model_view.transform_point(centre).z,
                  far};
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
  decide_order(list);
  return list;
}

namespace {
// Whether drawing `b` right after `a` in the opaque pass repeats it exactly:
// the same mesh, quality and place.
bool same_draw(const DrawItem& a, const DrawItem& b) {
  return a.triangles && a.triangles == b.triangles && a.quality == b.quality &&
         std::memcmp(&a.world, &b.world, sizeof a.world) == 0;
}
}  // namespace

void Viewport::decide_order(RenderList& list) const {
  // A sky wholly in the fog paints the fog colour wherever nothing nearer
  // does, over the clear and its background picture: a clear to the fog
  // colour leaves the same pixels, without either raster.
  const bool replaceable = list.clear.due && list.clipped.width > 0;
  list.fog_shell = replaceable ? fog_shell_.find(list, true) : FogShell::kNone;
  // Nearest farthest corner first: what is drawn early hides, through the
  // depth test, the pixels of what lies behind it, which a software
  // rasteriser then does not shade. Sorting by the far corner rather than
  // the centre puts what surrounds the camera (ground, sky) last, behind the
  // objects in it.
  std::vector<size_t>& order = list.opaque_order;
  order.resize(list.items.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return list.items[a].far < list.items[b].far; });
  // A frame that is both a child and a visual of another puts each of its
  // meshes in the list twice, in the same place. Drawn again right after
  // itself, without blending and with a less-or-equal depth test, a mesh
  // writes the very pixels it has just written: the repeat is left out.
  // (In the blended pass the repeat shows, and is drawn.)
  order.erase(std::unique(order.begin(), order.end(),
                          [&](size_t a, size_t b) { return same_draw(list.items[a], list.items[b]); }),
              order.end());
  if (list.fog_shell != FogShell::kNone)
    order.erase(std::remove_if(order.begin(), order.end(),
                               [&](size_t i) { return same_draw(list.items[i], list.items[list.fog_shell]); }),
                order.end());
}

void Viewport::render(const Frame& scene) {
  if (!device_ || !device_->backend()) return;
  device_->backend()->execute(build_render_list(scene));
}

void Viewport::clear_and_render(const Frame& scene) {
  if (!device_ || !device_->backend()) return;
  device_->backend()->execute(build_render_list(scene, true));
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
