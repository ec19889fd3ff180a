// Small files that declare huge counts: each is refused with one line, or
// read for what it really holds, without the reader taking memory for what
// is only declared. The memory is measured by counting every operator new
// of this test program.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/retained/xfile/reader.h"
#include "xfile/xfile_test_util.h"

namespace {

std::atomic<size_t> g_live{0};
std::atomic<size_t> g_peak{0};

void note_new(void* p) {
  size_t live = g_live.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
  size_t peak = g_peak.load();
  while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
  }
}

void* counted_new(size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  note_new(p);
  return p;
}

void counted_delete(void* p) {
  if (!p) return;
  g_live.fetch_sub(malloc_usable_size(p));
  std::free(p);
}

}  // namespace

void* operator new(size_t n) { return counted_new(n); }
void* operator new[](size_t n) { return counted_new(n); }
void operator delete(void* p) noexcept { counted_delete(p); }
void operator delete[](void* p) noexcept { counted_delete(p); }
void operator delete(void* p, size_t) noexcept { counted_delete(p); }
void operator delete[](void* p, size_t) noexcept { counted_delete(p); }

namespace quarvel::xfile {
namespace {

constexpr size_t kMB = size_t{1} << 20;

// The most memory taken at once since it was made, above what was taken then.
class PeakMemory {
 public:
  PeakMemory() : base_(g_live.load()) { g_peak.store(base_); }
  size_t bytes() const { return g_peak.load() - base_; }

 private:
  size_t base_;
};

struct Read {
  bool ok = false;
  Model model;
  std::string error;
  size_t peak = 0;  // bytes the reader took at most
};

Read read(const std::string& file, const Limits& limits = {}) {
  Read r;
  PeakMemory peak;
  r.ok = read_memory(file.data(), file.size(), "hostile.x", r.model, r.error, limits);
  r.peak = peak.bytes();
  return r;
}

// The inflated size a compressed file's header declares.
size_t inflated_size(const std::string& file) {
  uint32_t total = 0;
  std::memcpy(&total, file.data() + 16, 4);
  return total;
}

TEST(CountingAllocator, SeesWhatContainersTake) {
  PeakMemory peak;
  { std::vector<char> v(3 * kMB); }
  EXPECT_GE(peak.bytes(), 3 * kMB);
  EXPECT_LT(peak.bytes(), 4 * kMB);
}

TEST(HostileFiles, MaterialCountOfTenMillionTakesOnlyTheMaterialsGiven) {
  std::string file = testing::material_count_file(10'000'000, 0);
  EXPECT_LT(file.size(), 40u << 10);  // about 32 KB on disk
  Read r = read(file);
  ASSERT_TRUE(r.ok) << r.error;
  const Mesh& mesh = r.model.meshes.at(0);
  EXPECT_EQ(mesh.declared_materials, 10'000'000u);
  ASSERT_EQ(mesh.materials.size(), 1u);
  EXPECT_FLOAT_EQ(mesh.materials[0].face_color.r, 1.0f);
  EXPECT_EQ(mesh.face_materials, (std::vector<uint32_t>{0}));
  // The inflated text (its buffer grows with the blocks) and little more;
  // not the 1 GB the count would take.
  EXPECT_LT(r.peak, 2 * inflated_size(file) + 4 * kMB);
}

TEST(HostileFiles, FaceOfMaterialTenMillionIsRefusedBeforeThePlainMaterialsAreMade) {
  std::string file = testing::material_count_file(10'000'000, 9'999'999);
  Read r = read(file);
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.rfind("hostile.x: the model would take more than ", 0), 0u) << r.error;
  EXPECT_NE(r.error.find("MB of memory (line "), std::string::npos) << r.error;
  EXPECT_LT(r.peak, 2 * inflated_size(file) + 4 * kMB);
}

TEST(HostileFiles, FiftyMillionKeysCountedAreRefusedAtTheFirstOneMissing) {
  std::string file = testing::key_count_file(50'000'000, 0);
  EXPECT_LT(file.size(), 330u << 10);  // about 316 KB on disk
  const size_t data = inflated_size(file);
  EXPECT_GT(data, 200'000'000u);
  Read r = read(file);
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error, "hostile.x: expected a count or index, found '}' (line 8)") << r.error;
  // The inflated text, not the 3.6 GB of 50 million keys.
  EXPECT_LT(r.peak, 2 * data);
}

TEST(HostileFiles, FiftyMillionKeysAreRefusedWithinASmallMultipleOfTheData) {
  std::string file = testing::key_count_file(50'000'000, 17'000'000);
  EXPECT_LT(file.size(), 480u << 10);  // about 460 KB on disk
  const size_t data = inflated_size(file);
  EXPECT_GT(data, 200'000'000u);
  Read r = read(file);
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error.rfind("hostile.x: the model would take more than 256 MB of memory", 0), 0u) << r.error;
  // The 200 MB of text, and at most the 256 MB a model may take: not the
  // 3.6 GB that 50 million keys would.
  EXPECT_LT(r.peak, data + 256 * kMB + 4 * kMB);
  EXPECT_LT(r.peak, 3 * data);
}

TEST(HostileFiles, ReferencesCannotMultiplyALongTextureName) {
  // One material with a 60 KB texture name, then three million references
  // to it in a material list: 180 GB of copies, from a 20 KB file.
  std::string body = "Material M { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"" + std::string(60000, 't') +
                     "\"; } }\nMesh {\n 3; 0;0;0;, 1;0;0;, 0;1;0;;\n 1; 3;0,1,2;;\n"
                     " MeshMaterialList { 3000000; 1; 0;;\n";
  for (int i = 0; i < 3'000'000; ++i) body += "{M}";
  body += "\n}}\n";
  std::string file = testing::compress_body(body, "xof 0303tzip0032");
  EXPECT_LT(file.size(), 40u << 10);
  Read r = read(file);
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.find("the model would take more than"), std::string::npos) << r.error;
  const size_t data = inflated_size(file) - 16;
  EXPECT_LT(r.peak, data + model_budget(data) + 1 * kMB);
  EXPECT_LT(r.peak, 100 * kMB);
}

TEST(HostileFiles, ManySmallObjectsInABinaryFileAreRefusedWithinTheBudget) {
  // 200,000 empty meshes: 28 bytes each in the file, some 300 in memory.
  testing::BinaryWriter w;
  for (int i = 0; i < 200'000; ++i) w.name("Mesh").open().ints({0, 0}).close();
  std::string file = w.file();
  Read r = read(file);
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.find("the model would take more than 47 MB of memory (byte "), std::string::npos) << r.error;
  EXPECT_LT(r.peak, model_budget(file.size() - 16));
  // A thousand fit in what any file may take.
  testing::BinaryWriter few;
  for (int i = 0; i < 1'000; ++i) few.name("Mesh").open().ints({0, 0}).close();
  Read ok = read(few.file());
  ASSERT_TRUE(ok.ok) << ok.error;
  EXPECT_EQ(ok.model.meshes.size(), 1'000u);
}

TEST(HostileFiles, DeclaredListLengthsTakeNothingUntilTheItemsAreRead) {
  // Each list counts ten million items, gives one and then the padding
  // runs out into spaces and a '}'.
  const std::string tri = "3; 0;0;0;, 1;0;0;, 0;1;0;;\n 1; 3;0,1,2;;\n";
  const std::string cases[] = {
      "Mesh { 10000000; 0;0;0;;",                                              // vertices
      "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 10000000; 3;0,1,2;;",                 // faces
      "Mesh { " + tri + " MeshNormals { 10000000; 0;0;1;;",                     // normals
      "Mesh { " + tri + " MeshNormals { 1; 0;0;1;; 10000000; 3;0,0,0;;",        // normal faces
      "Mesh { " + tri + " MeshTextureCoords { 10000000; 0;0;;",                 // texture coordinates
      "Mesh { " + tri + " MeshVertexColors { 10000000; 0;1;1;1;1;;",            // vertex colours
      "Mesh { " + tri + " MeshMaterialList { 1; 10000000; 0;;",                 // face material indices
      "Mesh { " + tri + " SkinWeights { \"F\"; 10000000; 0;",                   // skin weights
      "AnimationSet { Animation { AnimationKey { 0; 10000000; 0;4;1,0,0,0;;",    // keys
      "AnimationSet { Animation { AnimationKey { 0; 1; 0;10000000; 1;",         // key values
  };
  for (const std::string& head : cases) {
    std::string file = "xof 0303txt 0032\n" + head + std::string(100'000'000, ' ') + "}";
    Read r = read(file);
    EXPECT_FALSE(r.ok) << head;
    EXPECT_EQ(r.error.rfind("hostile.x: ", 0), 0u) << r.error;
    EXPECT_NE(r.error.find("found '}'"), std::string::npos) << head << ": " << r.error;
    EXPECT_LT(r.peak, 1 * kMB) << head;
  }
}

TEST(HostileFiles, CompressedSizesAreBoundedAndTheBufferFollowsTheBlocks) {
  // A header that declares 250 MB, over one real block and 250 KB of junk.
  std::string file = testing::compress_body("Frame A { }", "xof 0303tzip0032");
  uint32_t total = 250u << 20;
  std::memcpy(&file[16], &total, 4);
  file.append(250u << 10, 'x');
  Read r = read(file);
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.error.find("compressed block 1 lacks its 'CK' mark"), std::string::npos) << r.error;
  EXPECT_LT(r.peak, 1 * kMB);

  // More than a model may hold is refused before inflating.
  total = 300u << 20;
  std::memcpy(&file[16], &total, 4);
  file.append(100u << 10, 'x');
  r = read(file);
  ASSERT_FALSE(r.ok);
  EXPECT_EQ(r.error, "hostile.x: the compressed data would inflate to 300 MB, more than the 256 MB a model may hold");
  Limits small;
  small.max_inflated_bytes = 1 * kMB;
  r = read(testing::compress_body(std::string(2 * kMB, ' '), "xof 0303tzip0032"), small);
  EXPECT_EQ(r.error, "hostile.x: the compressed data would inflate to 2 MB, more than the 1 MB a model may hold");
}

}  // namespace
}  // namespace quarvel::xfile
