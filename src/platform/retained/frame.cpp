#include "platform/retained/frame.h"

#include <algorithm>
#include <unordered_set>

namespace quarvel::rm {

Frame::~Frame() {
  for (auto& c : children_) c->parent_ = nullptr;
}

std::shared_ptr<Frame> Frame::parent_ptr() const {
  return parent_ ? parent_->shared_from_this() : nullptr;
}

Frame* Frame::root() {
  Frame* f = this;
  while (f->parent_) f = f->parent_;
  return f;
}

bool Frame::draws(const Frame* other) const {
  std::vector<const Frame*> stack{this};
  std::unordered_set<const Frame*> seen;
  while (!stack.empty()) {
    const Frame* f = stack.back();
    stack.pop_back();
    if (f == other) return true;
    if (!seen.insert(f).second) continue;
    for (const auto& c : f->children_) stack.push_back(c.get());
    for (const auto& v : f->visuals_)
      if (auto* vf = dynamic_cast<const Frame*>(v.get())) stack.push_back(vf);
  }
  return false;
}

bool Frame::add_child(const std::shared_ptr<Frame>& child) {
  if (!child || child.get() == this) return false;
  if (child->parent_ == this) return true;
  if (child->draws(this)) return false;
  std::shared_ptr<Frame> keep = child;
  if (child->parent_) child->parent_->delete_child(child.get());
  children_.push_back(keep);
  keep->parent_ = this;
  return true;
}

bool Frame::delete_child(const Frame* child) {
  auto it = std::find_if(children_.begin(), children_.end(),
                         [&](const std::shared_ptr<Frame>& c) { return c.get() == child; });
  if (it == children_.end()) return false;
  std::shared_ptr<Frame> keep = *it;  // may be the last reference: erase first
  children_.erase(it);
  keep->parent_ = nullptr;
  return true;
}

bool Frame::add_visual(const std::shared_ptr<Visual>& visual) {
  if (!visual) return false;
  if (auto f = dynamic_cast<Frame*>(visual.get())) {
    if (f->draws(this)) return false;
  }
  for (const auto& v : visuals_)
    if (v == visual) return true;
  visuals_.push_back(visual);
  return true;
}

bool Frame::delete_visual(const Visual* visual) {
  auto n = std::erase_if(visuals_, [&](const std::shared_ptr<Visual>& v) { return v.get() == visual; });
  return n > 0;
}

bool Frame::add_light(const std::shared_ptr<Light>& light) {
  if (!light) return false;
  for (const auto& l : lights_)
    if (l == light) return true;
  lights_.push_back(light);
  return true;
}

bool Frame::delete_light(const Light* light) {
  auto n = std::erase_if(lights_, [&](const std::shared_ptr<Light>& l) { return l.get() == light; });
  return n > 0;
}

void Frame::set_transform(const Mat4& m) {
  if (m.is_finite()) local_ = m;
}

Mat4 Frame::world_transform() const {
  Mat4 w = local_;
  for (const Frame* p = parent_; p; p = p->parent_) w = p->local_ * w;
  return w;
}

namespace {
Mat4 parent_world(const Frame& f) { return f.parent() ? f.parent()->world_transform() : Mat4{}; }
Mat4 reference_world(const Frame& f, const Frame* ref) { return ref ? ref->world_transform() : parent_world(f); }
}  // namespace

Mat4 Frame::transform_relative_to(const Frame* ref) const {
  return reference_world(*this, ref).inverse() * world_transform();
}

void Frame::set_position(const Frame* ref, const Vec3& p) {
  if (!finite(p)) return;
  Vec3 world = reference_world(*this, ref).transform_point(p);
  Vec3 local = parent_world(*this).inverse().transform_point(world);
  if (finite(local)) local_.set_origin(local);
}

Vec3 Frame::position(const Frame* ref) const {
  return reference_world(*this, ref).inverse().transform_point(world_transform().origin());
}

namespace {
// Orthonormal axes with z along dir and y as close to up as possible; false
// when dir is zero or up is zero or parallel to it.
bool axes_from(const Vec3& dir, const Vec3& up, Vec3& x, Vec3& y, Vec3& z) {
  if (!normalize(dir, z)) return false;
  if (!normalize(cross(up, z), x)) return false;
  y = cross(z, x);
  return true;
}
}  // namespace

bool Frame::set_orientation(const Frame* ref, const Vec3& dir, const Vec3& up) {
  Mat4 rw = reference_world(*this, ref);
  Vec3 x, y, z;
  if (!axes_from(rw.transform_vector(dir), rw.transform_vector(up), x, y, z)) return false;
  Mat4 w = world_transform();
  Mat4 target = Mat4::from_axes(x * length(w.axis(0)), y * length(w.axis(1)), z * length(w.axis(2)), w.origin());
  Mat4 local = parent_world(*this).inverse() * target;
  if (!local.is_finite()) return false;
  local_ = local;
  return true;
}

void Frame::orientation(const Frame* ref, Vec3& dir, Vec3& up) const {
  Mat4 m = transform_relative_to(ref);
  if (!normalize(m.axis(2), dir)) dir = {0, 0, 1};
  if (!normalize(m.axis(1), up)) up = {0, 1, 0};
}

void Frame::add_transform(Combine how, const Mat4& m) {
  if (!m.is_finite()) return;
  switch (how) {
    case Combine::Replace: local_ = m; break;
    case Combine::Before: local_ = local_ * m; break;
    case Combine::After: local_ = m * local_; break;
  }
}

void Frame::add_rotation(Combine how, const Vec3& axis, float angle) {
  add_transform(how, Mat4::rotation(axis, angle));
}

void Frame::add_scale(Combine how, float sx, float sy, float sz) {
  add_transform(how, Mat4::scale({sx, sy, sz}));
}

void Frame::add_translation(Combine how, const Vec3& t) { add_transform(how, Mat4::translation(t)); }

bool Frame::look_at(const Frame& target, const Frame* ref) {
  Mat4 w = world_transform();
  Vec3 dir = target.world_transform().origin() - w.origin();
  Mat4 rw = ref ? ref->world_transform() : Mat4{};
  Vec3 x, y, z;
  // Up from the reference's y axis; when the target lies along it, keep the
  // frame's own up, and failing that use the reference's z axis.
  if (!axes_from(dir, rw.axis(1), x, y, z) && !axes_from(dir, w.axis(1), x, y, z) &&
      !axes_from(dir, rw.axis(2), x, y, z))
    return false;
  Mat4 t = Mat4::from_axes(x * length(w.axis(0)), y * length(w.axis(1)), z * length(w.axis(2)), w.origin());
  Mat4 local = parent_world(*this).inverse() * t;
  if (!local.is_finite()) return false;
  local_ = local;
  return true;
}

void Frame::set_velocity(const Frame* ref, const Vec3& v, bool) {
  if (!finite(v)) return;
  Vec3 world = reference_world(*this, ref).transform_vector(v);
  Vec3 local = parent_world(*this).inverse().transform_vector(world);
  if (finite(local)) velocity_ = local;
}

Vec3 Frame::velocity(const Frame* ref) const {
  Vec3 world = parent_world(*this).transform_vector(velocity_);
  return reference_world(*this, ref).inverse().transform_vector(world);
}

void Frame::set_rotation(const Frame* ref, const Vec3& axis, float angle_per_unit) {
  Vec3 world = reference_world(*this, ref).transform_vector(axis);
  Vec3 local;
  if (!std::isfinite(angle_per_unit) || !normalize(parent_world(*this).inverse().transform_vector(world), local)) {
    rotation_axis_ = {};
    rotation_rate_ = 0;
    return;
  }
  rotation_axis_ = local;
  rotation_rate_ = angle_per_unit;
}

void Frame::move_self(float delta) {
  if (rotation_rate_ != 0) {
    Vec3 o = local_.origin();
    Mat4 r = Mat4::rotation(rotation_axis_, rotation_rate_ * delta) * local_;
    r.set_origin(o);
    if (r.is_finite()) local_ = r;
  }
  Vec3 p = local_.origin() + velocity_ * delta;
  if (finite(p)) local_.set_origin(p);
}

void Frame::move(float delta) {
  if (!std::isfinite(delta)) return;
  std::vector<Frame*> stack{this};
  while (!stack.empty()) {
    Frame* f = stack.back();
    stack.pop_back();
    f->move_self(delta);
    for (const auto& c : f->children_) stack.push_back(c.get());
  }
}

}  // namespace quarvel::rm
