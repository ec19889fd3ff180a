#pragma once
// The show's state: the main form's components as the show reaches them, the
// scene tables the scenes share, and every other value in the struct of its
// owner (the clock, the chain, the view, the lights, the layers, the
// operator's controls and each scene), which seeds it on reset.
// One Show belongs to one main form; tests build a fresh one, so nothing
// carries over from one test to the next.
//
// Every operation of the show takes the Show (and plain numbers or strings)
// and returns nothing. Table entries hold one counted reference each; the
// scene graph holds its own, so an object stays on screen while it is
// attached, whatever its table entry holds.
// GLOSSARY.md beside this file says what each of the show's own names means.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/audio/music_device.h"
#include "platform/display/display.h"
#include "platform/display/frame_timer.h"
#include "platform/display/image_list.h"
#include "platform/display/input.h"
#include "platform/render/gamma.h"
#include "platform/retained/root.h"
#include "platform/retained/stage.h"

namespace quarvel::scene {

using rm::Vec3;
using FrameRef = std::shared_ptr<rm::Frame>;
using MeshBuilderRef = std::shared_ptr<rm::MeshBuilder>;
using MeshRef = std::shared_ptr<rm::Mesh>;
using TextureRef = std::shared_ptr<rm::Texture>;
using WrapRef = std::shared_ptr<rm::Wrap>;
using LightRef = std::shared_ptr<rm::Light>;
using AnimationRef = std::shared_ptr<rm::Animation>;
using AnimationSetRef = std::shared_ptr<rm::AnimationSet>;

// The scene steps by their flag's index in Party_actif: step Party_N runs
// while the flag N - 1 is set, and the frame loop calls the steps in index
// order. The numbering is the show's own and not the chain's: the explosion
// (Party_4) runs after the forest edge (Party_5) and the model scene
// (Party_6).
enum StepFlag : size_t {
  kLoadingStep = 0,      // Party_1: builds the opening behind the loading screen
  kOpeningStep = 1,      // Party_2: the opening (ships, trucks, fires in fog)
  kForestFlightStep = 2, // Party_3: the flight through the forest
  kExplosionStep = 3,    // Party_4: the explosion
  kForestEdgeStep = 4,   // Party_5: the forest edge
  kModelSceneStep = 5,   // Party_6: the model scene
  kFinaleStep = 6,       // Party_7: the free-flight finale
};
inline constexpr size_t kStepCount = 7;
// Every flag in index order, the order the frame loop tests them in.
inline constexpr std::array<StepFlag, kStepCount> kStepFlags{
    kLoadingStep, kOpeningStep, kForestFlightStep, kExplosionStep, kForestEdgeStep, kModelSceneStep, kFinaleStep};
// The step a flag runs: Party_N for the flag N - 1 (the trace's `ran`).
constexpr int step_number(StepFlag flag) { return static_cast<int>(flag) + 1; }

// The step flags (the show's Party_actif), one per step, read and written by
// their StepFlag only.
class StepFlags {
 public:
  static constexpr size_t size() { return kStepCount; }
  bool& operator[](StepFlag flag) { return on_[flag]; }
  bool operator[](StepFlag flag) const { return on_[flag]; }
  void fill(bool value) { on_.fill(value); }
  // Only `flag` set.
  static StepFlags only(StepFlag flag) {
    StepFlags flags;
    flags[flag] = true;
    return flags;
  }
  bool operator==(const StepFlags&) const = default;

 private:
  std::array<bool, kStepCount> on_{};
};

// The scene groups: the index into scene_frame of each scene's root. The
// numbers follow neither the chain nor the steps; the forest edge and the
// model scene share a group, and group 5 is never used.
enum SceneGroup : int32_t {
  kOpeningGroup = 1,
  kForestFlightGroup = 2,
  kExplosionGroup = 3,
  kEdgeGroup = 4,  // the forest edge, then the model scene
  kFinaleGroup = 6,
};

// The entries of the time table Temps: the opening's starting clock, then
// the clock at which each scene hands over to the next.
enum TimeEntry : size_t {
  kOpeningStart = 0,
  kForestFlightEnd = 1,
  kForestEdgeEnd = 2,
  kModelSceneEnd = 3,
  kExplosionEnd = 4,
};

// A fixed-capacity table of counted references. Reading or writing an entry
// at or beyond the capacity is refused: `at` gives an empty reference that
// belongs to no entry, so nothing is created into the table and nothing
// beyond it is overwritten.
template <typename T, size_t N>
struct Table {
  static constexpr size_t capacity = N;
  std::array<std::shared_ptr<T>, N> entries{};

  static bool valid(long long i) { return i >= 0 && i < static_cast<long long>(N); }
  // The entry, or a scratch slot (emptied on every call) for an index
  // outside the table.
  std::shared_ptr<T>& at(long long i) {
    if (valid(i)) return entries[static_cast<size_t>(i)];
    scratch_.reset();
    return scratch_;
  }
  std::shared_ptr<T> get(long long i) const { return valid(i) ? entries[static_cast<size_t>(i)] : nullptr; }
  std::shared_ptr<T>& operator[](long long i) { return at(i); }
  void clear() {
    for (auto& e : entries) e.reset();
  }

 private:
  std::shared_ptr<T> scratch_;
};

// The shared pseudo-random sequence: seed := seed * 134775813 + 1 (mod 2^32);
// random(n) is the high 32 bits of the 64-bit product of the new seed and n.
// Seeded 0 once; every draw of every part comes from this one sequence.
struct Random {
  uint32_t seed = 0;
  uint32_t draws = 0;  // how many draws so far (for traces and tests)
  int32_t random(int32_t n) {
    seed = seed * 134775813u + 1u;
    ++draws;
    return static_cast<int32_t>((static_cast<uint64_t>(seed) * static_cast<uint32_t>(n)) >> 32);
  }
};

// What the headless runner's trace reports of a tick: the steps called
// (1..7) and the builders called, in order. The frame loop clears both at
// the start of each tick. It belongs to the form, not to the show's state.
struct TickRecord {
  std::vector<int> ran;
  std::vector<std::string> built;
};

// The show's state by owner. Each owner's reset() gives its values the start
// values the display's initialisation seeds (everything else zero, empty or
// false); the references it holds are let go by Show::release_all, not by
// reset().

// The scene clock and the music position it follows.
struct ClockState {
  // The music stream's handle (0 when the music file could not be opened:
  // the clock then stands still). It outlives a reset.
  uint32_t flux_musique = 0;
  uint32_t pos_musique = 0;
  uint32_t pos_precedente = 0;
  float pas_temps = 0;
  float horloge = 0;
  // The time table, by TimeEntry: the opening's starting clock and the
  // scene ends.
  std::array<int32_t, 11> Temps{};
  int32_t fps_affiche = 0;

  // The clock at 0, the time table seeded.
  void reset();
};

// The chain of scenes: which steps run, and the loading display's counters.
struct ChainState {
  StepFlags Party_actif;
  int32_t charge_pos = 0;
  int32_t charge_n = 0;

  // Only the loading step set; both counters at 0.
  void reset();
};

// The camera's path, following and aim, and the field of view.
struct ViewState {
  Vec3 cam_pos;
  Vec3 cam_dir, cam_up;
  Vec3 vue_dir, vue_up;
  FrameRef cam_path;
  // The camera's key path of the forest flight and the explosion.
  AnimationRef cam_anim;
  bool cam_suivi = false;
  bool cam_vise = false;
  int32_t focale = 0;
  bool focale_actif = false;

  // The camera follows its path; no aim; the field at rest (focale 9).
  void reset();
};

// The scene's lights and the blinking of light 0.
struct LightState {
  Table<rm::Frame, 101> light_frame;
  Table<rm::Light, 101> light_tab;
  bool clignote_actif = false;
  int32_t angle_clignote = 0;

  // Light 0 still, its blink angle at 0.
  void reset();
};

// The 2D layers and the status overlay.
struct LayerState {
  int32_t etape_logo = 0;
  bool ecran16_actif = false;
  int32_t ecran16_n = 0;
  int32_t fondu = 0;
  // The ramp the fades darken.
  render::GammaRamp gamma_sauve;
  bool affiche_infos = false;

  // The letterbox band off and back at 0, the overlay off, and `ramp` (the
  // display's ramp now) saved for the fades.
  void reset(const render::GammaRamp& ramp);
};

// What the operator's keys and mouse set.
struct ControlState {
  bool cam_auto = false;
  int32_t vitesse = 0;
  // The editable light, shown on the overlay and saved, lighting nothing.
  float light_x = 0, light_y = 0, light_z = 0;
  float light_r = 0, light_g = 0, light_b = 0;
  MeshBuilderRef objet_choisi;

  // The automatic camera on, the flight speed 10.
  void reset();
};

// The opening scene's own values and tables.
struct OpeningState {
  // The timed stages (anim_x) and their switch.
  int32_t etape_x = 0;
  bool anim_x_actif = false;
  int32_t brouillard_fin = 0;
  bool brouillard_actif = false;
  uint8_t scintille_n = 0;
  Vec3 feu_pos;
  Table<rm::Frame, 10> truck_frame;
  Table<rm::Frame, 10> vaisseau_frame;
  Table<rm::MeshBuilder, 11> vaisseau_mesh;
  MeshBuilderRef vaisseau_mesh_a, vaisseau_mesh_b, vaisseau_mesh_c;

  // The stages from the first, running.
  void reset();
};

// The forest flight's own values.
struct ForestFlightState {
  std::array<Vec3, 31> arbre_pos{};
};

// The explosion's own values and tables (the operator switches its effects).
struct ExplosionState {
  Table<rm::Animation, 201> explo_anim;
  AnimationRef focale_anim;
  FrameRef focale_frame;
  std::array<bool, 3> effet{};
  bool flash_fini = false;
  int32_t flash_n = 0;
  int32_t angle_vue = 0;

  // The windows' angle at 0.
  void reset();
};

struct Show {
  // Made by the form's components (app/form_components.h), the one place
  // that wires them.
  Show(rm::Stage& graph, display::DisplayControl& draw, display::FrameTimer& timer,
       display::FrameTimer& loading_timer, display::Input& input, display::ImageList& images,
       audio::MusicDevice& music_device, TickRecord& tick_record)
      : stage(graph), DXDraw(draw), DXTimer(timer), Timer_chargement(loading_timer), DXInput1(input),
        ImageList(images), music(music_device), record(tick_record) {}
  Show(const Show&) = delete;
  Show& operator=(const Show&) = delete;

  // ---- The main form's components and the music stream. The stage holds
  // the scene graph: its root, the scene frame, camera and viewport.
  rm::Stage& stage;
  display::DisplayControl& DXDraw;
  display::FrameTimer& DXTimer;
  display::FrameTimer& Timer_chargement;
  display::Input& DXInput1;
  display::ImageList& ImageList;
  audio::MusicDevice& music;
  // Where the builders record themselves for the trace.
  TickRecord& record;
  // The program's folder with its trailing separator ("beside the
  // executable"); empty means the current folder.
  std::string exe_dir;

  // ---- The scene tables the scenes share.
  Table<rm::Frame, 11> scene_frame;
  Table<rm::Frame, 101> objet_frame;
  Table<rm::MeshBuilder, 101> objet_mesh;
  Table<rm::Texture, 101> objet_texture;
  Table<rm::Frame, 51> wrap_frame;
  Table<rm::MeshBuilder, 51> wrap_builder;
  Table<rm::Texture, 51> wrap_texture;
  Table<rm::Mesh, 51> wrap_mesh;
  Table<rm::Wrap, 51> wrap_tab;
  Table<rm::Frame, 31> anim_frame;
  Table<rm::AnimationSet, 31> anim_set;
  // The ground's scroll, shared by the chain's scenes.
  int32_t wrap_u = 0;
  // The loading backdrop, later the finale's background picture.
  TextureRef fond_texture;

  // ---- The owners of the show's values.
  ClockState clock;
  ChainState chain;
  ViewState view;
  LightState lights;
  LayerState layers;
  ControlState controls;
  OpeningState opening;
  ForestFlightState forest_flight;
  ExplosionState explosion;

  // The shared pseudo-random sequence.
  Random rng;
  int32_t random(int32_t n) { return rng.random(n); }

  // Model files already reported as missing or damaged: each is said once
  // per show, however often it is loaded, and not tried again. Picture files
  // have the same memory in the display's factory (stage.root).
  std::set<std::string> files_reported;

  // Releases every table entry and every reference still held, in a fixed
  // order: the operator's choice, the explosion's, the camera's, the
  // backdrop, the opening's tables, the lights, then the shared tables.
  void release_all();
};

}  // namespace quarvel::scene
