#pragma once
// The audio layer as the show calls it: a version query, device set-up,
// streams reached through 32-bit handles (0 is no stream), position, level
// and load queries, the last error, and the release of everything.
// The show's start-up is written against this interface, so tests can
// drive it with a fake.

#include <cstdint>
#include <string>

namespace quarvel::audio {

// The version this layer reports: high word 8, low word 0 (524288), the one
// the show's start-up check accepts.
constexpr uint32_t kMusicLayerVersion = 0x00080000u;

// Error codes of last_error(), in decimal in the show's error report.
enum class MusicError : int {
  ok = 0,
  memory = 1,       // out of memory
  file_open = 2,    // the file cannot be opened or read
  handle = 5,       // no stream has this handle
  init = 8,         // init() has not been called
  already = 14,     // init() was called already
  not_module = 20,  // the handle is a stream, not a tracker module
  file_form = 41,   // the file is not MP3 audio that decodes
  unknown = -1,
};

class MusicDevice {
 public:
  virtual ~MusicDevice() = default;

  virtual uint32_t version() = 0;
  // Prepares the default output (device -1). The frequency is the output
  // rate asked for, `flags` and `window` are accepted as given. Returns
  // false (with the error set) when it cannot.
  virtual bool init(int device, uint32_t frequency, uint32_t flags, void* window) = 0;
  // Lets the output run (it does from init on; kept for the show's order).
  virtual bool start() = 0;
  // Opens an MP3 file as a new stream, stopped at position 0: the file is
  // read and checked and its start decoded; the rest decodes in the
  // background. Returns its handle, or 0 after one line on standard error
  // naming the file and what is wrong with it.
  virtual uint32_t open_stream(const std::string& file) = 0;
  // Plays a tracker module. There are none here: a stream's handle is
  // refused (not_module) and the stream stays as it is.
  virtual bool play_module(uint32_t handle) = 0;
  // Plays a stream from its current position, or from its start when
  // `from_start` is set, looping when `loop` is set.
  virtual bool play_stream(uint32_t handle, bool from_start, bool loop) = 0;
  // The stream's position in bytes of decoded PCM; 0 for handle 0 or any
  // unknown handle (the same value every time).
  virtual uint32_t position(uint32_t handle) = 0;
  // The stream's whole length in bytes of decoded PCM once decoding has
  // completed (a looping stream's position wraps to 0 there); 0 before
  // that, and for handle 0 or an unknown handle.
  virtual uint32_t length(uint32_t handle) = 0;
  // The stream's level (left in the low 16 bits, right in the high 16,
  // 0..128 each); 0 for an unknown handle or a stopped stream.
  virtual uint32_t level(uint32_t handle) = 0;
  // Share of one processor the audio work takes, in percent.
  virtual float load() = 0;
  virtual int last_error() = 0;
  // Stops and releases every stream and the output.
  virtual void free() = 0;
};

}  // namespace quarvel::audio
