// CPU cost of posing and listing a scene graph: 1,000 frames driven by
// animations, each with a mesh, turned into a render list.
#include <benchmark/benchmark.h>

#include "platform/retained/root.h"

using namespace quarvel::rm;

namespace {

struct NullBackend : RenderBackend {
  size_t items = 0;
  void execute(RenderList&& list) override { items += list.items.size(); }
};

struct Graph {
  Root root;
  std::shared_ptr<NullBackend> backend = std::make_shared<NullBackend>();
  std::shared_ptr<Device> device = root.create_device(backend, 640, 480);
  std::shared_ptr<Frame> scene = root.create_frame();
  std::shared_ptr<Frame> camera = root.create_frame(scene);
  std::shared_ptr<Viewport> viewport = root.create_viewport(device, camera, 0, 0, 640, 480);
  std::vector<std::shared_ptr<Animation>> animations;

  explicit Graph(int frames) {
    auto mesh = root.create_mesh_builder();
    for (int i = 0; i < 8; ++i) mesh->add_vertex({float(i & 1), float((i >> 1) & 1), float(i >> 2)});
    mesh->add_face({0, 1, 3, 2});
    mesh->add_face({4, 6, 7, 5});
    mesh->add_face({0, 4, 5, 1});
    camera->set_position(scene.get(), {0, 0, -500});
    viewport->set_back(5000);
    // Groups of ten frames, three levels deep, every frame animated.
    std::shared_ptr<Frame> group;
    for (int i = 0; i < frames; ++i) {
      auto parent = i % 10 == 0 ? scene : group;
      auto f = root.create_frame(parent);
      if (i % 10 == 0) group = f;
      f->add_visual(mesh);
      auto a = root.create_animation();
      a->set_options(i % 2 ? 0x35 : 0x3A);
      for (int k = 0; k < 8; ++k) {
        a->add_position_key(k * 25.0f, {float(i % 37) - 18, float(k * 3), float(i % 11) * 10});
        a->add_rotation_key(k * 25.0f, quat_from_axis_angle({0, 1, 0}, k * 0.3f));
        a->add_scale_key(k * 25.0f, {1, 1 + k * 0.1f, 1});
      }
      a->set_frame(f);
      animations.push_back(a);
    }
  }
};

void BM_PoseAndList1000Frames(benchmark::State& state) {
  Graph g(1000);
  float t = 0;
  for (auto _ : state) {
    for (auto& a : g.animations) a->set_time(t);
    g.scene->move(1.0f);
    g.viewport->render(*g.scene);
    t += 0.7f;
  }
  benchmark::DoNotOptimize(g.backend->items);
}
BENCHMARK(BM_PoseAndList1000Frames)->Unit(benchmark::kMicrosecond);

void BM_Pose1000Frames(benchmark::State& state) {
  Graph g(1000);
  float t = 0;
  for (auto _ : state) {
    for (auto& a : g.animations) a->set_time(t);
    t += 0.7f;
  }
}
BENCHMARK(BM_Pose1000Frames)->Unit(benchmark::kMicrosecond);

void BM_List1000Frames(benchmark::State& state) {
  Graph g(1000);
  for (auto _ : state) {
    RenderList l = g.viewport->build_render_list(*g.scene);
    benchmark::DoNotOptimize(l.items.data());
  }
}
BENCHMARK(BM_List1000Frames)->Unit(benchmark::kMicrosecond);

void BM_Pick1000Frames(benchmark::State& state) {
  Graph g(1000);
  for (auto _ : state) benchmark::DoNotOptimize(g.viewport->pick(320, 240).size());
}
BENCHMARK(BM_Pick1000Frames)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
