#pragma once
// Pieces shared by the builders and steps of the forest edge, the model
// scene, the explosion and the finale.
#include <cstddef>
#include <cstdint>

#include "scene/show.h"

namespace quarvel::scenes {

// Open, linear positions, scale and rotation, positions.
inline constexpr uint32_t kLoadedAnimationOptions = 0x35;

// Gives every animation of anim_set[idx] the options `options`, announcing
// the work on the loading display first. A missing set changes nothing.
void set_loaded_animation_options(scene::Show& s, int32_t idx, uint32_t options);

// cam_path := the first child of anim_frame[0] (the path frame of the model
// loaded there); empty when the model brought no frame.
void take_cam_path(scene::Show& s);

// The input groups that keep the camera's own motion going while held:
// movement is up, down and buttons 1..4; turning is left, right and
// buttons 5..8.
bool movement_input_held(const scene::Show& s);
bool turning_input_held(const scene::Show& s);

// What Party_5 and Party_6 differ in.
struct EdgeStep {
  size_t end_entry;  // index into Temps
  void (*next_builder)(scene::Show&);
  float animation_divisor;  // animation set time = clock / divisor
  bool sets_field;          // field := focale / 20 each tick
  bool uniform_scaling;     // SetUniformScaling(TRUE) at the start and mid-tick
};

// One tick of the forest edge or model scene: hand-over, ground scroll,
// animation sets, camera state copies, stopping the camera's own motion.
void edge_step(scene::Show& s, const EdgeStep& step);

}  // namespace quarvel::scenes
