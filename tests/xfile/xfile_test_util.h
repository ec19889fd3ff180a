#pragma once
// Small builders for model files written inside tests.
#include <zlib.h>

#include <algorithm>
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

// ---------------------------------------------------------------- hostile files
// Small compressed files whose counts claim far more than they give. Each
// is padded so that its counts pass the check against the data left.

// A triangle mesh whose material list counts `count` materials but gives
// one; its face uses material `face_material`. With a count of 10 million
// the file is about 32 KB.
inline std::string material_count_file(uint32_t count, uint32_t face_material) {
  std::string body = "Mesh {\n 3; 0;0;0;, 1;0;0;, 0;1;0;;\n 1; 3;0,1,2;;\n MeshMaterialList {\n  " +
                     std::to_string(count) + ";\n  1;\n  " + std::to_string(face_material) +
                     ";;\n  Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }\n }\n}\n";
  body.append(size_t{2} * count + 16, ' ');  // two bytes, the shortest number, per material counted
  return compress_body(body, "xof 0303tzip0032");
}

// An animation key list counting `count` keys, then `given` keys of three
// values each and spaces up to the four bytes per key counted. With 50
// million counted the file inflates to 200 MB: about 316 KB when no key is
// given, 460 KB with 17 million keys.
inline std::string key_count_file(uint32_t count, size_t given) {
  std::string body = "AnimationSet {\n Animation {\n  { F }\n  AnimationKey {\n   2;\n   " + std::to_string(count) +
                     ";\n";
  constexpr std::string_view kKey = "0;3;0,0,0;;,";
  const size_t data = body.size() + size_t{4} * count + 16;
  body.reserve(std::max(data, body.size() + given * kKey.size() + 16));
  for (size_t i = 0; i < given; ++i) body += kKey;
  if (body.size() < data) body.append(data - body.size(), ' ');
  body += "\n}}}\n";
  return compress_body(body, "xof 0303tzip0032", 65520);
}

}  // namespace quarvel::xfile::testing
