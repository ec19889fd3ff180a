#include <gtest/gtest.h>

#include "fake_backend.h"
#include "platform/retained/stage.h"

using namespace quarvel::rm;
using quarvel::rm::testing::RecordingBackend;

// Each opening makes a new device, camera and viewport over a scene frame
// that is kept; closing leaves the scene frame without its camera.
TEST(Stage, EachOpeningMakesItsOwnDeviceCameraAndViewportOverOneSceneFrame) {
  Stage stage;
  EXPECT_FALSE(stage.is_open());
  stage.close();  // nothing to close
  auto backend = std::make_shared<RecordingBackend>();
  stage.open(backend, 640, 480);
  ASSERT_TRUE(stage.is_open());
  const auto scene = stage.scene;
  const auto first_camera = stage.camera;
  EXPECT_EQ(stage.camera->parent(), scene.get());
  EXPECT_EQ(stage.viewport->camera(), stage.camera);
  EXPECT_EQ(stage.viewport->rect().width, 640);
  EXPECT_FLOAT_EQ(stage.viewport->back(), Stage::kBack);

  stage.close();
  EXPECT_FALSE(stage.is_open());
  EXPECT_FALSE(stage.viewport);
  EXPECT_TRUE(scene->children().empty());
  stage.open(backend, 320, 200);
  EXPECT_EQ(stage.scene, scene);
  EXPECT_NE(stage.camera, first_camera);
  EXPECT_EQ(scene->children().size(), 1u);
  EXPECT_EQ(stage.viewport->rect().height, 200);

  stage.render();  // one list: the clear and the view
  ASSERT_EQ(backend->lists.size(), 1u);
  EXPECT_TRUE(backend->lists[0].clear.due);
  EXPECT_TRUE(backend->lists[0].draw);
  stage.close();
  stage.render();  // closed: draws nothing
  EXPECT_EQ(backend->lists.size(), 1u);
}
