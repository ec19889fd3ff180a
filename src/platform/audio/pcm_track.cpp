#include "platform/audio/pcm_track.h"

#include <mpg123.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace quarvel::audio {
namespace {

// The decoder reads the file from memory through these callbacks, so that
// opening errors are ours to report and the decoder can seek freely.
struct MemoryFile {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

mpg123_ssize_t memory_read(void* handle, void* buffer, size_t bytes) {
  auto* f = static_cast<MemoryFile*>(handle);
  size_t n = std::min(bytes, f->size - f->pos);
  if (n > 0) std::memcpy(buffer, f->data + f->pos, n);
  f->pos += n;
  return static_cast<mpg123_ssize_t>(n);
}

off_t memory_seek(void* handle, off_t offset, int whence) {
  auto* f = static_cast<MemoryFile*>(handle);
  long long base = 0;
  if (whence == SEEK_CUR) base = static_cast<long long>(f->pos);
  else if (whence == SEEK_END) base = static_cast<long long>(f->size);
  else if (whence != SEEK_SET) return -1;
  long long target = base + static_cast<long long>(offset);
  if (target < 0 || target > static_cast<long long>(f->size)) return -1;
  f->pos = static_cast<size_t>(target);
  return static_cast<off_t>(target);
}

struct HandleDeleter {
  void operator()(mpg123_handle* h) const {
    mpg123_close(h);
    mpg123_delete(h);
  }
};
using Decoder = std::unique_ptr<mpg123_handle, HandleDeleter>;

bool library_ready() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] { ok = mpg123_init() == MPG123_OK; });
  return ok;
}

// Allows every rate the decoder knows, mono or stereo, always 16-bit signed:
// the stream keeps its own rate and channel count.
bool set_output_formats(mpg123_handle* mh) {
  if (mpg123_format_none(mh) != MPG123_OK) return false;
  const long* rates = nullptr;
  size_t count = 0;
  mpg123_rates(&rates, &count);
  for (size_t i = 0; i < count; ++i)
    if (mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16) != MPG123_OK)
      return false;
  return true;
}

Decoder open_decoder(MemoryFile& file) {
  int code = MPG123_OK;
  Decoder mh(mpg123_new(nullptr, &code));
  if (!mh) return mh;
  mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
  if (!set_output_formats(mh.get()) ||
      mpg123_replace_reader_handle(mh.get(), memory_read, memory_seek, nullptr) != MPG123_OK ||
      mpg123_open_handle(mh.get(), &file) != MPG123_OK)
    mh.reset();
  return mh;
}

// The decoded length in frames, from a walk over the frame headers (a few
// milliseconds for a long track). It is done on a decoder of its own: a
// scanned decoder may trim the stream's start and end differently.
constexpr uint64_t kLengthMargin = 2 * 1152;
uint64_t scanned_length(const uint8_t* data, size_t size) {
  MemoryFile file{data, size, 0};
  Decoder mh = open_decoder(file);
  if (!mh || mpg123_scan(mh.get()) != MPG123_OK) return 0;
  const off_t length = mpg123_length(mh.get());
  return length > 0 ? static_cast<uint64_t>(length) : 0;
}

std::string decoder_reason(mpg123_handle* mh, int code) {
  const char* text = code == MPG123_ERR ? mpg123_strerror(mh) : mpg123_plain_strerror(code);
  return text ? text : "unknown decoder error";
}

}  // namespace

DecodeStatus decode_mp3(const uint8_t* data, size_t size, PcmTrack& out, std::string& error) {
  out = PcmTrack{};
  if (data == nullptr || size == 0) {
    error = "empty file";
    return DecodeStatus::undecodable;
  }
  if (!library_ready()) {
    error = "MP3 decoder library failed to initialise";
    return DecodeStatus::undecodable;
  }
  MemoryFile file{data, size, 0};
  Decoder mh = open_decoder(file);
  if (!mh) {
    error = "cannot set up the MP3 decoder";
    return DecodeStatus::undecodable;
  }
  int code = MPG123_OK;
  PcmTrack track;
  bool have_format = false;
  for (;;) {
    off_t frame_number = 0;
    unsigned char* audio = nullptr;
    size_t bytes = 0;
    code = mpg123_decode_frame(mh.get(), &frame_number, &audio, &bytes);
    if (code == MPG123_NEW_FORMAT) {
      long rate = 0;
      int channels = 0, encoding = 0;
      mpg123_getformat(mh.get(), &rate, &channels, &encoding);
      if (have_format && (rate != track.rate || channels != track.channels)) break;  // keep one format
      if (encoding != MPG123_ENC_SIGNED_16 || channels < 1 || channels > 2 || rate <= 0) {
        error = "unsupported output format";
        return DecodeStatus::undecodable;
      }
      track.rate = static_cast<int>(rate);
      track.channels = channels;
      if (!have_format) {
        // Allocate the whole track once, so that a long track is never held
        // twice while it grows.
        const uint64_t length = scanned_length(data, size);
        if (length > 0) track.samples.reserve((length + kLengthMargin) * static_cast<size_t>(channels));
      }
      have_format = true;
      continue;
    }
    if (code == MPG123_OK) {
      if (!have_format || bytes == 0) continue;
      size_t n = bytes / 2;
      size_t need = track.samples.size() + n;
      if (need > track.samples.capacity())
        track.samples.reserve(std::max(need, track.samples.capacity() + track.samples.capacity() / 8));
      const auto* s = reinterpret_cast<const int16_t*>(audio);
      track.samples.insert(track.samples.end(), s, s + n);
      continue;
    }
    if (code == MPG123_DONE) break;
    if (code == MPG123_NEED_MORE) break;  // the reader has nothing more to give
    // A decoding error: a track that already has sound keeps what decoded.
    if (track.empty()) {
      error = "not an MP3 stream (" + decoder_reason(mh.get(), code) + ")";
      return DecodeStatus::undecodable;
    }
    break;
  }
  if (!have_format || track.channels == 0) {
    error = "not an MP3 stream (no MPEG audio frames found)";
    return DecodeStatus::undecodable;
  }
  // Drop a stray half frame (cannot happen with 16-bit output, but the
  // position arithmetic relies on whole frames).
  track.samples.resize(track.frames() * static_cast<size_t>(track.channels));
  if (track.empty()) {
    error = "not an MP3 stream (no sound decoded)";
    return DecodeStatus::undecodable;
  }
  if (track.samples.capacity() > track.samples.size() + track.samples.size() / 4) track.samples.shrink_to_fit();
  out = std::move(track);
  return DecodeStatus::ok;
}

DecodeStatus decode_mp3_file(const std::string& path, PcmTrack& out, std::string& error) {
  out = PcmTrack{};
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = std::string("cannot open (") + std::strerror(errno) + ")";
    return DecodeStatus::unreadable;
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[1 << 16];
  for (;;) {
    size_t n = std::fread(chunk, 1, sizeof chunk, f);
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (n < sizeof chunk) break;
  }
  bool read_error = std::ferror(f) != 0;
  int read_errno = errno;
  std::fclose(f);
  if (read_error) {
    error = std::string("cannot read (") + std::strerror(read_errno) + ")";
    return DecodeStatus::unreadable;
  }
  return decode_mp3(bytes.data(), bytes.size(), out, error);
}

uint32_t level_of_peak(uint32_t peak) {
  peak = std::min<uint32_t>(peak, 32768);
  return (peak * 128u + 16384u) / 32768u;
}

uint32_t peak_level(const PcmTrack& track, uint64_t first, uint64_t count) {
  const uint64_t frames = track.frames();
  if (first >= frames || count == 0) return 0;
  const uint64_t last = first + std::min(count, frames - first);
  const int ch = track.channels;
  const int16_t* s = track.samples.data();
  uint32_t left = 0, right = 0;
  for (uint64_t i = first; i < last; ++i) {
    uint32_t l = static_cast<uint32_t>(std::abs(static_cast<int>(s[i * ch])));
    uint32_t r = ch > 1 ? static_cast<uint32_t>(std::abs(static_cast<int>(s[i * ch + 1]))) : l;
    left = std::max(left, l);
    right = std::max(right, r);
  }
  return level_of_peak(left) | (level_of_peak(right) << 16);
}

uint64_t level_window_frames(const PcmTrack& track) {
  return track.rate > 0 ? std::max<uint64_t>(1, static_cast<uint64_t>(track.rate) / 50) : 0;
}

uint32_t level_near(const PcmTrack& track, uint64_t frame) {
  const uint64_t window = level_window_frames(track);
  const uint64_t first = frame > window / 2 ? frame - window / 2 : 0;
  return peak_level(track, first, window);
}

}  // namespace quarvel::audio
