#include "platform/retained/xfile/describe.h"

#include "platform/common/json.h"

#include <cstdio>

namespace quarvel::xfile {

namespace {

std::string num(uint64_t v) { return std::to_string(v); }
const char* boolean(bool b) { return b ? "true" : "false"; }

std::string mesh_textures(const Mesh& mesh) {
  std::vector<const std::string*> seen;
  std::string out = "[";
  for (const Material& m : mesh.materials) {
    for (const std::string& t : m.textures) {
      bool dup = false;
      for (const std::string* s : seen) dup = dup || *s == t;
      if (dup) continue;
      if (!seen.empty()) out += ", ";
      seen.push_back(&t);
      out += quarvel::json_string(t, true);
    }
  }
  return out + "]";
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

  o += ", \"frames\": [";
  bool first = true;
  for (const FrameRef& r : flatten_frames(model)) {
    o += first ? "" : ", ";
    first = false;
    o += "{\"name\": " + quarvel::json_string(r.frame->name, true) + ", \"depth\": " + num(r.depth) +
         ", \"children\": " + num(r.frame->children.size()) + ", \"meshes\": " + num(r.frame->meshes.size()) + "}";
  }
  o += "]";

  o += ", \"meshes\": [";
  first = true;
  for (const Mesh& m : model.meshes) {
    o += first ? "" : ", ";
    first = false;
    o += "{\"name\": " + quarvel::json_string(m.name, true) + ", \"vertices\": " + num(m.declared_vertices) +
         ", \"faces\": " + num(m.declared_faces) + ", \"materials\": " + num(m.materials.size()) +
         ", \"textures\": " + mesh_textures(m) + "}";
  }
  o += "]";

  o += ", \"animation_sets\": [";
  first = true;
  for (const AnimationSet& set : model.animation_sets) {
    o += first ? "" : ", ";
    first = false;
    o += "{\"name\": " + quarvel::json_string(set.name, true) + ", \"animations\": [";
    bool first_anim = true;
    for (const Animation& a : set.animations) {
      uint64_t count[4] = {0, 0, 0, 0};
      for (const AnimationKeys& k : a.keys) count[k.type >= 3 ? 3 : k.type] += k.keys.size();
      o += first_anim ? "" : ", ";
      first_anim = false;
      o += "{\"name\": " + quarvel::json_string(a.name, true) + ", \"frame\": " + quarvel::json_string(a.frame, true) +
           ", \"keys\": {\"rotation\": " + num(count[0]) + ", \"scale\": " + num(count[1]) +
           ", \"position\": " + num(count[2]) + ", \"matrix\": " + num(count[3]) + "}" +
           ", \"options\": " + boolean(a.has_options) + ", \"closed\": " + boolean(a.closed) +
           ", \"spline\": " + boolean(a.spline) + "}";
    }
    o += "]}";
  }
  o += "]}";
  return o;
}

}  // namespace quarvel::xfile
