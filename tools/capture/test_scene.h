#pragma once
// A built-in scene to look at the renderer headless: lit, textured (with a
// procedural texture), fogged, partly transparent and wireframe objects under
// ten lights, with a camera flying a closed path around them.
#include <memory>
#include <vector>

#include "platform/retained/root.h"

namespace quarvel::capture {

struct TestScene {
  std::shared_ptr<rm::Frame> group;      // everything built, under the scene frame
  std::shared_ptr<rm::Frame> camera;
  std::shared_ptr<rm::Frame> centre;     // what the camera looks at
  std::shared_ptr<rm::Animation> camera_path;
  std::vector<std::shared_ptr<rm::Frame>> spinning;
  size_t triangles = 0;

  // Poses the scene at time t (in ticks): camera on its path looking at the
  // centre, spinning objects turned.
  void set_time(float t);
};

// `detail` sets the sphere tessellation: 1 gives a few thousand triangles,
// larger values more (about 20,000 at 2).
TestScene build_test_scene(rm::Root& root, const std::shared_ptr<rm::Frame>& scene,
                         const std::shared_ptr<rm::Frame>& camera, int detail = 1);

// Primitives, faces clockwise seen from outside.
std::shared_ptr<rm::MeshBuilder> make_box(rm::Root& root, rm::Vec3 size, uint32_t color);
std::shared_ptr<rm::MeshBuilder> make_sphere(rm::Root& root, float radius, int slices, int stacks, uint32_t color);
// A square of `size` in the y = 0 plane, facing up, cut in cells x cells.
std::shared_ptr<rm::MeshBuilder> make_grid(rm::Root& root, float size, int cells, uint32_t color);
// A checkerboard with a thin border on each tile.
Picture checker_picture(int size, int tiles, uint32_t a, uint32_t b);

}  // namespace quarvel::capture
