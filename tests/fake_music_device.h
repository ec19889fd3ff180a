#pragma once
// A stand-in for the music layer, for tests of the show's start-up and
// scenes: it answers as told and records what it is asked.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/music_device.h"

namespace quarvel::testing {

// A music layer that answers as told and records what it is asked.
// position(), length() and level() answer position_value, length_value and
// level_value for any handle; position() and level() are counted, none is
// recorded (they are asked every tick).
class FakeMusicDevice : public audio::MusicDevice {
 public:
  uint32_t version() override {
    calls.push_back("version");
    return version_value;
  }
  bool init(int device, uint32_t frequency, uint32_t flags, void* window) override {
    calls.push_back("init " + std::to_string(device) + " " + std::to_string(frequency) + " " +
                    std::to_string(flags));
    init_window = window;
    if (!init_ok) error = 23;
    return init_ok;
  }
  bool start() override {
    calls.push_back("start");
    return true;
  }
  uint32_t open_stream(const std::string& file) override {
    calls.push_back("open_stream " + file);
    return stream_handle;
  }
  bool play_module(uint32_t handle) override {
    calls.push_back("play_module " + std::to_string(handle));
    error = static_cast<int>(audio::MusicError::not_module);
    return false;
  }
  bool play_stream(uint32_t handle, bool from_start, bool loop) override {
    calls.push_back("play_stream " + std::to_string(handle) + (from_start ? " from_start" : "") +
                    (loop ? " loop" : ""));
    return true;
  }
  uint32_t position(uint32_t) override {
    ++position_queries;
    return position_value;
  }
  uint32_t length(uint32_t) override { return length_value; }
  uint32_t level(uint32_t) override {
    ++level_queries;
    return level_value;
  }
  float load() override { return load_value; }
  int last_error() override { return error; }
  void free() override { calls.push_back("free"); }

  uint32_t version_value = audio::kMusicLayerVersion;
  bool init_ok = true;
  uint32_t stream_handle = 1;
  uint32_t position_value = 0;  // bytes of decoded music
  uint32_t length_value = 0;    // the track's bytes; 0 while unknown
  uint32_t level_value = 0;     // left in the low 16 bits, right in the high 16
  float load_value = 0;
  int error = 0;
  void* init_window = nullptr;  // the window handle given to init
  int position_queries = 0;
  int level_queries = 0;
  std::vector<std::string> calls;
};

}  // namespace quarvel::testing
