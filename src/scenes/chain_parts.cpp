// Pieces shared by the scenes of the chain.
#include "scenes/chain_parts.h"

#include <initializer_list>
#include <string>
#include <vector>

#include "scene/camera.h"
#include "scene/loading.h"
#include "scene/primitives.h"

namespace quarvel::scene {


namespace {

// What each builder loads: model files and, for the ground wraps, pictures
// from the current folder; the objects' pictures from beside the program.
struct SceneFiles {
  std::vector<std::string> models;
  std::vector<std::string> pictures;
  std::vector<std::string> pictures_beside_program;
};

const SceneFiles& files_of(Scene scene) {
  static const SceneFiles kFiles[] = {
      {{"00000016.dat", "00000001.dat", "00000000.dat", "00000012.dat", "00000013.dat"},
       {"greenmos.bmp"},
       {"fire.BMP"}},
      {{"00000010.dat", "00000009.dat", "00000014.dat", "00000011.dat"}, {"greenmos.bmp"}, {"arbre1.bmp"}},
      {{"00000003.dat", "00000002.dat", "00000014.dat", "00000009.dat"}, {}, {"arbre1.bmp"}},
      {{"00000005.dat", "00000004.dat"}, {}, {}},
      {{"00000012.dat", "00000008.dat"}, {}, {"explo.BMP", "introsi.bmp"}},
      {{"00000007.dat", "00000006.dat"}, {}, {"introsi.bmp"}},
      {},
  };
  return kFiles[static_cast<size_t>(scene)];
}

}  // namespace

void parse_ahead_for(Show& s, Scene next) {
  const SceneFiles& files = files_of(next);
  std::vector<std::string> pictures = files.pictures;
  for (const std::string& name : files.pictures_beside_program) pictures.push_back(beside_executable(s, name));
  s.stage.root.parse_ahead().prepare(files.models, pictures);
}

void set_loaded_animation_options(Show& s, int32_t idx, uint32_t options) {
  const auto set = s.anim_set.get(idx);
  const auto animations = set ? set->animations() : std::vector<AnimationRef>{};
  Chargement(s, "Constructing..................");
  for (const auto& a : animations) {
    if (a) a->set_options(options);
  }
}

void take_cam_path(Show& s, PathModel model) {
  s.view.cam_path.reset();
  if (auto frame = s.anim_frame.get(0)) {
    const auto children = frame->children();
    if (!children.empty()) s.view.cam_path = children.front();
    if (model == PathModel::Hidden) s.stage.scene->delete_visual(frame.get());
  }
}

void scroll_ground(Show& s, int32_t wrap_u, float scale) {
  s.wrap_u = wrap_u;
  s.wrap_tab.at(0).reset();
  s.wrap_tab.at(0) = s.stage.root.create_wrap(rm::WrapType::Flat, nullptr, {0, 0, 0}, {0, 1, 0}, {0, 1, 0},
                                               static_cast<float>(s.wrap_u / 25.0), 0, scale, scale);
  if (auto mesh = s.wrap_mesh.get(0)) s.wrap_tab.at(0)->apply(*mesh);
}

void pose_animation_sets(Show& s, float time) {
  if (auto set = s.anim_set.get(0)) set->set_time(time);
  if (auto set = s.anim_set.get(1)) set->set_time(time);
}

namespace {

bool any_held(const Show& s, std::initializer_list<int> states) {
  for (int st : states) {
    if (s.DXInput1.state(st)) return true;
  }
  return false;
}

constexpr int button(int n) { return display::Input::kButton1 + n - 1; }

}  // namespace

bool movement_input_held(const Show& s) {
  using display::Input;
  return any_held(s, {Input::kUp, Input::kDown, button(1), button(2), button(3), button(4)});
}

bool turning_input_held(const Show& s) {
  using display::Input;
  return any_held(s, {Input::kLeft, Input::kRight, button(5), button(6), button(7), button(8)});
}

void edge_step(Show& s, const EdgeStep& step) {
  rm::Viewport* viewport = s.stage.viewport.get();
  rm::Frame* world = s.stage.scene.get();
  if (step.uniform_scaling && viewport) viewport->set_uniform_scaling(true);

  if (s.clock.horloge > static_cast<float>(s.clock.Temps[step.end_entry])) step.next_builder(s);
  // The rest of the tick runs on, with the clock as it now stands.
  const float t = s.clock.horloge;

  scroll_ground(s, s.wrap_u - kGroundStep, kGroundScale);
  pose_animation_sets(s, t / step.animation_divisor);

  if (step.sets_field && viewport) viewport->set_field(static_cast<float>(s.view.focale) / 20.0f);

  rm::Frame* camera = s.stage.camera.get();
  if (camera) camera->orientation(world, s.view.vue_dir, s.view.vue_up);
  if (step.uniform_scaling && viewport) viewport->set_uniform_scaling(true);

  // Held input lets a motion left by an earlier scene run on; nothing here
  // starts one.
  if (camera && !movement_input_held(s)) camera->set_velocity(world, {0, 0, 0}, false);
  if (camera && !turning_input_held(s)) camera->set_rotation(world, {0, 0, 0}, 0);
  if (camera) s.view.cam_pos = camera->position(world);
  if (s.controls.cam_auto) Calcul_pos(s);
}

}  // namespace quarvel::scene
