// The fixed cost of one frame on the present path, headless on llvmpipe:
// a whole-surface fill, the gamma pass and the presentation; and the cost
// of a PNG screenshot of the presented picture.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "platform/common/png_write.h"
#include "platform/display/display.h"
#include "platform/render/gl.h"

using namespace quarvel;

static void PresentPath(benchmark::State& state) {
  display::DisplayControl d(display::make_headless_backend());
  d.initialize();
  render::GammaRamp ramp = render::GammaRamp::identity();
  for (auto& v : ramp.green) v = static_cast<uint16_t>(v / 2);
  d.set_gamma(ramp);
  uint32_t colour = 0;
  for (auto _ : state) {
    d.fill(colour++);
    d.flip();
    glFinish();  // count the GPU work, not just its queuing
  }
}
BENCHMARK(PresentPath)->Unit(benchmark::kMillisecond);

static void Screenshot(benchmark::State& state) {
  display::DisplayControl d(display::make_headless_backend());
  d.initialize();
  d.fill(0x1234);
  d.fill_rect(100, 100, 200, 100, 0xF800);
  d.flip();
  const std::string path = "/tmp/quarvel_bench_screenshot.png";
  for (auto _ : state) {
    Picture shot = d.screenshot();
    write_png(path, shot);
  }
  std::remove(path.c_str());
}
BENCHMARK(Screenshot)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
