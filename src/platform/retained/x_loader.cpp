#include "platform/retained/x_loader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

#include "platform/common/picture_file.h"
#include "platform/retained/xfile/reader.h"

namespace quarvel::rm {

namespace {

uint8_t channel(float v) {
  if (!(v > 0)) return 0;
  if (v >= 1) return 255;
  return static_cast<uint8_t>(std::lround(v * 255.0f));
}

uint32_t argb(const xfile::Color& c) {
  return uint32_t(channel(c.a)) << 24 | uint32_t(channel(c.r)) << 16 | uint32_t(channel(c.g)) << 8 |
         uint32_t(channel(c.b));
}

// The file's row-vector matrix (translation in 12..14) as a column-vector one.
Mat4 to_mat4(const float* t) {
  Mat4 m;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) m.m[r][c] = t[c * 4 + r];
  return m;
}

// A rotation matrix (orthonormal columns) as a quaternion.
Quat to_quat(const Mat4& m) {
  const auto& a = m.m;
  Quat q;
  float tr = a[0][0] + a[1][1] + a[2][2];
  if (tr > 0) {
    float s = std::sqrt(tr + 1.0f) * 2;
    q = {0.25f * s, (a[2][1] - a[1][2]) / s, (a[0][2] - a[2][0]) / s, (a[1][0] - a[0][1]) / s};
  } else if (a[0][0] > a[1][1] && a[0][0] > a[2][2]) {
    float s = std::sqrt(1.0f + a[0][0] - a[1][1] - a[2][2]) * 2;
    q = {(a[2][1] - a[1][2]) / s, 0.25f * s, (a[0][1] + a[1][0]) / s, (a[0][2] + a[2][0]) / s};
  } else if (a[1][1] > a[2][2]) {
    float s = std::sqrt(1.0f + a[1][1] - a[0][0] - a[2][2]) * 2;
    q = {(a[0][2] - a[2][0]) / s, (a[0][1] + a[1][0]) / s, 0.25f * s, (a[1][2] + a[2][1]) / s};
  } else {
    float s = std::sqrt(1.0f + a[2][2] - a[0][0] - a[1][1]) * 2;
    q = {(a[1][0] - a[0][1]) / s, (a[0][2] + a[2][0]) / s, (a[1][2] + a[2][1]) / s, 0.25f * s};
  }
  if (!(std::isfinite(q.w) && std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z))) return Quat{};
  return q;
}

ModelMesh convert_mesh(const xfile::Mesh& in) {
  ModelMesh out;
  out.name = in.name;
  out.positions.reserve(in.positions.size());
  for (const auto& p : in.positions) out.positions.push_back({p.x, p.y, p.z});
  if (in.uvs.size() == in.positions.size())
    for (const auto& t : in.uvs) out.uvs.push_back({t.u, t.v});
  if (in.colors.size() == in.positions.size())
    for (const auto& c : in.colors) out.vertex_colors.push_back(argb(c));
  for (const auto& n : in.normals) out.normals.push_back({n.x, n.y, n.z});
  for (const auto& m : in.materials) {
    ModelMaterial mm;
    mm.color = argb(m.face_color);
    if (!m.textures.empty()) mm.texture_file = m.textures.front();
    out.materials.push_back(std::move(mm));
  }
  bool with_normals = in.normal_indices.size() == in.face_indices.size() && !in.normals.empty();
  size_t o = 0;
  for (size_t f = 0; f < in.face_sizes.size(); ++f) {
    uint32_t k = in.face_sizes[f];
    if (k >= 3) {  // points and lines make no face
      out.faces.emplace_back(in.face_indices.begin() + static_cast<ptrdiff_t>(o),
                             in.face_indices.begin() + static_cast<ptrdiff_t>(o + k));
      if (with_normals)
        out.face_normals.emplace_back(in.normal_indices.begin() + static_cast<ptrdiff_t>(o),
                                     in.normal_indices.begin() + static_cast<ptrdiff_t>(o + k));
      if (f < in.face_materials.size()) out.face_materials.push_back(in.face_materials[f]);
    }
    o += k;
  }
  return out;
}

ModelFrame convert_frame(const xfile::Frame& in) {
  ModelFrame out;
  out.name = in.name;
  out.transform = to_mat4(in.transform.data());
  for (uint32_t m : in.meshes) out.meshes.push_back(static_cast<int>(m));
  out.children.reserve(in.children.size());
  for (const auto& c : in.children) out.children.push_back(convert_frame(c));
  return out;
}

uint32_t convert_options(const xfile::Animation& a) {
  if (!a.has_options) return 0;
  return (a.closed ? Animation::kClosed : Animation::kOpen) |
         (a.spline ? Animation::kSplinePosition : Animation::kLinearPosition) | Animation::kPosition |
         Animation::kScaleAndRotation;
}

ModelAnimation convert_animation(const xfile::Animation& in) {
  ModelAnimation out;
  out.name = in.name;
  out.frame_name = in.frame;
  out.options = convert_options(in);
  for (const auto& keys : in.keys) {
    for (const auto& k : keys.keys) {
      float t = static_cast<float>(k.time);
      const auto& v = k.values;
      switch (keys.type) {
        case 0:
          // The file's quaternions rotate row vectors; ours rotate columns.
          if (k.count >= 4) out.rotation_keys.push_back({t, Quat{v[0], -v[1], -v[2], -v[3]}});
          break;
        case 1:
          if (k.count >= 3) out.scale_keys.push_back({t, {v[0], v[1], v[2]}});
          break;
        case 2:
          if (k.count >= 3) out.position_keys.push_back({t, {v[0], v[1], v[2]}});
          break;
        default: {
          if (k.count < 16) break;
          Mat4 m = to_mat4(v.data());
          Vec3 scale{length(m.axis(0)), length(m.axis(1)), length(m.axis(2))};
          Mat4 r;
          for (int c = 0; c < 3; ++c) {
            float s = c == 0 ? scale.x : c == 1 ? scale.y : scale.z;
            r.set_axis(c, s > 0 ? m.axis(c) * (1.0f / s) : Vec3{});
          }
          out.position_keys.push_back({t, m.origin()});
          out.scale_keys.push_back({t, scale});
          out.rotation_keys.push_back({t, to_quat(r)});
        }
      }
    }
  }
  return out;
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string find_in(const std::filesystem::path& folder, const std::string& base) {
  std::error_code ec;
  std::filesystem::path exact = folder / base;
  if (std::filesystem::is_regular_file(exact, ec)) return exact.string();
  std::string want = lower(base);
  for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (lower(it->path().filename().string()) == want && it->is_regular_file(ec)) {
      return folder.empty() ? it->path().filename().string() : it->path().string();
    }
  }
  return {};
}

// Room for the pictures of one model load: what the model itself may take
// for the bytes of the model and picture files read, and one largest
// picture besides, at most the limit of a model's memory.
size_t picture_budget(size_t file_bytes, const xfile::Limits& limits) {
  constexpr size_t kLargestPicture = size_t{kMaxPictureSide} * kMaxPictureSide * sizeof(uint32_t);
  xfile::Limits uncapped = limits;
  uncapped.max_model_bytes = SIZE_MAX;
  const size_t room = xfile::model_budget(file_bytes, uncapped);
  return std::min(room > SIZE_MAX - kLargestPicture ? SIZE_MAX : room + kLargestPicture, limits.max_model_bytes);
}

size_t file_size(const std::string& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<size_t>(size);
}

// The textures one model load gives its faces, resolved before anything is
// built: one texture per picture file actually opened, however many names
// written in the model lead to it (relative to the model's folder), and
// every picture booked against the load's budget.
class ModelTextures {
 public:
  ModelTextures(const std::string& model_path, TextureFiles& files, const xfile::Limits& limits)
      : model_path_(model_path),
        folder_(std::filesystem::path(model_path).parent_path().string()),
        files_(files),
        limits_(limits),
        file_bytes_(file_size(model_path)) {}

  // Reads the textures the faces of `mesh` name; false past the budget.
  bool add(const ModelMesh& mesh, std::string& error) {
    for (size_t f = 0; f < mesh.faces.size() && f < mesh.face_materials.size(); ++f) {
      if (mesh.face_materials[f] >= mesh.materials.size()) continue;
      const std::string& name = mesh.materials[mesh.face_materials[f]].texture_file;
      if (!name.empty() && !by_name_.count(name) && !resolve(name, error)) return false;
    }
    return true;
  }

  TextureResolver resolver() const {
    return [this](const std::string& name) -> std::shared_ptr<Texture> {
      auto it = by_name_.find(name);
      return it == by_name_.end() ? nullptr : it->second;
    };
  }

 private:
  bool resolve(const std::string& name, std::string& error) {
    std::shared_ptr<Texture>& texture = by_name_[name];
    const std::string file = find_texture_file(name, folder_);
    if (file.empty()) return true;  // no such file: the faces stay untextured
    const std::string where = TextureFiles::key(file);
    if (auto it = by_file_.find(where); it != by_file_.end()) {
      texture = it->second;
      return true;
    }
    file_bytes_ += file_size(file);
    const size_t budget = picture_budget(file_bytes_, limits_);
    bool too_large = false;
    // There but unreadable: said once; the faces stay untextured.
    auto picture = files_.picture(file, budget - std::min(budget, taken_), too_large);
    if (too_large) {
      error = model_path_ + ": its textures would take more than " + xfile::megabytes(budget) + " of memory (at " +
              file + ")";
      return false;
    }
    if (picture) {
      taken_ += picture_bytes(*picture);
      texture = std::make_shared<Texture>(std::move(picture));
      texture->set_name(file);
    }
    by_file_[where] = texture;
    return true;
  }

  const std::string model_path_, folder_;
  TextureFiles& files_;
  const xfile::Limits& limits_;
  size_t file_bytes_;  // of the model and the picture files opened so far
  size_t taken_ = 0;   // by the pictures so far
  std::map<std::string, std::shared_ptr<Texture>> by_name_, by_file_;
};

}  // namespace

Model model_data(const xfile::Model& in) {
  Model out;
  out.meshes.reserve(in.meshes.size());
  for (const auto& m : in.meshes) out.meshes.push_back(convert_mesh(m));
  for (const auto& f : in.frames) out.frames.push_back(convert_frame(f));
  for (uint32_t m : in.top_meshes) out.loose_meshes.push_back(static_cast<int>(m));
  if (!in.animation_sets.empty())
    for (const auto& a : in.animation_sets.front().animations) out.animations.push_back(convert_animation(a));
  return out;
}

std::string find_texture_file(const std::string& name, const std::string& model_folder) {
  std::string base = xfile::base_name(name);
  if (base.empty() || base == "." || base == "..") return {};
  std::string found = find_in(model_folder, base);
  if (found.empty() && !model_folder.empty()) found = find_in({}, base);
  return found;
}

bool load_mesh_builder(MeshBuilder& builder, const std::string& path, std::string& error, TextureFiles* files,
                       const xfile::Limits& limits, ParseAhead* ahead) {
  const auto ready = ahead ? ahead->model(path, limits) : nullptr;
  xfile::Model model;
  if (!ready && !xfile::read_file(path, model, error, limits)) return false;
  if (ready ? ready->meshes.empty() : model.meshes.empty()) {
    error = path + ": the file holds no mesh";
    return false;
  }
  const ModelMesh read_here = ready ? ModelMesh{} : convert_mesh(model.meshes.front());
  const ModelMesh& mesh = ready ? ready->meshes.front() : read_here;
  TextureFiles own;
  ModelTextures textures(path, files ? *files : own, limits);
  if (!textures.add(mesh, error)) return false;
  build_mesh(builder, mesh, textures.resolver());
  return true;
}

bool load_animation_set(AnimationSet& set, const std::string& path, const std::shared_ptr<Frame>& parent,
                        std::string& error, TextureFiles* files, const xfile::Limits& limits, ParseAhead* ahead) {
  if (!parent) {
    error = path + ": no parent frame to load the model under";
    return false;
  }
  std::shared_ptr<const Model> data = ahead ? ahead->model(path, limits) : nullptr;
  if (!data) {
    xfile::Model model;
    if (!xfile::read_file(path, model, error, limits)) return false;
    data = std::make_shared<const Model>(model_data(model));
  }
  TextureFiles own;
  ModelTextures textures(path, files ? *files : own, limits);
  for (const ModelMesh& mesh : data->meshes)
    if (!textures.add(mesh, error)) return false;
  if (!set.load(*data, parent, textures.resolver())) {
    error = path + ": the file holds no frame, mesh or animation";
    return false;
  }
  return true;
}

std::shared_ptr<Texture> load_texture_file(const std::string& path, std::string& error) {
  Picture picture;
  if (!load_picture(path, picture, error)) return nullptr;
  auto texture = std::make_shared<Texture>(std::move(picture));
  texture->set_name(path);
  return texture;
}

}  // namespace quarvel::rm
