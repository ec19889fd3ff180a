// Every model of the shared test corpus loads with the counts its
// MANIFEST.md gives, and every malformed one is refused.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/retained/xfile/reader.h"

namespace quarvel::xfile {
namespace {

const std::string kDir = std::string(QUARVEL_TESTDATA_DIR) + "/x/";

std::vector<std::string> split_row(const std::string& line) {
  std::vector<std::string> cells;
  std::stringstream ss(line);
  std::string cell;
  while (std::getline(ss, cell, '|')) {
    size_t b = cell.find_first_not_of(' '), e = cell.find_last_not_of(' ');
    cells.push_back(b == std::string::npos ? "" : cell.substr(b, e - b + 1));
  }
  if (!cells.empty()) cells.erase(cells.begin());  // before the first '|'
  return cells;
}

std::string unquote(std::string s) {
  if (s.size() >= 2 && s.front() == '`' && s.back() == '`') s = s.substr(1, s.size() - 2);
  return s;
}

struct Expected {
  std::string file, fmt, frames, meshes, animation, textures;
};

// Rows of the two tables: well-formed models (6 columns) and malformed files (2).
void read_manifest(std::vector<Expected>& good, std::vector<std::string>& bad) {
  std::ifstream in(kDir + "MANIFEST.md");
  ASSERT_TRUE(in) << "no MANIFEST.md in " << kDir;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("| `", 0) != 0) continue;
    std::vector<std::string> c = split_row(line);
    if (c.size() >= 6)
      good.push_back({unquote(c[0]), c[1], c[2], c[3], c[4], c[5]});
    else if (c.size() >= 2)
      bad.push_back(unquote(c[0]));
  }
}

int first_int(const std::string& s, int otherwise = 0) {
  std::smatch m;
  return std::regex_search(s, m, std::regex("\\d+")) ? std::stoi(m.str()) : otherwise;
}

int count_before(const std::string& s, const std::string& word) {
  std::smatch m;
  return std::regex_search(s, m, std::regex("(\\d+) (unnamed )?" + word)) ? std::stoi(m[1].str()) : -1;
}

void check_model(const Expected& e) {
  SCOPED_TRACE(e.file);
  Model m;
  std::string error;
  ASSERT_TRUE(read_file(kDir + e.file, m, error)) << error;

  // Format: "0303 txt 32".
  std::istringstream fmt(e.fmt);
  std::string version, enc;
  int bits = 0;
  fmt >> version >> enc >> bits;
  EXPECT_EQ(encoding_name(m.encoding), enc);
  EXPECT_EQ(m.float_bits, bits);
  EXPECT_EQ(m.version_minor, std::stoi(version.substr(2)));

  // Frames: "29, one unnamed (7)" or "none (...)".
  std::vector<FrameRef> frames = flatten_frames(m);
  int frame_count = e.frames.rfind("none", 0) == 0 ? 0 : first_int(e.frames);
  EXPECT_EQ(static_cast<int>(frames.size()), frame_count);
  if (e.frames.find("one unnamed") != std::string::npos) {
    int unnamed = 0;
    for (const FrameRef& f : frames) unnamed += f.frame->name.empty();
    EXPECT_EQ(unnamed, 1);
  }
  if (e.frames.find("top-level mesh") != std::string::npos) { EXPECT_FALSE(m.top_meshes.empty()); }
  if (e.frames.find("unnamed top-level mesh") != std::string::npos) { EXPECT_EQ(m.meshes[0].name, ""); }

  // Meshes: "17 / 668 / 724, vertex colours, 3 materials".
  std::smatch mm;
  ASSERT_TRUE(std::regex_search(e.meshes, mm, std::regex("(\\d+) / (\\d+) / (\\d+)")));
  size_t verts = 0, faces = 0, materials = 0;
  bool colours = false;
  for (const Mesh& mesh : m.meshes) {
    verts += mesh.declared_vertices;
    faces += mesh.declared_faces;
    materials += mesh.materials.size();
    colours = colours || !mesh.colors.empty();
    EXPECT_EQ(mesh.positions.size(), mesh.declared_vertices);
    EXPECT_EQ(mesh.face_sizes.size(), mesh.declared_faces);
    if (!mesh.materials.empty()) { EXPECT_EQ(mesh.face_materials.size(), mesh.declared_faces); }
  }
  EXPECT_EQ(m.meshes.size(), std::stoul(mm[1].str()));
  EXPECT_EQ(verts, std::stoul(mm[2].str()));
  EXPECT_EQ(faces, std::stoul(mm[3].str()));
  int want_materials = count_before(e.meshes, "materials");
  if (want_materials >= 0) { EXPECT_EQ(static_cast<int>(materials), want_materials); }
  if (e.meshes.find("vertex colours") != std::string::npos) { EXPECT_TRUE(colours); }

  // Animation: "3 sets, 117 animations, keys 0/1/2, options".
  if (e.animation == "-") {
    EXPECT_TRUE(m.animation_sets.empty());
  } else {
    int sets = std::max(count_before(e.animation, "sets?"), 0);
    EXPECT_EQ(static_cast<int>(m.animation_sets.size()), sets);
    size_t anims = 0;
    std::set<uint32_t> types;
    bool all_options = true;
    for (const AnimationSet& s : m.animation_sets) {
      anims += s.animations.size();
      if (e.animation.find("unnamed set") != std::string::npos) { EXPECT_EQ(s.name, ""); }
      for (const Animation& a : s.animations) {
        all_options = all_options && a.has_options;
        EXPECT_FALSE(a.frame.empty());
        for (const AnimationKeys& k : a.keys) types.insert(k.type);
      }
    }
    EXPECT_EQ(static_cast<int>(anims), count_before(e.animation, "animations"));
    std::smatch km;
    if (std::regex_search(e.animation, km, std::regex("keys ([0-9/]+)"))) {
      std::set<uint32_t> want;
      for (char ch : km[1].str())
        if (ch != '/') want.insert(static_cast<uint32_t>(ch - '0'));
      EXPECT_EQ(types, want);
    }
    if (std::regex_search(e.animation, km, std::regex("type (\\d)"))) {
      EXPECT_EQ(types, std::set<uint32_t>{static_cast<uint32_t>(std::stoi(km[1].str()))});
    }
    if (e.animation.find("options") != std::string::npos) { EXPECT_TRUE(all_options); }
  }

  // Textures: "-", a count, or names in backquotes (before any remark in brackets).
  std::set<std::string> names, bases;
  for (const Mesh& mesh : m.meshes)
    for (const Material& mat : mesh.materials)
      for (const std::string& t : mat.textures) {
        names.insert(t);
        bases.insert(base_name(t));
      }
  if (e.textures == "-") {
    EXPECT_TRUE(names.empty());
  } else if (e.textures == "empty name") {
    EXPECT_EQ(names, std::set<std::string>{""});
  } else if (std::isdigit(static_cast<unsigned char>(e.textures[0]))) {
    EXPECT_EQ(static_cast<int>(names.size()), first_int(e.textures));
  } else {
    std::string listed = e.textures.substr(0, e.textures.find('('));
    std::regex quoted("`([^`]*)`");
    for (auto it = std::sregex_iterator(listed.begin(), listed.end(), quoted); it != std::sregex_iterator(); ++it) {
      std::string want = (*it)[1].str();
      if (want.size() >= 2 && want.front() == '"') want = want.substr(1, want.size() - 2);
      EXPECT_TRUE(bases.count(base_name(want))) << "texture " << want;
    }
  }
}

TEST(Corpus, EveryWellFormedModelLoadsWithItsManifestCounts) {
  std::vector<Expected> good;
  std::vector<std::string> bad;
  read_manifest(good, bad);
  ASSERT_GE(good.size(), 10u);
  for (const Expected& e : good) check_model(e);
}

TEST(Corpus, EveryMalformedFileIsRefusedWithOneLine) {
  std::vector<Expected> good;
  std::vector<std::string> bad;
  read_manifest(good, bad);
  ASSERT_GE(bad.size(), 4u);
  for (const std::string& f : bad) {
    SCOPED_TRACE(f);
    Model m;
    m.ticks_per_second = 12345;
    std::string error;
    EXPECT_FALSE(read_file(kDir + f, m, error));
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_NE(error.find(f), std::string::npos) << error;
    EXPECT_EQ(m.ticks_per_second, 12345u);
    EXPECT_TRUE(m.meshes.empty());
  }
}

TEST(Corpus, TextBinaryAndCompressedCubesHoldTheSameMesh) {
  Model t, b, z;
  std::string error;
  ASSERT_TRUE(read_file(kDir + "assimp/test_cube_text.x", t, error)) << error;
  ASSERT_TRUE(read_file(kDir + "assimp/test_cube_binary.x", b, error)) << error;
  ASSERT_TRUE(read_file(kDir + "assimp/test_cube_compressed.x", z, error)) << error;
  for (const Model* other : {&b, &z}) {
    ASSERT_EQ(other->meshes.size(), 1u);
    const Mesh& a = t.meshes[0];
    const Mesh& o = other->meshes[0];
    EXPECT_EQ(a.name, o.name);
    EXPECT_EQ(a.triangles, o.triangles);
    EXPECT_EQ(a.normal_indices, o.normal_indices);
    EXPECT_EQ(a.face_materials, o.face_materials);
    ASSERT_EQ(a.positions.size(), o.positions.size());
    for (size_t i = 0; i < a.positions.size(); ++i) {
      EXPECT_NEAR(a.positions[i].x, o.positions[i].x, 1e-6);
      EXPECT_NEAR(a.positions[i].y, o.positions[i].y, 1e-6);
      EXPECT_NEAR(a.positions[i].z, o.positions[i].z, 1e-6);
    }
    ASSERT_EQ(a.uvs.size(), o.uvs.size());
    ASSERT_EQ(a.materials.size(), o.materials.size());
    EXPECT_NEAR(a.materials[0].power, o.materials[0].power, 1e-4);
    EXPECT_EQ(other->frames[0].children[0].name, "Cube");
  }
}

}  // namespace
}  // namespace quarvel::xfile
