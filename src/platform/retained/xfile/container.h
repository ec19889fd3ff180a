#pragma once
// The container around a model file's data: the 16-byte header ("xof ",
// version, encoding, float size) and, for the compressed encodings, the
// body's blocks of deflate data, inflated with zlib.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/retained/xfile/model.h"

namespace quarvel::xfile {

// What a model file's header says.
struct Header {
  int version_major = 0;
  int version_minor = 0;
  Encoding encoding = Encoding::Text;
  int float_bits = 32;
};

// Reads the header at the start of `size` bytes of file. False, with what
// is wrong in `why`, when they do not start with a model header.
bool read_header(const uint8_t* data, size_t size, Header& header, std::string& why);

// True for the encodings whose body is compressed ("tzip", "bzip").
bool is_compressed(Encoding encoding);

// Inflates the body of a compressed file (everything after the 16-byte
// header): a 32-bit total size, then blocks of "CK" + deflate data, each
// one using the block before it as its dictionary. Returns the body as the
// plain text or binary encoding would hold it (without the header).
bool inflate_body(const uint8_t* data, size_t size, std::vector<uint8_t>& out, std::string& error,
                  size_t max_bytes = size_t{256} << 20);

// True when the data starts like a model file ("xof ").
bool looks_like_model(const void* data, size_t size);

// A memory size as messages give it: "N MB", rounded up.
std::string megabytes(size_t bytes);

}  // namespace quarvel::xfile
