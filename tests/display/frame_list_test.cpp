// What the display and the stage put in a frame's list for a small graph,
// on the recording back end (no GL context needed).
#include <gtest/gtest.h>

#include <variant>
#include <vector>

#include "platform/display/display.h"
#include "platform/render/recording_frames.h"
#include "platform/retained/stage.h"

using namespace quarvel;

namespace {

// A square of side 2 facing the camera, at its frame's origin.
std::shared_ptr<rm::MeshBuilder> square(rm::Root& root, uint32_t color) {
  auto mb = root.create_mesh_builder();
  const uint32_t a = mb->add_vertex({-1, 1, 0}), b = mb->add_vertex({1, 1, 0});
  const uint32_t c = mb->add_vertex({1, -1, 0}), d = mb->add_vertex({-1, -1, 0});
  mb->add_face({a, b, c, d}, {}, color);
  return mb;
}

}  // namespace

TEST(FrameList, AFrameListsItsDrawingItsViewAndItsPresentInOrder) {
  rm::Stage stage;
  display::DisplayControl d(display::make_recording_backend(), stage);
  d.initialize();
  auto& frames = dynamic_cast<render::RecordingFrames&>(*d.frames());
  // A far square; a near one that is also a visual of the scene frame (so
  // listed twice in one place); a translucent one between them.
  auto at = [&](float z, uint32_t color) {
    auto f = stage.root.create_frame(stage.scene);
    f->set_position(stage.scene.get(), {0, 0, z});
    f->add_visual(square(stage.root, color));
    return f;
  };
  at(80, 0xFF0000FF);
  stage.scene->add_visual(at(20, 0xFFFF0000));
  at(50, 0x8000FF00);
  stage.scene->set_scene_background(0xFF112233);
  render::GammaRamp ramp = render::GammaRamp::identity();
  ramp.red[255] = 0;

  d.fill_rect(0, 0, 10, 10, 0xFFFF);
  d.render();
  d.text_out(5, 5, "Hi");
  d.set_gamma(ramp);
  d.scroll_next_present(3, 4);
  EXPECT_EQ(frames.lists(), 0u);  // nothing handed over before the flip
  d.flip();

  ASSERT_EQ(frames.lists(), 1u);
  const std::vector<render::FrameCommand>& c = frames.last().commands;
  ASSERT_EQ(c.size(), 4u);
  const auto* fill = std::get_if<render::FillCommand>(&c[0]);
  ASSERT_NE(fill, nullptr);
  EXPECT_EQ(fill->argb, 0xFFFFFFFFu);
  const auto* view = std::get_if<render::ViewCommand>(&c[1]);
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(std::holds_alternative<render::MaskCommand>(c[2]));
  const auto* present = std::get_if<render::PresentCommand>(&c[3]);
  ASSERT_NE(present, nullptr);
  EXPECT_EQ(present->ramp, ramp);
  EXPECT_EQ(present->dx, 3);
  EXPECT_EQ(present->dy, 4);

  // The view: cleared to the scene's colour, every item with its triangles,
  // the opaque pass nearest first without the repeat, the blended one back
  // to front.
  const rm::RenderList& list = view->list;
  EXPECT_TRUE(list.clear.due);
  EXPECT_EQ(list.clear.color, 0xFF112233u);
  EXPECT_EQ(list.clear.background, nullptr);
  // The scene frame's visual first, then its children in order.
  ASSERT_EQ(list.items.size(), 4u);  // near, far, near again, translucent
  for (const rm::DrawItem& item : list.items) EXPECT_EQ(item.triangles->triangle_count(), 2u);
  EXPECT_EQ(list.items[0].triangles, list.items[2].triangles);
  EXPECT_EQ(list.opaque_order, (std::vector<size_t>{0, 3, 1}));
  EXPECT_EQ(list.blended_order, (std::vector<size_t>{3}));
  EXPECT_EQ(list.fog_shell, rm::FogShell::kNone);
}
