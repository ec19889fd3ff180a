#include <gtest/gtest.h>

#include <cmath>

#include "platform/retained/root.h"

using namespace quarvel::rm;

namespace {
struct Fixture {
  Root root;
  std::shared_ptr<Frame> scene = root.create_frame();
  std::shared_ptr<Frame> f = root.create_frame(scene);
  std::shared_ptr<Animation> a = root.create_animation();
  Fixture() { a->set_frame(f); }
  Vec3 pos() const { return f->position(scene.get()); }
};
void expect_near(const Vec3& a, const Vec3& b, float eps = 1e-3f) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}
}  // namespace

TEST(Animation, LinearPositionInterpolates) {
  Fixture t;
  t.a->set_options(Animation::kOpen | Animation::kLinearPosition | Animation::kPosition);
  t.a->add_position_key(100, {10, 0, 0});
  t.a->add_position_key(0, {0, 0, 0});  // keys are sorted by time
  t.a->set_time(25);
  expect_near(t.pos(), {2.5f, 0, 0});
}

TEST(Animation, OpenHoldsEndKeys) {
  Fixture t;
  t.a->set_options(Animation::kOpen | Animation::kLinearPosition | Animation::kPosition);
  t.a->add_position_key(0, {0, 0, 0});
  t.a->add_position_key(10, {10, 0, 0});
  t.a->set_time(-5);
  expect_near(t.pos(), {0, 0, 0});
  t.a->set_time(50);
  expect_near(t.pos(), {10, 0, 0});
}

TEST(Animation, ClosedWrapsTimeOverTheKeys) {
  Fixture t;
  t.a->set_options(0x2A);  // closed, spline, position
  t.a->add_position_key(0, {0, 3000, -200});
  t.a->add_position_key(120, {600, 50, -800});
  t.a->add_position_key(2000, {0, 1000, -1000});
  t.a->set_time(120);
  expect_near(t.pos(), {600, 50, -800});
  t.a->set_time(2000 + 120);
  expect_near(t.pos(), {600, 50, -800});
  t.a->set_time(-2000 + 120);
  expect_near(t.pos(), {600, 50, -800});
}

TEST(Animation, SplinePassesThroughKeysAndBends) {
  Fixture t;
  t.a->set_options(Animation::kOpen | Animation::kSplinePosition | Animation::kPosition);
  t.a->add_position_key(0, {0, 0, 0});
  t.a->add_position_key(1, {1, 1, 0});
  t.a->add_position_key(2, {2, 0, 0});
  t.a->set_time(1);
  expect_near(t.pos(), {1, 1, 0});
  t.a->set_time(0.5f);
  Vec3 p = t.pos();
  EXPECT_GT(p.y, 0.5f);  // above the straight line between the keys
  EXPECT_NEAR(p.x, 0.5f, 0.1f);
}

TEST(Animation, EqualKeyTimesKeepInsertionOrderAndGiveNoNaN) {
  Fixture t;
  t.a->set_options(0x35);
  t.a->add_position_key(100, {-500, 0, 0});
  t.a->add_position_key(0, {0, 0, 0});
  t.a->add_position_key(0, {1500, 15, 1500});
  t.a->add_position_key(18, {-578, 426, -466});
  t.a->set_time(0);
  expect_near(t.pos(), {1500, 15, 1500});  // the later of the two keys at 0
  t.a->set_time(9);
  expect_near(t.pos(), {(1500 - 578) / 2.0f, (15 + 426) / 2.0f, (1500 - 466) / 2.0f});
  // All keys at one time.
  Fixture u;
  u.a->set_options(0x2A);
  u.a->add_position_key(5, {1, 2, 3});
  u.a->add_position_key(5, {4, 5, 6});
  u.a->set_time(77);
  EXPECT_TRUE(u.f->transform().is_finite());
  expect_near(u.pos(), {4, 5, 6});
}

TEST(Animation, NegativeKeyTimesAreKept) {
  Fixture t;
  t.a->set_options(0x35);
  t.a->add_position_key(-20, {0, 150, 0});
  t.a->add_position_key(480, {0, 250, 0});
  t.a->set_time(-20);
  expect_near(t.pos(), {0, 150, 0});
  t.a->set_time(230);
  expect_near(t.pos(), {0, 200, 0});
}

TEST(Animation, ScaleKeysOfZeroGiveNoNaN) {
  Fixture t;
  t.a->set_options(0x3A);  // closed, spline, scale and rotation, position
  t.a->add_scale_key(1, {0, 0, 0});
  t.a->add_scale_key(2, {5, 5, 5});
  t.a->add_position_key(1, {0, 0, 0});
  t.a->add_position_key(2, {10, 0, 0});
  t.a->set_time(1);
  EXPECT_TRUE(t.f->transform().is_finite());
  EXPECT_EQ(length(t.f->transform().axis(0)), 0);
  t.a->set_time(1.5f);
  EXPECT_TRUE(t.f->transform().is_finite());
  EXPECT_NEAR(length(t.f->transform().axis(0)), 2.5f, 1e-4);
  EXPECT_NEAR(t.f->transform().axis(2).z, 2.5f, 1e-4);  // orientation kept
}

TEST(Animation, MissingKindsLeaveThatPartOfThePose) {
  Fixture t;
  t.f->set_orientation(t.scene.get(), {1, 0, 0}, {0, 1, 0});
  t.f->set_position(t.scene.get(), {7, 7, 7});
  t.a->set_options(0x35);
  t.a->add_scale_key(0, {2, 2, 2});
  t.a->set_time(0);
  expect_near(t.pos(), {7, 7, 7});
  Vec3 d, u;
  t.f->orientation(t.scene.get(), d, u);
  expect_near(d, {1, 0, 0});
  EXPECT_NEAR(length(t.f->transform().axis(0)), 2, 1e-5);
}

TEST(Animation, PositionOptionOffIgnoresPositionKeys) {
  Fixture t;
  t.a->set_options(Animation::kClosed | Animation::kLinearPosition);
  t.a->add_position_key(0, {9, 9, 9});
  t.a->set_time(0);
  expect_near(t.pos(), {0, 0, 0});
}

TEST(Animation, RotationKeysTurnTheFrame) {
  Fixture t;
  t.a->set_options(0x35);
  t.a->add_rotation_key(0, quat_from_axis_angle({0, 1, 0}, 0));
  t.a->add_rotation_key(10, quat_from_axis_angle({0, 1, 0}, 1.0f));
  t.a->set_time(5);
  Vec3 d, u;
  t.f->orientation(t.scene.get(), d, u);
  expect_near(d, {std::sin(0.5f), 0, std::cos(0.5f)});
}

TEST(Animation, NoKeysOrNoFrameDoNothing) {
  Fixture t;
  t.f->set_position(t.scene.get(), {1, 2, 3});
  t.a->set_time(10);
  expect_near(t.pos(), {1, 2, 3});
  auto lone = t.root.create_animation();
  lone->add_position_key(0, {5, 5, 5});
  lone->set_time(0);  // no frame: nothing to pose, no crash
  t.a->add_position_key(0, {4, 4, 4});
  t.f.reset();
  t.scene.reset();
  t.a->set_time(0);  // the frame is gone
  SUCCEED();
}

TEST(Animation, ContradictoryOptionsAreRefused) {
  Animation a;
  EXPECT_FALSE(a.set_options(Animation::kOpen | Animation::kClosed));
  EXPECT_FALSE(a.set_options(Animation::kLinearPosition | Animation::kSplinePosition));
  EXPECT_EQ(a.options(), Animation::kDefaultOptions);
}

TEST(AnimationSet, BuildsHierarchyAndBindsByName) {
  Model m;
  ModelMesh mesh;
  mesh.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.faces = {{0, 2, 1}};
  m.meshes.push_back(mesh);
  ModelFrame top;
  top.name = "x3ds_x5_Vaissea0";
  top.transform = Mat4::translation({0, 0, 100});
  ModelFrame part;
  part.name = "x3ds_x4_Vaissea4";
  part.meshes = {0};
  top.children.push_back(part);
  m.frames.push_back(top);
  ModelAnimation an;
  an.frame_name = "x3ds_x4_Vaissea4";
  an.position_keys = {{0, {0, 0, 0}}, {10, {10, 0, 0}}};
  m.animations.push_back(an);
  ModelAnimation unbound;
  unbound.frame_name = "missing";
  unbound.position_keys = {{0, {1, 1, 1}}};
  m.animations.push_back(unbound);

  Root root;
  auto scene = root.create_frame();
  auto parent = root.create_frame(scene);
  auto set = root.create_animation_set();
  ASSERT_TRUE(set->load(m, parent));
  auto kids = parent->children();
  ASSERT_EQ(kids.size(), 1u);
  EXPECT_EQ(kids[0]->name(), "x3ds_x5_Vaissea0");
  auto grand = kids[0]->children();
  ASSERT_EQ(grand.size(), 1u);
  ASSERT_EQ(grand[0]->visuals().size(), 1u);
  EXPECT_NE(as_mesh_builder(grand[0]->visuals()[0]), nullptr);
  ASSERT_EQ(set->animations().size(), 2u);
  EXPECT_EQ(set->animations()[0]->frame(), grand[0]);
  EXPECT_EQ(set->animations()[1]->frame(), nullptr);
  set->set_time(5);
  expect_near(grand[0]->position(scene.get()), {5, 0, 100});
  // Options as the show sets them after loading.
  for (auto& a : set->animations()) EXPECT_TRUE(a->set_options(0x35));
}
