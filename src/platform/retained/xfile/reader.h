#pragma once
// Reads DirectX .x model files (text, binary and compressed; 32- or 64-bit
// floats) into a Model. A file that cannot be read is refused with one
// error line naming the file, what is wrong and where; the Model passed in
// is then left as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/retained/xfile/container.h"
#include "platform/retained/xfile/model.h"

namespace quarvel::xfile {

struct Limits {
  size_t max_file_bytes = size_t{256} << 20;      // largest file read
  size_t max_inflated_bytes = size_t{256} << 20;  // largest compressed file content
  // Memory the read model may take: at most this, and at most a small
  // multiple of the file's (inflated) data, so that a small file cannot
  // claim much.
  size_t max_model_bytes = size_t{256} << 20;
  int max_depth = 64;                             // objects inside objects
};

bool read_file(const std::string& path, Model& model, std::string& error, const Limits& limits = {});

// `name` is the file name used in messages.
bool read_memory(const void* data, size_t size, const std::string& name, Model& model,
                 std::string& error, const Limits& limits = {});

// The memory a model read from `data_bytes` of (inflated) data may take:
// eight times the data and 4 MB, at most limits.max_model_bytes. Every
// item the reader keeps is booked against it before it is taken, and the
// lists grow only with the items actually read, never from a count the
// file declares; past it the file is refused ("the model would take more
// than N MB of memory"). The reader's peak is thus the data and this.
size_t model_budget(size_t data_bytes, const Limits& limits = {});

// The last part of a path, whichever separator ('/' or '\') it uses.
std::string base_name(const std::string& path);

}  // namespace quarvel::xfile
