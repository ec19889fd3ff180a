#include <gtest/gtest.h>

#include "platform/render/surface2d.h"

using namespace quarvel;
using namespace quarvel::render;

namespace {
constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;

int count(const Picture& p, uint32_t px) {
  int n = 0;
  for (uint32_t v : p.pixels) n += v == px;
  return n;
}
}  // namespace

TEST(DeviceColour, ReadsTheLow16BitsAsRgb565) {
  EXPECT_EQ(device_colour_to_argb(0xFFFFFF), kWhite);
  EXPECT_EQ(device_colour_to_argb(0), kBlack);
  // 63: full blue plus the lowest green step.
  EXPECT_EQ(device_colour_to_argb(63), 0xFF0004FFu);
  EXPECT_EQ(device_colour_to_argb(0xF800), 0xFFFF0000u);
  EXPECT_EQ(device_colour_to_argb(0x07E0), 0xFF00FF00u);
  // Bits above the low 16 are ignored.
  EXPECT_EQ(device_colour_to_argb(0xABCD0000u | 0x001F), 0xFF0000FFu);
  // 0xF5F5F5: low 16 bits 0xF5F5 = r 30, g 47, b 21.
  EXPECT_EQ(device_colour_to_argb(0xF5F5F5), 0xFFF7BEADu);
}

TEST(DeviceColour, BgrEncodingOfTransparentColours) {
  EXPECT_EQ(bgr_to_argb(0xF600FF), 0xFFFF00F6u);  // red 255, green 0, blue 246
  EXPECT_EQ(bgr_to_argb(0), kBlack);
}

TEST(FillRect, IsClippedAndIgnoresEmptyRectangles) {
  Picture p(640, 480);
  fill_rect(p, {-10, -10, 20, 15}, 0xFFFF);  // 10 x 5 inside
  EXPECT_EQ(count(p, kWhite), 50);
  EXPECT_EQ(p.at(9, 4), kWhite);
  EXPECT_EQ(p.at(10, 4), kBlack);
  EXPECT_EQ(p.at(9, 5), kBlack);

  Picture q(640, 480);
  fill_rect(q, {630, 470, 100, 100}, 0xFFFF);
  EXPECT_EQ(count(q, kWhite), 100);
  fill_rect(q, {10, 10, 0, 5}, 0xFFFF);
  fill_rect(q, {10, 10, 5, -1}, 0xFFFF);
  fill_rect(q, {700, 10, 5, 5}, 0xFFFF);
  fill_rect(q, {10, -50, 5, 50}, 0xFFFF);
  EXPECT_EQ(count(q, kWhite), 100);
  // Huge sizes do not overflow.
  fill_rect(q, {0x7FFFFFF0, 0, 0x7FFFFFFF, 10}, 0xFFFF);
  EXPECT_EQ(count(q, kWhite), 100);
  fill_rect(q, {-5, 0, 0x7FFFFFFF, 1}, 0xFFFF);
  EXPECT_EQ(count(q, kWhite), 740);
}

TEST(FillWhole, PaintsEveryPixel) {
  Picture p(640, 480, 0xFF123456u);
  fill(p, 0xF800);
  EXPECT_EQ(count(p, 0xFFFF0000u), 640 * 480);
}

TEST(CopyPicture, SkipsTheTransparentColourAndClips) {
  Picture src(3, 2, 0xFF00FF00u);
  src.at(1, 0) = 0xFFFF00F6u;  // key colour
  src.at(2, 1) = 0x00FF00F6u;  // key colour, alpha ignored
  Picture dst(640, 480);
  copy_picture(dst, src, 638, 479, true, bgr_to_argb(0xF600FF));
  EXPECT_EQ(dst.at(638, 479), 0xFF00FF00u);
  EXPECT_EQ(dst.at(639, 479), kBlack);  // the keyed pixel
  EXPECT_EQ(count(dst, 0xFF00FF00u), 1);

  Picture dst2(640, 480);
  copy_picture(dst2, src, 0, 0, true, bgr_to_argb(0xF600FF));
  EXPECT_EQ(dst2.at(0, 0), 0xFF00FF00u);
  EXPECT_EQ(dst2.at(1, 0), kBlack);
  EXPECT_EQ(dst2.at(2, 1), kBlack);
  copy_picture(dst2, src, 0, 0, false, bgr_to_argb(0xF600FF));
  EXPECT_EQ(dst2.at(1, 0), 0xFFFF00F6u);

  Picture empty;
  copy_picture(dst2, empty, 0, 0, true, 0);  // no crash, no change
  EXPECT_EQ(dst2.at(1, 0), 0xFFFF00F6u);
}

TEST(BlendStretched, EndCasesOfTheOpacity) {
  Picture src(2, 2, 0xFFFFFFFFu);
  src.at(1, 1) = 0xFF000000u;  // black is the key here
  Picture dst(640, 480, 0xFF000064u);  // dark blue background

  blend_stretched(dst, src, {0, 0, 4, 4}, 0, true, kBlack);
  blend_stretched(dst, src, {0, 0, 4, 4}, -20, true, kBlack);
  EXPECT_EQ(count(dst, 0xFF000064u), 640 * 480);

  blend_stretched(dst, src, {0, 0, 4, 4}, 300, true, kBlack);  // plain transparent copy
  EXPECT_EQ(dst.at(0, 0), kWhite);
  EXPECT_EQ(dst.at(1, 1), kWhite);
  EXPECT_EQ(dst.at(2, 2), 0xFF000064u);  // keyed quadrant untouched
  EXPECT_EQ(dst.at(3, 3), 0xFF000064u);
  EXPECT_EQ(count(dst, kWhite), 12);

  Picture d2(640, 480, 0xFF000064u);
  blend_stretched(d2, src, {10, 10, 2, 2}, 128, true, kBlack);
  // (255 * 128 + 0 * 127 + 127) / 255 = 128; blue (255*128 + 100*127 + 127)/255 = 178
  EXPECT_EQ(d2.at(10, 10), 0xFF8080B2u);
  EXPECT_EQ(d2.at(11, 11), 0xFF000064u);

  // Non-transparent pictures blend every pixel, the key colour included.
  Picture d3(640, 480, kWhite);
  blend_stretched(d3, src, {0, 0, 2, 2}, 255, false, kBlack);
  EXPECT_EQ(d3.at(1, 1), kBlack);
}

TEST(BlendStretched, StretchesByNearestSampleAndClips) {
  Picture src(2, 1);
  src.at(0, 0) = 0xFFFF0000u;
  src.at(1, 0) = 0xFF0000FFu;
  Picture dst(640, 480);
  blend_stretched(dst, src, {636, 0, 8, 2}, 255, false, 0);
  // Left half red, right half blue; only 4 columns are on the surface.
  EXPECT_EQ(dst.at(636, 0), 0xFFFF0000u);
  EXPECT_EQ(dst.at(639, 1), 0xFFFF0000u);
  Picture d2(640, 480);
  blend_stretched(d2, src, {-4, 0, 8, 1}, 255, false, 0);
  EXPECT_EQ(d2.at(0, 0), 0xFF0000FFu);
  EXPECT_EQ(d2.at(3, 0), 0xFF0000FFu);
  EXPECT_EQ(d2.at(4, 0), kBlack);
  blend_stretched(d2, src, {5, 5, 0, 10}, 255, false, 0);
  blend_stretched(d2, src, {5, 5, 10, -1}, 255, false, 0);
  EXPECT_EQ(d2.at(5, 5), kBlack);
}
