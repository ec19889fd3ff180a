// The forest edge: the meadow, its scenery and its camera.
#include <algorithm>
#include <cmath>

#include "model_kit.h"
#include "textures.h"

namespace quarvel::assets {

namespace {

// ---------------------------------------------------------------------------
// Forest edge: a meadow south of the forest, a cabin, a windmill, fences,
// rocks and a few birds. The forest is the scene's own two rows of groves:
// firs of this file's own behind them would be drawn in full every frame
// (4,450 triangles, a twentieth of the edge's 3D render on a software
// rasteriser) for the few hundred fogged pixels that show between the
// groves, so there are none.

constexpr float kEdgeEnd = 1370.0f;

// The camera, shot by shot (scene clock, 58.8 units a second; the path's
// own time is the clock). It always looks into the forest's edge, so the two
// rows of groves (z -1000 .. -501 and z = -2000) and the fence (z = -380) are
// in every shot; the cabin is in view until the camera passes it (1000). The windmill (x = -350) never
// comes into the picture: the camera stays at x >= 450 looking towards -z.
// Heights are on the 480-line picture:
//
//   clock       what the picture shows
//   0-450       190 up over the meadow, facing the groves, drifting down and right to (950, 110, 250): the
//               wall of groves over the top two thirds, the fence across, the cabin coming in from the left
//               edge to left of the middle and growing (40-75 lines); now and then a crow crosses the top
//   450-617     the sweep right begins: the cabin left of the middle, its front turning towards the camera
//   617-800     the sweep right to (1900, 90, 200): the camera passes in front of the cabin, which crosses
//               to right of the middle (60-125 lines), the fence leading to it
//   800-1000    turning in towards (300, 80, -1200): the cabin right of the middle, growing (70-190 lines)
//   1000-1176   close past the cabin: it grows out through the right edge (cut, 3 s) while the fence rails
//               come close in front
//   1176-1370   over the fence and in under the nearest row (45-60 up): trunks and the undersides of the
//               branches fill the picture; the cabin is behind. Scene ends at 1370 at (450, 45, -420).

}  // namespace

XFile edge_camera() {
  struct Way {
    float t;
    Vec3 pos, look;
  };
  // The forest flight's fog (from 0 to 2500 units) stays on here, so the
  // camera opens close to the cabin with the forest's edge behind it.
  const std::vector<Way> ways = {{0, {850, 190, 500}, {1150, 50, -900}},
                                 {450, {950, 110, 250}, {1500, 50, -900}},
                                 {800, {1900, 90, 200}, {800, 70, -900}},
                                 {1100, {1500, 60, -250}, {300, 80, -1200}},
                                 {kEdgeEnd, {450, 45, -420}, {400, 70, -2000}}};
  auto pose = [ways](float t) {
    size_t i = 0;
    while (i + 2 < ways.size() && t >= ways[i + 1].t) ++i;
    float s = smoothstep01((t - ways[i].t) / (ways[i + 1].t - ways[i].t));
    Vec3 p = lerp(ways[i].pos, ways[i + 1].pos, s), l = lerp(ways[i].look, ways[i + 1].look, s);
    return look_frame(p, l - p);
  };
  return camera_file("x3ds_Camera02", kEdgeEnd, 10.0f, pose);
}

namespace {

void cabin_mesh(MeshData& m) {
  const int wood = m.add_material(colour(0.5f, 0.33f, 0.18f));
  const int roof = m.add_material(colour(0.45f, 0.15f, 0.1f));
  const int dark = m.add_material(colour(0.12f, 0.1f, 0.08f));
  m.mat = wood;
  for (int i = 0; i < 6; ++i) m.box({0, 4.0f + i * 7.0f, 0}, {80, 6.6f, 60});
  m.mat = roof;
  for (int side = -1; side <= 1; side += 2) {
    LocalTransform placed(m, rotation_z(-0.55f * side) * translation({21.0f * side, 56, 0}));
    m.box({0, 0, 0}, {52, 3, 70});
  }
  m.mat = dark;
  m.box({0, 16, -30.5f}, {14, 30, 1});
  m.box({-25, 26, -30.5f}, {12, 10, 1});
  m.box({25, 26, -30.5f}, {12, 10, 1});
  m.mat = wood;
  m.box({28, 62, 10}, {8, 24, 8});
}

}  // namespace

XFile edge_scenery() {
  XFile f;
  XAnimationSet set;
  set.name = "x3ds_animset_1";
  {
    XFrame g = top("x3ds_Ground", Mat4{});
    MeshData m;
    m.mat = m.add_material(colour(0.45f, 0.62f, 0.32f, "greenmos.bmp"));
    m.grid(-3000, 5000, -4600, 3400, 40, 40, [](float x, float z) {
      float meadow = 4.0f * value_noise(x / 250.0f, z / 250.0f, 12);
      float far = smoothstep01((-z - 2600.0f) / 1500.0f) * 250.0f * (0.6f + 0.4f * value_noise(x / 900.0f, 0, 3));
      return meadow + far;
    }, 300.0f);
    g.mesh = std::move(m);
    f.frames.push_back(g);
  }
  {
    XFrame cabin = top("x3ds_Cabin", rotation_y(0.3f) * translation({1300, 0, -250}));
    cabin.mesh = mesh_of(cabin_mesh);
    f.frames.push_back(cabin);
  }
  {
    XFrame mill = top("x3ds_Windmill", translation({-350, 0, 250}));
    mill.mesh = mesh_of([](MeshData& m) {
      m.mat = m.add_material(colour(0.75f, 0.72f, 0.65f));
      m.lathe({{34, 0}, {28, 80}, {20, 150}, {0, 185}}, 8);
      m.mat = m.add_material(colour(0.3f, 0.2f, 0.15f));
      m.box({0, 25, 30}, {14, 30, 2});
    });
    const Vec3 hub{0, 150, 24};
    XFrame& blades = add_child(mill, "x3ds_Blades", translation(hub));
    blades.mesh = mesh_of([](MeshData& m) {
      m.mat = m.add_material(colour(0.55f, 0.45f, 0.35f));
      m.cylinder(5, -4, 4, 8);
      for (int b = 0; b < 4; ++b) {
        LocalTransform placed(m, rotation_z(b * kPi / 2));
        m.box({0, 55, 0}, {16, 100, 2});
        m.box({0, 30, 0}, {3, 60, 4});
      }
    });
    set.animations.push_back(sampled_animation("x3ds_Blades", 0, kEdgeEnd, 15.0f, [hub](float t) {
      return rotation_z(-2 * kPi * t / 150.0f) * translation(hub);
    }));
    f.frames.push_back(mill);
  }
  {
    XFrame fence = top("x3ds_Fence", Mat4{});
    MeshData m;
    m.mat = m.add_material(colour(0.45f, 0.32f, 0.2f));
    for (int i = 0; i <= 40; ++i) {
      float x = -200.0f + i * 50.0f;
      m.box({x, 12, -380}, {4, 24, 4});
      if (i < 40) {
        m.box({x + 25, 18, -380}, {50, 2, 2});
        m.box({x + 25, 9, -380}, {50, 2, 2});
      }
    }
    fence.mesh = std::move(m);
    f.frames.push_back(fence);
  }
  {
    XFrame rocks = top("x3ds_Rocks", Mat4{});
    MeshData m;
    m.mat = m.add_material(colour(0.48f, 0.47f, 0.45f));
    Rng rng(5);
    for (int i = 0; i < 14; ++i) {
      Vec3 c{rng.range(-800, 2400), 0, rng.range(-300, 1800)};
      float r = rng.range(8, 30);
      int from = static_cast<int>(m.vertices.size());
      m.ellipsoid(c, {r * 1.3f, r * 0.7f, r}, 8, 5);
      uint32_t seed = 40u + static_cast<uint32_t>(i);
      m.displace(from, [c, seed](Vec3 p) {
        Vec3 d = p - c;
        return c + d * (1.0f + 0.25f * value_noise(d.x * 0.2f, d.z * 0.2f + d.y * 0.1f, seed));
      });
      m.recompute_normals(from);
    }
    rocks.mesh = std::move(m);
    f.frames.push_back(rocks);
  }
  // Birds circling over the meadow.
  for (int i = 0; i < 3; ++i) {
    std::string name = "x3ds_Crow0" + std::to_string(i + 1);
    float ph = i * 2.1f, rad = 180.0f + 60.0f * i;
    auto pose = [ph, rad](float t) {
      float a = t / 90.0f + ph;
      Vec3 p{900 + rad * std::cos(a), 220.0f + 30.0f * std::sin(t / 40.0f + ph), 300 + rad * std::sin(a)};
      return look_frame(p, {-std::sin(a), 0, std::cos(a)});
    };
    XFrame bird = top(name, pose(0));
    bird.mesh = mesh_of([](MeshData& m) {
      m.mat = m.add_material(colour(0.12f, 0.12f, 0.14f));
      m.ellipsoid({0, 0, 0}, {2.5f, 2.2f, 7}, 6, 4);
      m.box({0, 0.5f, -1}, {34, 0.6f, 6});
    });
    set.animations.push_back(sampled_animation(name, 0, kEdgeEnd, 20.0f, pose));
    f.frames.push_back(bird);
  }
  f.sets.push_back(set);
  return f;
}

}  // namespace quarvel::assets
