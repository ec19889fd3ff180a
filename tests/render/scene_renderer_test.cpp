// The OpenGL scene renderer, headless on EGL, drawing into the GPU back
// surface, read back after each frame for the checks. Golden pictures are
// compared only on llvmpipe (bit-exact there); set QUARVEL_UPDATE_GOLDEN=1 to
// write them anew into tests/render/golden/.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "test_scene.h"
#include "platform/common/picture_file.h"
#include "platform/common/png_write.h"
#include "platform/display/egl_context.h"
#include "platform/render/back_surface.h"
#include "platform/render/gl_util.h"
#include "platform/render/scene_renderer.h"
#include "platform/retained/root.h"

using namespace quarvel;
using namespace quarvel::rm;

namespace {

constexpr int kW = 320, kH = 240;

class SceneRendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    try {
      ctx_ = std::make_unique<display::EglHeadlessContext>();
    } catch (const std::exception& e) {
      GTEST_SKIP() << "no headless GL context: " << e.what();
    }
    back = std::make_unique<render::BackSurface>(kW, kH);
    back->fill(0xFF102030);
    renderer = std::make_shared<render::SceneRenderer>(*back);
    device = root.create_device(renderer, kW, kH);
    device->set_texture_quality(TextureQuality::Linear);
    device->set_render_mode(Device::kBlendedTransparency | Device::kSortedTransparency);
    scene = root.create_frame();
    camera = root.create_frame(scene);
    viewport = root.create_viewport(device, camera, 0, 0, kW, kH);
    viewport->set_back(5000);
  }

  void frame() {
    viewport->clear_and_render(*scene);
    surface = back->read();
  }

  std::shared_ptr<Frame> place(const std::shared_ptr<Visual>& v, Vec3 pos) {
    auto f = root.create_frame(scene);
    f->set_position(scene.get(), pos);
    f->add_visual(v);
    return f;
  }

  std::shared_ptr<Light> light(LightType type, Vec3 colour, Vec3 pos, Vec3 dir = {0, 0, 1}) {
    auto f = root.create_frame(scene);
    f->set_position(scene.get(), pos);
    f->set_orientation(scene.get(), dir, std::fabs(dir.y) > 0.9f ? Vec3{0, 0, 1} : Vec3{0, 1, 0});
    auto l = root.create_light_rgb(type, colour.x, colour.y, colour.z);
    l->set_constant_attenuation(0);
    l->set_range(100000);
    f->add_light(l);
    return l;
  }

  // Compares with tests/render/golden/<name>.png on llvmpipe.
  void expect_golden(const std::string& name) {
    if (!render::renderer_is_llvmpipe()) GTEST_SKIP() << "golden pictures need llvmpipe";
    std::string path = std::string(QUARVEL_SOURCE_DIR) + "/tests/render/golden/" + name + ".png";
    const char* update = std::getenv("QUARVEL_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
      ASSERT_TRUE(write_png(path, surface));
      return;
    }
    Picture golden;
    std::string error;
    ASSERT_TRUE(load_picture(path, golden, error)) << error << " (QUARVEL_UPDATE_GOLDEN=1 writes it)";
    ASSERT_EQ(golden.width, surface.width);
    ASSERT_EQ(golden.height, surface.height);
    int bad = 0;
    for (size_t i = 0; i < golden.pixels.size(); ++i) {
      uint32_t a = golden.pixels[i], b = surface.pixels[i];
      for (int s = 0; s < 24; s += 8)
        if (std::abs(int((a >> s) & 255) - int((b >> s) & 255)) > 2) {
          ++bad;
          break;
        }
    }
    if (bad > 0) write_png(std::string(QUARVEL_BINARY_DIR) + "/" + name + ".actual.png", surface);
    EXPECT_EQ(bad, 0) << name << ": pixels differ; actual written to the build folder";
  }

  uint32_t px(int x, int y) const { return surface.at(x, y) & 0xFFFFFF; }

  std::unique_ptr<display::EglHeadlessContext> ctx_;
  std::unique_ptr<render::BackSurface> back;
  Picture surface;  // what the last frame left on the back surface
  Root root;
  std::shared_ptr<render::SceneRenderer> renderer;
  std::shared_ptr<Device> device;
  std::shared_ptr<Frame> scene, camera;
  std::shared_ptr<Viewport> viewport;
};

std::shared_ptr<MeshBuilder> square(Root& root, float half, uint32_t color, uint32_t quality = 0x80) {
  auto mb = root.create_mesh_builder();
  uint32_t a = mb->add_vertex({-half, half, 0}, {0, 0}), b = mb->add_vertex({half, half, 0}, {1, 0});
  uint32_t c = mb->add_vertex({half, -half, 0}, {1, 1}), d = mb->add_vertex({-half, -half, 0}, {0, 1});
  mb->add_face({a, b, c, d}, {}, color);
  mb->set_quality(quality);  // solid, unlit
  return mb;
}

// A square of n x n quads (2 n n triangles) facing the camera.
std::shared_ptr<MeshBuilder> grid(Root& root, float half, int n, uint32_t color) {
  auto mb = root.create_mesh_builder();
  for (int y = 0; y <= n; ++y)
    for (int x = 0; x <= n; ++x) mb->add_vertex({-half + 2 * half * x / n, half - 2 * half * y / n, 0});
  auto at = [n](int x, int y) { return static_cast<uint32_t>(y * (n + 1) + x); };
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) mb->add_face({at(x, y), at(x + 1, y), at(x + 1, y + 1), at(x, y + 1)}, {}, color);
  mb->set_quality(0x80);
  return mb;
}

}  // namespace

TEST_F(SceneRendererTest, ItemsWhollyBehindNearerOnesAreLeftOut) {
  // A wall of 3,200 triangles in front; behind it a panel of 2,048, hidden
  // or showing past the wall's edge.
  const struct {
    float panel_x;
    uint64_t occluded;
    uint32_t at_panel;  // the pixel at the panel's centre
  } cases[] = {{0, 1, 0x00FF00}, {95, 0, 0xFF0000}};
  uint64_t occluded = 0;
  for (const auto& c : cases) {
    auto wall = place(grid(root, 20, 40, 0xFF00FF00), {0, 0, 100});
    auto panel = place(grid(root, 10, 32, 0xFFFF0000), {c.panel_x, 0, 300});
    frame();
    EXPECT_EQ(renderer->stats().occluded - occluded, c.occluded) << c.panel_x;
    occluded = renderer->stats().occluded;
    float x, y;
    ASSERT_TRUE(viewport->project(panel->position(scene.get()), x, y));
    EXPECT_EQ(px(static_cast<int>(x), static_cast<int>(y)), c.at_panel) << c.panel_x;
    scene->delete_child(wall.get());
    scene->delete_child(panel.get());
  }
}

// A sphere of radius r about the origin, 24 x 12 faces, turned to be seen
// from inside (or from outside).
std::shared_ptr<MeshBuilder> sphere(Root& root, float r, uint32_t color, bool inward) {
  auto mb = root.create_mesh_builder();
  const int segs = 24, rings = 12;
  const float pi = 3.14159265f;
  const uint32_t south = mb->add_vertex({0, -r, 0}), north = mb->add_vertex({0, r, 0});
  auto at = [&](int ring, int seg) {  // rings 1 .. rings - 1
    if (ring == 0) return south;
    if (ring == rings) return north;
    return static_cast<uint32_t>(2 + (ring - 1) * segs + seg % segs);
  };
  for (int i = 1; i < rings; ++i)
    for (int j = 0; j < segs; ++j) {
      const float b = -pi / 2 + pi * i / rings, a = 2 * pi * j / segs;
      mb->add_vertex({r * std::cos(b) * std::cos(a), r * std::sin(b), r * std::cos(b) * std::sin(a)});
    }
  auto face = [&](std::vector<uint32_t> v) {
    const auto& p = mb->positions();
    const Vec3 n = cross(p[v[1]] - p[v[0]], p[v[2]] - p[v[0]]);
    // The front is the side n points to: towards the centre when inward.
    if ((dot(n, p[v[0]]) < 0) != inward) std::reverse(v.begin(), v.end());
    mb->add_face(v, {}, color);
  };
  for (int i = 0; i < rings; ++i)
    for (int j = 0; j < segs; ++j) {
      if (i == 0) face({south, at(1, j + 1), at(1, j)});
      else if (i == rings - 1) face({at(i, j), at(i, j + 1), north});
      else face({at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)});
    }
  mb->set_quality(0x80);
  return mb;
}

TEST_F(SceneRendererTest, ASkyWhollyInTheFogIsAClearToTheFogColour) {
  // A sky sphere round the camera, a half-fogged square in front; the fog
  // ends at 100 units, the sky is 1,000 away.
  constexpr uint32_t kFog = 0x336699;
  scene->set_scene_fog_enable(true);
  scene->set_scene_fog_color(0xFF000000 | kFog);
  const struct {
    const char* what;
    bool inward;
    float fog_end;
    bool ground;  // a ground below the camera, running on behind the sky
    uint64_t shells;
    bool sky_is_fog;  // the corners and the horizon the fog colour
  } cases[] = {{"sky in the fog", true, 100, false, 1, true},
               {"a ground behind it", true, 100, true, 0, true},
               {"facing out, culled", false, 100, false, 0, false},
               {"nearer than the fog's end", true, 2000, false, 0, false}};
  for (const auto& c : cases) {
    scene->set_scene_fog_params(10, c.fog_end, 1);
    auto sky = place(sphere(root, 1000, 0xFFFFFFFF, c.inward), {0, 0, 0});
    auto square_frame = place(square(root, 5, 0xFFFF0000), {0, 0, 50});
    std::shared_ptr<Frame> ground;
    if (c.ground) {
      // 50 units down, from beside the camera to 4,000 ahead, facing up;
      // its far part fogged from its corners, not wholly: the sky hides it.
      auto mb = root.create_mesh_builder();
      const uint32_t a = mb->add_vertex({-3000, 0, -10}), b = mb->add_vertex({-3000, 0, 4000});
      const uint32_t d = mb->add_vertex({3000, 0, 4000}), e = mb->add_vertex({3000, 0, -10});
      mb->add_face({a, b, d, e}, {}, 0xFF00FF00);
      mb->set_quality(0x80);
      ground = place(mb, {0, -50, 0});
    }
    const uint64_t before = renderer->stats().fog_shells;
    frame();
    EXPECT_EQ(renderer->stats().fog_shells - before, c.shells) << c.what;
    // The top corners, and 4 pixels below the horizon beside the square,
    // where the ground is 4,000 away.
    for (auto [x, y] : {std::pair{5, 5}, std::pair{kW - 5, 5}, std::pair{kW / 2 + 50, kH / 2 + 4}})
      EXPECT_EQ(px(x, y) == kFog, c.sky_is_fog) << c.what << " at " << x << ", " << y << std::hex << ": " << px(x, y);
    EXPECT_NE(px(kW / 2, kH / 2), kFog) << c.what;  // the square shows
    if (c.ground) {
      EXPECT_NE(px(kW / 2, kH - 20), kFog) << c.what;  // the near ground shows
    }
    scene->delete_child(sky.get());
    scene->delete_child(square_frame.get());
    if (ground) scene->delete_child(ground.get());
  }
}

TEST_F(SceneRendererTest, ClearFillsOnlyTheViewportRectangle) {
  viewport->configure(10, 20, 100, 50);
  frame();
  EXPECT_EQ(px(10, 20), 0x000000u);
  EXPECT_EQ(px(109, 69), 0x000000u);
  EXPECT_EQ(px(9, 20), 0x102030u);
  EXPECT_EQ(px(110, 69), 0x102030u);
  EXPECT_EQ(px(10, 70), 0x102030u);
}

TEST_F(SceneRendererTest, ProjectedPointLandsOnItsPixel) {
  viewport->set_field(0.5f);
  auto dot = square(root, 0.5f, 0xFFFFFFFF);
  Vec3 p{20, -10, 200};
  place(dot, p);
  frame();
  float fx, fy;
  ASSERT_TRUE(viewport->project(p, fx, fy));
  EXPECT_FLOAT_EQ(fx, 160 + 320 * 20 / 200.0f);
  EXPECT_EQ(px(int(fx), int(fy)), 0xFFFFFFu);
  EXPECT_EQ(px(int(fx) + 4, int(fy)), 0u);
  EXPECT_EQ(px(160, 120), 0u);
}

TEST_F(SceneRendererTest, FrameReachedTwiceIsDrawnOnceUnlessBlended) {
  // The frame is a child of the scene and one of its visuals too, so the
  // list holds its square twice in the same place: an opaque square's second
  // copy would change no pixel, a blended one's blends once more (half
  // green over black twice: 192, not 128).
  const struct {
    uint32_t colour;
    uint64_t draws;
    uint32_t at_centre;
  } cases[] = {{0xFFFF0000, 1, 0xFF0000}, {0x8000FF00, 2, 0x00C000}};
  for (const auto& c : cases) {
    auto f = place(square(root, 10, c.colour), {0, 0, 100});
    scene->add_visual(f);
    const uint64_t before = renderer->stats().draw_calls;
    frame();
    EXPECT_EQ(renderer->stats().draw_calls - before, c.draws) << std::hex << c.colour;
    EXPECT_EQ(px(160, 120), c.at_centre) << std::hex << c.colour;
    scene->delete_visual(f.get());
    scene->delete_child(f.get());
  }
}

TEST_F(SceneRendererTest, BackFacesAreNotDrawn) {
  auto sq = square(root, 10, 0xFFFFFFFF);
  auto f = place(sq, {0, 0, 100});
  frame();
  EXPECT_EQ(px(160, 120), 0xFFFFFFu);
  f->add_rotation(Combine::Before, {0, 1, 0}, 3.14159265f);
  frame();
  EXPECT_EQ(px(160, 120), 0u);
}

TEST_F(SceneRendererTest, GeometryIsUploadedOnceAndAgainWhenItChanges) {
  auto sq = square(root, 10, 0xFFFF0000);
  place(sq, {0, 0, 100});
  frame();
  frame();
  EXPECT_EQ(renderer->stats().geometry_uploads, 1u);
  EXPECT_EQ(px(160, 120), 0xFF0000u);
  // A new colour for the whole mesh updates only the colours.
  sq->set_color(0xFF00FF00);
  frame();
  EXPECT_EQ(renderer->stats().geometry_uploads, 1u);
  EXPECT_EQ(renderer->stats().look_uploads, 1u);
  EXPECT_EQ(px(160, 120), 0x00FF00u);
  // Texture coordinates too; the same coordinates again change nothing.
  sq->set_texture_coordinates(0, 0.5f, 0.5f);
  frame();
  sq->set_texture_coordinates(0, 0.5f, 0.5f);
  frame();
  EXPECT_EQ(renderer->stats().geometry_uploads, 1u);
  EXPECT_EQ(renderer->stats().look_uploads, 2u);
  // A new face is new geometry.
  sq->add_face({0, 1, 2});
  frame();
  EXPECT_EQ(renderer->stats().geometry_uploads, 2u);
}

TEST_F(SceneRendererTest, BlendedFaceMixesWithWhatIsBehind) {
  place(square(root, 10, 0xFFFF0000), {0, 0, 100});
  place(square(root, 10, 0x8000FF00), {0, 0, 50});
  frame();
  uint32_t c = px(160, 120);
  EXPECT_NEAR(int(c >> 16), 127, 2);
  EXPECT_NEAR(int((c >> 8) & 255), 128, 2);
  EXPECT_EQ(c & 255, 0u);
}

TEST_F(SceneRendererTest, TexturesRepeatAndAreModulated) {
  auto sq = square(root, 10, 0xFF808080);
  Picture tex(2, 1);
  tex.at(0, 0) = 0xFFFFFFFF;
  tex.at(1, 0) = 0xFF00FF00;
  // u from 0 to 2: the texture shows twice across the square.
  sq->set_texture_coordinates(1, 2, 0);
  sq->set_texture_coordinates(2, 2, 1);
  sq->set_texture(root.create_texture(tex));
  device->set_texture_quality(TextureQuality::Nearest);
  place(sq, {0, 0, 40});
  frame();
  // The square spans 160 +- 80 pixels: quarters alternate white and green.
  EXPECT_EQ(px(100, 120), 0x808080u);
  EXPECT_EQ(px(140, 120), 0x008000u);
  EXPECT_EQ(px(180, 120), 0x808080u);
  EXPECT_EQ(px(220, 120), 0x008000u);
}

// The renderer leaves out GL calls that would set what the pass's last draw
// set already; what other draws changed in between, and what a draw of
// another kind changed within the pass, is set again.
TEST_F(SceneRendererTest, StateLeftByOtherDrawsIsSetAgain) {
  Picture tex(2, 1);
  tex.at(0, 0) = 0xFFFFFFFF;
  tex.at(1, 0) = 0xFF00FF00;
  auto texture = root.create_texture(tex);  // one texture, two squares
  auto textured = [&](Vec3 at) {
    auto sq = square(root, 5, 0xFF808080);
    sq->set_texture_coordinates(1, 2, 0);
    sq->set_texture_coordinates(2, 2, 1);
    sq->set_texture(texture);
    place(sq, at);
  };
  textured({-10, 0, 40});
  // Edges alone (no face culling), then a square seen from behind, which
  // culling must leave out, then the texture again.
  place(square(root, 5, 0xFFFF0000, 0x40), {0, 10, 40});
  auto back_facing = place(square(root, 5, 0xFF0000FF), {0, -10, 40});
  back_facing->set_orientation(scene.get(), {0, 0, -1}, {0, 1, 0});
  textured({10, 0, 40});
  device->set_texture_quality(TextureQuality::Nearest);
  frame();
  const Picture first = surface;
  EXPECT_EQ(px(160, 200), px(300, 230)) << "a face seen from behind was drawn";
  EXPECT_EQ(px(50, 120), 0x808080u);
  EXPECT_EQ(px(70, 120), 0x008000u);
  EXPECT_EQ(px(210, 120), 0x808080u);
  EXPECT_EQ(px(230, 120), 0x008000u);
  // A 2D draw binds a texture, a vertex array and a program of its own.
  Picture red(4, 4);
  std::fill(red.pixels.begin(), red.pixels.end(), 0xFFFF0000u);
  back->blend_stretched(red, 99, 1, {0, 0, 8, 8}, 128, false, 0);
  frame();
  EXPECT_EQ(surface.pixels, first.pixels);
}

TEST_F(SceneRendererTest, ManyLightsAllCount) {
  auto sq = square(root, 10, 0xFFFFFFFF, quality::kGouraud);
  place(sq, {0, 0, 100});
  for (int i = 0; i < 40; ++i) light(LightType::Directional, {0.02f, 0.02f, 0.02f}, {0, 0, 0}, {0, 0, 1});
  frame();
  uint32_t c = px(160, 120);
  EXPECT_NEAR(int(c & 255), int(255 * 0.8f), 2);
}

// Lights of every kind, given in no particular order, each count once, in
// Gouraud and in flat shading alike.
TEST_F(SceneRendererTest, LightsOfEveryKindAddUp) {
  for (uint32_t q : {quality::kGouraud, quality::kLightOn | quality::kFillSolid}) {
    SCOPED_TRACE(q);
    scene = root.create_frame();
    camera = root.create_frame(scene);
    viewport = root.create_viewport(device, camera, 0, 0, kW, kH);
    place(square(root, 10, 0xFFFFFFFF, q), {0, 0, 100});
    auto spot = light(LightType::Spot, {0, 0, 0.2f}, {0, 0, 50});
    spot->set_umbra(1.0f);
    spot->set_penumbra(1.2f);
    light(LightType::Ambient, {0.2f, 0, 0}, {0, 0, 0});
    light(LightType::Point, {0, 0, 0.4f}, {0, 0, 50});
    light(LightType::Directional, {0, 0.5f, 0}, {0, 0, 0});
    light(LightType::Ambient, {0.1f, 0, 0}, {0, 0, 0});
    // Turned away from the square: adds nothing.
    auto away = light(LightType::Spot, {0, 0.3f, 0}, {0, 0, 50}, {0, 0, -1});
    away->set_umbra(0.5f);
    away->set_penumbra(0.6f);
    frame();
    // The point and the spot reach the corners at 50 / sqrt(50^2 + 200) to
    // the normal, without attenuation (all three factors zero).
    const uint32_t c = px(160, 120);
    EXPECT_NEAR(int(c >> 16), int(255 * 0.3f), 2);
    EXPECT_NEAR(int((c >> 8) & 255), int(255 * 0.5f), 2);
    EXPECT_NEAR(int(c & 255), int(255 * 0.6f * 50 / std::sqrt(2700.0f)), 2);
  }
}

TEST_F(SceneRendererTest, AttenuationAndRange) {
  auto sq = square(root, 10, 0xFFFFFFFF, quality::kGouraud);
  place(sq, {0, 0, 100});
  auto l = light(LightType::Point, {1, 1, 1}, {0, 0, 50});
  l->set_constant_attenuation(2);
  frame();
  // Lit at the corners: 1/2 attenuated, at 50 / sqrt(50^2 + 200) to the normal.
  EXPECT_NEAR(int(px(160, 120) & 255), int(255 * 0.5f * 50 / std::sqrt(2700.0f)), 2);
  l->set_range(10);
  frame();
  EXPECT_EQ(px(160, 120), 0u);
}

TEST_F(SceneRendererTest, GoldenLighting) {
  auto gouraud = capture::make_sphere(root, 30, 24, 12, 0xFFFFFFFF);
  place(gouraud, {-40, 0, 150});
  auto flat = capture::make_sphere(root, 30, 24, 12, 0xFFFFFFFF);
  flat->set_quality(quality::kLightOn | quality::kFillSolid);
  place(flat, {40, 0, 150});
  light(LightType::Ambient, {0.15f, 0.15f, 0.15f}, {});
  light(LightType::Point, {1.0f, 0.3f, 0.3f}, {-100, 80, 60});
  light(LightType::Directional, {0.2f, 0.3f, 1.2f}, {}, {1, -0.5f, 0.5f});
  auto spot = light(LightType::Spot, {0.3f, 1.0f, 0.3f}, {40, 0, 60}, {0, 0, 1});
  spot->set_umbra(0.15f);
  spot->set_penumbra(0.25f);
  frame();
  expect_golden("lighting");
}

TEST_F(SceneRendererTest, GoldenFog) {
  for (int i = 0; i < 6; ++i) place(capture::make_box(root, {20, 20, 20}, 0xFFFFFFFF), {-50.0f + 20 * i, 0, 60.0f + 80 * i});
  for (auto& v : scene->children())
    for (auto& vis : v->visuals())
      if (auto mb = as_mesh_builder(vis)) mb->set_quality(0x80);
  scene->set_scene_fog_enable(true);
  scene->set_scene_fog_color(0xFF193F19);
  scene->set_scene_fog_params(100, 450, 1);
  frame();
  expect_golden("fog");
}

TEST_F(SceneRendererTest, GoldenTransparencyOrder) {
  place(square(root, 30, 0xFF4040FF), {0, 0, 200});
  place(square(root, 20, 0x80FF0000), {-15, 10, 120});
  place(square(root, 20, 0x8000FF00), {0, 0, 100});
  place(square(root, 20, 0x80FFFFFF), {15, -10, 80});
  frame();
  expect_golden("transparency");
  // Back to front whatever order the frames were made in.
  uint32_t mid = px(160, 120);
  EXPECT_GT((mid >> 16) & 255, 100u);  // the white one is on top
}

TEST_F(SceneRendererTest, GoldenWireframe) {
  auto wire = capture::make_box(root, {30, 30, 30}, 0xFFFFFF40);
  wire->set_quality(64);
  auto f1 = place(wire, {-30, 0, 120});
  f1->add_rotation(Combine::Before, {1, 1, 0}, 0.6f);
  auto both = capture::make_sphere(root, 20, 12, 6, 0xFFFF8040);
  both->set_quality(201);
  place(both, {30, 0, 120});
  auto points = capture::make_sphere(root, 15, 12, 6, 0xFFFFFFFF);
  points->set_quality(0);
  place(points, {0, 30, 120});
  light(LightType::Ambient, {0.3f, 0.3f, 0.3f}, {});
  light(LightType::Directional, {0.8f, 0.8f, 0.8f}, {}, {0.5f, -0.5f, 1});
  frame();
  expect_golden("wireframe");
}

TEST_F(SceneRendererTest, GoldenBackgroundImage) {
  scene->set_scene_background_image(root.create_texture(capture::checker_picture(64, 4, 0xFFFF8000, 0xFF0080FF)));
  viewport->configure(0, 30, 320, 180);
  auto texture = root.create_texture(capture::checker_picture(64, 4, 0xFFFF8000, 0xFF0080FF));
  scene->set_scene_background_image(texture);
  viewport->configure(0, 30, 320, 180);
  auto sq = place(square(root, 10, 0xFFFFFFFF), {0, 0, 100});
  frame();
  EXPECT_EQ(px(0, 29), 0x102030u);  // outside the viewport: untouched
  const Picture first = surface;
  // Later frames copy the picture stretched once: where the square was, the
  // same pixels come back.
  sq->set_position(scene.get(), {40, 0, 100});
  frame();
  EXPECT_NE(surface.pixels, first.pixels);
  sq->set_position(scene.get(), {0, 0, 100});
  frame();
  EXPECT_EQ(surface.pixels, first.pixels);
  EXPECT_EQ(renderer->stats().backdrop_stretches, 1u);
  // A new picture, or another rectangle, is stretched anew.
  texture->set_picture(capture::checker_picture(64, 4, 0xFF00FF00, 0xFF000000));
  frame();
  EXPECT_EQ(renderer->stats().backdrop_stretches, 2u);
  EXPECT_NE(px(40, 52), first.at(40, 52) & 0xFFFFFF);
  viewport->configure(0, 0, 320, 240);
  frame();
  EXPECT_EQ(renderer->stats().backdrop_stretches, 3u);
  EXPECT_NE(px(0, 29), 0x102030u);
  texture->set_picture(capture::checker_picture(64, 4, 0xFFFF8000, 0xFF0080FF));
  viewport->configure(0, 30, 320, 180);
  back->fill(0xFF102030);
  frame();
  expect_golden("background");
}

TEST_F(SceneRendererTest, GoldenTestScene) {
  auto ts = capture::build_test_scene(root, scene, camera, 1);
  ts.set_time(130);
  viewport->set_field(0.6f);
  frame();
  expect_golden("test_scene");
}
