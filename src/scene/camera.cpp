#include "scene/camera.h"

namespace quarvel::scene {

void Calcul_pos(Show& s) {
  if (!s.view.cam_path) return;
  const rm::Frame* world = s.stage.scene.get();
  // The path frame's pose is read on every call, followed or not.
  const Vec3 p = s.view.cam_path->position(world);
  Vec3 d, u;
  s.view.cam_path->orientation(world, d, u);
  if (!s.view.cam_suivi || !s.stage.camera) return;
  s.stage.camera->set_position(world, p);
  s.stage.camera->set_orientation(world, d, u);
}

void get_camera(Show& s) {
  if (!s.stage.camera) return;
  s.stage.camera->orientation(s.stage.scene.get(), s.view.cam_dir, s.view.cam_up);
}

}  // namespace quarvel::scene
