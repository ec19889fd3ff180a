#include "controls/effects.h"

#include <cmath>

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

void Contraste(scene::Show& s, uint8_t low, uint8_t high) { s.DXDraw.set_gamma(contrast_ramp(low, high)); }

void Contraste2(scene::Show& s, uint8_t low, uint8_t high) { s.DXDraw.set_gamma(green_negative_ramp(low, high)); }

void clignote(scene::Show& s) {
  s.angle_clignote += 70;
  const double c = std::cos(scene::deg(s.angle_clignote));
  if (const scene::LightRef light = s.light_tab.get(0)) {
    light->set_color_rgb(static_cast<float>(0.75 + 0.5 * c), static_cast<float>(0.25 - 0.25 * c),
                         static_cast<float>(0.25 + 0.25 * c));
  }
}

void ecran16(scene::Show& s) {
  const int32_t n = ++s.ecran16_n;
  if (s.stage.viewport) s.stage.viewport->configure(0, 240 - 10 * n, 640, 20 * n);
  if (2 * n >= 36) s.ecran16_actif = false;
}

void Focale_visu(scene::Show& s) { ++s.focale; }

}  // namespace quarvel::controls
