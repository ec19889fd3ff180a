#include "show_runner.h"

#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "app/main_form.h"
#include "platform/audio/music_system.h"
#include "platform/display/display.h"
#include "platform/display/frame_grabber.h"
#include "runner/chapters.h"
#include "runner/input_script.h"
#include "runner/player.h"
#include "runner/trace.h"
#include "runner/virtual_clock.h"

namespace quarvel::capture {
namespace {

// The trace's stream, with the first failure to write it.
struct TraceFile {
  std::FILE* f = nullptr;
  bool own = false;
  std::string name;     // as the error line names it
  std::string failure;  // why writing failed, once it has
  ~TraceFile() { close(); }
  // Notes a failed write; true while all is well.
  bool check() {
    if (failure.empty() && f && std::ferror(f)) failure = std::strerror(errno);
    return failure.empty();
  }
  // Flushes (and closes its own file); false once any write has failed.
  bool close() {
    if (!f) return failure.empty();
    const bool flushed = std::fflush(f) == 0 && check();
    if (!flushed && failure.empty()) failure = std::strerror(errno);
    if (own && std::fclose(f) != 0 && failure.empty()) failure = std::strerror(errno);
    f = nullptr;
    return failure.empty();
  }
};

}  // namespace

std::string step_name(int step) { return step > 0 ? "Party_" + std::to_string(step) : "loading"; }

int play_show(const runner::RunOptions& opt, int ticks, const AfterTick& after_tick) {
  OnTick on_tick;
  if (after_tick) {
    on_tick = [&after_tick](const TickInfo& t, display::FrameGrabber& grabber) {
      return after_tick(t.tick, grabber.display());
    };
  }
  return play_show(opt, ticks, on_tick);
}

int play_show(const runner::RunOptions& opt, int ticks, const OnTick& on_tick, const AtEnd& at_end) {
  runner::InputScript script;
  if (!opt.input.empty()) {
    std::string error;
    if (!runner::load_input_script(opt.input, script, error)) {
      std::fprintf(stderr, "quarvel-capture: %s\n", error.c_str());
      return 2;
    }
  }
  TraceFile trace;
  if (opt.trace == "-") {
    trace.f = stdout;
    trace.name = "standard output";
  } else if (!opt.trace.empty()) {
    trace.f = std::fopen(opt.trace.c_str(), "wb");
    trace.own = true;
    trace.name = opt.trace;
    if (!trace.f) {
      std::fprintf(stderr, "quarvel-capture: %s: cannot write the trace\n", opt.trace.c_str());
      return 2;
    }
  }

  runner::VirtualTickClock clock{opt.ms_per_tick};
  // The music plays on a virtual clock that moves with the ticks.
  audio::MusicSystem music(audio::Playback::virtual_clock);
  app::TMainForm form(opt.draw ? display::make_headless_backend() : display::make_recording_backend(),
                      [&clock] { return clock.now; }, music);
  display::FrameGrabber grabber(form.DXDraw);
  // The look is the presentation's alone: the show and its trace are the
  // same in every look.
  form.DXDraw.set_look(render::look_from_name(opt.look).value_or(render::Look::Sharp));
  form.FormCreate();
  form.Show();
  form.DXDraw.set_finish_render(opt.split_render);

  runner::TraceWriter writer(opt.trace_operator);
  runner::Player player(form, music, nullptr, nullptr, [&clock] { return clock.now; });
  const long long limit = opt.ticks_given ? ticks : kTickCap;
  size_t next = 0;
  int status = 0;
  long long tick = 0;
  bool chapter_due = opt.scene > 0;
  for (; tick < limit && !form.closing(); ++tick) {
    // The tick's events first, as the window delivers them between ticks.
    while (next < script.events.size() && script.events[next].tick <= tick) {
      const runner::InputEvent& e = script.events[next++];
      if (e.kind != runner::InputEvent::Kind::Pause) {
        runner::deliver(form, e);
        continue;
      }
      // A pause: frames of the runner go by (the music would move on with
      // them) while no tick runs and no trace line is written; the virtual
      // clock the form reads stands still.
      player.set_paused(true);
      for (int frame = 0; frame < e.a; ++frame) {
        music.advance_seconds(opt.ms_per_tick / 1000.0);
        if (!grabber.seeking()) form.DXDraw.flip();
      }
      player.set_paused(false);
    }
    if (form.closing()) break;
    // Seeking: before --from, and until the chapter of --scene is reached.
    const bool seeking = tick < opt.from || chapter_due;
    grabber.set_seeking(seeking);
    // Virtual time moves until the frame timer ticks once.
    const auto started = std::chrono::steady_clock::now();
    const std::clock_t cpu_started = std::clock();
    const double render_before = form.DXDraw.render_cpu_seconds();
    if (!clock.tick(form, music)) break;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    const double cpu_took = static_cast<double>(std::clock() - cpu_started) / CLOCKS_PER_SEC;
    const double render_took = form.DXDraw.render_cpu_seconds() - render_before;
    if (chapter_due && runner::current_chapter(form.show()) >= opt.scene) chapter_due = false;
    if (trace.f) {
      const std::string line = writer.line(static_cast<int>(tick), clock.now, form, form.closing());
      std::fwrite(line.data(), 1, line.size(), trace.f);
      std::fputc('\n', trace.f);
      // A trace that cannot be written stops the run: it would be lost.
      if (!trace.check()) {
        status = 2;
        break;
      }
    }
    if (seeking || !on_tick) continue;
    TickInfo info;
    info.tick = static_cast<int>(tick);
    info.ms = clock.now;
    info.horloge = form.show().clock.horloge;
    for (const scene::StepFlag flag : scene::kStepFlags)
      if (form.show().chain.Party_actif[flag]) info.step = scene::step_number(flag);
    info.seconds = took.count();
    info.cpu_seconds = cpu_took;
    info.render_cpu_seconds = render_took;
    if (audio::MusicStream* stream = music.stream(form.show().clock.flux_musique)) {
      info.music_playing = stream->playing();
      info.music_pos = stream->position();
      info.music = &stream->track();
      uint64_t frames = 0;
      if (info.music->known_length(frames)) info.music_bytes = frames * info.music->frame_bytes();
    }
    if (!on_tick(info, grabber)) {
      status = 2;
      break;
    }
  }
  if (!opt.ticks_given && tick >= kTickCap && !form.closing()) {
    std::fprintf(stderr, "quarvel-capture: the show had not ended after %d ticks; stopped there\n", kTickCap);
  }
  if (!trace.close()) {
    std::fprintf(stderr, "quarvel-capture: %s: cannot write the trace (%s)\n", trace.name.c_str(),
                 trace.failure.c_str());
    status = 2;
  }
  if (at_end && !at_end(grabber)) status = 2;
  form.FormDestroy();
  return status;
}

}  // namespace quarvel::capture
