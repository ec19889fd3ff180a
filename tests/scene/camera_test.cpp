// The camera follows the path frame's world pose while cam_suivi is set, and
// reads its orientation back into cam_dir and cam_up.
#include "scene/camera.h"

#include <gtest/gtest.h>

#include "show_fixture.h"

namespace quarvel::scene {
namespace {

using testing::expect_near;
using testing::expect_pose;

class Camera : public testing::ShowTest {
 protected:
  Camera() {
    world = f.stage.scene.get();
    // The path hangs below a moved and turned scene root.
    group = f.stage.root.create_frame(f.stage.scene);
    group->add_rotation(rm::Combine::Replace, {0, 1, 0}, 1.0f);
    group->add_translation(rm::Combine::After, {50, 0, -20});
    path = f.stage.root.create_frame(group);
    path->set_position(world, {10, 20, 30});
    path->set_orientation(world, {1, 0, 0}, {0, 0, 1});
    s.view.cam_path = path;
    s.view.cam_suivi = true;
    f.stage.camera->set_position(world, {0, 0, -500});
  }
  const rm::Frame* world = nullptr;
  FrameRef group, path;
};

TEST_F(Camera, FollowsThePathFramesWorldPose) {
  Calcul_pos(s);
  expect_pose(*f.stage.camera, world, {10, 20, 30}, {1, 0, 0}, {0, 0, 1});
}

TEST_F(Camera, StaysPutWhileNotFollowing) {
  s.view.cam_suivi = false;
  Calcul_pos(s);
  expect_pose(*f.stage.camera, world, {0, 0, -500}, {0, 0, 1}, {0, 1, 0});
}

TEST_F(Camera, WithoutAPathNothingHappens) {
  s.view.cam_path = nullptr;
  Calcul_pos(s);
  expect_near(f.stage.camera->position(world), {0, 0, -500});
}

TEST_F(Camera, AnimatedPathIsFollowedAtTheTimeSetThisTick) {
  auto anim = f.stage.root.create_animation();
  anim->add_position_key(0, {0, 0, 0});
  anim->add_position_key(10, {100, 0, 0});
  anim->set_frame(path);
  anim->set_time(2.5f);
  const Vec3 expected = path->position(world);
  Calcul_pos(s);
  expect_near(f.stage.camera->position(world), expected);
  anim->set_time(7.5f);
  Calcul_pos(s);
  expect_near(f.stage.camera->position(world), path->position(world));
  EXPECT_GT(std::abs(f.stage.camera->position(world).x - expected.x), 1.0f);
}

TEST_F(Camera, GetCameraReadsTheOrientationBack) {
  Calcul_pos(s);
  get_camera(s);
  expect_near(s.view.cam_dir, {1, 0, 0});
  expect_near(s.view.cam_up, {0, 0, 1});
  s.view.cam_suivi = false;
  f.stage.camera->set_orientation(world, {0, -1, 0}, {1, 0, 0});
  get_camera(s);
  expect_near(s.view.cam_dir, {0, -1, 0});
  expect_near(s.view.cam_up, {1, 0, 0});
}

}  // namespace
}  // namespace quarvel::scene
