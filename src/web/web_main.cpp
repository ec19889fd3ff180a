// The show in a web page (the web edition's program). The page's script
// (shell.js) loads the show's files, has the browser decode the music and
// the pictures, then starts the show here in one of two ways:
// - in real time: the frame timer reads the page's clock, the music plays
//   through Web Audio, one tick per animation frame;
// - on a virtual clock (the page's address asks for it): the music position
//   comes from a virtual stream moved on a fixed time a tick, exactly as the
//   headless runner does it, with its trace and pictures handed to the page.
// Keys and mouse come from the page's events, delivered before the next tick.
// In real time the desktop's player stands around the show: the page's
// control bar and the player's keys pause it, set the music's volume, go
// from scene to scene and change the look through it.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/main_form.h"
#include "app/music_startup.h"
#include "platform/audio/music_system.h"
#include "platform/audio/web_audio.h"
#include "platform/common/png_write.h"
#include "platform/common/web_pictures.h"
#include "platform/display/display.h"
#include "platform/display/frame_grabber.h"
#include "runner/chapters.h"
#include "runner/input_event.h"
#include "runner/player.h"
#include "runner/run_options.h"
#include "runner/trace.h"
#include "runner/virtual_clock.h"
#include "scene/show.h"

// What the page learns from the show (shell.js keeps it in window.quarvel).
EM_JS(void, page_tick_done, (int tick, int done), { Module.quarvelPage.tickDone(tick, done != 0); });
EM_JS(void, page_trace_line, (const char* line), { Module.quarvelPage.trace(UTF8ToString(line)); });
EM_JS(void, page_picture, (int tick, const char* path), { Module.quarvelPage.picture(tick, UTF8ToString(path)); });
EM_JS(void, page_ended, (), { Module.quarvelPage.ended(); });
EM_JS(void, page_offer_file, (const char* path), { Module.quarvelPage.offerFile(UTF8ToString(path)); });
// The player's state for the control bar, and whether the finale's free
// flight takes the mouse (the page locks the pointer for it then).
EM_JS(void, page_player_state, (int paused, int volume, int muted, const char* look, int chapter, int seeking,
                                int flight), {
  Module.quarvelPage.playerState({paused: paused != 0, volume: volume, muted: muted != 0, look: UTF8ToString(look),
                                  chapter: chapter, seeking: seeking != 0, flight: flight != 0});
});

namespace {

using namespace quarvel;

constexpr const char* kCanvas = "#screen";
constexpr const char* kLightFile = "tmp.tmp";  // where the save key appends the light line
constexpr const char* kPicturePath = "/tmp/quarvel_tick.png";
// A virtual-clock batch of ticks stops after this long, so the page stays
// responsive and shows the picture now and then.
constexpr double kBatchMs = 30.0;
// Ticks of a seek between two looks at the time it has taken.
constexpr int kSeekTicksPerStep = 30;

// What the operator chose on the page (its address, its local storage, the
// control bar), kept from one show to the next.
struct PageChoices {
  render::Look look = render::Look::Sharp;
  int volume = 100;
  bool muted = false;
  int scene = 0;  // the chapter the show starts at (0 or 1: the opening)
};

struct WebShow {
  bool virtual_clock = false;
  runner::RunOptions opt;
  bool manual = false;
  bool trace = false;

  audio::MusicSystem music;
  runner::VirtualTickClock clock;
  // Real time: the page's clock, standing still while the player pauses.
  std::unique_ptr<runner::PlayerClock> player_clock;
  std::unique_ptr<app::TMainForm> form;
  // Real time: the player, and what holds a seek's ticks back.
  std::unique_ptr<display::FrameGrabber> seeker;
  std::unique_ptr<runner::Player> player;
  runner::TraceWriter writer;
  long long tick = 0;         // ticks drawn
  long long limit = 0;        // ticks to draw at most
  long long allowed = 0;      // manual mode: ticks allowed so far
  bool done = false;
  std::vector<runner::InputEvent> pending;  // page events for the next tick (virtual clock), or the seek's end
  uintmax_t saved_bytes = 0;  // size of the light file when last offered

  WebShow(bool virt, const runner::RunOptions& o, bool man, const PageChoices& choices)
      : virtual_clock(virt), opt(o), manual(man), trace(!o.trace.empty()),
        music(virt ? audio::Playback::virtual_clock : audio::Playback::output), clock{o.ms_per_tick},
        writer(o.trace_operator) {
    limit = virtual_clock && opt.ticks_given ? opt.ticks : runner::kTickCap;
    const auto page_ms = [] { return static_cast<uint32_t>(emscripten_get_now()); };
    display::MillisecondClock ms;
    if (virtual_clock) {
      ms = [this] { return clock.now; };
    } else {
      player_clock = std::make_unique<runner::PlayerClock>(page_ms);
      ms = [this] { return player_clock->now(); };
    }
    form = std::make_unique<app::TMainForm>(display::make_web_backend(kCanvas), ms, music);
    form->DXDraw.set_look(choices.look);
    if (!virtual_clock) {
      seeker = std::make_unique<display::FrameGrabber>(form->DXDraw);
      player = std::make_unique<runner::Player>(*form, music, player_clock.get(), seeker.get(), page_ms);
      // The bar shows what the player says (the page has no font for the picture's text).
      player->set_overlay_shown(false);
    }
    form->FormCreate();
    if (player) player->set_volume(choices.volume, choices.muted, false);
    form->Show();
    if (player && choices.scene > 1) player->begin_seek(choices.scene);
  }

  // The finale's free flight reads the mouse now (its left button held).
  bool flight() const {
    return !done && !form->closing() && form->show().chain.Party_actif[scene::kFinaleStep] &&
           !(player && (player->paused() || player->seeking()));
  }
};

std::unique_ptr<WebShow> g_show;
runner::RunOptions g_opt;
bool g_virtual = false, g_manual = false;
PageChoices g_choices;

// Tells the page the player's state (after each animation frame).
void tell_player_state(const WebShow& w) {
  const runner::Player* p = w.player.get();
  page_player_state(p && p->paused(), p ? p->volume() : 100, p && p->muted(), render::look_name(w.form->DXDraw.look()),
                    runner::current_chapter(w.form->show()), p && p->seeking(), w.flight());
}

// Offers the light file as a download each time the save key made it grow.
void offer_saved_lines(WebShow& w) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(kLightFile, ec);
  if (ec || size == w.saved_bytes) return;
  w.saved_bytes = size;
  page_offer_file(kLightFile);
}

// The show ended (Esc) or ran the ticks asked for: the latter keeps its
// last picture on the canvas, the former leaves the "ended" screen.
void end_show(WebShow& w) {
  w.done = true;
  const bool closed = w.form->closing();
  page_tick_done(static_cast<int>(w.tick), 1);
  w.form->FormDestroy();
  emscripten_cancel_main_loop();
  if (closed) page_ended();
}

// One tick on the virtual clock, as the headless runner runs it: the page's
// events first, then the clock until the frame timer ticks, then the trace
// line and the picture asked for.
bool virtual_tick(WebShow& w) {
  app::TMainForm& form = *w.form;
  for (const runner::InputEvent& e : w.pending) runner::deliver(form, e);
  w.pending.clear();
  if (form.closing() || !w.clock.tick(form, w.music)) return false;
  if (w.trace) page_trace_line(w.writer.line(static_cast<int>(w.tick), w.clock.now, form, form.closing()).c_str());
  if (w.opt.png_at.count(static_cast<int>(w.tick))) {
    std::string error;
    if (write_png(kPicturePath, form.DXDraw.screenshot(), &error)) {
      page_picture(static_cast<int>(w.tick), kPicturePath);
    } else {
      std::fprintf(stderr, "quarvel: %s\n", error.c_str());
    }
  }
  ++w.tick;
  return !form.closing() && w.tick < w.limit;
}

// One tick in real time: the page's events went to the form as they came.
// While the player seeks, its ticks for about as long as a batch; while it
// pauses, no tick, and the last picture again when what is over it changed.
bool real_time_tick(WebShow& w) {
  app::TMainForm& form = *w.form;
  runner::Player& player = *w.player;
  if (player.seeking()) {
    const double started = emscripten_get_now();
    bool over = false;
    do {
      over = player.seek_step(kSeekTicksPerStep);
    } while (!over && emscripten_get_now() - started < kBatchMs);
    // The events that came meanwhile, as the window takes them after a seek.
    if (over) {
      for (const runner::InputEvent& e : w.pending) runner::deliver(form, e);
      w.pending.clear();
    }
  }
  const bool changed = player.update();
  if (player.seeking() || player.paused()) {
    if (changed && !player.seeking()) form.DXDraw.flip();
    w.tick = static_cast<long long>(form.ticks());
    return !form.closing();
  }
  const uint64_t before = form.ticks();
  // The frame timer ticks once its interval has passed; a few idle calls
  // at most per animation frame.
  for (int call = 0; call < 4 && form.ticks() == before && !form.closing(); ++call) form.idle_loop.idle();
  w.tick = static_cast<long long>(form.ticks());
  return !form.closing();
}

void frame() {
  if (!g_show || g_show->done) return;
  WebShow& w = *g_show;
  bool going = true;
  if (w.virtual_clock) {
    const double started = emscripten_get_now();
    do {
      if (w.manual && w.tick >= w.allowed) break;
      going = virtual_tick(w);
    } while (going && emscripten_get_now() - started < kBatchMs);
  } else {
    going = real_time_tick(w);
  }
  offer_saved_lines(w);
  tell_player_state(w);
  if (!going) {
    end_show(w);
    return;
  }
  page_tick_done(static_cast<int>(w.tick), 0);
}

// Starts the show; a start-up failure (no WebGL2, an error the desktop
// exits on) ends it at once, its line on the console as the desktop prints it.
void start_show() {
  if (g_show && g_show->player) {
    // Play again: the volume and the look as the operator left them, from
    // the opening.
    g_choices.volume = g_show->player->volume();
    g_choices.muted = g_show->player->muted();
    g_choices.look = g_show->form->DXDraw.look();
    g_choices.scene = 0;
  }
  g_show.reset();
  try {
    g_show = std::make_unique<WebShow>(g_virtual, g_opt, g_manual, g_choices);
  } catch (const app::ShowExit&) {
    // The error report has said why.
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarvel: %s\n", e.what());
  }
  if (!g_show) {
    page_tick_done(0, 1);
    page_ended();
    return;
  }
  tell_player_state(*g_show);
  page_tick_done(0, 0);
  emscripten_set_main_loop(frame, 0, 0);
  // In real time one tick an animation frame; on the virtual clock batches
  // of ticks as fast as the page allows, also while it is hidden.
  if (g_virtual) emscripten_set_main_loop_timing(EM_TIMING_SETIMMEDIATE, 0);
}

// A page event for the form: in real time at once, as the window delivers
// its events; on the virtual clock before the next tick, as the headless
// runner plays its script.
void page_event(const runner::InputEvent& e) {
  if (!g_show || g_show->done) return;
  if (g_show->virtual_clock || (g_show->player && g_show->player->seeking())) {
    g_show->pending.push_back(e);
  } else {
    runner::deliver(*g_show->form, e);
  }
}

}  // namespace

extern "C" {

// The page's calls (shell.js).

// A file of the show that the browser decoded: its PCM (interleaved 16-bit).
EMSCRIPTEN_KEEPALIVE void quarvel_add_track(const char* file, int rate, int channels, const int16_t* samples,
                                            int frames) {
  audio::PcmTrack t;
  t.rate = rate;
  t.channels = channels;
  t.samples.assign(samples, samples + static_cast<size_t>(frames) * static_cast<size_t>(channels));
  audio::add_browser_track(file, std::move(t));
}

EMSCRIPTEN_KEEPALIVE void quarvel_track_failed(const char* file, const char* reason) {
  audio::add_browser_failure(file, reason);
}

// A picture file's bytes and the browser's decoding of them (RGBA rows).
EMSCRIPTEN_KEEPALIVE void quarvel_add_picture(const uint8_t* bytes, int size, int width, int height,
                                              const uint8_t* rgba) {
  Picture p(width, height);
  for (size_t i = 0; i < p.pixels.size(); ++i) {
    const uint8_t* c = rgba + i * 4;
    p.pixels[i] = uint32_t{c[3]} << 24 | uint32_t{c[0]} << 16 | uint32_t{c[1]} << 8 | c[2];
  }
  web::add_decoded_picture(bytes, static_cast<size_t>(size), std::move(p));
}

// Key numbers are the show's virtual keys (the page maps the browser's).
// In real time the player's keys go to the player and never to the show:
// Pause, Ctrl+- and Ctrl+= (volume), Ctrl+M (mute), Ctrl+[ and Ctrl+]
// (scenes); its help (F1) is the page's own, its screenshot key the browser's.
EMSCRIPTEN_KEEPALIVE void quarvel_key(int vk, int down, int alt, int ctrl) {
  if (vk <= 0 || vk > 255) return;
  runner::Player* player = g_show && !g_show->done ? g_show->player.get() : nullptr;
  if (player) {
    const runner::PlayerKey k = runner::player_key(vk, ctrl != 0);
    if (k == runner::PlayerKey::PreviousScene || k == runner::PlayerKey::NextScene) {
      // The seek runs over the next animation frames.
      if (down) player->begin_chapter_step(k == runner::PlayerKey::PreviousScene ? -1 : 1);
      return;
    }
    if (k == runner::PlayerKey::Help || k == runner::PlayerKey::Screenshot) return;
    if (k != runner::PlayerKey::None) {
      if (down) player->key(vk, ctrl != 0);
      return;
    }
  }
  runner::InputEvent e;
  e.kind = down ? runner::InputEvent::Kind::KeyDown : runner::InputEvent::Kind::KeyUp;
  e.a = vk;
  e.alt = alt != 0;
  page_event(e);
}

// Mouse movement in page pixels since the last call (none piles up for
// the flight while the player pauses).
EMSCRIPTEN_KEEPALIVE void quarvel_mouse_move(int dx, int dy) {
  if (g_show && g_show->player && g_show->player->paused()) return;
  runner::InputEvent e;
  e.kind = runner::InputEvent::Kind::Mouse;
  e.a = dx;
  e.b = dy;
  page_event(e);
}

// A button (0 left, 1 right, 2 middle) pressed or released at (x, y) in
// page pixels of the canvas; a press on the picture also picks there.
EMSCRIPTEN_KEEPALIVE void quarvel_mouse_button(int button, int down, int x, int y) {
  if (!g_show || g_show->done || button < 0 || button > 2) return;
  runner::InputEvent e;
  e.kind = runner::InputEvent::Kind::Button;
  e.a = button;
  e.down = down != 0;
  page_event(e);
  int sx = 0, sy = 0;
  app::TMainForm& form = *g_show->form;
  if (e.down && form.DXDraw.initialized() && form.DXDraw.backend().to_surface(x, y, &sx, &sy)) {
    runner::InputEvent click;
    click.kind = runner::InputEvent::Kind::Click;
    click.button = button;
    click.a = sx;
    click.b = sy;
    page_event(click);
  }
}

// The page lost or regained the focus (real time only, as the window).
EMSCRIPTEN_KEEPALIVE void quarvel_focus(int active) {
  if (!g_show || g_show->virtual_clock) return;
  runner::InputEvent e;
  e.kind = runner::InputEvent::Kind::Focus;
  e.down = active != 0;
  page_event(e);
}

// Manual mode: lets n more ticks run.
EMSCRIPTEN_KEEPALIVE void quarvel_advance(int n) {
  if (g_show && n > 0) g_show->allowed += n;
}

// Esc from the page's own controls.
EMSCRIPTEN_KEEPALIVE void quarvel_close() {
  quarvel_key(27, 1, 0, 0);
}

// The control bar (real time only).

EMSCRIPTEN_KEEPALIVE void quarvel_pause(int on) {
  if (g_show && !g_show->done && g_show->player) g_show->player->set_paused(on != 0);
}

// Volume 0..100 and mute, as the bar shows them (no note on the picture).
EMSCRIPTEN_KEEPALIVE void quarvel_volume(int percent, int muted) {
  if (g_show && !g_show->done && g_show->player) g_show->player->set_volume(percent, muted != 0, false);
}

// The look by name: true when it is one.
EMSCRIPTEN_KEEPALIVE int quarvel_look(const char* name) {
  const auto look = render::look_from_name(name);
  if (!look || !g_show || g_show->done) return 0;
  g_show->form->DXDraw.set_look(*look);
  // A paused picture is presented again in the new look.
  const runner::Player* player = g_show->player.get();
  if (player && player->paused() && !player->seeking()) g_show->form->DXDraw.flip();
  return 1;
}

// Goes to chapter 1..6 (the seek runs over the next animation frames).
EMSCRIPTEN_KEEPALIVE void quarvel_chapter(int chapter) {
  if (g_show && !g_show->done && g_show->player && chapter >= 1 && chapter <= runner::kChapters)
    g_show->player->begin_chapter(chapter);
}

// The chapter's name ("opening" ... "finale").
EMSCRIPTEN_KEEPALIVE const char* quarvel_chapter_name(int chapter) { return runner::chapter_name(chapter); }

// Plays the show again from its start.
EMSCRIPTEN_KEEPALIVE void quarvel_again() { start_show(); }

}  // extern "C"

// The run's arguments as the headless runner takes them (the page turns its
// address into them), plus --virtual and --manual, and the window program's
// --scene, --volume and --mute for real time. Bad ones: one line and
// status 2.
int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error, value;
  for (size_t i = 0; i < args.size() && error.empty(); ++i) {
    if (args[i] == "--virtual") {
      g_virtual = true;
    } else if (args[i] == "--manual") {
      g_manual = true;
    } else if (args[i] == "--mute") {
      g_choices.muted = true;
    } else if (args[i] == "--volume") {
      runner::option_int(args, i, 0, 100, g_choices.volume, error);
    } else if (args[i] == "--scene") {
      if (runner::option_value(args, i, value, error)) runner::parse_chapter(value, g_choices.scene, error);
    } else if (runner::read_run_option(args, i, g_opt, error) == runner::OptionRead::NotMine) {
      error = "unknown argument: " + args[i];
    }
  }
  if (error.empty()) runner::check_run_options(g_opt, !g_opt.ticks_given, error);
  if (error.empty()) g_choices.look = render::look_from_name(g_opt.look).value_or(render::Look::Sharp);
  if (!error.empty()) {
    std::fprintf(stderr, "quarvel: %s\n", error.c_str());
    return 2;
  }
  std::error_code ec;
  std::filesystem::current_path("/show", ec);
  start_show();
  return 0;
}
