#include "capture.h"

#include <chrono>
#include <cmath>
#include <cstdio>
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
#include "options.h"
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
  return opt.png_at.count(tick) || (opt.png_every > 0 && tick % opt.png_every == 0);
}

bool write_frame(const Options& opt, const Picture& picture, int tick) {
  std::string error;
  if (!write_png(frame_name(opt.out, tick), picture, &error)) {
    std::fprintf(stderr, "quarvel-capture: %s\n", error.c_str());
    return false;
  }
  return true;
}

// Where the picture goes while the music is not yet under it.
std::string picture_only_path(const std::string& video) { return video + ".picture.mp4"; }

// Puts the music under the picture-only video (or, with no music, keeps it
// as it is) and writes the final file.
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

bool finish_video(const Options& opt, const audio::PcmTrack* music, double offset, long long frames,
                  const std::string& ffmpeg) {
  const std::string picture = picture_only_path(opt.video);
  std::error_code ec;
  if (!music || music->empty()) {
    fs::rename(picture, opt.video, ec);
    if (ec) std::fprintf(stderr, "quarvel-capture: %s: cannot write (%s)\n", opt.video.c_str(), ec.message().c_str());
    return !ec;
  }
  const auto pcm = music_under_video(*music, offset, frames, opt.show_run.ms_per_tick / 1000.0);
  std::string error;
  const bool ok = mux_music(ffmpeg, picture, pcm, music->rate, music->channels, opt.video, error);
  if (!ok) std::fprintf(stderr, "quarvel-capture: %s: %s\n", opt.video.c_str(), error.c_str());
  fs::remove(picture, ec);
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
    if (!encoder.open(ffmpeg, picture_only_path(opt.video), opt.scale, frame_rate_text(opt.show_run.ms_per_tick),
                      error)) {
      std::fprintf(stderr, "quarvel-capture: %s: %s\n", opt.video.c_str(), error.c_str());
      return 2;
    }
  }
  const bool long_run = !opt.video.empty() || opt.timedemo || (opt.png_every > 0 && !opt.show_run.ticks_given);
  Progress progress(long_run && progress_wanted());
  Timedemo demo;
  // The music outlives the run's form: a copy of it is kept.
  std::unique_ptr<audio::PcmTrack> music;
  double music_offset = 0;  // video seconds at which the music's start falls
  long long frames = 0;
  const double tick_seconds = opt.show_run.ms_per_tick / 1000.0;
  std::deque<Wanted> wanted;
  bool delivered = true;  // false once a picture could not be written
  const auto started = std::chrono::steady_clock::now();
  const auto on_tick = [&](const TickInfo& t, display::FrameGrabber& grabber) {
    progress.update(t);
    if (opt.timedemo) demo.add(t);
    const Wanted w{t.tick, wants_png(opt, t.tick), !opt.video.empty()};
    if (w.video && !music && t.music_playing && t.music && t.music->rate() > 0) {
      music = std::make_unique<audio::PcmTrack>(whole_track(*t.music));
      const double played = static_cast<double>(t.music_pos) / t.music->frame_bytes() / t.music->rate();
      music_offset = static_cast<double>(frames) * tick_seconds - played;
    }
    if (w.png || w.video) {
      grabber.queue_screenshot();
      wanted.push_back(w);
    }
    ++frames;
    delivered = deliver(opt, grabber, wanted, encoder, false);
    return delivered;
  };
  // The last pictures are still being read when the run ends.
  const auto at_end = [&](display::FrameGrabber& grabber) {
    return delivered && deliver(opt, grabber, wanted, encoder, true);
  };
  int status = play_show(opt.show_run, opt.ticks, on_tick, at_end);
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  progress.finish();
  if (!opt.video.empty()) {
    std::string error;
    if (!encoder.close(error)) {
      std::fprintf(stderr, "quarvel-capture: %s: %s\n", opt.video.c_str(), error.c_str());
      status = 2;
    } else if (status == 0 && !finish_video(opt, music.get(), music_offset, frames, ffmpeg)) {
      status = 2;
    }
    std::error_code ec;
    fs::remove(picture_only_path(opt.video), ec);
  }
  if (opt.timedemo) {
    const TimedemoReport r = demo.report(wall);
    std::fputs((opt.json ? timedemo_json(r) : timedemo_text(r)).c_str(), stdout);
    std::fflush(stdout);
  }
  return status;
}

// A scene of the runner's own, posed each tick by `pose`, then moved,
// rendered and flipped as the show does.
template <typename Pose>
int run_scene(const Options& opt, rm::Stage& stage, display::DisplayControl& d, Pose pose) {
  for (int tick = 0; tick < opt.ticks; ++tick) {
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

const char* usage() {
  return "usage: quarvel-capture [options]\n"
         "Runs the show headless (no display needed) on a virtual clock and writes the\n"
         "presented picture of chosen ticks (0-based) as DIR/frame_00000K.png.\n"
         "\n"
         "  --ticks N          ticks to run, 1 to 100000000 (default 100); a show run\n"
         "                     without it goes on until the show ends\n"
         "  --png-at K[,K...]  write the picture of tick K, 0 to 99999999 (repeatable)\n"
         "  --png-every N      also write every Nth tick, 1 to 100000000 (default: none)\n"
         "  --out DIR          folder for the pictures (default: the current folder)\n"
         "  --show DIR         the show folder, where the show's files are (default: the\n"
         "                     current folder when it holds sik_test.mp3 and 00000000.dat,\n"
         "                     else the show folder beside the program, build/show)\n"
         "\n"
         "  --from TICK        run the ticks before TICK without rendering or presenting\n"
         "                     them (the show's state is the same) and capture from TICK\n"
         "  --video FILE.mp4   write the show as H.264 video (yuv420p, one frame a tick)\n"
         "                     with its music as AAC; needs the ffmpeg program\n"
         "    --scale N        the video N times 640 x 480, crisp pixels, 1 to 8 (default 1)\n"
         "  --timedemo         time every tick (steps, render, flip) and print frames, wall\n"
         "                     time, frames a second and frame times, overall and per scene\n"
         "    --json           print those figures as one JSON object\n"
         "  On a terminal, video, timedemo and whole-show PNG runs show a progress line.\n"
         "\n"
         "Instead of the show, one of these modes:\n"
         "  --test-scene       the renderer's built-in test scene\n"
         "    --detail N       its tessellation, 1 to 8 (default 1)\n"
         "  --model FILE       one model file turning in front of the camera\n"
         "    --texture PICTURE  put this picture on all its faces (default: its own)\n"
         "    --anim-step T    animation time added per tick, -1000 to 1000 (default 0)\n"
         "\n"
         "Exit status: 0 done, 1 no rendering available, 2 bad arguments or files.\n";
}

bool parse_options(const std::vector<std::string>& args, Options& opt, std::string& error, bool& help) {
  help = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      out = args[++i];
      return true;
    };
    auto int_value = [&](int& out, int lo, int hi) {
      std::string s;
      return value(s) && parse_int_in(a, s, lo, hi, out, error);
    };
    if (a == "--help" || a == "-h") {
      help = true;
      return true;
    } else if (a == "--ticks") {
      if (!int_value(opt.ticks, 1, kMaxTicks)) return false;
      opt.show_run.ticks_given = true;
    } else if (a == "--png-at") {
      std::string s;
      if (!value(s)) return false;
      size_t start = 0;
      while (start <= s.size()) {
        const size_t comma = s.find(',', start);
        const std::string part = s.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        int k = 0;
        if (!parse_int_in(a, part, 0, kMaxTicks - 1, k, error)) return false;
        opt.png_at.insert(k);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    } else if (a == "--png-every") {
      if (!int_value(opt.png_every, 1, kMaxTicks)) return false;
    } else if (a == "--show") {
      if (!value(opt.show_dir)) return false;
    } else if (a == "--out") {
      if (!value(opt.out)) return false;
    } else if (a == "--from") {
      if (!int_value(opt.show_run.from, 0, kMaxTicks - 1)) return false;
    } else if (a == "--video") {
      if (!value(opt.video)) return false;
      if (opt.video.empty()) {
        error = "--video needs a file name";
        return false;
      }
    } else if (a == "--scale") {
      if (!int_value(opt.scale, 1, 8)) return false;
    } else if (a == "--timedemo") {
      opt.timedemo = true;
    } else if (a == "--json") {
      opt.json = true;
    } else if (a == "--test-scene") {
      if (!set_mode(opt, Options::Mode::TestScene, error)) return false;
    } else if (a == "--detail") {
      if (!int_value(opt.detail, 1, 8)) return false;
    } else if (a == "--model") {
      if (!value(opt.model) || !set_mode(opt, Options::Mode::Model, error)) return false;
    } else if (a == "--texture") {
      if (!value(opt.texture)) return false;
    } else if (a == "--anim-step") {
      std::string s;
      double step = 0;
      if (!value(s) || !parse_number_in(a, s, -1000.0, 1000.0, step, error)) return false;
      opt.anim_step = static_cast<float>(step);
    } else {
      error = "unknown argument: " + a;
      return false;
    }
  }
  // A show run without --ticks goes on until the show ends: any tick may come.
  const bool open_ended = opt.mode == Options::Mode::Show && !opt.show_run.ticks_given;
  if (!open_ended && !opt.png_at.empty() && *opt.png_at.rbegin() >= opt.ticks) {
    error = "--png-at " + std::to_string(*opt.png_at.rbegin()) + ": beyond the last tick (ticks are 0 to " +
            std::to_string(opt.ticks - 1) + ")";
    return false;
  }
  if (opt.mode != Options::Mode::Show) {
    const char* show_only = !opt.video.empty()     ? "--video"
                            : opt.timedemo         ? "--timedemo"
                            : opt.show_run.from > 0 ? "--from"
                                                   : nullptr;
    if (show_only) {
      error = std::string(show_only) + " goes with the show, not another mode";
      return false;
    }
  }
  if (opt.json && !opt.timedemo) {
    error = "--json goes with --timedemo";
    return false;
  }
  if (opt.scale != 1 && opt.video.empty()) {
    error = "--scale goes with --video";
    return false;
  }
  if (opt.show_run.ticks_given && opt.show_run.from >= opt.ticks) {
    error = "--from " + std::to_string(opt.show_run.from) + ": beyond the last tick (ticks are 0 to " +
            std::to_string(opt.ticks - 1) + ")";
    return false;
  }
  if (!opt.png_at.empty() && *opt.png_at.begin() < opt.show_run.from) {
    error = "--png-at " + std::to_string(*opt.png_at.begin()) + ": before --from " +
            std::to_string(opt.show_run.from) + " (those ticks are not drawn)";
    return false;
  }
  if (!opt.texture.empty() && opt.mode != Options::Mode::Model) {
    error = "--texture goes with --model";
    return false;
  }
  return true;
}

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
  if (!opt.png_at.empty() || opt.png_every > 0) {
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
