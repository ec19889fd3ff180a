#pragma once
// Runs of the built runner on the built show folder, and what the tests
// read back from them.
#include <unistd.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "run_program.h"
#include "video.h"

namespace quarvel::test {

inline std::string show_folder() { return std::string(QUARVEL_BINARY_DIR) + "/show"; }

// quarvel-capture --show <built show> ARGS.
inline ProgramRun run_capture(std::vector<std::string> args) {
  args.insert(args.begin(), {"--show", show_folder()});
  return run_program(built_program("quarvel-capture"), args);
}

inline std::string file_bytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The standard output of a shell command.
inline std::string command_output(const std::string& cmd) {
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char buf[65536];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  pclose(p);
  return out;
}

inline std::filesystem::path fresh_folder(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() / ("quarvel_capture_" + name + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace quarvel::test
