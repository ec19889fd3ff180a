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

// The fires are drawn blended and fill much of the picture when they grow, so
// every layer of them costs its whole area again: a few large puffs and two
// tongues a flame rather than many overlapping ones.
XFile fireball() {
  MeshData m;
  m.mat = m.add_material(colour(1.0f, 0.85f, 0.6f, "fire.BMP", 0.6f));
  Rng rng(12);
  const Vec3 puffs[] = {{0, 0, 0}, {3, 1, 0}, {-3, 1.5f, 1}, {0.5f, 3.2f, -1}, {-1, -2.8f, 1.5f}};
  int k = 0;
  for (Vec3 c : puffs) {
    float r = k == 0 ? 5.0f : rng.range(2.6f, 3.6f);
    int from = static_cast<int>(m.vertices.size());
    m.ellipsoid(c, {r, r, r}, 10, 7);
    uint32_t seed = 100u + static_cast<uint32_t>(k);
    m.displace(from, [c, seed](Vec3 p) {
      Vec3 d = p - c;
      float n = value_noise(d.x * 0.9f + d.z * 0.4f, d.y * 0.9f - d.z * 0.3f, seed);
      return c + d * (1.0f + 0.22f * n);
    });
    m.recompute_normals(from);
    ++k;
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
