#pragma once
// Small builders for model files written inside tests.
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/retained/xfile/reader.h"

namespace quarvel::xfile::testing {

// Parses a text model body (the header is added).
inline bool parse_text(std::string_view body, Model& m, std::string& error, const Limits& limits = {}) {
  std::string file = "xof 0303txt 0032\n" + std::string(body);
  return read_memory(file.data(), file.size(), "test.x", m, error, limits);
}

// Writes the binary encoding token by token.
class BinaryWriter {
 public:
  explicit BinaryWriter(int float_bits = 32) : float_bits_(float_bits) {}
  BinaryWriter& code(uint16_t c) {
    put(&c, 2);
    return *this;
  }
  BinaryWriter& name(std::string_view s) { return code(1).dword(static_cast<uint32_t>(s.size())).bytes(s); }
  BinaryWriter& string(std::string_view s) {
    return code(2).dword(static_cast<uint32_t>(s.size())).bytes(s).code(20);
  }
  BinaryWriter& open() { return code(10); }
  BinaryWriter& close() { return code(11); }
  BinaryWriter& ints(std::initializer_list<uint32_t> v) {
    code(6).dword(static_cast<uint32_t>(v.size()));
    for (uint32_t x : v) dword(x);
    return *this;
  }
  BinaryWriter& floats(std::initializer_list<double> v) {
    code(7).dword(static_cast<uint32_t>(v.size()));
    for (double x : v) {
      if (float_bits_ == 64) {
        put(&x, 8);
      } else {
        float f = static_cast<float>(x);
        put(&f, 4);
      }
    }
    return *this;
  }
  BinaryWriter& dword(uint32_t v) {
    put(&v, 4);
    return *this;
  }
  BinaryWriter& bytes(std::string_view s) {
    put(s.data(), s.size());
    return *this;
  }
  std::string body() const { return data_; }
  std::string file() const { return std::string(float_bits_ == 64 ? "xof 0303bin 0064" : "xof 0303bin 0032") + data_; }

 private:
  void put(const void* p, size_t n) { data_.append(static_cast<const char*>(p), n); }
  int float_bits_;
  std::string data_;
};

// Compresses a body the way compressed model files hold it: blocks of at
// most `block` bytes, each "CK" + raw deflate using the previous block as
// its dictionary.
inline std::string compress_body(std::string_view body, const char* header, size_t block = 32768) {
  std::string out(header);
  uint32_t total = static_cast<uint32_t>(body.size() + 16);
  out.append(reinterpret_cast<const char*>(&total), 4);
  size_t done = 0;
  while (done < body.size()) {
    size_t n = std::min(block, body.size() - done);
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    if (done > 0) {
      size_t dict = std::min<size_t>(done, 32768);
      deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(body.data() + done - dict), static_cast<uInt>(dict));
    }
    std::vector<unsigned char> buf(deflateBound(&z, n) + 16);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data() + done));
    z.avail_in = static_cast<uInt>(n);
    z.next_out = buf.data();
    z.avail_out = static_cast<uInt>(buf.size());
    deflate(&z, Z_FINISH);
    size_t packed = buf.size() - z.avail_out;
    deflateEnd(&z);
    uint16_t sizes[2] = {static_cast<uint16_t>(n), static_cast<uint16_t>(packed + 2)};
    out.append(reinterpret_cast<const char*>(sizes), 4);
    out += "CK";
    out.append(reinterpret_cast<const char*>(buf.data()), packed);
    done += n;
  }
  return out;
}

}  // namespace quarvel::xfile::testing
