// The model scene: the engine and the camera circling it.
#include <algorithm>
#include <cmath>

#include "model_kit.h"
#include "textures.h"

namespace quarvel::assets {

namespace {

// ---------------------------------------------------------------------------
// Model scene: an engine with pistons, crankshaft, flywheel, gears, a
// governor and a fan, standing at z = 450; the camera circles it and ends
// near the origin. It always looks at the engine's middle (0, 90, 450) with
// the field at 1, so the engine (380 units long) fills half to two thirds of
// the picture's width. Shots by scene clock (the animations run at half of it):
//
//   clock        camera                                 what the picture shows
//   0-500        in front, 510-480 away, 260-300 up     the whole engine from above its front
//   500-900      round the flywheel end to the back,    flywheel, fan and pistons, the governor
//                460-410 away, 240-150 up               against the sky
//   900-1400     round the gear end, 410-380 away,      gears, governor and pistons from just
//                130-165 up                             above the bed
//   1400-1950    to the front, 380-330 away, 150-200 up crank, rods and pistons large
//   1950-2500    in front, backing out to (0, 60, 0),   the whole engine head-on from its bed's
//                330-450 away                           height, the horizon's hills behind
//
// The engine's plain colours go through lit_colour: under the show's white
// ambient light and eight white point lights (four of them reaching any one
// face) and the contrast window 24..145, any colour above about an eighth
// turns flat white on the faces that get the most light.

constexpr float kModelEnd = 1250.0f;
const Vec3 kEngineAt{0, 0, 450};
constexpr float kRev = 25.0f;  // time units per crank turn

float crank(float t) { return 2 * kPi * t / kRev; }

}  // namespace

XFile model_camera() {
  const Vec3 centre = kEngineAt + Vec3{0, 90, 0};
  auto pose = [centre](float t) {
    Vec3 p;
    Vec3 look = centre;
    if (t <= 1000.0f) {
      float s = t / 1000.0f;
      float a = 2 * kPi * smoothstep01(s) + kPi * 0.15f * std::sin(kPi * s);
      float r = 480.0f - 160.0f * s;
      float h = 260.0f - 140.0f * s + 60.0f * std::sin(3 * kPi * s);
      p = centre + Vec3{r * std::sin(a), h - 90.0f, -r * std::cos(a)};
    } else {
      float s = smoothstep01((t - 1000.0f) / (kModelEnd - 1000.0f));
      Vec3 from = centre + Vec3{0, 30, -320};
      p = lerp(from, {0, 60, 0}, s);
    }
    return look_frame(p, look - p);
  };
  return camera_file("x3ds_Camera03", kModelEnd, 5.0f, pose);
}

namespace {

void gear_mesh(MeshData& m, float radius, int teeth, float width, const Material& mat) {
  m.mat = m.add_material(mat);
  {
    LocalTransform placed(m, rotation_z(-kPi / 2));  // axis along x
    m.cylinder(radius, -width / 2, width / 2, teeth * 2);
    m.cylinder(radius * 0.25f, -width, width, 10);
  }
  for (int i = 0; i < teeth; ++i) {
    LocalTransform placed(m, rotation_x(2 * kPi * i / teeth));
    m.box({0, radius + 3.0f, 0}, {width, 6.0f, 2 * kPi * radius / teeth * 0.5f});
  }
}

}  // namespace

XFile model_engine() {
  XFile f;
  XAnimationSet set;
  set.name = "x3ds_animset_1";
  const float step = 1.0f;  // key times are whole numbers
  XFrame engine = top("x3ds_Engine", translation(kEngineAt));
  engine.mesh = mesh_of([](MeshData& m) {
    const int steel = m.add_material(lit_colour(0.78f, 0.8f, 0.86f));
    const int dark = m.add_material(lit_colour(0.55f, 0.55f, 0.6f));
    const int brass = m.add_material(lit_colour(1.0f, 0.75f, 0.32f));
    const int red = m.add_material(lit_colour(1.0f, 0.2f, 0.12f));
    m.mat = dark;
    m.box({0, 8, 0}, {380, 16, 240});
    m.mat = red;
    m.box({0, 56, 20}, {220, 80, 90});
    m.mat = steel;
    for (int i = 0; i < 4; ++i) {
      LocalTransform placed(m, translation({-75.0f + 50.0f * i, 96, 20}));
      m.lathe({{19, 0}, {19, 70}, {22, 72}, {22, 76}}, 14, false);
    }
    // Bearings of the crankshaft and the gear shafts.
    m.mat = dark;
    for (float x : {-140.0f, -50.0f, 50.0f, 140.0f}) m.box({x, 33, -70}, {12, 50, 16});
    m.box({-185, 60, -70}, {10, 104, 16});
    // Pipes.
    m.mat = brass;
    for (int i = 0; i < 4; ++i) {
      LocalTransform placed(m, rotation_x(kPi / 2) * translation({-75.0f + 50.0f * i, 150, 65}));
      m.cylinder(5, -10, 60, 8);
    }
    {
      LocalTransform placed(m, rotation_z(-kPi / 2) * translation({-110, 150, 125}));
      m.cylinder(9, 0, 220, 10);
    }
    m.mat = steel;
    m.box({0, 175, 95}, {60, 30, 40});
    m.box({170, 40, 60}, {30, 60, 100});
    // Hills on the horizon towards +x, where the opening scene's world lies:
    // it stays drawn under the later scenes, and from the circling camera its
    // ground would show through as a green sliver at the picture's edge
    // (inside the back clipping distance, which is taken along the view).
    m.mat = m.add_material(lit_colour(0.18f, 0.18f, 0.26f));
    horizon_ridge(m, kEngineAt * -1.0f, 7000.0f, -1.4f, 1.4f, -300.0f, 540.0f, 720.0f, 43u);
  });
  // A part at `at` turning on its own axis with the crank: `turn` by `rate`
  // times the crank angle, plus `phase`.
  auto turning_part = [&](const std::string& name, Vec3 at, Mat4 (*turn)(float), float rate,
                          float phase = 0.0f) -> XFrame& {
    XFrame& part = add_child(engine, name, translation(at));
    set.animations.push_back(sampled_animation(name, 0, kModelEnd, step, [=](float t) {
      return turn(crank(t) * rate + phase) * translation(at);
    }));
    return part;
  };
  // Crankshaft, along x in front of the block.
  turning_part("x3ds_Crank", {0, 56, -70}, rotation_x, 1.0f).mesh = mesh_of([](MeshData& m) {
    m.mat = m.add_material(lit_colour(0.85f, 0.87f, 0.92f));
    {
      LocalTransform placed(m, rotation_z(-kPi / 2));
      m.cylinder(6, -190, 190, 10);
    }
    for (int i = 0; i < 4; ++i) {
      float x = -75.0f + 50.0f * i;
      LocalTransform placed(m, rotation_x(i * kPi / 2));
      m.box({x - 8, 10, 0}, {4, 34, 16});
      m.box({x + 8, 10, 0}, {4, 34, 16});
      m.box({x, 22, 0}, {18, 5, 5});
    }
  });
  // Flywheel on the crank's axis.
  turning_part("x3ds_Flywheel", {205, 56, -70}, rotation_x, 1.0f).mesh = mesh_of([](MeshData& m) {
    m.mat = m.add_material(lit_colour(0.62f, 0.62f, 0.68f));
    {
      LocalTransform placed(m, rotation_z(-kPi / 2));
      m.torus(48, 6, 28, 8);
      m.cylinder(10, -8, 8, 12);
    }
    for (int s = 0; s < 6; ++s) {
      LocalTransform placed(m, rotation_x(s * kPi / 3));
      m.box({0, 26, 0}, {5, 40, 6});
    }
  });
  // Two gears meshing at the other end.
  turning_part("x3ds_GearA", {-200, 56, -70}, rotation_x, 1.0f).mesh =
      mesh_of([](MeshData& m) { gear_mesh(m, 32, 16, 10, lit_colour(1.0f, 0.75f, 0.32f)); });
  turning_part("x3ds_GearB", {-200, 56 + 38 + 27, -70}, rotation_x, -1.6f, kPi / 10).mesh =
      mesh_of([](MeshData& m) { gear_mesh(m, 21, 10, 10, lit_colour(0.85f, 0.85f, 0.4f)); });
  // Pistons riding up and down out of their cylinders.
  for (int i = 0; i < 4; ++i) {
    std::string name = "x3ds_Piston" + std::to_string(i + 1);
    const float x = -75.0f + 50.0f * i;
    auto pose = [x, i](float t) {
      float a = crank(t) + i * kPi / 2;
      float y = 150.0f + 22.0f * std::cos(a) + std::sqrt(60.0f * 60.0f - 22.0f * 22.0f * std::sin(a) * std::sin(a)) - 60.0f;
      return translation({x, y, 20});
    };
    XFrame& p = add_child(engine, name, pose(0));
    p.mesh = mesh_of([](MeshData& m) {
      m.mat = m.add_material(lit_colour(0.95f, 0.95f, 0.98f));
      m.cylinder(17, -18, 18, 14);
      m.mat = m.add_material(lit_colour(0.6f, 0.6f, 0.6f));
      m.box({0, 24, 0}, {6, 14, 6});
    });
    set.animations.push_back(sampled_animation(name, 0, kModelEnd, step, pose));
  }
  // A governor spinning on top.
  turning_part("x3ds_Governor", {0, 190, 95}, rotation_y, 0.5f).mesh = mesh_of([](MeshData& m) {
    m.mat = m.add_material(lit_colour(1.0f, 0.75f, 0.32f));
    m.cylinder(3, 0, 80, 8);
    for (int side = -1; side <= 1; side += 2) {
      {
        LocalTransform placed(m, rotation_z(side * 0.6f) * translation({0, 78, 0}));
        m.box({0, -22, 0}, {2, 44, 2});
      }
      m.ellipsoid({side * 26.0f, 42, 0}, {8, 8, 8}, 10, 6);
    }
  });
  // A cooling fan at the back.
  turning_part("x3ds_Fan", {170, 50, 112}, rotation_z, 0.75f).mesh = mesh_of([](MeshData& m) {
    m.mat = m.add_material(lit_colour(0.55f, 0.65f, 0.75f));
    {
      LocalTransform placed(m, rotation_x(kPi / 2));
      m.cylinder(6, -4, 4, 10);
    }
    for (int b = 0; b < 5; ++b) {
      LocalTransform placed(m, rotation_x(0.35f) * rotation_z(b * 2 * kPi / 5));
      m.box({0, 17, 0}, {9, 26, 1.5f});
    }
  });
  f.frames.push_back(engine);
  f.sets.push_back(set);
  return f;
}

}  // namespace quarvel::assets
