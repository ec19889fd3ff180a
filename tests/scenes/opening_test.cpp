// The opening scene: the ship-part walk on hand-made models, and the timed
// actions of Party_2 and anim_x at chosen clock values on a scene with empty
// slots (the step must skip them).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "controls/effects.h"
#include "scene/lights.h"
#include "scenes/opening.h"
#include "scenes/steps.h"
#include "show_fixture.h"

namespace quarvel {
namespace {

using scene::FrameRef;
using testing::ShowTest;

// A frame named `name` made a child of `parent`.
FrameRef named(scene::Show& s, const FrameRef& parent, const std::string& name) {
  FrameRef f = s.stage.root.create_frame(parent);
  f->set_name(name);
  return f;
}

class ShipPartWalk : public ShowTest {
 protected:
  std::vector<std::string> walk(const FrameRef& model) {
    std::vector<std::string> labels;
    scene::walk_ship_parts(s, model, [&labels](const std::string& l) { labels.push_back(l); });
    return labels;
  }
};

TEST_F(ShipPartWalk, VisitsByDepthWithItsLabelsAndSlots) {
  FrameRef model = s.stage.root.create_frame();
  // Stored, not searched: its child must not reach slot 0.
  FrameRef t1 = named(s, model, "x3ds_VaisseauT1");
  named(s, t1, "x3ds_x4_Vaissea4");
  // Stored and searched.
  FrameRef b = named(s, model, "x3ds_x5_Vaissea0");
  FrameRef a = named(s, b, "x3ds_x4_Vaissea4");
  FrameRef truck_arm = named(s, a, "x3ds_x4_Truck_-0");
  FrameRef truck = named(s, truck_arm, "x3ds_Truck_-_T2");
  named(s, truck, "x3ds_Truck_-_T0");  // depth 5: never visited
  // Neither stored nor searched.
  FrameRef other = named(s, model, "x3ds_Other");
  named(s, other, "x3ds_Truck_-_T0");

  const std::vector<std::string> labels = walk(model);
  EXPECT_EQ(labels, (std::vector<std::string>{"x3ds_VaisseauT1", "x3ds_x5_Vaissea0", ".. : x3ds_x4_Truck_-0",
                                              "... : x3ds_Truck_-_T2", "x3ds_Other"}));
  EXPECT_EQ(s.opening.vaisseau_frame.get(3), t1);
  EXPECT_EQ(s.opening.vaisseau_frame.get(1), b);
  EXPECT_EQ(s.opening.vaisseau_frame.get(0), a);
  EXPECT_EQ(s.opening.truck_frame.get(2), truck_arm);
  EXPECT_EQ(s.opening.truck_frame.get(0), truck);
  EXPECT_EQ(s.opening.truck_frame.get(1), nullptr);
  EXPECT_EQ(s.opening.vaisseau_frame.get(2), nullptr);
}

TEST_F(ShipPartWalk, LastMatchWinsAndEmptyListsVisitNothing) {
  FrameRef model = s.stage.root.create_frame();
  FrameRef box = named(s, model, "x3ds_Box01");
  FrameRef first = named(s, box, "x3ds_x5_Vaissea2");
  named(s, model, "x3ds_x4_Vaisseau");  // searched, no children
  FrameRef hull = named(s, model, "x3ds_x5_Vaisseau");
  FrameRef second = named(s, hull, "x3ds_x5_Vaissea2");
  FrameRef t3 = named(s, model, "x3ds_VaisseauT3");
  FrameRef t3_again = named(s, model, "x3ds_VaisseauT3");

  const std::vector<std::string> labels = walk(model);
  EXPECT_EQ(labels.size(), 5u);  // depth 1 only: depth 2 makes no label
  EXPECT_NE(s.opening.vaisseau_frame.get(6), first);
  EXPECT_EQ(s.opening.vaisseau_frame.get(6), second);
  EXPECT_NE(s.opening.vaisseau_frame.get(4), t3);
  EXPECT_EQ(s.opening.vaisseau_frame.get(4), t3_again);
}

TEST_F(ShipPartWalk, NoModelVisitsNothing) {
  EXPECT_TRUE(walk(nullptr).empty());
  EXPECT_TRUE(walk(s.stage.root.create_frame()).empty());
}

// ---- Party_2 on a show whose scene slots are all empty.
class OpeningStep : public ShowTest {
 protected:
  explicit OpeningStep(quarvel::testing::Pixels pixels = quarvel::testing::Pixels::Recorded) : ShowTest(pixels) {}
  void SetUp() override {
    s.layers.gamma_sauve = render::GammaRamp::identity();
    s.view.focale = 9;
  }
  void tick(float t) {
    s.clock.horloge = t;
    scene::Party_2(s);
  }
  render::GammaRamp gamma() const {
    render::GammaRamp g;
    f.DXDraw.get_gamma(g);
    return g;
  }
  // Every pixel of the back surface, masked to its colour.
  bool surface_is(uint32_t rgb) const {
    const Picture p = static_cast<const display::DisplayControl&>(f.DXDraw).surface();
    for (uint32_t px : p.pixels) {
      if ((px & 0xFFFFFFu) != rgb) return false;
    }
    return !p.pixels.empty();
  }
};

TEST_F(OpeningStep, GammaFadesOutGoesBlackAndFadesBackIn) {
  tick(1670.0f);  // strict window: nothing set
  EXPECT_EQ(gamma(), render::GammaRamp::identity());

  tick(1680.4f);  // k = 10: 8000 below the saved ramp
  render::GammaRamp g = gamma();
  EXPECT_EQ(g.red[0], 0);
  EXPECT_EQ(g.red[31], 0);        // 7967 - 8000 stops at 0
  EXPECT_EQ(g.green[32], 224);    // 8224 - 8000
  EXPECT_EQ(g.blue[255], 57535);  // 65535 - 8000

  tick(1709.9f);  // k = 40: 32000 below
  EXPECT_EQ(gamma().red[255], 33535);

  tick(1720.0f);
  EXPECT_EQ(gamma(), render::GammaRamp{});

  tick(1800.6f);  // k = 240 - 61 = 179: 48867 below
  g = gamma();
  EXPECT_EQ(g.red[255], 16668);
  EXPECT_EQ(g.green[190], 0);    // 48830 - 48867
  EXPECT_EQ(g.blue[191], 220);   // 49087 - 48867

  tick(1979.9f);  // k = 0: the saved ramp again
  EXPECT_EQ(gamma(), render::GammaRamp::identity());
}

// What reads the picture.
class DrawnOpeningStep : public OpeningStep {
 protected:
  DrawnOpeningStep() : OpeningStep(quarvel::testing::Pixels::Drawn) {}
};

TEST_F(DrawnOpeningStep, BackSurfaceWhiteOnlyInsideTheNegativeWindow) {
  tick(6100.0f);
  EXPECT_TRUE(surface_is(0));
  tick(6300.0f);
  EXPECT_TRUE(surface_is(0xFFFFFFu));
  // The green negative with its wobbling edge: Round(2 sin(6300 x 120 deg) + 50).
  const auto high = static_cast<uint8_t>(std::lround(2.0 * std::sin(6300.0 * 120.0 * M_PI / 180.0) + 50.0));
  EXPECT_EQ(gamma(), controls::green_negative_ramp(0, high));
  tick(6760.0f);
  EXPECT_TRUE(surface_is(0));
  tick(6800.0f);
  EXPECT_EQ(gamma(), controls::contrast_ramp(24, 145));
}

TEST_F(OpeningStep, ContrastClosesInFromBothEnds) {
  tick(7500.0f);
  EXPECT_EQ(gamma(), controls::contrast_ramp(100, 155));
  tick(7550.4f);  // x = 150: a hard threshold at 105
  EXPECT_EQ(gamma(), controls::contrast_ramp(150, 105));
}

TEST_F(OpeningStep, ClosingFogEndsAtZeroAndStaysWhite) {
  s.opening.brouillard_fin = 15000;
  tick(7400.0f);
  EXPECT_FALSE(s.stage.scene->scene_fog().enabled);
  tick(7451.0f);
  EXPECT_EQ(s.opening.brouillard_fin, 14850);
  EXPECT_TRUE(s.stage.scene->scene_fog().enabled);
  EXPECT_EQ(s.stage.scene->scene_fog().color, 0xFFFFFFFFu);
  EXPECT_FLOAT_EQ(s.stage.scene->scene_fog().end, 14850.0f);
  for (int i = 0; i < 120; ++i) tick(7460.0f);
  EXPECT_LE(s.opening.brouillard_fin, 0);
  EXPECT_FLOAT_EQ(s.stage.scene->scene_fog().end, 150.0f);  // the last end sent
  EXPECT_TRUE(s.stage.scene->scene_fog().enabled);
}

TEST_F(OpeningStep, FlickerDrawsOnlyInsideItsWindow) {
  tick(7052.0f);
  EXPECT_EQ(s.rng.draws, 0u);
  tick(7100.0f);
  tick(7100.0f);
  EXPECT_EQ(s.rng.draws, 2u);
  EXPECT_GE(s.opening.scintille_n, 1);  // below 2 it always steps
  tick(7165.0f);
  EXPECT_EQ(s.rng.draws, 2u);
}

TEST_F(OpeningStep, GroundScrollsFiveAWayEveryTick) {
  s.wrap_u = 10;
  tick(100.0f);
  tick(100.0f);
  EXPECT_EQ(s.wrap_u, 0);
  ASSERT_NE(s.wrap_tab.get(0), nullptr);
  tick(100.0f);
  EXPECT_FLOAT_EQ(s.wrap_tab.get(0)->params().ou, -5.0f / 25.0f);
  EXPECT_FLOAT_EQ(s.wrap_tab.get(0)->params().su, 0.01f);
}

// ---- anim_x's stages.
class OpeningStages : public OpeningStep {
 protected:
  void SetUp() override {
    OpeningStep::SetUp();
    s.opening.anim_x_actif = true;
    scene::create_light_set(s);
  }
};

TEST_F(OpeningStages, FieldWidensBetween1130And1185) {
  tick(1130.0f);
  EXPECT_EQ(s.opening.etape_x, 0);
  EXPECT_EQ(s.view.focale, 9);
  tick(1131.0f);
  EXPECT_EQ(s.opening.etape_x, 1);
  EXPECT_EQ(s.view.focale, 10);
  tick(1132.0f);
  EXPECT_EQ(s.view.focale, 11);
  EXPECT_FLOAT_EQ(s.stage.viewport->field(), 10.0f / 20.0f);  // set before the widening
  tick(1185.5f);
  EXPECT_EQ(s.opening.etape_x, 2);
  EXPECT_EQ(s.view.focale, 9);
  EXPECT_FALSE(s.view.focale_actif);
  tick(1190.0f);
  EXPECT_FLOAT_EQ(s.stage.viewport->field(), 9.0f / 20.0f);
}

TEST_F(OpeningStages, FogSwitchedOffFrom1000UntilTheWidening) {
  s.stage.scene->set_scene_fog_enable(true);
  tick(1000.0f);
  EXPECT_TRUE(s.stage.scene->scene_fog().enabled);
  tick(1000.5f);
  EXPECT_FALSE(s.stage.scene->scene_fog().enabled);
}

TEST_F(OpeningStages, LightZeroBlinksFrom3300AndIsWhiteAfter3900) {
  s.opening.etape_x = 2;
  auto light = s.lights.light_tab.get(0);
  ASSERT_NE(light, nullptr);
  const rm::Vec3 before = light->color();
  tick(3300.0f);
  EXPECT_EQ(s.opening.etape_x, 2);
  EXPECT_EQ(light->color(), before);
  tick(3300.5f);
  EXPECT_EQ(s.opening.etape_x, 3);
  const rm::Vec3 p = s.lights.light_frame.get(0)->position(s.stage.scene.get());
  EXPECT_NEAR(p.x, -286.0f, 1e-3);
  EXPECT_NEAR(p.y, 5.0f, 1e-3);
  EXPECT_NEAR(p.z, -1851.0f, 1e-3);
  EXPECT_NEAR(light->color().x, 0.9210f, 1e-4);  // first blink: 70 degrees
  EXPECT_NEAR(light->color().y, 0.1645f, 1e-4);
  EXPECT_NEAR(light->color().z, 0.3355f, 1e-4);
  const rm::Vec3 first = light->color();
  tick(3600.0f);
  EXPECT_NE(light->color(), first);
  tick(3900.0f);
  EXPECT_EQ(s.opening.etape_x, 3);
  tick(3900.5f);
  EXPECT_EQ(s.opening.etape_x, 4);
  EXPECT_EQ(light->color(), rm::Vec3(1, 1, 1));
  tick(4000.0f);
  EXPECT_EQ(light->color(), rm::Vec3(1, 1, 1));
}

TEST_F(OpeningStages, LetterboxOpensFrom6100AndFullScreenAfter6760) {
  s.opening.etape_x = 4;
  tick(6100.0f);
  EXPECT_EQ(s.stage.viewport->rect().height, 480);
  tick(6100.5f);
  EXPECT_EQ(s.opening.etape_x, 5);
  rm::Rect r = s.stage.viewport->rect();
  EXPECT_EQ(r.y, 230);
  EXPECT_EQ(r.height, 20);
  for (int i = 0; i < 20; ++i) tick(6200.0f);
  r = s.stage.viewport->rect();
  EXPECT_EQ(r.y, 60);
  EXPECT_EQ(r.height, 360);
  EXPECT_FALSE(s.layers.ecran16_actif);
  tick(6761.0f);
  EXPECT_EQ(s.opening.etape_x, 6);
  r = s.stage.viewport->rect();
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.height, 480);
}

}  // namespace
}  // namespace quarvel
