#include "platform/audio/sound_output.h"

#include <SDL.h>
#include <dlfcn.h>

#include <cstdlib>
#include <iterator>
#include <mutex>
#include <string>

namespace quarvel::audio {
namespace {

// Back ends tried in order when the user has not chosen one with
// SDL_AUDIODRIVER. The dummy and disk back ends are left out (they would
// "play" without sound, and the clock thread does that better), and so is
// JACK, whose client library prints when no server runs.
const char* const kDriverCandidates[] = {"pipewire", "pulseaudio", "alsa"};

constexpr int kCallbackFrames = 1024;

extern "C" void alsa_error_ignored(const char*, int, const char*, int, const char*, ...) {}

void audio_callback(void* user, Uint8* stream, int len) {
  (*static_cast<RenderFunction*>(user))(stream, static_cast<size_t>(len));
}

}  // namespace

void silence_alsa_errors() {
  static std::once_flag once;
  std::call_once(once, [] {
    void* lib = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return;  // no ALSA here: nothing to silence
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    auto set = reinterpret_cast<SetHandler>(dlsym(lib, "snd_lib_error_set_handler"));
    if (set) set(alsa_error_ignored);
    // The library stays loaded: SDL uses the same instance and its handler.
  });
}

SdlSoundOutput::~SdlSoundOutput() { close(); }

bool SdlSoundOutput::open(int rate, int channels, RenderFunction render, uint64_t& latency_frames) {
  close();
  silence_alsa_errors();
  render_ = std::move(render);
  SDL_AudioSpec want{};
  want.freq = rate;
  want.format = AUDIO_S16SYS;
  want.channels = static_cast<Uint8>(channels);
  want.samples = kCallbackFrames;
  want.callback = audio_callback;
  want.userdata = &render_;

  const bool user_choice = std::getenv("SDL_AUDIODRIVER") != nullptr;
  const char* previous = SDL_GetHint(SDL_HINT_AUDIODRIVER);
  std::string saved = previous ? previous : "";
  const size_t tries = user_choice ? 1 : std::size(kDriverCandidates);
  for (size_t i = 0; i < tries && device_ == 0; ++i) {
    if (!user_choice) SDL_SetHint(SDL_HINT_AUDIODRIVER, kDriverCandidates[i]);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) continue;
    SDL_AudioSpec have{};
    // No format change allowed: SDL converts to whatever the device wants,
    // so the callback always copies the stream's own PCM.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ != 0) {
      // What the callback writes is heard about two buffers later: the
      // buffer being filled and the one the device is playing.
      latency_frames = 2u * have.samples;
    } else {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
  }
  if (!user_choice) SDL_SetHint(SDL_HINT_AUDIODRIVER, previous ? saved.c_str() : nullptr);
  SDL_ClearError();
  return device_ != 0;
}

void SdlSoundOutput::pause(bool paused) {
  if (device_ != 0) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

// SDL stops a removed device (its status is "stopped" from then on) and
// queues SDL_AUDIODEVICEREMOVED; the status is what a stream without an
// event loop of its own can ask.
bool SdlSoundOutput::lost() { return device_ != 0 && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED; }

void SdlSoundOutput::close() {
  if (device_ == 0) return;
  SDL_CloseAudioDevice(device_);  // waits for the callback
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  device_ = 0;
}

}  // namespace quarvel::audio
