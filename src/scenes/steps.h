#pragma once
// The scene chain: the per-tick steps Party_1..Party_7, the scene builders
// they call, and the scene teardown. The frame loop calls step k + 1 while
// Party_actif[k] is set.
//
// The scene store (src/scene) and the chain's scenes (src/scenes) share the
// namespace quarvel::scene: the folders keep the two layers apart, and the
// show's names all answer to one qualifier.
#include <cstdint>

#include "scene/show.h"

namespace quarvel::scene {

void Party_1(Show& s);  // loading display, builds the opening scene
void Party_2(Show& s);  // opening scene
void Party_3(Show& s);  // forest flight
void Party_4(Show& s);  // explosion
void Party_5(Show& s);  // forest edge
void Party_6(Show& s);  // model scene
void Party_7(Show& s);  // finale

// The opening scene's timed stage machine, run by Party_2 at the end of its
// tick while anim_x_actif is set.
void anim_x(Show& s);

// Builders: each records its name in s.record.built.
void Party_chargement_anim(Show& s);   // opening scene
void Party_chargement_anim2(Show& s);  // forest flight
void Party_chargement_anim4(Show& s);  // forest edge
void Party_chargement_anim5(Show& s);  // model scene
void Party_chargement_anim3(Show& s);  // explosion
void Party_chargement_anim6(Show& s);  // finale

// Takes scene group g out of the scene graph, resets the loading bar and
// clears every step flag.
void init(Show& s, int32_t g);

}  // namespace quarvel::scene
