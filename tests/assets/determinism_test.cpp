// The generator writes the same bytes on every run: a fresh generation in
// memory equals the files the build placed in the show folder.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "asset_set.h"
#include "show_files.h"

namespace quarvel::assets_test {
namespace {

std::vector<uint8_t> read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(AssetDeterminism, FreshGenerationEqualsTheBuiltFilesByteForByte) {
  const std::vector<assets::AssetFile> files = assets::make_asset_set();
  EXPECT_EQ(files.size(), 17u + 7u + 9u + 1u);
  for (const auto& f : files) {
    std::vector<uint8_t> on_disk = read_bytes(show_file(f.name));
    ASSERT_FALSE(on_disk.empty()) << f.name << " missing from the show folder";
    EXPECT_TRUE(on_disk == f.bytes) << f.name << " differs";
  }
}

TEST(AssetDeterminism, WriterLeavesUnchangedFilesAndReportsUnwritableFolders) {
  const std::string dir = ::testing::TempDir() + "quarvel_assets_writer";
  std::vector<assets::AssetFile> files = {{"a/b.txt", {'x', 'y'}}};
  std::string error;
  ASSERT_TRUE(assets::write_asset_set(dir, files, error)) << error;
  EXPECT_EQ(read_bytes(dir + "/a/b.txt"), files[0].bytes);
  EXPECT_FALSE(assets::write_asset_set("/proc/quarvel-no-such-place", files, error));
  EXPECT_NE(error.find("quarvel-no-such-place"), std::string::npos);
}

}  // namespace
}  // namespace quarvel::assets_test
