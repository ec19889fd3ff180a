#pragma once
// The primitives that load model and texture files into placed objects of the
// scene graph and record them in the scene tables. Positions and orientations
// are set relative to the stage's scene frame. A missing or unreadable file
// leaves the object empty or untextured (one line on standard error from the
// loader, once per file and show: a file reported once is not tried again)
// and the show goes on. An empty texture name means no texture. An index at or beyond a table's capacity is
// refused: nothing is created and nothing is overwritten.
#include <cstdint>
#include <string>

#include "scene/show.h"

namespace quarvel::scene {

// Textured object idx under scene_frame[parent]: mesh file by its name
// (current folder), texture beside the executable; Gouraud quality.
// Advances the loading display (Loading, then Chargement("")).
void add_objet(Show& s, int32_t parent, int32_t idx, const std::string& mesh_file,
               const std::string& texture_file, int32_t x, int32_t y, int32_t z);
// Chrome-wrapped object idx: mesh and texture by their names; the wrap is
// relative to the camera frame and spans the mesh's height.
void add_wrap(Show& s, int32_t parent, int32_t idx, const std::string& mesh_file,
              const std::string& texture_file, int32_t x, int32_t y, int32_t z);
// Animation set idx loaded from `file` under a new frame anim_frame[idx].
// Advances the loading display. The three integers are not used.
void add_anim(Show& s, int32_t parent, int32_t idx, const std::string& file, int32_t, int32_t, int32_t);
// Light `index` of type 0 ambient, 1 directional, 2 spot, 3 point, in a frame
// of the scene frame at (x, y, z); no attenuation, range 100000.
void add_Light(Show& s, int32_t index, int32_t type, float x, float y, float z, float r, float g, float b);
// The opening scene's fixed model set: ground wrap 0 and animation sets 0, 1.
void Charge_Mesh(Show& s);

// The texture file name beside the executable.
std::string beside_executable(const Show& s, const std::string& name);

}  // namespace quarvel::scene
