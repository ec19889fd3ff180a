// Feeds arbitrary bytes to the model-file reader. Any crash, hang, leak or
// sanitizer report is a bug; refusing the input is the expected outcome.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/retained/xfile/describe.h"
#include "platform/retained/xfile/reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quarvel::xfile::Model model;
  std::string error;
  quarvel::xfile::Limits limits;
  limits.max_inflated_bytes = size_t{16} << 20;
  if (quarvel::xfile::read_memory(data, size, "fuzz.x", model, error, limits)) {
    // Walk what was read the way the inspection tool does.
    volatile size_t n = quarvel::xfile::describe_model(model, "fuzz.x").size();
    (void)n;
  } else if (error.empty()) {
    __builtin_trap();  // a refusal always says why
  }
  return 0;
}
