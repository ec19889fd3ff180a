#include <gtest/gtest.h>

#include <cmath>

#include "platform/retained/root.h"

using namespace quarvel::rm;

namespace {
struct Fixture {
  Root root;
  std::shared_ptr<Frame> scene = root.createFrame();
  std::shared_ptr<Frame> f = root.createFrame(scene);
  std::shared_ptr<Animation> a = root.createAnimation();
  Fixture() { a->setFrame(f); }
  Vec3 pos() const { return f->position(scene.get()); }
};
void expectNear(const Vec3& a, const Vec3& b, float eps = 1e-3f) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}
}  // namespace

TEST(Animation, LinearPositionInterpolates) {
  Fixture t;
  t.a->setOptions(Animation::kOpen | Animation::kLinearPosition | Animation::kPosition);
  t.a->addPositionKey(100, {10, 0, 0});
  t.a->addPositionKey(0, {0, 0, 0});  // keys are sorted by time
  t.a->setTime(25);
  expectNear(t.pos(), {2.5f, 0, 0});
}

TEST(Animation, OpenHoldsEndKeys) {
  Fixture t;
  t.a->setOptions(Animation::kOpen | Animation::kLinearPosition | Animation::kPosition);
  t.a->addPositionKey(0, {0, 0, 0});
  t.a->addPositionKey(10, {10, 0, 0});
  t.a->setTime(-5);
  expectNear(t.pos(), {0, 0, 0});
  t.a->setTime(50);
  expectNear(t.pos(), {10, 0, 0});
}

TEST(Animation, ClosedWrapsTimeOverTheKeys) {
  Fixture t;
  t.a->setOptions(0x2A);  // closed, spline, position
  t.a->addPositionKey(0, {0, 3000, -200});
  t.a->addPositionKey(120, {600, 50, -800});
  t.a->addPositionKey(2000, {0, 1000, -1000});
  t.a->setTime(120);
  expectNear(t.pos(), {600, 50, -800});
  t.a->setTime(2000 + 120);
  expectNear(t.pos(), {600, 50, -800});
  t.a->setTime(-2000 + 120);
  expectNear(t.pos(), {600, 50, -800});
}

TEST(Animation, SplinePassesThroughKeysAndBends) {
  Fixture t;
  t.a->setOptions(Animation::kOpen | Animation::kSplinePosition | Animation::kPosition);
  t.a->addPositionKey(0, {0, 0, 0});
  t.a->addPositionKey(1, {1, 1, 0});
  t.a->addPositionKey(2, {2, 0, 0});
  t.a->setTime(1);
  expectNear(t.pos(), {1, 1, 0});
  t.a->setTime(0.5f);
  Vec3 p = t.pos();
  EXPECT_GT(p.y, 0.5f);  // above the straight line between the keys
  EXPECT_NEAR(p.x, 0.5f, 0.1f);
}

TEST(Animation, EqualKeyTimesKeepInsertionOrderAndGiveNoNaN) {
  Fixture t;
  t.a->setOptions(0x35);
  t.a->addPositionKey(100, {-500, 0, 0});
  t.a->addPositionKey(0, {0, 0, 0});
  t.a->addPositionKey(0, {1500, 15, 1500});
  t.a->addPositionKey(18, {-578, 426, -466});
  t.a->setTime(0);
  expectNear(t.pos(), {1500, 15, 1500});  // the later of the two keys at 0
  t.a->setTime(9);
  expectNear(t.pos(), {(1500 - 578) / 2.0f, (15 + 426) / 2.0f, (1500 - 466) / 2.0f});
  // All keys at one time.
  Fixture u;
  u.a->setOptions(0x2A);
  u.a->addPositionKey(5, {1, 2, 3});
  u.a->addPositionKey(5, {4, 5, 6});
  u.a->setTime(77);
  EXPECT_TRUE(u.f->transform().isFinite());
  expectNear(u.pos(), {4, 5, 6});
}

TEST(Animation, NegativeKeyTimesAreKept) {
  Fixture t;
  t.a->setOptions(0x35);
  t.a->addPositionKey(-20, {0, 150, 0});
  t.a->addPositionKey(480, {0, 250, 0});
  t.a->setTime(-20);
  expectNear(t.pos(), {0, 150, 0});
  t.a->setTime(230);
  expectNear(t.pos(), {0, 200, 0});
}

TEST(Animation, ScaleKeysOfZeroGiveNoNaN) {
  Fixture t;
  t.a->setOptions(0x3A);  // closed, spline, scale and rotation, position
  t.a->addScaleKey(1, {0, 0, 0});
  t.a->addScaleKey(2, {5, 5, 5});
  t.a->addPositionKey(1, {0, 0, 0});
  t.a->addPositionKey(2, {10, 0, 0});
  t.a->setTime(1);
  EXPECT_TRUE(t.f->transform().isFinite());
  EXPECT_EQ(length(t.f->transform().axis(0)), 0);
  t.a->setTime(1.5f);
  EXPECT_TRUE(t.f->transform().isFinite());
  EXPECT_NEAR(length(t.f->transform().axis(0)), 2.5f, 1e-4);
  EXPECT_NEAR(t.f->transform().axis(2).z, 2.5f, 1e-4);  // orientation kept
}

TEST(Animation, MissingKindsLeaveThatPartOfThePose) {
  Fixture t;
  t.f->setOrientation(t.scene.get(), {1, 0, 0}, {0, 1, 0});
  t.f->setPosition(t.scene.get(), {7, 7, 7});
  t.a->setOptions(0x35);
  t.a->addScaleKey(0, {2, 2, 2});
  t.a->setTime(0);
  expectNear(t.pos(), {7, 7, 7});
  Vec3 d, u;
  t.f->orientation(t.scene.get(), d, u);
  expectNear(d, {1, 0, 0});
  EXPECT_NEAR(length(t.f->transform().axis(0)), 2, 1e-5);
}

TEST(Animation, PositionOptionOffIgnoresPositionKeys) {
  Fixture t;
  t.a->setOptions(Animation::kClosed | Animation::kLinearPosition);
  t.a->addPositionKey(0, {9, 9, 9});
  t.a->setTime(0);
  expectNear(t.pos(), {0, 0, 0});
}

TEST(Animation, RotationKeysTurnTheFrame) {
  Fixture t;
  t.a->setOptions(0x35);
  t.a->addRotationKey(0, quatFromAxisAngle({0, 1, 0}, 0));
  t.a->addRotationKey(10, quatFromAxisAngle({0, 1, 0}, 1.0f));
  t.a->setTime(5);
  Vec3 d, u;
  t.f->orientation(t.scene.get(), d, u);
  expectNear(d, {std::sin(0.5f), 0, std::cos(0.5f)});
}

TEST(Animation, NoKeysOrNoFrameDoNothing) {
  Fixture t;
  t.f->setPosition(t.scene.get(), {1, 2, 3});
  t.a->setTime(10);
  expectNear(t.pos(), {1, 2, 3});
  auto lone = t.root.createAnimation();
  lone->addPositionKey(0, {5, 5, 5});
  lone->setTime(0);  // no frame: nothing to pose, no crash
  t.a->addPositionKey(0, {4, 4, 4});
  t.f.reset();
  t.scene.reset();
  t.a->setTime(0);  // the frame is gone
  SUCCEED();
}

TEST(Animation, ContradictoryOptionsAreRefused) {
  Animation a;
  EXPECT_FALSE(a.setOptions(Animation::kOpen | Animation::kClosed));
  EXPECT_FALSE(a.setOptions(Animation::kLinearPosition | Animation::kSplinePosition));
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
  an.frameName = "x3ds_x4_Vaissea4";
  an.positionKeys = {{0, {0, 0, 0}}, {10, {10, 0, 0}}};
  m.animations.push_back(an);
  ModelAnimation unbound;
  unbound.frameName = "missing";
  unbound.positionKeys = {{0, {1, 1, 1}}};
  m.animations.push_back(unbound);

  Root root;
  auto scene = root.createFrame();
  auto parent = root.createFrame(scene);
  auto set = root.createAnimationSet();
  ASSERT_TRUE(set->load(m, parent));
  auto kids = parent->children();
  ASSERT_EQ(kids.size(), 1u);
  EXPECT_EQ(kids[0]->name(), "x3ds_x5_Vaissea0");
  auto grand = kids[0]->children();
  ASSERT_EQ(grand.size(), 1u);
  ASSERT_EQ(grand[0]->visuals().size(), 1u);
  EXPECT_NE(asMeshBuilder(grand[0]->visuals()[0]), nullptr);
  ASSERT_EQ(set->animations().size(), 2u);
  EXPECT_EQ(set->animations()[0]->frame(), grand[0]);
  EXPECT_EQ(set->animations()[1]->frame(), nullptr);
  set->setTime(5);
  expectNear(grand[0]->position(scene.get()), {5, 0, 100});
  // Options as the show sets them after loading.
  for (auto& a : set->animations()) EXPECT_TRUE(a->setOptions(0x35));
}
