#include <gtest/gtest.h>

#include "fake_backend.h"
#include "platform/retained/root.h"

using namespace quarvel::rm;
using quarvel::rm::testing::RecordingBackend;

namespace {

struct World {
  Root root;
  std::shared_ptr<RecordingBackend> backend = std::make_shared<RecordingBackend>();
  std::shared_ptr<Device> device = root.create_device(backend, 640, 480);
  std::shared_ptr<Frame> scene = root.create_frame();
  std::shared_ptr<Frame> camera = root.create_frame(scene);
  std::shared_ptr<Viewport> viewport = root.create_viewport(device, camera, 0, 0, 640, 480);
};

// A square of side 2 facing the camera, at depth z.
std::shared_ptr<MeshBuilder> square(Root& root, float z, uint32_t color = 0xFFFFFFFF) {
  auto mb = root.create_mesh_builder();
  uint32_t a = mb->add_vertex({-1, 1, z}), b = mb->add_vertex({1, 1, z});
  uint32_t c = mb->add_vertex({1, -1, z}), d = mb->add_vertex({-1, -1, z});
  mb->add_face({a, b, c, d}, {}, color);
  return mb;
}

}  // namespace

TEST(Viewport, ConfigureRefusesEmptySizes) {
  World w;
  EXPECT_TRUE(w.viewport->configure(0, 60, 640, 360));
  EXPECT_FALSE(w.viewport->configure(450, 240, 200, 0));
  EXPECT_FALSE(w.viewport->configure(0, 0, -5, 10));
  Rect r = w.viewport->rect();
  EXPECT_EQ(r.y, 60);
  EXPECT_EQ(r.height, 360);
  EXPECT_EQ(w.root.create_viewport(w.device, w.camera, 0, 0, 0, 480), nullptr);
}

TEST(Viewport, FrontAndBackPlaneRefusals) {
  World w;
  EXPECT_TRUE(w.viewport->set_back(15000));
  EXPECT_FALSE(w.viewport->set_front(-100));
  EXPECT_FALSE(w.viewport->set_front(0));
  EXPECT_FALSE(w.viewport->set_front(15000));
  EXPECT_TRUE(w.viewport->set_front(10));
  EXPECT_FALSE(w.viewport->set_back(10));
  EXPECT_FALSE(w.viewport->set_back(5));
  EXPECT_EQ(w.viewport->front(), 10);
  EXPECT_EQ(w.viewport->back(), 15000);
  EXPECT_FALSE(w.viewport->set_field(0));
  EXPECT_FALSE(w.viewport->set_field(-1));
  EXPECT_EQ(w.viewport->field(), 0.5f);
}

TEST(Viewport, ProjectsKnownPointWithUniformScaling) {
  World w;
  w.viewport->set_field(0.5f);
  w.viewport->set_uniform_scaling(true);
  float px, py;
  // sx = sy = 640 / 2 / 0.5 = 640; (10, 5, 100) -> (320 + 64, 240 - 32)
  ASSERT_TRUE(w.viewport->project({10, 5, 100}, px, py));
  EXPECT_FLOAT_EQ(px, 384);
  EXPECT_FLOAT_EQ(py, 208);
}

TEST(Viewport, ProjectsKnownPointWithoutUniformScaling) {
  World w;
  w.viewport->configure(0, 60, 640, 360);
  w.viewport->set_field(1.0f);
  w.viewport->set_uniform_scaling(false);
  float px, py;
  // sx = 320, sy = 180: (10, 5, 100) -> (320 + 32, 60 + 180 - 9)
  ASSERT_TRUE(w.viewport->project({10, 5, 100}, px, py));
  EXPECT_FLOAT_EQ(px, 352);
  EXPECT_FLOAT_EQ(py, 231);
  EXPECT_FALSE(w.viewport->project({0, 0, -1}, px, py));
}

TEST(Viewport, ProjectionMatrixMatchesProject) {
  World w;
  w.viewport->set_uniform_scaling(false);
  w.viewport->configure(100, 50, 300, 200);
  w.camera->set_position(w.scene.get(), {5, 6, -50});
  RenderList list = w.viewport->build_render_list(*w.scene);
  Vec3 p{12, -3, 40};
  float px, py;
  ASSERT_TRUE(w.viewport->project(p, px, py));
  Vec3 c = list.view.transform_point(p);
  const auto& m = list.projection.m;
  float ndc_x = (m[0][0] * c.x) / c.z, ndc_y = (m[1][1] * c.y) / c.z;
  EXPECT_NEAR(100 + (ndc_x + 1) * 150, px, 1e-3);
  EXPECT_NEAR(50 + (1 - ndc_y) * 100, py, 1e-3);
}

TEST(Viewport, ClearUsesSceneBackgroundImage) {
  World w;
  w.viewport->clear();
  ASSERT_EQ(w.backend->lists.size(), 1u);
  EXPECT_TRUE(w.backend->lists[0].clear.due);
  EXPECT_FALSE(w.backend->lists[0].draw);
  EXPECT_EQ(w.backend->lists[0].clear.background, nullptr);
  EXPECT_EQ(w.backend->lists[0].clear.color, 0xFF000000u);
  auto tex = w.root.create_texture(quarvel::Picture(4, 4, 0xFF123456));
  w.scene->set_scene_background_image(tex);
  w.viewport->configure(0, 60, 640, 360);
  w.viewport->clear();
  EXPECT_EQ(w.backend->lists[1].clear.background, tex);
  EXPECT_EQ(w.backend->lists[1].rect.y, 60);
}

TEST(Viewport, RenderListHasMeshesLightsAndFog) {
  World w;
  auto obj = w.root.create_frame(w.scene);
  obj->set_position(w.scene.get(), {0, 0, 100});
  obj->add_visual(square(w.root, 0));
  auto lf = w.root.create_frame(w.scene);
  lf->set_position(w.scene.get(), {10000, 10000, 0});
  auto light = w.root.create_light_rgb(LightType::Point, 1.5f, 1, 1);
  light->set_constant_attenuation(0);
  lf->add_light(light);
  w.scene->set_scene_fog_enable(true);
  w.scene->set_scene_fog_color(0xFF193F19);
  w.scene->set_scene_fog_params(100, 2500, 1);
  w.viewport->render(*w.scene);
  ASSERT_EQ(w.backend->lists.size(), 1u);
  const RenderList& l = w.backend->lists[0];
  ASSERT_EQ(l.items.size(), 1u);
  EXPECT_EQ(l.items[0].world.origin(), (Vec3{0, 0, 100}));
  EXPECT_EQ(l.items[0].quality, 137u);
  EXPECT_NEAR(l.items[0].depth, 100, 1e-3);
  EXPECT_NEAR(l.items[0].far, 100, 1e-3);  // the flat square: its far corner is its centre
  ASSERT_EQ(l.lights.size(), 1u);
  EXPECT_EQ(l.lights[0].position, (Vec3{10000, 10000, 0}));
  EXPECT_EQ(l.lights[0].color.x, 1.5f);  // not clamped
  EXPECT_TRUE(l.fog.enabled);
  EXPECT_EQ(l.fog.end, 2500);
  EXPECT_TRUE(l.blended_order.empty());
}

TEST(Viewport, FrameAsVisualIsDrawnAgainWhereItIsAVisual) {
  World w;
  auto group = w.root.create_frame(w.scene);
  auto part = w.root.create_frame(group);
  part->add_visual(square(w.root, 0));
  part->set_position(w.scene.get(), {0, 0, 50});
  auto elsewhere = w.root.create_frame(w.scene);
  elsewhere->set_position(w.scene.get(), {10, 0, 0});
  elsewhere->add_visual(group);
  w.scene->add_visual(group);  // as the show does with its scene roots
  w.viewport->render(*w.scene);
  const RenderList& l = w.backend->lists[0];
  ASSERT_EQ(l.items.size(), 3u);
  EXPECT_EQ(l.items[0].world.origin(), (Vec3{0, 0, 50}));    // the scene's visual
  EXPECT_EQ(l.items[1].world.origin(), (Vec3{0, 0, 50}));    // as a child
  EXPECT_EQ(l.items[2].world.origin(), (Vec3{10, 0, 50}));  // under `elsewhere`
  // Detached, the group is still drawn as a visual.
  w.scene->delete_child(group.get());
  w.viewport->render(*w.scene);
  EXPECT_EQ(w.backend->lists[1].items.size(), 2u);
}

TEST(Viewport, VisualsWhollyOutsideTheViewAreLeftOut) {
  World w;
  w.viewport->set_back(100);
  auto at = [&](Vec3 p) {
    auto f = w.root.create_frame(w.scene);
    f->set_position(w.scene.get(), p);
    f->add_visual(square(w.root, 0));
    return f;
  };
  at({0, 0, 50});    // in view
  at({0, 0, -20});   // behind the camera
  at({0, 0, 150});   // beyond the back plane
  at({200, 0, 50});  // right of the view
  at({0, -90, 50});  // below it
  at({25.5f, 0, 50});  // straddles the right edge (visible to x = 25): kept
  w.viewport->render(*w.scene);
  const RenderList& l = w.backend->lists[0];
  ASSERT_EQ(l.items.size(), 2u);
  EXPECT_EQ(l.culled, 4u);
  EXPECT_EQ(l.items[0].world.origin(), (Vec3{0, 0, 50}));
  // Bounds follow the frames each frame: turned round, the camera sees
  // only what was behind it.
  w.camera->set_orientation(w.scene.get(), {0, 0, -1}, {0, 1, 0});
  w.viewport->render(*w.scene);
  ASSERT_EQ(w.backend->lists[1].items.size(), 1u);
  EXPECT_EQ(w.backend->lists[1].items[0].world.origin(), (Vec3{0, 0, -20}));
}

TEST(Viewport, BlendedItemsAreOrderedBackToFront) {
  World w;
  auto mk = [&](float z, uint32_t color) {
    auto f = w.root.create_frame(w.scene);
    f->set_position(w.scene.get(), {0, 0, z});
    f->add_visual(square(w.root, 0, color));
  };
  mk(10, 0x80FFFFFF);
  mk(30, 0xFFFFFFFF);
  mk(50, 0x80FF0000);
  mk(20, 0x7F00FF00);
  RenderList l = w.viewport->build_render_list(*w.scene);
  ASSERT_EQ(l.items.size(), 4u);
  ASSERT_EQ(l.blended_order.size(), 3u);
  EXPECT_EQ(l.blended_order[0], 2u);
  EXPECT_EQ(l.blended_order[1], 3u);
  EXPECT_EQ(l.blended_order[2], 0u);
}

TEST(Viewport, PickListsVisualsNearestFirstWithFrames) {
  World w;
  auto near = w.root.create_frame(w.scene);
  near->set_name("near");
  near->set_position(w.scene.get(), {0, 0, 10});
  auto near_mesh = square(w.root, 0);
  near->add_visual(near_mesh);
  auto far_group = w.root.create_frame(w.scene);
  auto far = w.root.create_frame(far_group);
  far->set_position(w.scene.get(), {0, 0, 40});
  auto far_mesh = square(w.root, 0);
  far->add_visual(far_mesh);
  auto hits = w.viewport->pick(320, 240);
  ASSERT_EQ(hits.size(), 2u);
  EXPECT_EQ(hits[0].visual, near_mesh);
  EXPECT_NEAR(hits[0].distance, 10, 1e-3);
  EXPECT_EQ(hits[1].visual, far_mesh);
  ASSERT_EQ(hits[1].frames.size(), 3u);
  EXPECT_EQ(hits[1].frames[0], w.scene);
  EXPECT_EQ(hits[1].frames[1], far_group);
  EXPECT_EQ(hits[1].frames[2], far);
  EXPECT_EQ(as_mesh_builder(hits[0].visual), near_mesh);
  // Nothing at the corner, nothing outside the viewport.
  EXPECT_TRUE(w.viewport->pick(0, 0).empty());
  EXPECT_TRUE(w.viewport->pick(700, 240).empty());
  // Beyond the back plane nothing is picked.
  w.viewport->set_back(20);
  EXPECT_EQ(w.viewport->pick(320, 240).size(), 1u);
}

TEST(Viewport, RepeatedBuildAndTeardownReleasesEverything) {
  World w;
  std::vector<std::weak_ptr<Object>> watched;
  for (int round = 0; round < 20; ++round) {
    auto group = w.root.create_frame(w.scene);
    w.scene->add_visual(group);
    for (int i = 0; i < 10; ++i) {
      auto f = w.root.create_frame(group);
      auto mb = square(w.root, 0);
      mb->set_texture(w.root.create_texture(quarvel::Picture(2, 2)));
      f->add_visual(mb);
      auto anim = w.root.create_animation();
      anim->set_frame(f);
      anim->add_position_key(0, {0, 0, 0});
      anim->set_time(0);
      watched.push_back(f);
      watched.push_back(mb);
    }
    w.viewport->render(*w.scene);
    w.backend->lists.clear();
    w.scene->delete_child(group.get());
    w.scene->delete_visual(group.get());
  }
  for (auto& o : watched) EXPECT_TRUE(o.expired());
}
