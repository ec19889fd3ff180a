#include "platform/audio/output_stream.h"

#include <SDL.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <iterator>
#include <string>

namespace quarvel::audio {
namespace {

// Back ends tried in order when the user has not chosen one with
// SDL_AUDIODRIVER. The dummy and disk back ends are left out (they would
// "play" without sound, and the clock thread does that better), and so is
// JACK, whose client library prints when no server runs.
const char* const kDriverCandidates[] = {"pipewire", "pulseaudio", "alsa"};

constexpr int kCallbackFrames = 1024;
constexpr auto kClockPeriod = std::chrono::milliseconds(10);

extern "C" void alsa_error_ignored(const char*, int, const char*, int, const char*, ...) {}

void audio_callback(void* user, Uint8* stream, int len) {
  static_cast<StreamPlayer*>(user)->render(stream, static_cast<size_t>(len));
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

OutputMusicStream::OutputMusicStream(PcmTrack track, bool try_sound_device)
    : OutputMusicStream(std::make_unique<TrackBuffer>(std::move(track)), try_sound_device) {}

OutputMusicStream::OutputMusicStream(std::unique_ptr<TrackBuffer> track, bool try_sound_device)
    : track_(std::move(track)), player_(*track_) {
  if (!track_->empty() && try_sound_device && open_sound_device()) {
    output_ = OutputKind::sound_device;
  } else {
    output_ = OutputKind::clock_thread;
    start_clock_thread();
  }
}

OutputMusicStream::~OutputMusicStream() {
  if (device_ != 0) SDL_CloseAudioDevice(device_);  // waits for the callback
  if (sdl_audio_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  if (clock_.joinable()) {
    {
      std::lock_guard lock(clock_mutex_);
      clock_quit_ = true;
    }
    clock_wake_.notify_all();
    clock_.join();
  }
}

bool OutputMusicStream::open_sound_device() {
  silence_alsa_errors();
  SDL_AudioSpec want{};
  want.freq = track_->rate();
  want.format = AUDIO_S16SYS;
  want.channels = static_cast<Uint8>(track_->channels());
  want.samples = kCallbackFrames;
  want.callback = audio_callback;
  want.userdata = &player_;

  const bool user_choice = std::getenv("SDL_AUDIODRIVER") != nullptr;
  const char* previous = SDL_GetHint(SDL_HINT_AUDIODRIVER);
  std::string saved = previous ? previous : "";
  bool opened = false;
  const size_t tries = user_choice ? 1 : std::size(kDriverCandidates);
  for (size_t i = 0; i < tries && !opened; ++i) {
    if (!user_choice) SDL_SetHint(SDL_HINT_AUDIODRIVER, kDriverCandidates[i]);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) continue;
    SDL_AudioSpec have{};
    // No format change allowed: SDL converts to whatever the device wants,
    // so the callback always copies the stream's own PCM.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ != 0) {
      opened = true;
      sdl_audio_ = true;
      // What the callback writes is heard about two buffers later: the
      // buffer being filled and the one the device is playing.
      player_.set_latency(2u * have.samples);
    } else {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
  }
  if (!user_choice) SDL_SetHint(SDL_HINT_AUDIODRIVER, previous ? saved.c_str() : nullptr);
  SDL_ClearError();
  return opened;
}

void OutputMusicStream::start_clock_thread() {
  clock_ = std::thread([this] { clock_thread(); });
}

void OutputMusicStream::clock_thread() {
  const int64_t origin = steady_now_ns();
  const int64_t rate = track_->rate() > 0 ? track_->rate() : 0;
  uint64_t taken = 0;
  std::unique_lock lock(clock_mutex_);
  for (;;) {
    if (clock_wake_.wait_for(lock, kClockPeriod, [this] { return clock_quit_; })) return;
    const int64_t elapsed = steady_now_ns() - origin;
    const uint64_t due = static_cast<uint64_t>((static_cast<__int128>(elapsed) * rate) / 1'000'000'000);
    if (due > taken) {
      player_.advance(due - taken);
      taken = due;
    }
  }
}

bool OutputMusicStream::play(bool loop) {
  if (!player_.play(loop)) return false;
  if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
  return true;
}

void OutputMusicStream::stop() {
  // Pause the device first (outside our lock: the callback holds SDL's lock
  // while it takes ours), then freeze the position at what was heard.
  if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
  player_.stop();
}

bool OutputMusicStream::playing() const { return player_.playing(); }
uint32_t OutputMusicStream::position() const { return player_.position(); }
uint32_t OutputMusicStream::level() const { return player_.level(); }
float OutputMusicStream::load() const { return player_.load(); }
void OutputMusicStream::seek(uint64_t byte_position) { player_.seek(byte_position); }

}  // namespace quarvel::audio
