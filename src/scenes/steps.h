#pragma once
// The scene chain: the per-tick steps Party_1..Party_7, the scene builders
// they call, and the scene teardown. The frame loop calls step k + 1 while
// Party_actif[k] is set.
#include <cstdint>

#include "scene/show.h"

namespace quarvel::scenes {

void Party_1(scene::Show& s);  // loading display, builds the opening scene
void Party_2(scene::Show& s);  // opening scene
void Party_3(scene::Show& s);  // forest flight
void Party_4(scene::Show& s);  // explosion
void Party_5(scene::Show& s);  // forest edge
void Party_6(scene::Show& s);  // model scene
void Party_7(scene::Show& s);  // finale

// The opening scene's timed stage machine, run by Party_2 at the end of its
// tick while anim_x_actif is set.
void anim_x(scene::Show& s);

// Builders: each records its name in s.record.built.
void Party_chargement_anim(scene::Show& s);   // opening scene
void Party_chargement_anim2(scene::Show& s);  // forest flight
void Party_chargement_anim4(scene::Show& s);  // forest edge
void Party_chargement_anim5(scene::Show& s);  // model scene
void Party_chargement_anim3(scene::Show& s);  // explosion
void Party_chargement_anim6(scene::Show& s);  // finale

// Takes scene group g out of the scene graph, resets the loading bar and
// clears every step flag.
void init(scene::Show& s, int32_t g);

}  // namespace quarvel::scenes
