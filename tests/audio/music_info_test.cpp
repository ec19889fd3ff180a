#include <gtest/gtest.h>

#include "platform/common/json.h"

#include "audio/mp3_maker.h"
#include "platform/audio/music_info.h"

namespace quarvel::audio {
namespace {

TEST(DescribeMusic, OneJsonLineWithFormatLengthAndPeaksPerSecond) {
  // 2.5 s: silence for the first second, then a 0.5 full-scale sine.
  const uint64_t frames = 44100 * 5 / 2;
  auto pcm = testing::sine_pcm(44100, 2, frames, 440.0, 0.5);
  std::fill(pcm.begin(), pcm.begin() + 44100 * 2, 0);
  auto path = testing::write_file("describe.mp3", testing::encode_mp3(pcm, 44100, 2, 192));
  std::string line, error;
  ASSERT_TRUE(describe_music(path, line, error)) << error;
  const std::string head = "{\"file\": \"" + path +
                           "\", \"kind\": \"music\", \"rate\": 44100, \"channels\": 2, \"frames\": 110250, "
                           "\"bytes\": 441000, \"seconds\": 2.500, \"left_peaks\": [";
  ASSERT_EQ(line.substr(0, head.size()), head);
  // Two whole seconds: the silent one (the encoder's pre-echo may leave a
  // trace of the sine) and the one at half scale, about 64.
  std::string peaks = line.substr(head.size());
  int first = -1, second = -1;
  ASSERT_EQ(std::sscanf(peaks.c_str(), "%d, %d]}", &first, &second), 2) << line;
  EXPECT_LT(first, 8);
  EXPECT_NEAR(second, 64, 4);
  EXPECT_EQ(line.back(), '}');
  EXPECT_EQ(line.find('\n'), std::string::npos);
}

TEST(DescribeMusic, RealFileHasAPeakForEachWholeSecond) {
  std::string line, error;
  ASSERT_TRUE(describe_music(testing::idle_tune_path(), line, error)) << error;
  auto open = line.find("\"left_peaks\": [");
  ASSERT_NE(open, std::string::npos);
  std::string peaks = line.substr(open);
  EXPECT_EQ(std::count(peaks.begin(), peaks.end(), ','), 43);  // 44 whole seconds
}

TEST(DescribeMusic, FileThatDoesNotDecodeGivesAReason) {
  std::string line = "untouched", error;
  EXPECT_FALSE(describe_music(std::string(QUARVEL_BINARY_DIR) + "/tests/missing.mp3", line, error));
  EXPECT_EQ(line, "untouched");
  EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(DescribeMusic, FileNamesAreEscaped) {
  EXPECT_EQ(quarvel::json_string("a\"b\\c\n"), "\"a\\\"b\\\\c\\n\"");
  EXPECT_EQ(quarvel::json_string(std::string("\x01", 1)), "\"\\u0001\"");
}

}  // namespace
}  // namespace quarvel::audio
