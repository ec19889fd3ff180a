// Feeds arbitrary bytes to the MP3 path the show takes: the decoder opened
// on the file's bytes in memory, the frame-header walk that sizes the
// track, the whole decode, and the inspector's line. Any crash, hang, leak
// or sanitizer report is a bug; so is a refusal without a reason, or a
// decoded track in a format the player cannot take.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/audio/mp3_decoder.h"
#include "platform/audio/music_info.h"
#include "platform/audio/pcm_track.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quarvel::audio;
  PcmTrack track;
  std::string error;
  if (decode_mp3(data, size, track, error) != DecodeStatus::ok) {
    if (error.empty() || !track.samples.empty()) __builtin_trap();
    return 0;
  }
  if (track.rate <= 0 || track.channels < 1 || track.channels > 2) __builtin_trap();
  if (track.samples.size() % static_cast<size_t>(track.channels) != 0) __builtin_trap();
  // The level queries the show makes every tick, at the start, middle and end.
  const uint64_t frames = track.frames();
  volatile uint32_t level = level_near(track, 0) | level_near(track, frames / 2) | level_near(track, frames);
  (void)level;
  volatile size_t n = music_json("fuzz.mp3", track).size();
  (void)n;
  return 0;
}
