// Hostile picture files: sizes declared far beyond what the show uses,
// formats that are not read, damaged tables and cut files. Each one is
// refused with one line naming the file, before its pixels are decoded.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/picture_writers.h"
#include "platform/common/picture_file.h"

namespace quarvel {
namespace {

using testing::find_jpeg_segment;
using testing::make_jpeg;
using testing::make_png;
using testing::make_tga;
using testing::set_png_size;

// Decodes and expects a refusal; returns the message.
std::string refusal(const std::string& data, const std::string& name) {
  Picture p(1, 1, 0xFF123456u);
  std::string error;
  EXPECT_FALSE(decode_picture(data.data(), data.size(), name, p, error)) << name << " (" << data.size() << " bytes)";
  EXPECT_EQ(p.width, 1) << "the picture was changed";
  EXPECT_EQ(p.pixels[0], 0xFF123456u);
  EXPECT_EQ(error.rfind(name + ": ", 0), 0u) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  return error;
}

Picture decoded(const std::string& data, const std::string& name = "ok") {
  Picture p;
  std::string error;
  EXPECT_TRUE(decode_picture(data.data(), data.size(), name, p, error)) << error;
  return p;
}

std::string too_large(const std::string& name, int w, int h) {
  return name + ": picture too large: " + std::to_string(w) + " x " + std::to_string(h) + " (at most 4096 x 4096)";
}

std::vector<uint32_t> gradient(int w, int h) {
  std::vector<uint32_t> v(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (size_t i = 0; i < v.size(); ++i) v[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8 & 0xFFFFFF);
  return v;
}

std::string rgb_png(int w, int h) {
  std::vector<uint8_t> raw(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
  for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
  return make_png(w, h, 8, PNG_COLOR_TYPE_RGB, raw);
}

void set_jpeg_size(std::string& j, uint16_t w, uint16_t h) {
  const size_t sof = find_jpeg_segment(j, 0xC0);
  ASSERT_NE(sof, std::string::npos);
  testing::put_be16(j, sof + 5, h);
  testing::put_be16(j, sof + 7, w);
}

// ------------------------------------------------ sizes beyond the limit

TEST(PictureLimits, RunLengthTgaOf58BytesDeclaring16384Square) {
  std::string tga(18, '\0');
  tga[2] = 10;  // run-length true colour
  tga[12] = 0, tga[13] = 0x40;  // 16384
  tga[14] = 0, tga[15] = 0x40;
  tga[16] = 24;
  while (tga.size() < 58) tga += std::string("\xFF\x10\x20\x30", 4);
  tga.resize(58);
  EXPECT_EQ(refusal(tga, "big.tga"), too_large("big.tga", 16384, 16384));
}

TEST(PictureLimits, JpegAndPngDeclaring16384SquareAreRefusedFromTheirHeaders) {
  std::string jpeg = make_jpeg(16, 16, gradient(16, 16));
  set_jpeg_size(jpeg, 16384, 16384);
  EXPECT_EQ(refusal(jpeg, "big.jpg"), too_large("big.jpg", 16384, 16384));

  std::string png = rgb_png(4, 4);
  set_png_size(png, 16384, 16384);
  EXPECT_EQ(refusal(png, "big.png"), too_large("big.png", 16384, 16384));
  set_png_size(png, 100000, 100000);
  EXPECT_EQ(refusal(png, "huge.png"), too_large("huge.png", 100000, 100000));
}

TEST(PictureLimits, SixteenBitRgbaPng16384SquareIsRefusedAndASmallOneReadsItsHighBytes) {
  // Two pixels: opaque 0x1234/0x5678/0x9ABC, then half-transparent white.
  const std::vector<uint8_t> raw = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF,
                                    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0x00};
  std::string png = make_png(2, 1, 16, PNG_COLOR_TYPE_RGB_ALPHA, raw);
  Picture p = decoded(png);
  ASSERT_EQ(p.pixels.size(), 2u);
  EXPECT_EQ(p.bits, 64);
  EXPECT_EQ(p.pixels[0], 0xFF12569Au);
  EXPECT_EQ(p.pixels[1], 0x80FFFFFFu);
  set_png_size(png, 16384, 16384);
  EXPECT_EQ(refusal(png, "deep.png"), too_large("deep.png", 16384, 16384));
}

TEST(PictureLimits, PicturesAtTheLimitAreReadAndOnePixelMoreIsNot) {
  for (auto [w, h] : {std::pair{4096, 1}, std::pair{1, 4096}}) {
    Picture p = decoded(rgb_png(w, h));
    EXPECT_EQ(p.width, w);
    EXPECT_EQ(p.height, h);
    std::string png = rgb_png(w, h);
    set_png_size(png, static_cast<uint32_t>(w == 1 ? 1 : 4097), static_cast<uint32_t>(h == 1 ? 1 : 4097));
    EXPECT_EQ(refusal(png, "over.png"), too_large("over.png", w == 1 ? 1 : 4097, h == 1 ? 1 : 4097));
  }
  EXPECT_EQ(kMaxPictureSide, 4096);
}

TEST(PictureLimits, FormatsOtherThanBmpJpegPngAndTgaAreNotRead) {
  const std::string unknown = "not a picture this program reads (unknown format; BMP, JPEG, PNG and TGA are read)";
  std::string pnm = "P6\n16384 16384\n255\n";
  pnm.resize(119, '\x7F');
  EXPECT_EQ(refusal(pnm, "big.ppm"), "big.ppm: " + unknown);
  std::string gif = "GIF89a";
  gif += std::string("\x00\x40\x00\x40\x80\x00\x00", 7);
  gif.resize(64, '\0');
  EXPECT_EQ(refusal(gif, "a.gif"), "a.gif: " + unknown);
  std::string psd = "8BPS";
  psd.resize(64, '\x01');
  EXPECT_EQ(refusal(psd, "a.psd"), "a.psd: " + unknown);
  PictureInfo info;
  EXPECT_FALSE(probe_picture(pnm.data(), pnm.size(), info));
}

// ------------------------------------------------ damaged decoder tables

TEST(PictureDamage, JpegWithTooManyHuffmanCodesIsRefused) {
  const std::string good = make_jpeg(16, 16, gradient(16, 16));
  const size_t dht = find_jpeg_segment(good, 0xC4);
  ASSERT_NE(dht, std::string::npos);
  const size_t counts = dht + 5;

  std::string over = good;  // 257 codes in one table
  for (size_t i = 0; i < 16; ++i) over[counts + i] = 0;
  over[counts + 14] = 2;
  over[counts + 15] = static_cast<char>(255);
  EXPECT_EQ(refusal(over, "codes.jpg"), "codes.jpg: damaged JPEG data (Bogus Huffman table definition)");

  std::string full = good;  // more codes of a length than the length has
  full[counts] = static_cast<char>(static_cast<uint8_t>(full[counts]) + 3);
  for (size_t i = 15; i > 0; --i) {
    if (static_cast<uint8_t>(full[counts + i]) >= 3) {
      full[counts + i] = static_cast<char>(static_cast<uint8_t>(full[counts + i]) - 3);
      break;
    }
  }
  EXPECT_NE(refusal(full, "lengths.jpg").find("Huffman"), std::string::npos);
}

TEST(PictureDamage, PngWithBrokenDataOrChecksumIsRefused) {
  const std::string good = rgb_png(8, 8);
  const size_t idat = good.find("IDAT");
  ASSERT_NE(idat, std::string::npos);
  std::string checksum = good;
  checksum[idat + 6] ^= 0x55;
  EXPECT_NE(refusal(checksum, "crc.png").find("crc.png: damaged PNG data ("), std::string::npos);

  std::string stream = good;  // a bad deflate stream, with a checksum that fits it
  const size_t length = static_cast<uint8_t>(good[idat - 2]) << 8 | static_cast<uint8_t>(good[idat - 1]);
  for (size_t i = idat + 6; i < idat + 4 + length; ++i) stream[i] = static_cast<char>(0xFF);
  testing::put_be32(stream, idat + 4 + length,
                    static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(stream.data() + idat), static_cast<uInt>(4 + length))));
  EXPECT_NE(refusal(stream, "zlib.png").find("zlib.png: damaged PNG data ("), std::string::npos);

  // A text chunk before the pixels declaring nearly 2 GB: refused at once,
  // without libpng taking that memory for a file of a few hundred bytes.
  std::string chunk(12, '\0');
  testing::put_be32(chunk, 0, 0x750D0000u);
  chunk.replace(4, 4, "tEXt");
  std::string huge = good;
  huge.insert(idat - 4, chunk);
  EXPECT_EQ(refusal(huge, "text.png"), "text.png: damaged PNG data (a chunk declares more bytes than the file holds)");
}

TEST(PictureDamage, ProgressiveJpegReadsButOneOfThousandsOfScansDoesNot) {
  const std::vector<uint32_t> flat(64, 0xFF808080u);
  Picture p = decoded(make_jpeg(8, 8, flat, 90, true));
  ASSERT_EQ(p.pixels.size(), 64u);
  EXPECT_NEAR(static_cast<int>(p.pixels[9] & 0xFF), 0x80, 2);

  // Every AC coefficient of each channel alone, refined bit by bit: 3 + 3 x 63 x 3 scans.
  std::vector<jpeg_scan_info> script;
  for (int c = 0; c < 3; ++c) script.push_back({1, {c, 0, 0, 0}, 0, 0, 0, 0});
  for (int c = 0; c < 3; ++c) {
    for (int k = 1; k < 64; ++k) {
      script.push_back({1, {c, 0, 0, 0}, k, k, 0, 2});
      script.push_back({1, {c, 0, 0, 0}, k, k, 2, 1});
      script.push_back({1, {c, 0, 0, 0}, k, k, 1, 0});
    }
  }
  const std::string many = make_jpeg(8, 8, flat, 90, true, script);
  EXPECT_EQ(refusal(many, "scans.jpg"), "scans.jpg: damaged JPEG data (more than 500 scans)");
}

// ------------------------------------------------ cut files

// Cuts at `count` lengths spread over [0, whole), each refused.
void expect_every_cut_refused(const std::string& whole, const std::string& name, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const size_t length = whole.size() * i / count;
    SCOPED_TRACE(name + " cut to " + std::to_string(length) + " bytes");
    refusal(whole.substr(0, length), name);
  }
}

TEST(PictureCuts, TgaCutToItsHeaderOrAnywhereIsRefused) {
  const std::string tga = make_tga(256, 256, 24, false, gradient(256, 256));
  EXPECT_EQ(refusal(tga.substr(0, 18), "cut.tga"), "cut.tga: the file ends inside the pixel data");
  expect_every_cut_refused(tga, "cut.tga", 50);
  const std::string rle = make_tga(64, 64, 24, true, std::vector<uint32_t>(64 * 64, 0xFF102030u));
  expect_every_cut_refused(rle, "rle.tga", 50);
  std::string last = rle;
  last.pop_back();
  EXPECT_EQ(refusal(last, "rle.tga"), "rle.tga: the file ends inside the pixel data");
}

TEST(PictureCuts, BitmapUnder34BytesOrCutAnywhereIsRefused) {
  std::string bmp = "BM";
  bmp.resize(54, '\0');
  const uint32_t fields[][2] = {{2, 54 + 228 * 3 * 40}, {10, 54}, {14, 40}, {18, 227}, {22, 40}};
  for (auto [at, v] : fields) {
    for (int i = 0; i < 4; ++i) bmp[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
  }
  bmp[26] = 1, bmp[28] = 24;
  bmp.resize(54 + 684 * 40, '\x40');  // rows of 227 x 3 bytes, padded to 684
  EXPECT_EQ(decoded(bmp).width, 227);
  for (size_t length = 0; length < 34; ++length) {
    SCOPED_TRACE(length);
    refusal(bmp.substr(0, length), "short.bmp");
  }
  expect_every_cut_refused(bmp, "cut.bmp", 50);
}

TEST(PictureCuts, JpegAndPngCutAnywhereAreRefusedInPlainWords) {
  const std::string jpeg = make_jpeg(64, 64, gradient(64, 64));
  expect_every_cut_refused(jpeg, "cut.jpg", 50);
  EXPECT_EQ(refusal(jpeg.substr(0, jpeg.size() - 200), "cut.jpg"), "cut.jpg: the file ends inside the pixel data");
  EXPECT_EQ(refusal(jpeg.substr(0, 100), "cut.jpg"), "cut.jpg: the file ends inside the header");

  const std::string png = rgb_png(64, 64);
  expect_every_cut_refused(png, "cut.png", 50);
  EXPECT_EQ(refusal(png.substr(0, png.size() - 100), "cut.png"), "cut.png: the file ends inside the pixel data");
  EXPECT_EQ(refusal(png.substr(0, 20), "cut.png"), "cut.png: the file ends inside the header");
}

// ------------------------------------------------ what is read

TEST(PictureFormats, TgaRunsRowsAndAlphaDecodeAsStored) {
  const std::vector<uint32_t> pixels = {0x80FF0000u, 0x80FF0000u, 0x80FF0000u, 0x00000000u,
                                        0xFF00FF00u, 0xFF0000FFu, 0xFF0000FFu, 0xFF0000FFu};
  for (bool rle : {false, true}) {
    for (bool top_down : {false, true}) {
      SCOPED_TRACE(std::string(rle ? "rle" : "raw") + (top_down ? " top-down" : " bottom-up"));
      Picture p = decoded(make_tga(4, 2, 32, rle, pixels, top_down));
      EXPECT_EQ(p.bits, 32);
      EXPECT_EQ(p.pixels, pixels);
    }
  }
}

TEST(PictureFormats, ColourMappedAndGreyTga) {
  std::string mapped(18, '\0');
  mapped[1] = 1, mapped[2] = 1;  // a colour map, colour-mapped pixels
  mapped[5] = 2, mapped[7] = 24;  // two 24-bit entries
  mapped[12] = 3, mapped[14] = 1, mapped[16] = 8, mapped[17] = 0x20;
  mapped += std::string("\x00\x00\xFF" "\xFF\x00\x00", 6);  // red, blue (stored B, G, R)
  mapped += std::string("\x01\x00\x07", 3);                  // blue, red, out of the map
  Picture p = decoded(mapped);
  EXPECT_EQ(p.bits, 8);
  EXPECT_EQ(p.pixels, (std::vector<uint32_t>{0xFF0000FFu, 0xFFFF0000u, 0xFF000000u}));

  std::string grey(18, '\0');
  grey[2] = 3, grey[12] = 2, grey[14] = 1, grey[16] = 8, grey[17] = 0x20;
  grey += std::string("\x20\xF0", 2);
  EXPECT_EQ(decoded(grey).pixels, (std::vector<uint32_t>{0xFF202020u, 0xFFF0F0F0u}));
}

// A bottom-up 16-bit bitmap of two pixels; with `masks`, they follow the header.
std::string bmp16(uint16_t left, uint16_t right, const std::vector<uint32_t>& masks = {}) {
  std::string f = "BM";
  f.resize(54, '\0');
  const size_t pixels_at = 54 + masks.size() * 4;
  auto put32 = [&f](size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * i));
  };
  put32(10, static_cast<uint32_t>(pixels_at));
  put32(14, 40);
  put32(18, 2);
  put32(22, 1);
  f[26] = 1, f[28] = 16;
  put32(30, masks.empty() ? 0 : 3);
  for (uint32_t m : masks) f.append(reinterpret_cast<const char*>(&m), 4);
  f += static_cast<char>(left & 0xFF), f += static_cast<char>(left >> 8);
  f += static_cast<char>(right & 0xFF), f += static_cast<char>(right >> 8);
  return f;
}

TEST(PictureFormats, SixteenBitBitmapsWithAndWithoutBitFields) {
  Picture p = decoded(bmp16(0x7C00, 0x03FF));  // 5-5-5: red, then green and blue
  EXPECT_EQ(p.bits, 16);
  EXPECT_EQ(p.pixels, (std::vector<uint32_t>{0xFFFF0000u, 0xFF00FFFFu}));
  Picture q = decoded(bmp16(0xF800, 0x07E0, {0xF800, 0x07E0, 0x001F}));  // 5-6-5: red, green
  EXPECT_EQ(q.pixels, (std::vector<uint32_t>{0xFFFF0000u, 0xFF00FF00u}));
  std::string cut = bmp16(0, 0, {0xF800, 0x07E0, 0x001F});
  EXPECT_EQ(refusal(cut.substr(0, 60), "masks.bmp"), "masks.bmp: the file ends inside the header");
}

TEST(PictureFormats, JpegColoursSurviveTheRoundTrip) {
  // Left half red, right half blue, in blocks of their own: libjpeg gives
  // the colours back within a step or two of rounding.
  std::vector<uint32_t> pixels(16 * 16);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = i % 16 < 8 ? 0xFFE01010u : 0xFF1010E0u;
  Picture p = decoded(make_jpeg(16, 16, pixels, 100));
  ASSERT_EQ(p.pixels.size(), pixels.size());
  EXPECT_EQ(p.bits, 24);
  for (size_t i : {size_t{0}, size_t{3 * 16 + 2}, size_t{12 * 16 + 13}, size_t{255}}) {
    for (int shift : {0, 8, 16}) {
      EXPECT_NEAR(static_cast<int>(p.pixels[i] >> shift & 0xFF), static_cast<int>(pixels[i] >> shift & 0xFF), 6)
          << "pixel " << i << " shift " << shift;
    }
    EXPECT_EQ(p.pixels[i] >> 24, 0xFFu);
  }
}

TEST(PictureFormats, PalettePngWithTransparencyAndGreyPng) {
  std::vector<png_color> palette = {{255, 0, 0}, {0, 0, 255}};
  std::string pal = make_png(2, 1, 8, PNG_COLOR_TYPE_PALETTE, {1, 0}, palette);
  Picture p = decoded(pal);
  EXPECT_EQ(p.pixels, (std::vector<uint32_t>{0xFF0000FFu, 0xFFFF0000u}));
  EXPECT_EQ(p.bits, 8);
  Picture g = decoded(make_png(2, 1, 8, PNG_COLOR_TYPE_GRAY, {0x20, 0xF0}));
  EXPECT_EQ(g.pixels, (std::vector<uint32_t>{0xFF202020u, 0xFFF0F0F0u}));
}

}  // namespace
}  // namespace quarvel
