// The generated pictures decode with their sizes; the form pictures have the
// image list's sizes, depths and transparent colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "app/form_pictures.h"
#include "platform/common/picture_file.h"
#include "show_files.h"

namespace quarvel::assets_test {
namespace {

struct Expected {
  const char* file;
  int width, height;
};

TEST(GeneratedPictures, TexturesTitleAndIconDecodeWithTheirSizes) {
  for (Expected e : {Expected{"greenmos.bmp", 256, 256}, Expected{"vaisseau.bmp", 64, 64},
                     Expected{"fire.BMP", 128, 128}, Expected{"arbre1.bmp", 128, 128}, Expected{"explo.BMP", 128, 128},
                     Expected{"introsi.bmp", 512, 384}, Expected{"introsi.jpg", 512, 384},
                     Expected{"quarvel.png", 64, 64}}) {
    Picture p;
    std::string error;
    ASSERT_TRUE(load_picture(show_file(e.file), p, error)) << error;
    EXPECT_EQ(p.width, e.width) << e.file;
    EXPECT_EQ(p.height, e.height) << e.file;
  }
}

// The ground texture is moved by a fifth of its width on every tick: it must
// repeat exactly five times across, and tile without a seam down and across,
// with no step between neighbouring pixels larger than soft noise makes.
TEST(GeneratedPictures, GroundTextureRepeatsFiveTimesAcrossAndTilesWithoutSeams) {
  Picture p;
  std::string error;
  ASSERT_TRUE(load_picture(show_file("greenmos.bmp"), p, error)) << error;
  const int n = p.width;
  auto level = [&](int x, int y, int s) { return int((p.at((x % n + n) % n, (y % n + n) % n) >> s) & 0xFF); };
  int steepest = 0, off_repeat = 0;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      for (int s : {0, 8, 16}) {
        // Across and down, the last pixel's neighbour being the first.
        steepest = std::max({steepest, std::abs(level(x + 1, y, s) - level(x, y, s)),
                             std::abs(level(x, y + 1, s) - level(x, y, s))});
        // A fifth of the width on, at the nearest pixels either side.
        const float shifted = x + n / 5.0f;
        const int x0 = static_cast<int>(std::floor(shifted));
        const float f = shifted - x0;
        const float there = (1 - f) * level(x0, y, s) + f * level(x0 + 1, y, s);
        off_repeat = std::max(off_repeat, static_cast<int>(std::lround(std::fabs(there - level(x, y, s)))));
      }
  EXPECT_LE(steepest, 6) << "a step between neighbours: grain or a seam";
  EXPECT_LE(off_repeat, 3);
}

TEST(GeneratedPictures, JpegTitleIsTheBitmapTitle) {
  Picture bmp, jpg;
  std::string error;
  ASSERT_TRUE(load_picture(show_file("introsi.bmp"), bmp, error)) << error;
  ASSERT_TRUE(load_picture(show_file("introsi.jpg"), jpg, error)) << error;
  ASSERT_EQ(bmp.pixels.size(), jpg.pixels.size());
  double diff = 0;
  for (size_t i = 0; i < bmp.pixels.size(); ++i)
    for (int s : {0, 8, 16}) diff += std::abs(int((bmp.pixels[i] >> s) & 0xFF) - int((jpg.pixels[i] >> s) & 0xFF));
  EXPECT_LT(diff / (bmp.pixels.size() * 3.0), 6.0);
}

struct FormRow {
  int width, height, bits;
  uint32_t key;
};
// Keys as the pixels hold them (0xRRGGBB): the list's logo key 0xF600FF
// (0x00BBGGRR) is red 255, blue 246.
const FormRow kFormTable[9] = {{227, 40, 8, 0xFF00F6},  {227, 40, 8, 0xFF00F6}, {227, 40, 24, 0xFF00F6},
                               {227, 40, 8, 0xFF00F6},  {227, 40, 24, 0xFF00F6}, {640, 120, 8, 0x000000},
                               {160, 35, 8, 0x000000},  {227, 40, 8, 0xFF00F6}, {227, 40, 8, 0xFF00F6}};

TEST(FormPictures, HaveTheImageListSizesDepthsAndTransparentCorners) {
  std::vector<Picture> pics = make_form_pictures();
  ASSERT_EQ(pics.size(), 9u);
  for (size_t i = 0; i < 9; ++i) {
    const Picture& p = pics[i];
    const FormRow& row = kFormTable[i];
    SCOPED_TRACE("picture " + std::to_string(i));
    EXPECT_EQ(p.width, row.width);
    EXPECT_EQ(p.height, row.height);
    EXPECT_EQ(p.bits, row.bits);
    ASSERT_EQ(p.pixels.size(), size_t(row.width) * row.height);
    EXPECT_EQ(p.at(0, 0) & 0xFFFFFF, row.key);
    EXPECT_EQ(p.at(row.width - 1, row.height - 1) & 0xFFFFFF, row.key);
    size_t keyed = 0;
    std::set<uint32_t> colours;
    for (uint32_t c : p.pixels) {
      keyed += (c & 0xFFFFFF) == row.key;
      colours.insert(c & 0xFFFFFF);
    }
    EXPECT_GT(keyed, p.pixels.size() / 10) << "mostly transparent around the drawing";
    EXPECT_LT(keyed, p.pixels.size()) << "something is drawn";
    if (row.bits == 8) {
      EXPECT_LE(colours.size(), 256u);
    }
  }
}

TEST(FormPictures, ReviewBitmapsDecodeWithTheirDepths) {
  for (int i = 0; i < 9; ++i) {
    Picture p;
    std::string error;
    ASSERT_TRUE(load_picture(show_file("form/picture" + std::to_string(i) + ".bmp"), p, error)) << error;
    EXPECT_EQ(p.width, kFormTable[i].width);
    EXPECT_EQ(p.bits, kFormTable[i].bits);
  }
}

TEST(FormPictures, TextIsDrawnInsideThePicture) {
  Picture p(40, 20, 0xFF000000u);
  draw_text(p, 2, 2, "Ab", 2, 0xFFFFFFFFu);
  draw_text(p, 30, 2, "far beyond the edge", 2, 0xFFFFFFFFu);  // clipped, no overrun
  size_t lit = 0;
  for (uint32_t c : p.pixels) lit += c == 0xFFFFFFFFu;
  EXPECT_GT(lit, 20u);
  EXPECT_EQ(text_width("Ab", 2), 2 * text_width("Ab", 1));
}

}  // namespace
}  // namespace quarvel::assets_test
