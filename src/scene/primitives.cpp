#include "scene/primitives.h"

#include <cstdio>
#include <initializer_list>

#include "platform/retained/x_loader.h"
#include "scene/loading.h"

namespace quarvel::scene {
namespace {

const Vec3 kFront{0, 0, 1};
const Vec3 kUp{0, 1, 0};

// Whether every index fits its table; otherwise one line naming the call.
bool indices_fit(const char* primitive, std::initializer_list<std::pair<long long, size_t>> indices) {
  for (const auto& [index, capacity] : indices) {
    if (index < 0 || index >= static_cast<long long>(capacity)) {
      std::fprintf(stderr, "%s: index %lld is outside its table (0..%zu); nothing created\n", primitive, index,
                   capacity - 1);
      return false;
    }
  }
  return true;
}

// A model file that failed once is not tried again: one line per file a
// show. Picture files have the same memory in the factory, which the model
// loads share.
bool reported(const Show& s, const std::string& file) { return s.files_reported.count(file) != 0; }

void load_mesh(Show& s, rm::MeshBuilder& builder, const std::string& file) {
  if (reported(s, file)) return;
  std::string error;
  if (!rm::load_mesh_builder(builder, file, error, &s.stage.root.texture_files(), {}, &s.stage.root.parse_ahead())) {
    std::fprintf(stderr, "%s\n", error.c_str());
    s.files_reported.insert(file);
  }
}

// An empty name means no texture, and says nothing.
TextureRef load_texture(Show& s, const std::string& path) {
  return path.empty() ? nullptr : s.stage.root.load_texture(path);  // says what is wrong itself, once
}

// Position and the standard orientation, both relative to the scene frame.
void place(Show& s, rm::Frame& frame, int32_t x, int32_t y, int32_t z) {
  const rm::Frame* world = s.stage.scene.get();
  frame.set_position(world, {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)});
  frame.set_orientation(world, kFront, kUp);
}

// Empties a table entry (releasing what it held), then creates into it.
template <typename T, typename Make>
std::shared_ptr<T>& create_into(std::shared_ptr<T>& entry, Make make) {
  entry.reset();
  entry = make();
  return entry;
}

FrameRef& frame_under_root(Show& s, FrameRef& entry, int32_t parent) {
  return create_into(entry, [&] { return s.stage.root.create_frame(s.scene_frame.get(parent)); });
}

void advance_loading(Show& s) {
  Loading(s);
  Chargement(s, "");
}

}  // namespace

std::string beside_executable(const Show& s, const std::string& name) { return s.exe_dir + name; }

void add_objet(Show& s, int32_t parent, int32_t idx, const std::string& mesh_file, const std::string& texture_file,
               int32_t x, int32_t y, int32_t z) {
  if (!indices_fit("add_objet", {{parent, s.scene_frame.capacity}, {idx, s.objet_frame.capacity}})) return;
  advance_loading(s);
  rm::Root& root = s.stage.root;

  FrameRef& frame = frame_under_root(s, s.objet_frame[idx], parent);
  MeshBuilderRef& builder = create_into(s.objet_mesh[idx], [&] { return root.create_mesh_builder(); });
  place(s, *frame, x, y, z);

  load_mesh(s, *builder, mesh_file);
  builder->scale(1, 1, 1);
  builder->set_perspective(true);

  builder->set_texture(create_into(s.objet_texture[idx], [&] {
    return texture_file.empty() ? nullptr : load_texture(s, beside_executable(s, texture_file));
  }));
  builder->set_quality(rm::quality::kGouraud);
  frame->add_visual(builder);
}

void add_wrap(Show& s, int32_t parent, int32_t idx, const std::string& mesh_file, const std::string& texture_file,
              int32_t x, int32_t y, int32_t z) {
  if (!indices_fit("add_wrap", {{parent, s.scene_frame.capacity}, {idx, s.wrap_frame.capacity}})) return;
  rm::Root& root = s.stage.root;

  FrameRef& frame = frame_under_root(s, s.wrap_frame[idx], parent);
  MeshBuilderRef& builder = create_into(s.wrap_builder[idx], [&] { return root.create_mesh_builder(); });
  load_mesh(s, *builder, mesh_file);
  builder->set_perspective(true);

  builder->set_texture(create_into(s.wrap_texture[idx], [&] { return load_texture(s, texture_file); }));
  builder->set_quality(rm::quality::kGouraud);

  MeshRef& mesh = create_into(s.wrap_mesh[idx], [&] { return builder->create_mesh(); });
  frame->add_visual(mesh);

  // The chrome wrap spans the model's height.
  const rm::Box box = builder->box();
  float h = box.max.y - box.min.y;
  if (h == 0.0f) h = 0.00001f;
  const float ov = box.min.y / h;
  const float sv = -1.0f / h;

  const WrapRef& wrap = create_into(s.wrap_tab[idx], [&] {
    return root.create_wrap(rm::WrapType::Chrome, s.stage.camera, {0, 0, 0}, kFront, kUp, 0, ov, 1, sv);
  });
  wrap->apply(*mesh);
  place(s, *frame, x, y, z);
}

void add_anim(Show& s, int32_t parent, int32_t idx, const std::string& file, int32_t, int32_t, int32_t) {
  if (!indices_fit("add_anim", {{parent, s.scene_frame.capacity}, {idx, s.anim_frame.capacity}})) return;
  advance_loading(s);
  FrameRef& frame = frame_under_root(s, s.anim_frame[idx], parent);
  AnimationSetRef& set = create_into(s.anim_set[idx], [&] { return s.stage.root.create_animation_set(); });
  if (reported(s, file)) return;
  std::string error;
  if (!rm::load_animation_set(*set, file, frame, error, &s.stage.root.texture_files(), {},
                               &s.stage.root.parse_ahead())) {
    std::fprintf(stderr, "%s\n", error.c_str());
    s.files_reported.insert(file);
  }
}

void add_Light(Show& s, int32_t index, int32_t type, float x, float y, float z, float r, float g, float b) {
  if (!indices_fit("add_Light", {{index, s.lights.light_frame.capacity}})) return;
  static constexpr rm::LightType kTypes[] = {rm::LightType::Ambient, rm::LightType::Directional,
                                             rm::LightType::Spot, rm::LightType::Point};
  if (type < 0 || type > 3) {
    std::fprintf(stderr, "add_Light: light type %d is not one of 0..3; nothing created\n", type);
    return;
  }
  rm::Root& root = s.stage.root;

  FrameRef& frame = create_into(s.lights.light_frame[index], [&] { return root.create_frame(s.stage.scene); });
  LightRef& light =
      create_into(s.lights.light_tab[index], [&] { return root.create_light_rgb(kTypes[type], r, g, b); });
  light->set_constant_attenuation(0);
  light->set_linear_attenuation(0);
  light->set_quadratic_attenuation(0);
  light->set_range(100000);
  frame->add_light(light);
  frame->set_position(s.stage.scene.get(), {x, y, z});
}

void Charge_Mesh(Show& s) {
  add_wrap(s, 1, 0, "00000016.dat", "greenmos.bmp", 0, 0, 0);
  add_anim(s, 1, 0, "00000001.dat", 0, 0, 0);
  add_anim(s, 1, 1, "00000000.dat", 0, 0, 0);
}

}  // namespace quarvel::scene
