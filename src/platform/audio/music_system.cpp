#include "platform/audio/music_system.h"

#include <algorithm>
#include <cmath>
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
    stream->set_volume(volume_);
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
  loops_[handle] = loop;
  if (held_) {
    if (s->track().empty()) {
      error_ = MusicError::file_form;
      return false;
    }
    held_streams_[handle] = {true, loop, 0.0};
    error_ = MusicError::ok;
    return true;
  }
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
  if (held_) {
    const auto it = held_streams_.find(handle);
    const uint32_t fb = s->track().frame_bytes();
    return it != held_streams_.end() && it->second.play && fb ? s->track().level_near(s->position() / fb) : 0;
  }
  return s->level();
}

float MusicSystem::load() {
  float sum = 0.0f;
  for (auto& [handle, s] : streams_) sum += s->load();
  return sum;
}

void MusicSystem::free() {
  streams_.clear();
  held_streams_.clear();
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

void MusicSystem::set_volume(int percent) {
  volume_ = std::clamp(percent, 0, 100);
  for (auto& [handle, s] : streams_) s->set_volume(volume_);
}

void MusicSystem::hold() {
  if (held_) return;
  held_ = true;
  held_streams_.clear();
  for (auto& [handle, s] : streams_) {
    if (!s->playing()) continue;
    held_streams_[handle] = {true, loops_[handle], 0.0};
    s->stop();
  }
}

void MusicSystem::move_held_seconds(double seconds) {
  if (!held_ || !(seconds > 0.0) || !std::isfinite(seconds)) return;
  for (auto& [handle, h] : held_streams_) {
    MusicStream* s = stream(handle);
    if (!h.play || !s || s->track().rate() <= 0) continue;
    const TrackBuffer& track = s->track();
    h.carry += seconds * track.rate();
    const double whole = std::floor(h.carry);
    h.carry -= whole;
    uint64_t frame = s->position() / track.frame_bytes() + static_cast<uint64_t>(whole);
    // The end as a playing stream meets it: wrapping, or stopping there.
    uint64_t frames = 0;
    track.wait_for(frame + 1);
    if (track.known_length(frames) && frames > 0 && frame >= frames) {
      if (h.loop) {
        frame %= frames;
      } else {
        frame = frames;
        h.play = false;
      }
    }
    s->seek(frame * track.frame_bytes());
  }
}

void MusicSystem::rewind() {
  if (!held_) return;
  held_streams_.clear();
  for (auto& [handle, s] : streams_) s->seek(0);
}

void MusicSystem::release() {
  if (!held_) return;
  held_ = false;
  for (auto& [handle, h] : held_streams_) {
    MusicStream* s = stream(handle);
    if (h.play && s) s->play(h.loop);
  }
  held_streams_.clear();
}

}  // namespace quarvel::audio
