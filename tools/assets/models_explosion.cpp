// The explosion scene: the monument that shows the title picture.
#include <algorithm>
#include <cmath>

#include "model_kit.h"
#include "textures.h"

namespace quarvel::assets {

// ---------------------------------------------------------------------------
// Explosion scene: the monument that shows the title picture, at the origin.

XFile monument() {
  // A gate: the explosion's camera path goes through the origin at low
  // height (through (0, 0, 0), (-73, 9, 64), (0, 150, 0) and (0, 250, 0)),
  // so the middle is left open up to y = 290 and the picture hangs above it,
  // between two pillars 128 units or more from the axis.
  MeshData m;
  const int stone = m.add_material(colour(0.45f, 0.43f, 0.42f));
  const int picture = m.add_material(colour(1.0f, 1.0f, 1.0f, "introsi.bmp"));
  m.mat = stone;
  for (float side : {-1.0f, 1.0f}) {
    m.box({140 * side, 10, 0}, {50, 20, 60});
    m.box({140 * side, 165, 0}, {24, 290, 24});
  }
  m.box({0, 420, 0}, {330, 16, 24});
  m.mat = picture;
  // The slab: front and back show the whole picture; its edges take a
  // sliver of it.
  m.box({0, 350, 0}, {220, 120, 8});
  return single_mesh_file("x3ds_Monument", std::move(m));
}

}  // namespace quarvel::assets
