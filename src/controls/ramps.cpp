#include "controls/ramps.h"

#include <algorithm>
#include <array>

#include "scene/helpers.h"

namespace quarvel::controls {

using scene::Round;

render::GammaRamp contrast_ramp(uint8_t low, uint8_t high) {
  std::array<uint16_t, 256> e{};
  for (int i = 0; i <= low; ++i) e[i] = 0;
  for (int i = high; i <= 255; ++i) e[i] = 65535;
  if (high > low) {
    const double q = 255.0 / (high - low);
    for (int i = low; i <= high; ++i) e[i] = static_cast<uint16_t>(Round((i - low) * q * 255));
  } else if (high == low) {
    e[low] = 0;  // the window's first entry, whose step is zero
  }
  render::GammaRamp ramp;
  ramp.red = ramp.green = ramp.blue = e;
  return ramp;
}

render::GammaRamp green_negative_ramp(uint8_t low, uint8_t high) {
  render::GammaRamp ramp;  // red and blue stay black
  for (int i = 0; i <= low; ++i) ramp.green[i] = 65535;
  for (int i = high; i <= 255; ++i) ramp.green[i] = 0;
  if (high > low) {
    for (int i = low; i <= high; ++i) {
      const double fall = static_cast<double>(low - i) / (high - low) + 1;
      ramp.green[i] = static_cast<uint16_t>(Round(fall * 255 * 256));
    }
  } else if (high == low) {
    ramp.green[low] = 65280;
  }
  return ramp;
}

render::GammaRamp darkened_ramp(const render::GammaRamp& base, int64_t step) {
  render::GammaRamp out;
  auto channel = [step](const std::array<uint16_t, 256>& in, std::array<uint16_t, 256>& to) {
    for (size_t i = 0; i < in.size(); ++i) {
      to[i] = static_cast<uint16_t>(std::max<int64_t>(0, static_cast<int64_t>(in[i]) - step));
    }
  };
  channel(base.red, out.red);
  channel(base.green, out.green);
  channel(base.blue, out.blue);
  return out;
}

}  // namespace quarvel::controls
