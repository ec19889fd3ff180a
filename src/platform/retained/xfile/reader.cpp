#include "platform/retained/xfile/reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <unordered_map>

#include "platform/retained/xfile/lexer.h"

namespace quarvel::xfile {

namespace {

static_assert(sizeof(Vec3) == 3 * sizeof(float), "Vec3 must be three packed floats");
static_assert(sizeof(Vec2) == 2 * sizeof(float), "Vec2 must be two packed floats");

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool is_number_word(std::string_view w) {
  if (w.empty()) return false;
  char c = w[0];
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.';
}

template <class Lexer>
class Parser {
 public:
  Parser(Lexer& lx, Model& m, const Limits& limits, size_t data_bytes)
      : lx_(lx), m_(m), limits_(limits), budget_(model_budget(data_bytes, limits)), left_(budget_) {}

  void parse_file() {
    for (;;) {
      Token t = lx_.next();
      switch (t.kind) {
        case TokenKind::End:
          return;
        case TokenKind::Separator:
          continue;
        case TokenKind::Template:
          skip_template(t);
          continue;
        case TokenKind::OpenBrace:
          read_reference(t);
          continue;
        case TokenKind::Word:
          if (is_number_word(t.text)) lx_.fail("data outside any object", t.offset);
          top_object(t);
          continue;
        case TokenKind::CloseBrace:
          lx_.fail("a '}' with no object to close", t.offset);
        default:
          lx_.fail(std::string("unexpected ") + token_kind_name(t.kind) + " outside any object", t.offset);
      }
    }
  }

 private:
  // One level of object nesting, bounded so a hostile file cannot recurse deeply.
  struct Nest {
    Parser& p;
    Nest(Parser& parser, size_t at) : p(parser) {
      if (++p.depth_ > p.limits_.max_depth)
        p.lx_.fail("objects nested more than " + std::to_string(p.limits_.max_depth) + " deep", at);
    }
    ~Nest() { --p.depth_; }
  };

  // After an object's type: its optional name, the '{' and an optional id.
  std::string open_object(const Token& type) {
    Token t = lx_.next();
    std::string name;
    if (t.kind == TokenKind::Word) {
      name.assign(t.text);
      t = lx_.next();
    }
    while (t.kind == TokenKind::Guid) t = lx_.next();
    if (t.kind != TokenKind::OpenBrace)
      lx_.fail("expected '{' after " + shown(type.text) + ", found " + token_kind_name(t.kind), t.offset);
    if (lx_.peek().kind == TokenKind::Guid) lx_.next();
    return name;
  }

  // Skips to the '}' that closes the object we are in.
  void skip_rest(const Token& type) {
    int level = 1;
    for (;;) {
      Token t = lx_.next();
      if (t.kind == TokenKind::OpenBrace) {
        if (++level + depth_ > limits_.max_depth)
          lx_.fail("objects nested more than " + std::to_string(limits_.max_depth) + " deep", t.offset);
      } else if (t.kind == TokenKind::CloseBrace) {
        if (--level == 0) return;
      } else if (t.kind == TokenKind::End) {
        lx_.fail("the file ends inside " + shown(type.text), type.offset);
      }
    }
  }

  void skip_object(const Token& type) {
    Nest nest(*this, type.offset);
    open_object(type);
    skip_rest(type);
  }

  void skip_template(const Token& t) {
    Token name = lx_.next();
    if (name.kind != TokenKind::Word) lx_.fail("expected a name after 'template'", name.offset);
    Token open = lx_.next();
    if (open.kind != TokenKind::OpenBrace) lx_.fail("expected '{' after template " + shown(name.text), open.offset);
    Nest nest(*this, t.offset);
    skip_rest(name);
  }

  // After '{': "{ name }", "{ name <id> }" or "{ <id> }".
  std::string read_reference(const Token& open) {
    Token t = lx_.next();
    std::string name;
    if (t.kind == TokenKind::Word) {
      name.assign(t.text);
      t = lx_.next();
    }
    while (t.kind == TokenKind::Guid) t = lx_.next();
    if (t.kind != TokenKind::CloseBrace) lx_.fail("expected '}' to end a reference", t.offset);
    return name;
  }

  // Hands each nested object or reference of the current object to
  // `child` until its closing '}'. Data the parser did not ask for is skipped.
  template <class F>
  void children(const Token& type, F&& child) {
    for (;;) {
      Token t = lx_.next();
      switch (t.kind) {
        case TokenKind::CloseBrace:
          return;
        case TokenKind::End:
          lx_.fail("the file ends inside " + shown(type.text), type.offset);
        case TokenKind::Word:
          if (is_number_word(t.text)) continue;
          child(t);
          continue;
        case TokenKind::OpenBrace:
          child(t);
          continue;
        case TokenKind::Template:
          skip_template(t);
          continue;
        default:
          continue;
      }
    }
  }

  void skip_child(const Token& t) {
    if (t.kind == TokenKind::OpenBrace)
      read_reference(t);
    else
      skip_object(t);
  }

  void skip_children(const Token& type) {
    children(type, [&](const Token& t) { skip_child(t); });
  }

  // A count of items of `numbers` numbers each, checked against the data left.
  uint32_t read_count(size_t numbers, const char* what) {
    size_t at = lx_.offset();
    uint32_t n = lx_.read_uint();
    size_t per_item = std::max<size_t>(1, numbers) * Lexer::kNumberBytes;
    if (n > lx_.remaining() / per_item)
      lx_.fail(std::string("a count of ") + std::to_string(n) + " " + what + " is more than the data left", at);
    return n;
  }

  void read_matrix(Matrix& m) { lx_.read_floats(m.data(), 16); }

  // Books `bytes` of model memory before they are taken; past the budget
  // the file is refused.
  void charge(size_t bytes, size_t at) {
    if (bytes > left_)
      lx_.fail("the model would take more than " + megabytes(budget_) + " of memory", at);
    left_ -= bytes;
  }
  void charge(size_t bytes) { charge(bytes, lx_.offset()); }

  // Makes room for `n` more items in `v`, charging the whole new buffer:
  // while the items move, the old one is still there, and it was charged
  // when it was made.
  template <class T>
  void make_room(std::vector<T>& v, size_t n) {
    const size_t need = v.size() + n;
    if (need <= v.capacity()) return;
    const size_t room = std::max(need, 2 * v.capacity());
    charge(room * sizeof(T));
    v.reserve(room);
  }
  template <class T>
  void keep(std::vector<T>& v, T item) {
    make_room(v, 1);
    v.push_back(std::move(item));
  }
  // A name or file name kept in the model.
  std::string keep_string(std::string s) {
    charge(s.size());
    return s;
  }
  // Finds the item of `name` in `map`; with `replace`, the last one given.
  void index_name(std::unordered_map<std::string, size_t>& map, const std::string& name, size_t item,
                  bool replace) {
    auto [it, added] = map.try_emplace(name, item);
    if (added) charge(kMapEntryBytes + name.size());
    else if (replace) it->second = item;
  }
  static constexpr size_t kMapEntryBytes = 64;  // a node and its bucket, about

  // What a copy of `m` takes beyond its own place in a list.
  static size_t copy_bytes(const Material& m) {
    size_t n = m.name.size() + m.textures.size() * sizeof(std::string);
    for (const std::string& t : m.textures) n += t.size();
    return n;
  }

  // An index below `limit`; past it, the file is refused with `describe(index)`.
  template <class Describe>
  uint32_t read_index(uint32_t limit, Describe&& describe) {
    size_t at = lx_.offset();
    uint32_t v = lx_.read_uint();
    if (v >= limit) lx_.fail(describe(v), at);
    return v;
  }

  static float* first_float(Vec3* v) { return &v->x; }
  static float* first_float(Vec2* v) { return &v->u; }

  // A count, then that many vectors of floats, taken a slice at a time so
  // that memory follows the vectors actually there.
  template <class V>
  std::vector<V> read_vectors(const char* what) {
    constexpr size_t kFloats = sizeof(V) / sizeof(float);
    constexpr size_t kSlice = 4096;
    uint32_t n = read_count(kFloats, what);
    std::vector<V> out;
    for (size_t done = 0; done < n;) {
      size_t take = std::min<size_t>(kSlice, n - done);
      make_room(out, take);
      out.resize(done + take);
      lx_.read_floats(first_float(out.data() + done), take * kFloats);
      done += take;
    }
    return out;
  }

  // An object whose data `read` takes; the child objects it may hold are
  // skipped.
  template <class F>
  void data_object(const Token& type, F&& read) {
    Nest nest(*this, type.offset);
    open_object(type);
    read();
    skip_children(type);
  }

  // ------------------------------------------------------------ objects

  void top_object(const Token& t) {
    std::string_view type = t.text;
    if (iequals(type, "Frame")) {
      keep(m_.frames, parse_frame(t));
    } else if (iequals(type, "Mesh")) {
      keep(m_.top_meshes, parse_mesh(t));
    } else if (iequals(type, "Material")) {
      add_material(parse_material(t));
    } else if (iequals(type, "AnimationSet")) {
      keep(m_.animation_sets, parse_animation_set(t));
    } else if (iequals(type, "AnimTicksPerSecond")) {
      data_object(t, [&] { m_.ticks_per_second = lx_.read_uint(); });
    } else {
      skip_object(t);
    }
  }

  Frame parse_frame(const Token& type) {
    Nest nest(*this, type.offset);
    Frame f;
    f.name = keep_string(open_object(type));
    children(type, [&](const Token& t) {
      if (t.kind == TokenKind::OpenBrace) {
        // An instance of a mesh declared elsewhere.
        std::string ref = read_reference(t);
        auto it = ref.empty() ? mesh_by_name_.end() : mesh_by_name_.find(ref);
        if (it != mesh_by_name_.end()) keep(f.meshes, static_cast<uint32_t>(it->second));
        return;
      }
      if (iequals(t.text, "FrameTransformMatrix")) {
        data_object(t, [&] { read_matrix(f.transform); });
      } else if (iequals(t.text, "Frame")) {
        keep(f.children, parse_frame(t));
      } else if (iequals(t.text, "Mesh")) {
        keep(f.meshes, parse_mesh(t));
      } else if (iequals(t.text, "Material")) {
        add_material(parse_material(t));
      } else {
        skip_object(t);
      }
    });
    return f;
  }

  Material parse_material(const Token& type) {
    Nest nest(*this, type.offset);
    Material mat;
    mat.name = keep_string(open_object(type));
    float v[11];
    lx_.read_floats(v, 11);
    mat.face_color = {v[0], v[1], v[2], v[3]};
    mat.power = v[4];
    mat.specular = {v[5], v[6], v[7]};
    mat.emissive = {v[8], v[9], v[10]};
    children(type, [&](const Token& t) {
      if (t.kind == TokenKind::Word && iequals(t.text, "TextureFilename")) {
        data_object(t, [&] { keep(mat.textures, keep_string(lx_.read_string())); });
      } else {
        skip_child(t);
      }
    });
    return mat;
  }

  // A material declared outside any mesh; a reference finds the last one
  // of its name.
  void add_material(Material mat) {
    index_name(material_by_name_, mat.name, m_.materials.size(), true);
    keep(m_.materials, std::move(mat));
  }

  // Reads `n` polygons: a corner count, then that many indices below `limit`.
  void read_polygons(uint32_t n, uint32_t limit, const char* what, std::vector<uint32_t>& sizes,
                     std::vector<uint32_t>& indices) {
    for (uint32_t f = 0; f < n; ++f) {
      uint32_t k = read_count(1, "polygon corners");
      keep(sizes, k);
      for (uint32_t i = 0; i < k; ++i) {
        keep(indices, read_index(limit, [&](uint32_t v) {
          return std::string(what) + " " + std::to_string(f) + " refers to index " + std::to_string(v) +
                 " of " + std::to_string(limit);
        }));
      }
    }
  }

  uint32_t parse_mesh(const Token& type) {
    Nest nest(*this, type.offset);
    Mesh mesh;
    mesh.name = keep_string(open_object(type));
    mesh.positions = read_vectors<Vec3>("vertices");
    const uint32_t nv = static_cast<uint32_t>(mesh.positions.size());
    mesh.declared_vertices = nv;
    uint32_t nf = read_count(1, "faces");
    mesh.declared_faces = nf;
    read_polygons(nf, nv, "face", mesh.face_sizes, mesh.face_indices);
    triangulate(mesh);

    children(type, [&](const Token& t) {
      if (t.kind != TokenKind::Word) return skip_child(t);
      std::string_view k = t.text;
      if (iequals(k, "MeshNormals")) {
        parse_normals(t, mesh);
      } else if (iequals(k, "MeshTextureCoords")) {
        data_object(t, [&] {
          mesh.uvs = read_vectors<Vec2>("texture coordinates");
          if (mesh.uvs.size() < nv) make_room(mesh.uvs, nv - mesh.uvs.size());
          mesh.uvs.resize(nv);
        });
      } else if (iequals(k, "MeshVertexColors")) {
        data_object(t, [&] {
          uint32_t n = read_count(5, "vertex colours");
          make_room(mesh.colors, nv - std::min<size_t>(nv, mesh.colors.size()));
          mesh.colors.assign(nv, Color{});
          for (uint32_t i = 0; i < n; ++i) {
            size_t at = lx_.offset();
            uint32_t v = lx_.read_uint();
            float c[4];
            lx_.read_floats(c, 4);
            if (v >= nv)
              lx_.fail("a vertex colour for vertex " + std::to_string(v) + " of " + std::to_string(nv), at);
            mesh.colors[v] = {c[0], c[1], c[2], c[3]};
          }
        });
      } else if (iequals(k, "MeshMaterialList")) {
        parse_material_list(t, mesh);
      } else if (iequals(k, "SkinWeights")) {
        check_skin_weights(t, nv);
      } else {
        skip_object(t);
      }
    });
    const uint32_t index = static_cast<uint32_t>(m_.meshes.size());
    if (!mesh.name.empty()) index_name(mesh_by_name_, mesh.name, index, false);  // the first of a name
    keep(m_.meshes, std::move(mesh));
    return index;
  }

  // The triangles come from the polygons already read.
  void triangulate(Mesh& mesh) {
    size_t tris = 0;
    for (uint32_t k : mesh.face_sizes) tris += k >= 3 ? k - 2 : 0;
    make_room(mesh.triangles, tris * 3);
    make_room(mesh.triangle_faces, tris);
    size_t o = 0;
    for (uint32_t f = 0; f < mesh.face_sizes.size(); ++f) {
      uint32_t k = mesh.face_sizes[f];
      for (uint32_t i = 1; i + 1 < k; ++i) {
        mesh.triangles.push_back(mesh.face_indices[o]);
        mesh.triangles.push_back(mesh.face_indices[o + i]);
        mesh.triangles.push_back(mesh.face_indices[o + i + 1]);
        mesh.triangle_faces.push_back(f);
      }
      o += k;
    }
  }

  void parse_normals(const Token& type, Mesh& mesh) {
    std::vector<Vec3> normals;
    std::vector<uint32_t> sizes, indices;
    data_object(type, [&] {
      normals = read_vectors<Vec3>("normals");
      uint32_t nf = read_count(1, "normal faces");
      read_polygons(nf, static_cast<uint32_t>(normals.size()), "normal face", sizes, indices);
    });
    if (sizes == mesh.face_sizes) {
      mesh.normals = std::move(normals);
      mesh.normal_indices = std::move(indices);
    } else {
      mesh.normals.clear();
      mesh.normal_indices.clear();
    }
  }

  void parse_material_list(const Token& type, Mesh& mesh) {
    Nest nest(*this, type.offset);
    open_object(type);
    uint32_t nm = read_count(1, "materials");
    uint32_t ni = read_count(1, "face materials");
    // Only as many indices as there are faces are kept.
    const size_t faces = mesh.face_sizes.size();
    std::vector<uint32_t> index;
    for (uint32_t i = 0; i < ni; ++i) {
      uint32_t v = read_index(nm, [&](uint32_t v) {
        return "face " + std::to_string(i) + " uses material " + std::to_string(v) + " of " + std::to_string(nm);
      });
      if (index.size() < faces) keep(index, v);
    }
    // The materials the list gives, up to its count.
    std::vector<Material> mats;
    children(type, [&](const Token& t) {
      if (t.kind == TokenKind::OpenBrace) {
        std::string ref = read_reference(t);
        if (mats.size() >= nm) return;
        auto it = material_by_name_.find(ref);
        Material found;
        if (it != material_by_name_.end()) found = m_.materials[it->second];
        else found.name = ref;
        charge(copy_bytes(found), t.offset);
        keep(mats, std::move(found));
      } else if (iequals(t.text, "Material")) {
        Material mat = parse_material(t);
        if (mats.size() < nm) keep(mats, std::move(mat));
      } else {
        skip_object(t);
      }
    });
    // A list that gives fewer materials than it counts has plain ones for
    // the rest, up to the highest material its faces use: the padding
    // follows the indices read, not the count.
    uint32_t used = 0;
    for (uint32_t v : index) used = std::max(used, v + 1);
    if (mats.size() < used) {
      make_room(mats, used - mats.size());
      mats.resize(used);
    }
    mesh.declared_materials = nm;
    mesh.materials = std::move(mats);
    mesh.face_materials.clear();
    if (nm > 0) {
      // A shorter list applies its last index to the remaining faces.
      mesh.face_materials = std::move(index);
      make_room(mesh.face_materials, faces - mesh.face_materials.size());
      mesh.face_materials.resize(faces, mesh.face_materials.empty() ? 0 : mesh.face_materials.back());
    }
  }

  // Skin data is not used, but its vertex indices are checked so a damaged
  // file is refused rather than half read.
  void check_skin_weights(const Token& type, uint32_t nv) {
    data_object(type, [&] {
      lx_.read_string();
      uint32_t n = read_count(2, "skin weights");
      for (uint32_t i = 0; i < n; ++i) {
        read_index(nv, [&](uint32_t v) {
          return "a skin weight for vertex " + std::to_string(v) + " of " + std::to_string(nv);
        });
      }
      for (uint32_t i = 0; i < n; ++i) lx_.read_float();
      Matrix offset;
      read_matrix(offset);
    });
  }

  AnimationSet parse_animation_set(const Token& type) {
    Nest nest(*this, type.offset);
    AnimationSet set;
    set.name = keep_string(open_object(type));
    children(type, [&](const Token& t) {
      if (t.kind == TokenKind::Word && iequals(t.text, "Animation")) {
        keep(set.animations, parse_animation(t));
      } else {
        skip_child(t);
      }
    });
    return set;
  }

  Animation parse_animation(const Token& type) {
    Nest nest(*this, type.offset);
    Animation a;
    a.name = keep_string(open_object(type));
    children(type, [&](const Token& t) {
      if (t.kind == TokenKind::OpenBrace) {
        a.frame = keep_string(read_reference(t));
        return;
      }
      std::string_view k = t.text;
      if (iequals(k, "AnimationKey")) {
        keep(a.keys, parse_keys(t));
      } else if (iequals(k, "AnimationOptions")) {
        data_object(t, [&] {
          uint32_t open_closed = lx_.read_uint();
          uint32_t quality = lx_.read_uint();
          a.has_options = true;
          a.closed = open_closed == 0;
          a.spline = quality == 0;
        });
      } else if (iequals(k, "Frame")) {
        // A frame written inside the animation: the animation moves it.
        Nest n2(*this, t.offset);
        a.frame = keep_string(open_object(t));
        skip_rest(t);
      } else {
        skip_object(t);
      }
    });
    return a;
  }

  AnimationKeys parse_keys(const Token& type) {
    AnimationKeys keys;
    data_object(type, [&] {
      keys.type = read_index(5, [](uint32_t v) { return "unknown animation key type " + std::to_string(v); });
      uint32_t n = read_count(2, "keys");
      for (uint32_t i = 0; i < n; ++i) {
        Key k;
        k.time = lx_.read_uint();
        k.count = read_count(1, "key values");
        uint32_t kept = std::min<uint32_t>(k.count, 16);
        lx_.read_floats(k.values.data(), kept);
        for (uint32_t j = kept; j < k.count; ++j) lx_.read_float();
        keep(keys.keys, k);
      }
    });
    return keys;
  }

  Lexer& lx_;
  Model& m_;
  const Limits& limits_;
  int depth_ = 0;
  const size_t budget_;  // model memory allowed for this file
  size_t left_;          // of it, not yet taken
  std::unordered_map<std::string, size_t> mesh_by_name_;
  std::unordered_map<std::string, size_t> material_by_name_;
};

}  // namespace

size_t model_budget(size_t data_bytes, const Limits& limits) {
  constexpr size_t kPerDataByte = 8;
  constexpr size_t kAtLeast = size_t{4} << 20;
  size_t scaled = data_bytes > (SIZE_MAX - kAtLeast) / kPerDataByte ? SIZE_MAX : data_bytes * kPerDataByte + kAtLeast;
  return std::min(scaled, limits.max_model_bytes);
}

std::string base_name(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool read_memory(const void* raw, size_t size, const std::string& name, Model& model, std::string& error,
                 const Limits& limits) {
  const uint8_t* data = static_cast<const uint8_t*>(raw);
  auto refuse = [&](const std::string& why) {
    error = name + ": " + why;
    return false;
  };
  Header header;
  std::string why;
  if (!read_header(data, size, header, why)) return refuse(why);
  Model m;
  m.version_major = header.version_major;
  m.version_minor = header.version_minor;
  m.encoding = header.encoding;
  m.float_bits = header.float_bits;

  try {
    const uint8_t* body = data + 16;
    size_t body_size = size - 16;
    std::vector<uint8_t> inflated;
    bool zipped = is_compressed(m.encoding);
    if (zipped) {
      if (!inflate_body(body, body_size, inflated, why, limits.max_inflated_bytes)) return refuse(why);
      body = inflated.data();
      body_size = inflated.size();
    }
    if (m.encoding == Encoding::Text || m.encoding == Encoding::TextZip) {
      TextLexer lx(reinterpret_cast<const char*>(body), body_size, 16);
      Parser<TextLexer>(lx, m, limits, body_size).parse_file();
    } else {
      BinaryLexer lx(body, body_size, m.float_bits, 16, zipped);
      Parser<BinaryLexer>(lx, m, limits, body_size).parse_file();
    }
  } catch (const ParseError& e) {
    return refuse(e.what());
  } catch (const std::bad_alloc&) {
    return refuse("not enough memory to read it");
  } catch (const std::length_error&) {
    return refuse("not enough memory to read it");
  }
  model = std::move(m);
  return true;
}

bool read_file(const std::string& path, Model& model, std::string& error, const Limits& limits) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!f) {
    error = path + ": cannot open the file (" + std::strerror(errno) + ")";
    return false;
  }
  std::vector<uint8_t> data;
  if (std::fseek(f.get(), 0, SEEK_END) == 0) {
    long size = std::ftell(f.get());
    if (size > 0 && static_cast<unsigned long>(size) <= limits.max_file_bytes) data.reserve(static_cast<size_t>(size));
    std::rewind(f.get());
  }
  uint8_t chunk[65536];
  for (;;) {
    size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
    if (n == 0) break;
    if (data.size() + n > limits.max_file_bytes) {
      error = path + ": the file is larger than " + std::to_string(limits.max_file_bytes >> 20) + " MB";
      return false;
    }
    data.insert(data.end(), chunk, chunk + n);
  }
  if (std::ferror(f.get())) {
    error = path + ": cannot read the file";
    return false;
  }
  return read_memory(data.data(), data.size(), path, model, error, limits);
}

}  // namespace quarvel::xfile
