#pragma once
// The 2D layers drawn on the back surface after the 3D render and before
// the flip, each while its scene's step is active, in this order: the
// opening band (opening scene), the scan lines (explosion), the cosine grid,
// banner and logo sequence (forest flight), and the fade-out of the finale
// with its close.
#include <cstdint>

#include "platform/render/gamma.h"
#include "platform/render/surface2d.h"
#include "scene/show.h"

namespace quarvel::app {

// The band's stripe colour (raw device colour).
inline constexpr uint32_t kBandColour = 0xF5F5F5u;
// The finale fades from this clock value on and ends above kFinaleEnd.
inline constexpr float kFadeStart = 700.0f;
inline constexpr float kFinaleEnd = 864.0f;
// Each unit of fondu darkens every entry of the saved ramp by this much.
inline constexpr int64_t kFadePerFondu = 800;

void opening_band(scene::Show& s);
void scan_lines(scene::Show& s);
void cosine_grid(scene::Show& s);
void banner_and_logo(scene::Show& s);
// Sets fondu and the faded ramp; true when the finale is over (the form
// must close).
bool fade_out(scene::Show& s);

// Every layer whose step is active; true when the form must close.
bool draw_layers(scene::Show& s);

// The logo sequence's opacity a(e) = trunc(126 e + 127).
int32_t logo_opacity(double e);
// The swinging rectangle S(top): centred on x = 320, its width swinging with
// the clock between 0 and 640, height 32.
render::Rect swing_rect(float horloge, int32_t top);

}  // namespace quarvel::app
