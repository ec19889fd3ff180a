// The whole show headless at 60 ticks a second of music, from the loading
// screen to the close: wall time of each tick (its steps, render, layers and
// flip, with glFinish), summed up per scene, and the whole run's wall time
// against the music's length.
//
//   cd build/show && ../bin/bench_chain          (prints a Markdown table)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/render/gl.h"
#include "show_runner.h"

namespace {

using Clock = std::chrono::steady_clock;

// The running step of a trace line: the lowest flag among 0..6.
int running_scene(const std::string& line) {
  const size_t at = line.find("\"flags\":[");
  if (at == std::string::npos || line[at + 9] == ']') return -1;
  return std::atoi(line.c_str() + at + 9);
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5))];
}

}  // namespace

int main() {
  const std::string trace = (std::filesystem::temp_directory_path() / "quarvel-bench-chain.jsonl").string();
  quarvel::runner::RunOptions o;
  o.trace = trace;
  std::vector<double> tick_ms;
  Clock::time_point last = Clock::now();
  const Clock::time_point start = last;
  const int status = quarvel::capture::play_show(o, 0, [&](int, const quarvel::display::DisplayControl&) {
    glFinish();
    const Clock::time_point now = Clock::now();
    tick_ms.push_back(std::chrono::duration<double, std::milli>(now - last).count());
    last = now;
    return true;
  });
  const double wall_s = std::chrono::duration<double>(Clock::now() - start).count();
  if (status != 0) return status;

  static const char* kNames[] = {"loading", "opening", "forest flight", "explosion",
                                 "forest edge", "model scene", "finale"};
  std::map<int, std::vector<double>> by_scene;
  std::ifstream in(trace);
  size_t i = 0;
  double music_s = 0;
  for (std::string line; std::getline(in, line) && i < tick_ms.size(); ++i) {
    by_scene[running_scene(line)].push_back(tick_ms[i]);
    const size_t ms = line.find("\"ms\":");
    if (ms != std::string::npos) music_s = std::atof(line.c_str() + ms + 5) / 1000.0;
  }
  std::filesystem::remove(trace);
  std::printf("| scene | ticks | median | p99 | worst |\n|---|---|---|---|---|\n");
  for (int k : {1, 2, 4, 5, 3, 6}) {
    const auto& v = by_scene[k];
    std::printf("| %s | %zu | %.2f ms | %.2f ms | %.2f ms |\n", kNames[k], v.size(), percentile(v, 0.5),
                percentile(v, 0.99), v.empty() ? 0.0 : *std::max_element(v.begin(), v.end()));
  }
  std::printf("\nwhole show: %zu ticks, %.1f s wall for %.1f s of music (%.2f of its length)\n", tick_ms.size(),
              wall_s, music_s, wall_s / music_s);
  return 0;
}
