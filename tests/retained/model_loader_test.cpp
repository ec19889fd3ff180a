#include <gtest/gtest.h>

#include "platform/retained/model_loader.h"
#include "platform/retained/root.h"

using namespace quarvel::rm;

namespace {
std::string data(const std::string& rel) { return std::string(QUARVEL_TESTDATA_DIR) + "/x/" + rel; }
}  // namespace

TEST(ModelLoader, MeshBuilderTakesTheFirstMesh) {
  MeshBuilder mb;
  ASSERT_TRUE(loadMeshBuilder(mb, data("assimp/test_cube_text.x")));
  EXPECT_EQ(mb.positions().size(), 24u);
  EXPECT_EQ(mb.faceCount(), 12u);
  Box b = mb.box();
  EXPECT_LT(b.min.x, b.max.x);
  EXPECT_FALSE(mb.triangles().vertices.empty());
}

TEST(ModelLoader, MissingFileLeavesBuilderAsItWas) {
  MeshBuilder mb;
  mb.addVertex({1, 2, 3});
  testing::internal::CaptureStderr();
  EXPECT_FALSE(loadMeshBuilder(mb, data("no_such_file.x")));
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("no_such_file.x"), std::string::npos);
  EXPECT_EQ(mb.positions().size(), 1u);
}

TEST(ModelLoader, AnimationSetBuildsNamedFramesAndTexturesByBaseName) {
  Root root;
  auto scene = root.createFrame();
  auto parent = root.createFrame(scene);
  AnimationSet set;
  ASSERT_TRUE(loadAnimationSet(set, data("dbpro/basic3d/models/ninja.X"), parent));
  EXPECT_EQ(set.animations().size(), 17u);
  ASSERT_FALSE(parent->children().empty());
  int bound = 0, textured = 0;
  for (auto& a : set.animations()) bound += a->frame() != nullptr;
  EXPECT_EQ(bound, 17);
  std::vector<std::shared_ptr<Frame>> stack = parent->children();
  while (!stack.empty()) {
    auto f = stack.back();
    stack.pop_back();
    for (auto& v : f->visuals())
      if (auto mb = asMeshBuilder(v))
        for (auto& b : mb->triangles().batches) textured += b.texture != nullptr;
    for (auto& c : f->children()) stack.push_back(c);
  }
  EXPECT_GT(textured, 0);  // NINJA.BMP found as ninja.bmp
  set.setTime(10);
  for (auto& a : set.animations()) EXPECT_TRUE(a->frame()->transform().isFinite());
}
