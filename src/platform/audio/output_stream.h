#pragma once
// The stream that is heard: decoded PCM (decoding in the background as it
// plays) fed to the sound device through an
// SDL2 audio callback. When no sound device opens (no sound card, a build
// machine), a clock thread takes the PCM at the real-time rate instead, so
// the position still runs in real time. Nothing from the audio system is
// printed while the device is looked for.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/audio/music_stream.h"
#include "platform/audio/stream_player.h"

namespace quarvel::audio {

enum class OutputKind { sound_device, clock_thread };

class OutputMusicStream final : public MusicStream {
 public:
  // With `try_sound_device` false the clock thread plays at once.
  explicit OutputMusicStream(PcmTrack track, bool try_sound_device = true);
  explicit OutputMusicStream(std::unique_ptr<TrackBuffer> track, bool try_sound_device = true);
  ~OutputMusicStream() override;
  OutputMusicStream(const OutputMusicStream&) = delete;
  OutputMusicStream& operator=(const OutputMusicStream&) = delete;

  OutputKind output() const { return output_; }

  bool play(bool loop) override;
  void stop() override;
  bool playing() const override;
  uint32_t position() const override;
  uint32_t level() const override;
  float load() const override;
  const TrackBuffer& track() const override { return *track_; }
  void seek(uint64_t byte_position) override;

 private:
  bool open_sound_device();
  void start_clock_thread();
  void clock_thread();

  std::unique_ptr<TrackBuffer> track_;
  StreamPlayer player_;
  OutputKind output_ = OutputKind::clock_thread;
  uint32_t device_ = 0;  // SDL audio device id
  bool sdl_audio_ = false;
  std::thread clock_;
  std::mutex clock_mutex_;
  std::condition_variable clock_wake_;
  bool clock_quit_ = false;
};

// Keeps the ALSA library, when SDL uses it, from printing its errors (a
// machine without a sound card makes it complain on every open). The
// library is looked up at run time, so it is no build dependency.
void silence_alsa_errors();

}  // namespace quarvel::audio
