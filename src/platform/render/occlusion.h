#pragma once
// Finds which of a render list's remaining opaque items are wholly hidden
// behind what the list has drawn so far, so that the scene renderer can
// leave them out without changing a pixel.
//
// Each item's bounding box, slightly enlarged and pulled toward the camera,
// is drawn with colour and depth writes off under an occlusion query; an
// item whose box has no sample passing the depth test cannot have one
// either, since every point of the item lies inside its box, behind the
// box's front faces. Reading the answers waits for the frame drawn so far,
// so the tester is used once per list, on a batch of items.
//
// Needs a current OpenGL 3.3 core context for its whole life.
#include <cstddef>
#include <vector>

#include "platform/render/gl.h"
#include "platform/retained/viewport.h"

namespace quarvel::render {

class OcclusionTester {
 public:
  // Throws std::runtime_error with the compiler's log.
  OcclusionTester();
  ~OcclusionTester();
  OcclusionTester(const OcclusionTester&) = delete;
  OcclusionTester& operator=(const OcclusionTester&) = delete;

  // True when the box of `item` (mesh space) may be tested: it lies wholly
  // beyond the front plane, so that its front faces are all drawn.
  static bool testable(const rm::RenderList& list, const rm::DrawItem& item, const rm::Box& box);

  // For each of `boxes` (mesh space, placed by the world matrix of the item
  // at the same index of `items`), whether some of it would pass the depth
  // test of the bound framebuffer. Leaves the current program, vertex array,
  // colour and depth masks and polygon offset changed.
  std::vector<bool> visible(const rm::RenderList& list, const std::vector<const rm::DrawItem*>& items,
                            const std::vector<rm::Box>& boxes);

 private:
  GLuint program_ = 0, vao_ = 0, vbo_ = 0, ebo_ = 0;
  GLint u_model_ = -1, u_view_ = -1, u_proj_ = -1, u_min_ = -1, u_max_ = -1;
  std::vector<GLuint> queries_;
};

}  // namespace quarvel::render
