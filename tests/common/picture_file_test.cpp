#include "platform/common/picture_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quarvel {
namespace {

const std::string kX = std::string(QUARVEL_TESTDATA_DIR) + "/x/";

void put16(std::string& s, uint16_t v) { s.append(reinterpret_cast<const char*>(&v), 2); }
void put32(std::string& s, uint32_t v) { s.append(reinterpret_cast<const char*>(&v), 4); }

// A bottom-up Windows bitmap of `bits` per pixel. `pixels` are 0xRRGGBB,
// top row first; palette pictures use `palette` and indices in `pixels`.
std::string make_bmp(int w, int h, int bits, const std::vector<uint32_t>& pixels,
                     const std::vector<uint32_t>& palette = {}) {
  std::string rows;
  int stride = ((w * bits + 31) / 32) * 4;
  for (int y = h - 1; y >= 0; --y) {
    std::string row(static_cast<size_t>(stride), '\0');
    for (int x = 0; x < w; ++x) {
      uint32_t v = pixels[static_cast<size_t>(y * w + x)];
      if (bits == 24 || bits == 32) {
        size_t o = static_cast<size_t>(x * bits / 8);
        row[o] = static_cast<char>(v & 0xFF);
        row[o + 1] = static_cast<char>(v >> 8 & 0xFF);
        row[o + 2] = static_cast<char>(v >> 16 & 0xFF);
        if (bits == 32) row[o + 3] = static_cast<char>(0xFF);
      } else {
        int bit = x * bits;
        int shift = 8 - bits - bit % 8;
        row[static_cast<size_t>(bit / 8)] |= static_cast<char>(v << shift);
      }
    }
    rows += row;
  }
  std::string pal;
  for (uint32_t c : palette) put32(pal, c);
  std::string f = "BM";
  put32(f, static_cast<uint32_t>(54 + pal.size() + rows.size()));
  put32(f, 0);
  put32(f, static_cast<uint32_t>(54 + pal.size()));
  put32(f, 40);
  put32(f, static_cast<uint32_t>(w));
  put32(f, static_cast<uint32_t>(h));
  put16(f, 1);
  put16(f, static_cast<uint16_t>(bits));
  put32(f, 0);
  put32(f, static_cast<uint32_t>(rows.size()));
  put32(f, 2835);
  put32(f, 2835);
  put32(f, static_cast<uint32_t>(palette.size()));
  put32(f, 0);
  return f + pal + rows;
}

Picture decode_ok(const std::string& data) {
  Picture p;
  std::string error;
  EXPECT_TRUE(decode_picture(data.data(), data.size(), "t.bmp", p, error)) << error;
  return p;
}

class BmpDepth : public ::testing::TestWithParam<int> {};

TEST_P(BmpDepth, DecodesPixelsTopRowFirstAndReportsItsBits) {
  int bits = GetParam();
  std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  palette.resize(bits == 1 ? 2 : bits <= 8 ? 4 : 0);
  std::vector<uint32_t> idx = {1, 0, 0, 1, 1, 1};
  std::vector<uint32_t> pixels;
  if (bits <= 8) {
    if (bits > 1) idx = {1, 2, 3, 0, 3, 2};
    pixels = idx;
  } else {
    pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0x102030, 0xFFFFFF, 0x000000};
  }
  Picture p = decode_ok(make_bmp(3, 2, bits, pixels, palette));
  ASSERT_EQ(p.width, 3);
  ASSERT_EQ(p.height, 2);
  EXPECT_EQ(p.bits, bits);
  for (int i = 0; i < 6; ++i) {
    uint32_t want = bits <= 8 ? palette[pixels[static_cast<size_t>(i)]] : pixels[static_cast<size_t>(i)];
    EXPECT_EQ(p.pixels[static_cast<size_t>(i)], 0xFF000000u | want) << "pixel " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(PictureFile, BmpDepth, ::testing::Values(1, 4, 8, 24, 32));

TEST(PictureFile, DecodesJpegPngTgaAndBmpFromTheCorpus) {
  struct Case {
    const char* file;
    int w, h, bits;
  } cases[] = {
      {"assimp/test.png", 512, 512, 24},
      {"assimp/top.tga", 256, 256, 24},
      {"dbpro/ghost_train/ground.jpg", 128, 119, 24},
      {"dbpro/ghost_train/bat.bmp", 256, 256, 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    Picture p;
    std::string error;
    ASSERT_TRUE(load_picture(kX + c.file, p, error)) << error;
    EXPECT_EQ(p.width, c.w);
    EXPECT_EQ(p.height, c.h);
    EXPECT_EQ(p.bits, c.bits);
    ASSERT_EQ(p.pixels.size(), static_cast<size_t>(c.w) * static_cast<size_t>(c.h));
    EXPECT_EQ(p.pixels[0] >> 24, 0xFFu);
  }
}

TEST(PictureFile, ProbeReadsSizeAndBitsWithoutDecoding) {
  std::string bmp = make_bmp(5, 4, 8, std::vector<uint32_t>(20, 0), {0, 0});
  PictureInfo info;
  ASSERT_TRUE(probe_picture(bmp.data(), bmp.size(), info));
  EXPECT_EQ(info.width, 5);
  EXPECT_EQ(info.height, 4);
  EXPECT_EQ(info.bits, 8);
  EXPECT_STREQ(info.format, "bmp");
}

TEST(PictureFile, ProbeRefusesModelAndMusicData) {
  PictureInfo info;
  std::string model = "xof 0303txt 0032\nFrame {}";
  EXPECT_FALSE(probe_picture(model.data(), model.size(), info));
  std::string mp3 = "ID3\x04";
  mp3 += std::string(100, '\0');
  EXPECT_FALSE(probe_picture(mp3.data(), mp3.size(), info));
}

TEST(PictureFile, RefusesDamagedDataAndLeavesThePictureAsItWas) {
  std::string bmp = make_bmp(4, 4, 24, std::vector<uint32_t>(16, 0x123456));
  bmp.resize(60);  // header intact, pixels cut off
  Picture p(2, 2, 0xFF00FF00u);
  std::string error;
  EXPECT_FALSE(decode_picture(bmp.data(), bmp.size(), "cut.bmp", p, error));
  EXPECT_EQ(error.rfind("cut.bmp: ", 0), 0u) << error;
  EXPECT_EQ(p.width, 2);
  EXPECT_EQ(p.pixels[0], 0xFF00FF00u);
}

TEST(PictureFile, RefusesEmptyUnknownAndMissingFiles) {
  Picture p;
  std::string error;
  EXPECT_FALSE(decode_picture("", 0, "e.bmp", p, error));
  EXPECT_EQ(error, "e.bmp: the file is empty");
  EXPECT_FALSE(decode_picture("hello world, not a picture", 26, "t.txt", p, error));
  EXPECT_NE(error.find("not a picture"), std::string::npos) << error;
  EXPECT_FALSE(load_picture("/nonexistent/x.bmp", p, error));
  EXPECT_NE(error.find("/nonexistent/x.bmp: cannot open"), std::string::npos) << error;
}

TEST(PictureFile, RefusesPicturesLargerThanTheLimit) {
  std::string bmp = make_bmp(1, 1, 24, {0});
  uint32_t huge = 100000;
  bmp.replace(18, 4, reinterpret_cast<const char*>(&huge), 4);
  Picture p;
  std::string error;
  EXPECT_FALSE(decode_picture(bmp.data(), bmp.size(), "big.bmp", p, error));
  EXPECT_TRUE(p.empty());
}

}  // namespace
}  // namespace quarvel

namespace quarvel {
namespace {

TEST(PictureFile, ReadsBitmapsStoredTopRowFirst) {
  const std::vector<uint32_t> pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0x102030, 0xFFFFFF, 0x000000};
  std::string bmp = make_bmp(3, 2, 24, pixels);
  // Negative height: rows are stored top first.
  const int32_t minus_two = -2;
  bmp.replace(22, 4, reinterpret_cast<const char*>(&minus_two), 4);
  const size_t stride = 12;
  std::string bottom = bmp.substr(54, stride), top = bmp.substr(54 + stride, stride);
  bmp.replace(54, 2 * stride, top + bottom);
  PictureInfo info;
  ASSERT_TRUE(probe_picture(bmp.data(), bmp.size(), info));
  EXPECT_EQ(info.height, 2);
  Picture p = decode_ok(bmp);
  ASSERT_EQ(p.height, 2);
  for (size_t i = 0; i < pixels.size(); ++i) EXPECT_EQ(p.pixels[i], 0xFF000000u | pixels[i]) << i;
}

TEST(PictureFile, UnreadableFilesAreNamedInOurWords) {
  Picture p;
  std::string error;
  const std::string junk = "this is not a picture at all";
  EXPECT_FALSE(decode_picture(junk.data(), junk.size(), "j.bin", p, error));
  EXPECT_EQ(error, "j.bin: not a picture this program reads (unknown format; BMP, JPEG, PNG and TGA are read)");
}

}  // namespace
}  // namespace quarvel
