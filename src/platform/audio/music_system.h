#pragma once
// The audio layer itself: streams that are heard (OutputMusicStream), or,
// for the headless runner and tests, virtual streams whose position the
// caller advances (VirtualMusicStream).

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/audio/music_device.h"
#include "platform/audio/music_stream.h"

namespace quarvel::audio {

enum class Playback {
  output,         // the sound device, or the real-time clock thread without one
  clock_thread,   // always the real-time clock thread (heard by nobody)
  virtual_clock,  // the caller advances the position
};

class MusicSystem final : public MusicDevice {
 public:
  explicit MusicSystem(Playback playback = Playback::output);
  ~MusicSystem() override;
  MusicSystem(const MusicSystem&) = delete;
  MusicSystem& operator=(const MusicSystem&) = delete;

  uint32_t version() override { return kMusicLayerVersion; }
  bool init(int device, uint32_t frequency, uint32_t flags, void* window) override;
  bool start() override;
  uint32_t open_stream(const std::string& file) override;
  bool play_module(uint32_t handle) override;
  bool play_stream(uint32_t handle, bool from_start, bool loop) override;
  uint32_t position(uint32_t handle) override;
  uint32_t length(uint32_t handle) override;
  uint32_t level(uint32_t handle) override;
  float load() override;
  int last_error() override { return static_cast<int>(error_); }
  void free() override;

  Playback playback() const { return playback_; }
  // The stream behind a handle, or null.
  MusicStream* stream(uint32_t handle);

  // How far each stream's background decoding runs ahead of the furthest
  // frame played or asked for (streams opened afterwards).
  void set_decode_lead_seconds(double seconds) { decode_lead_seconds_ = seconds; }

  // Virtual playback only (no effect otherwise): moves every playing stream
  // on by whole frames, or by seconds of its own rate.
  void advance_frames(uint64_t frames);
  void advance_seconds(double seconds);

  // The player's volume, 0 to 100 percent, for every stream heard (now and
  // opened later). It changes what is heard only: positions and levels stay
  // those of the track.
  void set_volume(int percent);
  int volume() const { return volume_; }

  // Holding: every stream stops where it is, and a stream asked to play
  // while held only notes it (its level is the track's at its position, as
  // a playing stream's). move_held_seconds moves the noted streams on, as
  // playing would; release plays them again from where they are. The
  // player pauses and seeks the window's music with it.
  void hold();
  void move_held_seconds(double seconds);
  void release();
  bool held() const { return held_; }
  // While held: every stream back to its start, asked to play no more.
  void rewind();

 private:
  struct Held {
    bool play = false;  // playing, or asked to play, while held
    bool loop = false;
    double carry = 0.0;  // a part frame of the moves so far
  };

  MusicStream* find(uint32_t handle);

  Playback playback_;
  bool initialised_ = false;
  MusicError error_ = MusicError::ok;
  uint32_t next_handle_ = 1;
  double decode_lead_seconds_ = kDefaultDecodeLeadSeconds;
  std::map<uint32_t, std::unique_ptr<MusicStream>> streams_;
  int volume_ = 100;
  bool held_ = false;
  std::map<uint32_t, Held> held_streams_;
  std::map<uint32_t, bool> loops_;  // each stream's last play: looping or not
};

}  // namespace quarvel::audio
