// Colour packing, rounding, the cosine table, the shared random sequence, the
// time table and the release of everything the show holds.
#include "scene/helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "scene/time_table.h"
#include "show_fixture.h"

namespace quarvel::scene {
namespace {

TEST(ColourPacking, ChannelsInTheirBytes) {
  EXPECT_EQ(RGBA(1, 1, 1, 1), 0xFFFFFFFFu);
  EXPECT_EQ(RGBA(0, 0, 0, 0), 0x00000000u);
  EXPECT_EQ(RGBA(1, 0, 0, 0), 0x00FF0000u);
  EXPECT_EQ(RGBA(0, 1, 0, 0), 0x0000FF00u);
  EXPECT_EQ(RGBA(0, 0, 1, 0), 0x000000FFu);
  EXPECT_EQ(RGBA(0.5f, 0.25f, 0.1f, 0.5f), 0x7F7F3F19u);  // alpha 127, then 127, 63, 25: truncated
  EXPECT_EQ(RGB(0.5f, 0.25f, 0.1f), 0xFF7F3F19u);
  EXPECT_EQ(RGB(0, 0, 0), 0xFF000000u);
}

TEST(ColourPacking, AlphaOutsideTheRangeWraps) {
  // Trunc(255 * 1.5) = 382 = 0x17E: only 0x7E stays in the top byte.
  EXPECT_EQ(RGBA(1, 1, 1, 1.5f), 0x7EFFFFFFu);
  // 255 * 2 = 510 = 0x1FE.
  EXPECT_EQ(RGBA(0, 0, 0, 2.0f) >> 24, 0xFEu);
  // -0.5 * 255 = -127.5 -> -127, two's complement 0x...81.
  EXPECT_EQ(RGBA(0, 0, 0, -0.5f) >> 24, 0x81u);
}

TEST(ColourPacking, ChannelAboveOneSpillsIntoTheNextByte) {
  // Trunc(255 * 1.5) = 382 = 0x17E: the 1 lands in the alpha byte's lowest bit.
  EXPECT_EQ(RGBA(1.5f, 0, 0, 0), 0x017E0000u);
  EXPECT_EQ(RGBA(0, 0, 1.5f, 0), 0x0000017Eu);
}

TEST(Rounding, HalvesGoToEven) {
  EXPECT_EQ(Round(0.5), 0);
  EXPECT_EQ(Round(1.5), 2);
  EXPECT_EQ(Round(2.5), 2);
  EXPECT_EQ(Round(3.5), 4);
  EXPECT_EQ(Round(-0.5), 0);
  EXPECT_EQ(Round(-1.5), -2);
  EXPECT_EQ(Round(-2.5), -2);
  EXPECT_EQ(Round(16.8), 17);
  EXPECT_EQ(Round(33.6), 34);
  EXPECT_EQ(Round(50.4), 50);
  EXPECT_EQ(Round(-16.8), -17);
  EXPECT_EQ(Round(0.49999999999999994), 0);
  EXPECT_EQ(Round(5418.75), 5419);
}

TEST(Rounding, TruncGoesTowardZero) {
  EXPECT_EQ(Trunc(1.9), 1);
  EXPECT_EQ(Trunc(-1.9), -1);
  EXPECT_EQ(Trunc(382.5), 382);
  EXPECT_EQ(Trunc(0), 0);
}

TEST(CosineTable, EntriesAndLowByteIndex) {
  EXPECT_DOUBLE_EQ(table_cos(0), 1.0);
  EXPECT_NEAR(table_cos(64), 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(table_cos(128), -1.0);
  EXPECT_DOUBLE_EQ(table_cos(32), std::cos(std::numbers::pi / 4));
  EXPECT_DOUBLE_EQ(table_cos(256), table_cos(0));
  EXPECT_DOUBLE_EQ(table_cos(256 + 10), table_cos(10));
  EXPECT_DOUBLE_EQ(table_cos(-1), table_cos(255));
  EXPECT_DOUBLE_EQ(table_cos(-256), table_cos(0));
  EXPECT_DOUBLE_EQ(table_cos(-300), table_cos(212));  // -300 mod 256 on the low byte
}

TEST(CosineTable, SineIsTheCosineShiftedBy192) {
  EXPECT_NEAR(table_sin(0), 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(table_sin(64), 1.0);
  EXPECT_DOUBLE_EQ(table_sin(192), -1.0);
  for (int n : {-129, -1, 5, 100, 255, 1000}) {
    EXPECT_DOUBLE_EQ(table_sin(n), table_cos(n + 192)) << n;
    EXPECT_NEAR(table_sin(n), std::sin(2 * std::numbers::pi * n / 256), 1e-12) << n;
  }
}

TEST(Degrees, ToRadians) {
  EXPECT_DOUBLE_EQ(deg(180), std::numbers::pi);
  EXPECT_DOUBLE_EQ(deg(-90), -std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(deg(0), 0);
}

TEST(RandomSequence, FirstSeedsAndValuesFromZero) {
  Random r;
  // seed 0 -> 0 * 134775813 + 1 = 1; 1 * 134775813 + 1 = 134775814;
  // 134775814 * 134775813 + 1 mod 2^32, worked out by hand in 64 bits.
  const uint64_t s3 = (134775814ull * 134775813ull + 1ull) & 0xFFFFFFFFull;
  EXPECT_EQ(r.random(5), 0);  // (1 * 5) >> 32
  EXPECT_EQ(r.seed, 1u);
  EXPECT_EQ(r.random(65536), static_cast<int32_t>((134775814ull * 65536ull) >> 32));
  EXPECT_EQ(r.seed, 134775814u);
  EXPECT_EQ(r.random(1000), static_cast<int32_t>((s3 * 1000ull) >> 32));
  EXPECT_EQ(r.seed, static_cast<uint32_t>(s3));
  EXPECT_EQ(r.draws, 3u);
}

TEST(RandomSequence, ValuesStayBelowN) {
  Random r;
  for (int i = 0; i < 1000; ++i) {
    const int32_t v = r.random(5);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 5);
  }
  EXPECT_EQ(r.random(0), 0);
}

TEST(SceneTables, Capacities) {
  testing::ShowFixture f(false);
  const Show& s = f.show;
  EXPECT_EQ(s.scene_frame.capacity, 11u);
  EXPECT_EQ(s.objet_frame.capacity, 101u);
  EXPECT_EQ(s.objet_mesh.capacity, 101u);
  EXPECT_EQ(s.objet_texture.capacity, 101u);
  EXPECT_EQ(s.wrap_frame.capacity, 51u);
  EXPECT_EQ(s.wrap_tab.capacity, 51u);
  EXPECT_EQ(s.anim_frame.capacity, 31u);
  EXPECT_EQ(s.anim_set.capacity, 31u);
  EXPECT_EQ(s.lights.light_frame.capacity, 101u);
  EXPECT_EQ(s.lights.light_tab.capacity, 101u);
  EXPECT_EQ(s.opening.truck_frame.capacity, 10u);
  EXPECT_EQ(s.opening.vaisseau_frame.capacity, 10u);
  EXPECT_EQ(s.opening.vaisseau_mesh.capacity, 11u);
  EXPECT_EQ(s.explosion.explo_anim.capacity, 201u);
}

TEST(SceneTables, EntriesOutsideTheTableAreRefused) {
  Table<rm::Frame, 3> t;
  rm::Root root;
  const auto kept = root.create_frame();
  t[2] = kept;
  t[3] = root.create_frame();  // written into a scratch slot, not the table
  t[-1] = root.create_frame();
  EXPECT_EQ(t.get(2), kept);
  EXPECT_EQ(t.get(3), nullptr);
  EXPECT_EQ(t.get(-1), nullptr);
  EXPECT_EQ(t[3], nullptr);  // the scratch slot is emptied on every use
  for (size_t i = 0; i < 2; ++i) EXPECT_EQ(t.entries[i], nullptr);
  t.clear();
  EXPECT_EQ(t.get(2), nullptr);
}

TEST(ClockReset, SeedsTheTimeTableAndKeepsTheMusicStream) {
  testing::ShowFixture f(false);
  ClockState& c = f.show.clock;
  c.Temps.fill(7);
  c.horloge = 12.5f;
  c.pas_temps = 3;
  c.pos_musique = c.pos_precedente = 9000;
  c.fps_affiche = 59;
  c.flux_musique = 4;
  c.reset();
  const std::array<int32_t, 11> want{0, 2000, 1370, 2500, 1480, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(c.Temps, want);
  EXPECT_EQ(c.horloge, 0.0f);
  EXPECT_EQ(c.pas_temps, 0.0f);
  EXPECT_EQ(c.pos_musique, 0u);
  EXPECT_EQ(c.pos_precedente, 0u);
  EXPECT_EQ(c.fps_affiche, 0);
  EXPECT_EQ(c.flux_musique, 4u);
}

TEST(ReleaseAll, EveryEntryAndReferenceLetGo) {
  testing::ShowFixture f(false);
  Show& s = f.show;
  rm::Root root;
  s.scene_frame[1] = root.create_frame();
  s.objet_frame[100] = root.create_frame();
  s.objet_mesh[3] = root.create_mesh_builder();
  s.wrap_mesh[50] = root.create_mesh_builder()->create_mesh();
  s.lights.light_tab[0] = root.create_light_rgb(rm::LightType::Point, 1, 1, 1);
  s.explosion.explo_anim[200] = root.create_animation();
  s.anim_set[30] = root.create_animation_set();
  s.opening.vaisseau_mesh_b = root.create_mesh_builder();
  s.view.cam_path = s.scene_frame[1];
  s.fond_texture = root.create_texture(Picture(2, 2));
  s.controls.objet_choisi = s.objet_mesh[3];
  std::vector<std::weak_ptr<void>> held{s.scene_frame[1], s.objet_frame[100],        s.objet_mesh[3],
                                        s.wrap_mesh[50],  s.lights.light_tab[0],     s.explosion.explo_anim[200],
                                        s.anim_set[30],   s.opening.vaisseau_mesh_b, s.fond_texture};
  s.release_all();
  for (size_t i = 0; i < held.size(); ++i) EXPECT_TRUE(held[i].expired()) << i;
  EXPECT_EQ(s.view.cam_path, nullptr);
  EXPECT_EQ(s.controls.objet_choisi, nullptr);
  s.release_all();  // empty entries: nothing to do
}

TEST(ReleaseAll, ObjectsTheGraphHoldsStayAlive) {
  testing::ShowFixture f;
  Show& s = f.show;
  s.lights.light_frame[0] = f.stage.root.create_frame(f.stage.scene);
  std::weak_ptr<rm::Frame> frame = s.lights.light_frame[0];
  s.release_all();
  EXPECT_EQ(s.lights.light_frame[0], nullptr);
  EXPECT_FALSE(frame.expired());
}

}  // namespace
}  // namespace quarvel::scene
