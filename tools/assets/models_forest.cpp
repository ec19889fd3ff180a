// The forest flight: the grove of firs, the ground, the birds and the sky.
#include <algorithm>
#include <cmath>

#include "model_kit.h"
#include "textures.h"

namespace quarvel::assets {

XFile tree() {
  // A grove of firs, the tallest seventy-five units high. The forest flight
  // has only 21 of these, in two lanes beside the camera's path, scaled 3..11
  // times up (standing at y = -100) and 5..10 times across: as groves they
  // are 225 to 825 units high and 400 to 800 units wide, so the camera,
  // mostly 50 to 1000 units up, flies among and over a forest rather than
  // over a lawn with a few trees. The other firs stand beside and behind the
  // first one (x symmetric, z <= 0), never in front of it: the forest edge
  // scene's camera ends just in front of its nearest row.
  return single_mesh_file("x3ds_Tree", mesh_of([](MeshData& m) {
    const struct {
      float x, z, h;
    } firs[] = {{0, 0, kTreeHeight},         {-17, -9, 0.8f * kTreeHeight},  {16, -13, 0.88f * kTreeHeight},
                {-6, -27, 0.7f * kTreeHeight}, {17, -0.5f, 0.6f * kTreeHeight}, {-17, 0, 0.52f * kTreeHeight},
                {-32, -22, 0.74f * kTreeHeight}, {32, -30, 0.66f * kTreeHeight}, {10, -40, 0.82f * kTreeHeight}};
    for (const auto& f : firs) {
      LocalTransform placed(m, translation({f.x, 0, f.z}));
      tree_mesh(m, f.h, "arbre1.bmp");
    }
  }));
}

XFile forest_ground() {
  MeshData m;
  m.mat = m.add_material(colour(0.45f, 0.6f, 0.35f, "greenmos.bmp"));
  m.grid(-4000, 4000, -4000, 4000, 40, 40,
         [](float x, float z) { return 2.0f * value_noise(x / 300.0f, z / 300.0f, 4); }, 250.0f);
  return single_mesh_file("x3ds_Ground", std::move(m));
}

// ---------------------------------------------------------------------------
// Forest flight, shot by shot. The camera's path is not made here: it is the
// show's own closed spline through twelve position keys (0 .. 2000), and the
// camera always looks at the aim point (0, 150, -200), where these birds
// hover; so the birds are the subject and always sit in the middle of the
// picture, the two lanes of groves (|x| >= 500) streaming past at the sides
// and the status panel covering the bottom fifth. The fog ends at 2500, so
// beyond about 1500 away the birds fade into it. Shots by scene clock (58.8
// units a second), with the camera's distance from the aim point and a
// bird's wingspan on the 640-column picture:
//
//   clock       distance        bird     what the picture shows
//   0-60        2850-1500       -        straight down from high over the aim point; the birds are lost in
//                                        the fog, and the opening's screen bars cover the middle (1 s)
//   60-120      1500-820        38-88    falling and swinging low: down onto the birds over ground and groves
//   120-200     820-630         88-112   low, level with them: the birds ahead against the far groves, a
//                                        grove of the right lane close at the side
//   200-360     630-1300        112-55   up and back over the right lane: looking down on the birds over the
//                                        ground, shrinking
//   360-600     1300-1830-1300  55-38    round and down to near the ground at (-1400, 2, 1000): the flock a
//                                        dark V low over the far ground, fogged and now and then behind
//                                        groves of the lanes (lost in the fog for about 1 s near 450-510)
//   600-830     1200-1820-1450  58-40    high over the left lane, up to (0, 1500, -1500): the flock among the
//                                        grove tops below
//   830-1000    1450-520        50-138   diving at them between the lanes; a grove of the right lane sweeps
//                                        across the whole picture at about 950-990 (under a second)
//   1000-1100   520-380         138-188  the close pass: low, looking up at the birds against the fog, then
//                                        over them looking down; the flock fills the middle third
//   1100-1240   380-1420        188-50   out to the left lane at (-1520, 180, -100): the birds behind its
//                                        trunks and branches, glimpsed between them (2 s)
//   1240-1300   1420-300-900    50-238-75 a swoop back in across the aim point (closest about 1276), out right
//   1300-1700   900-1200        78-60    a slow arc round behind them 400-800 up: the flock's dark wings in
//                                        the fog, the lanes streaming past
//   1700-2000   1200-790-1100   60-90    over the top: straight down on the birds over the scrolling ground
//                                        (about 1860), a lane's groves at the edge; the scene ends at 2000
//
// Five birds hovering around the forest flight's aim point (0, 150, -200),
// flapping twice per loop of 25 time units (keys 0 .. 25, the last equal to
// the first).
constexpr float kBirdScale = 2.5f;

XFile birds() {
  XFile f;
  XAnimationSet set;
  set.name = "x3ds_animset_0";
  const Vec3 aim{0, 150, -200};
  // Big birds in a wide V: at the far points of the camera's path (1300 to
  // 1800 away) each still spans 40 to 55 columns, a flock rather than a speck.
  const float k = kBirdScale;
  const Vec3 places[] = {{0, 10 * k, 0}, {-30 * k, 4 * k, -25 * k}, {30 * k, 4 * k, -25 * k},
                         {-60 * k, -2 * k, -50 * k}, {60 * k, -2 * k, -50 * k}};
  const float loop = 25.0f;
  for (int i = 0; i < 5; ++i) {
    std::string name = "x3ds_Bird0" + std::to_string(i + 1);
    Vec3 base = aim + places[i];
    float ph = 0.9f * i;
    auto body_pose = [base, ph, loop, k](float t) {
      float a = 2 * kPi * t / loop;
      Vec3 p = base + Vec3{6.0f * std::cos(a + ph), 3.0f * std::sin(2 * a + ph), 6.0f * std::sin(a + ph)} * k;
      return rotation_y(0.3f * std::sin(a + ph)) * translation(p);
    };
    XFrame body = top(name, body_pose(0));
    body.mesh = mesh_of([k](MeshData& m) {
      m.mat = m.add_material(colour(0.12f, 0.1f, 0.09f));
      m.ellipsoid({0, 0, 0}, Vec3{2.2f, 2.0f, 6.0f} * k, 8, 5);
      m.ellipsoid(Vec3{0, 1.2f, 5.5f} * k, Vec3{1.5f, 1.5f, 1.8f} * k, 6, 4);
      m.mat = m.add_material(colour(0.9f, 0.6f, 0.1f));
      LocalTransform beak(m, rotation_x(kPi / 2) * translation(Vec3{0, 1.2f, 7.0f} * k));  // pointing forwards
      m.cone(0.6f * k, 0, 2.0f * k, 5);
    });
    set.animations.push_back(sampled_animation(name, 0, loop, 1.0f, body_pose));
    for (int side = -1; side <= 1; side += 2) {
      std::string wname = name + (side < 0 ? "_WL" : "_WR");
      auto wing_pose = [side, ph, loop, k](float t) {
        float a = 2 * kPi * 2 * t / loop + ph;
        return rotation_z(side * 0.7f * std::sin(a)) * translation(Vec3{side * 1.8f, 0.6f, 0.5f} * k);
      };
      XFrame& w = add_child(body, wname, wing_pose(0));
      w.mesh = mesh_of([side, k](MeshData& m) {
        m.mat = m.add_material(colour(0.16f, 0.14f, 0.13f));
        m.box(Vec3{side * 8.0f, 0, 0} * k, Vec3{16, 0.5f, 6} * k);
        m.box(Vec3{side * 17.0f, 0, -1.0f} * k, Vec3{3, 0.4f, 4} * k);
      });
      set.animations.push_back(sampled_animation(wname, 0, loop, 1.0f, wing_pose));
    }
    f.frames.push_back(body);
  }
  f.sets.push_back(set);
  return f;
}

XFile sky_dome() {
  MeshData m;
  const int segs = 24, rings = 12;
  std::vector<int> band;
  const float cols[][3] = {{0.32f, 0.36f, 0.3f},  {0.45f, 0.5f, 0.42f}, {0.7f, 0.78f, 0.8f},
                           {0.78f, 0.85f, 0.92f}, {0.62f, 0.74f, 0.9f}, {0.45f, 0.6f, 0.88f},
                           {0.32f, 0.48f, 0.84f}, {0.22f, 0.36f, 0.76f}};
  for (const auto& c : cols) band.push_back(m.add_material(colour(c[0], c[1], c[2])));
  for (int i = 0; i < rings; ++i) {
    float b0 = -kPi / 2 + kPi * i / rings, b1 = -kPi / 2 + kPi * (i + 1) / rings;
    int bi = std::clamp(static_cast<int>((0.5f * (b0 + b1) / (kPi / 2) + 1.0f) * 0.5f * 8.0f), 0, 7);
    if (i < rings / 2 - 1) bi = std::min(bi, 1);
    m.mat = band[static_cast<size_t>(bi)];
    int from = static_cast<int>(m.vertices.size());
    m.lathe({{10.0f * std::cos(b0), 10.0f * std::sin(b0)}, {10.0f * std::cos(b1), 10.0f * std::sin(b1)}},
            segs, false, true);
    for (size_t v = static_cast<size_t>(from); v < m.vertices.size(); ++v)
      m.vertices[v].normal = normalize(m.vertices[v].pos) * -1.0f;
  }
  // The lathe oriented the faces by its own normals; re-orient them inwards.
  for (size_t fi = 0; fi < m.faces.size(); ++fi) {
    auto& t = m.faces[fi];
    Vec3 n = cross(m.vertices[t[1]].pos - m.vertices[t[0]].pos, m.vertices[t[2]].pos - m.vertices[t[0]].pos);
    if (dot(n, m.vertices[t[0]].pos) > 0) std::swap(t[1], t[2]);
  }
  return single_mesh_file("x3ds_Sky", std::move(m));
}

}  // namespace quarvel::assets
