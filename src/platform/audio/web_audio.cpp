#include "platform/audio/web_audio.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "platform/audio/track_buffer.h"

// The page's side of the output (see web/shell.js): the audio context's
// clock, and a source node per file started at an offset or stopped.
EM_JS(double, quarvel_audio_now, (), {
  const a = Module.quarvelAudio;
  return a && a.ctx ? a.ctx.currentTime : -1;
});
EM_JS(void, quarvel_audio_play, (const char* file, double offset, int loop), {
  if (Module.quarvelAudio) Module.quarvelAudio.play(UTF8ToString(file), offset, loop != 0);
});
EM_JS(void, quarvel_audio_stop, (const char* file), {
  if (Module.quarvelAudio) Module.quarvelAudio.stop(UTF8ToString(file));
});
EM_JS(void, quarvel_audio_volume, (const char* file, double gain), {
  if (Module.quarvelAudio) Module.quarvelAudio.setVolume(UTF8ToString(file), gain);
});

namespace quarvel::audio {
namespace {

struct BrowserTrack {
  PcmTrack track;
  std::string failure;  // why the browser could not decode it, when it could not
};

std::map<std::string, BrowserTrack>& browser_tracks() {
  static std::map<std::string, BrowserTrack> tracks;
  return tracks;
}

// The names the show and the page give a file may differ by a leading "./".
std::string plain_name(std::string file) {
  while (file.rfind("./", 0) == 0) file.erase(0, 2);
  return file;
}

int64_t audio_now_ns() {
  const double t = quarvel_audio_now();
  return t < 0 ? 0 : static_cast<int64_t>(std::llround(t * 1e9));
}

}  // namespace

void add_browser_track(const std::string& file, PcmTrack track) {
  browser_tracks()[plain_name(file)] = BrowserTrack{std::move(track), ""};
}

void add_browser_failure(const std::string& file, const std::string& reason) {
  browser_tracks()[plain_name(file)] = BrowserTrack{PcmTrack{}, reason};
}

std::unique_ptr<TrackBuffer> open_browser_track(const std::string& file, DecodeStatus& status, std::string& reason) {
  const auto it = browser_tracks().find(plain_name(file));
  if (it == browser_tracks().end()) {
    status = DecodeStatus::unreadable;
    reason = "cannot open the file";
    return nullptr;
  }
  if (!it->second.failure.empty() || it->second.track.empty()) {
    status = DecodeStatus::undecodable;
    reason = it->second.failure.empty() ? "no MPEG audio in it" : it->second.failure;
    return nullptr;
  }
  status = DecodeStatus::ok;
  // The stream keeps its own copy: the show may open the file again.
  return std::make_unique<TrackBuffer>(it->second.track);
}

WebAudioMusicStream::WebAudioMusicStream(std::unique_ptr<TrackBuffer> track, const std::string& file)
    : track_(std::move(track)), file_(plain_name(file)), player_(*track_, audio_now_ns) {}

WebAudioMusicStream::~WebAudioMusicStream() { quarvel_audio_stop(file_.c_str()); }

void WebAudioMusicStream::catch_up() const {
  const double now = quarvel_audio_now();
  if (now < 0 || track_->rate() <= 0) return;
  if (origin_ < 0) origin_ = now;
  // Whole frames played since counting began, as the desktop's clock thread
  // counts them from its steady clock.
  const uint64_t due = static_cast<uint64_t>(std::floor((now - origin_) * track_->rate()));
  if (due > taken_) {
    player_.advance(due - taken_);
    taken_ = due;
  }
}

void WebAudioMusicStream::start_output() const {
  quarvel_audio_play(file_.c_str(), static_cast<double>(player_.frame()) / track_->rate(), loop_ ? 1 : 0);
}

bool WebAudioMusicStream::play(bool loop) {
  catch_up();
  if (!player_.play(loop)) return false;
  loop_ = loop;
  // A stream that plays already runs on: its node starts again where it is,
  // with the new loop flag.
  start_output();
  return true;
}

void WebAudioMusicStream::stop() {
  catch_up();
  player_.stop();
  quarvel_audio_stop(file_.c_str());
}

bool WebAudioMusicStream::playing() const {
  catch_up();
  return player_.playing();
}

uint32_t WebAudioMusicStream::position() const {
  catch_up();
  return player_.position();
}

uint32_t WebAudioMusicStream::level() const {
  catch_up();
  return player_.level();
}

void WebAudioMusicStream::seek(uint64_t byte_position) {
  catch_up();
  const bool was_playing = player_.playing();
  player_.seek(byte_position);
  if (was_playing) start_output();
}

void WebAudioMusicStream::set_volume(int percent) {
  quarvel_audio_volume(file_.c_str(), std::clamp(percent, 0, 100) / 100.0);
}

}  // namespace quarvel::audio
