#include "platform/retained/x_loader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <string>

namespace quarvel::rm {
namespace {

namespace fs = std::filesystem;
const std::string kX = std::string(QUARVEL_TESTDATA_DIR) + "/x/";

// A folder of its own for files a test writes, removed afterwards.
class TempDir {
 public:
  explicit TempDir(const std::string& tag = "") {
    path_ = fs::temp_directory_path() /
            ("quarvel_x_loader_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + tag);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string write(const std::string& name, const std::string& text) const {
    std::string p = (path_ / name).string();
    std::ofstream(p, std::ios::binary) << text;
    return p;
  }
  std::string path() const { return path_.string(); }

 private:
  fs::path path_;
};

void expect_same_matrix(const Mat4& a, const Mat4& b) {
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], 1e-5) << r << "," << c;
}

std::shared_ptr<Frame> find_frame(const std::shared_ptr<Frame>& f, const std::string& name) {
  if (f->name() == name) return f;
  for (const auto& c : f->children())
    if (auto hit = find_frame(c, name)) return hit;
  return nullptr;
}

size_t textured_faces(const MeshBase& mesh) {
  size_t n = 0;
  for (const Face& f : mesh.faces()) n += f.texture != nullptr;
  return n;
}

TEST(XLoader, MeshBuilderLoadsTheFirstMeshOfAFile) {
  MeshBuilder b;
  std::string error;
  ASSERT_TRUE(load_mesh_builder(b, kX + "assimp/test_cube_binary.x", error)) << error;
  EXPECT_EQ(b.positions().size(), 24u);
  EXPECT_EQ(b.face_count(), 12u);
  EXPECT_EQ(b.name(), "Cube");
}

TEST(XLoader, MeshBuilderSplitsNothingButKeepsPolygons) {
  TempDir dir;
  std::string p = dir.write("quad.x", "xof 0303txt 0032\nMesh { 4; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;; 1; 4;0,1,2,3;; }");
  MeshBuilder b;
  std::string error;
  ASSERT_TRUE(load_mesh_builder(b, p, error)) << error;
  ASSERT_EQ(b.face_count(), 1u);
  EXPECT_EQ(b.faces()[0].vertices.size(), 4u);
}

TEST(XLoader, FailedMeshLoadLeavesTheBuilderUnchanged) {
  MeshBuilder b;
  b.add_vertex({0, 0, 0});
  b.add_vertex({1, 0, 0});
  b.add_vertex({0, 1, 0});
  ASSERT_TRUE(b.add_face({0, 1, 2}));
  std::string error;
  EXPECT_FALSE(load_mesh_builder(b, kX + "assimp/malformed/OV_GetNextToken", error));
  EXPECT_NE(error.find("OV_GetNextToken: "), std::string::npos) << error;
  EXPECT_FALSE(load_mesh_builder(b, kX + "no_such_file.x", error));
  EXPECT_NE(error.find("no_such_file.x: cannot open"), std::string::npos) << error;
  EXPECT_EQ(b.face_count(), 1u);
}

TEST(XLoader, FileWithoutAMeshIsRefusedForAMeshBuilder) {
  TempDir dir;
  std::string p = dir.write("frames.x", "xof 0303txt 0032\nFrame A { }");
  MeshBuilder b;
  std::string error;
  EXPECT_FALSE(load_mesh_builder(b, p, error));
  EXPECT_NE(error.find("no mesh"), std::string::npos) << error;
}

TEST(XLoader, AnimationSetBuildsNamedFramesWithMeshesAndBindsAnimations) {
  auto parent = std::make_shared<Frame>();
  AnimationSet set;
  std::string error;
  ASSERT_TRUE(load_animation_set(set, kX + "dbpro/basic3d/models/ninja.X", parent, error)) << error;
  ASSERT_EQ(parent->children().size(), 1u);
  auto waist = parent->children()[0];
  EXPECT_EQ(waist->name(), "x3ds_Waist");
  EXPECT_EQ(waist->children().size(), 3u);
  ASSERT_EQ(waist->visuals().size(), 1u);
  EXPECT_NE(std::dynamic_pointer_cast<MeshBuilder>(waist->visuals()[0]), nullptr);
  auto anims = set.animations();
  ASSERT_EQ(anims.size(), 17u);
  for (const auto& a : anims) {
    ASSERT_NE(a->frame(), nullptr) << a->name();
    EXPECT_TRUE(parent->draws(a->frame().get()));
  }
}

TEST(XLoader, AnimationSetAppliesFrameMatrices) {
  TempDir dir;
  std::string p = dir.write("m.x", R"(xof 0303txt 0032
Frame A { FrameTransformMatrix { 0,0,-1,0, 0,1,0,0, 1,0,0,0, 5,6,7,1;; } })");
  auto parent = std::make_shared<Frame>();
  AnimationSet set;
  std::string error;
  ASSERT_TRUE(load_animation_set(set, p, parent, error)) << error;
  auto a = parent->children()[0];
  EXPECT_EQ(a->transform().origin(), Vec3(5, 6, 7));
  // The file's x axis (first row) is the frame's x axis (first column).
  EXPECT_EQ(a->transform().axis(0), Vec3(0, 0, -1));
}

TEST(XLoader, RotationAndPositionKeysReproduceTheFileMatrix) {
  // A quarter turn about y, written as a matrix and as the keys an exporter
  // writes for the same pose.
  TempDir dir;
  std::string p = dir.write("r.x", R"(xof 0303txt 0032
Frame A { FrameTransformMatrix { 0,0,-1,0, 0,1,0,0, 1,0,0,0, 5,6,7,1;; } }
AnimationSet { Animation { {A}
  AnimationKey { 0; 1; 0;4;0.70710678,0,-0.70710678,0;;; }
  AnimationKey { 2; 1; 0;3;5,6,7;;; }
} })");
  auto parent = std::make_shared<Frame>();
  AnimationSet set;
  std::string error;
  ASSERT_TRUE(load_animation_set(set, p, parent, error)) << error;
  auto a = parent->children()[0];
  Mat4 from_file = a->transform();
  a->set_transform(Mat4::identity());
  set.set_time(0);
  expect_same_matrix(a->transform(), from_file);
}

TEST(XLoader, MatrixKeysPoseTheFrame) {
  TempDir dir;
  std::string p = dir.write("k.x", R"(xof 0303txt 0032
Frame A { }
AnimationSet { Animation { {A}
  AnimationKey { 4; 2; 0;16;0,0,-2,0, 0,2,0,0, 2,0,0,0, 1,2,3,1;;, 10;16;1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;;; }
} })");
  auto parent = std::make_shared<Frame>();
  AnimationSet set;
  std::string error;
  ASSERT_TRUE(load_animation_set(set, p, parent, error)) << error;
  set.set_time(0);
  Mat4 want;
  want.set_axis(0, {0, 0, -2});
  want.set_axis(1, {0, 2, 0});
  want.set_axis(2, {2, 0, 0});
  want.set_origin({1, 2, 3});
  expect_same_matrix(parent->children()[0]->transform(), want);
}

TEST(XLoader, AnimationOptionsBecomeTheAnimationsOptions) {
  TempDir dir;
  std::string p = dir.write("o.x", R"(xof 0303txt 0032
Frame A { } Frame B { }
AnimationSet { Animation { {A} AnimationOptions { 1; 0; } } Animation { {B} } })");
  auto parent = std::make_shared<Frame>();
  AnimationSet set;
  std::string error;
  ASSERT_TRUE(load_animation_set(set, p, parent, error)) << error;
  auto anims = set.animations();
  ASSERT_EQ(anims.size(), 2u);
  EXPECT_TRUE(anims[0]->options() & Animation::kOpen);
  EXPECT_TRUE(anims[0]->options() & Animation::kSplinePosition);
  EXPECT_EQ(anims[1]->options(), Animation::kDefaultOptions);
}

TEST(XLoader, FailedAnimationLoadLeavesParentAndSetUnchanged) {
  auto parent = std::make_shared<Frame>();
  AnimationSet set;
  std::string error;
  EXPECT_FALSE(load_animation_set(set, kX + "assimp/malformed/malformed_skinweights_oob.x", parent, error));
  EXPECT_NE(error.find("skin weight"), std::string::npos) << error;
  EXPECT_TRUE(parent->children().empty());
  EXPECT_TRUE(set.animations().empty());
  EXPECT_FALSE(load_animation_set(set, kX + "assimp/test_cube_text.x", nullptr, error));
}

TEST(XLoader, TexturesResolveByBaseNameWithoutRegardToCase) {
  // NINJA.BMP in the model, ninja.bmp on disk.
  MeshBuilder b;
  std::string error;
  ASSERT_TRUE(load_mesh_builder(b, kX + "dbpro/basic3d/models/ninja.X", error)) << error;
  EXPECT_EQ(textured_faces(b), b.face_count());
  // Absolute Windows paths: only the base name counts.
  MeshBuilder cube;
  ASSERT_TRUE(load_mesh_builder(cube, kX + "assimp/kwxport_test_cubewithvcolors.x", error)) << error;
  EXPECT_EQ(textured_faces(cube), cube.face_count());
}

TEST(XLoader, MissingTextureLeavesFacesUntextured) {
  MeshBuilder b;
  std::string error;
  ASSERT_TRUE(load_mesh_builder(b, kX + "dbpro/ghost_train/spider.x", error)) << error;
  EXPECT_GT(b.face_count(), 0u);
  EXPECT_EQ(textured_faces(b), 0u);
}

TEST(XLoader, AnUnreadableTextureIsNamedOnceAndLeavesFacesUntextured) {
  TempDir dir("_broken");
  dir.write("broken.bmp", "BM cut short");
  std::string p = dir.write("t.x", R"(xof 0303txt 0032
Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,2;, 3;0,2,1;;
  MeshMaterialList { 1; 2; 0, 0;;
    Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { "broken.bmp"; } } } })");
  MeshBuilder b;
  std::string error;
  testing::internal::CaptureStderr();
  const bool ok = load_mesh_builder(b, p, error);
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(b.face_count(), 2u);
  EXPECT_EQ(textured_faces(b), 0u);
  EXPECT_NE(err.find("broken.bmp"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;  // one line for both faces
}

// A grey 24-bit BMP file of w x h pixels.
std::string bmp(int w, int h) {
  const uint32_t row = (static_cast<uint32_t>(w) * 3 + 3) & ~3u, pixels = row * static_cast<uint32_t>(h);
  std::string out = "BM";
  auto put = [&out](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * i));
  };
  put(54 + pixels, 4), put(0, 4), put(54, 4), put(40, 4), put(static_cast<uint32_t>(w), 4),
      put(static_cast<uint32_t>(h), 4), put(1, 2), put(24, 2), put(0, 4), put(pixels, 4);
  out.append(16, '\0');  // resolutions and colour counts
  return out + std::string(pixels, '\x80');
}

// One triangle a material, material i naming texture names(i).
template <class Name>
std::string model_of_materials(int count, Name names) {
  std::string faces, materials, indices;
  for (int i = 0; i < count; ++i) {
    faces += std::string(i ? ", " : "") + "3;0,1,2";
    indices += std::string(i ? "," : "") + std::to_string(i);
    materials += "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"" + names(i) + "\"; } }\n";
  }
  const std::string n = std::to_string(count);
  return "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; " + n + "; " + faces + ";\n MeshMaterialList { " + n +
         "; " + n + "; " + indices + ";;\n" + materials + "} }";
}

TEST(XLoader, TextureNamesShareOnePicturePerFileAndPicturesCountAgainstTheBudget) {
  TempDir dir("_names");
  dir.write("introsi.bmp", bmp(256, 256));  // 192 KB of file, 256 KB of pixels
  dir.write("big.bmp", bmp(512, 512));      // 1 MB of pixels
  // Two thousand folders, one file: its picture is decoded once.
  const std::string many =
      dir.write("many.x", model_of_materials(2000, [](int i) { return "d" + std::to_string(i) + "/introsi.bmp"; }));
  TextureFiles files;
  MeshBuilder b;
  std::string error;
  ASSERT_TRUE(load_mesh_builder(b, many, error, &files)) << error;
  ASSERT_EQ(textured_faces(b), 2000u);
  for (const Face& f : b.faces()) EXPECT_EQ(f.texture, b.faces()[0].texture);
  EXPECT_EQ(files.pictures(), 1u);

  // A second picture past a 1 MB budget refuses the model, leaving the builder as it was.
  const std::string two = dir.write("two.x", model_of_materials(2, [](int i) {
    return i ? std::string("big.bmp") : std::string("d0/introsi.bmp");
  }));
  xfile::Limits limits;
  limits.max_model_bytes = size_t{1} << 20;
  EXPECT_FALSE(load_mesh_builder(b, two, error, &files, limits));
  EXPECT_EQ(error, two + ": its textures would take more than 1 MB of memory (at " + dir.path() + "/big.bmp)");
  EXPECT_EQ(b.face_count(), 2000u);
  EXPECT_EQ(files.pictures(), 1u);
}

// What a load built, for comparing two loads of one file.
std::string describe(const std::shared_ptr<Frame>& f) {
  std::string out = f->name() + "{";
  for (const auto& v : f->visuals()) {
    auto b = std::dynamic_pointer_cast<MeshBuilder>(v);
    if (!b) continue;
    out += std::to_string(b->face_count()) + "/" + std::to_string(b->positions().size()) + "/" +
           std::to_string(textured_faces(*b));
    for (const Vec3& p : b->positions()) out += "," + std::to_string(p.x) + std::to_string(p.y) + std::to_string(p.z);
  }
  for (const auto& c : f->children()) out += describe(c);
  return out + "}";
}

TEST(XLoader, AModelParsedAheadBuildsWhatADirectLoadBuilds) {
  const std::string path = kX + "dbpro/basic3d/models/ninja.X";
  ParseAhead ahead;
  ahead.prepare({path}, {});
  TextureFiles direct_files, ahead_files(&ahead);
  auto direct = std::make_shared<Frame>(), read_ahead = std::make_shared<Frame>();
  AnimationSet direct_set, ahead_set;
  std::string error;
  ASSERT_TRUE(load_animation_set(direct_set, path, direct, error, &direct_files)) << error;
  ASSERT_TRUE(load_animation_set(ahead_set, path, read_ahead, error, &ahead_files, {}, &ahead)) << error;
  EXPECT_NE(ahead.model(path, {}), nullptr);  // held, and what the second load used
  EXPECT_EQ(describe(read_ahead), describe(direct));
  EXPECT_EQ(ahead_set.animations().size(), direct_set.animations().size());
  MeshBuilder a, b;
  ASSERT_TRUE(load_mesh_builder(a, path, error, &direct_files)) << error;
  ASSERT_TRUE(load_mesh_builder(b, path, error, &ahead_files, {}, &ahead)) << error;
  EXPECT_EQ(b.positions().size(), a.positions().size());
  EXPECT_EQ(textured_faces(b), textured_faces(a));
  ASSERT_GT(textured_faces(b), 0u);
  EXPECT_EQ(b.faces()[0].texture->picture().pixels, a.faces()[0].texture->picture().pixels);
  // Named no more, it is let go.
  ahead.prepare({}, {});
  EXPECT_EQ(ahead.held(), 0u);
}

TEST(XLoader, ADamagedFileParsedAheadIsReportedOnlyWhenALoadAsksForIt) {
  TempDir dir("_damaged");
  const std::string model = dir.write("cut.x", "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;");
  const std::string picture = dir.write("cut.bmp", "BM cut short");
  ParseAhead ahead;
  TextureFiles files(&ahead);
  testing::internal::CaptureStderr();
  ahead.prepare({model}, {picture});
  EXPECT_EQ(ahead.model(model, {}), nullptr);  // waits for the parse: it failed
  EXPECT_EQ(ahead.picture(picture), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  MeshBuilder b;
  std::string error;
  EXPECT_FALSE(load_mesh_builder(b, model, error, &files, {}, &ahead));
  EXPECT_EQ(error.rfind(model + ":", 0), 0u) << error;
  testing::internal::CaptureStderr();
  EXPECT_EQ(files.load(picture), nullptr);
  EXPECT_EQ(files.load(picture), nullptr);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cut.bmp"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST(XLoader, AModelParsedAheadKeepsTheLoadsMemoryLimit) {
  const std::string path = kX + "dbpro/basic3d/models/ninja.X";
  xfile::Limits tight;
  tight.max_model_bytes = 1024;
  MeshBuilder b;
  std::string direct_error, error;
  ASSERT_FALSE(load_mesh_builder(b, path, direct_error, nullptr, tight));
  ASSERT_NE(direct_error.find("would take more than"), std::string::npos) << direct_error;
  for (const xfile::Limits& prepared_under : {tight, xfile::Limits{}}) {
    ParseAhead ahead;
    ahead.prepare({path}, {}, prepared_under);
    EXPECT_FALSE(load_mesh_builder(b, path, error, nullptr, tight, &ahead));
    EXPECT_EQ(error, direct_error);
    EXPECT_EQ(b.face_count(), 0u);
  }
}

TEST(XLoader, TextureFilesAreLookedUpInTheModelFolderThenTheCurrentFolder) {
  TempDir models("_models"), cwd("_cwd");
  models.write("Wall.BMP", "x");
  cwd.write("floor.bmp", "x");
  fs::path old = fs::current_path();
  fs::current_path(cwd.path());
  EXPECT_EQ(find_texture_file("C:\\\\maps\\\\wall.bmp", models.path()), (fs::path(models.path()) / "Wall.BMP").string());
  EXPECT_EQ(find_texture_file("FLOOR.BMP", models.path()), "floor.bmp");
  EXPECT_EQ(find_texture_file("none.bmp", models.path()), "");
  EXPECT_EQ(find_texture_file("", models.path()), "");
  fs::current_path(old);
}

TEST(XLoader, TextureLoadsFromAPictureFile) {
  std::string error;
  auto t = load_texture_file(kX + "dbpro/ghost_train/ground.jpg", error);
  ASSERT_NE(t, nullptr) << error;
  EXPECT_EQ(t->picture().width, 128);
  EXPECT_EQ(t->picture().height, 119);
  EXPECT_EQ(load_texture_file(kX + "missing.bmp", error), nullptr);
  EXPECT_NE(error.find("missing.bmp"), std::string::npos);
}

}  // namespace
}  // namespace quarvel::rm
