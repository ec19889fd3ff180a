#include <string>
#include <vector>

#include "platform/retained/xfile/container.h"

namespace quarvel::xfile {

// The page carries no inflater: compressed model files are refused.
bool inflate_body(const uint8_t*, size_t, std::vector<uint8_t>&, std::string& error, size_t) {
  error = "compressed model files are not read in the web edition";
  return false;
}

}  // namespace quarvel::xfile
