#include "platform/audio/output_stream.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace quarvel::audio {
namespace {

constexpr auto kWatchPeriod = std::chrono::milliseconds(10);

OutputSetup default_setup(bool try_sound_device) {
  OutputSetup setup;
  if (try_sound_device) setup.device = std::make_unique<SdlSoundOutput>();
  return setup;
}

}  // namespace

OutputMusicStream::OutputMusicStream(PcmTrack track, bool try_sound_device)
    : OutputMusicStream(std::make_unique<TrackBuffer>(std::move(track)), default_setup(try_sound_device)) {}

OutputMusicStream::OutputMusicStream(std::unique_ptr<TrackBuffer> track, bool try_sound_device)
    : OutputMusicStream(std::move(track), default_setup(try_sound_device)) {}

OutputMusicStream::OutputMusicStream(std::unique_ptr<TrackBuffer> track, OutputSetup setup)
    : track_(std::move(track)),
      now_(setup.now ? std::move(setup.now) : NowFunction(steady_now_ns)),
      player_(*track_, now_),
      device_(std::move(setup.device)),
      say_(std::move(setup.say)),
      retry_ns_(setup.retry_ns) {
  uint64_t latency = 0;
  if (device_ && !track_->empty() &&
      device_->open(track_->rate(), track_->channels(),
                    [this](uint8_t* out, size_t bytes) { player_.render(out, bytes); }, latency)) {
    device_open_ = true;
    player_.set_latency(latency);
    output_ = OutputKind::sound_device;
  } else {
    clock_origin_ = now_();
  }
  if (setup.watch_thread) start_watch_thread();
}

OutputMusicStream::~OutputMusicStream() {
  if (watcher_.joinable()) {
    {
      std::lock_guard lock(watch_mutex_);
      watch_quit_ = true;
    }
    watch_wake_.notify_all();
    watcher_.join();
  }
  if (device_) device_->close();  // waits for a render call under way
}

void OutputMusicStream::say(const std::string& line) const {
  if (say_) {
    say_(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

void OutputMusicStream::start_watch_thread() {
  watcher_ = std::thread([this] {
    std::unique_lock lock(watch_mutex_);
    while (!watch_wake_.wait_for(lock, kWatchPeriod, [this] { return watch_quit_; })) watch();
  });
}

// From the frame heard last, the clock takes over: its count starts now.
void OutputMusicStream::go_silent(int64_t now) {
  device_->close();
  device_open_ = false;
  player_.restart_output(0);
  clock_origin_ = now;
  clock_taken_ = 0;
  next_retry_ = now + retry_ns_;
  output_ = OutputKind::clock_thread;
}

// Without a device the clock takes what is due by now.
void OutputMusicStream::run_clock(int64_t now) {
  if (device_open_) return;
  const int64_t rate = track_->rate() > 0 ? track_->rate() : 0;
  const uint64_t due =
      static_cast<uint64_t>((static_cast<__int128>(std::max<int64_t>(0, now - clock_origin_)) * rate) / 1'000'000'000);
  if (due > clock_taken_) {
    player_.advance(due - clock_taken_);
    clock_taken_ = due;
  }
}

void OutputMusicStream::watch() {
  std::lock_guard lock(output_mutex_);
  int64_t now = now_();
  if (device_open_) {
    if (!device_->lost()) return;
    device_lost_ = true;
    go_silent(now);
    say("sound device lost: the music goes on silent, in time");
  }
  run_clock(now);
  if (!device_lost_ || now < next_retry_) return;
  next_retry_ = now + retry_ns_;
  uint64_t latency = 0;
  if (!device_->open(track_->rate(), track_->channels(),
                     [this](uint8_t* out, size_t bytes) { player_.render(out, bytes); }, latency)) {
    return;
  }
  // On from where the clock is: the device takes the frames that follow.
  player_.restart_output(latency);
  device_open_ = true;
  device_lost_ = false;
  output_ = OutputKind::sound_device;
  if (play_wanted_) device_->pause(false);
  say("sound device back: the music plays on");
}

bool OutputMusicStream::play(bool loop) {
  std::lock_guard lock(output_mutex_);
  run_clock(now_());  // what was due before the play is not played
  if (!player_.play(loop)) return false;
  play_wanted_ = true;
  if (device_open_) device_->pause(false);
  return true;
}

void OutputMusicStream::stop() {
  std::lock_guard lock(output_mutex_);
  // Pause the device first (the player's lock is not held here: the render
  // call holds the device's lock while it takes the player's), then freeze
  // the position at what was heard.
  play_wanted_ = false;
  if (device_open_) device_->pause(true);
  run_clock(now_());  // what was due up to the stop is played
  player_.stop();
}

bool OutputMusicStream::playing() const { return player_.playing(); }
uint32_t OutputMusicStream::position() const { return player_.position(); }
uint32_t OutputMusicStream::level() const { return player_.level(); }
float OutputMusicStream::load() const { return player_.load(); }
void OutputMusicStream::seek(uint64_t byte_position) { player_.seek(byte_position); }

}  // namespace quarvel::audio
