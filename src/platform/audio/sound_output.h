#pragma once
// A sound device as the output stream drives it: opened at the stream's
// rate and channel count, it calls the render function from a thread of its
// own for every buffer it needs, until it is closed or goes away (a USB
// headset pulled out, the sound server stopped). SdlSoundOutput is SDL2's;
// tests put an output of their own in its place, one that fails on demand.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace quarvel::audio {

// Fills `bytes` bytes of interleaved 16-bit PCM at `out`.
using RenderFunction = std::function<void(uint8_t* out, size_t bytes)>;

class SoundOutput {
 public:
  virtual ~SoundOutput() = default;
  // Opens a device, paused. On success `latency_frames` is how much sound it
  // holds between the render call and the speaker. False when none opens.
  virtual bool open(int rate, int channels, RenderFunction render, uint64_t& latency_frames) = 0;
  // Pauses or resumes the render calls. Never called from inside one.
  virtual void pause(bool paused) = 0;
  // True once the open device has gone away; it renders no more.
  virtual bool lost() = 0;
  // Closes the device (waiting for a render call under way); nothing when
  // none is open.
  virtual void close() = 0;
};

// SDL2's audio: the back ends tried are the user's choice (SDL_AUDIODRIVER)
// or else pipewire, pulseaudio and alsa in turn. A device that goes away is
// one SDL reports removed (SDL_AUDIODEVICEREMOVED): SDL stops it, and its
// status says so.
class SdlSoundOutput final : public SoundOutput {
 public:
  SdlSoundOutput() = default;
  ~SdlSoundOutput() override;
  SdlSoundOutput(const SdlSoundOutput&) = delete;
  SdlSoundOutput& operator=(const SdlSoundOutput&) = delete;

  bool open(int rate, int channels, RenderFunction render, uint64_t& latency_frames) override;
  void pause(bool paused) override;
  bool lost() override;
  void close() override;

 private:
  uint32_t device_ = 0;  // SDL audio device id
  RenderFunction render_;
};

// Keeps the ALSA library, when SDL uses it, from printing its errors (a
// machine without a sound card makes it complain on every open). The
// library is looked up at run time, so it is no build dependency.
void silence_alsa_errors();

}  // namespace quarvel::audio
