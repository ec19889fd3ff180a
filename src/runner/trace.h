#pragma once
// The trace of a show run: one JSON object a line per tick, written after
// the tick's flip and safety end. The keys are listed in the README
// ("Trace"); floats are written in the shortest form that reads back to the
// same single-precision value, so two runs of the same show give the same
// bytes.
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/render/gamma.h"

namespace quarvel::app {
class TMainForm;
}

namespace quarvel::runner {

// A single float as JSON: the shortest round-tripping form, null when it is
// not finite.
std::string json_float(float v);

class TraceWriter {
 public:
  // With `operator_keys` the lines also carry the operator's switches, speed
  // and editable light (--trace-operator); without it only the default keys.
  explicit TraceWriter(bool operator_keys = false) : operator_keys_(operator_keys) {}

  // The line of one tick (without the line break). `ms` is the virtual
  // clock the tick ran at; `closed` marks the tick that asked the form to
  // close. The ramp goes in on the first line and whenever it changed.
  std::string line(int tick, uint32_t ms, const app::TMainForm& form, bool closed);

 private:
  bool operator_keys_;
  bool have_gamma_ = false;
  render::GammaRamp last_gamma_;
};

}  // namespace quarvel::runner
