#include "platform/retained/xfile/container.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/retained/xfile/lexer.h"

namespace quarvel::xfile {

namespace {

bool digits(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] < '0' || p[i] > '9') return false;
  return true;
}

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

std::string megabytes(size_t bytes) { return std::to_string((bytes + (size_t{1} << 20) - 1) >> 20) + " MB"; }

bool looks_like_model(const void* data, size_t size) {
  return size >= 4 && std::memcmp(data, "xof ", 4) == 0;
}

}  // namespace quarvel::xfile
