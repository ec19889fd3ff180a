// The loading display: the shimmering picture, the growing bar and its
// counter, the random flashes, and that nothing is drawn or shown while the
// opening scene is not being built.
#include "scene/loading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/render/surface2d.h"
#include "show_fixture.h"

namespace quarvel::scene {
namespace {

Picture back(const testing::ShowFixture& f) {
  const display::DisplayControl& d = f.DXDraw;
  return d.surface();
}

// The largest difference of one channel between two pictures of one size.
int max_difference(const Picture& a, const Picture& b) {
  int worst = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      const int d = std::abs(static_cast<int>((a.pixels[i] >> shift) & 0xFF) -
                             static_cast<int>((b.pixels[i] >> shift) & 0xFF));
      worst = std::max(worst, d);
    }
  }
  return worst;
}

constexpr uint32_t kWhite = 0xFFFF;  // RGB565

class LoadingDisplay : public testing::DrawnShowTest {
 protected:
  LoadingDisplay() {
    f.DXDraw.fill(kWhite);
    s.chain.Party_actif[scene::kOpeningStep] = true;
  }
  uint32_t bar_colour() const { return render::device_colour_to_argb(63); }
};

TEST_F(LoadingDisplay, FiveFaintCopiesOfTheLoadingPictureOnBlack) {
  s.rng.seed = 12345;  // a place in the sequence where the draws differ
  Picture expected = back(f);
  Random r = s.rng;
  render::fill_rect(expected, {0, 0, 640, 350}, 0);
  const display::ImageItem* item = f.ImageList.item(6);
  ASSERT_NE(item, nullptr);
  for (int i = 0; i < 5; ++i) {
    const int top = 240 + r.random(5);  // top is drawn before left
    const int left = r.random(5);
    render::blend_stretched(expected, item->picture, {left, top, 160, 35}, 32, true,
                            render::bgr_to_argb(item->transparent_colour));
  }
  const int flips = f.DXDraw.flips();
  Loading(s);
  EXPECT_EQ(s.chain.charge_n, 5);
  EXPECT_EQ(s.rng.draws, 10u);
  EXPECT_EQ(s.rng.seed, r.seed);
  EXPECT_EQ(f.DXDraw.flips(), flips + 1);
  EXPECT_LE(max_difference(back(f), expected), 2);
  // Black above, white below the filled rectangle, something faint between.
  EXPECT_EQ(back(f).at(320, 100) & 0xFFFFFF, 0u);
  EXPECT_EQ(back(f).at(320, 349) & 0xFFFFFF, 0u);
  EXPECT_EQ(back(f).at(320, 350) & 0xFFFFFF, 0xFFFFFFu);
  int lit = 0;
  const Picture drawn = back(f);
  for (int y = 240; y < 280; ++y)
    for (int x = 0; x < 165; ++x) lit += (drawn.at(x, y) & 0xFFFFFF) != 0;
  EXPECT_GT(lit, 0);
}

TEST_F(LoadingDisplay, TheBarGrowsByFourteenStepsAndStartsOverAfterThirtyThreeCalls) {
  const int widths[] = {0, 17, 34, 50, 67};
  for (int call = 0; call < 33; ++call) {
    const int before = s.chain.charge_pos;
    const int flips = f.DXDraw.flips();
    Chargement(s, "Chargement en cours");
    EXPECT_EQ(f.DXDraw.flips(), flips + 2) << call;  // the picture, then the bar
    const int w = static_cast<int>(std::lround(before * 1.2));  // never a half
    if (call < 5) {
      EXPECT_EQ(w, widths[call]);
    }
    if (w > 0) {
      EXPECT_EQ(back(f).at(50, 400), bar_colour()) << call;
      EXPECT_EQ(back(f).at(50 + w - 1, 439), bar_colour()) << call;
    }
    EXPECT_NE(back(f).at(50 + w, 420), bar_colour()) << call;
    EXPECT_NE(back(f).at(49, 420), bar_colour()) << call;
    EXPECT_NE(back(f).at(50, 440), bar_colour()) << call;
    EXPECT_EQ(s.chain.charge_pos, call == 32 ? 0 : before + 14) << call;
  }
  EXPECT_EQ(std::lround(448 * 1.2), 538);
  EXPECT_EQ(back(f).at(50 + 537, 420), bar_colour());
  // The next bar is the empty one, painted over nothing: the long bar stays.
  Chargement(s, "");
  EXPECT_EQ(s.chain.charge_pos, 14);
  EXPECT_EQ(back(f).at(50 + 537, 420), bar_colour());
}

TEST_F(LoadingDisplay, TheLabelIsNeverDrawn) {
  Picture after_empty;
  {
    testing::ShowFixture other(true, quarvel::testing::Pixels::Drawn);
    other.DXDraw.fill(kWhite);
    other.show.chain.Party_actif[scene::kOpeningStep] = true;
    Chargement(other.show, "");
    after_empty = back(other);
  }
  Chargement(s, std::string(500, 'W'));
  EXPECT_EQ(max_difference(back(f), after_empty), 0);
}

TEST_F(LoadingDisplay, WithoutTheFlagNothingIsDrawnOrShownButTheCounterMoves) {
  s.chain.Party_actif[scene::kOpeningStep] = false;
  const Picture before = back(f);
  const int flips = f.DXDraw.flips();
  for (int call = 0; call < 33; ++call) Chargement(s, "Constructing ........... okokok");
  Loading(s);
  EXPECT_EQ(s.chain.charge_pos, 0);
  EXPECT_EQ(f.DXDraw.flips(), flips);
  EXPECT_EQ(s.rng.draws, 0u);
  EXPECT_EQ(s.chain.charge_n, 0);
  EXPECT_EQ(max_difference(back(f), before), 0);
  Chargement(s, "");
  EXPECT_EQ(s.chain.charge_pos, 14);
}

TEST_F(LoadingDisplay, TimerFlashesTheWholeSurfaceWithARandomColour) {
  Random r = s.rng;
  const uint32_t first = static_cast<uint32_t>(r.random(65536));
  const uint32_t second = static_cast<uint32_t>(r.random(65536));
  const int flips = f.DXDraw.flips();
  Timer_chargementTimer(s);
  EXPECT_EQ(f.DXDraw.flips(), flips + 1);
  EXPECT_EQ(back(f).at(0, 0), render::device_colour_to_argb(first));
  EXPECT_EQ(back(f).at(639, 479), render::device_colour_to_argb(first));
  Timer_chargementTimer(s);
  EXPECT_EQ(back(f).at(320, 240), render::device_colour_to_argb(second));
  EXPECT_EQ(s.rng.draws, 2u);
  // The flashes do not care about the loading flag.
  s.chain.Party_actif[scene::kOpeningStep] = false;
  Timer_chargementTimer(s);
  EXPECT_EQ(f.DXDraw.flips(), flips + 3);
}

}  // namespace
}  // namespace quarvel::scene
