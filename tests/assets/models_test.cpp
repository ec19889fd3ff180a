// The generated model files, read back through the model reader: the frame
// names and depths the scenes look for, camera paths, key times and sizes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <set>

#include "model_kit.h"
#include "platform/common/picture_file.h"
#include "models.h"
#include "show_files.h"

namespace quarvel::assets_test {
namespace {

using xfile::Frame;
using xfile::Model;

Model load(const std::string& name) {
  Model m;
  std::string error;
  EXPECT_TRUE(read_model(name, m, error)) << error;
  return m;
}

TEST(GeneratedModels, EveryFileLoadsWithFramesAndMeshes) {
  for (int i = 0; i < assets::kModelCount; ++i) {
    SCOPED_TRACE(assets::model_file_name(i));
    Model m = load(assets::model_file_name(i));
    EXPECT_FALSE(m.frames.empty());
    bool camera_only = i == 1 || i == 3 || i == 5 || i == 7;
    if (!camera_only) {
      EXPECT_FALSE(m.meshes.empty());
    }
    for (const auto& mesh : m.meshes) {
      EXPECT_EQ(mesh.normals.size(), mesh.positions.size());
      EXPECT_EQ(mesh.uvs.size(), mesh.positions.size());
      EXPECT_EQ(mesh.face_materials.size(), mesh.face_sizes.size());
    }
  }
}

// The opening builder's walk: every depth-1 frame is looked at, only some are
// descended into; depth 2 and 3 always descend, depth 4 does not.
TEST(OpeningShips, WalkOfTheBuilderFindsEveryNamedFrameAtItsDepth) {
  Model m = load("00000000.dat");
  const std::set<std::string> descend = {"x3ds_Box01",       "x3ds_Truck__-Co",  "x3ds_x4_Vaisseau",
                                         "x3ds_x4_Vaissea1", "x3ds_x4_Vaissea3", "x3ds_x5_Vaisseau",
                                         "x3ds_x5_Vaissea0", "x3ds_x5_Vaissea1"};
  const std::map<std::string, int> wanted = {
      {"x3ds_x4_Vaissea4", 2}, {"x3ds_x5_Vaissea0", 1}, {"x3ds_x4_Vaissea0", 2},
      {"x3ds_VaisseauT1", 1},  {"x3ds_VaisseauT3", 1},  {"x3ds_VaisseauT4", 1},
      {"x3ds_x5_Vaissea2", 2}, {"x3ds_Truck_-_T2", 4},  {"x3ds_Truck_-_T0", 4},
      {"x3ds_x4_Truck_-0", 3}, {"x3ds_x4_Truck_-1", 3}};
  std::map<std::string, const Frame*> found;
  std::function<void(const Frame&, int)> visit = [&](const Frame& f, int depth) {
    auto w = wanted.find(f.name);
    if (w != wanted.end() && w->second == depth) {
      EXPECT_EQ(found.count(f.name), 0u) << f.name << " met twice";
      found[f.name] = &f;
    }
    if (depth == 4 || (depth == 1 && !descend.count(f.name))) return;
    for (const Frame& c : f.children) visit(c, depth + 1);
  };
  for (const Frame& f : m.frames) visit(f, 1);
  for (const auto& [name, depth] : wanted) EXPECT_TRUE(found.count(name)) << name << " at depth " << depth;
  for (const char* ship : {"x3ds_x4_Vaissea4", "x3ds_x5_Vaissea0", "x3ds_x4_Vaissea0", "x3ds_VaisseauT1",
                           "x3ds_VaisseauT3", "x3ds_VaisseauT4", "x3ds_x5_Vaissea2"}) {
    ASSERT_TRUE(found.count(ship));
    EXPECT_FALSE(found[ship]->meshes.empty()) << ship << " has no mesh";
  }
}

TEST(OpeningShips, TruckFramesAreAxlesCentredOnTheirOwnOrigin) {
  Model m = load("00000000.dat");
  int seen = 0;
  for (const auto& ref : xfile::flatten_frames(m)) {
    const std::string& n = ref.frame->name;
    if (n != "x3ds_Truck_-_T2" && n != "x3ds_Truck_-_T0" && n != "x3ds_x4_Truck_-0" && n != "x3ds_x4_Truck_-1")
      continue;
    ++seen;
    ASSERT_FALSE(ref.frame->meshes.empty()) << n;
    Box b = mesh_box(m.meshes[ref.frame->meshes[0]]);
    EXPECT_NEAR((b.min.x + b.max.x) / 2, 0.0f, 0.01f) << n;
    EXPECT_NEAR((b.min.y + b.max.y) / 2, 0.0f, 0.01f) << n;
    EXPECT_NEAR((b.min.z + b.max.z) / 2, 0.0f, 0.01f) << n;
    EXPECT_GT(b.size_x(), b.size_y()) << n << ": the axle runs along x";
    EXPECT_EQ(find_animation(m, n), nullptr) << n << " must not be keyed: the show spins it";
  }
  EXPECT_EQ(seen, 4);
}

TEST(OpeningShips, BurningShipStartsAtTheFirePosition) {
  Model m = load("00000000.dat");
  const xfile::Animation* a = find_animation(m, "x3ds_x5_Vaissea0");
  ASSERT_NE(a, nullptr);
  const xfile::AnimationKeys* pos = keys_of(*a, 2);
  ASSERT_NE(pos, nullptr);
  EXPECT_EQ(pos->keys.front().time, 0u);
  EXPECT_NEAR(pos->keys.front().values[0], 30150.0f, 0.5f);
  EXPECT_NEAR(pos->keys.front().values[1], 2268.0f, 0.5f);
  EXPECT_NEAR(pos->keys.front().values[2], -1410.0f, 0.5f);
}

// Quads kept whole are read back as the same triangles, facing the same way,
// while their outline (what a wireframe draws) loses the diagonals; the
// transports, which the show draws only as wireframes, are written so.
TEST(GeneratedModels, QuadsKeptWholeGiveTheSameTrianglesWithoutDiagonals) {
  auto read_back = [](const assets::MeshData& mesh) {
    const std::string text = assets::write_x_text(assets::single_mesh_file("x3ds_Piece", mesh));
    Model m;
    std::string error;
    EXPECT_TRUE(xfile::read_memory(text.data(), text.size(), "piece", m, error)) << error;
    EXPECT_EQ(m.meshes.at(0).face_materials.size(), m.meshes.at(0).face_sizes.size());
    return m.meshes.at(0);
  };
  // Each triangle turned to start at its lowest index, so that the same
  // triangle facing the same way compares equal; then sorted.
  auto facing = [](const xfile::Mesh& mesh) {
    std::vector<std::array<uint32_t, 3>> out;
    for (size_t i = 0; i + 2 < mesh.triangles.size(); i += 3) {
      std::array<uint32_t, 3> t{mesh.triangles[i], mesh.triangles[i + 1], mesh.triangles[i + 2]};
      std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
      out.push_back(t);
    }
    std::sort(out.begin(), out.end());
    return out;
  };
  assets::MeshData split;
  split.mat = split.add_material(assets::Material{});
  split.box({0, 0, 0}, {2, 3, 4});
  split.lathe({{1, 0}, {1, 1}, {0, 2}}, 5, true);  // a band of quads, fans of triangles
  assets::MeshData whole = split;
  whole.write_quads = true;
  const xfile::Mesh a = read_back(split), b = read_back(whole);
  EXPECT_EQ(facing(a), facing(b));
  EXPECT_EQ(std::count(b.face_sizes.begin(), b.face_sizes.end(), 4u), 6 + 5);  // the box's sides, the band
  EXPECT_LT(b.face_indices.size(), a.face_indices.size());

  Model opening = load("00000000.dat");
  int transports = 0;
  for (const auto& ref : xfile::flatten_frames(opening))
    if (ref.frame->name.rfind("x3ds_VaisseauT", 0) == 0 && !ref.frame->meshes.empty()) {
      const auto& sizes = opening.meshes[ref.frame->meshes[0]].face_sizes;
      EXPECT_GT(std::count(sizes.begin(), sizes.end(), 4u), 200) << ref.frame->name;
      ++transports;
    }
  EXPECT_EQ(transports, 3);
}

struct Span {
  const char* file;
  uint32_t end;
};

TEST(GeneratedModels, CameraPathsAreTheFirstTopLevelFrameKeyedOverTheSceneTime) {
  for (Span s : {Span{"00000001.dat", 7600}, Span{"00000003.dat", 1370}, Span{"00000005.dat", 1250},
                 Span{"00000007.dat", 432}}) {
    SCOPED_TRACE(s.file);
    Model m = load(s.file);
    ASSERT_FALSE(m.frames.empty());
    const xfile::Animation* a = find_animation(m, m.frames[0].name);
    ASSERT_NE(a, nullptr);
    for (uint32_t type : {0u, 2u}) {
      const xfile::AnimationKeys* k = keys_of(*a, type);
      ASSERT_NE(k, nullptr) << "key type " << type;
      EXPECT_EQ(k->keys.front().time, 0u);
      EXPECT_GE(k->keys.back().time, s.end);
    }
  }
}

TEST(GeneratedModels, SceneryAnimationsCoverTheSceneTime) {
  for (Span s : {Span{"00000000.dat", 7600}, Span{"00000002.dat", 1370}, Span{"00000004.dat", 1250},
                 Span{"00000006.dat", 432}, Span{"00000011.dat", 25}}) {
    SCOPED_TRACE(s.file);
    Model m = load(s.file);
    ASSERT_FALSE(m.animation_sets.empty());
    ASSERT_FALSE(m.animation_sets[0].animations.empty());
    for (const auto& a : m.animation_sets[0].animations) {
      ASSERT_FALSE(a.keys.empty()) << a.frame;
      for (const auto& k : a.keys) {
        EXPECT_EQ(k.keys.front().time, 0u) << a.frame;
        EXPECT_GE(k.keys.back().time, s.end) << a.frame;
      }
    }
  }
}

TEST(GeneratedModels, AnimationsNameFramesOfTheirOwnFile) {
  for (int i = 0; i < assets::kModelCount; ++i) {
    Model m = load(assets::model_file_name(i));
    std::set<std::string> names;
    for (const auto& ref : xfile::flatten_frames(m)) names.insert(ref.frame->name);
    for (const auto& set : m.animation_sets)
      for (const auto& a : set.animations) EXPECT_TRUE(names.count(a.frame)) << assets::model_file_name(i) << ": " << a.frame;
  }
}

// The opening world stays drawn under later scenes: it must lie beyond the
// back clipping distance (15000) from the origin.
TEST(GeneratedModels, OpeningWorldLiesBeyondTheBackClipFromTheOrigin) {
  Model ground = load("00000016.dat");
  for (const auto& mesh : ground.meshes) EXPECT_GT(mesh_box(mesh).min.x, 15000.0f);
  for (const char* file : {"00000000.dat", "00000001.dat"}) {
    Model m = load(file);
    for (const auto& set : m.animation_sets)
      for (const auto& a : set.animations) {
        if (!keys_of(a, 2) || a.frame.find("Truck_-_M") != std::string::npos) continue;
        bool top = false;
        for (const auto& f : m.frames) top = top || f.name == a.frame;
        if (!top) continue;
        for (const auto& k : keys_of(a, 2)->keys) EXPECT_GT(k.values[0], 15000.0f) << file << " " << a.frame;
      }
  }
}

// The opening's sky dome: a closed shell facing its centre (so that a fog
// colours every ray of the view), on the camera wherever the camera is keyed,
// at full size only while the closing fog is on (7450 to 7600).
TEST(OpeningSky, DomeIsAClosedShellOnTheCameraWhileTheFogIsOn) {
  Model m = load("00000001.dat");
  const Frame* sky = nullptr;
  for (const auto& f : m.frames)
    if (f.name == "x3ds_SkyDome") sky = &f;
  ASSERT_NE(sky, nullptr);
  ASSERT_EQ(sky->meshes.size(), 1u);
  const xfile::Mesh& mesh = m.meshes[sky->meshes[0]];
  // Corners at the same place are one corner (the seam and the poles).
  std::map<std::array<long, 3>, int> ids;
  auto id = [&](uint32_t v) {
    const auto& p = mesh.positions[v];
    std::array<long, 3> k{std::lround(p.x), std::lround(p.y), std::lround(p.z)};
    return ids.emplace(k, static_cast<int>(ids.size())).first->second;
  };
  std::map<std::pair<int, int>, int> edges;  // directed
  ASSERT_EQ(mesh.triangles.size(), 360u * 3);  // 20 x 10 quads, less the poles' halves
  for (size_t i = 0; i < mesh.triangles.size(); i += 3) {
    int c[3] = {id(mesh.triangles[i]), id(mesh.triangles[i + 1]), id(mesh.triangles[i + 2])};
    for (int k = 0; k < 3; ++k) ++edges[{c[k], c[(k + 1) % 3]}];
    const auto &a = mesh.positions[mesh.triangles[i]], &b = mesh.positions[mesh.triangles[i + 1]],
               &d = mesh.positions[mesh.triangles[i + 2]];
    assets::Vec3 n = assets::cross({b.x - a.x, b.y - a.y, b.z - a.z}, {d.x - a.x, d.y - a.y, d.z - a.z});
    EXPECT_LT(n.x * a.x + n.y * a.y + n.z * a.z, 0.0f) << "triangle " << i / 3 << " faces outwards";
  }
  for (const auto& [e, n] : edges) {
    EXPECT_EQ(n, 1) << "edge used twice the same way";
    EXPECT_EQ(edges.count({e.second, e.first}), 1u) << "open edge";
  }

  const xfile::Animation* dome = find_animation(m, "x3ds_SkyDome");
  const xfile::Animation* cam = find_animation(m, m.frames[0].name);
  ASSERT_NE(dome, nullptr);
  ASSERT_NE(cam, nullptr);
  const xfile::AnimationKeys* scale = keys_of(*dome, 1);
  ASSERT_NE(scale, nullptr);
  for (const auto& k : scale->keys) {
    const bool shown = k.time > 7450 && k.time < 7600;
    if (shown) EXPECT_NEAR(k.values[0], 1.0f, 1e-4f) << "at " << k.time;
    else EXPECT_LT(k.values[0], 1e-3f) << "at " << k.time;
  }
  std::map<uint32_t, std::array<float, 3>> camera_at;
  for (const auto& k : keys_of(*cam, 2)->keys) camera_at[k.time] = {k.values[0], k.values[1], k.values[2]};
  int matched = 0;
  for (const auto& k : keys_of(*dome, 2)->keys) {
    auto c = camera_at.find(k.time);
    if (c == camera_at.end()) continue;
    ++matched;
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(k.values[i], c->second[i], 0.05f) << "at " << k.time;
  }
  EXPECT_EQ(matched, static_cast<int>(camera_at.size()));
}

TEST(GeneratedModels, ModelSceneCameraEndsNearTheOrigin) {
  Model m = load("00000005.dat");
  const xfile::AnimationKeys* k = keys_of(*find_animation(m, m.frames[0].name), 2);
  ASSERT_NE(k, nullptr);
  const auto& v = k->keys.back().values;
  EXPECT_LT(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 100.0f);
}

Box model_box(const std::string& file) {
  Model m = load(file);
  Box b;
  for (const auto& mesh : m.meshes)
    for (const auto& p : mesh.positions) b.add(p);
  return b;
}

// The explosion keys its fireballs at scales 0..9 (5 when they gather) and
// sees them through a very wide field, so a piece must be a few hundred units
// across to read as a blast; the flames keep the fireball's proportion.
TEST(GeneratedModels, FireballAtScaleFiveIsATwoHundredUnitBurst) {
  for (const char* file : {"00000012.dat", "00000013.dat"}) {
    Box b = model_box(file);
    float size = std::max({b.size_x(), b.size_y(), b.size_z()}) * 5.0f;
    EXPECT_GE(size, 150.0f) << file;
    EXPECT_LE(size, 300.0f) << file;
  }
}

// A fireball shows its core in the middle of its outline and its puffs at
// the rim: the core takes the explosion texture's hot bottom rows, the puffs
// the cooler rows above; and that texture is fire, hotter further down.
TEST(GeneratedModels, FireballIsHotAtTheCoreAndCoolerAtTheRim) {
  const auto& mesh = load("00000012.dat").meshes.at(0);
  float far = 0;
  for (const auto& p : mesh.positions) far = std::max(far, std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z));
  bool core = false;
  for (size_t i = 0; i < mesh.positions.size(); ++i) {
    const auto& p = mesh.positions[i];
    float d = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
    if (d > 0.8f * far) {
      EXPECT_LT(mesh.uvs[i].v, 0.8f) << "rim vertex " << i;
    }
    core = core || (d < 0.6f * far && mesh.uvs[i].v > 0.9f);
  }
  EXPECT_TRUE(core);
  Picture fire;
  std::string error;
  ASSERT_TRUE(load_picture(show_file("explo.BMP"), fire, error)) << error;
  double top = 0, middle = 0, bottom = 0;
  for (int y = 0; y < fire.height; ++y)
    for (int x = 0; x < fire.width; ++x) {
      uint32_t c = fire.at(x, y);
      int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
      ASSERT_GE(r, g);
      ASSERT_GE(g, b);
      (y < fire.height / 4 ? top : y >= fire.height * 3 / 4 ? bottom : middle) += r + g + b;
    }
  EXPECT_GT(bottom, top * 1.5);
  EXPECT_GT(middle, top);
}

// A grove: tall enough, stretched 3..11 times, for the forest flight's camera
// to fly among the crowns, standing on the ground around its main trunk, with
// no tree in front of it (the forest edge camera ends just in front of a row).
TEST(GeneratedModels, TreeGroveIsSeventyFiveUnitsHighStandingOnTheGround) {
  Box b = model_box("00000009.dat");
  EXPECT_NEAR(b.min.y, 0.0f, 0.01f);
  EXPECT_NEAR(b.max.y, 75.0f, 1.5f);
  EXPECT_NEAR((b.min.x + b.max.x) / 2, 0.0f, 3.0f);
  EXPECT_GT(b.size_x(), 60.0f);
  EXPECT_LT(b.max.z, 20.0f);
}

// The forest scenes draw twenty groves of nine firs, filled in software on
// machines without a graphics card: a fir keeps to 90 triangles.
TEST(GeneratedModels, TreeGroveIsNineLightFirs) {
  Model m = load("00000009.dat");
  size_t triangles = 0;
  for (const auto& mesh : m.meshes)
    for (auto n : mesh.face_sizes) triangles += n - 2;
  EXPECT_LE(triangles, 9u * 90u);
}

TEST(GeneratedModels, ForestGroundCoversTheFlightArea) {
  Box b = model_box("00000010.dat");
  EXPECT_LE(b.min.x, -1500.0f);
  EXPECT_GE(b.max.x, 1500.0f);
  EXPECT_LE(b.min.z, -2500.0f);
  EXPECT_GE(b.max.z, 2500.0f);
  EXPECT_LT(b.size_y(), 10.0f);
}

TEST(GeneratedModels, SkyDomeHasRadiusTenAndFacesInwards) {
  Model m = load("00000014.dat");
  ASSERT_EQ(m.meshes.size(), 1u);
  const auto& mesh = m.meshes[0];
  for (const auto& p : mesh.positions) EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 10.0f, 0.01f);
  // Each triangle's front, (b - a) x (c - a), points towards the centre.
  for (size_t t = 0; t + 2 < mesh.triangles.size(); t += 3) {
    const auto& a = mesh.positions[mesh.triangles[t]];
    const auto& b = mesh.positions[mesh.triangles[t + 1]];
    const auto& c = mesh.positions[mesh.triangles[t + 2]];
    float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z, vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
    float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    if (std::fabs(nx) + std::fabs(ny) + std::fabs(nz) < 1e-6f) continue;  // no area, no side
    ASSERT_LT(nx * a.x + ny * a.y + nz * a.z, 0.0f) << "triangle " << t / 3;
  }
  EXPECT_GT(mesh.materials.size(), 2u);
  for (const auto& mat : mesh.materials) EXPECT_TRUE(mat.textures.empty());
}

// The vertices of the faces of `mesh` whose material is (or is not) the last
// one, which the monument and the engine give their horizon hills.
std::vector<xfile::Vec3> vertices_of(const xfile::Mesh& mesh, bool hills) {
  std::vector<xfile::Vec3> out;
  const uint32_t last = static_cast<uint32_t>(mesh.materials.size()) - 1;
  size_t o = 0;
  for (size_t f = 0; f < mesh.face_sizes.size(); ++f) {
    if ((mesh.face_materials[f] == last) == hills)
      for (uint32_t k = 0; k < mesh.face_sizes[f]; ++k) out.push_back(mesh.positions[mesh.face_indices[o + k]]);
    o += mesh.face_sizes[f];
  }
  return out;
}

TEST(GeneratedModels, MonumentAtTheOriginShowsTheTitlePicture) {
  Model m = load("00000008.dat");
  ASSERT_EQ(m.meshes.size(), 1u);
  Box b;
  for (const auto& p : vertices_of(m.meshes[0], false)) b.add(p);
  EXPECT_NEAR((b.min.x + b.max.x) / 2, 0.0f, 1.0f);
  EXPECT_NEAR((b.min.z + b.max.z) / 2, 0.0f, 1.0f);
  EXPECT_NEAR(b.min.y, 0.0f, 0.01f);
  bool textured = false;
  for (const auto& mat : m.meshes[0].materials)
    for (const auto& t : mat.textures) textured = textured || t == "introsi.bmp";
  EXPECT_TRUE(textured);
}

// The opening world stays drawn under the later scenes, and the back clip is
// a distance along the view: at the explosion's wide fields its ground comes
// inside it, nearly edge-on. The hills of the explosion's gate and of the
// model scene's engine must stand between every camera place of those scenes
// and every point of that ground.
TEST(GeneratedModels, HorizonHillsHideTheOpeningGroundFromTheLaterScenes) {
  const Model ground = load("00000016.dat");
  struct Case {
    const char* file;
    xfile::Vec3 placed;            // where the scene puts the file's origin
    xfile::Vec3 cam_min, cam_max;  // the box the scene's camera keeps to
  };
  const Case cases[] = {
      {"00000008.dat", {0, 0, 0}, {-800, -10, -800}, {800, 780, 800}},
      {"00000004.dat", {0, 0, 450}, {-520, 0, -80}, {520, 340, 980}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Model m = load(c.file);
    // The hills: their radius and their crest by bearing, seen from the world.
    float r2 = 0;
    std::map<float, float> crest;  // bearing -> crest height
    const auto hills = vertices_of(m.meshes[0], true);
    ASSERT_FALSE(hills.empty());
    for (const auto& p : hills) {
      float x = p.x + c.placed.x, z = p.z + c.placed.z;
      if (p.y < 0) r2 = std::max(r2, x * x + z * z);
      else crest[std::atan2(z, x)] = p.y;
    }
    // The lower of the two crest points either side of a bearing (0 outside the arc).
    auto crest_at = [&crest](float a) {
      auto hi = crest.lower_bound(a);
      if (hi == crest.begin() || hi == crest.end()) return 0.0f;
      return std::min(hi->second, std::prev(hi)->second);
    };
    const float radius = std::sqrt(r2);
    int seen = 0;
    for (float cx : {c.cam_min.x, 0.5f * (c.cam_min.x + c.cam_max.x), c.cam_max.x})
      for (float cy : {c.cam_min.y, c.cam_max.y})
        for (float cz : {c.cam_min.z, 0.5f * (c.cam_min.z + c.cam_max.z), c.cam_max.z})
          for (const auto& mesh : ground.meshes)
            for (const auto& g : mesh.positions) {
              // Where the sight line leaves the hills' circle, and how high it is there.
              float dx = g.x - cx, dz = g.z - cz;
              float qa = dx * dx + dz * dz, qb = 2 * (cx * dx + cz * dz), qc = cx * cx + cz * cz - r2;
              float t = (-qb + std::sqrt(qb * qb - 4 * qa * qc)) / (2 * qa);
              float y = cy + t * (g.y - cy);
              if (!(y < crest_at(std::atan2(cz + t * dz, cx + t * dx)))) ++seen;
            }
    EXPECT_EQ(seen, 0) << "hills at radius " << radius;
  }
}

// Faces of the model scene's engine are lit by
// the ambient light and the point lights together and then shown through
// the contrast window 24..145: the plain colours keep the brightest face at
// or just under the window's white point, so the colours and shading of red
// and white parts stay, and the brightest colour nearly reaches it.
TEST(GeneratedModels, PlainColoursOfTheLitModelsStayUnderTheWhitePoint) {
  float brightest_light = 0;
  for (int i = 0; i <= 40; ++i)
    for (int j = 0; j < 80; ++j) {
      float b = assets::kPi * (static_cast<float>(i) / 40 - 0.5f), a = 2 * assets::kPi * j / 80;
      brightest_light = std::max(brightest_light, assets::light_sum({std::cos(b) * std::cos(a), std::sin(b),
                                                                     std::cos(b) * std::sin(a)}));
    }
  const float white = 145.0f / 255.0f;
  float top = 0;
  for (const auto& mesh : load("00000004.dat").meshes)
    for (const auto& mat : mesh.materials) {
      if (!mat.textures.empty()) continue;
      for (float c : {mat.face_color.r, mat.face_color.g, mat.face_color.b}) {
        EXPECT_LE(c * brightest_light, white + 0.005f);
        top = std::max(top, c * brightest_light);
      }
    }
  EXPECT_GT(top, 0.9f * white);
}

TEST(GeneratedModels, LoopingAnimationStaysNearTheForestAimPoint) {
  Model m = load("00000011.dat");
  for (const auto& f : m.frames) {
    const xfile::AnimationKeys* k = keys_of(*find_animation(m, f.name), 2);
    ASSERT_NE(k, nullptr) << f.name;
    for (const auto& key : k->keys) {
      float dx = key.values[0], dy = key.values[1] - 150.0f, dz = key.values[2] + 200.0f;
      EXPECT_LT(std::sqrt(dx * dx + dy * dy + dz * dz), 250.0f) << f.name;
    }
    // The loop closes: the pose at 25 is the pose at 0.
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(k->keys.front().values[c], k->keys.back().values[c], 0.01f);
  }
}

}  // namespace
}  // namespace quarvel::assets_test
