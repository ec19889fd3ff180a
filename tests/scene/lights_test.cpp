// The start-up light set, the light line's number format, and Sauve_light's
// append-only use of "tmp.tmp".
#include "scene/lights.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <clocale>
#include <locale>
#include <string>

#include "show_fixture.h"

namespace quarvel::scene {
namespace {

using testing::CurrentDir;
using testing::read_text_file;
using testing::ShowTest;
using testing::TempDir;
using testing::write_text_file;

const std::string kSep = "\xB2";

class LightSet : public ShowTest {};

TEST_F(LightSet, NineLightsWithTheTableOnThePointLights) {
  const size_t before = f.stage.scene->children().size();
  create_light_set(s);
  const auto children = f.stage.scene->children();
  ASSERT_EQ(children.size(), before + 9);

  // The ambient light made first stays in the scene, outside the table.
  const FrameRef ambient = children[before];
  ASSERT_EQ(ambient->lights().size(), 1u);
  EXPECT_EQ(ambient->lights()[0]->type(), rm::LightType::Ambient);
  EXPECT_NE(ambient, s.lights.light_frame[0]);

  const Vec3 where[8] = {{10000, 10000, 0},      {-10000, 10000, 0},      {0, 10000, -10000},
                         {-10000, 10000, -10000}, {10000, -10000, 0},      {10000, -10000, -10000},
                         {10000, -10000, 10000},  {0, -10000, -10000}};
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    const FrameRef frame = s.lights.light_frame[i];
    const LightRef light = s.lights.light_tab[i];
    ASSERT_TRUE(frame && light);
    EXPECT_EQ(children[before + 1 + static_cast<size_t>(i)], frame);
    EXPECT_EQ(light->type(), rm::LightType::Point);
    EXPECT_EQ(light->color(), (Vec3{1, 1, 1}));
    EXPECT_EQ(light->range(), 100000.0f);
    EXPECT_EQ(light->constant_attenuation(), 0.0f);
    EXPECT_EQ(frame->position(f.stage.scene.get()), where[i]);
  }
  EXPECT_EQ(s.lights.light_frame[8], nullptr);
}

TEST(GeneralFloat, ShortestFormUpToFifteenDigits) {
  EXPECT_EQ(general_float(0), "0");
  EXPECT_EQ(general_float(-0.0), "0");
  EXPECT_EQ(general_float(-2), "-2");
  EXPECT_EQ(general_float(10000), "10000");
  EXPECT_EQ(general_float(0.5), "0.5");
  EXPECT_EQ(general_float(static_cast<double>(0.1f)), "0.100000001490116");
  EXPECT_EQ(general_float(static_cast<double>(-1.25f)), "-1.25");
  EXPECT_EQ(general_float(static_cast<double>(0.3f)), "0.300000011920929");
  EXPECT_EQ(general_float(123456789012345.0), "123456789012345");
}

TEST(GeneralFloat, PointWhateverTheLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  const std::locale saved_global;
  bool switched = false;
  for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE", "fr_FR"}) {
    if (std::setlocale(LC_ALL, name)) {
      try {
        std::locale::global(std::locale(name));
      } catch (const std::runtime_error&) {
      }
      switched = true;
      break;
    }
  }
  EXPECT_EQ(general_float(2.5), "2.5");
  EXPECT_EQ(general_float(-1234.75), "-1234.75");
  std::locale::global(saved_global);
  std::setlocale(LC_ALL, saved.c_str());
  if (!switched) GTEST_SKIP() << "no comma locale installed; checked in the C locale only";
}

TEST_F(LightSet, LineFieldsOfTheEditableLight) {
  EXPECT_EQ(light_line(s), "X" + kSep + "0" + kSep + "0" + kSep + "0" + kSep + "0" + kSep + "0" + kSep + "0" + kSep + "3");
  s.controls.light_x = -2;
  s.controls.light_y = 0.1f;
  s.controls.light_z = 1500;
  s.controls.light_r = 1;
  s.controls.light_g = 0.5f;
  s.controls.light_b = 0.25f;
  EXPECT_EQ(light_line(s), "X" + kSep + "-2" + kSep + "0.100000001490116" + kSep + "1500" + kSep + "1" + kSep + "0.5" +
                               kSep + "0.25" + kSep + "3");
}

// Sauve_light in a fresh current folder.
class SaveLight : public ShowTest {
 protected:
  SaveLight() : cwd_(dir.path()) {}
  std::string save() {
    ::testing::internal::CaptureStderr();
    Sauve_light(s);
    return ::testing::internal::GetCapturedStderr();
  }
  TempDir dir;
  CurrentDir cwd_;
};

TEST_F(SaveLight, AppendsOneLineToAnExistingFile) {
  write_text_file("tmp.tmp", "earlier line\r\n");
  s.controls.light_x = -2;
  s.controls.light_y = 0.1f;
  EXPECT_EQ(save(), "");
  const std::string first = "X" + kSep + "-2" + kSep + "0.100000001490116" + kSep + "0" + kSep + "0" + kSep + "0" +
                            kSep + "0" + kSep + "3\r\n";
  EXPECT_EQ(read_text_file("tmp.tmp"), "earlier line\r\n" + first);
  s.controls.light_r = 1;
  EXPECT_EQ(save(), "");
  const std::string second = "X" + kSep + "-2" + kSep + "0.100000001490116" + kSep + "0" + kSep + "1" + kSep + "0" +
                             kSep + "0" + kSep + "3\r\n";
  EXPECT_EQ(read_text_file("tmp.tmp"), "earlier line\r\n" + first + second);
}

TEST_F(SaveLight, EmptyFileGetsTheLineOfZeros) {
  write_text_file("tmp.tmp", "");
  save();
  EXPECT_EQ(read_text_file("tmp.tmp"),
            "X" + kSep + "0" + kSep + "0" + kSep + "0" + kSep + "0" + kSep + "0" + kSep + "0" + kSep + "3\r\n");
}

TEST_F(SaveLight, MissingFileIsNotCreatedAndNothingIsSaid) {
  EXPECT_EQ(save(), "");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "tmp.tmp"));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(SaveLight, ReadOnlyFileIsLeftAloneWithOneLine) {
  write_text_file("tmp.tmp", "keep\r\n");
  ASSERT_EQ(::chmod("tmp.tmp", 0444), 0);
  const std::string err = save();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("tmp.tmp"), std::string::npos) << err;
  EXPECT_NE(err.find("read-only"), std::string::npos) << err;
  EXPECT_EQ(read_text_file("tmp.tmp"), "keep\r\n");
}

// A disk with `disk_room` bytes left: a write beyond them stops part way,
// then fails with ENOSPC.
size_t disk_room = 0;
ssize_t write_to_nearly_full_disk(int fd, const void* data, size_t size) {
  if (disk_room == 0) {
    errno = ENOSPC;
    return -1;
  }
  const ssize_t n = ::write(fd, data, std::min(size, disk_room));
  if (n > 0) disk_room -= static_cast<size_t>(n);
  return n;
}

TEST_F(SaveLight, FullDiskLeavesNoPartLineWithOneLineAndTheNextSaveWorks) {
  write_text_file("tmp.tmp", "earlier line\r\n");
  disk_room = 5;
  ::testing::internal::CaptureStderr();
  Sauve_light(s, write_to_nearly_full_disk);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "tmp.tmp: the light line was not saved: " + std::string(std::strerror(ENOSPC)) + "\n");
  EXPECT_EQ(read_text_file("tmp.tmp"), "earlier line\r\n");

  // Room again: the show goes on saving.
  EXPECT_EQ(save(), "");
  EXPECT_EQ(read_text_file("tmp.tmp"), "earlier line\r\n" + light_line(s) + "\r\n");
}

TEST_F(SaveLight, FolderOfThatNameIsLeftAloneWithOneLine) {
  std::filesystem::create_directory("tmp.tmp");
  const std::string err = save();
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_NE(err.find("tmp.tmp"), std::string::npos) << err;
  EXPECT_TRUE(std::filesystem::is_directory("tmp.tmp"));
  EXPECT_TRUE(std::filesystem::is_empty("tmp.tmp"));
}

}  // namespace
}  // namespace quarvel::scene
