// Video out: the encoder pipe, the music under the picture, and what a
// short video decodes to.
#include <gtest/gtest.h>

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

}  // namespace

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
