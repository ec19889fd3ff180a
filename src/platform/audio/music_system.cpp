#include "platform/audio/music_system.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>

#include "platform/audio/virtual_stream.h"
#ifdef __EMSCRIPTEN__
#include "platform/audio/web_audio.h"
#else
#include "platform/audio/output_stream.h"
#endif

namespace quarvel::audio {

MusicSystem::MusicSystem(Playback playback) : playback_(playback) {}

MusicSystem::~MusicSystem() { free(); }

bool MusicSystem::init(int /*device*/, uint32_t /*frequency*/, uint32_t /*flags*/, void* /*window*/) {
  if (initialised_) {
    error_ = MusicError::already;
    return false;
  }
  // Each stream opens the sound device at its own rate when it is created,
  // and falls back to the clock thread without one, so this cannot fail.
  initialised_ = true;
  error_ = MusicError::ok;
  return true;
}

bool MusicSystem::start() {
  if (!initialised_) {
    error_ = MusicError::init;
    return false;
  }
  error_ = MusicError::ok;
  return true;
}

uint32_t MusicSystem::open_stream(const std::string& file) {
  if (!initialised_) {
    error_ = MusicError::init;
    return 0;
  }
  std::string reason;
  try {
    // Only the start is decoded here; the rest follows in the background.
    DecodeStatus status = DecodeStatus::ok;
#ifdef __EMSCRIPTEN__
    // In the page the browser has decoded the whole file already.
    std::unique_ptr<TrackBuffer> track = open_browser_track(file, status, reason);
#else
    std::unique_ptr<TrackBuffer> track = TrackBuffer::open_mp3_file(file, status, reason, decode_lead_seconds_);
#endif
    if (!track) {
      error_ = status == DecodeStatus::unreadable ? MusicError::file_open : MusicError::file_form;
      std::fprintf(stderr, "music file %s: %s\n", file.c_str(), reason.c_str());
      return 0;
    }
    std::unique_ptr<MusicStream> stream;
    switch (playback_) {
#ifdef __EMSCRIPTEN__
      case Playback::output:
      case Playback::clock_thread:
        stream = std::make_unique<WebAudioMusicStream>(std::move(track), file);
        break;
#else
      case Playback::output:
        stream = std::make_unique<OutputMusicStream>(std::move(track), true);
        break;
      case Playback::clock_thread:
        stream = std::make_unique<OutputMusicStream>(std::move(track), false);
        break;
#endif
      case Playback::virtual_clock:
        stream = std::make_unique<VirtualMusicStream>(std::move(track));
        break;
    }
    const uint32_t handle = next_handle_++;
    if (next_handle_ == 0) next_handle_ = 1;
    streams_[handle] = std::move(stream);
    error_ = MusicError::ok;
    return handle;
  } catch (const std::bad_alloc&) {
    error_ = MusicError::memory;
    std::fprintf(stderr, "music file %s: out of memory\n", file.c_str());
    return 0;
  } catch (const std::exception& e) {  // e.g. no thread for the clock
    error_ = MusicError::unknown;
    std::fprintf(stderr, "music file %s: %s\n", file.c_str(), e.what());
    return 0;
  }
}

MusicStream* MusicSystem::find(uint32_t handle) {
  auto it = streams_.find(handle);
  if (it == streams_.end()) {
    error_ = MusicError::handle;
    return nullptr;
  }
  return it->second.get();
}

MusicStream* MusicSystem::stream(uint32_t handle) {
  auto it = streams_.find(handle);
  return it == streams_.end() ? nullptr : it->second.get();
}

bool MusicSystem::play_module(uint32_t handle) {
  if (!find(handle)) return false;
  error_ = MusicError::not_module;
  return false;
}

bool MusicSystem::play_stream(uint32_t handle, bool from_start, bool loop) {
  MusicStream* s = find(handle);
  if (!s) return false;
  if (from_start) s->seek(0);
  if (!s->play(loop)) {
    error_ = MusicError::file_form;
    return false;
  }
  error_ = MusicError::ok;
  return true;
}

uint32_t MusicSystem::position(uint32_t handle) {
  MusicStream* s = find(handle);
  if (!s) return 0;
  error_ = MusicError::ok;
  return s->position();
}

uint32_t MusicSystem::length(uint32_t handle) {
  const MusicStream* s = stream(handle);
  if (!s || !s->track().complete()) return 0;
  uint64_t frames = 0;
  s->track().known_length(frames);
  return static_cast<uint32_t>(std::min<uint64_t>(frames * s->track().frame_bytes(), UINT32_MAX));
}

uint32_t MusicSystem::level(uint32_t handle) {
  MusicStream* s = find(handle);
  if (!s) return 0;
  error_ = MusicError::ok;
  return s->level();
}

float MusicSystem::load() {
  float sum = 0.0f;
  for (auto& [handle, s] : streams_) sum += s->load();
  return sum;
}

void MusicSystem::free() {
  streams_.clear();
  initialised_ = false;
  error_ = MusicError::ok;
}

void MusicSystem::advance_frames(uint64_t frames) {
  if (playback_ != Playback::virtual_clock) return;
  for (auto& [handle, s] : streams_) static_cast<VirtualMusicStream*>(s.get())->advance_frames(frames);
}

void MusicSystem::advance_seconds(double seconds) {
  if (playback_ != Playback::virtual_clock) return;
  for (auto& [handle, s] : streams_) static_cast<VirtualMusicStream*>(s.get())->advance_seconds(seconds);
}

}  // namespace quarvel::audio
