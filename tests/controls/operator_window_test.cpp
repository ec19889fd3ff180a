// The window program under a virtual X server, driven by real X key and
// mouse events: Alt+Enter to a window and back (the window keeps its place
// and size), clicks on the picture and on a black bar, a drag, and Esc
// ending it with status 0. Also the window's mapping of presses onto the
// picture. Skipped when Xvfb or xdotool is not installed.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/display/backend.h"
#include "platform/display/display_error.h"
#include "show_fixture.h"

extern char** environ;

namespace quarvel {
namespace {

namespace fs = std::filesystem;

const fs::path kShowDir = fs::path(QUARVEL_BINARY_DIR) / "show";
constexpr int kScreenW = 1024, kScreenH = 600;

std::optional<fs::path> on_path(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const fs::path p = fs::path(dir) / name;
    if (!dir.empty() && ::access(p.c_str(), X_OK) == 0) return p;
  }
  return std::nullopt;
}

// A child process with extra environment variables.
pid_t spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            const posix_spawn_file_actions_t* actions = nullptr) {
  std::vector<std::string> vars;
  for (char** e = environ; *e; ++e) {
    const std::string v = *e;
    if (!env.count(v.substr(0, v.find('=')))) vars.push_back(v);
  }
  for (const auto& [k, v] : env) vars.push_back(k + "=" + v);
  std::vector<char*> args, envp;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (auto& v : vars) envp.push_back(v.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], actions, nullptr, args.data(), envp.data()) != 0) return -1;
  return pid;
}

// Waits for a condition, checking every 50 ms, at most `seconds`.
bool eventually(const std::function<bool()>& done, double seconds = 60) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

// A virtual X server with one screen of kScreenW x kScreenH; its picture is
// kept as an XWD file in `fb_dir`.
class VirtualX {
 public:
  explicit VirtualX(const fs::path& fb_dir) : fb_dir_(fb_dir) {
    int fds[2];
    if (::pipe(fds) != 0) return;
    ::fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const std::string screen = std::to_string(kScreenW) + "x" + std::to_string(kScreenH) + "x24";
    // -noreset: by default the server resets each time its last client
    // leaves, and refuses connections meanwhile; an xdotool call just
    // before the program starts would make the program's connection fail.
    pid_ = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp",
                  "-noreset", "-fbdir", fb_dir.string()},
                 {});
    ::close(fds[1]);
    std::string number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (!number.empty()) display_ = ":" + number;
  }
  ~VirtualX() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& display() const { return display_; }

  // How many pixels of the rectangle are not black.
  int lit_pixels(int x0, int y0, int w, int h) const {
    std::ifstream in(fb_dir_ / "Xvfb_screen0", std::ios::binary);
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 100) return -1;
    auto card = [&](size_t i) {
      const unsigned char* p = &data[i * 4];
      return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
    };
    // The XWD header: 25 big-endian numbers, then the window's name and the
    // colour map; then the pixels in the server's byte order.
    const uint32_t header = card(0), msb_first = card(7), bits = card(11), line = card(12);
    const uint32_t rgb_mask = card(13) | card(14) | card(15), colours = card(19);
    if (bits != 32) return -1;
    const size_t pixels = header + colours * 12;
    int lit = 0;
    for (int y = y0; y < y0 + h; ++y) {
      for (int x = x0; x < x0 + w; ++x) {
        const size_t at = pixels + static_cast<size_t>(y) * line + static_cast<size_t>(x) * 4;
        if (at + 4 > data.size()) return -1;
        const unsigned char* p = &data[at];
        const uint32_t v = msb_first ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                                     : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
        lit += (v & rgb_mask) != 0;
      }
    }
    return lit;
  }

 private:
  fs::path fb_dir_;
  pid_t pid_ = -1;
  std::string display_;
};

struct Geometry {
  long window = 0;
  int x = 0, y = 0, w = 0, h = 0;
};

class WindowProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!on_path("Xvfb") || !on_path("xdotool"))
      GTEST_SKIP() << "Xvfb or xdotool is missing (Debian: apt-get install xvfb xdotool)";
    x_ = std::make_unique<VirtualX>(fb_.path());
    ASSERT_FALSE(x_->display().empty()) << "Xvfb did not start";
    // The server names its display before a loaded machine has it answering.
    ASSERT_TRUE(eventually([&] { return !xdotool("getdisplaygeometry").empty(); }, 30))
        << "Xvfb on " << x_->display() << " does not answer";
  }

  // Runs xdotool against the virtual server; its standard output.
  std::string xdotool(const std::string& args) {
    const std::string cmd = "DISPLAY=" + x_->display() + " xdotool " + args + " 2>/dev/null";
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
      char buf[256];
      while (std::fgets(buf, sizeof buf, p)) out += buf;
      ::pclose(p);
    }
    return out;
  }

  // The show's window as the server sees it (none: window 0).
  Geometry window() {
    Geometry g;
    std::istringstream ids(xdotool("search --onlyvisible --name '^Quarvel Team$'"));
    if (!(ids >> g.window)) return {};
    std::istringstream shell(xdotool("getwindowgeometry --shell " + std::to_string(g.window)));
    for (std::string kv; std::getline(shell, kv);) {
      const size_t eq = kv.find('=');
      if (eq == std::string::npos) continue;
      const std::string k = kv.substr(0, eq);
      const int v = std::atoi(kv.c_str() + eq + 1);
      if (k == "X") g.x = v;
      if (k == "Y") g.y = v;
      if (k == "WIDTH") g.w = v;
      if (k == "HEIGHT") g.h = v;
    }
    return g;
  }
  // Waits for a window of that size (and place, when given).
  Geometry wait_window(int w, int h, std::optional<std::pair<int, int>> place = std::nullopt) {
    Geometry g;
    eventually([&] {
      g = window();
      return g.window != 0 && g.w == w && g.h == h && (!place || (g.x == place->first && g.y == place->second));
    });
    return g;
  }
  // Keys go to the focused window.
  void keys(const Geometry& g, const std::string& which) {
    xdotool("windowfocus --sync " + std::to_string(g.window));
    xdotool("key --clearmodifiers " + which);
  }

  testing::TempDir fb_;
  std::unique_ptr<VirtualX> x_;
};

// Kills and reaps a program a test started unless the test saw it end, so a
// failed assertion leaves no program running.
struct Reaper {
  pid_t pid;
  bool* done;
  ~Reaper() {
    if (!*done) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
};

TEST_F(WindowProgram, AltEnterThereAndBackAClickAndEscEndingIt) {
  const fs::path program = kShowDir / "quarvel";
  if (!fs::exists(program) || !fs::exists(kShowDir / "sik_test.mp3")) GTEST_SKIP() << "no show folder built";
  // Silent music: the clock runs on the dummy sound device.
  const std::vector<std::string> argv{program.string()};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  // The program runs from its show folder, its working folder.
  posix_spawn_file_actions_addchdir_np(&actions, kShowDir.c_str());
  const pid_t pid = spawn(argv, {{"DISPLAY", x_->display()}, {"SDL_AUDIODRIVER", "dummy"}}, &actions);
  posix_spawn_file_actions_destroy(&actions);
  ASSERT_GT(pid, 0);
  int status = -1;
  auto exited = [&] { return ::waitpid(pid, &status, WNOHANG) == pid; };
  bool ended = false;
  Reaper reaper{pid, &ended};

  // Full screen first: the whole screen, and the show draws into it.
  const Geometry full = wait_window(kScreenW, kScreenH);
  ASSERT_NE(full.window, 0) << "no full-screen window";
  EXPECT_TRUE(eventually([&] { return x_->lit_pixels(112, 0, 800, 600) > 1000; }));

  // Alt+Enter: a window, which we move and size.
  keys(full, "alt+Return");
  Geometry win = wait_window(640, 480);
  ASSERT_NE(win.window, 0) << "no window after Alt+Enter";
  EXPECT_NE(win.window, full.window);
  xdotool("windowsize --sync " + std::to_string(win.window) + " 800 450");
  xdotool("windowmove --sync " + std::to_string(win.window) + " 100 50");
  win = wait_window(800, 450, std::make_pair(100, 50));
  ASSERT_EQ(win.w, 800);

  // And back to full screen, and to the window again: same place and size.
  keys(win, "alt+Return");
  const Geometry full2 = wait_window(kScreenW, kScreenH);
  ASSERT_NE(full2.window, 0) << "no full-screen window after the second Alt+Enter";
  keys(full2, "alt+Return");
  const Geometry back = wait_window(800, 450, std::make_pair(100, 50));
  EXPECT_EQ(back.w, 800);
  EXPECT_EQ(back.h, 450);
  EXPECT_EQ(back.x, 100);
  EXPECT_EQ(back.y, 50);
  // The restarted show draws into the picture's rectangle (600 x 450 with
  // bars of 100 on each side).
  EXPECT_TRUE(eventually([&] { return x_->lit_pixels(200, 50, 600, 450) > 1000; }));

  // A click on the picture, one on a black bar, a drag with the left button.
  const std::string id = std::to_string(back.window);
  xdotool("mousemove --sync --window " + id + " 400 225 click 1");
  xdotool("mousemove --sync --window " + id + " 30 225 click 1");
  xdotool("mousemove --sync --window " + id + " 400 225 mousedown 1 mousemove_relative 5000 3000 mouseup 1");
  EXPECT_FALSE(exited()) << "the program ended on a click";

  // Esc ends it, with status 0.
  keys(back, "Escape");
  ended = eventually(exited, 60);
  ASSERT_TRUE(ended) << "the program did not end on Esc";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The X server going away under the playing show: the program says one line
// and ends with status 1, and writes nothing in its folder (it plays a copy
// of the show folder made of links, with an empty light file, which the
// show appends to when its operator saves a light).
TEST_F(WindowProgram, TheXServerGoingAwayEndsItWithOneLineAndWritesNothing) {
  const fs::path program = kShowDir / "quarvel";
  if (!fs::exists(program) || !fs::exists(kShowDir / "sik_test.mp3")) GTEST_SKIP() << "no show folder built";
  const fs::path folder = fs::path(fb_.path()) / "show";
  fs::create_directories(folder);
  for (const auto& entry : fs::directory_iterator(kShowDir)) {
    if (entry.path().filename() != "quarvel") fs::create_symlink(entry.path(), folder / entry.path().filename());
  }
  { std::ofstream(folder / "tmp.tmp"); }
  auto listing = [&] {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  };
  const auto before = listing();
  const fs::path said = fs::path(fb_.path()) / "stderr.txt";

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  const pid_t pid = spawn({program.string()}, {{"DISPLAY", x_->display()}, {"SDL_AUDIODRIVER", "dummy"}}, &actions);
  posix_spawn_file_actions_destroy(&actions);
  ASSERT_GT(pid, 0);
  int status = -1;
  bool ended = false;
  auto exited = [&] { return ::waitpid(pid, &status, WNOHANG) == pid; };
  Reaper reaper{pid, &ended};

  // The show plays: its window is there and draws.
  ASSERT_NE(wait_window(kScreenW, kScreenH).window, 0) << "no full-screen window";
  ASSERT_TRUE(eventually([&] { return x_->lit_pixels(112, 0, 800, 600) > 1000; })) << "the show drew nothing";
  const auto said_before = fs::file_size(said);

  x_.reset();  // the X server ends
  ended = eventually(exited, 60);
  ASSERT_TRUE(ended) << "the program went on without its display";
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  std::ifstream in(said);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.substr(std::min<size_t>(said_before, text.size())), "quarvel: the display went away\n");
  EXPECT_EQ(listing(), before);
  EXPECT_EQ(fs::file_size(folder / "tmp.tmp"), 0u);
}

// The window back end maps window pixels onto the 640 x 480 picture through
// its letterbox: the picture once, 640 x 480, in the middle of the 1024 x 600
// screen: bars of 192 on a side, 60 above and below.
TEST_F(WindowProgram, PressesMapOntoThePictureAndNotTheBars) {
  const char* saved = std::getenv("DISPLAY");
  const std::string previous = saved ? saved : "";
  ::setenv("DISPLAY", x_->display().c_str(), 1);
  auto backend = display::make_window_backend("Quarvel window test");
  try {
    backend->open(true);
  } catch (const display::DisplayError& e) {
    GTEST_SKIP() << "no OpenGL window on the virtual server: " << e.what();
  }
  int sx = -1, sy = -1;
  EXPECT_TRUE(backend->to_surface(512, 300, &sx, &sy));
  EXPECT_EQ(sx, 320);
  EXPECT_EQ(sy, 240);
  EXPECT_TRUE(backend->to_surface(192, 60, &sx, &sy));
  EXPECT_EQ(sx, 0);
  EXPECT_EQ(sy, 0);
  EXPECT_TRUE(backend->to_surface(831, 539, &sx, &sy));
  EXPECT_EQ(sx, 639);
  EXPECT_EQ(sy, 479);
  EXPECT_FALSE(backend->to_surface(191, 300, &sx, &sy));
  EXPECT_FALSE(backend->to_surface(832, 300, &sx, &sy));
  EXPECT_FALSE(backend->to_surface(-1, 300, &sx, &sy));
  EXPECT_FALSE(backend->to_surface(500, 59, &sx, &sy));
  EXPECT_FALSE(backend->to_surface(500, 540, &sx, &sy));
  backend->close();
  EXPECT_FALSE(backend->to_surface(512, 300, &sx, &sy));
  if (saved) {
    ::setenv("DISPLAY", previous.c_str(), 1);
  } else {
    ::unsetenv("DISPLAY");
  }
}

}  // namespace
}  // namespace quarvel
