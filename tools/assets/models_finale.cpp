// The finale: the ringed planet and its camera, and the spare station model.
#include <algorithm>
#include <cmath>

#include "model_kit.h"
#include "textures.h"

namespace quarvel::assets {

namespace {

// ---------------------------------------------------------------------------
// Finale: a ringed planet with moons and a crown of crystals, in front of the
// title picture.

constexpr float kFinaleEnd = 432.0f;
const Vec3 kPlanetAt{0, 80, 0};

// The camera, shot by shot. The show plays this path at half the scene
// clock, so its time 432 is clock 864, where the show closes; the picture
// fades to black from clock 700. One continuous shot on the planet, which
// stays in the middle of the picture, the crystals and moons passing round
// it, the title picture behind (its name at the bottom right). Shots by scene
// clock (58.8 units a second), with the camera's distance from the planet
// and the planet's width on the 640-column picture:
//
//   clock       distance    planet   what the picture shows
//   0-200       1424-1210   120-140  from high on its front left: planet and rings small in the middle,
//                                    crystals and moons round it; a crystal passes close in front (150-210)
//   200-450     1210-950    140-180  swinging round to the front (crossing x = 0 at about 320), lower;
//                                    the rings open out, a crystal at the right edge (320-390)
//   450-700     950-700     180-245  closing in from the right, lower still: the rings reach to within
//                                    30 columns of the frame's sides, moons passing in front
//   700-750     700-625     245-275  the fade to black; the rings run out of both sides from about 720
//   750-864     625-525     275-325  black (2 s) until the show closes

}  // namespace

XFile finale_camera() {
  auto pose = [](float t) {
    float s = t / kFinaleEnd;
    float a = -0.5f + 1.6f * smoothstep01(s);
    float r = 1400.0f - 900.0f * s;
    Vec3 p = kPlanetAt + Vec3{r * std::sin(a), 260.0f - 180.0f * s, -r * std::cos(a)};
    return look_frame(p, kPlanetAt - p);
  };
  return camera_file("x3ds_Camera04", kFinaleEnd, 4.0f, pose);
}

XFile finale_scenery() {
  XFile f;
  XAnimationSet set;
  set.name = "x3ds_animset_1";
  XFrame planet = top("x3ds_Planet", translation(kPlanetAt));
  // The finale lights everything with white ambient light plus seven to
  // eight white point lights, and shows it through the contrast window
  // 24..145: a face of colour c comes out at c x 1.3 on its dark side and
  // up to c x 4.3 on its lit side, and everything from 0.57 on is white.
  // The colours here are kept dark (at most 0.3 before the plain-colour
  // factor, so at most 0.135) so that the lit side stays just inside the
  // window and the planet shows its shading and its bands.
  planet.mesh = mesh_of([](MeshData& m) {
    const float bands[][3] = {{0.3f, 0.17f, 0.11f}, {0.28f, 0.23f, 0.15f}, {0.2f, 0.12f, 0.26f},
                              {0.3f, 0.27f, 0.21f}, {0.24f, 0.14f, 0.2f}};
    std::vector<int> mats;
    for (const auto& c : bands) mats.push_back(m.add_material(colour(c[0], c[1], c[2])));
    m.mat = mats[0];
    m.ellipsoid({0, 0, 0}, {120, 120, 120}, 40, 24);
    for (size_t i = 0; i < m.faces.size(); ++i) {
      Vec3 c = (m.vertices[m.faces[i][0]].pos + m.vertices[m.faces[i][1]].pos + m.vertices[m.faces[i][2]].pos) *
               (1.0f / 3.0f);
      float swirl = 14.0f * value_noise(std::atan2(c.z, c.x) * 2.0f, c.y / 30.0f, 21);
      int band = static_cast<int>(std::floor((c.y + swirl) / 17.0f + 100.0f)) % 5;
      m.face_material[i] = mats[static_cast<size_t>(band)];
    }
  });
  set.animations.push_back(sampled_animation("x3ds_Planet", 0, kFinaleEnd, 4.0f, [](float t) {
    return rotation_y(2 * kPi * t / 400.0f) * translation(kPlanetAt);
  }));
  XFrame& rings = add_child(planet, "x3ds_Rings", rotation_x(0.35f));
  rings.mesh = mesh_of([](MeshData& m) {
    m.mat = m.add_material(colour(0.29f, 0.26f, 0.2f, "", 0.2f));
    LocalTransform placed(m, scaling({1, 0.12f, 1}));
    m.torus(200, 28, 48, 6);
    m.torus(255, 12, 48, 6);
  });
  f.frames.push_back(planet);
  for (int i = 0; i < 2; ++i) {
    std::string name = "x3ds_Moon" + std::to_string(i + 1);
    float r = 360.0f + 140.0f * i, speed = i ? -1.0f : 1.6f, ph = i * 2.5f, tilt = 60.0f - 90.0f * i;
    auto pose = [r, speed, ph, tilt](float t) {
      float a = 2 * kPi * speed * t / kFinaleEnd + ph;
      return rotation_y(a) * translation(kPlanetAt + Vec3{r * std::cos(a), tilt * std::sin(a), r * std::sin(a)});
    };
    XFrame moon = top(name, pose(0));
    float size = i ? 22.0f : 34.0f;
    moon.mesh = mesh_of([size](MeshData& m) {
      m.mat = m.add_material(colour(0.26f, 0.27f, 0.29f));
      m.ellipsoid({0, 0, 0}, {size, size, size}, 16, 10);
    });
    set.animations.push_back(sampled_animation(name, 0, kFinaleEnd, 4.0f, pose));
    f.frames.push_back(moon);
  }
  XFrame crown = top("x3ds_Crystals", translation(kPlanetAt));
  crown.mesh = mesh_of([](MeshData& m) {
    const int c1 = m.add_material(colour(0.13f, 0.32f, 0.36f, "", 0.4f));
    const int c2 = m.add_material(colour(0.36f, 0.15f, 0.32f, "", 0.4f));
    for (int i = 0; i < 10; ++i) {
      float a = 2 * kPi * i / 10;
      LocalTransform placed(m, rotation_z(0.4f * std::sin(a * 3)) * translation({620 * std::cos(a), 40 * std::sin(2 * a), 620 * std::sin(a)}));
      m.mat = i % 2 ? c1 : c2;
      m.lathe({{0, -60}, {22, 0}, {0, 90}}, 5, false);
    }
  });
  set.animations.push_back(sampled_animation("x3ds_Crystals", 0, kFinaleEnd, 4.0f, [](float t) {
    return rotation_y(-2 * kPi * t / 864.0f) * translation(kPlanetAt);
  }));
  f.frames.push_back(crown);
  f.sets.push_back(set);
  return f;
}

// A space station the show does not load, kept so the set is complete. Its
// ring turns through matrix keys.
XFile station_model() {
  XFile f;
  f.write_templates = true;
  f.ticks_per_second = 30;
  XFrame hub = top("Station", Mat4{});
  hub.mesh = mesh_of([](MeshData& m) {
    m.mat = m.add_material(colour(0.6f, 0.6f, 0.65f));
    m.cylinder(20, -60, 60, 16);
    m.ellipsoid({0, 70, 0}, {24, 24, 24}, 16, 8);
    m.mat = m.add_material(colour(0.2f, 0.35f, 0.6f, "", 0.3f));
    m.box({0, -90, 0}, {8, 60, 160});
  });
  XFrame& ring = hub.child("Ring", Mat4{});
  ring.mesh = mesh_of([](MeshData& m) {
    m.mat = m.add_material(colour(0.7f, 0.68f, 0.6f));
    m.torus(150, 14, 48, 10);
    for (int s = 0; s < 4; ++s) {
      LocalTransform placed(m, rotation_y(s * kPi / 2));
      m.box({75, 0, 0}, {150, 6, 6});
    }
  });
  XAnimationSet set;
  set.name = "Spin";
  XAnimation a;
  a.frame = "Ring";
  for (float t : key_times(0, 240, 15)) a.matrix.push_back({t, rotation_y(2 * kPi * t / 240.0f)});
  set.animations.push_back(a);
  f.frames.push_back(hub);
  f.sets.push_back(set);
  return f;
}

}  // namespace quarvel::assets
