#include "scene/loading.h"

#include "scene/helpers.h"

namespace quarvel::scene {
namespace {

constexpr int kLoadingPicture = 6;
constexpr int kBarColour = 63;  // full blue and the lowest green step
constexpr int32_t kBarStep = 14;
constexpr int32_t kBarLast = 460;

}  // namespace

void Loading(Show& s) {
  if (!s.chain.Party_actif[kOpeningStep]) return;
  s.DXDraw.fill_rect(0, 0, 640, 350, 0);
  s.chain.charge_n = 0;
  while (s.chain.charge_n < 5) {
    const int top = 240 + s.random(5);
    const int left = s.random(5);
    s.DXDraw.draw_alpha({left, top, 160, 35}, kLoadingPicture, 32);
    ++s.chain.charge_n;
  }
  s.DXDraw.flip();
}

void Chargement(Show& s, const std::string&) {
  Loading(s);
  if (s.chain.Party_actif[kOpeningStep]) {
    s.DXDraw.fill_rect(50, 400, static_cast<int>(Round(s.chain.charge_pos * 1.2)), 40, kBarColour);
  }
  s.chain.charge_pos += kBarStep;
  if (s.chain.charge_pos > kBarLast) s.chain.charge_pos = 0;
  if (s.chain.Party_actif[kOpeningStep]) s.DXDraw.flip();
}

void Timer_chargementTimer(Show& s) {
  s.DXDraw.fill(static_cast<uint32_t>(s.random(65536)));
  s.DXDraw.flip();
}

}  // namespace quarvel::scene
