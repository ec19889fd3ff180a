// Frames per second of the OpenGL scene renderer, headless (EGL surfaceless),
// drawing into the GPU back surface, each frame finished (glFinish): the
// built-in test scene at about 5,000 and 20,000 triangles, lit by ten
// lights, textured, fogged, with transparent and wireframe objects,
// 640 x 480; and a 20,000-triangle ground given a new flat wrap every frame.
#include <benchmark/benchmark.h>

#include "test_scene.h"
#include "platform/display/egl_context.h"
#include "platform/render/gl.h"
#include "platform/render/gl_util.h"
#include "platform/render/scene_renderer.h"


using namespace quarvel;

namespace {

void BM_RenderTestScene640x480(benchmark::State& state) {
  display::EglHeadlessContext ctx;
  render::BackSurface back(640, 480);
  rm::Root root;
  auto renderer = std::make_shared<render::SceneRenderer>(back);
  auto device = root.create_device(renderer, 640, 480);
  device->set_texture_quality(rm::TextureQuality::Linear);
  auto scene = root.create_frame();
  auto camera = root.create_frame(scene);
  auto viewport = root.create_viewport(device, camera, 0, 0, 640, 480);
  viewport->set_back(5000);
  auto ts = capture::build_test_scene(root, scene, camera, static_cast<int>(state.range(0)));
  float t = 0;
  for (auto _ : state) {
    ts.set_time(t);
    scene->move(1.0f);
    viewport->clear_and_render(*scene);
    glFinish();
    t += 1;
  }
  state.counters["triangles"] = static_cast<double>(ts.triangles);
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetLabel(render::gl_renderer());
}
BENCHMARK(BM_RenderTestScene640x480)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The show re-applies a flat wrap to its ground every tick.
void BM_GroundWrappedEveryFrame(benchmark::State& state) {
  display::EglHeadlessContext ctx;
  render::BackSurface back(640, 480);
  rm::Root root;
  auto renderer = std::make_shared<render::SceneRenderer>(back);
  auto device = root.create_device(renderer, 640, 480);
  auto scene = root.create_frame();
  auto camera = root.create_frame(scene);
  camera->set_position(scene.get(), {0, 300, -900});
  camera->set_orientation(scene.get(), {0, -0.3f, 1}, {0, 1, 0});
  auto viewport = root.create_viewport(device, camera, 0, 0, 640, 480);
  viewport->set_back(5000);
  auto ground = capture::make_grid(root, 2000, 100, 0xFF80A060);  // 100 x 100 cells: 20,000 triangles
  ground->set_texture(root.create_texture(capture::checker_picture(64, 4, 0xFF204020u, 0xFF60A060u)));
  auto holder = root.create_frame(scene);
  holder->add_visual(ground);
  float t = 0;
  for (auto _ : state) {
    root.create_wrap(rm::WrapType::Flat, nullptr, {t, 0, 0}, {0, 1, 0}, {0, 1, 0}, 0, 0, 0.01f, 0.01f)
        ->apply(*ground);
    viewport->clear_and_render(*scene);
    glFinish();
    t += 1;
  }
  state.counters["look_uploads"] = static_cast<double>(renderer->stats().look_uploads);
  state.counters["geometry_uploads"] = static_cast<double>(renderer->stats().geometry_uploads);
}
BENCHMARK(BM_GroundWrappedEveryFrame)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
