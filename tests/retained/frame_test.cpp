#include <gtest/gtest.h>

#include <cstring>

#include "platform/retained/root.h"

using namespace quarvel::rm;

namespace {

void expectNear(const Vec3& a, const Vec3& b, float eps = 1e-3f) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

struct Scene {
  Root root;
  std::shared_ptr<Frame> scene = root.createFrame();
};

}  // namespace

TEST(Frame, CreateWithParentAttachesAtOnce) {
  Scene s;
  auto f = s.root.createFrame(s.scene);
  ASSERT_EQ(s.scene->children().size(), 1u);
  EXPECT_EQ(s.scene->children()[0], f);
  EXPECT_EQ(f->parent(), s.scene.get());
}

TEST(Frame, SetPositionIsRelativeToReference) {
  Scene s;
  auto group = s.root.createFrame(s.scene);
  group->addScale(Combine::Replace, 2, 3, 0.5f);
  group->addRotation(Combine::After, {0, 1, 0}, 0.7f);
  group->addTranslation(Combine::After, {100, -20, 5});
  auto obj = s.root.createFrame(group);
  obj->setPosition(s.scene.get(), {30150, 2268, -1410});
  expectNear(obj->position(s.scene.get()), {30150, 2268, -1410}, 0.05f);
  expectNear(obj->worldTransform().origin(), {30150, 2268, -1410}, 0.05f);
  // Relative to the group the same point reads differently.
  Vec3 inGroup = obj->position(group.get());
  expectNear(group->worldTransform().transformPoint(inGroup), {30150, 2268, -1410}, 0.05f);
}

TEST(Frame, SetOrientationIsRelativeToReference) {
  Scene s;
  auto group = s.root.createFrame(s.scene);
  group->addRotation(Combine::Replace, {1, 1, 0}, 1.2f);
  auto obj = s.root.createFrame(group);
  ASSERT_TRUE(obj->setOrientation(s.scene.get(), {0, 0, 1}, {0, 1, 0}));
  Vec3 d, u;
  obj->orientation(s.scene.get(), d, u);
  expectNear(d, {0, 0, 1});
  expectNear(u, {0, 1, 0});
  // Up made orthogonal to the direction.
  ASSERT_TRUE(obj->setOrientation(s.scene.get(), {1, 0, 0}, {1, 1, 0}));
  obj->orientation(s.scene.get(), d, u);
  expectNear(d, {1, 0, 0});
  expectNear(u, {0, 1, 0});
}

TEST(Frame, DegenerateOrientationLeavesPoseUnchanged) {
  Scene s;
  auto f = s.root.createFrame(s.scene);
  f->setOrientation(s.scene.get(), {1, 0, 0}, {0, 1, 0});
  Mat4 before = f->transform();
  EXPECT_FALSE(f->setOrientation(s.scene.get(), {0, 0, 0}, {0, 0, 0}));
  EXPECT_FALSE(f->setOrientation(s.scene.get(), {0, 2, 0}, {0, 1, 0}));
  EXPECT_FALSE(f->setOrientation(s.scene.get(), {0, 0, 1}, {0, 0, 0}));
  EXPECT_EQ(std::memcmp(&before, &f->transform(), sizeof before), 0);
  EXPECT_TRUE(f->transform().isFinite());
}

TEST(Frame, AddRotationReplaceDropsPosition) {
  Scene s;
  auto f = s.root.createFrame(s.scene);
  f->setPosition(s.scene.get(), {10, 20, 30});
  f->addRotation(Combine::Replace, {-0.5f, 0, 0}, 1.0f);
  expectNear(f->position(s.scene.get()), {0, 0, 0});
  Vec3 d, u;
  f->orientation(s.scene.get(), d, u);
  // About -x, z turns toward +y.
  expectNear(d, {0, std::sin(1.0f), std::cos(1.0f)});
}

TEST(Frame, AddRotationBeforeKeepsPositionAfterTurnsIt) {
  Scene s;
  auto before = s.root.createFrame(s.scene);
  auto after = s.root.createFrame(s.scene);
  for (auto& f : {before, after}) f->setPosition(s.scene.get(), {10, 0, 0});
  before->addRotation(Combine::Before, {0, 1, 0}, 3.14159265f / 2);
  after->addRotation(Combine::After, {0, 1, 0}, 3.14159265f / 2);
  expectNear(before->position(s.scene.get()), {10, 0, 0});
  expectNear(after->position(s.scene.get()), {0, 0, -10});
  Vec3 d1, u1, d2, u2;
  before->orientation(s.scene.get(), d1, u1);
  after->orientation(s.scene.get(), d2, u2);
  expectNear(d1, {1, 0, 0});
  expectNear(d2, {1, 0, 0});
}

TEST(Frame, AddScaleCombineModes) {
  Scene s;
  auto f = s.root.createFrame(s.scene);
  f->setPosition(s.scene.get(), {1, 2, 3});
  f->addScale(Combine::Before, 2, 2, 2);
  expectNear(f->position(s.scene.get()), {1, 2, 3});
  EXPECT_NEAR(length(f->worldTransform().axis(0)), 2, 1e-5);
  f->addScale(Combine::After, 3, 3, 3);
  expectNear(f->position(s.scene.get()), {3, 6, 9});
  EXPECT_NEAR(length(f->worldTransform().axis(0)), 6, 1e-5);
  f->addScale(Combine::Replace, 70, 70, 70);
  expectNear(f->position(s.scene.get()), {0, 0, 0});
  f->setPosition(s.scene.get(), {5, 5, 5});  // the show re-places scaled fires like this
  expectNear(f->position(s.scene.get()), {5, 5, 5});
  EXPECT_NEAR(length(f->worldTransform().axis(1)), 70, 1e-3);
}

TEST(Frame, MoveAppliesVelocityOncePerCallToEveryFrameBelow) {
  Scene s;
  auto a = s.root.createFrame(s.scene);
  auto b = s.root.createFrame(a);
  a->setVelocity(s.scene.get(), {1, 0, 0});
  b->setVelocity(s.scene.get(), {0, 2, 0});
  s.scene->move(1.0f);
  expectNear(a->position(s.scene.get()), {1, 0, 0});
  expectNear(b->position(s.scene.get()), {1, 2, 0});
  s.scene->move(0.5f);
  expectNear(a->position(s.scene.get()), {1.5f, 0, 0});
  expectNear(b->position(s.scene.get()), {1.5f, 3, 0});
  // Moving a frame moves only its own subtree.
  b->move(1.0f);
  expectNear(a->position(s.scene.get()), {1.5f, 0, 0});
  expectNear(b->position(s.scene.get()), {1.5f, 5, 0});
}

TEST(Frame, VelocityIsRelativeToReference) {
  Scene s;
  auto turned = s.root.createFrame(s.scene);
  turned->addRotation(Combine::Replace, {0, 1, 0}, 3.14159265f / 2);
  auto f = s.root.createFrame(turned);
  f->setVelocity(s.scene.get(), {0, 0, 5});
  s.scene->move(1.0f);
  expectNear(f->position(s.scene.get()), {0, 0, 5});
  expectNear(f->velocity(s.scene.get()), {0, 0, 5});
}

TEST(Frame, RotationTurnsFrameUnderMove) {
  Scene s;
  auto f = s.root.createFrame(s.scene);
  f->setPosition(s.scene.get(), {4, 0, 0});
  f->setRotation(s.scene.get(), {0, 1, 0}, 0.25f);
  s.scene->move(2.0f);
  Vec3 d, u;
  f->orientation(s.scene.get(), d, u);
  expectNear(d, {std::sin(0.5f), 0, std::cos(0.5f)});
  expectNear(f->position(s.scene.get()), {4, 0, 0});  // turns about its own origin
}

TEST(Frame, ZeroRotationAxisStopsRotation) {
  Scene s;
  auto f = s.root.createFrame(s.scene);
  f->setRotation(s.scene.get(), {0, 1, 0}, 0.25f);
  s.scene->move(1.0f);
  Mat4 before = f->transform();
  f->setRotation(s.scene.get(), {0, 0, 0}, 0);
  s.scene->move(1.0f);
  EXPECT_TRUE(f->transform().isFinite());
  EXPECT_EQ(std::memcmp(&before, &f->transform(), sizeof before), 0);
}

TEST(Frame, LookAtTurnsZAxisTowardTarget) {
  Scene s;
  auto cam = s.root.createFrame(s.scene);
  auto target = s.root.createFrame(s.scene);
  cam->setPosition(s.scene.get(), {0, 0, -500});
  target->setPosition(s.scene.get(), {500, 0, 0});
  ASSERT_TRUE(cam->lookAt(*target, s.scene.get()));
  Vec3 d, u;
  cam->orientation(s.scene.get(), d, u);
  expectNear(d, {std::sqrt(0.5f), 0, std::sqrt(0.5f)});
  expectNear(u, {0, 1, 0});
  expectNear(cam->position(s.scene.get()), {0, 0, -500});
  // Straight up: parallel to every up candidate but the reference's z; no NaN.
  target->setPosition(s.scene.get(), {0, 100, -500});
  ASSERT_TRUE(cam->lookAt(*target, s.scene.get()));
  cam->orientation(s.scene.get(), d, u);
  expectNear(d, {0, 1, 0});
  EXPECT_TRUE(cam->transform().isFinite());
  // Target at the camera itself: refused, pose unchanged.
  target->setPosition(s.scene.get(), {0, 0, -500});
  EXPECT_FALSE(cam->lookAt(*target, s.scene.get()));
  EXPECT_TRUE(cam->transform().isFinite());
}

TEST(Frame, DeleteChildDetachesSubtreeButKeepsVisualLists) {
  Scene s;
  auto group = s.root.createFrame(s.scene);
  auto child = s.root.createFrame(group);
  s.scene->addVisual(group);
  EXPECT_TRUE(s.scene->deleteChild(group.get()));
  EXPECT_TRUE(s.scene->children().empty());
  EXPECT_EQ(group->parent(), nullptr);
  EXPECT_EQ(child->parent(), group.get());
  EXPECT_EQ(s.scene->visuals().size(), 1u);
  EXPECT_FALSE(s.scene->deleteChild(group.get()));  // not a child any more
}

TEST(Frame, DeleteVisualRemovesIt) {
  Scene s;
  auto mb = s.root.createMeshBuilder();
  s.scene->addVisual(mb);
  EXPECT_TRUE(s.scene->deleteVisual(mb.get()));
  EXPECT_TRUE(s.scene->visuals().empty());
  EXPECT_FALSE(s.scene->deleteVisual(mb.get()));
}

TEST(Frame, DrawingAFrameInsideItselfIsRefused) {
  Scene s;
  auto a = s.root.createFrame(s.scene);
  auto b = s.root.createFrame(a);
  EXPECT_FALSE(a->addVisual(a));               // itself
  EXPECT_FALSE(b->addVisual(a));               // an ancestor
  EXPECT_TRUE(s.scene->addVisual(a));          // a frame elsewhere is fine
  auto c = s.root.createFrame(s.scene);
  EXPECT_TRUE(c->addVisual(b));
  EXPECT_FALSE(b->addChild(c));                // c draws b: b cannot hold c
  EXPECT_FALSE(b->addVisual(c));
  EXPECT_EQ(c->parent(), s.scene.get());
  EXPECT_TRUE(b->visuals().empty());
}

TEST(Frame, NamesAndChildrenArrays) {
  Scene s;
  auto a = s.root.createFrame(s.scene);
  auto b = s.root.createFrame(s.scene);
  a->setName("x3ds_VaisseauT1");
  auto kids = s.scene->children();
  ASSERT_EQ(kids.size(), 2u);
  EXPECT_EQ(kids[0]->name(), "x3ds_VaisseauT1");
  EXPECT_EQ(kids[1], b);
}

TEST(Frame, GraphKeepsObjectsAliveAndReleasesThemWhenDetached) {
  std::weak_ptr<Frame> weakGroup, weakChild;
  std::weak_ptr<MeshBuilder> weakMesh;
  Scene s;
  for (int round = 0; round < 50; ++round) {
    auto group = s.root.createFrame(s.scene);
    auto child = s.root.createFrame(group);
    auto mb = s.root.createMeshBuilder();
    child->addVisual(mb);
    child->addLight(s.root.createLightRGB(LightType::Point, 1, 1, 1));
    weakGroup = group;
    weakChild = child;
    weakMesh = mb;
    group.reset();
    child.reset();
    mb.reset();
    EXPECT_FALSE(weakChild.expired());  // the graph holds it
    s.scene->deleteChild(weakGroup.lock().get());
    EXPECT_TRUE(weakGroup.expired());
    EXPECT_TRUE(weakChild.expired());
    EXPECT_TRUE(weakMesh.expired());
  }
  EXPECT_TRUE(s.scene->children().empty());
}
