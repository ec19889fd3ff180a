#pragma once
// A show on a headless display, for tests of the scene store, the scenes, the
// controls and the main form's handlers.
//
//   quarvel::testing::ShowFixture f;      // display initialised, nine pictures
//   scene::Show& s = f.show;
//   f.music.position_value = 3000;        // the music clock, set by hand
//   f.now_ms += 100; f.idle_loop.idle();  // the frame timers' clock
//
// Everything lives in the fixture; a fresh one starts from a fresh Show
// (every table empty, every number zero). The display records its frames
// without drawing them (no GL context), unless the fixture is made with
// Pixels::Drawn, for the tests that look at the picture. The display's own
// initialisation runs (it opens f.stage: scene frame, camera, viewport); the show's start
// values do not: the main form's DXDrawInitialize sets them, so set what a
// test needs, or hang a handler on f.DXDraw.on_initialize with
// ShowFixture(false) and then call f.DXDraw.initialize().
//
// Helpers for files: TempDir (a fresh folder, removed at the end),
// CurrentDir (changes the current folder for a scope), write_text_file,
// read_text_file; for poses: expect_near, expect_pose.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "app/form_components.h"
#include "fake_music_device.h"
#include "platform/audio/music_device.h"
#include "platform/display/backend.h"
#include "scene/show.h"

namespace quarvel::testing {

// Whether a fixture's display draws its frames (headless GL) or only
// records them.
enum class Pixels { Recorded, Drawn };

// The form's own components, wired as the form wires them, on a display
// without a window and a clock set by hand.
struct ShowFixture : app::FormComponents {
  // `initialize`: initialise the display at once.
  explicit ShowFixture(bool initialize = true, Pixels pixels = Pixels::Recorded)
      : app::FormComponents(pixels == Pixels::Drawn ? display::make_headless_backend()
                                                    : display::make_recording_backend(),
                            [this] { return now_ms; }) {
    if (initialize) DXDraw.initialize();
  }
  ~ShowFixture() { DXDraw.finalize(); }
  ShowFixture(const ShowFixture&) = delete;
  ShowFixture& operator=(const ShowFixture&) = delete;

  // Reads raw_input into DXInput1, as a tick does.
  void update_input(bool active = true) { DXInput1.update(raw_input, active); }

  // The frame timers' millisecond clock.
  uint32_t now_ms = 0;
  FakeMusicDevice music;
  // Declared last: released first, before the display goes.
  std::unique_ptr<scene::Show> show_state = new_show(music);
  scene::Show& show = *show_state;
};

// A GoogleTest fixture with a ShowFixture `f` and its show `s`.
class ShowTest : public ::testing::Test {
 protected:
  explicit ShowTest(Pixels pixels = Pixels::Recorded) : f(true, pixels) {}
  ShowFixture f;
  scene::Show& s = f.show;
};

// The same, drawing its frames: for the tests that read the picture.
class DrawnShowTest : public ShowTest {
 protected:
  DrawnShowTest() : ShowTest(Pixels::Drawn) {}
};

// A fresh empty folder under the system's temporary folder, removed with
// everything in it at the end of the scope.
class TempDir {
 public:
  TempDir() {
    namespace fs = std::filesystem;
    static int counter = 0;
    const fs::path base = fs::temp_directory_path();
    for (;;) {
      path_ = base / ("quarvel-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
      std::error_code ec;
      if (fs::create_directory(path_, ec)) break;
      if (ec) throw std::filesystem::filesystem_error("cannot make a test folder", path_, ec);
    }
  }
  ~TempDir() {
    std::error_code ec;
    // Read-only files made by a test must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Makes `dir` the current folder until the end of the scope.
class CurrentDir {
 public:
  explicit CurrentDir(const std::filesystem::path& dir) : saved_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir);
  }
  ~CurrentDir() {
    std::error_code ec;
    std::filesystem::current_path(saved_, ec);
  }
  CurrentDir(const CurrentDir&) = delete;
  CurrentDir& operator=(const CurrentDir&) = delete;

 private:
  std::filesystem::path saved_;
};

// Vectors equal within `tol` on each axis.
inline void expect_near(const rm::Vec3& a, const rm::Vec3& b, float tol = 1e-3f) {
  EXPECT_NEAR(a.x, b.x, tol);
  EXPECT_NEAR(a.y, b.y, tol);
  EXPECT_NEAR(a.z, b.z, tol);
}

// A frame's position, direction and up vector as seen from `ref`.
inline void expect_pose(const rm::Frame& frame, const rm::Frame* ref, const rm::Vec3& position,
                        const rm::Vec3& direction, const rm::Vec3& up) {
  expect_near(frame.position(ref), position);
  rm::Vec3 d, u;
  frame.orientation(ref, d, u);
  expect_near(d, direction);
  expect_near(u, up);
}

inline void write_text_file(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::string read_text_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace quarvel::testing
