#include "test_scene.h"

#include <algorithm>

#include <cmath>

namespace quarvel::capture {

using rm::Vec2;
using rm::Vec3;

namespace {
// Adds a face, turning it so that it faces `outward`.
void add_facing(rm::MeshBuilder& mb, std::vector<uint32_t> idx, const Vec3& outward, uint32_t color) {
  const auto& p = mb.positions();
  Vec3 n = rm::cross(p[idx[1]] - p[idx[0]], p[idx[2]] - p[idx[0]]);
  if (rm::length(n) == 0 && idx.size() > 3) n = rm::cross(p[idx[2]] - p[idx[0]], p[idx[3]] - p[idx[0]]);
  if (rm::dot(n, outward) < 0) std::reverse(idx.begin(), idx.end());
  mb.add_face(idx, {}, color);
}
constexpr float kPi = 3.14159265358979f;
}  // namespace

std::shared_ptr<rm::MeshBuilder> make_box(rm::Root& root, Vec3 s, uint32_t color) {
  auto mb = root.create_mesh_builder();
  Vec3 h = s * 0.5f;
  const Vec3 normals[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  for (const Vec3& n : normals) {
    // Two axes spanning the face.
    Vec3 a = std::fabs(n.y) > 0 ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
    Vec3 b = rm::cross(n, a);
    Vec3 c{n.x * h.x, n.y * h.y, n.z * h.z};
    auto corner = [&](float i, float j) {
      Vec3 p = c + Vec3{a.x * h.x * i, a.y * h.y * i, a.z * h.z * i} + Vec3{b.x * h.x * j, b.y * h.y * j, b.z * h.z * j};
      return mb->add_vertex(p, Vec2{(i + 1) * 0.5f, (1 - j) * 0.5f});
    };
    uint32_t v0 = corner(-1, -1), v1 = corner(1, -1), v2 = corner(1, 1), v3 = corner(-1, 1);
    add_facing(*mb, {v0, v1, v2, v3}, n, color);
  }
  return mb;
}

std::shared_ptr<rm::MeshBuilder> make_sphere(rm::Root& root, float r, int slices, int stacks, uint32_t color) {
  auto mb = root.create_mesh_builder();
  slices = std::max(slices, 3);
  stacks = std::max(stacks, 2);
  for (int i = 0; i <= stacks; ++i) {
    float phi = kPi * i / stacks;
    for (int j = 0; j <= slices; ++j) {
      float th = 2 * kPi * j / slices;
      Vec3 n{std::sin(phi) * std::cos(th), std::cos(phi), std::sin(phi) * std::sin(th)};
      mb->add_vertex(n * r, Vec2{float(j) / slices * 2, float(i) / stacks});
      mb->add_normal(n);
    }
  }
  auto at = [&](int i, int j) { return static_cast<uint32_t>(i * (slices + 1) + j); };
  for (int i = 0; i < stacks; ++i) {
    for (int j = 0; j < slices; ++j) {
      std::vector<uint32_t> idx;
      if (i > 0) idx = {at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)};
      else idx = {at(i, j), at(i + 1, j + 1), at(i + 1, j)};
      if (i == stacks - 1) idx = {at(i, j), at(i, j + 1), at(i + 1, j)};
      Vec3 c;
      for (uint32_t v : idx) c += mb->positions()[v];
      const auto& p = mb->positions();
      Vec3 nn = rm::cross(p[idx[1]] - p[idx[0]], p[idx[2]] - p[idx[0]]);
      if (rm::dot(nn, c) < 0) std::reverse(idx.begin(), idx.end());
      mb->add_face(idx, idx, color);  // normal i belongs to vertex i
    }
  }
  return mb;
}

std::shared_ptr<rm::MeshBuilder> make_grid(rm::Root& root, float size, int cells, uint32_t color) {
  auto mb = root.create_mesh_builder();
  cells = std::max(cells, 1);
  for (int i = 0; i <= cells; ++i)
    for (int j = 0; j <= cells; ++j)
      mb->add_vertex({-size / 2 + size * j / cells, 0, -size / 2 + size * i / cells}, Vec2{float(j), float(i)});
  auto at = [&](int i, int j) { return static_cast<uint32_t>(i * (cells + 1) + j); };
  for (int i = 0; i < cells; ++i)
    for (int j = 0; j < cells; ++j)
      add_facing(*mb, {at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)}, {0, 1, 0}, color);
  return mb;
}

Picture checker_picture(int size, int tiles, uint32_t a, uint32_t b) {
  Picture p(size, size);
  int tile = std::max(size / std::max(tiles, 1), 1);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      bool border = x % tile == 0 || y % tile == 0;
      bool odd = ((x / tile) + (y / tile)) & 1;
      p.at(x, y) = border ? 0xFF202020u : (odd ? a : b);
    }
  return p;
}

TestScene build_test_scene(rm::Root& root, const std::shared_ptr<rm::Frame>& scene,
                         const std::shared_ptr<rm::Frame>& camera, int detail) {
  TestScene ts;
  ts.camera = camera;
  ts.group = root.create_frame(scene);
  ts.centre = root.create_frame(ts.group);
  ts.centre->set_position(scene.get(), {0, 20, 0});
  detail = std::max(detail, 1);
  int slices = 24 * detail, stacks = 12 * detail;

  auto checker = root.create_texture(checker_picture(64, 4, 0xFFE0C040u, 0xFF4060C0u));
  auto stripes = root.create_texture(checker_picture(32, 2, 0xFFFFFFFFu, 0xFFC03030u));

  // Ground: flat-wrapped checker, lit, fogged in the distance.
  auto ground = make_grid(root, 2000, 16, 0xFFFFFFFF);
  ground->set_texture(checker);
  auto wrap = root.create_wrap(rm::WrapType::Flat, nullptr, {0, 0, 0}, {0, 1, 0}, {0, 1, 0}, 0, 0, 0.01f, 0.01f);
  wrap->apply(*ground);
  auto ground_frame = root.create_frame(ts.group);
  ground_frame->add_visual(ground->create_mesh());

  struct Obj {
    Vec3 pos;
    std::shared_ptr<rm::MeshBuilder> mesh;
    bool spin;
  };
  std::vector<Obj> objs;
  auto lit = make_sphere(root, 40, slices, stacks, 0xFFFFFFFF);
  lit->set_texture(stripes);
  objs.push_back({{-120, 40, 0}, lit, true});
  auto flat = make_box(root, {70, 70, 70}, 0xFF80FF80);
  flat->set_quality(rm::quality::kShadeFlat | rm::quality::kLightOn | rm::quality::kFillSolid);
  objs.push_back({{0, 35, 120}, flat, true});
  auto glass = make_sphere(root, 45, slices, stacks, 0x8060A0FF);
  objs.push_back({{0, 45, -60}, glass, false});
  auto glass2 = make_box(root, {90, 90, 10}, 0x80FF4040);
  objs.push_back({{60, 45, -130}, glass2, true});
  auto wire = make_box(root, {60, 60, 60}, 0xFFFFFF40);
  wire->set_quality(rm::quality::kWireframe);
  objs.push_back({{120, 30, 20}, wire, true});
  auto both = make_sphere(root, 30, slices, stacks, 0xFFFF8040);
  both->set_quality(rm::quality::kGouraudOutlined);
  objs.push_back({{160, 30, -80}, both, true});
  // Far objects to show the fog.
  for (int i = 0; i < 6; ++i) {
    auto far = make_sphere(root, 35, slices, stacks, 0xFFFFFFFF);
    far->set_texture(checker);
    objs.push_back({{-300.0f + 120 * i, 35, 500}, far, false});
  }
  for (const Obj& o : objs) {
    auto f = root.create_frame(ts.group);
    f->set_position(scene.get(), o.pos);
    f->add_visual(o.mesh);
    ts.triangles += o.mesh->triangles().triangle_count();
    if (o.spin) ts.spinning.push_back(f);
  }
  ts.triangles += ground->triangles().triangle_count();

  // Ten lights: ambient, directional, spot and coloured points.
  auto add_light = [&](rm::LightType type, Vec3 colour, Vec3 pos, Vec3 dir) {
    auto lf = root.create_frame(ts.group);
    lf->set_position(scene.get(), pos);
    lf->set_orientation(scene.get(), dir, std::fabs(dir.y) > 0.9f ? Vec3{0, 0, 1} : Vec3{0, 1, 0});
    auto l = root.create_light_rgb(type, colour.x, colour.y, colour.z);
    l->set_constant_attenuation(1);
    l->set_linear_attenuation(0.002f);
    l->set_quadratic_attenuation(0);
    l->set_range(3000);
    lf->add_light(l);
  };
  add_light(rm::LightType::Ambient, {0.2f, 0.2f, 0.25f}, {}, {0, 0, 1});
  add_light(rm::LightType::Directional, {0.5f, 0.5f, 0.45f}, {0, 500, 0}, {0.3f, -1, 0.4f});
  add_light(rm::LightType::Spot, {1.2f, 1.0f, 0.6f}, {0, 300, 0}, {0, -1, 0});
  const Vec3 colours[7] = {{0.8f, 0.2f, 0.2f}, {0.2f, 0.8f, 0.2f}, {0.2f, 0.2f, 0.9f}, {0.7f, 0.7f, 0.2f},
                           {0.7f, 0.2f, 0.7f}, {0.2f, 0.7f, 0.7f}, {0.5f, 0.5f, 0.5f}};
  for (int i = 0; i < 7; ++i) {
    float a = 2 * kPi * i / 7;
    add_light(rm::LightType::Point, colours[i], {250 * std::cos(a), 120, 250 * std::sin(a)}, {0, 0, 1});
  }

  scene->set_scene_fog_enable(true);
  scene->set_scene_fog_color(0xFF405060);
  scene->set_scene_background(0xFF405060);
  scene->set_scene_fog_params(200, 1200, 1);

  ts.camera_path = root.create_animation();
  ts.camera_path->set_options(rm::Animation::kClosed | rm::Animation::kSplinePosition | rm::Animation::kPosition);
  const Vec3 path[6] = {{0, 120, -450}, {350, 90, -250}, {380, 160, 200},
                        {0, 60, 400},   {-380, 140, 150}, {-300, 100, -300}};
  for (int i = 0; i < 6; ++i) ts.camera_path->add_position_key(100.0f * i, path[i]);
  ts.camera_path->add_position_key(600, path[0]);
  ts.camera_path->set_frame(camera);
  ts.set_time(0);
  return ts;
}

void TestScene::set_time(float t) {
  if (camera_path) camera_path->set_time(t);
  if (camera && centre) camera->look_at(*centre, nullptr);
  for (size_t i = 0; i < spinning.size(); ++i) {
    Vec3 p = spinning[i]->position(nullptr);
    spinning[i]->add_rotation(rm::Combine::Replace, {0.3f, 1, 0.2f * float(i)}, t * 0.02f * float(i + 1));
    spinning[i]->set_position(nullptr, p);
  }
}

}  // namespace quarvel::capture
