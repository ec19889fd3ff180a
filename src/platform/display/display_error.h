#pragma once
#include <stdexcept>
#include <string>

namespace quarvel::display {

// Raised when the display cannot be initialised; the message names what
// failed (the window, the GL context, a mode, a shader...).
class DisplayError : public std::runtime_error {
 public:
  explicit DisplayError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace quarvel::display
