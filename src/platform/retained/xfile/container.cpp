#include "platform/retained/xfile/container.h"

#ifndef __EMSCRIPTEN__
#include <zlib.h>
#endif

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/retained/xfile/lexer.h"

namespace quarvel::xfile {

namespace {

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool digits(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] < '0' || p[i] > '9') return false;
  return true;
}

#ifndef __EMSCRIPTEN__
struct InflateStream {
  z_stream z{};
  bool ok = false;
  InflateStream() { ok = inflateInit2(&z, -MAX_WBITS) == Z_OK; }
  ~InflateStream() {
    if (ok) inflateEnd(&z);
  }
};
#endif

bool fail(std::string& why, const std::string& what) {
  why = what;
  return false;
}

}  // namespace

bool read_header(const uint8_t* data, size_t size, Header& header, std::string& why) {
  if (size == 0) return fail(why, "the file is empty");
  if (size < 16) return fail(why, "the file is too short for a model header (" + std::to_string(size) + " bytes)");
  if (!looks_like_model(data, size)) return fail(why, "not a model file (it does not start with 'xof ')");
  if (!digits(data + 4, 4)) return fail(why, "the header has no version number");
  header.version_major = (data[4] - '0') * 10 + (data[5] - '0');
  header.version_minor = (data[6] - '0') * 10 + (data[7] - '0');
  std::string_view enc(reinterpret_cast<const char*>(data + 8), 4);
  if (enc == "txt ") header.encoding = Encoding::Text;
  else if (enc == "bin ") header.encoding = Encoding::Binary;
  else if (enc == "tzip") header.encoding = Encoding::TextZip;
  else if (enc == "bzip") header.encoding = Encoding::BinaryZip;
  else return fail(why, "unknown encoding " + shown(enc) + " in the header");
  std::string_view bits(reinterpret_cast<const char*>(data + 12), 4);
  if (bits == "0032") header.float_bits = 32;
  else if (bits == "0064") header.float_bits = 64;
  else return fail(why, "unknown float size " + shown(bits) + " in the header");
  return true;
}

bool is_compressed(Encoding encoding) { return encoding == Encoding::TextZip || encoding == Encoding::BinaryZip; }

#ifdef __EMSCRIPTEN__
// The page carries no inflater: compressed model files are refused.
bool inflate_body(const uint8_t*, size_t, std::vector<uint8_t>&, std::string& error, size_t) {
  error = "compressed model files are not read in the web edition";
  return false;
}
#else
bool inflate_body(const uint8_t* data, size_t size, std::vector<uint8_t>& out, std::string& error,
                  size_t max_bytes) {
  if (size < 4) {
    error = "the compressed data is too short (" + std::to_string(size) + " bytes)";
    return false;
  }
  uint32_t total = le32(data);
  if (total < 16) {
    error = "the compressed data declares a size of " + std::to_string(total) + " bytes";
    return false;
  }
  size_t body = total - 16;
  if (body > max_bytes) {
    error = "the compressed data would inflate to " + megabytes(body) + ", more than the " + megabytes(max_bytes) +
            " a model may hold";
    return false;
  }
  // Deflate cannot expand data more than about 1032 times.
  if (body / 1032 > size) {
    error = "the compressed data declares " + std::to_string(total) + " bytes, more than it can hold";
    return false;
  }
  // The buffer grows with the blocks actually inflated, not with the total
  // the header declares.
  std::vector<uint8_t> buf;
  InflateStream s;
  if (!s.ok) {
    error = "cannot start the inflater";
    return false;
  }
  size_t pos = 4, done = 0;
  int block = 0;
  while (pos < size && done < body) {
    const size_t at = pos + 16;  // where the block starts in the file
    auto refuse_block = [&](const std::string& what) {
      error = "compressed block " + std::to_string(block) + " " + what + " (byte " + std::to_string(at) + ")";
      return false;
    };
    if (size - pos < 6) return refuse_block("is cut short");
    size_t expect = le16(data + pos);
    size_t packed = le16(data + pos + 2);
    pos += 4;
    if (packed < 2 || packed > size - pos) return refuse_block("runs past the end of the file");
    if (data[pos] != 'C' || data[pos + 1] != 'K') return refuse_block("lacks its 'CK' mark");
    if (expect == 0 || expect > body - done)
      return refuse_block("declares " + std::to_string(expect) + " bytes, past the declared total");
    if (buf.capacity() < done + expect) buf.reserve(std::min(body, std::max(done + expect, 2 * buf.capacity())));
    buf.resize(done + expect);
    inflateReset(&s.z);
    if (done > 0) {
      size_t dict = std::min<size_t>(done, 32768);
      inflateSetDictionary(&s.z, buf.data() + done - dict, static_cast<uInt>(dict));
    }
    s.z.next_in = const_cast<Bytef*>(data + pos + 2);
    s.z.avail_in = static_cast<uInt>(packed - 2);
    s.z.next_out = buf.data() + done;
    s.z.avail_out = static_cast<uInt>(expect);
    int r = inflate(&s.z, Z_FINISH);
    size_t got = expect - s.z.avail_out;
    if (r != Z_STREAM_END || got != expect)
      return refuse_block("is damaged: it inflates to " + std::to_string(got) + " bytes instead of " +
                          std::to_string(expect));
    done += got;
    pos += packed;
    ++block;
  }
  if (done != body) {
    error = "the compressed data inflates to " + std::to_string(done + 16) + " bytes, the header says " +
            std::to_string(total);
    return false;
  }
  out = std::move(buf);
  return true;
}
#endif

std::string megabytes(size_t bytes) { return std::to_string((bytes + (size_t{1} << 20) - 1) >> 20) + " MB"; }

bool looks_like_model(const void* data, size_t size) {
  return size >= 4 && std::memcmp(data, "xof ", 4) == 0;
}

}  // namespace quarvel::xfile
