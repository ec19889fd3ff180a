#include "platform/retained/xfile/reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "xfile/xfile_test_util.h"

namespace quarvel::xfile {
namespace {

using testing::parse_text;

Model parse_ok(std::string_view body) {
  Model m;
  std::string error;
  EXPECT_TRUE(parse_text(body, m, error)) << error;
  return m;
}

std::string parse_error(std::string_view body, const Limits& limits = {}) {
  Model m;
  std::string error;
  EXPECT_FALSE(parse_text(body, m, error, limits));
  return error;
}

constexpr std::string_view kQuad = R"(
Mesh Quad {
  4; 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;;
  1; 4;0,1,2,3;;
})";

TEST(Reader, ReadsNamedFramesWithNestingAndMatrices) {
  Model m = parse_ok(R"(
Frame Outer {
  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 5,6,7,1;; }
  Frame Inner { }
  Frame { }
})");
  ASSERT_EQ(m.frames.size(), 1u);
  EXPECT_EQ(m.frames[0].name, "Outer");
  EXPECT_FLOAT_EQ(m.frames[0].transform[12], 5.0f);
  EXPECT_FLOAT_EQ(m.frames[0].transform[14], 7.0f);
  ASSERT_EQ(m.frames[0].children.size(), 2u);
  EXPECT_EQ(m.frames[0].children[0].name, "Inner");
  EXPECT_EQ(m.frames[0].children[1].name, "");
  EXPECT_EQ(m.frames[0].children[0].transform, identity_matrix());
}

TEST(Reader, TriangulatesPolygonsAsFansAndKeepsDeclaredCounts) {
  Model m = parse_ok(kQuad);
  ASSERT_EQ(m.meshes.size(), 1u);
  const Mesh& q = m.meshes[0];
  EXPECT_EQ(q.declared_vertices, 4u);
  EXPECT_EQ(q.declared_faces, 1u);
  EXPECT_EQ(q.triangles, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
  EXPECT_EQ(q.triangle_faces, (std::vector<uint32_t>{0, 0}));
  EXPECT_EQ(m.top_meshes, (std::vector<uint32_t>{0}));
}

TEST(Reader, FaceWithFewerThanThreeCornersGivesNoTriangle) {
  Model m = parse_ok("Mesh { 3; 0;0;0;,1;0;0;,0;1;0;; 2; 2;0,1;, 3;0,1,2;; }");
  EXPECT_EQ(m.meshes[0].declared_faces, 2u);
  EXPECT_EQ(m.meshes[0].triangle_faces, (std::vector<uint32_t>{1}));
}

TEST(Reader, MeshesInsideFramesAreTheFramesVisuals) {
  Model m = parse_ok(std::string("Frame F {") + std::string(kQuad) + std::string(kQuad) + "}");
  EXPECT_EQ(m.frames[0].meshes, (std::vector<uint32_t>{0, 1}));
  EXPECT_TRUE(m.top_meshes.empty());
}

TEST(Reader, ReadsNormalsTextureCoordinatesAndVertexColours) {
  Model m = parse_ok(R"(
Mesh {
  3; 0;0;0;, 1;0;0;, 0;1;0;;
  1; 3;0,1,2;;
  MeshNormals { 1; 0;0;-1;; 1; 3;0,0,0;; }
  MeshTextureCoords { 3; 0;0;, 1;0;, 0;1;; }
  MeshVertexColors { 2; 0;1;0;0;1;, 2;0;0;1;0.5;; }
})");
  const Mesh& mesh = m.meshes[0];
  ASSERT_EQ(mesh.normals.size(), 1u);
  EXPECT_FLOAT_EQ(mesh.normals[0].z, -1.0f);
  EXPECT_EQ(mesh.normal_indices, (std::vector<uint32_t>{0, 0, 0}));
  ASSERT_EQ(mesh.uvs.size(), 3u);
  EXPECT_FLOAT_EQ(mesh.uvs[1].u, 1.0f);
  ASSERT_EQ(mesh.colors.size(), 3u);
  EXPECT_FLOAT_EQ(mesh.colors[0].r, 1.0f);
  EXPECT_FLOAT_EQ(mesh.colors[1].r, 1.0f);  // not given: white
  EXPECT_FLOAT_EQ(mesh.colors[2].a, 0.5f);
}

TEST(Reader, DropsNormalsWhoseFacesDoNotMatchThePolygons) {
  Model m = parse_ok(R"(
Mesh {
  3; 0;0;0;, 1;0;0;, 0;1;0;;
  1; 3;0,1,2;;
  MeshNormals { 1; 0;0;-1;; 2; 3;0,0,0;, 3;0,0,0;; }
})");
  EXPECT_TRUE(m.meshes[0].normals.empty());
  EXPECT_TRUE(m.meshes[0].normal_indices.empty());
}

TEST(Reader, ReadsInlineMaterialsWithTextureFileNameInAnyCase) {
  Model m = parse_ok(R"(
Mesh {
  3; 0;0;0;, 1;0;0;, 0;1;0;;
  2; 3;0,1,2;, 3;0,2,1;;
  MeshMaterialList { 2; 2; 1, 0;;
    Material Red { 1;0;0;0.5;; 8; 0.1;0.2;0.3;; 0.4;0.5;0.6;; TextureFileName { "red.bmp"; } }
    Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; textureFILENAME { "g.png"; } }
  }
})");
  const Mesh& mesh = m.meshes[0];
  ASSERT_EQ(mesh.materials.size(), 2u);
  const Material& red = mesh.materials[0];
  EXPECT_EQ(red.name, "Red");
  EXPECT_FLOAT_EQ(red.face_color.a, 0.5f);
  EXPECT_FLOAT_EQ(red.power, 8.0f);
  EXPECT_FLOAT_EQ(red.specular.y, 0.2f);
  EXPECT_FLOAT_EQ(red.emissive.z, 0.6f);
  EXPECT_EQ(red.textures, (std::vector<std::string>{"red.bmp"}));
  EXPECT_EQ(mesh.materials[1].textures, (std::vector<std::string>{"g.png"}));
  EXPECT_EQ(mesh.face_materials, (std::vector<uint32_t>{1, 0}));
}

TEST(Reader, ShortFaceMaterialListAppliesItsLastIndexToTheRest) {
  Model m = parse_ok(R"(
Material A { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }
Material B { 0;0;0;1;; 0; 0;0;0;; 0;0;0;; }
Mesh {
  3; 0;0;0;, 1;0;0;, 0;1;0;;
  3; 3;0,1,2;, 3;0,2,1;, 3;1,0,2;;
  MeshMaterialList { 2; 1; 1;; {A} { B } }
})");
  const Mesh& mesh = m.meshes[0];
  EXPECT_EQ(mesh.face_materials, (std::vector<uint32_t>{1, 1, 1}));
  ASSERT_EQ(mesh.materials.size(), 2u);
  EXPECT_EQ(mesh.materials[0].name, "A");
  EXPECT_FLOAT_EQ(mesh.materials[1].face_color.r, 0.0f);  // the global B, by reference
  EXPECT_EQ(m.materials.size(), 2u);
}

TEST(Reader, MaterialListGivingFewerThanItCountsIsFilledOnlyUpToTheMaterialsUsed) {
  Model m = parse_ok(R"(
Mesh {
  3; 0;0;0;, 1;0;0;, 0;1;0;;
  2; 3;0,1,2;, 3;0,2,1;;
  MeshMaterialList { 6; 2; 0, 2;; Material Red { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; } }
}
Mesh {
  3; 0;0;0;, 1;0;0;, 0;1;0;;
  1; 3;0,1,2;;
  MeshMaterialList { 1; 1; 0;; Material A { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } Material B { 0;0;0;1;; 0; 0;0;0;; 0;0;0;; } }
})");
  const Mesh& short_list = m.meshes[0];
  EXPECT_EQ(short_list.declared_materials, 6u);
  ASSERT_EQ(short_list.materials.size(), 3u);
  EXPECT_EQ(short_list.materials[0].name, "Red");
  EXPECT_EQ(short_list.materials[2].name, "");
  EXPECT_FLOAT_EQ(short_list.materials[2].face_color.g, 1.0f);  // plain white
  EXPECT_EQ(short_list.face_materials, (std::vector<uint32_t>{0, 2}));
  // One more than counted is dropped.
  ASSERT_EQ(m.meshes[1].materials.size(), 1u);
  EXPECT_EQ(m.meshes[1].materials[0].name, "A");
}

TEST(Reader, ReadsEveryAnimationKeyTypeAndTheOptions) {
  Model m = parse_ok(R"(
AnimTicksPerSecond { 24; }
AnimTicksPerSecond { 4800; }
AnimationSet Walk {
  Animation A1 {
    { Hip }
    AnimationKey rot { 0; 1; 0;4;1,0,0,0;;; }
    AnimationKey { 1; 1; 5;3;2,2,2;;; }
    AnimationKey { 2; 2; 0;3;1,2,3;;, 10;3;4,5,6;;; }
    AnimationKey { 3; 1; 0;16;1,0,0,0,0,1,0,0,0,0,1,0,7,8,9,1;;; }
    AnimationKey { 4; 1; 0;16;1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;;; }
    AnimationOptions { 0; 0; }
  }
  Animation { { Knee } AnimationOptions { 0; 0; } AnimationOptions { 1; 1; } }
  Animation { { Foot } }
})");
  EXPECT_EQ(m.ticks_per_second, 4800u);
  ASSERT_EQ(m.animation_sets.size(), 1u);
  const AnimationSet& set = m.animation_sets[0];
  EXPECT_EQ(set.name, "Walk");
  ASSERT_EQ(set.animations.size(), 3u);
  const Animation& a = set.animations[0];
  EXPECT_EQ(a.name, "A1");
  EXPECT_EQ(a.frame, "Hip");
  ASSERT_EQ(a.keys.size(), 5u);
  for (uint32_t t = 0; t < 5; ++t) EXPECT_EQ(a.keys[t].type, t);
  EXPECT_EQ(a.keys[0].keys[0].count, 4u);
  EXPECT_FLOAT_EQ(a.keys[0].keys[0].values[0], 1.0f);
  EXPECT_EQ(a.keys[1].keys[0].time, 5u);
  ASSERT_EQ(a.keys[2].keys.size(), 2u);
  EXPECT_EQ(a.keys[2].keys[1].time, 10u);
  EXPECT_FLOAT_EQ(a.keys[2].keys[1].values[2], 6.0f);
  EXPECT_FLOAT_EQ(a.keys[3].keys[0].values[13], 8.0f);
  EXPECT_TRUE(a.has_options);
  EXPECT_TRUE(a.closed);
  EXPECT_TRUE(a.spline);
  // The last of two options counts: open and linear.
  EXPECT_FALSE(set.animations[1].closed);
  EXPECT_FALSE(set.animations[1].spline);
  EXPECT_FALSE(set.animations[2].has_options);
}

TEST(Reader, SkipsTemplatesUnknownObjectsAndHeader) {
  Model m = parse_ok(R"(
template Odd { <00000000-0000-0000-0000-000000000000> DWORD n; array DWORD v[n]; [...] }
Header { 1; 0; 1; }
KeyValuePair { "a"; "b"; }
Frame F {
  ObjectMatrixComment { 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }
  Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;
    VertexDuplicationIndices { 3; 3; 0, 1, 2; }
    DeclData { 1; 2,0,3,0;; 3; 1,2,3;; { nested { deeper } } }
    XSkinMeshHeader { 1; 1; 0; }
  }
})");
  ASSERT_EQ(m.frames.size(), 1u);
  EXPECT_EQ(m.frames[0].meshes.size(), 1u);
}

TEST(Reader, AcceptsCrlfAndComments) {
  Model m = parse_ok("// exported\r\nFrame A { # note\r\n Frame B {\r\n}\r\n}\r\n");
  ASSERT_EQ(m.frames.size(), 1u);
  EXPECT_EQ(m.frames[0].children[0].name, "B");
}

TEST(Reader, ReadsSixtyFourBitText) {
  std::string file = "xof 0302txt 0064\nMesh { 1; 0.5;0.25;0.125;; 0; }";
  Model m;
  std::string error;
  ASSERT_TRUE(read_memory(file.data(), file.size(), "m.x", m, error)) << error;
  EXPECT_EQ(m.float_bits, 64);
  EXPECT_EQ(m.version_minor, 2);
  EXPECT_FLOAT_EQ(m.meshes[0].positions[0].z, 0.125f);
}

TEST(Reader, ReadsTheBinaryEncoding) {
  testing::BinaryWriter w;
  w.name("Frame").name("Box").open()
      .name("Mesh").open().ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0}).ints({1, 3, 0, 1, 2})
      .name("MeshMaterialList").open().ints({1, 1, 0})
      .name("Material").open().floats({1, 0, 0, 1, 5, 0, 0, 0, 0, 0, 0})
      .name("TextureFilename").open().string("box.bmp").close()
      .close().close().close().close();
  std::string file = w.file();
  Model m;
  std::string error;
  ASSERT_TRUE(read_memory(file.data(), file.size(), "b.x", m, error)) << error;
  EXPECT_EQ(m.encoding, Encoding::Binary);
  ASSERT_EQ(m.frames.size(), 1u);
  EXPECT_EQ(m.frames[0].name, "Box");
  ASSERT_EQ(m.meshes.size(), 1u);
  EXPECT_FLOAT_EQ(m.meshes[0].positions[1].x, 1.0f);
  EXPECT_EQ(m.meshes[0].materials[0].textures[0], "box.bmp");
}

TEST(Reader, ReadsCompressedFilesOfManyBlocks) {
  // More than two 32 KB blocks, each depending on the one before.
  std::string body = "Frame Big {\n";
  for (int i = 0; i < 3000; ++i) body += "  Frame F" + std::to_string(i) + " { }\n";
  body += "}\n";
  std::string file = testing::compress_body(body, "xof 0303tzip0032");
  Model m;
  std::string error;
  ASSERT_TRUE(read_memory(file.data(), file.size(), "z.x", m, error)) << error;
  EXPECT_EQ(m.encoding, Encoding::TextZip);
  ASSERT_EQ(m.frames.size(), 1u);
  ASSERT_EQ(m.frames[0].children.size(), 3000u);
  EXPECT_EQ(m.frames[0].children[2999].name, "F2999");
}

TEST(ReaderErrors, NameTheFileAndTheLine) {
  std::string error = parse_error("Frame A {\n  Mesh {\n 3; 0;0;0;, 1;0;0;, 0;1;0;;\n 1; 3;0,1,7;;\n}\n}");
  EXPECT_EQ(error.rfind("test.x: ", 0), 0u) << error;
  EXPECT_NE(error.find("index 7 of 3"), std::string::npos) << error;
  EXPECT_NE(error.find("line 5"), std::string::npos) << error;
}

TEST(ReaderErrors, LeaveTheModelUnchanged) {
  Model m;
  m.ticks_per_second = 77;
  std::string error;
  EXPECT_FALSE(parse_text("Frame A {", m, error));
  EXPECT_EQ(m.ticks_per_second, 77u);
  EXPECT_NE(error.find("ends inside"), std::string::npos) << error;
}

TEST(ReaderErrors, RefuseCountsLargerThanTheData) {
  std::string error = parse_error("Mesh { 4000000000; 0;0;0;; }");
  EXPECT_NE(error.find("more than the data left"), std::string::npos) << error;
}

TEST(ReaderErrors, RefuseDeepNesting) {
  std::string body;
  for (int i = 0; i < 100; ++i) body += "Frame {";
  for (int i = 0; i < 100; ++i) body += "}";
  Limits limits;
  limits.max_depth = 64;
  std::string error = parse_error(body, limits);
  EXPECT_NE(error.find("nested more than 64"), std::string::npos) << error;
}

TEST(ReaderErrors, RefuseDeepNestingInsideSkippedObjects) {
  std::string body = "Unknown {";
  for (int i = 0; i < 100; ++i) body += "{";
  for (int i = 0; i < 101; ++i) body += "}";
  EXPECT_NE(parse_error(body).find("nested"), std::string::npos);
}

TEST(ReaderErrors, RefuseMaterialIndexOutOfRange) {
  std::string error = parse_error(R"(Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;
    MeshMaterialList { 1; 1; 3;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } })");
  EXPECT_NE(error.find("material 3 of 1"), std::string::npos) << error;
}

TEST(ReaderErrors, RefuseUnknownKeyType) {
  std::string error = parse_error("AnimationSet { Animation { AnimationKey { 7; 0; } } }");
  EXPECT_NE(error.find("key type 7"), std::string::npos) << error;
}

TEST(ReaderErrors, RefuseVertexColourForMissingVertex) {
  std::string error = parse_error("Mesh { 1; 0;0;0;; 0; MeshVertexColors { 1; 5;1;1;1;1;; } }");
  EXPECT_NE(error.find("vertex 5 of 1"), std::string::npos) << error;
}

TEST(ReaderErrors, RefuseBadHeaders) {
  Model m;
  std::string error;
  EXPECT_FALSE(read_memory("", 0, "e.x", m, error));
  EXPECT_EQ(error, "e.x: the file is empty");
  EXPECT_FALSE(read_memory("xof 0303", 8, "s.x", m, error));
  EXPECT_NE(error.find("too short"), std::string::npos);
  EXPECT_FALSE(read_memory("RIFF0303txt 0032", 16, "r.x", m, error));
  EXPECT_NE(error.find("not a model file"), std::string::npos);
  EXPECT_FALSE(read_memory("xof 0303abc 0032", 16, "a.x", m, error));
  EXPECT_NE(error.find("unknown encoding"), std::string::npos);
  EXPECT_FALSE(read_memory("xof 0303txt 0016", 16, "f.x", m, error));
  EXPECT_NE(error.find("float size"), std::string::npos);
}

TEST(ReaderErrors, RefuseCompressedSizesThatCannotBeTrue) {
  std::string file = "xof 0303bzip0032";
  uint32_t total = 100u << 20;  // 100 MB from 20 bytes: more than deflate can give
  file.append(reinterpret_cast<const char*>(&total), 4);
  file += std::string(16, '\0');
  Model m;
  std::string error;
  EXPECT_FALSE(read_memory(file.data(), file.size(), "z.x", m, error));
  EXPECT_NE(error.find("more than it can hold"), std::string::npos) << error;
  total = 0x7FFFFFFF;
  std::memcpy(&file[16], &total, 4);
  EXPECT_FALSE(read_memory(file.data(), file.size(), "z.x", m, error));
  EXPECT_EQ(error, "z.x: the compressed data would inflate to 2048 MB, more than the 256 MB a model may hold");
}

TEST(ReaderErrors, RefuseTruncatedCompressedData) {
  std::string file = testing::compress_body("Frame A { }", "xof 0303tzip0032");
  file.resize(file.size() - 3);
  Model m;
  std::string error;
  EXPECT_FALSE(read_memory(file.data(), file.size(), "z.x", m, error));
  EXPECT_NE(error.find("block 0"), std::string::npos) << error;
}

TEST(ReaderErrors, RefuseMissingFile) {
  Model m;
  std::string error;
  EXPECT_FALSE(read_file("/nonexistent/model.x", m, error));
  EXPECT_NE(error.find("/nonexistent/model.x: cannot open"), std::string::npos) << error;
}

TEST(ReaderErrors, SurviveEveryTruncationOfABinaryFile) {
  testing::BinaryWriter w;
  w.name("Frame").name("Box").open().name("Mesh").open().ints({3}).floats({0, 0, 0, 1, 0, 0, 0, 1, 0})
      .ints({1, 3, 0, 1, 2}).close().close();
  std::string file = w.file();
  for (size_t n = 0; n < file.size(); ++n) {
    if (n == 16) continue;  // a header alone is an empty model
    Model m;
    std::string error;
    EXPECT_FALSE(read_memory(file.data(), n, "t.x", m, error)) << n;
    EXPECT_FALSE(error.empty());
  }
}

TEST(BaseName, TakesThePartAfterEitherSeparator) {
  EXPECT_EQ(base_name("C:\\\\maps\\\\Wall.BMP"), "Wall.BMP");
  EXPECT_EQ(base_name("D:\\models\\bat.bmp"), "bat.bmp");
  EXPECT_EQ(base_name("a/b/c.png"), "c.png");
  EXPECT_EQ(base_name("plain.jpg"), "plain.jpg");
}

}  // namespace
}  // namespace quarvel::xfile
