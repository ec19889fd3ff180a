#include "parts.h"

#include <algorithm>
#include <cmath>

#include "textures.h"

namespace quarvel::assets {

Material colour(float r, float g, float b, const std::string& texture, float glow, float alpha) {
  // The show lights everything with a full white ambient light plus eight
  // white point lights: plain colours are kept dark so that lit faces do not
  // all end up white. Textures keep their own brightness.
  const float k = texture.empty() ? 0.45f : 1.0f;
  Material m;
  m.r = r * k;
  m.g = g * k;
  m.b = b * k;
  m.a = alpha;
  m.power = 12.0f;
  m.sr = m.sg = m.sb = 0.25f;
  m.er = r * glow;
  m.eg = g * glow;
  m.eb = b * glow;
  m.texture = texture;
  return m;
}

float light_sum(Vec3 n) {
  // The point lights stand 10000 units out (light 0 moved to (-286, 5, -1851)
  // before the later scenes), far enough to count as directions.
  static const Vec3 kLights[] = {{-286, 5, -1851},        {-10000, 10000, 0},     {0, 10000, -10000},
                                 {-10000, 10000, -10000}, {10000, -10000, 0},     {10000, -10000, -10000},
                                 {10000, -10000, 10000},  {0, -10000, -10000}};
  float sum = 1.0f;
  for (Vec3 l : kLights) sum += std::max(0.0f, dot(normalize(n), normalize(l)));
  return sum;
}

Material lit_colour(float r, float g, float b) {
  // 145 / 255 over the largest light sum any normal gets (about 4.7).
  static const float kWhite = [] {
    float most = 0;
    for (int i = 0; i <= 90; ++i)
      for (int j = 0; j < 180; ++j) {
        float b = kPi * (static_cast<float>(i) / 90 - 0.5f), a = 2 * kPi * j / 180;
        most = std::max(most, light_sum({std::cos(b) * std::cos(a), std::sin(b), std::cos(b) * std::sin(a)}));
      }
    return 0.567f / most;
  }();
  Material m = colour(r, g, b);
  m.r = r * kWhite;
  m.g = g * kWhite;
  m.b = b * kWhite;
  return m;
}

void horizon_ridge(MeshData& m, Vec3 centre, float radius, float from, float to, float base, float low,
                   float high, uint32_t seed) {
  const int steps = std::max(2, static_cast<int>((to - from) * radius / 400.0f));
  int prev_bottom = -1, prev_top = -1;
  for (int i = 0; i <= steps; ++i) {
    float a = from + (to - from) * i / steps;
    Vec3 out{std::cos(a), 0, std::sin(a)};
    // A ragged crest that falls to the foot at both ends of the arc, so the
    // band reads as a range of hills rather than a wall with cut ends.
    float rise = std::min(1.0f, std::min(i, steps - i) / (0.18f * steps));
    float rag = 0.5f + 0.5f * value_noise(i * 0.7f, 0.0f, seed) + 0.25f * value_noise(i * 2.3f, 5.0f, seed);
    float crest = base + (low + (high - low) * std::clamp(rag, 0.0f, 1.0f) - base) * smoothstep01(rise);
    // The crest leans back a little, so the faces catch some light.
    Vec3 bottom = centre + out * radius + Vec3{0, base, 0};
    Vec3 top = centre + out * (radius + 0.3f * (crest - base)) + Vec3{0, crest, 0};
    Vec3 inward = normalize(out * -1.0f + Vec3{0, 0.3f, 0});
    int vb = m.add_vertex(bottom, inward, static_cast<float>(i) / steps, 1);
    int vt = m.add_vertex(top, inward, static_cast<float>(i) / steps, 0);
    if (prev_bottom >= 0) m.add_quad(prev_bottom, vb, vt, prev_top);
    prev_bottom = vb;
    prev_top = vt;
  }
}

float smoothstep01(float x) {
  x = std::clamp(x, 0.0f, 1.0f);
  return x * x * (3 - 2 * x);
}

std::vector<float> key_times(float t0, float t1, float step) {
  std::vector<float> t;
  const int n = static_cast<int>(std::ceil((t1 - t0) / step - 1e-4f));
  for (int i = 0; i < n; ++i) t.push_back(t0 + step * i);
  t.push_back(t1);
  return t;
}

XAnimation sampled_animation(const std::string& frame, float t0, float t1, float step,
                             const std::function<Mat4(float)>& pose, bool with_scale) {
  XAnimation a;
  a.frame = frame;
  std::vector<float> ts = key_times(t0, t1, step);
  std::vector<Mat4> poses;
  poses.reserve(ts.size());
  for (float t : ts) poses.push_back(pose(t));
  keys_from_poses(a, ts, poses, with_scale);
  return a;
}

Mat4 pose_along(const std::function<Vec3(float)>& path, float t, float bank) {
  const float h = 5.0f;
  Vec3 p = path(t);
  Vec3 d = path(t + h) - path(t - h);
  Vec3 acc = (path(t + h) - p * 2.0f + path(t - h)) * (1.0f / (h * h));
  Vec3 dir = normalize(d);
  Vec3 right = normalize(cross(Vec3{0, 1, 0}, dir));
  float lateral = dot(acc, right);
  Vec3 up = normalize(Vec3{0, 1, 0} + right * (-lateral * bank));
  return look_frame(p, dir, up);
}

namespace {

// Local y of a lathe becomes +z (the nose direction).
Mat4 along_z(Vec3 offset, float s = 1.0f) {
  return rotation_x(kPi / 2) * scaling({s, s, s}) * translation(offset);
}

// Local y of a lathe becomes +x (an axle).
Mat4 along_x(Vec3 offset) { return rotation_z(-kPi / 2) * translation(offset); }

}  // namespace

void fighter_mesh(MeshData& m, float length) {
  const float k = length / 120.0f;
  LocalTransform scaled(m, scaling({k, k, k}));
  const int hull = m.add_material(colour(0.55f, 0.58f, 0.62f));
  const int dark = m.add_material(colour(0.18f, 0.2f, 0.26f));
  const int glass = m.add_material(colour(0.2f, 0.45f, 0.7f, "", 0.3f));
  const int glow = m.add_material(colour(1.0f, 0.55f, 0.2f, "", 0.9f));
  m.mat = hull;
  {
    LocalTransform s(m, along_z({0, 0, 0}));
    m.lathe({{0, -60}, {8, -57}, {13, -36}, {13, -5}, {10, 25}, {5, 48}, {0, 62}}, 12);
  }
  m.box({0, -2, -15}, {110, 3, 36});
  m.mat = dark;
  m.box({-55, 0, -18}, {4, 10, 22});
  m.box({55, 0, -18}, {4, 10, 22});
  m.box({0, 13, -46}, {3, 24, 20});
  for (int side = -1; side <= 1; side += 2) {
    LocalTransform s(m, along_z({16.0f * side, -4, 0}));
    m.mat = dark;
    m.lathe({{6, -62}, {7, -50}, {7, -30}, {4, -24}}, 10);
    m.mat = glow;
    m.lathe({{0, -64}, {5, -62}}, 10, false);
  }
  m.mat = glass;
  m.ellipsoid({0, 9, 18}, {6, 5, 15}, 10, 6);
}

void gunship_mesh(MeshData& m, float length) {
  const float k = length / 200.0f;
  LocalTransform scaled(m, scaling({k, k, k}));
  const int hull = m.add_material(colour(0.5f, 0.45f, 0.4f));
  const int dark = m.add_material(colour(0.22f, 0.2f, 0.2f));
  const int red = m.add_material(colour(0.6f, 0.15f, 0.1f));
  const int glow = m.add_material(colour(0.4f, 0.7f, 1.0f, "", 0.9f));
  m.mat = hull;
  {
    LocalTransform s(m, along_z({0, 0, 0}));
    m.lathe({{0, -100}, {20, -96}, {28, -60}, {30, 0}, {25, 50}, {12, 86}, {0, 100}}, 14);
  }
  m.mat = dark;
  m.box({0, 28, -30}, {26, 18, 44});
  m.box({-26, 0, -20}, {26, 6, 34});
  m.box({26, 0, -20}, {26, 6, 34});
  for (int side = -1; side <= 1; side += 2) {
    m.mat = red;
    LocalTransform s(m, along_z({50.0f * side, 0, 0}));
    m.lathe({{0, -85}, {12, -80}, {13, 20}, {7, 40}, {0, 46}}, 10);
    m.mat = glow;
    m.lathe({{0, -88}, {9, -85}}, 10, false);
  }
  m.mat = dark;
  m.box({0, 0, -105}, {40, 30, 10});
}

void transport_mesh(MeshData& m, float length) {
  const float k = length / 500.0f;
  LocalTransform scaled(m, scaling({k, k, k}));
  m.mat = m.add_material(colour(0.6f, 0.62f, 0.6f));
  // The show draws the transports only as wireframes: their panels are kept
  // as quads, so that no diagonal crosses them.
  m.write_quads = true;
  // Hull in sections so the wireframe shows its ribs.
  for (int i = 0; i < 6; ++i) m.box({0, 0, -170.0f + i * 60.0f}, {90, 70, 58});
  {
    LocalTransform s(m, along_z({0, 0, 0}));
    m.lathe({{46, 160}, {40, 200}, {24, 235}, {0, 252}}, 12, true);
  }
  m.box({0, 0, -225}, {112, 82, 50});
  for (int e = 0; e < 4; ++e) {
    LocalTransform s(m, along_z({e % 2 ? 32.0f : -32.0f, e / 2 ? 24.0f : -24.0f, 0}));
    m.lathe({{18, -290}, {20, -270}, {20, -250}}, 10, true);
  }
  m.box({0, 62, -120}, {40, 54, 64});
  m.box({0, 95, -130}, {60, 10, 30});
  {
    LocalTransform s(m, translation({0, 100, -100}));
    m.cylinder(2, 0, 60, 6);
  }
  {
    LocalTransform s(m, rotation_x(kPi / 2) * translation({0, 0, 40}));
    m.torus(62, 5, 24, 6);
  }
}

void turret_mesh(MeshData& m, float size) {
  LocalTransform scaled(m, scaling({size / 20, size / 20, size / 20}));
  m.mat = m.add_material(colour(0.3f, 0.3f, 0.32f));
  m.cylinder(10, -4, 4, 12);
  m.box({-3, 2, 14}, {2, 2, 22});
  m.box({3, 2, 14}, {2, 2, 22});
}

// The convoy's colours are less than half as bright as the other vehicles'. In the
// opening world every white point light of the show shines from the west (all
// of them lie 20000 to 40000 units that way), so a west face gets about 7.2
// times its colour: these colours keep it below white, so that light 0,
// moved to the same side and blinking red and green from 3300 to 3900, shows
// on the trucks' flanks instead of being clipped away.
void truck_body_mesh(MeshData& m, bool with_wheels, bool with_cargo) {
  // A neutral grey body: the blinking light of the opening swings between
  // red-magenta and green, and on grey that reads as a change of tint
  // where on a coloured body it would only change the shade a little.
  // Measured on the convoy's west flanks in the blink's shot: the white
  // ambient and white point lights give about 3.2 times the material's
  // colour and the blinking light adds 0.44 times its own red (which runs
  // from 0.25 to 1.25). A red of 1 / (3.2 + 0.44 x 1.25), about 0.26, is
  // the brightest that never clamps, so the blink swings the flanks' red by
  // all the 29 levels the lights allow; a lighter grey would clamp at white
  // on the blink's red ticks.
  const int body = m.add_material(colour(0.26f, 0.245f, 0.245f));
  const int cab = m.add_material(colour(0.14f, 0.17f, 0.12f));
  const int glass = m.add_material(colour(0.08f, 0.12f, 0.17f));
  m.mat = body;
  m.box({0, 5.5f, 0}, {9, 1.5f, 30});
  m.mat = cab;
  m.box({0, 10.5f, 11}, {10, 8.5f, 8});
  m.mat = glass;
  m.box({0, 12.5f, 15.05f}, {8.5f, 3.5f, 0.2f});
  if (with_cargo) {
    m.mat = body;
    m.box({0, 12, -4}, {10, 11, 20});
  }
  if (with_wheels) {
    for (float z : {10.0f, -10.0f}) {
      LocalTransform s(m, translation({0, 4, z}));
      axle_mesh(m);
    }
  }
}

void cargo_box_mesh(MeshData& m) {
  m.mat = m.add_material(colour(0.23f, 0.11f, 0.07f));
  m.box({0, 12.5f, -6}, {10.5f, 11, 17});
  m.mat = m.add_material(colour(0.13f, 0.13f, 0.13f));
  m.box({0, 18.3f, -6}, {10.7f, 0.6f, 17.2f});
}

void axle_mesh(MeshData& m) {
  const int steel = m.add_material(colour(0.23f, 0.23f, 0.24f));
  const int tyre = m.add_material(colour(0.05f, 0.05f, 0.05f));
  m.mat = steel;
  {
    LocalTransform s(m, along_x({0, 0, 0}));
    m.cylinder(0.6f, -6, 6, 8, true);
  }
  for (int side = -1; side <= 1; side += 2) {
    {
      LocalTransform s(m, along_x({5.5f * side, 0, 0}));
      m.mat = tyre;
      m.lathe({{3.0f, -1.3f}, {4.0f, -1.1f}, {4.0f, 1.1f}, {3.0f, 1.3f}}, 14, false);
      m.mat = steel;
      m.cylinder(3.0f, -1.0f, 1.0f, 14, true);
    }
    // A bar across the hub shows the wheel turning.
    m.box({5.5f * side + 1.3f * side, 0, 0}, {0.4f, 5.6f, 1.0f});
  }
}

void tree_mesh(MeshData& m, float h, const std::string& texture) {
  // A slender fir: the scenes stretch it by 5..10 across and 3..13 up, so
  // its own crown is narrow (radius about a sixth of the height). The
  // material is dark on purpose: under the show's white ambient light plus
  // point lights a brighter one would saturate on every side and the crowns
  // would lose their shading (and with it their shape against the fog).
  m.mat = m.add_material(colour(0.21f, 0.21f, 0.21f, texture));
  auto remap = [&](int from, float v0, float v1) {
    for (size_t i = static_cast<size_t>(from); i < m.vertices.size(); ++i)
      m.vertices[i].v = v0 + (v1 - v0) * m.vertices[i].v;
  };
  // Few and large faces, and none that never shows: a forest scene draws a
  // few hundred of these firs, on machines that fill every triangle in
  // software, where each triangle costs its set-up and every 4 x 4 block of
  // pixels it touches, hidden or not.
  //
  // The trunk shows only below the lowest crown tier: it stops just inside
  // it, open at both ends (its foot is in the ground, its top in the crown).
  // The bark keeps the texture scale of a trunk running up to 0.85 h.
  const float trunk_top = 0.22f * h, bark_v0 = kTreeBarkV + 0.02f, bark_v1 = 0.98f;
  int from = static_cast<int>(m.vertices.size());
  m.lathe({{0.032f * h, 0}, {(0.032f - 0.02f * trunk_top / (0.85f * h)) * h, trunk_top}}, 6, false, false, 1.0f);
  remap(from, bark_v1 - (bark_v1 - bark_v0) * trunk_top / (0.85f * h), bark_v1);
  // Three tiers, each an underside from inside the trunk out to its rim and
  // a cone up towards its tip. A lower tier's cone stops where the next
  // tier's rim is, inside that tier (its open top never shows); only the top
  // tier runs up to its tip.
  const int layers = 3;
  const float skirt = 0.04f * h;
  for (int i = 0; i < layers; ++i) {
    const float y0 = (0.16f + 0.24f * i) * h;
    const float y1 = i == layers - 1 ? h : y0 + 0.4f * h;
    const float r = 0.17f * h * (1.0f - 0.22f * i);
    const float top = i == layers - 1 ? y1 : y0 + 0.24f * h + skirt;  // the next tier's rim
    const float r_top = r * (y1 - top) / (y1 - y0 - skirt);
    from = static_cast<int>(m.vertices.size());
    m.lathe({{0.02f * h, y0}, {r, y0 + skirt}, {r_top, top}}, 7, false, false, 2.0f);
    // Branch tips: the rim goes in and out around the trunk (the inner
    // ring, inside the trunk, stays put).
    const float turn = 0.7f * i;
    const Vec3 axis = transform_point(m.xf, {0, 0, 0});  // the trunk, where the mesh puts it
    const Vec3 rim = transform_point(m.xf, {r, 0, 0}) - axis;
    const float rim_r = std::sqrt(rim.x * rim.x + rim.z * rim.z);
    m.displace(from, [turn, axis, rim_r](Vec3 p) {
      Vec3 d = p - axis;
      float a = std::atan2(d.z, d.x) + turn;
      float k = 1.0f + 0.22f * std::cos(5.0f * a) * std::min(1.0f, std::sqrt(d.x * d.x + d.z * d.z) / rim_r);
      return Vec3{axis.x + d.x * k, p.y, axis.z + d.z * k};
    });
    m.recompute_normals(from);
    // The texture as on a tier running up to its tip.
    const float full = std::hypot(r, y1 - y0 - skirt), kept = std::hypot(r - r_top, top - y0 - skirt);
    const float rim_arc = std::hypot(r - 0.02f * h, skirt);
    remap(from, 0.02f + (kTreeBarkV - 0.04f) * (1.0f - (rim_arc + kept) / (rim_arc + full)), kTreeBarkV - 0.02f);
  }
}

}  // namespace quarvel::assets
