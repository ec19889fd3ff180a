// The looks through the whole display (back surface, 3D, 2D over it, gamma
// ramp, presentation), headless: one golden picture per look of the
// renderer's test scene with a 2D band and a ramp, compared on llvmpipe
// only (bit-exact there); QUARVEL_UPDATE_GOLDEN=1 writes them anew into
// tests/render/golden/.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "test_scene.h"
#include "platform/common/picture_file.h"
#include "platform/common/png_write.h"
#include "platform/display/display.h"
#include "platform/display/display_error.h"
#include "platform/render/gl_util.h"
#include "platform/retained/stage.h"

using namespace quarvel;

namespace {

// The test scene at one moment, a band of 2D across it, a warm ramp.
Picture draw_in(render::Look look) {
  rm::Stage stage;
  display::DisplayControl d(display::make_headless_backend(), stage);
  d.set_look(look);
  d.initialize();
  stage.viewport->set_front(1.0f);
  stage.viewport->set_back(5000.0f);
  stage.viewport->set_field(0.6f);
  capture::TestScene scene = capture::build_test_scene(stage.root, stage.scene, stage.camera, 1);
  scene.set_time(130);
  d.fill(0);
  stage.scene->move(1.0f);
  d.render();
  d.fill_rect(40, 400, 560, 24, 0xF800);  // pure red, over the 3D
  render::GammaRamp ramp = render::GammaRamp::identity();
  for (int i = 0; i < 256; ++i) ramp.blue[i] = static_cast<uint16_t>(i * 200);
  d.set_gamma(ramp);
  d.flip();
  if (!render::renderer_is_llvmpipe()) return {};
  return d.screenshot();
}

}  // namespace

TEST(Looks, GoldenPictureOfEachLook) {
  for (render::Look look : render::kLooks) {
    Picture got;
    try {
      got = draw_in(look);
    } catch (const display::DisplayError& e) {
      GTEST_SKIP() << "no headless GL context: " << e.what();
    }
    if (got.empty()) GTEST_SKIP() << "golden pictures need llvmpipe";
    const std::string name = std::string("look_") + render::look_name(look);
    const std::string path = std::string(QUARVEL_SOURCE_DIR) + "/tests/render/golden/" + name + ".png";
    if (std::getenv("QUARVEL_UPDATE_GOLDEN")) {
      ASSERT_TRUE(write_png(path, got));
      continue;
    }
    Picture golden;
    std::string error;
    ASSERT_TRUE(load_picture(path, golden, error)) << error << " (QUARVEL_UPDATE_GOLDEN=1 writes it)";
    ASSERT_EQ(golden.width, got.width) << name;
    ASSERT_EQ(golden.height, got.height) << name;
    size_t differ = 0;
    for (size_t i = 0; i < golden.pixels.size(); ++i) differ += (golden.pixels[i] | 0xFF000000u) != got.pixels[i];
    EXPECT_EQ(differ, 0u) << name << ": pixels unlike the golden picture";
  }
}
