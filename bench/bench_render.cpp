// Frames per second of the OpenGL scene renderer, headless (EGL surfaceless):
// the built-in test scene at about 20,000 triangles, lit by ten lights,
// textured, fogged, with transparent and wireframe objects, 640 x 480.
#include <benchmark/benchmark.h>

#include "../tools/capture/test_scene.h"
#include "platform/display/egl_context.h"
#include "platform/render/gl_util.h"
#include "platform/render/scene_renderer.h"

#include "../tools/capture/test_scene.cpp"

using namespace quarvel;

namespace {

void BM_RenderTestScene640x480(benchmark::State& state) {
  display::EglHeadlessContext ctx;
  Picture back(640, 480);
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
    viewport->clear();
    viewport->render(*scene);
    device->update();
    t += 1;
  }
  state.counters["triangles"] = static_cast<double>(ts.triangles);
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetLabel(render::gl_renderer());
}
BENCHMARK(BM_RenderTestScene640x480)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
