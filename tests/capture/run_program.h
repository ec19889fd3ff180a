#pragma once
// Runs one of the built programs as a user does, from a chosen folder, and
// collects its exit status and its output lines.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace quarvel::test {

struct ProgramRun {
  int status = -1;
  std::vector<std::string> out, err;
};

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline std::string shell_quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// The path of a built program (build/bin/NAME).
inline std::string built_program(const std::string& name) { return std::string(QUARVEL_BINARY_DIR) + "/bin/" + name; }

// Runs `program` with `args` in folder `cwd` (the test's own when empty),
// its standard output collected, or sent to `out_file` when one is given.
inline ProgramRun run_program(const std::string& program, const std::vector<std::string>& args,
                              const std::filesystem::path& cwd = {}, const std::string& out_file = {}) {
  const std::filesystem::path err_file =
      std::filesystem::temp_directory_path() / ("quarvel_run_" + std::to_string(::getpid()) + ".err");
  std::string cmd = cwd.empty() ? "" : "cd " + shell_quote(cwd.string()) + " && ";
  cmd += shell_quote(program);
  for (const auto& a : args) cmd += " " + shell_quote(a);
  cmd += " 2>" + shell_quote(err_file.string()) + " </dev/null";
  if (!out_file.empty()) cmd += " >" + shell_quote(out_file);
  ProgramRun r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  std::string out;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  r.out = lines_of(out);
  std::ifstream e(err_file);
  r.err = lines_of(std::string(std::istreambuf_iterator<char>(e), {}));
  std::filesystem::remove(err_file);
  return r;
}

}  // namespace quarvel::test
