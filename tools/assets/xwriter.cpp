#include "xwriter.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace quarvel::assets {

XFrame& XFrame::child(const std::string& child_name, const Mat4& m) {
  children.push_back(XFrame{});
  children.back().name = child_name;
  children.back().transform = m;
  return children.back();
}

const XFrame* XFrame::find(const std::string& frame_name) const {
  if (name == frame_name) return this;
  for (const XFrame& c : children)
    if (const XFrame* f = c.find(frame_name)) return f;
  return nullptr;
}

namespace {

class Out {
 public:
  std::string s;
  void line(const std::string& text) {
    s.append(static_cast<size_t>(indent_) * 1, ' ');
    s += text;
    s += '\n';
  }
  void open(const std::string& head) {
    line(head + " {");
    ++indent_;
  }
  void close() {
    --indent_;
    line("}");
  }

 private:
  int indent_ = 0;
};

std::string num(float v) {
  if (!std::isfinite(v)) v = 0;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(v));
  std::string r = buf;
  if (r == "-0.000000") r = "0.000000";
  return r;
}

std::string time_str(float t) {
  // Key times are whole numbers (a DWORD in the format).
  if (!std::isfinite(t) || t < 0) t = 0;
  return std::to_string(static_cast<long long>(std::lround(t)));
}

const char* kTemplates =
    "template Header {\n <3D82AB43-62DA-11cf-AB39-0020AF71E433>\n WORD major;\n WORD minor;\n"
    " DWORD flags;\n}\n\n"
    "template Vector {\n <3D82AB5E-62DA-11cf-AB39-0020AF71E433>\n FLOAT x;\n FLOAT y;\n"
    " FLOAT z;\n}\n\n"
    "template Coords2d {\n <F6F23F44-7686-11cf-8F52-0040333594A3>\n FLOAT u;\n FLOAT v;\n}\n\n"
    "template Matrix4x4 {\n <F6F23F45-7686-11cf-8F52-0040333594A3>\n array FLOAT matrix[16];\n"
    "}\n\n"
    "template ColorRGBA {\n <35FF44E0-6C7C-11cf-8F52-0040333594A3>\n FLOAT red;\n FLOAT green;\n"
    " FLOAT blue;\n FLOAT alpha;\n}\n\n"
    "template ColorRGB {\n <D3E16E81-7835-11cf-8F52-0040333594A3>\n FLOAT red;\n FLOAT green;\n"
    " FLOAT blue;\n}\n\n";

void write_material(Out& o, const Material& m) {
  o.open("Material");
  o.line(num(m.r) + ";" + num(m.g) + ";" + num(m.b) + ";" + num(m.a) + ";;");
  o.line(num(m.power) + ";");
  o.line(num(m.sr) + ";" + num(m.sg) + ";" + num(m.sb) + ";;");
  o.line(num(m.er) + ";" + num(m.eg) + ";" + num(m.eb) + ";;");
  if (!m.texture.empty()) {
    o.open("TextureFilename");
    o.line("\"" + m.texture + "\";");
    o.close();
  }
  o.close();
}

// A count, then one line per item: the last ends with `last`, the others
// with a comma.
template <typename F>
void write_list(Out& o, size_t count, F item_text, const char* last = ";") {
  o.line(std::to_string(count) + ";");
  for (size_t i = 0; i < count; ++i) o.line(item_text(i) + (i + 1 == count ? last : ","));
}

std::string vector_text(const Vec3& v) { return num(v.x) + ";" + num(v.y) + ";" + num(v.z) + ";"; }

// A face as written: a triangle, or a quad kept whole.
struct Polygon {
  std::array<int, 4> v{};
  int n = 3;
  int material = 0;
};

// The mesh's faces as written: its triangles, or with write_quads each
// quad's two halves as one four-sided face, as long as they still share the
// diagonal they were split along: (a, b, c) and (a, c, d), or both turned
// round, (a, c, b) and (a, d, c). Read back, a four-sided face is split along
// that same diagonal.
std::vector<Polygon> polygons(const MeshData& mesh) {
  std::vector<Polygon> out;
  const size_t nf = mesh.faces.size();
  for (size_t i = 0; i < nf; ++i) {
    const auto& t = mesh.faces[i];
    const int material = mesh.face_material[i];
    if (mesh.write_quads && i + 1 < nf && i < mesh.quad_start.size() && mesh.quad_start[i] &&
        mesh.face_material[i + 1] == material) {
      const auto& u = mesh.faces[i + 1];
      if (t[0] == u[0] && t[2] == u[1]) {
        out.push_back({{t[0], t[1], t[2], u[2]}, 4, material});
        ++i;
        continue;
      }
      if (t[0] == u[0] && t[1] == u[2]) {
        out.push_back({{t[0], u[1], u[2], t[2]}, 4, material});
        ++i;
        continue;
      }
    }
    out.push_back({{t[0], t[1], t[2], 0}, 3, material});
  }
  return out;
}

void write_mesh(Out& o, const MeshData& mesh, const std::string& name) {
  const std::vector<Polygon> faces = polygons(mesh);
  const size_t nv = mesh.vertices.size(), nf = faces.size();
  auto face = [&](size_t i) {
    const Polygon& f = faces[i];
    std::string text = std::to_string(f.n) + ";";
    for (int k = 0; k < f.n; ++k) text += (k ? "," : "") + std::to_string(f.v[static_cast<size_t>(k)]);
    return text + ";";
  };
  o.open(name.empty() ? "Mesh" : "Mesh " + name);
  write_list(o, nv, [&](size_t i) { return vector_text(mesh.vertices[i].pos); });
  write_list(o, nf, face);
  o.open("MeshNormals");
  write_list(o, nv, [&](size_t i) { return vector_text(mesh.vertices[i].normal); });
  write_list(o, nf, face);
  o.close();
  o.open("MeshTextureCoords");
  write_list(o, nv, [&](size_t i) {
    const Vertex& v = mesh.vertices[i];
    return num(v.u) + ";" + num(v.v) + ";";
  });
  o.close();
  if (!mesh.materials.empty()) {
    o.open("MeshMaterialList");
    o.line(std::to_string(mesh.materials.size()) + ";");
    write_list(o, nf, [&](size_t i) { return std::to_string(faces[i].material); }, ";;");
    for (const Material& m : mesh.materials) write_material(o, m);
    o.close();
  }
  o.close();
}

void write_matrix(Out& o, const Mat4& m, const std::string& head) {
  o.open(head);
  for (int r = 0; r < 4; ++r) {
    std::string l;
    for (int c = 0; c < 4; ++c) {
      l += num(m.at(r, c));
      l += (r == 3 && c == 3) ? ";;" : ",";
    }
    o.line(l);
  }
  o.close();
}

void write_frame(Out& o, const XFrame& f) {
  o.open("Frame " + f.name);
  write_matrix(o, f.transform, "FrameTransformMatrix");
  if (f.mesh && !f.mesh->empty()) write_mesh(o, *f.mesh, f.mesh_name);
  for (const XFrame& c : f.children) write_frame(o, c);
  o.close();
}

void write_key_block(Out& o, int type, size_t count,
                     const std::function<std::string(size_t)>& key_text) {
  o.open("AnimationKey");
  o.line(std::to_string(type) + ";");
  write_list(o, count, key_text);
  o.close();
}

std::string vector_key_text(const VectorKey& k) {
  return time_str(k.time) + ";3;" + num(k.v.x) + "," + num(k.v.y) + "," + num(k.v.z) + ";;";
}

void write_animation(Out& o, const XAnimation& a) {
  o.open("Animation");
  o.line("{" + a.frame + "}");
  if (!a.rotation.empty())
    write_key_block(o, 0, a.rotation.size(), [&](size_t i) {
      const RotationKey& k = a.rotation[i];
      return time_str(k.time) + ";4;" + num(k.q.w) + "," + num(k.q.x) + "," + num(k.q.y) + "," +
             num(k.q.z) + ";;";
    });
  if (!a.scale.empty())
    write_key_block(o, 1, a.scale.size(), [&](size_t i) { return vector_key_text(a.scale[i]); });
  if (!a.position.empty())
    write_key_block(o, 2, a.position.size(), [&](size_t i) { return vector_key_text(a.position[i]); });
  if (!a.matrix.empty())
    write_key_block(o, 4, a.matrix.size(), [&](size_t i) {
      const MatrixKey& k = a.matrix[i];
      std::string s = time_str(k.time) + ";16;";
      for (int j = 0; j < 16; ++j) s += num(k.m.m[j]) + (j == 15 ? ";;" : ",");
      return s;
    });
  if (a.write_options) {
    o.open("AnimationOptions");
    o.line(std::string(a.closed ? "0" : "1") + ";");
    o.line(std::string(a.spline ? "0" : "1") + ";");
    o.close();
  }
  o.close();
}

}  // namespace

std::string write_x_text(const XFile& file) {
  Out o;
  o.s = "xof 0302txt 0032\n";
  if (file.write_templates) o.s += kTemplates;
  o.open("Header");
  o.line("1;");
  o.line("0;");
  o.line("1;");
  o.close();
  o.line("");
  if (file.ticks_per_second > 0) {
    o.open("AnimTicksPerSecond");
    o.line(std::to_string(file.ticks_per_second) + ";");
    o.close();
    o.line("");
  }
  for (const XFrame& f : file.frames) {
    write_frame(o, f);
    o.line("");
  }
  for (const XAnimationSet& set : file.sets) {
    o.open(set.name.empty() ? "AnimationSet" : "AnimationSet " + set.name);
    for (const XAnimation& a : set.animations) write_animation(o, a);
    o.close();
  }
  return o.s;
}

void keys_from_poses(XAnimation& anim, const std::vector<float>& times,
                     const std::vector<Mat4>& poses, bool with_scale) {
  Quat prev;
  for (size_t i = 0; i < times.size() && i < poses.size(); ++i) {
    const Mat4& m = poses[i];
    Vec3 ax{m.at(0, 0), m.at(0, 1), m.at(0, 2)};
    Vec3 ay{m.at(1, 0), m.at(1, 1), m.at(1, 2)};
    Vec3 az{m.at(2, 0), m.at(2, 1), m.at(2, 2)};
    Vec3 s{length(ax), length(ay), length(az)};
    Mat4 r = m;
    for (int c = 0; c < 3; ++c) {
      r.at(0, c) /= s.x > 0 ? s.x : 1;
      r.at(1, c) /= s.y > 0 ? s.y : 1;
      r.at(2, c) /= s.z > 0 ? s.z : 1;
    }
    Quat q = quat_from_matrix(r);
    if (i > 0 && q.w * prev.w + q.x * prev.x + q.y * prev.y + q.z * prev.z < 0)
      q = {-q.w, -q.x, -q.y, -q.z};
    prev = q;
    anim.rotation.push_back({times[i], q});
    if (with_scale) anim.scale.push_back({times[i], s});
    anim.position.push_back({times[i], {m.at(3, 0), m.at(3, 1), m.at(3, 2)}});
  }
}

}  // namespace quarvel::assets
