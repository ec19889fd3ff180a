#pragma once
// The show's state: the main form's components as the show reaches them, the
// scene tables with their fixed capacities, the values the scenes, steps,
// layers and controls share, and each scene's own values in its own struct.
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
// while Party_actif[N - 1] is set, and the frame loop calls the steps in
// index order. The numbering is the show's own and not the chain's: the
// explosion (Party_4) runs after the forest edge (Party_5) and the model
// scene (Party_6).
enum StepFlag : size_t {
  kLoadingStep = 0,      // Party_1: builds the opening behind the loading screen
  kOpeningStep = 1,      // Party_2: the opening (ships, trucks, fires in fog)
  kForestFlightStep = 2, // Party_3: the flight through the forest
  kExplosionStep = 3,    // Party_4: the explosion
  kForestEdgeStep = 4,   // Party_5: the forest edge
  kModelSceneStep = 5,   // Party_6: the model scene
  kFinaleStep = 6,       // Party_7: the free-flight finale
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

// The opening scene's own values.
struct OpeningState {
  int32_t brouillard_fin = 0;
  bool brouillard_actif = false;
  uint8_t scintille_n = 0;
  Vec3 feu_pos;
};

// The forest flight's own values.
struct ForestFlightState {
  std::array<Vec3, 31> arbre_pos{};
};

// The explosion's own values (the operator switches its effects).
struct ExplosionState {
  AnimationRef focale_anim;
  FrameRef focale_frame;
  std::array<bool, 3> effet{};
  bool flash_fini = false;
  int32_t flash_n = 0;
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
  uint32_t flux_musique = 0;
  // The program's folder with its trailing separator ("beside the
  // executable"); empty means the current folder.
  std::string exe_dir;

  // ---- Scene tables.
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
  Table<rm::Frame, 101> light_frame;
  Table<rm::Light, 101> light_tab;
  Table<rm::Frame, 10> truck_frame;
  Table<rm::Frame, 10> vaisseau_frame;
  Table<rm::MeshBuilder, 11> vaisseau_mesh;
  MeshBuilderRef vaisseau_mesh_a, vaisseau_mesh_b, vaisseau_mesh_c;
  Table<rm::Animation, 201> explo_anim;

  // ---- Shared scalars (start values are given by the display's
  // initialisation; everything is zero, empty or false before it).
  std::array<int32_t, 11> Temps{};
  float horloge = 0;
  std::array<bool, 11> Party_actif{};
  float light_x = 0, light_y = 0, light_z = 0;
  float light_r = 0, light_g = 0, light_b = 0;
  Vec3 cam_dir, cam_up;
  FrameRef cam_path;
  bool cam_suivi = false;
  int32_t focale = 0;
  int32_t charge_pos = 0;
  int32_t charge_n = 0;
  TextureRef fond_texture;

  // Frame loop.
  uint32_t pos_musique = 0;
  uint32_t pos_precedente = 0;
  float pas_temps = 0;
  Vec3 cam_pos;
  int32_t fps_affiche = 0;

  // Picture layers and overlay.
  int32_t etape_logo = 0;
  int32_t ecran16_n = 0;
  int32_t fondu = 0;
  render::GammaRamp gamma_sauve;
  bool affiche_infos = false;

  // Flags and values of the steps and controls.
  bool focale_actif = false;
  bool cam_vise = false;
  bool cam_auto = false;
  bool anim_x_actif = false;
  bool ecran16_actif = false;
  bool clignote_actif = false;
  int32_t etape_x = 0;
  Vec3 vue_dir, vue_up;
  int32_t angle_vue = 0;
  int32_t vitesse = 0;
  int32_t angle_clignote = 0;

  // The wrap's scroll, shared by the chain's scenes.
  int32_t wrap_u = 0;
  // The camera's animation of the forest flight and the explosion.
  AnimationRef cam_anim;

  // Each scene's own values.
  OpeningState opening;
  ForestFlightState forest_flight;
  ExplosionState explosion;

  // Operator.
  MeshBuilderRef objet_choisi;

  // The shared pseudo-random sequence.
  Random rng;
  int32_t random(int32_t n) { return rng.random(n); }

  // Model files already reported as missing or damaged: each is said once
  // per show, however often it is loaded, and not tried again. Picture files
  // have the same memory in the display's factory (stage.root).
  std::set<std::string> files_reported;

  // Releases every table entry and every reference still held, the
  // last-declared first.
  void release_all();
};

}  // namespace quarvel::scene
