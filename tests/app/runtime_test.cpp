// The main form as the show's runtime: start-up values, the clock, the step
// chain, the safety end, the finale's fade and close, and Alt+Enter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/layers.h"
#include "app/main_form.h"
#include "controls/effects.h"
#include "platform/common/png_write.h"
#include "scenes/steps.h"
#include "show_fixture.h"

using namespace quarvel;
using quarvel::testing::CurrentDir;
using quarvel::testing::FakeMusicDevice;
using quarvel::testing::TempDir;

namespace {

// A form on a headless display and a fake music layer, run from a fresh
// folder (no show files: every load fails and the show goes on).
struct FormRig {
  // `drawn`: the frames drawn (headless GL), else only recorded.
  explicit FormRig(bool drawn = false) : drawn(drawn) {}
  bool drawn;
  TempDir dir;
  CurrentDir here{dir.path()};
  uint32_t now = 0;
  FakeMusicDevice music;
  app::TMainForm form{drawn ? display::make_headless_backend() : display::make_recording_backend(),
                      [this] { return now; }, music};
  scene::Show& s() { return form.show(); }

  void start() {
    form.FormCreate();
    form.Show();
  }
  // Steps that only record that they ran.
  void inert_steps() {
    for (auto& step : form.steps) step = [](scene::Show&) {};
  }
  // One tick at music position `pos`.
  void tick(uint32_t pos) {
    music.position_value = pos;
    now += 16;
    ASSERT_TRUE(form.idle_loop.idle());
  }
  void tick() { tick(music.position_value); }
  std::vector<int> flags() {
    std::vector<int> on;
    for (const scene::StepFlag flag : scene::kStepFlags)
      if (s().chain.Party_actif[flag]) on.push_back(static_cast<int>(flag));
    return on;
  }
};

}  // namespace

TEST(StartUp, SeedsEveryValueAndArmsTheTimer) {
  FormRig r;
  r.music.position_value = 3000000;
  r.start();
  scene::Show& s = r.s();
  EXPECT_EQ(s.clock.flux_musique, 1u);
  EXPECT_EQ((std::vector<int32_t>(s.clock.Temps.begin(), s.clock.Temps.begin() + 5)),
            (std::vector<int32_t>{0, 2000, 1370, 2500, 1480}));
  EXPECT_EQ(r.flags(), std::vector<int>{0});
  EXPECT_EQ(s.clock.horloge, 0.0f);
  EXPECT_EQ(s.view.focale, 9);
  EXPECT_EQ(s.controls.vitesse, 10);
  EXPECT_TRUE(s.controls.cam_auto && s.view.cam_suivi && s.opening.anim_x_actif);
  EXPECT_FALSE(s.layers.affiche_infos || s.view.focale_actif || s.view.cam_vise || s.layers.ecran16_actif ||
               s.lights.clignote_actif);
  EXPECT_EQ(s.layers.ecran16_n, 0);
  EXPECT_EQ(s.opening.etape_x, 0);
  // 3000000 / 1500, unsigned division.
  EXPECT_EQ(s.clock.pos_precedente, 2000u);
  // Two loading steps advanced the bar while nothing is drawn.
  EXPECT_EQ(s.chain.charge_pos, 28);
  EXPECT_EQ(s.layers.gamma_sauve, render::GammaRamp::identity());
  // Back plane 15000; the front plane of -100 is refused and stays at 1.
  EXPECT_FLOAT_EQ(r.form.stage.viewport->back(), 15000.0f);
  EXPECT_FLOAT_EQ(r.form.stage.viewport->front(), 1.0f);
  const rm::Vec3 cam = r.form.stage.camera->position(r.form.stage.scene.get());
  EXPECT_EQ(cam.x, 0.0f);
  EXPECT_EQ(cam.y, 0.0f);
  EXPECT_EQ(cam.z, -500.0f);
  ASSERT_TRUE(s.lights.light_tab.get(0));
  for (int i = 0; i <= 4; ++i) {
    ASSERT_TRUE(r.form.ImageList.item(i));
    EXPECT_EQ(r.form.ImageList.item(i)->transparent_colour, 0xF600FFu);
    EXPECT_TRUE(r.form.ImageList.item(i)->transparent);
  }
  EXPECT_EQ(r.form.stage.device->texture_quality(), rm::TextureQuality::Linear);
  EXPECT_EQ(r.form.stage.device->render_mode(), 3u);
  EXPECT_TRUE(r.form.DXTimer.enabled());
  EXPECT_FALSE(r.form.Timer_chargement.enabled());
  // No backdrop file here: no background picture, and the show goes on.
  EXPECT_EQ(s.fond_texture, nullptr);
  r.inert_steps();
  r.tick(3000000);
  EXPECT_EQ(r.form.DXDraw.flips(), 1);
}

TEST(StartUp, ShowsTheBackdropFromTheCurrentFolder) {
  FormRig r;
  Picture backdrop(8, 8, 0xFF336699u);
  ASSERT_TRUE(write_png(r.dir.file(app::kBackdropFile), backdrop));  // read by content, whatever the name
  r.start();
  ASSERT_NE(r.s().fond_texture, nullptr);
  EXPECT_EQ(r.form.stage.scene->scene_background_image(), r.s().fond_texture);
}

TEST(StartUp, LogoKeysMatchThePicturesTransparentAreas) {
  FormRig r;
  for (int i : {0, 1, 2, 3, 4, 7, 8}) {
    const display::ImageItem* item = r.form.ImageList.item(i);
    ASSERT_TRUE(item);
    // The corner is transparent: red 255, green 0, blue 246.
    EXPECT_EQ(item->picture.at(0, 0) & 0xFFFFFFu, 0xFF00F6u) << i;
    EXPECT_EQ(item->transparent_colour, 0xF600FFu) << i;
  }
  EXPECT_EQ(r.form.ImageList.item(5)->transparent_colour, 0u);
  EXPECT_EQ(r.form.ImageList.count(), 9);
}

TEST(FrameLoop, ClockFollowsTheSignedMusicDifference) {
  FormRig r;
  r.start();
  r.inert_steps();
  scene::Show& s = r.s();
  struct Step {
    uint32_t pos;
    float pas;
  };
  // Forward, stalled, backwards, and across the 32-bit wrap.
  const std::vector<Step> seq = {{3000, 2.0f},
                                 {3000, 0.0f},
                                 {1500, -1.0f},
                                 {4000, static_cast<float>(2500 / 1500.0)},
                                 {0xFFFFF000u, static_cast<float>(-8096 / 1500.0)},
                                 {0x1000u, static_cast<float>(8192 / 1500.0)}};
  float expected = 0.0f;
  for (const Step& st : seq) {
    r.tick(st.pos);
    expected = static_cast<float>(static_cast<double>(expected) + static_cast<double>(st.pas) / 2.0);
    EXPECT_EQ(s.clock.pos_musique, st.pos);
    EXPECT_EQ(s.clock.pos_precedente, st.pos);
    EXPECT_EQ(s.clock.pas_temps, st.pas) << st.pos;
    EXPECT_EQ(s.clock.horloge, expected) << st.pos;
  }
  EXPECT_NEAR(s.clock.horloge, 0.5 + (2500.0 - 8096.0 + 8192.0) / 3000.0, 1e-5);
}

TEST(FrameLoop, ClockCountsTheBytesPlayedAcrossTheLoopingTracksWrap) {
  FormRig r;
  r.music.length_value = 1000000;
  r.start();
  r.inert_steps();
  struct Step {
    uint32_t pos;
    double bytes;  // the step the clock takes, in bytes of music
  };
  // Forward; across the wrap (10000 bytes to the end, 3000 after it); a
  // small step back; exactly half the track back (still a step back); more
  // than half back (a wrap again).
  const std::vector<Step> seq = {
      {990000, 990000}, {3000, 13000}, {1500, -1500}, {501500, 500000}, {1500, -500000}, {999000, 997500},
      {400000, 401000}};
  double expected = 0.0;
  for (const Step& st : seq) {
    r.tick(st.pos);
    EXPECT_EQ(r.s().clock.pas_temps, static_cast<float>(st.bytes / 1500.0)) << st.pos;
    expected += st.bytes / 3000.0;
    EXPECT_NEAR(r.s().clock.horloge, expected, 1e-3) << st.pos;
  }
}

TEST(FrameLoop, NoMusicStandsTheClockStillAndKeepsRendering) {
  FormRig r;
  r.music.stream_handle = 0;
  r.start();
  r.inert_steps();
  for (int i = 0; i < 5; ++i) r.tick(0);
  EXPECT_EQ(r.s().clock.horloge, 0.0f);
  EXPECT_EQ(r.s().clock.pas_temps, 0.0f);
  EXPECT_EQ(r.flags(), std::vector<int>{0});
  EXPECT_EQ(r.form.DXDraw.flips(), 5);
}

TEST(FrameLoop, LaterFlagsRunInTheSameTickEarlierOnesFromTheNext) {
  FormRig r;
  r.start();
  std::vector<int> calls;
  for (int k = 0; k < 7; ++k) r.form.steps[static_cast<size_t>(k)] = [&calls, k](scene::Show&) { calls.push_back(k + 1); };
  // Step 1 hands on to step 3 (later), step 3 hands on to step 2 (earlier).
  r.form.steps[0] = [&calls](scene::Show& s) {
    calls.push_back(1);
    s.chain.Party_actif[scene::kLoadingStep] = false;
    s.chain.Party_actif[scene::kForestFlightStep] = true;
  };
  r.form.steps[2] = [&calls](scene::Show& s) {
    calls.push_back(3);
    s.chain.Party_actif[scene::kForestFlightStep] = false;
    s.chain.Party_actif[scene::kOpeningStep] = true;
  };
  r.tick();
  EXPECT_EQ(calls, (std::vector<int>{1, 3}));
  EXPECT_EQ(r.s().record.ran, (std::vector<int>{1, 3}));
  EXPECT_EQ(r.flags(), std::vector<int>{1});
  calls.clear();
  r.tick();
  EXPECT_EQ(calls, std::vector<int>{2});
  EXPECT_EQ(r.s().record.ran, std::vector<int>{2});
}

TEST(FrameLoop, PlaceholderChainSwitchesOnStrictThresholds) {
  FormRig r;
  r.start();
  scene::Show& s = r.s();
  s.chain.Party_actif = {};
  s.chain.Party_actif[scene::kForestEdgeStep] = true;  // Party_5 runs
  // Equal to the switch value: no switch.
  s.clock.horloge = 1370.0f;
  r.tick();
  EXPECT_EQ(s.record.ran, std::vector<int>{5});
  EXPECT_TRUE(s.record.built.empty());
  // Just above: the model scene is built and Party_6 runs in the same tick.
  s.clock.horloge = std::nextafter(1370.0f, 2000.0f);
  r.tick();
  EXPECT_EQ(s.record.built, std::vector<std::string>{"Party_chargement_anim5"});
  EXPECT_EQ(s.record.ran, (std::vector<int>{5, 6}));
  EXPECT_EQ(r.flags(), std::vector<int>{5});
  EXPECT_EQ(s.clock.horloge, 0.0f);
  ASSERT_TRUE(s.scene_frame.get(4));

  // Party_6 hands on to Party_4, which first runs on the next tick.
  s.clock.horloge = 2500.0f;
  r.tick();
  EXPECT_TRUE(s.record.built.empty());
  s.clock.horloge = 2500.5f;
  r.tick();
  EXPECT_EQ(s.record.built, std::vector<std::string>{"Party_chargement_anim3"});
  EXPECT_EQ(s.record.ran, std::vector<int>{6});
  EXPECT_EQ(r.flags(), std::vector<int>{3});
  ASSERT_TRUE(s.scene_frame.get(3));
  r.tick();
  EXPECT_EQ(s.record.ran, std::vector<int>{4});

  // Party_4 hands on to the finale in the same tick; the finale's ramp is
  // the contrast ramp it sets.
  s.clock.horloge = 1480.0f;
  r.tick();
  EXPECT_TRUE(s.record.built.empty());
  s.clock.horloge = 1480.25f;
  r.tick();
  EXPECT_EQ(s.record.built, std::vector<std::string>{"Party_chargement_anim6"});
  EXPECT_EQ(s.record.ran, (std::vector<int>{4, 7}));
  EXPECT_EQ(r.flags(), std::vector<int>{6});
  EXPECT_EQ(s.layers.gamma_sauve, controls::contrast_ramp(24, 145));
  EXPECT_TRUE(s.scene_frame.get(6));
  EXPECT_EQ(s.scene_frame.get(3), nullptr);
}

TEST(FrameLoop, SafetyEndFinalisesAndClosesInThatTick) {
  FormRig r;
  r.start();
  r.inert_steps();
  r.s().clock.horloge = 18000.0f;
  r.tick();
  EXPECT_FALSE(r.form.closing());
  EXPECT_TRUE(r.form.DXDraw.initialized());
  r.s().clock.horloge = 18000.5f;
  const int flips = r.form.DXDraw.flips();
  r.tick();
  EXPECT_EQ(r.form.DXDraw.flips(), flips + 1);  // the tick ran to its flip
  EXPECT_TRUE(r.form.closing());
  EXPECT_FALSE(r.form.DXDraw.initialized());
  EXPECT_FALSE(r.form.DXTimer.enabled());
}

TEST(FrameLoop, FinaleFadesFromTheSavedRampAndClosesAfter864) {
  FormRig r;
  r.start();
  r.inert_steps();
  scene::Show& s = r.s();
  s.chain.Party_actif = {};
  s.chain.Party_actif[scene::kFinaleStep] = true;
  render::GammaRamp ramp;
  s.clock.horloge = 700.0f;  // not yet
  r.tick();
  EXPECT_EQ(s.layers.fondu, 0);
  r.form.DXDraw.get_gamma(ramp);
  EXPECT_EQ(ramp, render::GammaRamp::identity());

  s.clock.horloge = 720.0f;  // fondu 40: every entry 32000 lower, never below 0
  r.tick();
  EXPECT_EQ(s.layers.fondu, 40);
  r.form.DXDraw.get_gamma(ramp);
  EXPECT_EQ(ramp.red[0], 0);
  EXPECT_EQ(ramp.red[124], 0);  // 124 * 257 = 31868
  EXPECT_EQ(ramp.green[125], 125 * 257 - 32000);
  EXPECT_EQ(ramp.blue[255], 65535 - 32000);

  s.clock.horloge = 741.0f;  // fondu 82: black
  r.tick();
  EXPECT_EQ(s.layers.fondu, 82);
  r.form.DXDraw.get_gamma(ramp);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(ramp.red[i] | ramp.green[i] | ramp.blue[i], 0) << i;

  s.clock.horloge = 864.0f;
  r.tick();
  EXPECT_FALSE(r.form.closing());
  s.clock.horloge = 864.25f;
  r.tick();
  EXPECT_TRUE(r.form.closing());
  EXPECT_TRUE(r.form.DXDraw.initialized());  // only the form closes
}

TEST(AltEnter, RestartsTheShowFromItsFirstStep) {
  FormRig r;
  r.start();
  r.inert_steps();
  scene::Show& before = r.s();
  before.chain.Party_actif = {};
  before.chain.Party_actif[scene::kExplosionStep] = true;
  before.clock.horloge = 123.0f;
  before.scene_frame[3] = r.form.stage.root.create_frame(r.form.stage.scene);
  const auto old_group = before.scene_frame.get(3);
  before.random(1000);
  const uint32_t seed = before.rng.seed;
  r.tick(3000);

  r.form.FormKeyDown(13, true);
  EXPECT_EQ(r.form.initialisations(), 2);
  scene::Show& after = r.s();
  EXPECT_EQ(r.flags(), std::vector<int>{0});
  EXPECT_EQ(after.clock.horloge, 0.0f);
  EXPECT_EQ(after.rng.seed, seed);  // the one sequence carries on
  EXPECT_EQ(after.clock.flux_musique, 1u);
  EXPECT_EQ(after.scene_frame.get(3), nullptr);
  EXPECT_FALSE(r.form.stage.scene->draws(old_group.get()));
  EXPECT_EQ(after.clock.pos_precedente, 3000u / 1500u);
  EXPECT_TRUE(r.form.DXTimer.enabled());
  EXPECT_FALSE(r.form.DXDraw.full_screen);
  r.tick(6000);
  EXPECT_EQ(after.record.ran, std::vector<int>{1});
}

TEST(BadInput, UnreadableBackdropIsOneLineAndTheShowRunsOn) {
  for (bool folder : {false, true}) {
    FormRig r;
    if (folder) {
      std::filesystem::create_directory(r.dir.file(app::kBackdropFile));
    } else {
      quarvel::testing::write_text_file(r.dir.file(app::kBackdropFile), "not a picture at all");
    }
    ::testing::internal::CaptureStderr();
    r.start();
    r.inert_steps();
    r.tick(3000);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(r.s().fond_texture, nullptr);
    EXPECT_NE(err.find(app::kBackdropFile), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(r.form.DXDraw.flips(), 1);
  }
}

TEST(FrameLoop, OverlayOnlyWhenAskedAndTheFlipEitherWay) {
  if (!display::TextCanvas::font_available()) GTEST_SKIP() << "no font";
  FormRig r(true);
  r.start();
  r.inert_steps();
  auto top_left_white = [&] {
    int n = 0;
    const Picture shot = r.form.DXDraw.screenshot();
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 100; ++x) n += shot.at(x, y) == 0xFFFFFFFFu;
    return n;
  };
  r.tick();
  EXPECT_EQ(r.form.DXDraw.flips(), 1);
  EXPECT_EQ(top_left_white(), 0);
  r.s().layers.affiche_infos = true;
  r.tick();
  EXPECT_EQ(r.form.DXDraw.flips(), 2);
  EXPECT_GT(top_left_white(), 20);  // "FPS: ..."
}
