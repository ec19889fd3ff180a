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
  m.mat = m.add_material(colour(0.5f, 0.6f, 0.4f, "greenmos.bmp"));
  m.grid(kOpeningX - 12000.0f, kOpeningX + 12000.0f, -14000.0f, 14000.0f, 48, 56,
         opening_ground_height, 400.0f);
  return single_mesh_file("x3ds_Ground", std::move(m));
}

}  // namespace quarvel::assets
