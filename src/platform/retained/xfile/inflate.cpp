// The desktop's inflater of compressed model bodies, on zlib.
#include <zlib.h>

#include <string>
#include <vector>

#include "platform/retained/xfile/container.h"

namespace quarvel::xfile {

namespace {

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

struct InflateStream {
  z_stream z{};
  bool ok = false;
  InflateStream() { ok = inflateInit2(&z, -MAX_WBITS) == Z_OK; }
  ~InflateStream() {
    if (ok) inflateEnd(&z);
  }
};

}  // namespace

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

}  // namespace quarvel::xfile
