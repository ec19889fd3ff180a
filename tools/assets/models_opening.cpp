// The opening: the fleet, the convoy, their camera and the ground under them.
#include <algorithm>
#include <cmath>

#include "model_kit.h"
#include "textures.h"

namespace quarvel::assets {

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

// Ship C: the show paints it plain white once it turns solid (4800 on), and
// white under a full white ambient light plus point lights is white on every
// face. Its shading is baked into texture coordinates instead: u is the light
// a fixed key light from above, ahead and to the left would give the face, v
// the band of the part's kind in the hull texture (the fighter's materials in
// the order it adds them: hull, dark panels, glass, glow).
MeshData fighter_with_baked_shading(float length) {
  MeshData m;
  fighter_mesh(m, length);
  const Vec3 key = normalize({-0.55f, 0.75f, 0.45f});
  std::vector<int> band(m.vertices.size(), 0);
  for (size_t f = 0; f < m.faces.size(); ++f)
    for (int v : m.faces[f]) band[static_cast<size_t>(v)] = std::min(kHullBands - 1, m.face_material[f]);
  for (size_t i = 0; i < m.vertices.size(); ++i) {
    Vertex& v = m.vertices[i];
    float lit = std::max(0.0f, dot(normalize(v.normal), key));
    v.u = std::clamp(0.04f + 0.92f * (0.15f + 0.85f * lit), 0.0f, 1.0f);
    v.v = (static_cast<float>(band[i]) + 0.5f) / kHullBands;
  }
  for (Material& mat : m.materials) mat.texture = "vaisseau.bmp";
  return m;
}

}  // namespace

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
        name == "x3ds_x4_Vaissea0" ? fighter_with_baked_shading(60.0f)
                                   : mesh_of([](MeshData& m) { fighter_mesh(m, 60.0f); });
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

// The opening camera, shot by shot (clock ranges; at 58.8 units a second):
//
//   0    -  900  alongside the fleet, from behind its left flank forward
//                into it: transports, gunships and the squadron pass by
//   900  - 1250  under the fleet looking up at it; the field of view widens
//                (1130 - 1185) on the whole fleet overhead
//   1250 - 1430  a turn down to the convoy (under a second), then a dive to
//                it, the trucks growing from the middle of the picture
//   1430 - 1740  the convoy from its lit west side, closing in; truck A
//                parks; the picture fades to black and back (1670 - 1980)
//   1740 - 3300  alongside the convoy on its west side, the trucks' lit
//                flanks filling the picture
//   3300 - 3900  the blinking light: close on the trucks' west flanks and
//                the ground behind them, the faces that light reaches
//   3900 - 4650  a look up from the road to the fleet (1.5 s), then up to
//                it, the squadron ahead
//   4650 - 4800  ship C close up: its wireframe, then fading in solid
//   4800 - 6100  the squadron and the fleet around it, from its left and
//                above, the camera drifting through the formation
//   6100 - 6760  under the fleet looking up (green negative, letterbox)
//   6760 - 7271  in on the burning ship, close from 7000 (it flickers
//                7052 - 7165)
//   7271 - 7600  away from the blast, the fires in the frame's middle and
//                near enough to stay inside the closing fog, which whitens
//                the sky dome behind them first
namespace {

struct Way {
  float t;
  std::function<Vec3(float)> pos, look;
};

std::vector<Way> opening_ways() {
  auto F = [](Vec3 o) { return [o](float t) { return fleet_centre(t) + o; }; };
  auto C = [](Vec3 o) { return [o](float t) { return convoy(t) + o; }; };
  auto B = [](Vec3 o) { return [o](float t) { return ship_b(t) + o; }; };
  auto ShipC = [](Vec3 o) {
    return [o](float t) { return station(t, kSquadronOffset, 0.5f) + kShipCLocal + o; };
  };
  auto Blast = [](Vec3 o) { return [o](float) { return ship_b(kBlast) + o; }; };
  return {
      {0, F({-700, 120, -1000}), F({-150, 40, 150})},
      {450, F({-650, 40, -450}), F({-100, 0, 250})},
      {900, F({-420, -420, 150}), F({-150, -40, 250})},
      // Under the fleet looking up while the field widens on it.
      {1130, F({-250, -900, 900}), F({-100, 0, 0})},
      {1250, F({-200, -1000, 700}), F({-50, 0, -100})},
      // The camera turns down to the convoy first, then dives to it.
      {1290, F({-220, -1080, 650}), C({0, 8, -20})},
      // Down to the convoy from its lit (west) side.
      {1430, C({-300, 110, -300}), C({0, 8, -20})},
      {1600, C({-200, 70, -230}), C({0, 8, -20})},
      {1745, C({-120, 30, -150}), C({0, 8, -30})},
      {2600, C({-110, 22, 40}), C({0, 8, -40})},
      // While light 0 blinks (3300 to 3900) the camera stands west of the
      // convoy and looks east at the trucks' flanks and the slopes behind
      // them: the faces that light reaches.
      {3300, C({-65, 14, 45}), C({10, 9, -25})},
      {3900, C({-80, 24, -20}), C({10, 10, -60})},
      // A quick look up from the road to the fleet overhead, then up to it.
      {3990, C({-90, 40, -10}), F({0, 0, 0})},
      {4450, ShipC({-500, -180, -420}), ShipC({0, 0, 0})},
      {4650, ShipC({-190, 40, -170}), ShipC({0, 0, 0})},
      {4800, ShipC({-170, 60, 120}), ShipC({0, 0, 0})},
      {5300, F({-850, 80, -150}), F({-100, 0, 250})},
      {5800, F({-600, 200, 800}), F({0, 0, 100})},
      // Under the fleet looking up: in the green negative the dark sky turns
      // bright green and the lit ships stand out dark against it.
      {6100, F({-900, -650, 250}), F({0, 0, 0})},
      {6760, F({-250, -700, -1400}), F({0, 0, 0})},
      {7000, B({-300, 90, -420}), B({0, 0, 0})},
      // Away from the blast, fast at first: the fire grows as
      // kFireGrowth x its old size, so the camera keeps it at about the
      // same share of the picture, and near enough (about 11000) that the
      // fog still shows the fires when it has whitened the sky.
      {kBlast, B({-1200, 320, -2000}), Blast({0, 0, 0})},
      {kBlast + 90.0f, Blast(Vec3{-1200, 320, -2000} * 2.8f), Blast({0, 0, 0})},
      {kOpenEnd, Blast(Vec3{-3000, 1000, -5200} * 1.85f), Blast({0, 0, 0})},
  };
}

Mat4 opening_camera_pose(float t) {
  static const std::vector<Way> ways = opening_ways();
  size_t i = 0;
  while (i + 2 < ways.size() && t >= ways[i + 1].t) ++i;
  const Way &a = ways[i], &b = ways[i + 1];
  float s = smoothstep01((t - a.t) / (b.t - a.t));
  Vec3 p = lerp(a.pos(t), b.pos(t), s);
  Vec3 l = lerp(a.look(t), b.look(t), s);
  return look_frame(p, l - p);
}

constexpr float kCameraStep = 20.0f;
// The sky dome stands only while the closing fog is on: from the tick the
// fog starts to the scene's end; before and after, it is shrunk inside the
// front clipping plane.
constexpr float kSkyFrom = 7450.0f, kSkyRadius = 14000.0f, kSkyHidden = 0.00002f;

// A closed sphere seen from inside, centred on the origin.
MeshData sky_sphere(float radius) {
  MeshData m;
  m.mat = m.add_material(colour(0.08f, 0.09f, 0.14f));
  std::vector<std::array<float, 2>> profile;
  const int rings = 10;
  for (int i = 0; i <= rings; ++i) {
    float b = -kPi / 2 + kPi * i / rings;
    const bool pole = i == 0 || i == rings;  // exactly on the axis, so the poles close
    profile.push_back({pole ? 0.0f : radius * std::cos(b), radius * std::sin(b)});
  }
  m.lathe(profile, 20, false, true);
  for (auto& v : m.vertices) v.normal = normalize(v.pos) * -1.0f;
  // Every face turned to face the centre.
  for (auto& f : m.faces) {
    Vec3 n = cross(m.vertices[f[1]].pos - m.vertices[f[0]].pos, m.vertices[f[2]].pos - m.vertices[f[0]].pos);
    if (dot(n, m.vertices[f[0]].pos) > 0) std::swap(f[1], f[2]);
  }
  return m;
}

}  // namespace

// The camera's path, and the sky dome that follows it while the closing fog
// is on. Nothing stands in the sky of the opening, so without the dome a
// fog, which colours only what is drawn, would leave the sky black behind
// whitened fires. The dome keys its position on the camera's own key times
// (so that the two move as one) with two more keys where it appears and goes.
XFile opening_camera() {
  XFile f = camera_file("x3ds_Camera01", kOpenEnd, kCameraStep, opening_camera_pose);
  std::vector<float> times = key_times(0, kOpenEnd, kCameraStep);
  times.push_back(kSkyFrom);
  times.push_back(kSkyFrom + 1.0f);
  times.push_back(kOpenEnd - 1.0f);
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  // Where the camera animation puts the camera at t (linear between keys).
  auto camera_at = [](float t) {
    float k0 = std::floor(t / kCameraStep) * kCameraStep, k1 = std::min(k0 + kCameraStep, kOpenEnd);
    Vec3 a = transform_point(opening_camera_pose(k0), {}), b = transform_point(opening_camera_pose(k1), {});
    return k1 > k0 ? lerp(a, b, (t - k0) / (k1 - k0)) : a;
  };
  std::vector<Mat4> poses;
  for (float t : times) {
    float s = t > kSkyFrom && t < kOpenEnd ? 1.0f : kSkyHidden;
    poses.push_back(scaling({s, s, s}) * translation(camera_at(t)));
  }
  XFrame sky = top("x3ds_SkyDome", poses.front());
  sky.mesh = sky_sphere(kSkyRadius);
  f.frames.push_back(sky);
  XAnimation a;
  a.frame = "x3ds_SkyDome";
  keys_from_poses(a, times, poses, true);
  f.sets.front().animations.push_back(a);
  return f;
}

namespace {

float opening_ground_height(float x, float z) {
  const float road = kOpeningX - 270.0f;
  float d = std::fabs(x - road);
  float open = smoothstep01((d - 500.0f) / 1500.0f);
  float hills = 0.5f + 0.5f * value_noise(x / 2500.0f, z / 2500.0f, 7);
  float bumps = value_noise(x / 700.0f, z / 700.0f, 9);
  return open * (hills * 700.0f + bumps * 60.0f);
}

}  // namespace

XFile opening_ground() {
  MeshData m;
  // One colour for the whole ground: the show re-applies its wrap on every
  // tick, and the runtime then paints every face of a wrapped mesh in its
  // first face's colour, so fields of several materials would show for one
  // frame only. The show lights the ground with its full white ambient light
  // plus about as much again from the point lights on level ground, and up
  // to three times as much on the slopes that face them: the colour is kept
  // low so that the slopes shade rather than clip to the texture's colour.
  m.mat = m.add_material(colour(0.16f, 0.21f, 0.1f, "greenmos.bmp"));
  m.grid(kOpeningX - 12000.0f, kOpeningX + 12000.0f, -14000.0f, 14000.0f, 48, 56,
         opening_ground_height, 400.0f);
  return single_mesh_file("x3ds_Ground", std::move(m));
}

}  // namespace quarvel::assets
