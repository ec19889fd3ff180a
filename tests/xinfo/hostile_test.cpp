// quarvel-xinfo on small model files that declare huge counts: it answers
// with one line each, and its peak memory (the child's largest resident
// size, from wait4) stays far below what the counts claim. A child started
// from this process reports at least this process's own peak, so the files
// are made in a forked process and this one stays small.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "xfile/xfile_test_util.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct MeasuredRun {
  int status = -1;
  std::string out, err;
  long max_rss_mb = -1;
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

MeasuredRun run_measured(const std::string& file) {
  // Named per process: ctest runs the tests of this file side by side.
  const std::string stem = "quarvel_xinfo_hostile_" + std::to_string(getpid());
  const fs::path out_file = fs::temp_directory_path() / (stem + ".out");
  const fs::path err_file = fs::temp_directory_path() / (stem + ".err");
  const std::string tool = std::string(QUARVEL_BINARY_DIR) + "/bin/quarvel-xinfo";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> argv = {const_cast<char*>(tool.c_str()), const_cast<char*>(file.c_str()), nullptr};
  MeasuredRun r;
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return r;
  int st = 0;
  rusage usage{};
  if (wait4(pid, &st, 0, &usage) != pid) return r;
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.max_rss_mb = usage.ru_maxrss / 1024;  // kilobytes on Linux
  r.out = slurp(out_file);
  r.err = slurp(err_file);
  fs::remove(out_file);
  fs::remove(err_file);
  return r;
}

long own_peak_mb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

class XinfoHostile : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override { fs::remove_all(dir_); }
  // Writes what `make` gives, making it in a forked process.
  template <class Make>
  std::string write(const std::string& name, Make&& make) {
    const std::string path = (dir_ / name).string();
    const pid_t pid = fork();
    if (pid == 0) {
      std::ofstream(path, std::ios::binary) << make();
      _exit(0);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
    return path;
  }
  const fs::path dir_ = fs::temp_directory_path() / ("quarvel_xinfo_hostile_" + std::to_string(getpid()));
};

// Before, this 32 KB file took 1 GB: ten million plain materials were made.
TEST_F(XinfoHostile, MaterialCountOfTenMillionIsDescribedWithTheOneMaterialGiven) {
  const std::string path =
      write("materials.x", [] { return quarvel::xfile::testing::material_count_file(10'000'000, 0); });
  EXPECT_LT(fs::file_size(path), 40u << 10);
  ASSERT_LT(own_peak_mb(), 150);  // else the tool's figure would be this process's
  const MeasuredRun r = run_measured(path);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"materials\": 1,"), std::string::npos) << r.out;
  EXPECT_GT(r.max_rss_mb, 0);
  EXPECT_LT(r.max_rss_mb, 200);
}

TEST_F(XinfoHostile, FaceOfMaterialTenMillionIsRefusedWithOneLine) {
  const std::string path =
      write("face.x", [] { return quarvel::xfile::testing::material_count_file(10'000'000, 9'999'999); });
  ASSERT_LT(own_peak_mb(), 150);
  const MeasuredRun r = run_measured(path);
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(r.out.empty()) << r.out;
  EXPECT_EQ(r.err.rfind("error: " + path + ": the model would take more than ", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_LT(r.max_rss_mb, 200);
}

}  // namespace
