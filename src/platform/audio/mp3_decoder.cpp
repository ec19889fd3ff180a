#include "platform/audio/mp3_decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <sys/stat.h>

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
using Handle = std::unique_ptr<mpg123_handle, HandleDeleter>;

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

Handle open_handle(MemoryFile& file) {
  int code = MPG123_OK;
  Handle mh(mpg123_new(nullptr, &code));
  if (!mh) return mh;
  mpg123_param(mh.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
  if (!set_output_formats(mh.get()) ||
      mpg123_replace_reader_handle(mh.get(), memory_read, memory_seek, nullptr) != MPG123_OK ||
      mpg123_open_handle(mh.get(), &file) != MPG123_OK)
    mh.reset();
  return mh;
}

std::string decoder_reason(mpg123_handle* mh, int code) {
  const char* text = code == MPG123_ERR ? mpg123_strerror(mh) : mpg123_plain_strerror(code);
  return text ? text : "unknown decoder error";
}

// One call of the decoder: a decoded MPEG frame, a new format, the end or
// an error.
struct Step {
  int code = MPG123_OK;
  const int16_t* samples = nullptr;
  size_t bytes = 0;
  long rate = 0;  // with MPG123_NEW_FORMAT
  int channels = 0;
  int encoding = 0;
};

Step decode_step(mpg123_handle* mh) {
  Step step;
  off_t frame_number = 0;
  unsigned char* audio = nullptr;
  step.code = mpg123_decode_frame(mh, &frame_number, &audio, &step.bytes);
  step.samples = reinterpret_cast<const int16_t*>(audio);
  if (step.code == MPG123_NEW_FORMAT) mpg123_getformat(mh, &step.rate, &step.channels, &step.encoding);
  return step;
}

}  // namespace

struct Mp3Decoder::State {
  MemoryFile file;
  Handle mh;
  const int16_t* pending = nullptr;  // the first sound, found by start()
  size_t pending_count = 0;
  bool ended = false;
};

Mp3Decoder::Mp3Decoder(const uint8_t* data, size_t size)
    : state_(std::make_unique<State>(State{MemoryFile{data, size, 0}, nullptr})) {}

Mp3Decoder::~Mp3Decoder() = default;

DecodeStatus Mp3Decoder::start(std::string& error) {
  State& st = *state_;
  st.ended = true;
  if (st.file.data == nullptr || st.file.size == 0) {
    error = "empty file";
    return DecodeStatus::undecodable;
  }
  if (!library_ready()) {
    error = "MP3 decoder library failed to initialise";
    return DecodeStatus::undecodable;
  }
  st.mh = open_handle(st.file);
  if (!st.mh) {
    error = "cannot set up the MP3 decoder";
    return DecodeStatus::undecodable;
  }
  bool have_format = false;
  for (;;) {
    const Step step = decode_step(st.mh.get());
    if (step.code == MPG123_NEW_FORMAT) {
      if (have_format && (step.rate != rate_ || step.channels != channels_)) break;  // keep one format
      if (step.encoding != MPG123_ENC_SIGNED_16 || step.channels < 1 || step.channels > 2 || step.rate <= 0) {
        error = "unsupported output format";
        return DecodeStatus::undecodable;
      }
      rate_ = static_cast<int>(step.rate);
      channels_ = step.channels;
      have_format = true;
      continue;
    }
    if (step.code == MPG123_OK) {
      const size_t count = step.bytes / 2 / static_cast<size_t>(std::max(channels_, 1)) * channels_;
      if (!have_format || count == 0) continue;
      st.pending = step.samples;
      st.pending_count = count;
      st.ended = false;
      return DecodeStatus::ok;
    }
    if (step.code == MPG123_DONE || step.code == MPG123_NEED_MORE) break;  // the reader has nothing more to give
    error = "not an MP3 stream (" + decoder_reason(st.mh.get(), step.code) + ")";
    return DecodeStatus::undecodable;
  }
  error = have_format ? "not an MP3 stream (no sound decoded)" : "not an MP3 stream (no MPEG audio frames found)";
  return DecodeStatus::undecodable;
}

bool Mp3Decoder::next(const int16_t*& samples, size_t& count) {
  State& st = *state_;
  if (st.pending) {
    samples = st.pending;
    count = st.pending_count;
    st.pending = nullptr;
    return true;
  }
  while (!st.ended) {
    const Step step = decode_step(st.mh.get());
    if (step.code == MPG123_NEW_FORMAT) {
      if (step.rate != rate_ || step.channels != channels_ || step.encoding != MPG123_ENC_SIGNED_16) break;
      continue;
    }
    if (step.code != MPG123_OK) break;  // the end, or a break in the stream: keep what decoded
    const size_t n = step.bytes / 2 / static_cast<size_t>(channels_) * channels_;
    if (n == 0) continue;
    samples = step.samples;
    count = n;
    return true;
  }
  st.ended = true;
  return false;
}

uint64_t Mp3Decoder::scanned_frames() const {
  // On a decoder of its own: a scanned decoder may trim the stream's start
  // and end differently.
  MemoryFile file{state_->file.data, state_->file.size, 0};
  Handle mh = open_handle(file);
  if (!mh || mpg123_scan(mh.get()) != MPG123_OK) return 0;
  const off_t length = mpg123_length(mh.get());
  return length > 0 ? static_cast<uint64_t>(length) : 0;
}


DecodeStatus read_file_bytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  bytes.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = std::string("cannot open (") + std::strerror(errno) + ")";
    return DecodeStatus::unreadable;
  }
  // One allocation at the file's size; a file that grows meanwhile still
  // reads whole.
  struct stat info {};
  if (fstat(fileno(f), &info) == 0 && info.st_size > 0) bytes.reserve(static_cast<size_t>(info.st_size) + 1);
  uint8_t chunk[1 << 16];
  for (;;) {
    size_t n = std::fread(chunk, 1, sizeof chunk, f);
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (n < sizeof chunk) break;
  }
  const bool read_error = std::ferror(f) != 0;
  const int read_errno = errno;
  std::fclose(f);
  if (read_error) {
    error = std::string("cannot read (") + std::strerror(read_errno) + ")";
    bytes.clear();
    return DecodeStatus::unreadable;
  }
  return DecodeStatus::ok;
}

}  // namespace quarvel::audio
