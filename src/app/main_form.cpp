#include "app/main_form.h"

#include "app/layers.h"
#include "app/music_startup.h"
#include "app/overlay.h"
#include "controls/operator.h"
#include "platform/render/surface2d.h"
#include "scene/helpers.h"
#include "scene/lights.h"
#include "scene/loading.h"
#include "scenes/chain_parts.h"
#include "scenes/steps.h"

namespace quarvel::app {

TMainForm::TMainForm(std::unique_ptr<display::DisplayBackend> backend, display::MillisecondClock clock,
                     audio::MusicDevice& music_device, std::string exe_dir)
    : FormComponents(std::move(backend), std::move(clock)),
      steps{scene::Party_1, scene::Party_2, scene::Party_3, scene::Party_4,
            scene::Party_5, scene::Party_6, scene::Party_7},
      music(music_device),
      show_(new_show(music_device)) {
  show_->exe_dir = std::move(exe_dir);
  DXDraw.on_initialize = [this] { DXDrawInitialize(); };
  DXDraw.on_initialize_surface = [this] { DXDrawInitializeSurface(); };
  DXDraw.on_finalize = [this] { DXDrawFinalize(); };
  DXTimer.on_timer = [this](int lag) { DXTimerTimer(lag); };
  Timer_chargement.on_timer = [this](int) { scene::Timer_chargementTimer(*show_); };
}

TMainForm::~TMainForm() {
  DXDraw.finalize();
  // Everything the show still holds goes after the form's display.
  show_->release_all();
}

void TMainForm::Show() { DXDraw.initialize(); }

void TMainForm::FormCreate() {
  // The display hides the cursor itself while in full screen.
  FormCreate_music(music, nullptr, show_->clock.flux_musique);
  show_->opening.etape_x = 0;
}

void TMainForm::FormDestroy() { FormDestroy_music(music); }

void TMainForm::renew_show() {
  scene::Show& old = *show_;
  // The new display starts from an empty scene with the plain ramp, as a
  // new device would: every scene group, light and visual of the old show
  // leaves the scene frame (the new camera stays).
  rm::Frame& root = *stage.scene;
  for (const auto& child : root.children()) {
    if (child != stage.camera) root.delete_child(child.get());
  }
  for (const auto& light : root.lights()) root.delete_light(light.get());
  for (const auto& visual : root.visuals()) root.delete_visual(visual.get());
  root.set_scene_background_image(nullptr);
  root.set_scene_fog_enable(false);
  DXDraw.set_gamma(render::GammaRamp::identity());

  auto fresh = new_show(music);
  fresh->clock.flux_musique = old.clock.flux_musique;
  fresh->exe_dir = old.exe_dir;
  if (!fresh_sequence_) fresh->rng = old.rng;  // the one sequence is never reseeded
  fresh_sequence_ = false;
  old.release_all();
  show_ = std::move(fresh);
}

void TMainForm::DXDrawInitialize() {
  if (++initialisations_ > 1) renew_show();
  scene::Show& s = *show_;
  // The loading backdrop behind the scene.
  s.fond_texture = stage.root.load_texture(kBackdropFile);
  stage.scene->set_scene_background_image(s.fond_texture);
  // Every owner's start values: the clock at 0 with its time table, only
  // the loading step set and an empty loading bar, the camera following its
  // path with the field at rest, light 0 still, the layers off with the ramp
  // the fades start from, the automatic camera at flight speed 10, the
  // opening's stages from the first and the explosion's window angle at 0.
  s.clock.reset();
  s.chain.reset();
  s.view.reset();
  s.lights.reset();
  render::GammaRamp ramp;
  DXDraw.get_gamma(ramp);
  s.layers.reset(ramp);
  s.controls.reset();
  s.opening.reset();
  s.explosion.reset();
  // The logos' transparency, then the colour tables.
  for (int i = 0; i <= 4; ++i) {
    if (display::ImageItem* item = ImageList.item(i)) {
      item->transparent_colour = kLogoKey;
      item->transparent = true;
    }
  }
  ImageList.rebuild_colour_table();
  DXDraw.set_colour_tables(ImageList.colour_table());
  // The clipping planes. The front plane of -100 is refused by the viewport
  // (it must be positive); the call is made all the same and its result
  // ignored.
  stage.viewport->set_back(15000.0f);
  stage.viewport->set_front(-100.0f);
  scene::Chargement(s, "Chargement en cours");
  scene::Chargement(s, "Constructing ........... okokok");
  // The camera starts 500 units back. The zero orientation is refused; the
  // result is ignored.
  stage.camera->set_position(stage.scene.get(), {0, 0, -500.0f});
  stage.camera->set_orientation(stage.scene.get(), {0, 0, 0}, {0, 0, 0});
  scene::create_light_set(s);
  // The frame timer and the mouse start; the clock counts from the music's
  // position now.
  DXTimer.set_enabled(true);
  DXInput1.mouse_enabled = true;
  s.clock.pos_precedente = music.position(s.clock.flux_musique) / 1500u;
  music_ahead_ = 0;
  // The opening's files are read while the loading display runs.
  scene::parse_ahead_for(s, scene::Scene::Opening);
}

void TMainForm::DXDrawInitializeSurface() {
  stage.device->set_texture_quality(rm::TextureQuality::Linear);
  stage.device->set_render_mode(rm::Device::kBlendedTransparency | rm::Device::kSortedTransparency);
}

void TMainForm::DXDrawFinalize() { DXTimer.set_enabled(false); }

void TMainForm::DXTimerTimer(int) {
  ++ticks_;
  scene::Show& s = *show_;
  record.ran.clear();
  record.built.clear();
  // The clock follows the music: a signed difference of positions, or
  // the bytes played across the looping track's wrap.
  s.clock.pos_musique = music.position(s.clock.flux_musique);
  s.clock.pas_temps = static_cast<float>(music_ahead_ + scene::clock_step(s.clock.pos_musique, s.clock.pos_precedente,
                                                                          music.length(s.clock.flux_musique)));
  music_ahead_ = 0;
  s.clock.horloge =
      static_cast<float>(static_cast<double>(s.clock.horloge) + static_cast<double>(s.clock.pas_temps) / 2.0);
  s.clock.pos_precedente = s.clock.pos_musique;
  // Camera position, then one input update.
  s.view.cam_pos = stage.camera->position(stage.scene.get());
  DXInput1.update(raw_input, idle_loop.active());
  // The steps by flag index, each flag read when its turn comes.
  for (const scene::StepFlag flag : scene::kStepFlags) {
    if (!show_->chain.Party_actif[flag]) continue;
    record.ran.push_back(scene::step_number(flag));
    if (steps[flag]) steps[flag](*show_);
  }
  // Motions, then the 3D picture.
  stage.scene->move(1.0f);
  DXDraw.render();
  // The 2D layers; the finale's end asks the form to close.
  if (draw_layers(s)) Close();
  // The status overlay, when on, with the frame rate it shows; then the flip.
  s.clock.fps_affiche = DXTimer.frame_rate() - 1;
  if (s.layers.affiche_infos) draw_overlay(s);
  DXDraw.flip();
  // The safety end: past it the display closes and the form with it.
  if (s.clock.horloge > kSafetyEnd) {
    DXDraw.finalize();
    Close();
  }
}

void TMainForm::FormKeyDown(int key, bool alt) {
  // Esc asks the loop to end; the handler still goes on.
  if (key == 27) Close();
  if (alt && key == 13) {
    // The back end keeps the window's place and size when it leaves a
    // window and gives them back when it opens one again; it shows the
    // cursor in a window and hides it in full screen. The new
    // initialisation restarts the show from its first step.
    DXDraw.finalize();
    DXDraw.full_screen = !DXDraw.full_screen;
    DXDraw.initialize();
  }
}

void TMainForm::follow_music() {
  if (!DXTimer.enabled()) return;
  scene::Show& s = *show_;
  const uint32_t now = music.position(s.clock.flux_musique);
  music_ahead_ += scene::clock_step(now, s.clock.pos_precedente, music.length(s.clock.flux_musique));
  s.clock.pos_precedente = now;
}

void TMainForm::restart_show() {
  fresh_sequence_ = true;
  DXDraw.finalize();
  DXDraw.initialize();
}

void TMainForm::FormMouseDown(int, int x, int y) { controls::FormMouseDown(*show_, x, y); }

}  // namespace quarvel::app
