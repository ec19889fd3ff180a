#include "controls/operator.h"

#include <cstdint>

#include "scene/camera.h"
#include "scene/helpers.h"
#include "scene/lights.h"

namespace quarvel::controls {
namespace {

using scene::Show;
using scene::Vec3;

constexpr int kBackspace = 8;
// A key turn: radians per move of the scene.
constexpr float kTurn = 0.01f;

float to_single(double v) { return static_cast<float>(v); }

void turn(Show& s, const Vec3& axis, float angle) {
  if (s.stage.camera) s.stage.camera->set_rotation(s.stage.scene.get(), axis, angle);
}

void fly(Show& s, double x, double y, double z) {
  if (s.stage.camera) s.stage.camera->set_velocity(s.stage.scene.get(), {to_single(x), to_single(y), to_single(z)}, false);
}

void add(float& value, double delta) { value = to_single(static_cast<double>(value) + delta); }

// The action of a key whatever Backspace holds.
void plain_action(Show& s, int key, const Jumps& jumps) {
  switch (key) {
    case 13:  // Enter: the automatic camera, the clock back to 1
      s.controls.cam_auto = true;
      s.clock.horloge = 1.0f;
      break;
    case 16:  // Shift: the free camera, the clock back to 1
      s.controls.cam_auto = false;
      s.clock.horloge = 1.0f;
      break;
    case 42:  // numpad *: with the frame loop's own half step, nine times as fast
      add(s.clock.horloge, 4.0 * s.clock.pas_temps);
      break;
    case 70:  // F
      s.explosion.flash_fini = false;
      break;
    case 80:  // P
      s.opening.anim_x_actif = true;
      break;
    case 83:  // S
      s.opening.anim_x_actif = false;
      break;
    case 107:  // numpad +: the speed wraps like the 32-bit integer it is
      s.controls.vitesse = static_cast<int32_t>(static_cast<uint32_t>(s.controls.vitesse) + 1u);
      break;
    case 109:  // numpad -: takes back the frame loop's half step
      add(s.clock.horloge, -static_cast<double>(s.clock.pas_temps) / 2.0);
      break;
    case 111:  // numpad /: backwards at the normal speed
      add(s.clock.horloge, -static_cast<double>(s.clock.pas_temps));
      break;
    case 117:  // F6
      if (jumps.forest) jumps.forest(s);
      break;
    case 118:  // F7
      if (jumps.explosion) jumps.explosion(s);
      break;
    default:
      break;
  }
}

// The action of a key while Backspace is held: turns, switches off, lowers.
void backspace_action(Show& s, int key) {
  switch (key) {
    case 9: s.layers.affiche_infos = false; break;
    case 33: turn(s, {0, 0, 1}, kTurn); break;
    case 34: turn(s, {0, 0, 1}, -kTurn); break;
    case 35: turn(s, {0, 1, 0}, kTurn); break;
    case 36: turn(s, {0, 1, 0}, -kTurn); break;
    case 45: turn(s, {1, 0, 0}, kTurn); break;
    case 46: turn(s, {1, 0, 0}, -kTurn); break;
    case 49:
    case 50:
    case 51: s.explosion.effet[static_cast<size_t>(key - 49)] = false; break;
    case 66: add(s.controls.light_b, -1.0); break;
    case 67: s.view.cam_suivi = false; break;
    case 71: add(s.controls.light_g, -1.0); break;
    case 76: s.view.cam_vise = false; break;
    case 82: add(s.controls.light_r, -1.0); break;
    default: break;
  }
}

// The action of a key without Backspace: flies, switches on, raises, saves.
void free_action(Show& s, int key) {
  const double v = s.controls.vitesse;
  const Vec3 d = s.view.cam_dir;
  switch (key) {
    case 9: s.layers.affiche_infos = true; break;
    case 32: s.opening.etape_x = 0; break;
    case 33: fly(s, 0, v, 0); break;
    // Page Down and Delete take the view direction's components in the order
    // y, z, x: they drift rather than fly along the view.
    case 34: fly(s, -v * d.y / 4, -v * d.z / 4, -v * d.x / 4); break;
    case 35: fly(s, -v * d.x / 4, -v * d.y / 4, -v * d.z / 4); break;
    case 36: fly(s, v * d.x / 4, v * d.y / 4, v * d.z / 4); break;
    case 45: fly(s, 0, -v, 0); break;
    case 46: fly(s, v * d.y / 4, v * d.z / 4, v * d.x / 4); break;
    case 49:
    case 50:
    case 51: s.explosion.effet[static_cast<size_t>(key - 49)] = true; break;
    case 66: add(s.controls.light_b, 1.0); break;
    case 67: s.view.cam_suivi = true; break;
    case 71: add(s.controls.light_g, 1.0); break;
    case 76: s.view.cam_vise = true; break;
    case 82: add(s.controls.light_r, 1.0); break;
    case 83: scene::Sauve_light(s); break;
    case 98: add(s.controls.light_z, -1.0); break;
    case 99: add(s.controls.light_y, -1.0); break;
    case 100: add(s.controls.light_x, -1.0); break;
    case 102: add(s.controls.light_x, 1.0); break;
    case 104: add(s.controls.light_z, 1.0); break;
    case 105: add(s.controls.light_y, 1.0); break;
    default: break;
  }
}

}  // namespace

void Clavier(Show& s, const Jumps& jumps) {
  scene::get_camera(s);
  const display::Input& in = s.DXInput1;
  for (int key = 1; key <= kLastKey; ++key) {
    if (!in.key(key)) continue;
    plain_action(s, key, jumps);
    if (in.key(kBackspace)) {
      backspace_action(s, key);
    } else {
      free_action(s, key);
    }
  }
  // The mouse last: its velocity and turn replace what a key set.
  if (in.mouse_button(0) && s.stage.camera) {
    const double dx = in.mouse_x(), dy = in.mouse_y();
    const Vec3 d = s.view.cam_dir;
    fly(s, -dy * d.x, -dy * d.y, -dy * d.z);
    turn(s, {0, 1, 0}, to_single(dx / 400.0));
  }
}

void FormMouseDown(Show& s, int x, int y) {
  if (!s.stage.viewport) return;
  const std::vector<rm::PickResult> picked = s.stage.viewport->pick(x, y);
  if (picked.empty()) return;
  // The first hit's visual as a mesh builder; any other visual leaves the
  // choice empty and changes nothing.
  s.controls.objet_choisi = rm::as_mesh_builder(picked.front().visual);
  if (s.controls.objet_choisi) s.controls.objet_choisi->set_color(scene::RGBA(0.1f, 0.1f, 0.1f, 0.75f));
}

}  // namespace quarvel::controls
