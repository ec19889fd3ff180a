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
// with the camera's distance from that point, the field, and the gate's
// height on the 480-line picture:
//
//   clock       distance   field       gate     what the picture shows
//   0-40        200-970    3.6-3.5     250-55   from above the lintel out to high in front: gate and pieces
//   40-240      990-690    3.5-6.1     55-37    widest: the whole gate, small, the pieces spread around it
//   240-330     690-430    3.5-0.3     76-1200  closing in: the opening and the pieces in it, the pillars
//                                               leaving the edges
//   330-480     430-195    0.5-2.9     950-330  over the gate, looking down through the lintel into the
//                                               opening; it widens again to the whole gate
//   480-640     580-480    3.3-4.3     100-80   the camera jumps to the far side: gate and pieces at pillar height
//   640-800     490-600    3.8-0.8     100-380  round the gate, low; the gate fills more and more of the picture
//   800-960     1090-310   0.5-0.1     340-4700 close on the opening: only the pieces passing through it and
//                                               the sky behind (2 s)
//   960-1160    380-850    0.8-2.9     590-80   back out and up: the picture, then the whole gate with the pieces
//   1160-1400   200-960    3.1-3.7     300-56   the whole gate from all round, pieces gathering and scattering
//   1400-1480   230-80     4.0-4.8     200-530  down into the opening: pillars and lintel towering, the pieces
//                                               around the camera
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
  horizon_ridge(m, {0, 0, 0}, 7000.0f, -1.35f, 1.35f, -300.0f, 800.0f, 1000.0f, 41u);
  return single_mesh_file("x3ds_Monument", std::move(m));
}

}  // namespace quarvel::assets
