#include <gtest/gtest.h>

#include "platform/retained/root.h"

using namespace quarvel::rm;

namespace {
// A unit quad in the z = 0 plane facing -z (clockwise seen from the front).
std::shared_ptr<MeshBuilder> quad(Root& root, uint32_t color = 0xFFFFFFFF) {
  auto mb = root.create_mesh_builder();
  uint32_t a = mb->add_vertex({-1, 1, 0}), b = mb->add_vertex({1, 1, 0});
  uint32_t c = mb->add_vertex({1, -1, 0}), d = mb->add_vertex({-1, -1, 0});
  mb->add_face({a, b, c, d}, {}, color);
  return mb;
}
}  // namespace

TEST(MeshQuality, ShowValuesDecode) {
  EXPECT_TRUE(quality::wireframe(64));
  EXPECT_FALSE(quality::solid(64));
  EXPECT_FALSE(quality::lit(64));
  EXPECT_TRUE(quality::flat(64));
  EXPECT_TRUE(quality::solid(137) && quality::lit(137) && !quality::flat(137) && !quality::wireframe(137));
  EXPECT_TRUE(quality::solid(201) && quality::wireframe(201) && quality::lit(201) && !quality::flat(201));
  EXPECT_TRUE(quality::points(8));
  EXPECT_EQ(quality::kGouraud, 137u);
}

TEST(MeshBuilder, SetColorKeepsAlpha) {
  Root root;
  auto mb = quad(root);
  mb->set_color(0x7F7F7F7F);
  EXPECT_EQ(mb->faces()[0].color, 0x7F7F7F7Fu);
  const auto& tb = mb->triangles();
  ASSERT_EQ(tb.batches.size(), 1u);
  EXPECT_TRUE(tb.batches[0].transparent);
  EXPECT_EQ(tb.vertices[0].color, 0x7F7F7F7Fu);
}

TEST(MeshBuilder, OpaqueBatchesComeBeforeBlendedOnes) {
  Root root;
  auto mb = quad(root, 0x80FFFFFF);
  uint32_t e = mb->add_vertex({0, 0, 1}), f = mb->add_vertex({1, 0, 1}), g = mb->add_vertex({0, -1, 1});
  mb->add_face({e, f, g}, {}, 0xFFFF0000);
  const auto& tb = mb->triangles();
  ASSERT_EQ(tb.batches.size(), 2u);
  EXPECT_FALSE(tb.batches[0].transparent);
  EXPECT_EQ(tb.batches[0].count, 3u);
  EXPECT_TRUE(tb.batches[1].transparent);
  EXPECT_EQ(tb.batches[1].count, 6u);  // the quad as two triangles
  EXPECT_EQ(tb.batches[1].first, 3u);
  EXPECT_EQ(tb.edges.size(), 2u * (3 + 4));
  EXPECT_EQ(tb.vertices.size(), 7u);
}

TEST(MeshBuilder, FaceNormalPointsToTheFront) {
  Root root;
  auto mb = quad(root);
  const auto& v = mb->triangles(true).vertices[0];
  EXPECT_NEAR(v.face_normal[2], -1, 1e-6);
  EXPECT_NEAR(v.normal[2], -1, 1e-6);  // made from the faces when none are given
}

TEST(MeshBuilder, SmoothCornersShareVerticesFlatFacesDoNot) {
  Root root;
  auto mb = quad(root);
  uint32_t e = mb->add_vertex({0, -2, 0});
  mb->add_face({3, 2, e});  // shares two vertices with the quad
  EXPECT_EQ(mb->triangles(false).vertices.size(), 5u);
  EXPECT_EQ(mb->triangles(false).triangle_count(), 3u);
  EXPECT_EQ(mb->triangles(true).vertices.size(), 7u);
  EXPECT_EQ(mb->triangles(true).triangle_count(), 3u);
}

TEST(MeshBuilder, BoxAndScale) {
  Root root;
  auto mb = quad(root);
  Box b = mb->box();
  EXPECT_EQ(b.min.x, -1);
  EXPECT_EQ(b.max.y, 1);
  uint32_t rev = mb->revision();
  mb->scale(0.01f, 2, 1);
  EXPECT_NE(mb->revision(), rev);
  b = mb->box();
  EXPECT_FLOAT_EQ(b.max.x, 0.01f);
  EXPECT_FLOAT_EQ(b.min.y, -2);
  EXPECT_EQ(root.create_mesh_builder()->box().max, (Vec3{0, 0, 0}));
}

TEST(MeshBuilder, InvalidFacesAreRefused) {
  Root root;
  auto mb = root.create_mesh_builder();
  mb->add_vertex({0, 0, 0});
  mb->add_vertex({1, 0, 0});
  EXPECT_FALSE(mb->add_face({0, 1}));
  EXPECT_FALSE(mb->add_face({0, 1, 2}));
  EXPECT_EQ(mb->face_count(), 0u);
}

TEST(MeshBuilder, CreateMeshCopiesAndIsNoBuilder) {
  Root root;
  auto mb = quad(root);
  mb->set_quality(201);
  auto mesh = mb->create_mesh();
  EXPECT_EQ(mesh->face_count(), 1u);
  EXPECT_EQ(mesh->quality(), 201u);
  EXPECT_NE(mesh->id(), mb->id());
  mb->scale(5, 5, 5);
  EXPECT_EQ(mesh->box().max.x, 1);  // a copy, not a view
  std::shared_ptr<Visual> as_visual = mesh;
  EXPECT_EQ(as_mesh_builder(as_visual), nullptr);
  as_visual = mb;
  EXPECT_EQ(as_mesh_builder(as_visual), mb);
}

TEST(MeshBuilder, TextureAppliesToEveryFace) {
  Root root;
  auto mb = quad(root);
  auto tex = root.create_texture(quarvel::Picture(2, 2, 0xFFFF0000));
  mb->set_texture(tex);
  EXPECT_EQ(mb->triangles().batches[0].texture, tex);
  mb->set_texture(nullptr);
  EXPECT_EQ(mb->triangles().batches[0].texture, nullptr);
}

TEST(BuildMesh, MaterialsGiveFaceColoursAndTextures) {
  ModelMesh m;
  m.positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  m.uvs = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
  m.faces = {{0, 2, 1}, {1, 2, 3}};
  m.materials = {{0xFF00FF00, ""}, {0x80FFFFFF, "Tree.BMP"}};
  m.face_materials = {0, 1};
  int lookups = 0;
  auto tex = std::make_shared<Texture>(quarvel::Picture(1, 1));
  MeshBuilder mb;
  EXPECT_TRUE(build_mesh(mb, m, [&](const std::string& name) {
    ++lookups;
    EXPECT_EQ(name, "Tree.BMP");
    return tex;
  }));
  EXPECT_EQ(lookups, 1);
  ASSERT_EQ(mb.face_count(), 2u);
  EXPECT_EQ(mb.faces()[0].color, 0xFF00FF00u);
  EXPECT_EQ(mb.faces()[1].texture, tex);
  EXPECT_FLOAT_EQ(mb.uvs()[3].x, 1);
}
