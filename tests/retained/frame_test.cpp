#include <gtest/gtest.h>

#include <cstring>

#include "platform/retained/root.h"

using namespace quarvel::rm;

namespace {

void expect_near(const Vec3& a, const Vec3& b, float eps = 1e-3f) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

struct Scene {
  Root root;
  std::shared_ptr<Frame> scene = root.create_frame();
};

}  // namespace

TEST(Frame, CreateWithParentAttachesAtOnce) {
  Scene s;
  auto f = s.root.create_frame(s.scene);
  ASSERT_EQ(s.scene->children().size(), 1u);
  EXPECT_EQ(s.scene->children()[0], f);
  EXPECT_EQ(f->parent(), s.scene.get());
}

TEST(Frame, SetPositionIsRelativeToReference) {
  Scene s;
  auto group = s.root.create_frame(s.scene);
  group->add_scale(Combine::Replace, 2, 3, 0.5f);
  group->add_rotation(Combine::After, {0, 1, 0}, 0.7f);
  group->add_translation(Combine::After, {100, -20, 5});
  auto obj = s.root.create_frame(group);
  obj->set_position(s.scene.get(), {30150, 2268, -1410});
  expect_near(obj->position(s.scene.get()), {30150, 2268, -1410}, 0.05f);
  expect_near(obj->world_transform().origin(), {30150, 2268, -1410}, 0.05f);
  // Relative to the group the same point reads differently.
  Vec3 in_group = obj->position(group.get());
  expect_near(group->world_transform().transform_point(in_group), {30150, 2268, -1410}, 0.05f);
}

TEST(Frame, SetOrientationIsRelativeToReference) {
  Scene s;
  auto group = s.root.create_frame(s.scene);
  group->add_rotation(Combine::Replace, {1, 1, 0}, 1.2f);
  auto obj = s.root.create_frame(group);
  ASSERT_TRUE(obj->set_orientation(s.scene.get(), {0, 0, 1}, {0, 1, 0}));
  Vec3 d, u;
  obj->orientation(s.scene.get(), d, u);
  expect_near(d, {0, 0, 1});
  expect_near(u, {0, 1, 0});
  // Up made orthogonal to the direction.
  ASSERT_TRUE(obj->set_orientation(s.scene.get(), {1, 0, 0}, {1, 1, 0}));
  obj->orientation(s.scene.get(), d, u);
  expect_near(d, {1, 0, 0});
  expect_near(u, {0, 1, 0});
}

TEST(Frame, DegenerateOrientationLeavesPoseUnchanged) {
  Scene s;
  auto f = s.root.create_frame(s.scene);
  f->set_orientation(s.scene.get(), {1, 0, 0}, {0, 1, 0});
  Mat4 before = f->transform();
  EXPECT_FALSE(f->set_orientation(s.scene.get(), {0, 0, 0}, {0, 0, 0}));
  EXPECT_FALSE(f->set_orientation(s.scene.get(), {0, 2, 0}, {0, 1, 0}));
  EXPECT_FALSE(f->set_orientation(s.scene.get(), {0, 0, 1}, {0, 0, 0}));
  EXPECT_EQ(std::memcmp(&before, &f->transform(), sizeof before), 0);
  EXPECT_TRUE(f->transform().is_finite());
}

TEST(Frame, AddRotationReplaceDropsPosition) {
  Scene s;
  auto f = s.root.create_frame(s.scene);
  f->set_position(s.scene.get(), {10, 20, 30});
  f->add_rotation(Combine::Replace, {-0.5f, 0, 0}, 1.0f);
  expect_near(f->position(s.scene.get()), {0, 0, 0});
  Vec3 d, u;
  f->orientation(s.scene.get(), d, u);
  // About -x, z turns toward +y.
  expect_near(d, {0, std::sin(1.0f), std::cos(1.0f)});
}

TEST(Frame, AddRotationBeforeKeepsPositionAfterTurnsIt) {
  Scene s;
  auto before = s.root.create_frame(s.scene);
  auto after = s.root.create_frame(s.scene);
  for (auto& f : {before, after}) f->set_position(s.scene.get(), {10, 0, 0});
  before->add_rotation(Combine::Before, {0, 1, 0}, 3.14159265f / 2);
  after->add_rotation(Combine::After, {0, 1, 0}, 3.14159265f / 2);
  expect_near(before->position(s.scene.get()), {10, 0, 0});
  expect_near(after->position(s.scene.get()), {0, 0, -10});
  Vec3 d1, u1, d2, u2;
  before->orientation(s.scene.get(), d1, u1);
  after->orientation(s.scene.get(), d2, u2);
  expect_near(d1, {1, 0, 0});
  expect_near(d2, {1, 0, 0});
}

TEST(Frame, AddScaleCombineModes) {
  Scene s;
  auto f = s.root.create_frame(s.scene);
  f->set_position(s.scene.get(), {1, 2, 3});
  f->add_scale(Combine::Before, 2, 2, 2);
  expect_near(f->position(s.scene.get()), {1, 2, 3});
  EXPECT_NEAR(length(f->world_transform().axis(0)), 2, 1e-5);
  f->add_scale(Combine::After, 3, 3, 3);
  expect_near(f->position(s.scene.get()), {3, 6, 9});
  EXPECT_NEAR(length(f->world_transform().axis(0)), 6, 1e-5);
  f->add_scale(Combine::Replace, 70, 70, 70);
  expect_near(f->position(s.scene.get()), {0, 0, 0});
  f->set_position(s.scene.get(), {5, 5, 5});  // the show re-places scaled fires like this
  expect_near(f->position(s.scene.get()), {5, 5, 5});
  EXPECT_NEAR(length(f->world_transform().axis(1)), 70, 1e-3);
}

TEST(Frame, MoveAppliesVelocityOncePerCallToEveryFrameBelow) {
  Scene s;
  auto a = s.root.create_frame(s.scene);
  auto b = s.root.create_frame(a);
  a->set_velocity(s.scene.get(), {1, 0, 0});
  b->set_velocity(s.scene.get(), {0, 2, 0});
  s.scene->move(1.0f);
  expect_near(a->position(s.scene.get()), {1, 0, 0});
  expect_near(b->position(s.scene.get()), {1, 2, 0});
  s.scene->move(0.5f);
  expect_near(a->position(s.scene.get()), {1.5f, 0, 0});
  expect_near(b->position(s.scene.get()), {1.5f, 3, 0});
  // Moving a frame moves only its own subtree.
  b->move(1.0f);
  expect_near(a->position(s.scene.get()), {1.5f, 0, 0});
  expect_near(b->position(s.scene.get()), {1.5f, 5, 0});
}

TEST(Frame, VelocityIsRelativeToReference) {
  Scene s;
  auto turned = s.root.create_frame(s.scene);
  turned->add_rotation(Combine::Replace, {0, 1, 0}, 3.14159265f / 2);
  auto f = s.root.create_frame(turned);
  f->set_velocity(s.scene.get(), {0, 0, 5});
  s.scene->move(1.0f);
  expect_near(f->position(s.scene.get()), {0, 0, 5});
  expect_near(f->velocity(s.scene.get()), {0, 0, 5});
}

TEST(Frame, RotationTurnsFrameUnderMove) {
  Scene s;
  auto f = s.root.create_frame(s.scene);
  f->set_position(s.scene.get(), {4, 0, 0});
  f->set_rotation(s.scene.get(), {0, 1, 0}, 0.25f);
  s.scene->move(2.0f);
  Vec3 d, u;
  f->orientation(s.scene.get(), d, u);
  expect_near(d, {std::sin(0.5f), 0, std::cos(0.5f)});
  expect_near(f->position(s.scene.get()), {4, 0, 0});  // turns about its own origin
}

TEST(Frame, ZeroRotationAxisStopsRotation) {
  Scene s;
  auto f = s.root.create_frame(s.scene);
  f->set_rotation(s.scene.get(), {0, 1, 0}, 0.25f);
  s.scene->move(1.0f);
  Mat4 before = f->transform();
  f->set_rotation(s.scene.get(), {0, 0, 0}, 0);
  s.scene->move(1.0f);
  EXPECT_TRUE(f->transform().is_finite());
  EXPECT_EQ(std::memcmp(&before, &f->transform(), sizeof before), 0);
}

TEST(Frame, LookAtTurnsZAxisTowardTarget) {
  Scene s;
  auto cam = s.root.create_frame(s.scene);
  auto target = s.root.create_frame(s.scene);
  cam->set_position(s.scene.get(), {0, 0, -500});
  target->set_position(s.scene.get(), {500, 0, 0});
  ASSERT_TRUE(cam->look_at(*target, s.scene.get()));
  Vec3 d, u;
  cam->orientation(s.scene.get(), d, u);
  expect_near(d, {std::sqrt(0.5f), 0, std::sqrt(0.5f)});
  expect_near(u, {0, 1, 0});
  expect_near(cam->position(s.scene.get()), {0, 0, -500});
  // Straight up: parallel to every up candidate but the reference's z; no NaN.
  target->set_position(s.scene.get(), {0, 100, -500});
  ASSERT_TRUE(cam->look_at(*target, s.scene.get()));
  cam->orientation(s.scene.get(), d, u);
  expect_near(d, {0, 1, 0});
  EXPECT_TRUE(cam->transform().is_finite());
  // Target at the camera itself: refused, pose unchanged.
  target->set_position(s.scene.get(), {0, 0, -500});
  EXPECT_FALSE(cam->look_at(*target, s.scene.get()));
  EXPECT_TRUE(cam->transform().is_finite());
}

TEST(Frame, DeleteChildDetachesSubtreeButKeepsVisualLists) {
  Scene s;
  auto group = s.root.create_frame(s.scene);
  auto child = s.root.create_frame(group);
  s.scene->add_visual(group);
  EXPECT_TRUE(s.scene->delete_child(group.get()));
  EXPECT_TRUE(s.scene->children().empty());
  EXPECT_EQ(group->parent(), nullptr);
  EXPECT_EQ(child->parent(), group.get());
  EXPECT_EQ(s.scene->visuals().size(), 1u);
  EXPECT_FALSE(s.scene->delete_child(group.get()));  // not a child any more
}

TEST(Frame, DeleteVisualRemovesIt) {
  Scene s;
  auto mb = s.root.create_mesh_builder();
  s.scene->add_visual(mb);
  EXPECT_TRUE(s.scene->delete_visual(mb.get()));
  EXPECT_TRUE(s.scene->visuals().empty());
  EXPECT_FALSE(s.scene->delete_visual(mb.get()));
}

TEST(Frame, DrawingAFrameInsideItselfIsRefused) {
  Scene s;
  auto a = s.root.create_frame(s.scene);
  auto b = s.root.create_frame(a);
  EXPECT_FALSE(a->add_visual(a));               // itself
  EXPECT_FALSE(b->add_visual(a));               // an ancestor
  EXPECT_TRUE(s.scene->add_visual(a));          // a frame elsewhere is fine
  auto c = s.root.create_frame(s.scene);
  EXPECT_TRUE(c->add_visual(b));
  EXPECT_FALSE(b->add_child(c));                // c draws b: b cannot hold c
  EXPECT_FALSE(b->add_visual(c));
  EXPECT_EQ(c->parent(), s.scene.get());
  EXPECT_TRUE(b->visuals().empty());
}

TEST(Frame, NamesAndChildrenArrays) {
  Scene s;
  auto a = s.root.create_frame(s.scene);
  auto b = s.root.create_frame(s.scene);
  a->set_name("x3ds_VaisseauT1");
  auto kids = s.scene->children();
  ASSERT_EQ(kids.size(), 2u);
  EXPECT_EQ(kids[0]->name(), "x3ds_VaisseauT1");
  EXPECT_EQ(kids[1], b);
}

TEST(Frame, GraphKeepsObjectsAliveAndReleasesThemWhenDetached) {
  std::weak_ptr<Frame> weak_group, weak_child;
  std::weak_ptr<MeshBuilder> weak_mesh;
  Scene s;
  for (int round = 0; round < 50; ++round) {
    auto group = s.root.create_frame(s.scene);
    auto child = s.root.create_frame(group);
    auto mb = s.root.create_mesh_builder();
    child->add_visual(mb);
    child->add_light(s.root.create_light_rgb(LightType::Point, 1, 1, 1));
    weak_group = group;
    weak_child = child;
    weak_mesh = mb;
    group.reset();
    child.reset();
    mb.reset();
    EXPECT_FALSE(weak_child.expired());  // the graph holds it
    s.scene->delete_child(weak_group.lock().get());
    EXPECT_TRUE(weak_group.expired());
    EXPECT_TRUE(weak_child.expired());
    EXPECT_TRUE(weak_mesh.expired());
  }
  EXPECT_TRUE(s.scene->children().empty());
}
