// One tick of the show's runtime with no scene built, headless on llvmpipe:
// clock, input, the (empty) scene's render, the picture layers (scan lines,
// cosine grid, banner and logo, the finale's fade with its ramp), the status
// overlay and the flip.
#include <benchmark/benchmark.h>

#include "app/main_form.h"
#include "platform/audio/music_system.h"
#include "platform/render/gl.h"

using namespace quarvel;

static void ShowTick(benchmark::State& state) {
  uint32_t now = 0;
  audio::MusicSystem music(audio::Playback::virtual_clock);
  app::TMainForm form(display::make_headless_backend(), [&now] { return now; }, music);
  for (auto& step : form.steps) step = [](scene::Show&) {};
  form.Show();
  scene::Show& s = form.show();
  s.chain.Party_actif = {};
  s.chain.Party_actif[scene::kForestFlightStep] = true;  // grid, banner, logo
  s.chain.Party_actif[scene::kExplosionStep] = true;     // scan lines
  s.chain.Party_actif[scene::kFinaleStep] = true;        // fade
  s.clock.horloge = 720.0f;                              // inside the fade, logo stage drawing
  s.layers.affiche_infos = state.range(0) != 0;
  for (auto _ : state) {
    now += 16;
    form.idle_loop.idle();
    glFinish();  // count the GPU work, not just its queuing
  }
}
BENCHMARK(ShowTick)->Arg(1)->Arg(0)->ArgName("overlay")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
