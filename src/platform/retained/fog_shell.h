#pragma once
// Finds a sky in the fog: an item whose drawing would only paint the fog
// colour, on every pixel of the view that nothing nearer covers. Such an
// item can be replaced by a clear of the view to the fog colour, without
// changing a pixel, and without its raster: a screen's worth of blocks on a
// software rasteriser, nearly all of them hidden behind the scene.
//
// An item qualifies when, for the list drawn:
// - fog is on and the view's clear (with its background picture, if any) is
//   still to be done, so that a clear to the fog colour can stand for both;
// - its batches are opaque and untextured, drawn solid, not as wireframe;
// - its mesh is closed and the camera is inside it, so that every ray of
//   the view meets it;
// - every triangle of it that may show (not wholly beyond one side of the
//   view or before the front plane) faces the camera (it is not culled) and
//   has its corners beyond the fog's end and before the back plane, so that
//   the fog factor is zero all over it and it is never clipped at the back;
// - every other item lies nearer the camera than the nearest plane of those
//   triangles, so that on every ray the item is the farthest thing met and
//   nothing behind it would have shown.
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "platform/retained/mesh.h"

namespace quarvel::rm {

struct RenderList;

class FogShell {
 public:
  static constexpr size_t kNone = SIZE_MAX;
  struct Point {
    double x = 0, y = 0, z = 0;
  };

  // The index in list.items of an item that qualifies (the first one), or
  // kNone. `clear_replaceable` says the clear of the list's rectangle is
  // still to be done.
  size_t find(const RenderList& list, bool clear_replaceable);

  // Whether the triangles `tb` close round their inside: every edge shared
  // by two triangles, once corners closer than a millionth of the mesh's
  // size (far below a pixel) are taken as one.
  static bool closed(const TriangleBuffer& tb);

 private:
  bool closed_cached(uint64_t mesh_id, uint32_t shape_revision, const TriangleBuffer& tb);
  struct Closed {
    uint32_t shape_revision = 0;
    bool flat = false;
    bool closed = false;
  };
  std::unordered_map<uint64_t, Closed> closed_;  // by mesh id
  std::vector<Point> eye_;       // the candidate's corners in camera space
  std::vector<unsigned> sides_;  // the sides of the view each lies beyond
};

}  // namespace quarvel::rm
