#include "platform/retained/animation.h"

#include <algorithm>
#include <map>

namespace quarvel::rm {

bool Animation::set_options(uint32_t options) {
  if ((options & kOpen) && (options & kClosed)) return false;
  if ((options & kLinearPosition) && (options & kSplinePosition)) return false;
  options_ = options;
  return true;
}

namespace {
template <class K, class V>
void insert_sorted(std::vector<K>& keys, float time, const V& value) {
  if (!std::isfinite(time)) return;
  auto it = std::upper_bound(keys.begin(), keys.end(), time, [](float t, const K& k) { return t < k.time; });
  keys.insert(it, K{time, value});
}

// Index of the last key with time <= t (0 when t precedes every key).
template <class K>
size_t key_before(const std::vector<K>& keys, float t) {
  auto it = std::upper_bound(keys.begin(), keys.end(), t, [](float v, const K& k) { return v < k.time; });
  return it == keys.begin() ? 0 : static_cast<size_t>(it - keys.begin()) - 1;
}
}  // namespace

void Animation::add_position_key(float time, const Vec3& p) {
  if (finite(p)) insert_sorted(position_, time, p);
}
void Animation::add_scale_key(float time, const Vec3& s) {
  if (finite(s)) insert_sorted(scale_, time, s);
}
void Animation::add_rotation_key(float time, const Quat& q) { insert_sorted(rotation_, time, q); }

template <class K>
float Animation::local_time(const std::vector<K>& keys, float t) const {
  float first = keys.front().time, last = keys.back().time;
  if (!std::isfinite(t)) return first;
  if ((options_ & kClosed) && last > first) {
    float span = last - first;
    float r = std::fmod(t - first, span);
    if (r < 0) r += span;
    if (!(r < span)) r = 0;
    return first + r;
  }
  return t;
}

bool Animation::position_at(float time, Vec3& out) const {
  if (position_.empty()) return false;
  float t = local_time(position_, time);
  size_t n = position_.size();
  size_t i = key_before(position_, t);
  if (t < position_.front().time || i + 1 >= n) {
    out = t < position_.front().time ? position_.front().value : position_.back().value;
    return true;
  }
  const VecKey& a = position_[i];
  const VecKey& b = position_[i + 1];
  float f = (t - a.time) / (b.time - a.time);  // b.time > t >= a.time
  if (options_ & kSplinePosition) {
    // Catmull-Rom through the keys, the end keys doubled.
    const Vec3& p0 = position_[i > 0 ? i - 1 : i].value;
    const Vec3& p3 = position_[i + 2 < n ? i + 2 : i + 1].value;
    const Vec3& p1 = a.value;
    const Vec3& p2 = b.value;
    float f2 = f * f, f3 = f2 * f;
    out = (p1 * 2.0f + (p2 - p0) * f + (p0 * 2.0f - p1 * 5.0f + p2 * 4.0f - p3) * f2 +
           (p1 * 3.0f - p0 - p2 * 3.0f + p3) * f3) *
          0.5f;
  } else {
    out = lerp(a.value, b.value, f);
  }
  return true;
}

bool Animation::scale_at(float time, Vec3& out) const {
  if (scale_.empty()) return false;
  float t = local_time(scale_, time);
  size_t i = key_before(scale_, t);
  if (t < scale_.front().time || i + 1 >= scale_.size()) {
    out = t < scale_.front().time ? scale_.front().value : scale_.back().value;
    return true;
  }
  const VecKey& a = scale_[i];
  const VecKey& b = scale_[i + 1];
  out = lerp(a.value, b.value, (t - a.time) / (b.time - a.time));
  return true;
}

bool Animation::rotation_at(float time, Quat& out) const {
  if (rotation_.empty()) return false;
  float t = local_time(rotation_, time);
  size_t i = key_before(rotation_, t);
  if (t < rotation_.front().time || i + 1 >= rotation_.size()) {
    out = t < rotation_.front().time ? rotation_.front().value : rotation_.back().value;
    return true;
  }
  const RotKey& a = rotation_[i];
  const RotKey& b = rotation_[i + 1];
  out = slerp(a.value, b.value, (t - a.time) / (b.time - a.time));
  return true;
}

namespace {
// Splits a linear part into unit axes and their lengths; axes lost to a zero
// scale are rebuilt from the others (or the identity), never NaN.
void decompose(const Mat4& m, Vec3 axes[3], Vec3& lengths) {
  bool ok[3];
  float len[3];
  const Vec3 unit[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (int c = 0; c < 3; ++c) {
    len[c] = length(m.axis(c));
    ok[c] = normalize(m.axis(c), axes[c]);
    if (!ok[c]) len[c] = 0;
  }
  lengths = {len[0], len[1], len[2]};
  int good = ok[0] + ok[1] + ok[2];
  if (good == 3) return;
  if (good == 2) {
    if (!ok[2]) axes[2] = cross(axes[0], axes[1]);
    if (!ok[0]) axes[0] = cross(axes[1], axes[2]);
    if (!ok[1]) axes[1] = cross(axes[2], axes[0]);
    for (int c = 0; c < 3; ++c)
      if (!normalize(axes[c], axes[c])) axes[c] = unit[c];
    return;
  }
  for (int c = 0; c < 3; ++c) axes[c] = unit[c];
}
}  // namespace

void Animation::set_time(float time) {
  auto frame = frame_.lock();
  if (!frame || (position_.empty() && scale_.empty() && rotation_.empty())) return;
  Mat4 m = frame->transform();
  Vec3 p;
  if ((options_ & kPosition) && position_at(time, p)) m.set_origin(p);
  if (options_ & kScaleAndRotation) {
    Vec3 s;
    Quat q;
    bool has_scale = scale_at(time, s);
    bool has_rot = rotation_at(time, q);
    if (has_scale || has_rot) {
      Vec3 axes[3], lengths;
      decompose(m, axes, lengths);
      Mat4 r = has_rot ? Mat4::from_quat(q) : Mat4::from_axes(axes[0], axes[1], axes[2], {});
      if (!has_scale) s = lengths;
      for (int c = 0; c < 3; ++c) {
        float k = c == 0 ? s.x : c == 1 ? s.y : s.z;
        m.set_axis(c, r.axis(c) * k);
      }
    }
  }
  frame->set_transform(m);
}

bool build_mesh(MeshBuilder& builder, const ModelMesh& mesh, const TextureResolver& textures) {
  builder.clear();
  builder.set_name(mesh.name);
  for (size_t i = 0; i < mesh.positions.size(); ++i)
    builder.add_vertex(mesh.positions[i], i < mesh.uvs.size() ? mesh.uvs[i] : Vec2{});
  for (const Vec3& n : mesh.normals) builder.add_normal(n);
  if (mesh.vertex_colors.size() == mesh.positions.size())
    for (size_t i = 0; i < mesh.vertex_colors.size(); ++i)
      builder.set_vertex_color(static_cast<uint32_t>(i), mesh.vertex_colors[i]);
  std::map<std::string, std::shared_ptr<Texture>> loaded;
  bool all_valid = true;
  for (size_t f = 0; f < mesh.faces.size(); ++f) {
    uint32_t color = 0xFFFFFFFF;
    std::shared_ptr<Texture> texture;
    if (f < mesh.face_materials.size() && mesh.face_materials[f] < mesh.materials.size()) {
      const ModelMaterial& mat = mesh.materials[mesh.face_materials[f]];
      color = mat.color;
      if (!mat.texture_file.empty() && textures) {
        auto it = loaded.find(mat.texture_file);
        if (it == loaded.end()) it = loaded.emplace(mat.texture_file, textures(mat.texture_file)).first;
        texture = it->second;
      }
    }
    std::vector<uint32_t> normals;
    if (f < mesh.face_normals.size() && mesh.face_normals[f].size() == mesh.faces[f].size())
      normals = mesh.face_normals[f];
    if (!builder.add_face(mesh.faces[f], normals, color) && !builder.add_face(mesh.faces[f], {}, color)) {
      all_valid = false;
      continue;
    }
    if (texture) builder.set_face_texture(builder.face_count() - 1, texture);
  }
  return all_valid;
}

namespace {
void build_frames(const Model& model, const ModelFrame& mf, const std::shared_ptr<Frame>& parent,
                 std::vector<std::shared_ptr<MeshBuilder>>& meshes, std::vector<std::shared_ptr<Frame>>& created) {
  auto f = std::make_shared<Frame>();
  f->set_name(mf.name);
  f->set_transform(mf.transform);
  parent->add_child(f);
  created.push_back(f);
  for (int mi : mf.meshes)
    if (mi >= 0 && static_cast<size_t>(mi) < meshes.size()) f->add_visual(meshes[mi]);
  for (const ModelFrame& c : mf.children) build_frames(model, c, f, meshes, created);
}
}  // namespace

bool AnimationSet::load(const Model& model, const std::shared_ptr<Frame>& parent, const TextureResolver& textures) {
  if (!parent) return false;
  std::vector<std::shared_ptr<MeshBuilder>> meshes;
  for (const ModelMesh& m : model.meshes) {
    auto b = std::make_shared<MeshBuilder>();
    build_mesh(*b, m, textures);
    meshes.push_back(b);
  }
  std::vector<std::shared_ptr<Frame>> created;
  for (const ModelFrame& mf : model.frames) build_frames(model, mf, parent, meshes, created);
  if (!model.loose_meshes.empty()) {
    auto holder = std::make_shared<Frame>();
    parent->add_child(holder);
    for (int mi : model.loose_meshes)
      if (mi >= 0 && static_cast<size_t>(mi) < meshes.size()) holder->add_visual(meshes[mi]);
  }
  for (const ModelAnimation& ma : model.animations) {
    auto a = std::make_shared<Animation>();
    a->set_name(ma.name);
    if (ma.options) a->set_options(ma.options);
    for (const auto& k : ma.position_keys) a->add_position_key(k.time, k.value);
    for (const auto& k : ma.scale_keys) a->add_scale_key(k.time, k.value);
    for (const auto& k : ma.rotation_keys) a->add_rotation_key(k.time, k.value);
    for (const auto& f : created)
      if (f->name() == ma.frame_name) {
        a->set_frame(f);
        break;
      }
    animations_.push_back(a);
  }
  return !created.empty() || !model.loose_meshes.empty() || !model.animations.empty();
}

void AnimationSet::set_time(float time) {
  for (const auto& a : animations_) a->set_time(time);
}

}  // namespace quarvel::rm
