// The primitives build the graph and the tables as the show expects: world
// positions whatever the scene root's transform, Gouraud quality, textures
// found where each primitive looks, the chrome wrap spanning the model's
// height, lights of the four kinds, and refusals of indices outside a table.
#include "scene/primitives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "platform/common/png_write.h"
#include "show_fixture.h"

namespace quarvel::scene {
namespace {

using testing::CurrentDir;
using testing::expect_near;
using testing::expect_pose;
using testing::TempDir;
using testing::write_text_file;

// A box 2 wide, from y = -2 to y = 3, 2 deep: six quads.
const char* kBoxModel = R"(xof 0303txt 0032
Mesh box {
 8; -1;-2;-1;, 1;-2;-1;, 1;3;-1;, -1;3;-1;, -1;-2;1;, 1;-2;1;, 1;3;1;, -1;3;1;;
 6; 4;0,1,2,3;, 4;5,4,7,6;, 4;4,0,3,7;, 4;1,5,6,2;, 4;3,2,6,7;, 4;4,5,1,0;;
 MeshNormals { 6; 0;0;-1;, 0;0;1;, -1;0;0;, 1;0;0;, 0;1;0;, 0;-1;0;;
  6; 4;0,0,0,0;, 4;1,1,1,1;, 4;2,2,2,2;, 4;3,3,3,3;, 4;4,4,4,4;, 4;5,5,5,5;; }
}
)";

// A flat square at height y = 2: its box has zero height.
const char* kFlatModel = R"(xof 0303txt 0032
Mesh flat { 4; 0;2;0;, 1;2;0;, 1;2;1;, 0;2;1;; 1; 4;0,1,2,3;; }
)";

// A frame "pivot" holding a triangle, moved along x by one animation.
const char* kAnimatedModel = R"(xof 0303txt 0032
Frame pivot {
 Mesh tri { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }
}
AnimationSet { Animation { {pivot}
  AnimationKey { 2; 2; 0;3;0,0,0;;, 10;3;10,0,0;;; }
} }
)";

void write_texture(const std::string& path) {
  Picture p(4, 4, 0xFF20C040u);
  ASSERT_TRUE(write_png(path, p)) << path;
}

// A show whose current folder is a fresh folder holding the models, with
// the program's folder "bin/" inside it.
class Primitives : public testing::ShowTest {
 protected:
  Primitives() : cwd_(dir.path()) {
    std::filesystem::create_directory(dir.path() / "bin");
    s.exe_dir = (dir.path() / "bin").string() + "/";
    write_text_file(dir.file("box.x"), kBoxModel);
    write_text_file(dir.file("flat.x"), kFlatModel);
    write_text_file(dir.file("anim.x"), kAnimatedModel);
    // The scene root of group 1 is moved, turned and scaled.
    root1 = f.stage.root.create_frame(f.stage.scene);
    root1->add_scale(rm::Combine::Replace, 2, 2, 2);
    root1->add_rotation(rm::Combine::After, {0, 1, 0}, 0.7f);
    root1->add_translation(rm::Combine::After, {100, -50, 25});
    s.scene_frame[1] = root1;
  }

  TempDir dir;
  CurrentDir cwd_;
  FrameRef root1;
};

TEST_F(Primitives, AddObjetPlacesATexturedGouraudObjectAtItsWorldPosition) {
  write_texture(dir.file("bin/skin.png"));
  ::testing::internal::CaptureStderr();
  add_objet(s, 1, 5, "box.x", "skin.png", 10, 20, -30);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

  const FrameRef frame = s.objet_frame[5];
  const MeshBuilderRef mesh = s.objet_mesh[5];
  ASSERT_NE(frame, nullptr);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(frame->parent(), root1.get());
  expect_pose(*frame, f.stage.scene.get(), {10, 20, -30}, {0, 0, 1}, {0, 1, 0});

  EXPECT_EQ(mesh->face_count(), 6u);
  EXPECT_EQ(mesh->quality(), 137u);
  EXPECT_TRUE(mesh->perspective());
  ASSERT_NE(s.objet_texture[5], nullptr);
  EXPECT_EQ(mesh->texture(), s.objet_texture[5]);
  ASSERT_EQ(frame->visuals().size(), 1u);
  EXPECT_EQ(frame->visuals()[0], mesh);
  // Every object advances the loading counter (the picture is only drawn
  // while the opening scene is built).
  EXPECT_EQ(s.chain.charge_pos, 14);
}

TEST_F(Primitives, AddObjetTakesItsTextureBesideTheProgramNotFromTheCurrentFolder) {
  write_texture(dir.file("skin.png"));
  ::testing::internal::CaptureStderr();
  add_objet(s, 1, 0, "box.x", "skin.png", 0, 0, 0);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(s.objet_texture[0], nullptr);
  EXPECT_EQ(s.objet_mesh[0]->texture(), nullptr);
  EXPECT_NE(err.find("bin/skin.png"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_EQ(s.objet_mesh[0]->face_count(), 6u);
}

TEST_F(Primitives, MissingModelLeavesAnEmptyObjectAndSaysWhichFile) {
  write_texture(dir.file("bin/skin.png"));
  ::testing::internal::CaptureStderr();
  add_objet(s, 1, 2, "00000099.dat", "skin.png", 1, 2, 3);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("00000099.dat"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  ASSERT_NE(s.objet_mesh[2], nullptr);
  EXPECT_EQ(s.objet_mesh[2]->face_count(), 0u);
  EXPECT_NE(s.objet_texture[2], nullptr);
  expect_near(s.objet_frame[2]->position(f.stage.scene.get()), {1, 2, 3});
}

TEST_F(Primitives, UnreadableModelIsNamedOnce) {
  write_text_file(dir.file("broken.x"), "xof 0303txt 0032\nMesh { 4; 0;0;");
  ::testing::internal::CaptureStderr();
  add_wrap(s, 1, 0, "broken.x", "none.png", 0, 0, 0);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("broken.x"), std::string::npos) << err;
  EXPECT_NE(err.find("none.png"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 2) << err;
  ASSERT_NE(s.wrap_mesh[0], nullptr);
  EXPECT_EQ(s.wrap_mesh[0]->face_count(), 0u);
  // The empty box has zero height: the wrap is still made.
  ASSERT_NE(s.wrap_tab[0], nullptr);
  EXPECT_EQ(s.wrap_tab[0]->params().sv, -1.0f / 0.00001f);
}

TEST_F(Primitives, EmptySceneRootGivesAFrameWithNoParent) {
  add_objet(s, 4, 7, "box.x", "skin.png", 5, 6, 7);
  ASSERT_NE(s.objet_frame[7], nullptr);
  EXPECT_EQ(s.objet_frame[7]->parent(), nullptr);
  EXPECT_FALSE(f.stage.scene->draws(s.objet_frame[7].get()));
  expect_near(s.objet_frame[7]->position(f.stage.scene.get()), {5, 6, 7});
}

TEST_F(Primitives, AddWrapShowsAChromeWrappedMeshSpanningTheModelHeight) {
  write_texture(dir.file("chrome.png"));
  ::testing::internal::CaptureStderr();
  add_wrap(s, 1, 3, "box.x", "chrome.png", -40, 0, 60);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

  const FrameRef frame = s.wrap_frame[3];
  const MeshBuilderRef builder = s.wrap_builder[3];
  const MeshRef mesh = s.wrap_mesh[3];
  const WrapRef wrap = s.wrap_tab[3];
  ASSERT_TRUE(frame && builder && mesh && wrap);
  EXPECT_EQ(frame->parent(), root1.get());
  expect_pose(*frame, f.stage.scene.get(), {-40, 0, 60}, {0, 0, 1}, {0, 1, 0});

  // The mesh, not the builder, is shown.
  ASSERT_EQ(frame->visuals().size(), 1u);
  EXPECT_EQ(frame->visuals()[0], mesh);
  EXPECT_EQ(builder->quality(), 137u);
  EXPECT_TRUE(builder->perspective());
  ASSERT_NE(s.wrap_texture[3], nullptr);
  EXPECT_EQ(builder->texture(), s.wrap_texture[3]);
  EXPECT_EQ(mesh->texture(), s.wrap_texture[3]);
  EXPECT_EQ(mesh->quality(), 137u);

  // Height 5 from y = -2: ov = -2 / 5, sv = -1 / 5.
  const rm::Wrap::Params& p = wrap->params();
  EXPECT_EQ(p.type, rm::WrapType::Chrome);
  EXPECT_EQ(wrap->reference(), f.stage.camera);
  EXPECT_EQ(p.origin, (Vec3{0, 0, 0}));
  EXPECT_EQ(p.direction, (Vec3{0, 0, 1}));
  EXPECT_EQ(p.up, (Vec3{0, 1, 0}));
  EXPECT_EQ(p.ou, 0.0f);
  EXPECT_EQ(p.su, 1.0f);
  EXPECT_EQ(p.ov, -2.0f / 5.0f);
  EXPECT_EQ(p.sv, -1.0f / 5.0f);

  // The wrap gave the shown mesh its coordinates.
  auto expected = builder->create_mesh();
  wrap->apply(*expected);
  EXPECT_EQ(mesh->uvs().size(), expected->uvs().size());
  for (size_t i = 0; i < mesh->uvs().size(); ++i) {
    EXPECT_EQ(mesh->uvs()[i].x, expected->uvs()[i].x) << i;
    EXPECT_EQ(mesh->uvs()[i].y, expected->uvs()[i].y) << i;
  }
  // add_wrap leaves the loading display alone.
  EXPECT_EQ(s.chain.charge_pos, 0);
}

TEST_F(Primitives, AddWrapOnAZeroHeightModelUsesATinyHeight) {
  add_wrap(s, 1, 0, "flat.x", "chrome.png", 0, 0, 0);
  ASSERT_NE(s.wrap_tab[0], nullptr);
  const float h = 0.00001f;
  EXPECT_EQ(s.wrap_tab[0]->params().ov, 2.0f / h);
  EXPECT_EQ(s.wrap_tab[0]->params().sv, -1.0f / h);
}

TEST_F(Primitives, AddWrapTakesItsTextureFromTheCurrentFolder) {
  write_texture(dir.file("bin/chrome.png"));
  ::testing::internal::CaptureStderr();
  add_wrap(s, 1, 0, "box.x", "chrome.png", 0, 0, 0);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(s.wrap_texture[0], nullptr);
  EXPECT_NE(err.find("chrome.png"), std::string::npos);
}

TEST_F(Primitives, AddAnimLoadsTheHierarchyUnderItsOwnFrame) {
  add_anim(s, 1, 2, "anim.x", 0, 0, 0);
  const FrameRef frame = s.anim_frame[2];
  const AnimationSetRef set = s.anim_set[2];
  ASSERT_TRUE(frame && set);
  EXPECT_EQ(frame->parent(), root1.get());
  ASSERT_EQ(frame->children().size(), 1u);
  const FrameRef pivot = frame->children()[0];
  EXPECT_EQ(pivot->name(), "pivot");
  ASSERT_EQ(set->animations().size(), 1u);
  EXPECT_EQ(set->animations()[0]->frame(), pivot);
  set->set_time(5);
  expect_near(pivot->position(frame.get()), {5, 0, 0});
  EXPECT_EQ(s.chain.charge_pos, 14);
}

TEST_F(Primitives, AddAnimWithAMissingFileKeepsAnEmptyFrame) {
  ::testing::internal::CaptureStderr();
  add_anim(s, 1, 0, "00000042.dat", 0, 0, 0);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("00000042.dat"), std::string::npos);
  ASSERT_NE(s.anim_frame[0], nullptr);
  EXPECT_TRUE(s.anim_frame[0]->children().empty());
  ASSERT_NE(s.anim_set[0], nullptr);
  EXPECT_TRUE(s.anim_set[0]->animations().empty());
}

TEST_F(Primitives, ChargeMeshMakesTheOpeningModelSet) {
  write_text_file(dir.file("00000016.dat"), kBoxModel);
  write_text_file(dir.file("00000001.dat"), kAnimatedModel);
  write_text_file(dir.file("00000000.dat"), kAnimatedModel);
  ::testing::internal::CaptureStderr();
  Charge_Mesh(s);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("greenmos.bmp"), std::string::npos);  // no such picture here
  ASSERT_NE(s.wrap_mesh[0], nullptr);
  EXPECT_EQ(s.wrap_mesh[0]->face_count(), 6u);
  EXPECT_EQ(s.wrap_frame[0]->parent(), root1.get());
  ASSERT_NE(s.anim_frame[0], nullptr);
  ASSERT_NE(s.anim_frame[1], nullptr);
  EXPECT_EQ(s.anim_frame[0]->parent(), root1.get());
  EXPECT_EQ(s.anim_frame[1]->parent(), root1.get());
  EXPECT_EQ(s.anim_set[0]->animations().size(), 1u);
  EXPECT_EQ(s.anim_set[1]->animations().size(), 1u);
  EXPECT_EQ(s.anim_frame[2], nullptr);
  EXPECT_EQ(s.chain.charge_pos, 28);  // two animations, one loading step each
}

TEST_F(Primitives, IndicesOutsideTheTablesAreRefused) {
  s.objet_frame[100] = f.stage.root.create_frame();
  const FrameRef kept = s.objet_frame[100];
  struct Case {
    const char* name;
    std::function<void()> call;
  };
  const Case cases[] = {
      {"add_objet", [&] { add_objet(s, 1, 101, "box.x", "skin.png", 0, 0, 0); }},
      {"add_objet", [&] { add_objet(s, 1, -1, "box.x", "skin.png", 0, 0, 0); }},
      {"add_objet", [&] { add_objet(s, 11, 0, "box.x", "skin.png", 0, 0, 0); }},
      {"add_wrap", [&] { add_wrap(s, 1, 51, "box.x", "chrome.png", 0, 0, 0); }},
      {"add_wrap", [&] { add_wrap(s, -3, 0, "box.x", "chrome.png", 0, 0, 0); }},
      {"add_anim", [&] { add_anim(s, 1, 31, "anim.x", 0, 0, 0); }},
      {"add_Light", [&] { add_Light(s, 101, 3, 0, 0, 0, 1, 1, 1); }},
      {"add_Light", [&] { add_Light(s, -1, 3, 0, 0, 0, 1, 1, 1); }},
      {"add_Light", [&] { add_Light(s, 0, 4, 0, 0, 0, 1, 1, 1); }},
  };
  const size_t children = f.stage.scene->children().size();
  for (const Case& c : cases) {
    ::testing::internal::CaptureStderr();
    c.call();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind(c.name, 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  }
  EXPECT_EQ(s.objet_frame[100], kept);
  for (size_t i = 0; i < 100; ++i) EXPECT_EQ(s.objet_frame[static_cast<long long>(i)], nullptr) << i;
  for (size_t i = 0; i < s.wrap_frame.capacity; ++i) EXPECT_EQ(s.wrap_frame.entries[i], nullptr) << i;
  for (size_t i = 0; i < s.anim_frame.capacity; ++i) EXPECT_EQ(s.anim_frame.entries[i], nullptr) << i;
  for (size_t i = 0; i < s.lights.light_frame.capacity; ++i) EXPECT_EQ(s.lights.light_frame.entries[i], nullptr) << i;
  EXPECT_TRUE(root1->children().empty());
  EXPECT_EQ(f.stage.scene->children().size(), children);
  EXPECT_EQ(s.chain.charge_pos, 0);
}

TEST_F(Primitives, AddLightMakesTheFourKindsWithoutAttenuation) {
  const rm::LightType kinds[] = {rm::LightType::Ambient, rm::LightType::Directional, rm::LightType::Spot,
                                 rm::LightType::Point};
  for (int type = 0; type < 4; ++type) {
    add_Light(s, 10 + type, type, 1.5f * type, -2, 3, 0.25f, 0.5f, 0.75f);
    const LightRef light = s.lights.light_tab[10 + type];
    const FrameRef frame = s.lights.light_frame[10 + type];
    ASSERT_TRUE(light && frame) << type;
    EXPECT_EQ(light->type(), kinds[type]) << type;
    EXPECT_EQ(light->color(), (Vec3{0.25f, 0.5f, 0.75f}));
    EXPECT_EQ(light->constant_attenuation(), 0.0f);
    EXPECT_EQ(light->linear_attenuation(), 0.0f);
    EXPECT_EQ(light->quadratic_attenuation(), 0.0f);
    EXPECT_EQ(light->range(), 100000.0f);
    EXPECT_EQ(frame->parent(), f.stage.scene.get());
    ASSERT_EQ(frame->lights().size(), 1u);
    EXPECT_EQ(frame->lights()[0], light);
    expect_near(frame->position(f.stage.scene.get()), {1.5f * type, -2, 3});
  }
}

TEST_F(Primitives, ReusingALightIndexLeavesTheFirstLightInTheScene) {
  add_Light(s, 0, 0, 0, 0, 0, 1, 1, 1);
  const FrameRef first = s.lights.light_frame[0];
  add_Light(s, 0, 3, 10000, 10000, 0, 1, 1, 1);
  EXPECT_NE(s.lights.light_frame[0], first);
  EXPECT_EQ(first->parent(), f.stage.scene.get());
  EXPECT_EQ(first->lights()[0]->type(), rm::LightType::Ambient);
  EXPECT_EQ(s.lights.light_tab[0]->type(), rm::LightType::Point);
}

TEST_F(Primitives, CreatingIntoAnEntryReleasesOnlyTheTablesReference) {
  add_objet(s, 1, 9, "box.x", "skin.png", 0, 0, 0);
  std::weak_ptr<rm::Frame> first = s.objet_frame[9];
  add_objet(s, 1, 9, "box.x", "skin.png", 0, 0, 0);
  ASSERT_FALSE(first.expired());  // still a child of the scene root
  EXPECT_NE(first.lock(), s.objet_frame[9]);
  EXPECT_EQ(root1->children().size(), 2u);
  root1->delete_child(first.lock().get());
  EXPECT_TRUE(first.expired());
}

}  // namespace
}  // namespace quarvel::scene

namespace quarvel::scene {
namespace {

TEST(PrimitivesBeforeTheDisplay, LightsAndWrapsAreMadeWithoutAScene) {
  testing::ShowFixture f(false);
  add_Light(f.show, 0, 3, 1, 2, 3, 1, 1, 1);
  ASSERT_NE(f.show.lights.light_frame[0], nullptr);
  EXPECT_EQ(f.show.lights.light_frame[0]->parent(), nullptr);
  ::testing::internal::CaptureStderr();
  add_wrap(f.show, 1, 0, "no-such-model.x", "no-such-picture.png", 0, 0, 0);
  ::testing::internal::GetCapturedStderr();
  ASSERT_NE(f.show.wrap_tab[0], nullptr);
  EXPECT_EQ(f.show.wrap_tab[0]->reference(), nullptr);
}

}  // namespace
}  // namespace quarvel::scene
