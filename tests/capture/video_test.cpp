// Video out: the encoder pipe, the music under the picture, and what a
// short video decodes to.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>

#include "capture.h"
#include "capture_run.h"
#include "platform/audio/pcm_track.h"
#include "platform/common/picture_file.h"
#include "video.h"

using namespace quarvel;
namespace fs = std::filesystem;

namespace {

bool have_ffmpeg() { return !capture::find_program("ffmpeg").empty() && !capture::find_program("ffprobe").empty(); }

// ffprobe's key=value lines of one stream ("v:0" or "a:0").
std::map<std::string, std::string> probe(const fs::path& file, const std::string& stream) {
  const std::string out = test::command_output(
      "ffprobe -v error -count_frames -select_streams " + stream +
      " -show_entries stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames,duration,sample_rate"
      " -of default=nw=1 " +
      test::shell_quote(file.string()));
  std::map<std::string, std::string> kv;
  for (const auto& line : test::lines_of(out)) {
    const auto eq = line.find('=');
    if (eq != std::string::npos) kv[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return kv;
}

audio::PcmTrack track(int rate, int channels, std::vector<int16_t> samples) {
  audio::PcmTrack t;
  t.rate = rate;
  t.channels = channels;
  t.samples = std::move(samples);
  return t;
}

// ffmpeg's default conversion from BGRA to yuv420p (BT.601, limited range),
// written out plainly in doubles: luma, and chroma from red, green and
// blue levels (before rounding).
double luma(uint32_t c) {
  return 16 + (65.481 * (c >> 16 & 0xFF) + 128.553 * (c >> 8 & 0xFF) + 24.966 * (c & 0xFF)) / 255;
}
double chroma(const double rgb[3], bool v) {
  return 128 + (v ? 112.0 * rgb[0] - 93.786 * rgb[1] - 18.214 * rgb[2] : -37.797 * rgb[0] - 74.203 * rgb[1] + 112.0 * rgb[2]) / 255;
}
// The chroma sample (cx, cy) of `pic` scaled `scale` times: scaled up, the
// pixel under the sample's centre; else two columns and eight rows through
// ffmpeg's bicubic taps, the edge rows repeated.
double chroma_at(const Picture& pic, int scale, int cx, int cy, bool v) {
  double rgb[3] = {};
  const auto add = [&](uint32_t c, double weight) {
    for (int i = 0; i < 3; ++i) rgb[i] += weight * static_cast<double>(c >> (16 - 8 * i) & 0xFF);
  };
  if (scale > 1) {
    add(pic.at((2 * cx + 1) / scale, (2 * cy + 1) / scale), 1);
    return chroma(rgb, v);
  }
  const double taps[8] = {-0.0140625, -0.0421875, 0.1203125, 0.4359375, 0.4359375, 0.1203125, -0.0421875, -0.0140625};
  for (int k = 0; k < 8; ++k) {
    const int y = std::clamp(2 * cy - 3 + k, 0, pic.height - 1);
    add(pic.at(2 * cx, y), taps[k] / 2);
    add(pic.at(2 * cx + 1, y), taps[k] / 2);
  }
  return chroma(rgb, v);
}

}  // namespace

TEST(VideoParts, FramesAreYuv420AsFfmpegConvertsThem) {
  Picture pic(64, 48);
  uint32_t seed = 12345;
  for (auto& p : pic.pixels) {  // noise above, sharp edges between flat areas below
    seed = seed * 1103515245u + 12345u;
    p = 0xFF000000u | (seed >> 8);
  }
  for (int y = 24; y < 48; ++y)
    for (int x = 0; x < 64; ++x) pic.at(x, y) = (x / 5 + y / 3) % 2 ? 0xFF0000FFu : 0xFFF0E010u;
  for (int scale : {1, 2, 3}) {
    const capture::YuvPicture frame = capture::to_yuv420(pic, scale);
    const int w = 64 * scale, h = 48 * scale;
    ASSERT_EQ(frame.width, w);
    ASSERT_EQ(frame.height, h);
    ASSERT_EQ(frame.bytes.size(), static_cast<size_t>(w * h * 3 / 2));
    const auto off_by = [&](size_t at, double want) {
      return std::abs(frame.bytes[at] - static_cast<int>(std::lround(std::clamp(want, 0.0, 255.0))));
    };
    int worst = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        worst = std::max(worst, off_by(static_cast<size_t>(y * w + x), luma(pic.at(x / scale, y / scale))));
    for (int plane = 0; plane < 2; ++plane)
      for (int cy = 0; cy < h / 2; ++cy)
        for (int cx = 0; cx < w / 2; ++cx)
          worst = std::max(worst, off_by(static_cast<size_t>(w * h + plane * (w * h / 4) + cy * (w / 2) + cx),
                                         chroma_at(pic, scale, cx, cy, plane == 1)));
    EXPECT_LE(worst, 1) << "scale " << scale;
  }
  EXPECT_TRUE(capture::to_yuv420(Picture(), 1).bytes.empty());
}

TEST(VideoParts, FrameRateText) {
  EXPECT_EQ(capture::frame_rate_text(1000.0 / 60.0), "60");
  EXPECT_EQ(capture::frame_rate_text(40), "25");
  EXPECT_EQ(capture::frame_rate_text(17), "58.8235294");
}

TEST(VideoParts, MusicUnderVideoStartsAtItsFrameAndFillsTheVideo) {
  // 10 frames a second of picture, music at 10 sample frames a second: one
  // sample frame per picture frame.
  const auto music = track(10, 2, {1, -1, 2, -2, 3, -3});
  // Starts on frame 2 of 5.
  EXPECT_EQ(capture::music_under_video(music, 0.2, 5, 0.1), (std::vector<int16_t>{0, 0, 0, 0, 1, -1, 2, -2, 3, -3}));
  // Started one frame before the video: its first sample frame is cut.
  EXPECT_EQ(capture::music_under_video(music, -0.1, 4, 0.1), (std::vector<int16_t>{2, -2, 3, -3, 0, 0, 0, 0}));
  // A video shorter than the music cuts it.
  EXPECT_EQ(capture::music_under_video(music, 0, 2, 0.1), (std::vector<int16_t>{1, -1, 2, -2}));
  EXPECT_TRUE(capture::music_under_video(music, 5, 0, 0.1).empty());
  // Made a part at a time, as the encoder is fed while the video is made,
  // the parts join into the same sound.
  std::vector<int16_t> joined, part;
  for (long long from = 0; from < 7; from += 2) {
    capture::music_under_video_part(music, 2, from, std::min(from + 2, 7LL), part);
    joined.insert(joined.end(), part.begin(), part.end());
  }
  EXPECT_EQ(joined, capture::music_under_video(music, 0.2, 7, 0.1));
}

TEST(VideoParts, FindsProgramsOnThePath) {
  EXPECT_FALSE(capture::find_program("sh").empty());
  EXPECT_TRUE(capture::find_program("no-such-program-quarvel").empty());
}

TEST(Video, MissingEncoderIsOneLine) {
  const fs::path dir = test::fresh_folder("video_missing");
  // A PATH without ffmpeg on it.
  const std::string program = test::built_program("quarvel-capture");
  const auto out = test::command_output("PATH=/nonexistent " + test::shell_quote(program) + " --show " +
                                        test::shell_quote(test::show_folder()) + " --ticks 5 --video " +
                                        test::shell_quote((dir / "v.mp4").string()) + " 2>&1; echo status=$?");
  const auto lines = test::lines_of(out);
  ASSERT_EQ(lines.size(), 2u) << out;
  EXPECT_NE(lines[0].find("ffmpeg"), std::string::npos);
  EXPECT_EQ(lines[1], "status=2");
  EXPECT_FALSE(fs::exists(dir / "v.mp4"));
  fs::remove_all(dir);
}

TEST(Video, ShortVideoDecodesToItsFramesSoundAndPictures) {
  if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg or ffprobe is not installed";
  const fs::path dir = test::fresh_folder("video");
  const fs::path video = dir / "v.mp4";
  const int ticks = 300;
  const int sample_tick = 290;
  auto run = test::run_capture({"--ticks", std::to_string(ticks), "--video", video.string(), "--png-at",
                                std::to_string(sample_tick), "--out", dir.string()});
  ASSERT_EQ(run.status, 0) << (run.err.empty() ? "" : run.err[0]);
  ASSERT_TRUE(fs::exists(video));
  EXPECT_FALSE(fs::exists(video.string() + ".picture.mp4"));
  EXPECT_FALSE(fs::exists(video.string() + ".music.m4a"));

  auto v = probe(video, "v:0");
  EXPECT_EQ(v["codec_name"], "h264");
  EXPECT_EQ(v["pix_fmt"], "yuv420p");
  EXPECT_EQ(v["width"], "640");
  EXPECT_EQ(v["height"], "480");
  EXPECT_EQ(v["r_frame_rate"], "60/1");
  EXPECT_EQ(v["nb_read_frames"], std::to_string(ticks));
  auto a = probe(video, "a:0");
  EXPECT_EQ(a["codec_name"], "aac");
  const double seconds = ticks / 60.0;
  ASSERT_FALSE(a["duration"].empty());
  EXPECT_NEAR(std::atof(a["duration"].c_str()), seconds, 0.05);

  // The decoded frame is the written picture, but for the lossy coding.
  const std::string raw = test::command_output(
      "ffmpeg -v error -i " + test::shell_quote(video.string()) + " -vf 'select=eq(n\\," +
      std::to_string(sample_tick) + ")' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
  ASSERT_EQ(raw.size(), 640u * 480u * 3u);
  Picture png;
  std::string error;
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06d.png", sample_tick);
  ASSERT_TRUE(load_picture((dir / name).string(), png, error)) << error;
  ASSERT_EQ(png.width, 640);
  double diff = 0;
  for (size_t i = 0; i < png.pixels.size(); ++i) {
    const uint32_t p = png.pixels[i];
    const int rgb[3] = {static_cast<int>(p >> 16 & 255), static_cast<int>(p >> 8 & 255), static_cast<int>(p & 255)};
    for (int c = 0; c < 3; ++c) diff += std::abs(rgb[c] - static_cast<unsigned char>(raw[i * 3 + c]));
  }
  diff /= static_cast<double>(png.pixels.size() * 3);
  EXPECT_LT(diff, 8.0);  // of 255; sharp edges lose most to the halved colour resolution
  fs::remove_all(dir);
}

TEST(Video, SameRunGivesTheSameDecodedFramesAndScaleGivesCrispPixels) {
  if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg or ffprobe is not installed";
  const fs::path dir = test::fresh_folder("video_same");
  auto hashes = [&](const fs::path& f) {
    std::string out;
    for (const auto& line : test::lines_of(test::command_output(
             "ffmpeg -v error -i " + test::shell_quote(f.string()) + " -map 0:v -f framemd5 -")))
      if (!line.empty() && line[0] != '#') out += line + "\n";
    return out;
  };
  for (const char* name : {"a.mp4", "b.mp4"}) {
    auto run = test::run_capture({"--ticks", "40", "--ms-per-tick", "40", "--video", (dir / name).string()});
    ASSERT_EQ(run.status, 0) << (run.err.empty() ? "" : run.err[0]);
  }
  const std::string a = hashes(dir / "a.mp4");
  EXPECT_EQ(test::lines_of(a).size(), 40u);
  EXPECT_EQ(a, hashes(dir / "b.mp4"));
  EXPECT_EQ(probe(dir / "a.mp4", "v:0")["r_frame_rate"], "25/1");

  auto run = test::run_capture({"--ticks", "3", "--scale", "2", "--video", (dir / "c.mp4").string()});
  ASSERT_EQ(run.status, 0);
  auto v = probe(dir / "c.mp4", "v:0");
  EXPECT_EQ(v["width"], "1280");
  EXPECT_EQ(v["height"], "960");
  fs::remove_all(dir);
}
