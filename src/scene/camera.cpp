#include "scene/camera.h"

namespace quarvel::scene {

void Calcul_pos(Show& s) {
  if (!s.cam_path) return;
  const rm::Frame* world = s.DXDraw.scene.get();
  // The path frame's pose is read on every call, followed or not.
  const Vec3 p = s.cam_path->position(world);
  Vec3 d, u;
  s.cam_path->orientation(world, d, u);
  if (!s.cam_suivi || !s.DXDraw.camera) return;
  s.DXDraw.camera->set_position(world, p);
  s.DXDraw.camera->set_orientation(world, d, u);
}

void get_camera(Show& s) {
  if (!s.DXDraw.camera) return;
  s.DXDraw.camera->orientation(s.DXDraw.scene.get(), s.cam_dir, s.cam_up);
}

}  // namespace quarvel::scene
