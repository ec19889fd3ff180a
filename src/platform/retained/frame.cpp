#include "platform/retained/frame.h"

#include <algorithm>
#include <unordered_set>

namespace quarvel::rm {

Frame::~Frame() {
  for (auto& c : children_) c->parent_ = nullptr;
}

std::shared_ptr<Frame> Frame::parentPtr() const {
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

bool Frame::addChild(const std::shared_ptr<Frame>& child) {
  if (!child || child.get() == this) return false;
  if (child->parent_ == this) return true;
  if (child->draws(this)) return false;
  std::shared_ptr<Frame> keep = child;
  if (child->parent_) child->parent_->deleteChild(child.get());
  children_.push_back(keep);
  keep->parent_ = this;
  return true;
}

bool Frame::deleteChild(const Frame* child) {
  auto it = std::find_if(children_.begin(), children_.end(),
                         [&](const std::shared_ptr<Frame>& c) { return c.get() == child; });
  if (it == children_.end()) return false;
  std::shared_ptr<Frame> keep = *it;  // may be the last reference: erase first
  children_.erase(it);
  keep->parent_ = nullptr;
  return true;
}

bool Frame::addVisual(const std::shared_ptr<Visual>& visual) {
  if (!visual) return false;
  if (auto f = dynamic_cast<Frame*>(visual.get())) {
    if (f->draws(this)) return false;
  }
  for (const auto& v : visuals_)
    if (v == visual) return true;
  visuals_.push_back(visual);
  return true;
}

bool Frame::deleteVisual(const Visual* visual) {
  auto n = std::erase_if(visuals_, [&](const std::shared_ptr<Visual>& v) { return v.get() == visual; });
  return n > 0;
}

bool Frame::addLight(const std::shared_ptr<Light>& light) {
  if (!light) return false;
  for (const auto& l : lights_)
    if (l == light) return true;
  lights_.push_back(light);
  return true;
}

bool Frame::deleteLight(const Light* light) {
  auto n = std::erase_if(lights_, [&](const std::shared_ptr<Light>& l) { return l.get() == light; });
  return n > 0;
}

void Frame::setTransform(const Mat4& m) {
  if (m.isFinite()) local_ = m;
}

Mat4 Frame::worldTransform() const {
  Mat4 w = local_;
  for (const Frame* p = parent_; p; p = p->parent_) w = p->local_ * w;
  return w;
}

namespace {
Mat4 parentWorld(const Frame& f) { return f.parent() ? f.parent()->worldTransform() : Mat4{}; }
Mat4 referenceWorld(const Frame& f, const Frame* ref) { return ref ? ref->worldTransform() : parentWorld(f); }
}  // namespace

Mat4 Frame::transformRelativeTo(const Frame* ref) const {
  return referenceWorld(*this, ref).inverse() * worldTransform();
}

void Frame::setPosition(const Frame* ref, const Vec3& p) {
  if (!finite(p)) return;
  Vec3 world = referenceWorld(*this, ref).transformPoint(p);
  Vec3 local = parentWorld(*this).inverse().transformPoint(world);
  if (finite(local)) local_.setOrigin(local);
}

Vec3 Frame::position(const Frame* ref) const {
  return referenceWorld(*this, ref).inverse().transformPoint(worldTransform().origin());
}

namespace {
// Orthonormal axes with z along dir and y as close to up as possible; false
// when dir is zero or up is zero or parallel to it.
bool axesFrom(const Vec3& dir, const Vec3& up, Vec3& x, Vec3& y, Vec3& z) {
  if (!normalize(dir, z)) return false;
  if (!normalize(cross(up, z), x)) return false;
  y = cross(z, x);
  return true;
}
}  // namespace

bool Frame::setOrientation(const Frame* ref, const Vec3& dir, const Vec3& up) {
  Mat4 rw = referenceWorld(*this, ref);
  Vec3 x, y, z;
  if (!axesFrom(rw.transformVector(dir), rw.transformVector(up), x, y, z)) return false;
  Mat4 w = worldTransform();
  Mat4 target = Mat4::fromAxes(x * length(w.axis(0)), y * length(w.axis(1)), z * length(w.axis(2)), w.origin());
  Mat4 local = parentWorld(*this).inverse() * target;
  if (!local.isFinite()) return false;
  local_ = local;
  return true;
}

void Frame::orientation(const Frame* ref, Vec3& dir, Vec3& up) const {
  Mat4 m = transformRelativeTo(ref);
  if (!normalize(m.axis(2), dir)) dir = {0, 0, 1};
  if (!normalize(m.axis(1), up)) up = {0, 1, 0};
}

void Frame::addTransform(Combine how, const Mat4& m) {
  if (!m.isFinite()) return;
  switch (how) {
    case Combine::Replace: local_ = m; break;
    case Combine::Before: local_ = local_ * m; break;
    case Combine::After: local_ = m * local_; break;
  }
}

void Frame::addRotation(Combine how, const Vec3& axis, float angle) {
  addTransform(how, Mat4::rotation(axis, angle));
}

void Frame::addScale(Combine how, float sx, float sy, float sz) {
  addTransform(how, Mat4::scale({sx, sy, sz}));
}

void Frame::addTranslation(Combine how, const Vec3& t) { addTransform(how, Mat4::translation(t)); }

bool Frame::lookAt(const Frame& target, const Frame* ref) {
  Mat4 w = worldTransform();
  Vec3 dir = target.worldTransform().origin() - w.origin();
  Mat4 rw = ref ? ref->worldTransform() : Mat4{};
  Vec3 x, y, z;
  // Up from the reference's y axis; when the target lies along it, keep the
  // frame's own up, and failing that use the reference's z axis.
  if (!axesFrom(dir, rw.axis(1), x, y, z) && !axesFrom(dir, w.axis(1), x, y, z) &&
      !axesFrom(dir, rw.axis(2), x, y, z))
    return false;
  Mat4 t = Mat4::fromAxes(x * length(w.axis(0)), y * length(w.axis(1)), z * length(w.axis(2)), w.origin());
  Mat4 local = parentWorld(*this).inverse() * t;
  if (!local.isFinite()) return false;
  local_ = local;
  return true;
}

void Frame::setVelocity(const Frame* ref, const Vec3& v, bool) {
  if (!finite(v)) return;
  Vec3 world = referenceWorld(*this, ref).transformVector(v);
  Vec3 local = parentWorld(*this).inverse().transformVector(world);
  if (finite(local)) velocity_ = local;
}

Vec3 Frame::velocity(const Frame* ref) const {
  Vec3 world = parentWorld(*this).transformVector(velocity_);
  return referenceWorld(*this, ref).inverse().transformVector(world);
}

void Frame::setRotation(const Frame* ref, const Vec3& axis, float anglePerUnit) {
  Vec3 world = referenceWorld(*this, ref).transformVector(axis);
  Vec3 local;
  if (!std::isfinite(anglePerUnit) || !normalize(parentWorld(*this).inverse().transformVector(world), local)) {
    rotationAxis_ = {};
    rotationRate_ = 0;
    return;
  }
  rotationAxis_ = local;
  rotationRate_ = anglePerUnit;
}

void Frame::moveSelf(float delta) {
  if (rotationRate_ != 0) {
    Vec3 o = local_.origin();
    Mat4 r = Mat4::rotation(rotationAxis_, rotationRate_ * delta) * local_;
    r.setOrigin(o);
    if (r.isFinite()) local_ = r;
  }
  Vec3 p = local_.origin() + velocity_ * delta;
  if (finite(p)) local_.setOrigin(p);
}

void Frame::move(float delta) {
  if (!std::isfinite(delta)) return;
  std::vector<Frame*> stack{this};
  while (!stack.empty()) {
    Frame* f = stack.back();
    stack.pop_back();
    f->moveSelf(delta);
    for (const auto& c : f->children_) stack.push_back(c.get());
  }
}

}  // namespace quarvel::rm
