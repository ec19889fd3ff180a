#pragma once
// A stream whose position the caller advances: the headless runner and the
// tests run many ticks of show time in an instant with it. Its PCM, level
// and length are those of the real decoded file; nothing is heard.
//
// It stays deterministic while the file decodes in the background: the
// position comes from the caller's clock alone, and whatever needs decoded
// frames (the level's window, whether an advance crosses the end of the
// track) waits for the decoder to reach them instead of answering from
// less. Every answer is the one the whole decoded track would give.

#include <cstdint>
#include <memory>

#include "platform/audio/music_stream.h"
#include "platform/audio/play_cursor.h"

namespace quarvel::audio {

class VirtualMusicStream final : public MusicStream {
 public:
  explicit VirtualMusicStream(PcmTrack track);
  explicit VirtualMusicStream(std::unique_ptr<TrackBuffer> track);

  // Moves a playing stream on by `frames` (wrapping when it loops, stopping
  // at the end otherwise). A stopped stream stays where it is.
  void advance_frames(uint64_t frames);
  // The same in seconds: whole frames, the fraction carried to the next call.
  void advance_seconds(double seconds);

  bool play(bool loop) override;
  void stop() override;
  bool playing() const override { return cursor_.playing(0); }
  uint32_t position() const override;
  uint32_t level() const override;
  float load() const override { return 0.0f; }
  const TrackBuffer& track() const override { return *track_; }
  void seek(uint64_t byte_position) override;

  uint64_t frame() const { return cursor_.frame(0); }

 private:
  // Gives the cursor the track's length once it is known; waits for the
  // frames before `frame` first, so that the answer for any frame up to
  // there does not depend on the decoder's progress.
  void learn_length(uint64_t frame);

  std::unique_ptr<TrackBuffer> track_;
  // Play state and position. Every move starts the cursor's count of frames
  // heard again at the frame reached, so the count is 0 between calls.
  PlayCursor cursor_{PlayCursor::kUnknownLength};
  double carry_ = 0.0;
};

}  // namespace quarvel::audio
