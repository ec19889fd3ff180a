// What a frame of the show costs through the display control, headless on
// llvmpipe, each frame finished on the GPU (glFinish, as a window's swap
// would): the empty show frame (viewport clear, render of an empty scene,
// flip), the built-in test scene at about 5,000 and 20,000 triangles with
// a gamma ramp on, the test scene's frame with its picture read back at
// once or a frame late, and a PNG screenshot. Processor time is the whole
// process's (llvmpipe's threads included); p50 and p99 are per-frame wall
// times.
//
// With QUARVEL_BENCH_WINDOW=1 and an X server (e.g. Xvfb at 1920 x 1080),
// the empty frame is also measured in a full-screen window.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "test_scene.h"
#include "platform/common/png_write.h"
#include "platform/display/display.h"
#include "platform/display/frame_grabber.h"
#include "platform/render/gl.h"
#include "platform/render/gl_util.h"
#include "platform/retained/stage.h"


using namespace quarvel;

namespace {

// Per-frame wall times, reported as p50 and p99 in milliseconds.
class FrameTimes {
 public:
  template <class F>
  void time(F&& frame) {
    const auto t0 = std::chrono::steady_clock::now();
    frame();
    times_.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  void report(benchmark::State& state) {
    if (times_.empty()) return;
    std::sort(times_.begin(), times_.end());
    auto at = [&](double q) { return times_[std::min(times_.size() - 1, static_cast<size_t>(q * times_.size()))]; };
    state.counters["p50_ms"] = at(0.50);
    state.counters["p99_ms"] = at(0.99);
  }

 private:
  std::vector<double> times_;
};

render::GammaRamp dimmed_ramp() {
  render::GammaRamp ramp = render::GammaRamp::identity();
  for (auto& v : ramp.green) v = static_cast<uint16_t>(v / 2);
  return ramp;
}

// llvmpipe compiles its shader variants on first use: frames before the
// measured ones, so that is not counted.
constexpr int kWarmUpFrames = 20;

void empty_frames(benchmark::State& state, display::DisplayControl& d) {
  for (int i = 0; i < kWarmUpFrames; ++i) {
    d.render();
    d.flip();
  }
  glFinish();
  FrameTimes times;
  for (auto _ : state) {
    times.time([&] {
      d.render();
      d.flip();
      glFinish();
    });
  }
  times.report(state);
}

void BM_EmptyShowFrame(benchmark::State& state) {
  rm::Stage stage;
  display::DisplayControl d(display::make_headless_backend(), stage);
  d.initialize();
  empty_frames(state, d);
}
BENCHMARK(BM_EmptyShowFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
// A fixed number of frames, for timing the whole process from outside.
BENCHMARK(BM_EmptyShowFrame)->Iterations(300)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_EmptyShowFrameWindow(benchmark::State& state) {
  const char* on = std::getenv("QUARVEL_BENCH_WINDOW");
  if (!on || std::string(on) != "1" || !std::getenv("DISPLAY")) {
    state.SkipWithError("set QUARVEL_BENCH_WINDOW=1 with an X server to measure the window");
    for (auto _ : state) {
    }
    return;
  }
  rm::Stage stage;
  display::DisplayControl d(display::make_window_backend("bench"), stage);
  d.full_screen = true;
  d.initialize();
  empty_frames(state, d);
}
BENCHMARK(BM_EmptyShowFrameWindow)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The test scene through the display control: pose, render, flip through a
// gamma ramp.
// The display with the test scene at `detail`, linear texture filtering and
// a gamma ramp on, after the warm-up frames.
struct TestSceneDisplay {
  explicit TestSceneDisplay(int detail, std::unique_ptr<display::DisplayBackend> backend = display::make_headless_backend(),
                            render::Look look = render::Look::Sharp)
      : d(std::move(backend), stage) {
    d.set_look(look);
    d.initialize();
    stage.device->set_texture_quality(rm::TextureQuality::Linear);
    d.set_gamma(dimmed_ramp());
    ts = capture::build_test_scene(stage.root, stage.scene, stage.camera, detail);
    for (int i = 0; i < kWarmUpFrames; ++i) {
      ts.set_time(t++);
      d.render();
      d.flip();
    }
    glFinish();
  }
  // One frame of the scene at time t: posed, moved, rendered and flipped.
  void frame() {
    ts.set_time(t);
    stage.scene->move(1.0f);
    d.render();
    d.flip();
  }
  rm::Stage stage;
  display::DisplayControl d;
  capture::TestScene ts;
  float t = 0;
};

void BM_TestSceneWithGamma(benchmark::State& state) {
  TestSceneDisplay scene(static_cast<int>(state.range(0)));
  FrameTimes times;
  for (auto _ : state) {
    times.time([&] {
      scene.frame();
      glFinish();
    });
    scene.t += 1;
  }
  times.report(state);
  state.counters["triangles"] = static_cast<double>(scene.ts.triangles);
}
BENCHMARK(BM_TestSceneWithGamma)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(BM_TestSceneWithGamma)->Arg(2)->Iterations(100)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The test scene's frame in each look (argument: 0 sharp, 1 original, 2
// smooth), identity ramp, presented as the window does at 1920 x 1080 (into
// a framebuffer of that size): the look's cost a tick over the sharp one.
// Headless, but each flip presented as the window does at 1920 x 1080 (into
// a framebuffer of that size), the look's pass included.
class PresentingBackend : public display::DisplayBackend {
 public:
  void open(bool full_screen) override {
    inner_->open(full_screen);
    tex_ = render::make_texture(GL_RGBA8, 1920, 1080, GL_RGBA, GL_UNSIGNED_BYTE, GL_NEAREST);
    glGenFramebuffers(1, &fbo_);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, tex_, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
  }
  void close() override {
    if (fbo_) glDeleteFramebuffers(1, &fbo_);
    if (tex_) glDeleteTextures(1, &tex_);
    fbo_ = tex_ = 0;
    inner_->close();
  }
  bool is_open() const override { return inner_->is_open(); }
  void make_current() override { inner_->make_current(); }
  void show(render::Presenter& presenter) override { presenter.blit_to(fbo_, 1920, 1080); }
  bool headless() const override { return true; }

 private:
  std::unique_ptr<display::DisplayBackend> inner_ = display::make_headless_backend();
  GLuint tex_ = 0, fbo_ = 0;
};

void BM_TestSceneLook(benchmark::State& state) {
  const render::Look look = render::kLooks[static_cast<size_t>(state.range(0))];
  TestSceneDisplay scene(1, std::make_unique<PresentingBackend>(), look);
  scene.d.set_gamma(render::GammaRamp::identity());
  FrameTimes times;
  for (auto _ : state) {
    times.time([&] {
      scene.frame();
      glFinish();
    });
    scene.t += 1;
  }
  times.report(state);
  state.SetLabel(render::look_name(look));
}
BENCHMARK(BM_TestSceneLook)->DenseRange(0, 2)->Iterations(60)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The test scene's frame with its picture read back, as the video runner
// does: at once (screenshot(), argument 0) or a frame or more late
// (a frame grabber's queue_screenshot() and take_screenshot(), argument 1).
void BM_TestSceneFrameReadBack(benchmark::State& state) {
  const bool late = state.range(0) == 1;
  TestSceneDisplay scene(1);
  auto& d = scene.d;
  display::FrameGrabber grabber(d);
  FrameTimes times;
  Picture shot;
  long long pictures = 0;
  for (auto _ : state) {
    times.time([&] {
      scene.frame();
      if (!late) {
        shot = d.screenshot();
        ++pictures;
        return;
      }
      grabber.queue_screenshot();
      while (grabber.take_screenshot(shot, false)) ++pictures;
    });
    scene.t += 1;
  }
  while (grabber.take_screenshot(shot, true)) ++pictures;
  times.report(state);
  state.counters["pictures"] = static_cast<double>(pictures);
}
BENCHMARK(BM_TestSceneFrameReadBack)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The show's thin 2D layers over a cleared surface, frame by frame (fill,
// layer, flip, glFinish): 0, the scan lines as 241 one-row fills; 1, the
// same rows as one every-other-row draw; 2, the cosine grid's 562 one-pixel
// lines (k = 0.2), one fill each; 3, the same with neighbouring lines as one
// fill; 4, no layer (the frame's own cost); 5, a keyed 640 x 120 copy (the
// banner); 6, a 128 x 32 picture blended stretched to 640 x 32 (the logo).
void BM_ThinLayer(benchmark::State& state) {
  rm::Stage stage;
  display::DisplayControl d(display::make_headless_backend(), stage);
  d.initialize();
  const int kind = static_cast<int>(state.range(0));
  std::vector<int> rows, columns;
  for (int i = 0; i <= 320; ++i) rows.push_back(static_cast<int>(std::lround(200.0 * std::sin(i * M_PI / 180) + 240)));
  for (int j = 0; j <= 240; ++j) columns.push_back(static_cast<int>(std::lround(200.0 * std::sin(j * M_PI / 180) + 320)));
  // Runs of neighbouring places as (first, length).
  auto runs = [](std::vector<int> at) {
    std::sort(at.begin(), at.end());
    at.erase(std::unique(at.begin(), at.end()), at.end());
    std::vector<std::pair<int, int>> out;
    for (int v : at) {
      if (!out.empty() && out.back().first + out.back().second == v)
        ++out.back().second;
      else
        out.push_back({v, 1});
    }
    return out;
  };
  const auto row_runs = runs(rows), column_runs = runs(columns);
  display::ImageList list;
  Picture banner(640, 120, 0xFF336699u), logo(128, 32, 0xFF996633u);
  for (int x = 0; x < 640; x += 3) banner.at(x, x % 120) = 0xFF000000u;  // some keyed pixels
  list.add(banner, 0x000000, true);
  list.add(logo, 0x000000, true);
  d.image_list = &list;
  auto frame = [&] {
    d.fill(0x1234);
    if (kind == 0) {
      for (int i = 0; i <= 240; ++i) d.fill_rect(0, 2 * i, 640, 1, 0);
    } else if (kind == 1) {
      d.fill_rows(0, 0, 640, 481, 2, 0);
    } else if (kind == 2) {
      for (int y : rows) d.fill_rect(0, y, 640, 1, 0);
      for (int x : columns) d.fill_rect(x, 0, 1, 480, 0);
    } else if (kind == 5) {
      d.draw(0, 0, 360);
    } else if (kind == 6) {
      d.draw_alpha({0, 410, 640, 32}, 1, 128);
    } else if (kind == 3) {
      for (auto [y, n] : row_runs) d.fill_rect(0, y, 640, n, 0);
      for (auto [x, n] : column_runs) d.fill_rect(x, 0, n, 480, 0);
    }
    d.flip();
    glFinish();
  };
  for (int i = 0; i < kWarmUpFrames; ++i) frame();
  for (auto _ : state) frame();
}
BENCHMARK(BM_ThinLayer)->DenseRange(0, 6)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

void BM_Screenshot(benchmark::State& state) {
  rm::Stage stage;
  display::DisplayControl d(display::make_headless_backend(), stage);
  d.initialize();
  d.set_gamma(dimmed_ramp());
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
BENCHMARK(BM_Screenshot)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
