// The fire pieces of the opening's burning ship and of the explosion.
#include <algorithm>
#include <cmath>

#include "model_kit.h"
#include "textures.h"

namespace quarvel::assets {

namespace {

// The fire pieces are built at a small size and then grown as a whole
// (uniform, so the normals keep their directions).
void grow(MeshData& m, float k) {
  for (Vertex& v : m.vertices) v.pos = v.pos * k;
}

// The fireball is shared by the opening (scaled 0.01 and then grown 70 times
// per clock unit after the blast) and the explosion (21 pieces keyed at
// scales 0..9 around the monument, seen through a field up to 6.85 wide), so
// it is sized for the explosion: about 45 units across, 225 at the
// explosion's gathering scale 5 and 400 at its largest. The opening camera
// backs away from the blast to keep the fire's share of the picture (see
// opening_camera). The flames grow by the same factor to stay in proportion.
constexpr float kFireGrowth = 3.0f;

}  // namespace

// A ball of fire: a hot core and a ring of cooler puffs bulging out of it.
// The core takes the bottom (hottest) quarter of its texture and the puffs
// the rows above, so with the explosion's texture a piece reads yellow in
// the middle and orange to red at its rim, from any side. The opening's fire
// takes the same rows of its own texture. The material is full white: the
// show's lights add up to more than 1 on every face, so the lit colour
// clamps to white and the texture alone decides the colour, as for a flame.
// The fires are drawn blended in the opening and fill much of the picture
// when they grow, so every layer of them costs its whole area again: a few
// puffs rather than many overlapping ones.
XFile fireball() {
  MeshData m;
  m.mat = m.add_material(colour(1.0f, 1.0f, 1.0f, "fire.BMP"));
  // Texture rows: v runs 0 (top of the picture) to 1 (bottom) over each puff.
  auto rows = [&m](int from, float v0, float v1) {
    for (size_t i = static_cast<size_t>(from); i < m.vertices.size(); ++i)
      m.vertices[i].v = v0 + (v1 - v0) * m.vertices[i].v;
  };
  auto lumpy = [&m](int from, Vec3 c, uint32_t seed, float amount) {
    m.displace(from, [c, seed, amount](Vec3 p) {
      Vec3 d = p - c;
      float n = value_noise(d.x * 0.9f + d.z * 0.4f, d.y * 0.9f - d.z * 0.3f, seed);
      return c + d * (1.0f + amount * n);
    });
    m.recompute_normals(from);
  };
  const int core = static_cast<int>(m.vertices.size());
  m.ellipsoid({0, 0, 0}, {5.0f, 5.0f, 5.0f}, 12, 8);
  lumpy(core, {0, 0, 0}, 100u, 0.15f);
  rows(core, 0.72f, 1.0f);
  // Puffs around the core on a slanted ring and at the poles, each pushed out
  // far enough to break the outline.
  Rng rng(12);
  for (int k = 0; k < 7; ++k) {
    float a = 2 * kPi * k / 7 + rng.range(-0.3f, 0.3f);
    float b = (k % 2 == 0 ? 0.35f : -0.4f) + rng.range(-0.2f, 0.2f);
    Vec3 dir{std::cos(b) * std::cos(a), std::sin(b), std::cos(b) * std::sin(a)};
    if (k == 5) dir = {0.2f, 1.0f, 0.1f};
    if (k == 6) dir = {-0.1f, -1.0f, 0.2f};
    float r = rng.range(2.4f, 3.2f);
    Vec3 c = normalize(dir) * (5.6f - r * 0.35f);
    const int from = static_cast<int>(m.vertices.size());
    m.ellipsoid(c, {r, r, r}, 8, 6);
    lumpy(from, c, 101u + static_cast<uint32_t>(k), 0.22f);
    rows(from, 0.25f, 0.78f);
  }
  grow(m, kFireGrowth);
  return single_mesh_file("x3ds_Fireball", std::move(m));
}

XFile flame() {
  MeshData m;
  m.mat = m.add_material(colour(1.0f, 0.7f, 0.35f, "fire.BMP", 0.6f));
  for (int tongue = 0; tongue < 2; ++tongue) {
    int from = static_cast<int>(m.vertices.size());
    float s = 1.0f - tongue * 0.22f;
    {
      LocalTransform placed(m, rotation_y(tongue * 2.1f) *
                                   translation({(tongue - 1) * 1.6f, 0, tongue == 1 ? 1.5f : -0.8f}));
      m.lathe({{0, 0}, {3.2f * s, 1.0f}, {4.2f * s, 3.0f}, {3.6f * s, 6.0f}, {2.2f * s, 9.0f},
               {0.9f * s, 12.0f * s + 1.0f}, {0, 14.0f * s}},
              12, false);
    }
    uint32_t seed = 300u + static_cast<uint32_t>(tongue);
    m.displace(from, [seed](Vec3 p) {
      float a = std::atan2(p.z, p.x);
      float w = 1.0f + 0.25f * std::sin(5 * a + p.y * 0.8f) + 0.1f * value_noise(p.x, p.y, seed);
      return Vec3{p.x * w + 0.08f * p.y * p.y * 0.1f, p.y, p.z * w};
    });
    m.recompute_normals(from);
  }
  grow(m, kFireGrowth);
  return single_mesh_file("x3ds_Flame", std::move(m));
}

}  // namespace quarvel::assets
