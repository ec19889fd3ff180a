#include "platform/retained/model_loader.h"

#include <cstdio>
#include <dirent.h>
#include <map>
#include <strings.h>

#include "platform/common/picture_file.h"
#include "platform/retained/xfile/reader.h"

namespace quarvel::rm {

namespace {

uint32_t packColor(float r, float g, float b, float a) {
  auto ch = [](float v) {
    if (!(v > 0)) return 0u;
    if (v >= 1) return 255u;
    return static_cast<uint32_t>(v * 255.0f + 0.5f);
  };
  return ch(a) << 24 | ch(r) << 16 | ch(g) << 8 | ch(b);
}

Mat4 toColumnMatrix(const xfile::Matrix& f) {
  Mat4 m;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m.m[r][c] = f[c * 4 + r];
  return m.isFinite() ? m : Mat4{};
}

ModelFrame convertFrame(const xfile::Frame& f) {
  ModelFrame out;
  out.name = f.name;
  out.transform = toColumnMatrix(f.transform);
  for (uint32_t m : f.meshes) out.meshes.push_back(static_cast<int>(m));
  for (const auto& c : f.children) out.children.push_back(convertFrame(c));
  return out;
}

ModelMesh convertMesh(const xfile::Mesh& m) {
  ModelMesh out;
  out.name = m.name;
  for (const auto& p : m.positions) out.positions.push_back({p.x, p.y, p.z});
  if (m.uvs.size() == m.positions.size())
    for (const auto& t : m.uvs) out.uvs.push_back({t.u, t.v});
  if (m.colors.size() == m.positions.size())
    for (const auto& c : m.colors) out.vertexColors.push_back(packColor(c.r, c.g, c.b, c.a));
  for (const auto& n : m.normals) out.normals.push_back({n.x, n.y, n.z});
  bool cornerNormals = !m.normal_indices.empty() && m.normal_indices.size() == m.face_indices.size();
  size_t at = 0;
  for (uint32_t size : m.face_sizes) {
    if (at + size > m.face_indices.size()) break;
    out.faces.emplace_back(m.face_indices.begin() + at, m.face_indices.begin() + at + size);
    if (cornerNormals)
      out.faceNormals.emplace_back(m.normal_indices.begin() + at, m.normal_indices.begin() + at + size);
    at += size;
  }
  for (const auto& mat : m.materials) {
    ModelMaterial mm;
    mm.color = packColor(mat.face_color.r, mat.face_color.g, mat.face_color.b, mat.face_color.a);
    if (!mat.textures.empty()) mm.textureFile = mat.textures[0];
    out.materials.push_back(mm);
  }
  out.faceMaterials = m.face_materials;
  return out;
}

ModelAnimation convertAnimation(const xfile::Animation& a) {
  ModelAnimation out;
  out.name = a.name;
  out.frameName = a.frame;
  if (a.has_options)
    out.options = (a.closed ? Animation::kClosed : Animation::kOpen) |
                  (a.spline ? Animation::kSplinePosition : Animation::kLinearPosition) | Animation::kPosition |
                  Animation::kScaleAndRotation;
  for (const auto& group : a.keys) {
    for (const auto& k : group.keys) {
      float t = static_cast<float>(k.time);
      const auto& v = k.values;
      switch (group.type) {
        case 0:
          if (k.count >= 4) out.rotationKeys.push_back({t, Quat{v[0], v[1], v[2], v[3]}});
          break;
        case 1:
          if (k.count >= 3) out.scaleKeys.push_back({t, {v[0], v[1], v[2]}});
          break;
        case 2:
          if (k.count >= 3) out.positionKeys.push_back({t, {v[0], v[1], v[2]}});
          break;
        default:
          // Matrix keys: the translation row of the row-vector matrix.
          if (k.count >= 16) out.positionKeys.push_back({t, {v[12], v[13], v[14]}});
          break;
      }
    }
  }
  return out;
}

std::string dirOf(const std::string& path) {
  auto p = path.find_last_of("/\\");
  return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

std::string findIgnoringCase(const std::string& dir, const std::string& base) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return {};
  std::string found;
  while (dirent* e = readdir(d)) {
    if (strcasecmp(e->d_name, base.c_str()) == 0) {
      found = dir + e->d_name;
      break;
    }
  }
  closedir(d);
  return found;
}

}  // namespace

Model convertModel(const xfile::Model& file) {
  Model out;
  for (const auto& m : file.meshes) out.meshes.push_back(convertMesh(m));
  for (const auto& f : file.frames) out.frames.push_back(convertFrame(f));
  for (uint32_t m : file.top_meshes) out.looseMeshes.push_back(static_cast<int>(m));
  for (const auto& set : file.animation_sets)
    for (const auto& a : set.animations) out.animations.push_back(convertAnimation(a));
  return out;
}

TextureResolver texturesBeside(const std::string& modelPath) {
  auto cache = std::make_shared<std::map<std::string, std::shared_ptr<Texture>>>();
  std::string dir = dirOf(modelPath);
  return [cache, dir](const std::string& name) -> std::shared_ptr<Texture> {
    std::string base = xfile::base_name(name);
    auto it = cache->find(base);
    if (it != cache->end()) return it->second;
    std::string path = findIgnoringCase(dir, base);
    if (path.empty() && !dir.empty()) path = findIgnoringCase("", base);
    std::shared_ptr<Texture> tex;
    Picture picture;
    std::string error;
    if (path.empty()) {
      std::fprintf(stderr, "%s: texture not found\n", base.c_str());
    } else if (load_picture(path, picture, error)) {
      tex = std::make_shared<Texture>(std::move(picture));
      tex->setName(base);
    } else {
      std::fprintf(stderr, "%s\n", error.c_str());
    }
    (*cache)[base] = tex;
    return tex;
  };
}

namespace {
bool readModel(const std::string& path, xfile::Model& model) {
  std::string error;
  if (xfile::read_file(path, model, error)) return true;
  std::fprintf(stderr, "%s\n", error.c_str());
  return false;
}
}  // namespace

bool loadMeshBuilder(MeshBuilder& builder, const std::string& path, const TextureResolver& textures) {
  xfile::Model file;
  if (!readModel(path, file)) return false;
  if (file.meshes.empty()) {
    std::fprintf(stderr, "%s: the model holds no mesh\n", path.c_str());
    return false;
  }
  return buildMesh(builder, convertMesh(file.meshes[0]), textures ? textures : texturesBeside(path));
}

bool loadAnimationSet(AnimationSet& set, const std::string& path, const std::shared_ptr<Frame>& parent,
                      const TextureResolver& textures) {
  xfile::Model file;
  if (!readModel(path, file)) return false;
  return set.load(convertModel(file), parent, textures ? textures : texturesBeside(path));
}

}  // namespace quarvel::rm
