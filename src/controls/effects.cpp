#include "controls/effects.h"

#include <cmath>

#include "scene/helpers.h"

namespace quarvel::controls {

void Contraste(scene::Show& s, uint8_t low, uint8_t high) { s.DXDraw.set_gamma(contrast_ramp(low, high)); }

void Contraste2(scene::Show& s, uint8_t low, uint8_t high) { s.DXDraw.set_gamma(green_negative_ramp(low, high)); }

void clignote(scene::Show& s) {
  s.lights.angle_clignote += 70;
  const double c = std::cos(scene::deg(s.lights.angle_clignote));
  if (const scene::LightRef light = s.lights.light_tab.get(0)) {
    light->set_color_rgb(static_cast<float>(0.75 + 0.5 * c), static_cast<float>(0.25 - 0.25 * c),
                         static_cast<float>(0.25 + 0.25 * c));
  }
}

void ecran16(scene::Show& s) {
  const int32_t n = ++s.layers.ecran16_n;
  if (s.stage.viewport) s.stage.viewport->configure(0, 240 - 10 * n, 640, 20 * n);
  if (2 * n >= 36) s.layers.ecran16_actif = false;
}

void Focale_visu(scene::Show& s) { ++s.view.focale; }

}  // namespace quarvel::controls
