#include "capture.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>

#include "app/main_form.h"
#include "platform/audio/music_system.h"
#include "platform/common/png_write.h"
#include "platform/display/display.h"
#include "platform/display/display_error.h"
#include "platform/display/frame_grabber.h"
#include "platform/retained/stage.h"
#include "platform/retained/x_loader.h"
#include "platform/audio/pcm_track.h"
#include "platform/audio/track_buffer.h"
#include "progress.h"
#include "test_scene.h"
#include "timedemo.h"
#include "video.h"

namespace quarvel::capture {
namespace fs = std::filesystem;
namespace {

std::string frame_name(const std::string& dir, int tick) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "frame_%06d.png", tick);
  return (std::filesystem::path(dir) / buf).string();
}

bool wants_png(const Options& opt, int tick) {
  return opt.show_run.png_at.count(tick) || (opt.png_every > 0 && tick % opt.png_every == 0);
}

bool write_frame(const Options& opt, const Picture& picture, int tick) {
  std::string error;
  if (!write_png(frame_name(opt.out, tick), picture, &error)) {
    std::fprintf(stderr, "quarvel-capture: %s\n", error.c_str());
    return false;
  }
  return true;
}

// Where the picture and the music go until they are put together.
std::string picture_only_path(const std::string& video) { return video + ".picture.mp4"; }
std::string music_only_path(const std::string& video) { return video + ".music.m4a"; }

// The whole track, once its decoding has finished.
audio::PcmTrack whole_track(const audio::TrackBuffer& track) {
  audio::PcmTrack out;
  out.rate = track.rate();
  out.channels = track.channels();
  uint64_t frames = track.wait_for(UINT64_MAX);
  track.known_length(frames);
  out.samples.resize(frames * static_cast<uint64_t>(out.channels));
  track.copy(0, frames, reinterpret_cast<uint8_t*>(out.samples.data()));
  return out;
}

// Puts the music under the picture-only video (or, with no music, keeps it
// as it is) and writes the final file.
bool finish_video(const Options& opt, MusicEncoder& music, long long frames, const std::string& ffmpeg) {
  const std::string picture = picture_only_path(opt.video);
  std::error_code ec;
  if (!music.is_open()) {
    fs::rename(picture, opt.video, ec);
    if (ec) std::fprintf(stderr, "quarvel-capture: %s: cannot write (%s)\n", opt.video.c_str(), ec.message().c_str());
    return !ec;
  }
  std::string error;
  const bool ok = music.close(frames, error) && mux_music(ffmpeg, picture, music_only_path(opt.video), opt.video, error);
  if (!ok) std::fprintf(stderr, "quarvel-capture: %s: %s\n", opt.video.c_str(), error.c_str());
  return ok;
}

// The show's pictures are read a frame or more late (reading each at once
// would wait for it to be drawn): what each queued one is for.
struct Wanted {
  int tick = 0;
  bool png = false;
  bool video = false;
};

// Hands the queued pictures already read (with `all`, every one, waiting)
// to their PNG files and the encoder, oldest first.
bool deliver(const Options& opt, display::FrameGrabber& grabber, std::deque<Wanted>& wanted, VideoEncoder& encoder,
             bool all) {
  Picture p;
  while (!wanted.empty() && grabber.take_screenshot(p, all)) {
    const Wanted w = wanted.front();
    wanted.pop_front();
    if (w.png && !write_frame(opt, p, w.tick)) return false;
    if (w.video && !encoder.add(std::move(p))) return false;
  }
  return true;
}

// Whether a file can be written at `path` (its folder exists and takes it):
// tried by opening it for appending, so nothing already there is lost, and
// a file made for the trial is removed again.
bool can_create(const std::string& path, std::string& error) {
  std::error_code ec;
  const bool existed = fs::exists(path, ec);
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (!f) {
    error = std::strerror(errno);
    return false;
  }
  std::fclose(f);
  if (!existed) fs::remove(path, ec);
  return true;
}

// The first tick asked for (--from, --png-at) after `last`, the run's last
// rendered tick (-1 for none), as an error; empty when every one was reached.
std::string unreached(const Options& opt, int last) {
  auto ended_before = [](const char* option, int tick, const char* lost) {
    return std::string(option) + " " + std::to_string(tick) + ": the show ended before that tick; " + lost;
  };
  const bool video = !opt.video.empty();
  if (last < opt.show_run.from && opt.show_run.from > 0)
    return ended_before("--from", opt.show_run.from, video ? "no video written" : "nothing captured");
  if (last < 0 && video) return "the show ended before its first tick; no video written";
  if (!opt.show_run.png_at.empty() && *opt.show_run.png_at.rbegin() > last)
    return ended_before("--png-at", *opt.show_run.png_at.rbegin(), "no picture written for it");
  return {};
}

// The show itself, headless: the main form on a virtual clock.
int run_show(const Options& opt) {
  std::string ffmpeg;
  VideoEncoder encoder;
  if (!opt.video.empty()) {
    ffmpeg = find_program("ffmpeg");
    if (ffmpeg.empty()) {
      std::fprintf(stderr, "quarvel-capture: --video needs the ffmpeg program, which is not installed "
                           "(Debian: apt-get install ffmpeg)\n");
      return 2;
    }
    std::string error;
    // Said in our own words before ffmpeg would say it in its own.
    for (const std::string& path : {opt.video, picture_only_path(opt.video), music_only_path(opt.video)}) {
      if (!can_create(path, error)) {
        std::fprintf(stderr, "quarvel-capture: %s: cannot write the video (%s)\n", path.c_str(), error.c_str());
        return 2;
      }
    }
    // The smooth look presents the picture at the headless back end's
    // smooth scale, twice its size.
    const int shown = opt.show_run.look == "smooth" ? 2 : 1;
    if (!encoder.open(ffmpeg, picture_only_path(opt.video), opt.scale, frame_rate_text(opt.show_run.ms_per_tick),
                      error, shown)) {
      std::fprintf(stderr, "quarvel-capture: %s: %s\n", opt.video.c_str(), error.c_str());
      return 2;
    }
  }
  const bool long_run = !opt.video.empty() || opt.timedemo || (opt.png_every > 0 && !opt.show_run.ticks_given);
  Progress progress(long_run && progress_wanted());
  Timedemo demo;
  // The music outlives the run's form: a copy of it is kept.
  std::unique_ptr<audio::PcmTrack> music;
  MusicEncoder music_encoder;
  long long frames = 0;
  const double tick_seconds = opt.show_run.ms_per_tick / 1000.0;
  std::deque<Wanted> wanted;
  bool delivered = true;  // false once a picture could not be written
  const auto started = std::chrono::steady_clock::now();
  int last_tick = -1;  // the last tick rendered
  const auto on_tick = [&](const TickInfo& t, display::FrameGrabber& grabber) {
    last_tick = t.tick;
    progress.update(t);
    if (opt.timedemo) demo.add(t);
    const Wanted w{t.tick, wants_png(opt, t.tick), !opt.video.empty()};
    if (w.video && !music && t.music_playing && t.music && t.music->rate() > 0) {
      music = std::make_unique<audio::PcmTrack>(whole_track(*t.music));
      const double played = static_cast<double>(t.music_pos) / t.music->frame_bytes() / t.music->rate();
      // The video seconds at which the music's start falls.
      const double offset = static_cast<double>(frames) * tick_seconds - played;
      std::string error;
      if (!music->empty() &&
          !music_encoder.open(ffmpeg, music_only_path(opt.video), *music, offset, tick_seconds, error)) {
        std::fprintf(stderr, "quarvel-capture: %s: %s\n", opt.video.c_str(), error.c_str());
        return delivered = false;
      }
    }
    if (w.png || w.video) {
      grabber.queue_screenshot();
      wanted.push_back(w);
    }
    ++frames;
    if (music_encoder.is_open()) music_encoder.feed(frames);
    delivered = deliver(opt, grabber, wanted, encoder, false);
    return delivered;
  };
  // The last pictures are still being read when the run ends.
  const auto at_end = [&](display::FrameGrabber& grabber) {
    return delivered && deliver(opt, grabber, wanted, encoder, true);
  };
  int status = play_show(opt.show_run, opt.show_run.ticks, on_tick, at_end);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  progress.finish();
  if (status == 0) {
    const std::string missed = unreached(opt, last_tick);
    if (!missed.empty()) {
      std::fprintf(stderr, "quarvel-capture: %s\n", missed.c_str());
      status = 2;
    }
  }
  if (!opt.video.empty()) {
    std::string error;
    if (!encoder.close(error)) {
      std::fprintf(stderr, "quarvel-capture: %s: %s\n", opt.video.c_str(), error.c_str());
      status = 2;
    } else if (status == 0 && !finish_video(opt, music_encoder, frames, ffmpeg)) {
      status = 2;
    }
    std::error_code ec;
    fs::remove(picture_only_path(opt.video), ec);
    fs::remove(music_only_path(opt.video), ec);
  }
  if (opt.timedemo) {
    const TimedemoReport r = demo.report(wall);
    std::fputs((opt.json ? timedemo_json(r) : timedemo_text(r)).c_str(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      std::fprintf(stderr, "quarvel-capture: standard output: cannot write the figures (%s)\n", std::strerror(errno));
      status = 2;
    }
  }
  return status;
}

// A scene of the runner's own, posed each tick by `pose`, then moved,
// rendered and flipped as the show does.
template <typename Pose>
int run_scene(const Options& opt, rm::Stage& stage, display::DisplayControl& d, Pose pose) {
  for (int tick = 0; tick < opt.show_run.ticks; ++tick) {
    pose(tick);
    stage.scene->move(1.0f);
    d.render();
    d.flip();
    if (wants_png(opt, tick) && !write_frame(opt, d.screenshot(), tick)) return 2;
  }
  return 0;
}

int run_test_scene(const Options& opt) {
  rm::Stage stage;
  display::DisplayControl d(display::make_headless_backend(), stage);
  d.set_look(render::look_from_name(opt.show_run.look).value_or(render::Look::Sharp));
  d.initialize();
  stage.viewport->set_front(1.0f);
  stage.viewport->set_back(5000.0f);
  TestScene scene = build_test_scene(stage.root, stage.scene, stage.camera, opt.detail);
  return run_scene(opt, stage, d, [&](int tick) { scene.set_time(static_cast<float>(tick)); });
}

void grow_bounds(const rm::Frame& f, rm::Vec3& lo, rm::Vec3& hi, bool& any) {
  const rm::Mat4 world = f.world_transform();
  for (const auto& v : f.visuals()) {
    auto mb = std::dynamic_pointer_cast<rm::MeshBase>(v);
    if (!mb || mb->face_count() == 0) continue;
    const rm::Box b = mb->box();
    for (int i = 0; i < 8; ++i) {
      const rm::Vec3 c{i & 1 ? b.max.x : b.min.x, i & 2 ? b.max.y : b.min.y, i & 4 ? b.max.z : b.min.z};
      const rm::Vec3 w = world.transform_point(c);
      if (!any) {
        lo = hi = w;
        any = true;
      }
      lo = {std::min(lo.x, w.x), std::min(lo.y, w.y), std::min(lo.z, w.z)};
      hi = {std::max(hi.x, w.x), std::max(hi.y, w.y), std::max(hi.z, w.z)};
    }
  }
  for (const auto& c : f.children()) grow_bounds(*c, lo, hi, any);
}

void set_texture_everywhere(rm::Frame& f, const std::shared_ptr<rm::Texture>& t) {
  for (const auto& v : f.visuals())
    if (auto mb = rm::as_mesh_builder(v)) mb->set_texture(t);
  for (const auto& c : f.children()) set_texture_everywhere(*c, t);
}

// One model file turning in front of the camera, lit.
int run_model(const Options& opt) {
  rm::Stage stage;
  display::DisplayControl d(display::make_headless_backend(), stage);
  d.set_look(render::look_from_name(opt.show_run.look).value_or(render::Look::Sharp));
  d.initialize();
  auto pivot = stage.root.create_frame(stage.scene);
  auto holder = stage.root.create_frame(pivot);
  auto set = stage.root.create_animation_set();
  std::string error;
  if (!rm::load_animation_set(*set, opt.model, holder, error)) {
    std::fprintf(stderr, "quarvel-capture: %s\n", error.c_str());
    return 2;
  }
  if (!opt.texture.empty()) {
    auto tex = rm::load_texture_file(opt.texture, error);
    if (!tex) {
      std::fprintf(stderr, "quarvel-capture: %s\n", error.c_str());
      return 2;
    }
    set_texture_everywhere(*holder, tex);
  }
  set->set_time(0.0f);
  rm::Vec3 lo{}, hi{};
  bool any = false;
  grow_bounds(*holder, lo, hi, any);
  if (!any) {
    std::fprintf(stderr, "quarvel-capture: %s: the model has no faces to show\n", opt.model.c_str());
    return 2;
  }
  const rm::Vec3 centre{(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2};
  const rm::Vec3 size{hi.x - lo.x, hi.y - lo.y, hi.z - lo.z};
  const float radius = std::max(0.5f * std::sqrt(size.x * size.x + size.y * size.y + size.z * size.z), 1e-3f);
  // Turn about the model's centre.
  pivot->set_position(stage.scene.get(), centre);
  holder->set_position(pivot.get(), {-centre.x, -centre.y, -centre.z});
  pivot->set_rotation(stage.scene.get(), {0, 1, 0}, 2.0f * 3.14159265f / 120.0f);

  stage.viewport->set_back(radius * 20.0f);
  stage.viewport->set_front(radius * 0.01f);
  stage.viewport->set_field(0.5f);
  stage.camera->set_position(stage.scene.get(), {centre.x, centre.y + radius * 0.5f, centre.z - radius * 2.4f});
  stage.camera->look_at(*pivot, stage.scene.get());

  stage.scene->add_light(stage.root.create_light_rgb(rm::LightType::Ambient, 0.35f, 0.35f, 0.35f));
  auto sun = stage.root.create_frame(stage.scene);
  sun->set_orientation(stage.scene.get(), {0.5f, -0.7f, 1.0f}, {0, 1, 0});
  sun->add_light(stage.root.create_light_rgb(rm::LightType::Directional, 0.9f, 0.9f, 0.85f));
  stage.scene->set_scene_background(0xFF202830u);

  return run_scene(opt, stage, d, [&](int tick) {
    if (opt.anim_step != 0.0f) set->set_time(static_cast<float>(tick) * opt.anim_step);
  });
}

}  // namespace

int run(const Options& opt_in) {
  Options opt = opt_in;
  if (!opt.show_dir.empty()) {
    // Paths given on the command line stay relative to where we started.
    std::error_code ec;
    const fs::path here = fs::current_path();
    opt.out = (here / opt.out).string();
    if (!opt.video.empty()) opt.video = (here / opt.video).string();
    if (!opt.model.empty()) opt.model = (here / opt.model).string();
    if (!opt.texture.empty()) opt.texture = (here / opt.texture).string();
    fs::current_path(opt.show_dir, ec);
    if (ec) {
      std::fprintf(stderr, "quarvel-capture: %s: cannot enter the show folder (%s)\n", opt.show_dir.c_str(),
                   ec.message().c_str());
      return 2;
    }
  }
  if (!opt.show_run.png_at.empty() || opt.png_every > 0) {
    std::error_code ec;
    std::filesystem::create_directories(opt.out, ec);
    if (ec) {
      std::fprintf(stderr, "quarvel-capture: %s: cannot create the folder (%s)\n", opt.out.c_str(),
                   ec.message().c_str());
      return 2;
    }
  }
  try {
    switch (opt.mode) {
      case Options::Mode::TestScene: return run_test_scene(opt);
      case Options::Mode::Model: return run_model(opt);
      case Options::Mode::Show: return run_show(opt);
    }
  } catch (const display::DisplayError& e) {
    std::fprintf(stderr, "quarvel-capture: %s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace quarvel::capture
