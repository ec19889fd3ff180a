#pragma once
// Music in the page. There is no libmpg123 and no sound device there: the
// browser decodes each MP3 file of the show (decodeAudioData) before the
// show starts and hands the PCM over here by file name; a stream that is
// heard plays it through Web Audio, and its position is the number of
// frames the audio context has played since the stream began, turned into
// bytes with the same arithmetic as the desktop's streams.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/audio/music_stream.h"
#include "platform/audio/pcm_track.h"
#include "platform/audio/stream_player.h"

namespace quarvel::audio {

// Keeps the browser's decoding of `file` (the name the show opens it by).
void add_browser_track(const std::string& file, PcmTrack track);
// Why the browser could not decode `file` (a file it could not read keeps
// no entry at all).
void add_browser_failure(const std::string& file, const std::string& reason);

// The whole decoded track of `file`, or null with the status and reason.
std::unique_ptr<TrackBuffer> open_browser_track(const std::string& file, DecodeStatus& status, std::string& reason);

// A stream heard through Web Audio. The page's script holds the decoded
// audio under the file's name and starts or stops a source node on it,
// through a gain node for the volume; the position follows the audio
// context's clock.
class WebAudioMusicStream final : public MusicStream {
 public:
  WebAudioMusicStream(std::unique_ptr<TrackBuffer> track, const std::string& file);
  ~WebAudioMusicStream() override;

  bool play(bool loop) override;
  void stop() override;
  bool playing() const override;
  uint32_t position() const override;
  uint32_t level() const override;
  float load() const override { return 0.0f; }
  const TrackBuffer& track() const override { return *track_; }
  void seek(uint64_t byte_position) override;
  // The gain of the script's source node for this file (now and later).
  void set_volume(int percent) override;

 private:
  // Counts the frames the audio context has played since the last call.
  void catch_up() const;
  // (Re)starts the script's source node at the frame the player is at.
  void start_output() const;

  std::unique_ptr<TrackBuffer> track_;
  std::string file_;
  mutable StreamPlayer player_;
  bool loop_ = false;
  mutable double origin_ = -1;  // audio context seconds when counting began
  mutable uint64_t taken_ = 0;  // frames counted since then
};

}  // namespace quarvel::audio
