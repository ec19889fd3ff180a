#pragma once
// Pieces shared by the builders and steps of the scene chain: the
// animation options, the files read ahead, the camera path, the ground
// scroll, the animation sets' clock and the edge-like steps of the forest
// edge and model scene.
#include <cstddef>
#include <cstdint>

#include "scene/show.h"

namespace quarvel::scene {

// Open, linear positions, scale and rotation, positions.
inline constexpr uint32_t kLoadedAnimationOptions = 0x35;

// Gives every animation of anim_set[idx] the options `options`, announcing
// the work on the loading display first. A missing set changes nothing.
void set_loaded_animation_options(Show& s, int32_t idx, uint32_t options);

// The scenes in the order of the chain.
// After the finale there is nothing more to read.
enum class Scene { Opening, ForestFlight, ForestEdge, ModelScene, Explosion, Finale, End };

// Starts reading and parsing, on the scene graph's parse-ahead thread, the
// model and picture files the builder of `next` loads (the pictures its
// models name among them), and lets go of what the scenes before needed.
// A builder called when its files are not ready (or not prepared at all)
// waits for them or reads them itself: what it builds is the same.
void parse_ahead_for(Show& s, Scene next);

// Whether the model that brought the camera path stays in the scene.
enum class PathModel { Kept, Hidden };

// cam_path := the first child of anim_frame[0] (the path frame of the model
// loaded there); empty when the model brought no frame. With Hidden the
// model's frame is also taken off the scene frame's visuals.
void take_cam_path(Show& s, PathModel model);

// The ground scroll: wrap_u := `wrap_u`, and a fresh flat wrap offset by
// wrap_u / 25, with `scale` for both texture axes, replaces wrap_tab[0] on
// the ground mesh wrap_mesh[0].
void scroll_ground(Show& s, int32_t wrap_u, float scale);
// The fixed scroll of the opening, forest edge and model scene: this step
// back each tick, at this scale.
inline constexpr int32_t kGroundStep = 5;
inline constexpr float kGroundScale = 0.01f;

// Both animation sets anim_set[0] and anim_set[1] posed at `time`.
void pose_animation_sets(Show& s, float time);

// The input groups that keep the camera's own motion going while held:
// movement is up, down and buttons 1..4; turning is left, right and
// buttons 5..8.
bool movement_input_held(const Show& s);
bool turning_input_held(const Show& s);

// What Party_5 and Party_6 differ in.
struct EdgeStep {
  TimeEntry end_entry;  // the clock that ends the scene
  void (*next_builder)(Show&);
  float animation_divisor;  // animation set time = clock / divisor
  bool sets_field;          // field := focale / 20 each tick
  bool uniform_scaling;     // SetUniformScaling(TRUE) at the start and mid-tick
};

// One tick of the forest edge or model scene: hand-over, ground scroll,
// animation sets, camera state copies, stopping the camera's own motion.
void edge_step(Show& s, const EdgeStep& step);

}  // namespace quarvel::scene
