#include "platform/retained/xfile/describe.h"

#include "platform/common/json.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace quarvel::xfile {

namespace {

std::string num(uint64_t v) { return std::to_string(v); }
const char* boolean(bool b) { return b ? "true" : "false"; }

// "[...]": `item` of each element, separated by ", ".
template <class Range, class F>
std::string json_list(const Range& items, F&& item) {
  std::string out = "[";
  bool first = true;
  for (const auto& x : items) {
    out += first ? "" : ", ";
    first = false;
    out += item(x);
  }
  return out + "]";
}

// The texture names of a mesh's materials, each once, in the order first met.
std::string mesh_textures(const Mesh& mesh) {
  std::vector<std::string> names;
  for (const Material& m : mesh.materials)
    for (const std::string& t : m.textures)
      if (std::find(names.begin(), names.end(), t) == names.end()) names.push_back(t);
  return json_list(names, [](const std::string& t) { return quarvel::json_string(t, true); });
}

}  // namespace

std::string describe_model(const Model& model, const std::string& file) {
  std::string o = "{\"file\": " + quarvel::json_string(file) + ", \"kind\": \"model\"";
  o += ", \"encoding\": \"" + std::string(encoding_name(model.encoding)) + "\"";
  o += ", \"float_bits\": " + num(model.float_bits);
  char version[16];
  std::snprintf(version, sizeof version, "%02d%02d", model.version_major, model.version_minor);
  o += ", \"version\": \"" + std::string(version) + "\"";
  o += ", \"ticks_per_second\": " + num(model.ticks_per_second);

  o += ", \"frames\": " + json_list(flatten_frames(model), [](const FrameRef& r) {
    return "{\"name\": " + quarvel::json_string(r.frame->name, true) + ", \"depth\": " + num(r.depth) +
           ", \"children\": " + num(r.frame->children.size()) + ", \"meshes\": " + num(r.frame->meshes.size()) +
           "}";
  });

  o += ", \"meshes\": " + json_list(model.meshes, [](const Mesh& m) {
    return "{\"name\": " + quarvel::json_string(m.name, true) + ", \"vertices\": " + num(m.declared_vertices) +
           ", \"faces\": " + num(m.declared_faces) + ", \"materials\": " + num(m.materials.size()) +
           ", \"textures\": " + mesh_textures(m) + "}";
  });

  auto animation = [](const Animation& a) {
    uint64_t count[4] = {0, 0, 0, 0};
    for (const AnimationKeys& k : a.keys) count[k.type >= 3 ? 3 : k.type] += k.keys.size();
    return "{\"name\": " + quarvel::json_string(a.name, true) + ", \"frame\": " + quarvel::json_string(a.frame, true) +
           ", \"keys\": {\"rotation\": " + num(count[0]) + ", \"scale\": " + num(count[1]) +
           ", \"position\": " + num(count[2]) + ", \"matrix\": " + num(count[3]) + "}" +
           ", \"options\": " + boolean(a.has_options) + ", \"closed\": " + boolean(a.closed) +
           ", \"spline\": " + boolean(a.spline) + "}";
  };
  o += ", \"animation_sets\": " + json_list(model.animation_sets, [&](const AnimationSet& set) {
    return "{\"name\": " + quarvel::json_string(set.name, true) + ", \"animations\": " +
           json_list(set.animations, animation) + "}";
  });
  return o + "}";
}

}  // namespace quarvel::xfile
