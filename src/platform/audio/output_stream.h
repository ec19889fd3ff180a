#pragma once
// The stream that is heard: decoded PCM (decoding in the background as it
// plays) fed to the sound device through its render calls. Without a sound
// device (no sound card, a build machine) the stream plays silent on a
// clock of its own that takes the PCM at the music's rate, so the position
// still runs in real time. Nothing from the audio system is printed while
// the device is looked for at the start.
//
// A device that goes away while the stream plays is said in one line on
// standard error; the stream goes on silent on its clock from the position
// heard last, and tries now and then to open a device again. When one
// opens it plays on from where the clock is, in step; that is said in one
// line too. The position never stands still for want of a device.
//
// A watch thread does the clock's work and watches the device, every 10 ms.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/audio/music_stream.h"
#include "platform/audio/sound_output.h"
#include "platform/audio/stream_player.h"

namespace quarvel::audio {

enum class OutputKind { sound_device, clock_thread };

// How often a stream that lost its device tries to open one again.
constexpr int64_t kDeviceRetryNs = 2'000'000'000;

// What an output stream runs on; the defaults are the real ones.
struct OutputSetup {
  // The sound device; none plays the clock only, and never looks for one.
  std::unique_ptr<SoundOutput> device;
  // The time, in nanoseconds of a steady clock.
  NowFunction now;
  // Where the lines about the device go (one line each, without its
  // newline); standard error when empty.
  std::function<void(const std::string&)> say;
  // False: no watch thread; whoever made the stream calls watch() instead.
  bool watch_thread = true;
  int64_t retry_ns = kDeviceRetryNs;
};

class OutputMusicStream final : public MusicStream {
 public:
  // With `try_sound_device` false the clock plays at once.
  explicit OutputMusicStream(PcmTrack track, bool try_sound_device = true);
  explicit OutputMusicStream(std::unique_ptr<TrackBuffer> track, bool try_sound_device = true);
  OutputMusicStream(std::unique_ptr<TrackBuffer> track, OutputSetup setup);
  ~OutputMusicStream() override;
  OutputMusicStream(const OutputMusicStream&) = delete;
  OutputMusicStream& operator=(const OutputMusicStream&) = delete;

  // What plays now: the device, or the clock (from the start, or since the
  // device went away).
  OutputKind output() const { return output_.load(); }

  bool play(bool loop) override;
  void stop() override;
  bool playing() const override;
  uint32_t position() const override;
  uint32_t level() const override;
  float load() const override;
  const TrackBuffer& track() const override { return *track_; }
  void seek(uint64_t byte_position) override;
  void set_volume(int percent) override { player_.set_volume(percent); }

  // The watch thread's work, done once: notices a device gone, moves the
  // clock on to now while there is none, and tries a device again when it
  // is time.
  void watch();

 private:
  void go_silent(int64_t now);
  void run_clock(int64_t now);
  void start_watch_thread();
  void say(const std::string& line) const;

  std::unique_ptr<TrackBuffer> track_;
  NowFunction now_;
  StreamPlayer player_;
  std::unique_ptr<SoundOutput> device_;
  std::function<void(const std::string&)> say_;
  int64_t retry_ns_;
  std::atomic<OutputKind> output_{OutputKind::clock_thread};

  // Guards the device and the clock's count (the device's render calls
  // never take it).
  std::mutex output_mutex_;
  bool device_open_ = false;
  bool device_lost_ = false;  // it went away; tried again now and then
  bool play_wanted_ = false;  // play() called and not stopped since
  int64_t clock_origin_ = 0;  // when the clock started counting
  uint64_t clock_taken_ = 0;  // frames the clock took since then
  int64_t next_retry_ = 0;

  std::thread watcher_;
  std::mutex watch_mutex_;
  std::condition_variable watch_wake_;
  bool watch_quit_ = false;
};

}  // namespace quarvel::audio
