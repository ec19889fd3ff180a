#include "platform/retained/animation.h"

#include <algorithm>
#include <map>

namespace quarvel::rm {

bool Animation::setOptions(uint32_t options) {
  if ((options & kOpen) && (options & kClosed)) return false;
  if ((options & kLinearPosition) && (options & kSplinePosition)) return false;
  options_ = options;
  return true;
}

namespace {
template <class K, class V>
void insertSorted(std::vector<K>& keys, float time, const V& value) {
  if (!std::isfinite(time)) return;
  auto it = std::upper_bound(keys.begin(), keys.end(), time, [](float t, const K& k) { return t < k.time; });
  keys.insert(it, K{time, value});
}

// Index of the last key with time <= t (0 when t precedes every key).
template <class K>
size_t keyBefore(const std::vector<K>& keys, float t) {
  auto it = std::upper_bound(keys.begin(), keys.end(), t, [](float v, const K& k) { return v < k.time; });
  return it == keys.begin() ? 0 : static_cast<size_t>(it - keys.begin()) - 1;
}
}  // namespace

void Animation::addPositionKey(float time, const Vec3& p) {
  if (finite(p)) insertSorted(position_, time, p);
}
void Animation::addScaleKey(float time, const Vec3& s) {
  if (finite(s)) insertSorted(scale_, time, s);
}
void Animation::addRotationKey(float time, const Quat& q) { insertSorted(rotation_, time, q); }

template <class K>
float Animation::localTime(const std::vector<K>& keys, float t) const {
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

bool Animation::positionAt(float time, Vec3& out) const {
  if (position_.empty()) return false;
  float t = localTime(position_, time);
  size_t n = position_.size();
  size_t i = keyBefore(position_, t);
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

bool Animation::scaleAt(float time, Vec3& out) const {
  if (scale_.empty()) return false;
  float t = localTime(scale_, time);
  size_t i = keyBefore(scale_, t);
  if (t < scale_.front().time || i + 1 >= scale_.size()) {
    out = t < scale_.front().time ? scale_.front().value : scale_.back().value;
    return true;
  }
  const VecKey& a = scale_[i];
  const VecKey& b = scale_[i + 1];
  out = lerp(a.value, b.value, (t - a.time) / (b.time - a.time));
  return true;
}

bool Animation::rotationAt(float time, Quat& out) const {
  if (rotation_.empty()) return false;
  float t = localTime(rotation_, time);
  size_t i = keyBefore(rotation_, t);
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

void Animation::setTime(float time) {
  auto frame = frame_.lock();
  if (!frame || (position_.empty() && scale_.empty() && rotation_.empty())) return;
  Mat4 m = frame->transform();
  Vec3 p;
  if ((options_ & kPosition) && positionAt(time, p)) m.setOrigin(p);
  if (options_ & kScaleAndRotation) {
    Vec3 s;
    Quat q;
    bool hasScale = scaleAt(time, s);
    bool hasRot = rotationAt(time, q);
    if (hasScale || hasRot) {
      Vec3 axes[3], lengths;
      decompose(m, axes, lengths);
      Mat4 r = hasRot ? Mat4::fromQuat(q) : Mat4::fromAxes(axes[0], axes[1], axes[2], {});
      if (!hasScale) s = lengths;
      for (int c = 0; c < 3; ++c) {
        float k = c == 0 ? s.x : c == 1 ? s.y : s.z;
        m.setAxis(c, r.axis(c) * k);
      }
    }
  }
  frame->setTransform(m);
}

bool buildMesh(MeshBuilder& builder, const ModelMesh& mesh, const TextureResolver& textures) {
  builder.clear();
  builder.setName(mesh.name);
  for (size_t i = 0; i < mesh.positions.size(); ++i)
    builder.addVertex(mesh.positions[i], i < mesh.uvs.size() ? mesh.uvs[i] : Vec2{});
  for (const Vec3& n : mesh.normals) builder.addNormal(n);
  if (mesh.vertexColors.size() == mesh.positions.size())
    for (size_t i = 0; i < mesh.vertexColors.size(); ++i)
      builder.setVertexColor(static_cast<uint32_t>(i), mesh.vertexColors[i]);
  std::map<std::string, std::shared_ptr<Texture>> loaded;
  bool allValid = true;
  for (size_t f = 0; f < mesh.faces.size(); ++f) {
    uint32_t color = 0xFFFFFFFF;
    std::shared_ptr<Texture> texture;
    if (f < mesh.faceMaterials.size() && mesh.faceMaterials[f] < mesh.materials.size()) {
      const ModelMaterial& mat = mesh.materials[mesh.faceMaterials[f]];
      color = mat.color;
      if (!mat.textureFile.empty() && textures) {
        auto it = loaded.find(mat.textureFile);
        if (it == loaded.end()) it = loaded.emplace(mat.textureFile, textures(mat.textureFile)).first;
        texture = it->second;
      }
    }
    std::vector<uint32_t> normals;
    if (f < mesh.faceNormals.size() && mesh.faceNormals[f].size() == mesh.faces[f].size())
      normals = mesh.faceNormals[f];
    if (!builder.addFace(mesh.faces[f], normals, color) && !builder.addFace(mesh.faces[f], {}, color)) {
      allValid = false;
      continue;
    }
    if (texture) builder.setFaceTexture(builder.faceCount() - 1, texture);
  }
  return allValid;
}

namespace {
void buildFrames(const Model& model, const ModelFrame& mf, const std::shared_ptr<Frame>& parent,
                 std::vector<std::shared_ptr<MeshBuilder>>& meshes, std::vector<std::shared_ptr<Frame>>& created) {
  auto f = std::make_shared<Frame>();
  f->setName(mf.name);
  f->setTransform(mf.transform);
  parent->addChild(f);
  created.push_back(f);
  for (int mi : mf.meshes)
    if (mi >= 0 && static_cast<size_t>(mi) < meshes.size()) f->addVisual(meshes[mi]);
  for (const ModelFrame& c : mf.children) buildFrames(model, c, f, meshes, created);
}
}  // namespace

bool AnimationSet::load(const Model& model, const std::shared_ptr<Frame>& parent, const TextureResolver& textures) {
  if (!parent) return false;
  std::vector<std::shared_ptr<MeshBuilder>> meshes;
  for (const ModelMesh& m : model.meshes) {
    auto b = std::make_shared<MeshBuilder>();
    buildMesh(*b, m, textures);
    meshes.push_back(b);
  }
  std::vector<std::shared_ptr<Frame>> created;
  for (const ModelFrame& mf : model.frames) buildFrames(model, mf, parent, meshes, created);
  if (!model.looseMeshes.empty()) {
    auto holder = std::make_shared<Frame>();
    parent->addChild(holder);
    for (int mi : model.looseMeshes)
      if (mi >= 0 && static_cast<size_t>(mi) < meshes.size()) holder->addVisual(meshes[mi]);
  }
  for (const ModelAnimation& ma : model.animations) {
    auto a = std::make_shared<Animation>();
    a->setName(ma.name);
    if (ma.options) a->setOptions(ma.options);
    for (const auto& k : ma.positionKeys) a->addPositionKey(k.time, k.value);
    for (const auto& k : ma.scaleKeys) a->addScaleKey(k.time, k.value);
    for (const auto& k : ma.rotationKeys) a->addRotationKey(k.time, k.value);
    for (const auto& f : created)
      if (f->name() == ma.frameName) {
        a->setFrame(f);
        break;
      }
    animations_.push_back(a);
  }
  return !created.empty() || !model.looseMeshes.empty() || !model.animations.empty();
}

void AnimationSet::setTime(float time) {
  for (const auto& a : animations_) a->setTime(time);
}

}  // namespace quarvel::rm
