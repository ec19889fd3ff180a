#include "models.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "parts.h"
#include "textures.h"

namespace quarvel::assets {

std::string model_file_name(int number) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08d.dat", number);
  return buf;
}

namespace {

using PathFn = std::function<Vec3(float)>;

// ---------------------------------------------------------------------------
// The opening world: a fleet flying along +z at about 2300 units up, a convoy
// of trucks on a road at x = 29700 below it.

constexpr float kOpenEnd = 7600.0f;
constexpr float kBlast = 7271.0f;  // the ship the fires follow goes up

Vec3 fleet_centre(float t) {
  return {kOpeningX + 250.0f * std::sin(t / 1300.0f), 2300.0f + 60.0f * std::sin(t / 700.0f),
          -1500.0f + 1.2f * t};
}

// Ships keep station around the fleet centre with a gentle drift of their own.
Vec3 station(float t, Vec3 offset, float phase) {
  return fleet_centre(t) + offset +
         Vec3{40.0f * std::sin(t / 500.0f + phase), 25.0f * std::sin(t / 350.0f + phase * 1.3f),
              30.0f * std::sin(t / 800.0f + phase)};
}

// The burning ship: at (30150, 2268, -1410) when the scene starts.
Vec3 ship_b(float t) { return station(t, {150.0f, -32.0f, 90.0f}, 0.0f); }

Vec3 convoy(float t) { return {kOpeningX - 300.0f, 0.0f, -3000.0f + 0.6f * t}; }

// Truck A drives beside the convoy and parks, its wheels still, at 1740.
float truck_a_travel(float t) {
  if (t < 1600.0f) return t;
  float d = std::min(t, 1740.0f) - 1600.0f;
  return 1600.0f + d - d * d / 280.0f;
}
Vec3 truck_a(float t) { return {kOpeningX - 240.0f, 0.0f, -2950.0f + 0.6f * truck_a_travel(t)}; }

const Vec3 kSquadronOffset{-300.0f, -150.0f, 300.0f};
const Vec3 kShipCLocal{80.0f, 0.0f, -60.0f};

XFrame& add_child(XFrame& parent, const std::string& name, const Mat4& m) {
  return parent.child(name, m);
}

XFrame top(const std::string& name, const Mat4& m) {
  XFrame f;
  f.name = name;
  f.transform = m;
  return f;
}

template <typename F>
MeshData mesh_of(F build) {
  MeshData m;
  build(m);
  return m;
}

// A file holding one frame with one mesh.
XFile single_mesh_file(const std::string& frame, MeshData mesh) {
  XFile f;
  XFrame fr = top(frame, Mat4{});
  fr.mesh = std::move(mesh);
  f.frames.push_back(fr);
  return f;
}

// A file holding one camera frame moved along `pose` from 0 to `end`.
XFile camera_file(const std::string& frame, float end, float step, const std::function<Mat4(float)>& pose) {
  XFile f;
  f.frames.push_back(top(frame, pose(0)));
  XAnimationSet set;
  set.name = "x3ds_animset_0";
  set.animations.push_back(sampled_animation(frame, 0, end, step, pose));
  f.sets.push_back(set);
  return f;
}

// A ship keeping station `offset` from the fleet centre.
PathFn on_station(Vec3 offset, float phase) {
  return [offset, phase](float t) { return station(t, offset, phase); };
}

// An axle hanging under a mount frame that places it.
void add_axle(XFrame& parent, const std::string& mount, const std::string& axle, float z) {
  add_child(parent, mount, translation({0, 4, z})).child(axle).mesh = mesh_of(axle_mesh);
}

Mat4 wing_bob(float t, Vec3 local, float phase) {
  return translation(local + Vec3{6.0f * std::sin(t / 300.0f + phase), 8.0f * std::sin(t / 220.0f + phase),
                                  5.0f * std::sin(t / 410.0f + phase)});
}

XFile opening_ships_and_trucks() {
  XFile f;
  XAnimationSet set;
  set.name = "x3ds_animset_0";
  const float step = 100.0f;
  auto animate = [&](const std::string& name, const std::function<Mat4(float)>& pose) {
    set.animations.push_back(sampled_animation(name, 0, kOpenEnd, step, pose));
  };
  // Animates `name` along `path`; returns its pose at the start.
  auto mover = [&](const std::string& name, const PathFn& path, float bank) {
    animate(name, [&](float t) { return pose_along(path, t, bank); });
    return pose_along(path, 0, bank);
  };
  // A fighter keeping its place `local` to its lead, bobbing a little.
  auto wingman = [&](XFrame& lead, const std::string& name, Vec3 local, float phase) {
    add_child(lead, name, wing_bob(0, local, phase)).mesh =
        mesh_of([](MeshData& m) { fighter_mesh(m, 60.0f); });
    animate(name, [local, phase](float t) { return wing_bob(t, local, phase); });
  };

  // Truck A: a container (Box01) on a truck whose two axle frames hang under
  // mount frames that place them.
  {
    XFrame box = top("x3ds_Box01", mover("x3ds_Box01", truck_a, 0));
    box.mesh = mesh_of([](MeshData& m) { cargo_box_mesh(m); });
    XFrame& body = add_child(box, "x3ds_Truck_-_Tr", Mat4{});
    body.mesh = mesh_of([](MeshData& m) { truck_body_mesh(m, false, false); });
    add_axle(body, "x3ds_Truck_-_M2", "x3ds_Truck_-_T2", -10);
    add_axle(body, "x3ds_Truck_-_M0", "x3ds_Truck_-_T0", 10);
    f.frames.push_back(box);
  }
  // Truck B leads the convoy; its axles are one level higher.
  {
    XFrame truck = top("x3ds_Truck__-Co", mover("x3ds_Truck__-Co", convoy, 0));
    truck.mesh = mesh_of([](MeshData& m) { truck_body_mesh(m, false, true); });
    add_axle(truck, "x3ds_x4_Truck_M0", "x3ds_x4_Truck_-0", 10);
    add_axle(truck, "x3ds_x4_Truck_M1", "x3ds_x4_Truck_-1", -10);
    f.frames.push_back(truck);
  }
  for (int i = 2; i <= 3; ++i) {
    const float back = 45.0f * (i - 1);
    PathFn p = [back](float t) { return convoy(t) - Vec3{0, 0, back}; };
    std::string name = "x3ds_Truck_-_C" + std::to_string(i);
    XFrame truck = top(name, mover(name, p, 0));
    truck.mesh = mesh_of([](MeshData& m) { truck_body_mesh(m, true, true); });
    f.frames.push_back(truck);
  }

  // The three transports (drawn as grey wireframes by the show).
  const struct {
    const char* name;
    Vec3 offset;
    float phase;
  } transports[] = {{"x3ds_VaisseauT1", {-700, 300, 0}, 1.0f},
                    {"x3ds_VaisseauT3", {700, 250, -600}, 2.0f},
                    {"x3ds_VaisseauT4", {0, 650, -1300}, 3.0f}};
  for (const auto& tr : transports) {
    XFrame ship = top(tr.name, mover(tr.name, on_station(tr.offset, tr.phase), 800.0f));
    ship.mesh = mesh_of([](MeshData& m) { transport_mesh(m, 500.0f); });
    f.frames.push_back(ship);
  }

  // The gunship the fires follow, with two turrets.
  {
    XFrame ship = top("x3ds_x5_Vaissea0", mover("x3ds_x5_Vaissea0", ship_b, 1500.0f));
    ship.mesh = mesh_of([](MeshData& m) { gunship_mesh(m, 200.0f); });
    const struct {
      const char* name;
      Vec3 at;
      float phase;
    } turrets[] = {{"x3ds_x5_Vaissea5", {0, 32, 20}, 0.0f}, {"x3ds_x5_Vaissea6", {0, 18, -70}, 2.0f}};
    for (const auto& tu : turrets) {
      XFrame& t = add_child(ship, tu.name, translation(tu.at));
      t.mesh = mesh_of([](MeshData& m) { turret_mesh(m, 20.0f); });
      Vec3 at = tu.at;
      float ph = tu.phase;
      animate(tu.name, [at, ph](float tt) {
        return rotation_y(0.8f * std::sin(tt / 260.0f + ph)) * translation(at);
      });
    }
    f.frames.push_back(ship);
  }

  // A squadron: the lead fighter and three wingmen one level down.
  {
    XFrame lead =
        top("x3ds_x4_Vaisseau", mover("x3ds_x4_Vaisseau", on_station(kSquadronOffset, 0.5f), 1500.0f));
    lead.mesh = mesh_of([](MeshData& m) { fighter_mesh(m, 60.0f); });
    const struct {
      const char* name;
      Vec3 local;
      float phase;
    } wing[] = {{"x3ds_x4_Vaissea4", {-80, 0, -60}, 0.7f},
                {"x3ds_x4_Vaissea0", kShipCLocal, 1.9f},
                {"x3ds_x4_Vaissea2", {0, 10, -130}, 2.8f}};
    for (const auto& w : wing) wingman(lead, w.name, w.local, w.phase);
    f.frames.push_back(lead);
  }
  // A second gunship with its escort.
  {
    XFrame lead =
        top("x3ds_x5_Vaisseau", mover("x3ds_x5_Vaisseau", on_station({420, 90, 520}, 4.0f), 1500.0f));
    lead.mesh = mesh_of([](MeshData& m) { gunship_mesh(m, 180.0f); });
    wingman(lead, "x3ds_x5_Vaissea2", {0, 60, -150}, 0.3f);
    f.frames.push_back(lead);
  }
  // More fighters and a third gunship, each with a part of its own.
  const struct {
    const char* name;
    const char* part;
    Vec3 offset;
    float phase;
    bool big;
  } others[] = {{"x3ds_x4_Vaissea1", "x3ds_x4_Pod1", {-520, -60, 850}, 5.0f, false},
                {"x3ds_x4_Vaissea3", "x3ds_x4_Pod3", {560, -90, 930}, 6.0f, false},
                {"x3ds_x5_Vaissea1", "x3ds_x5_Turret1", {-160, 380, -820}, 7.0f, true}};
  for (const auto& o : others) {
    XFrame ship = top(o.name, mover(o.name, on_station(o.offset, o.phase), 1500.0f));
    bool big = o.big;
    ship.mesh = mesh_of([big](MeshData& m) {
      if (big) gunship_mesh(m, 190.0f);
      else fighter_mesh(m, 60.0f);
    });
    XFrame& part = add_child(ship, o.part, translation({0, big ? 30.0f : -8.0f, big ? 10.0f : -10.0f}));
    part.mesh = mesh_of([big](MeshData& m) {
      if (big) {
        turret_mesh(m, 20.0f);
      } else {
        m.mat = m.add_material(colour(0.3f, 0.3f, 0.3f));
        m.box({0, 0, 0}, {8, 4, 24});
      }
    });
    f.frames.push_back(ship);
  }
  f.sets.push_back(set);
  return f;
}

// The opening camera: a flight past the fleet, down to the convoy, back up,
// and away from the burning ship as it goes up.
XFile opening_camera() {
  struct Way {
    float t;
    std::function<Vec3(float)> pos, look;
  };
  auto F = [](Vec3 o) { return [o](float t) { return fleet_centre(t) + o; }; };
  auto C = [](Vec3 o) { return [o](float t) { return convoy(t) + o; }; };
  auto B = [](Vec3 o) { return [o](float t) { return ship_b(t) + o; }; };
  auto ShipC = [](Vec3 o) {
    return [o](float t) {
      return station(t, kSquadronOffset, 0.5f) + kShipCLocal + o;
    };
  };
  auto Blast = [](Vec3 o) { return [o](float) { return ship_b(kBlast) + o; }; };
  const std::vector<Way> ways = {
      {0, F({-1900, 600, -2700}), F({0, 0, 0})},
      {900, F({-800, 120, -1000}), F({0, 0, 300})},
      // Down to the convoy at a slant, so that the trucks grow in the
      // picture rather than sit small in a field seen from above; then
      // alongside it, keeping the trucks in view.
      {1300, C({420, 260, -560}), C({0, 8, -20})},
      {1550, C({230, 110, -300}), C({0, 8, -20})},
      {1700, C({130, 50, -190}), C({0, 8, -20})},
      {1745, C({-110, 22, -170}), C({0, 8, -30})},
      {2600, C({140, 18, 90}), C({0, 8, -40})},
      // While light 0 blinks (3300 to 3900) the camera stands west of the
      // convoy and looks east at the trucks' flanks and the slopes behind
      // them: the faces that light reaches.
      {3300, C({-65, 14, 45}), C({10, 9, -25})},
      {3900, C({-95, 34, -25}), C({10, 10, -75})},
      {4450, F({-250, -350, -250}), ShipC({0, 0, 0})},
      {4800, F({-120, -200, 60}), ShipC({0, 0, 0})},
      {5500, F({-350, 480, 700}), F({0, 0, 0})},
      // Under the fleet looking up: in the green negative the dark sky turns
      // bright green and the lit ships stand out dark against it.
      {6100, F({-900, -650, 250}), F({0, 0, 0})},
      {6760, F({-250, -700, -1400}), F({0, 0, 0})},
      {7050, B({-700, 180, -1000}), B({0, 0, 0})},
      // Away from the blast, fast at first: the fire grows as
      // kFireGrowth x its old size, so the camera keeps it at about the
      // same share of the picture (its distance stays within the back
      // clipping plane, 15000, to the end).
      {kBlast, B({-1200, 320, -2000}), Blast({0, 0, 0})},
      {kBlast + 90.0f, Blast(Vec3{-1200, 320, -2000} * 2.8f), Blast({0, 0, 0})},
      {kOpenEnd, Blast(Vec3{-3000, 1000, -5200} * 2.1f), Blast({0, 0, 0})},
  };
  auto pose = [&](float t) {
    size_t i = 0;
    while (i + 2 < ways.size() && t >= ways[i + 1].t) ++i;
    const Way &a = ways[i], &b = ways[i + 1];
    float s = smoothstep01((t - a.t) / (b.t - a.t));
    Vec3 p = lerp(a.pos(t), b.pos(t), s);
    Vec3 l = lerp(a.look(t), b.look(t), s);
    return look_frame(p, l - p);
  };
  return camera_file("x3ds_Camera01", kOpenEnd, 20.0f, pose);
}

float opening_ground_height(float x, float z) {
  const float road = kOpeningX - 270.0f;
  float d = std::fabs(x - road);
  float open = smoothstep01((d - 500.0f) / 1500.0f);
  float hills = 0.5f + 0.5f * value_noise(x / 2500.0f, z / 2500.0f, 7);
  float bumps = value_noise(x / 700.0f, z / 700.0f, 9);
  return open * (hills * 700.0f + bumps * 60.0f);
}

XFile opening_ground() {
  MeshData m;
  m.mat = m.add_material(colour(0.5f, 0.6f, 0.4f, "greenmos.bmp"));
  m.grid(kOpeningX - 12000.0f, kOpeningX + 12000.0f, -14000.0f, 14000.0f, 48, 56,
         opening_ground_height, 400.0f);
  return single_mesh_file("x3ds_Ground", std::move(m));
}

// ---------------------------------------------------------------------------
// Effects and props shared by several scenes.

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

XFile fireball() {
  MeshData m;
  m.mat = m.add_material(colour(1.0f, 0.85f, 0.6f, "fire.BMP", 0.6f));
  Rng rng(12);
  const Vec3 puffs[] = {{0, 0, 0}, {3, 1, 0}, {-3, 1.5f, 1}, {0.5f, 3.2f, -1}, {-1, -2.8f, 1.5f},
                        {1.5f, -1, -3}, {-1.5f, 0.5f, 3}, {2.2f, -2.2f, 2.2f}};
  int k = 0;
  for (Vec3 c : puffs) {
    float r = k == 0 ? 4.5f : rng.range(2.6f, 3.6f);
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
  for (int tongue = 0; tongue < 3; ++tongue) {
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

// Five birds hovering around the forest flight's aim point (0, 150, -200),
// flapping twice per loop of 25 time units (keys 0 .. 25, the last equal to
// the first).
XFile birds() {
  XFile f;
  XAnimationSet set;
  set.name = "x3ds_animset_0";
  const Vec3 aim{0, 150, -200};
  const Vec3 places[] = {{0, 10, 0}, {-30, 4, -25}, {30, 4, -25}, {-60, -2, -50}, {60, -2, -50}};
  const float loop = 25.0f;
  for (int i = 0; i < 5; ++i) {
    std::string name = "x3ds_Bird0" + std::to_string(i + 1);
    Vec3 base = aim + places[i];
    float ph = 0.9f * i;
    auto body_pose = [base, ph, loop](float t) {
      float a = 2 * kPi * t / loop;
      Vec3 p = base + Vec3{6.0f * std::cos(a + ph), 3.0f * std::sin(2 * a + ph), 6.0f * std::sin(a + ph)};
      return rotation_y(0.3f * std::sin(a + ph)) * translation(p);
    };
    XFrame body = top(name, body_pose(0));
    body.mesh = mesh_of([](MeshData& m) {
      m.mat = m.add_material(colour(0.25f, 0.22f, 0.2f));
      m.ellipsoid({0, 0, 0}, {2.2f, 2.0f, 6.0f}, 8, 5);
      m.ellipsoid({0, 1.2f, 5.5f}, {1.5f, 1.5f, 1.8f}, 6, 4);
      m.mat = m.add_material(colour(0.9f, 0.6f, 0.1f));
      LocalTransform beak(m, rotation_x(kPi / 2) * translation({0, 1.2f, 7.0f}));  // pointing forwards
      m.cone(0.6f, 0, 2.0f, 5);
    });
    set.animations.push_back(sampled_animation(name, 0, loop, 1.0f, body_pose));
    for (int side = -1; side <= 1; side += 2) {
      std::string wname = name + (side < 0 ? "_WL" : "_WR");
      auto wing_pose = [side, ph, loop](float t) {
        float a = 2 * kPi * 2 * t / loop + ph;
        return rotation_z(side * 0.7f * std::sin(a)) * translation({side * 1.8f, 0.6f, 0.5f});
      };
      XFrame& w = add_child(body, wname, wing_pose(0));
      w.mesh = mesh_of([side](MeshData& m) {
        m.mat = m.add_material(colour(0.35f, 0.33f, 0.3f));
        m.box({side * 8.0f, 0, 0}, {16, 0.5f, 6});
        m.box({side * 17.0f, 0, -1.0f}, {3, 0.4f, 4});
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

// ---------------------------------------------------------------------------
// Forest edge: a meadow south of the forest (trees at z -900 .. -2300,
// x -600 .. 2600), a cabin, a windmill, fences, rocks and a few birds.

constexpr float kEdgeEnd = 1370.0f;

XFile edge_camera() {
  struct Way {
    float t;
    Vec3 pos, look;
  };
  // The forest flight's fog (from 0 to 2500 units) stays on here, so the
  // camera opens close to the cabin with the forest's edge behind it.
  const std::vector<Way> ways = {{0, {850, 190, 500}, {1150, 50, -900}},
                                 {450, {700, 130, 300}, {900, 60, -1000}},
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
    // The deep forest behind the trees the scene places itself.
    XFrame forest = top("x3ds_Forest", Mat4{});
    MeshData m;
    Rng rng(77);
    for (int i = 0; i < 40; ++i) {
      float x = rng.range(-600, 2600), z = rng.range(-2300, -900);
      // As tall as the trees the scene places in front of them (375 to 975).
      float h = 2.5f * rng.range(60, 140), w = 1.4f * rng.range(0.7f, 1.1f);
      LocalTransform placed(m, scaling({w, 1, w}) * translation({x, 0, z}));
      tree_mesh(m, h, "arbre1.bmp");
    }
    for (int i = 0; i < 10; ++i) {
      float x = rng.range(-1500, -300), z = rng.range(-1800, 400);
      LocalTransform placed(m, translation({x, 0, z}));
      tree_mesh(m, 2.5f * rng.range(50, 110), "arbre1.bmp");
    }
    forest.mesh = std::move(m);
    f.frames.push_back(forest);
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

// ---------------------------------------------------------------------------
// Model scene: an engine with pistons, crankshaft, flywheel, gears, a
// governor and a fan, standing at z = 450; the camera circles it and ends
// near the origin.

constexpr float kModelEnd = 1250.0f;
const Vec3 kEngineAt{0, 0, 450};
constexpr float kRev = 25.0f;  // time units per crank turn

float crank(float t) { return 2 * kPi * t / kRev; }

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

XFile model_engine() {
  XFile f;
  XAnimationSet set;
  set.name = "x3ds_animset_1";
  const float step = 1.0f;  // key times are whole numbers
  XFrame engine = top("x3ds_Engine", translation(kEngineAt));
  engine.mesh = mesh_of([](MeshData& m) {
    const int steel = m.add_material(colour(0.42f, 0.44f, 0.48f));
    const int dark = m.add_material(colour(0.2f, 0.2f, 0.22f));
    const int brass = m.add_material(colour(0.7f, 0.55f, 0.25f));
    const int red = m.add_material(colour(0.55f, 0.12f, 0.08f));
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
    m.mat = m.add_material(colour(0.6f, 0.62f, 0.66f));
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
    m.mat = m.add_material(colour(0.3f, 0.3f, 0.34f));
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
      mesh_of([](MeshData& m) { gear_mesh(m, 32, 16, 10, colour(0.7f, 0.55f, 0.25f)); });
  turning_part("x3ds_GearB", {-200, 56 + 38 + 27, -70}, rotation_x, -1.6f, kPi / 10).mesh =
      mesh_of([](MeshData& m) { gear_mesh(m, 21, 10, 10, colour(0.6f, 0.62f, 0.3f)); });
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
      m.mat = m.add_material(colour(0.75f, 0.75f, 0.78f));
      m.cylinder(17, -18, 18, 14);
      m.mat = m.add_material(colour(0.3f, 0.3f, 0.3f));
      m.box({0, 24, 0}, {6, 14, 6});
    });
    set.animations.push_back(sampled_animation(name, 0, kModelEnd, step, pose));
  }
  // A governor spinning on top.
  turning_part("x3ds_Governor", {0, 190, 95}, rotation_y, 0.5f).mesh = mesh_of([](MeshData& m) {
    m.mat = m.add_material(colour(0.7f, 0.55f, 0.25f));
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
    m.mat = m.add_material(colour(0.25f, 0.3f, 0.35f));
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

// ---------------------------------------------------------------------------
// Explosion scene: the monument that shows the title picture, at the origin.

XFile monument() {
  // A gate: the explosion's camera path goes through the origin at low
  // height (through (0, 0, 0), (-73, 9, 64), (0, 150, 0) and (0, 250, 0)),
  // so the middle is left open up to y = 290 and the picture hangs above it,
  // between two pillars 128 units or more from the axis.
  MeshData m;
  const int stone = m.add_material(colour(0.45f, 0.43f, 0.42f));
  const int picture = m.add_material(colour(1.0f, 1.0f, 1.0f, "introsi.bmp"));
  m.mat = stone;
  for (float side : {-1.0f, 1.0f}) {
    m.box({140 * side, 10, 0}, {50, 20, 60});
    m.box({140 * side, 165, 0}, {24, 290, 24});
  }
  m.box({0, 420, 0}, {330, 16, 24});
  m.mat = picture;
  // The slab: front and back show the whole picture; its edges take a
  // sliver of it.
  m.box({0, 350, 0}, {220, 120, 8});
  return single_mesh_file("x3ds_Monument", std::move(m));
}

// ---------------------------------------------------------------------------
// Finale: a ringed planet with moons and a crown of crystals, in front of the
// title picture.

constexpr float kFinaleEnd = 432.0f;
const Vec3 kPlanetAt{0, 80, 0};

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

}  // namespace

XFile make_model(int number) {
  switch (number) {
    case 0: return opening_ships_and_trucks();
    case 1: return opening_camera();
    case 2: return edge_scenery();
    case 3: return edge_camera();
    case 4: return model_engine();
    case 5: return model_camera();
    case 6: return finale_scenery();
    case 7: return finale_camera();
    case 8: return monument();
    case 9: return tree();
    case 10: return forest_ground();
    case 11: return birds();
    case 12: return fireball();
    case 13: return flame();
    case 14: return sky_dome();
    case 15: return station_model();
    case 16: return opening_ground();
    default: return XFile{};
  }
}

}  // namespace quarvel::assets
