#pragma once
// The camera helpers: following the path frame, reading the camera back.
#include "scene/show.h"

namespace quarvel::scene {

// Reads cam_path's pose (relative to the scene frame) and, when cam_suivi is
// set, gives it to the camera frame. Does nothing without a cam_path.
void Calcul_pos(Show& s);
// cam_dir and cam_up := the camera frame's orientation relative to the scene.
void get_camera(Show& s);

}  // namespace quarvel::scene
