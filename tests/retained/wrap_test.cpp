#include <gtest/gtest.h>

#include "platform/retained/root.h"

using namespace quarvel::rm;

namespace {
std::shared_ptr<MeshBuilder> ground(Root& root) {
  auto mb = root.create_mesh_builder();
  uint32_t a = mb->add_vertex({-100, 0, 100}), b = mb->add_vertex({100, 0, 100});
  uint32_t c = mb->add_vertex({100, 0, -100}), d = mb->add_vertex({-100, 0, -100});
  mb->add_face({a, b, c, d});
  return mb;
}
}  // namespace

TEST(Wrap, FlatProjectsOntoPlanePerpendicularToDirection) {
  Root root;
  auto mb = root.create_mesh_builder();
  mb->add_vertex({10, 20, 30});
  auto wrap = root.create_wrap(WrapType::Flat, nullptr, {0, 0, 0}, {0, 0, 1}, {0, 1, 0}, 0.5f, 0.25f, 0.01f, 0.02f);
  ASSERT_TRUE(wrap->apply(*mb));
  EXPECT_FLOAT_EQ(mb->uvs()[0].x, 0.5f + 0.01f * 10);
  EXPECT_FLOAT_EQ(mb->uvs()[0].y, 0.25f + 0.02f * 20);
}

TEST(Wrap, FlatWithUpParallelToDirectionUsesZAsUp) {
  // The show scrolls its ground with direction and up both (0, 1, 0).
  Root root;
  auto mb = ground(root);
  int wrap_u = -5;
  auto wrap = root.create_wrap(WrapType::Flat, nullptr, {0, 0, 0}, {0, 1, 0}, {0, 1, 0}, wrap_u / 25.0f, 0, 0.01f, 0.01f);
  Vec3 x, y, z;
  wrap->axes(x, y, z);
  EXPECT_EQ(z, (Vec3{0, 1, 0}));
  EXPECT_EQ(y, (Vec3{0, 0, 1}));
  EXPECT_EQ(x, (Vec3{-1, 0, 0}));
  ASSERT_TRUE(wrap->apply(*mb));
  for (size_t i = 0; i < mb->positions().size(); ++i) {
    const Vec3& p = mb->positions()[i];
    EXPECT_FLOAT_EQ(mb->uvs()[i].x, -0.2f - 0.01f * p.x);
    EXPECT_FLOAT_EQ(mb->uvs()[i].y, 0.01f * p.z);
    EXPECT_TRUE(std::isfinite(mb->uvs()[i].x) && std::isfinite(mb->uvs()[i].y));
  }
}

TEST(Wrap, ApplyChangesTheMeshRevision) {
  Root root;
  auto mesh = ground(root)->create_mesh();
  uint32_t rev = mesh->revision();
  root.create_wrap(WrapType::Flat, nullptr, {}, {0, 1, 0}, {0, 1, 0}, 0, 0, 1, 1)->apply(*mesh);
  EXPECT_NE(mesh->revision(), rev);
}

TEST(Wrap, ReappliedEveryTickUpdatesOnlyTheCoordinates) {
  Root root;
  auto mb = ground(root);
  // A second field of another colour beside the first: each keeps its own.
  const uint32_t e = mb->add_vertex({300, 0, 100}), f = mb->add_vertex({300, 0, -100});
  mb->add_face({1, e, f, 2}, {}, 0xFF336622u);
  auto mesh = mb->create_mesh();
  mesh->triangles();
  const uint32_t builds = mesh->triangle_builds(), shape = mesh->shape_revision();
  for (int tick = 0; tick < 3; ++tick) {
    // A new wrap every tick, as the show does, moving the coordinates.
    root.create_wrap(WrapType::Flat, nullptr, {}, {0, 1, 0}, {0, 1, 0}, 0.1f * tick, 0, 1, 1)->apply(*mesh);
    const TriangleBuffer& tb = mesh->triangles();
    ASSERT_FALSE(tb.vertices.empty());
    for (size_t i = 0; i < tb.vertices.size(); ++i) {
      const uint32_t v = tb.source[i];
      EXPECT_FLOAT_EQ(tb.vertices[i].uv[0], mesh->uvs()[v].x);
      EXPECT_FLOAT_EQ(tb.vertices[i].uv[1], mesh->uvs()[v].y);
      EXPECT_EQ(tb.vertices[i].color, mesh->faces()[tb.source_face[i]].color) << i;
    }
    EXPECT_EQ(tb.vertices.back().color, 0xFF336622u);
  }
  EXPECT_EQ(mesh->triangle_builds(), builds);
  EXPECT_EQ(mesh->shape_revision(), shape);
  // The same wrap again changes nothing at all.
  const uint32_t rev = mesh->revision();
  root.create_wrap(WrapType::Flat, nullptr, {}, {0, 1, 0}, {0, 1, 0}, 0.2f, 0, 1, 1)->apply(*mesh);
  EXPECT_EQ(mesh->revision(), rev);
}

TEST(Wrap, ChromeFollowsNormalsSeenFromReference) {
  Root root;
  auto scene = root.create_frame();
  auto camera = root.create_frame(scene);
  camera->set_position(scene.get(), {0, 0, -500});
  auto mb = root.create_mesh_builder();
  uint32_t n = mb->add_normal({1, 0, 0});
  uint32_t a = mb->add_vertex({0, 0, 0}), b = mb->add_vertex({0, 1, 0}), c = mb->add_vertex({0, 0, 1});
  mb->add_face({a, b, c}, {n, n, n});
  auto wrap = root.create_wrap(WrapType::Chrome, camera, {}, {0, 0, 1}, {0, 1, 0}, 0, 0.5f, 1, -2);
  ASSERT_TRUE(wrap->apply(*mb));
  EXPECT_FLOAT_EQ(mb->uvs()[0].x, 1.0f);         // normal along the camera's x
  EXPECT_FLOAT_EQ(mb->uvs()[0].y, 0.5f - 1.0f);  // 0.5 + (-2) * 0.5
  // Turn the camera: the same normal now faces it.
  camera->set_orientation(scene.get(), {-1, 0, 0}, {0, 1, 0});
  wrap->apply(*mb);
  EXPECT_NEAR(mb->uvs()[0].x, 0.5f, 1e-6);
}
