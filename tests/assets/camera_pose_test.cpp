// The camera paths posed through the scene graph: the frame the camera
// follows looks where the scene needs it to.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "platform/retained/animation.h"
#include "platform/retained/frame.h"
#include "platform/retained/x_loader.h"
#include "show_files.h"

namespace quarvel::assets_test {
namespace {

using rm::Vec3;

struct PosedPath {
  std::shared_ptr<rm::Frame> root = std::make_shared<rm::Frame>();
  std::shared_ptr<rm::Frame> parent = std::make_shared<rm::Frame>();
  rm::AnimationSet set;
  std::shared_ptr<rm::Frame> camera;

  explicit PosedPath(const std::string& file) {
    root->add_child(parent);
    std::string error;
    EXPECT_TRUE(rm::load_animation_set(set, show_file(file), parent, error)) << error;
    auto children = parent->children();
    if (!children.empty()) camera = children.front();
  }
};

float facing(const rm::Frame& camera, const rm::Frame& root, Vec3 target) {
  Vec3 p = camera.position(&root), dir, up;
  camera.orientation(&root, dir, up);
  Vec3 to = target - p;
  float lt = std::sqrt(to.x * to.x + to.y * to.y + to.z * to.z);
  float ld = std::sqrt(dir.x * dir.x + dir.y * dir.y + dir.z * dir.z);
  return (dir.x * to.x + dir.y * to.y + dir.z * to.z) / (lt * ld);
}

TEST(CameraPaths, OpeningCameraWatchesTheBurningShipGoUp) {
  // Where the fires stay from 7271 on: the burning ship's position then.
  xfile::Model ships;
  std::string error;
  ASSERT_TRUE(read_model("00000000.dat", ships, error)) << error;
  const xfile::Animation* a = find_animation(ships, "x3ds_x5_Vaissea0");
  ASSERT_NE(a, nullptr);
  Vec3 fire;
  for (const auto& k : keys_of(*a, 2)->keys)
    if (k.time == 7300) fire = {k.values[0], k.values[1], k.values[2]};
  ASSERT_NE(fire.x, 0.0f);

  PosedPath path("00000001.dat");
  ASSERT_TRUE(path.camera);
  for (float t : {7300.0f, 7450.0f, 7600.0f}) {
    path.set.set_time(t);
    EXPECT_GT(facing(*path.camera, *path.root, fire), 0.995f) << "at " << t;
  }
}

TEST(CameraPaths, ModelCameraLooksAtTheEngineAndEndsAtTheOrigin) {
  PosedPath path("00000005.dat");
  ASSERT_TRUE(path.camera);
  for (float t : {0.0f, 400.0f, 900.0f, 1250.0f}) {
    path.set.set_time(t);
    EXPECT_GT(facing(*path.camera, *path.root, {0, 90, 450}), 0.99f) << "at " << t;
  }
  Vec3 end = path.camera->position(path.root.get());
  EXPECT_LT(std::sqrt(end.x * end.x + end.y * end.y + end.z * end.z), 100.0f);
}

TEST(CameraPaths, ForestEdgeCameraEndsFacingTheForest) {
  PosedPath path("00000003.dat");
  ASSERT_TRUE(path.camera);
  path.set.set_time(1370.0f);
  EXPECT_GT(facing(*path.camera, *path.root, {400, 70, -2000}), 0.99f);
}

}  // namespace
}  // namespace quarvel::assets_test
