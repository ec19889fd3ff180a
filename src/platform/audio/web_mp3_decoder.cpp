// The page's MP3 decoder: none. The browser decodes the music (web_audio.h),
// so a decoder asked for in the page says so and decodes nothing.
#include "platform/audio/mp3_decoder.h"

namespace quarvel::audio {

struct Mp3Decoder::State {};
Mp3Decoder::Mp3Decoder(const uint8_t*, size_t) {}
Mp3Decoder::~Mp3Decoder() = default;
DecodeStatus Mp3Decoder::start(std::string& error) {
  error = "MP3 files are decoded by the browser in the web edition";
  return DecodeStatus::undecodable;
}
bool Mp3Decoder::next(const int16_t*&, size_t&) { return false; }
uint64_t Mp3Decoder::scanned_frames() const { return 0; }

}  // namespace quarvel::audio
