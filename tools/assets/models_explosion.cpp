// The explosion scene: the gate that shows the title picture, and the hills
// that close its horizon.
#include <algorithm>
#include <cmath>

#include "model_kit.h"
#include "textures.h"

namespace quarvel::assets {

// ---------------------------------------------------------------------------
// Explosion scene: the gate at the origin, among 21 fireballs.
//
// The camera's path, its field and the fireballs' keys are the scene's own
// (the field runs from 0.05 to 6.85, so the same gate is a detail in one shot
// and small in the next); the camera always looks at where the model scene's
// camera stopped, (0, 60, 0), the middle of the gate's opening, where the
// fireballs gather at scale 5. Shots by scene clock (58.8 units a second),
// with the gate's height on the screen:
//
//   clock       camera (distance, field)     what the picture shows
//   0-40        990, 3.4                     the gate from high in front, the fireballs around it (60 px)
//   40-250      990 to 620, 3.6 to 6.1       the same, widest: the gate small but whole among the pieces (35-60 px)
//   250-330     620 to 470, 1.3 to 0.3       closing in: the gate's opening and the pieces in it, then the
//                                            lintel and the picture cut by the top edge (0.5 s)
//   330-480     470 to 220, 0.7 to 2.3       over the gate, looking down into the opening; it widens to the whole gate
//   480-500     1700, 3.2                    the camera jumps back to the far corner: the whole scene, small
//   500-800     750 to 430, 3.9 to 0.7       around the gate at pillar height: gate and pieces (50-150 px)
//   800-940     800 to 320, 0.15 to 0.3      close on the opening: the pieces passing through it fill the
//                                            picture; between them the pillars' inner faces (2.3 s)
//   940-1250    340 to 850, 0.7 to 3.4       back out and up: the whole gate with the pieces around it
//   1250-1480   450 to 70, 2.7 to 4.6        down into the opening: the pillars and lintel towering, the
//                                            pieces gathering around the camera
//
// The hills close the horizon on the side where the opening scene's world
// lies (beyond x = 18000): that world stays drawn under the later scenes, and
// at the explosion's wide fields its ground, seen almost edge-on, would come
// inside the back clipping distance (15000 along the view, not from the
// origin) as a thin bright line across the sky.

XFile monument() {
  // A gate: the camera's path goes through the origin at low height (through
  // (0, 0, 0), (-73, 9, 64), (0, 150, 0) and (0, 250, 0)) and passes 40 units
  // outside x = +-230 at y = 250, so the opening is left clear between
  // pillars at +-240, up to the lintel at y = 530, and the picture hangs above.
  MeshData m;
  // Brighter than the engine's metal: the gate is mostly seen from its back
  // and sides, which few lights reach, through scan lines that halve the
  // picture; only the faces turned to the front light reach white.
  const int stone = m.add_material(lit_colour(1.5f, 1.42f, 1.3f));
  const int dark = m.add_material(lit_colour(1.1f, 1.04f, 0.98f));
  const int picture = m.add_material(colour(1.0f, 1.0f, 1.0f, "introsi.bmp"));
  m.mat = dark;
  for (float side : {-1.0f, 1.0f}) m.box({240 * side, 15, 0}, {90, 30, 90});
  m.mat = stone;
  for (float side : {-1.0f, 1.0f}) {
    m.box({240 * side, 275, 0}, {44, 490, 44});
    m.box({240 * side, 525, 0}, {60, 10, 60});
  }
  m.box({0, 545, 0}, {560, 30, 50});
  m.mat = dark;
  for (float side : {-1.0f, 1.0f}) m.box({150 * side, 585, 0}, {14, 50, 14});
  // The slab: front and back show the whole picture; its edges take a
  // sliver of it.
  m.mat = picture;
  m.box({0, 700, 0}, {320, 190, 8});
  // Night hills: a dark band just high enough over the camera's highest
  // places (y = 740) to hide the ground beyond.
  m.mat = m.add_material(lit_colour(0.18f, 0.18f, 0.26f));
  horizon_ridge(m, {0, 0, 0}, 7000.0f, -0.95f, 0.95f, -300.0f, 800.0f, 950.0f, 41u);
  return single_mesh_file("x3ds_Monument", std::move(m));
}

}  // namespace quarvel::assets
