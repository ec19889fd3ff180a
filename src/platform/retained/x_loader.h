#pragma once
// Loading model files and pictures into scene graph objects: the model file
// reader's plain data turned into mesh builders, frame hierarchies with
// animations, and textures. Every load that fails leaves its target as it
// was and gives one error line (file, what is wrong, where).
#include <memory>
#include <string>

#include "platform/retained/animation.h"
#include "platform/retained/frame.h"
#include "platform/retained/mesh.h"
#include "platform/retained/model_data.h"
#include "platform/retained/parse_ahead.h"
#include "platform/retained/texture_files.h"
#include "platform/retained/xfile/model.h"
#include "platform/retained/xfile/reader.h"

namespace quarvel::rm {

// Converts what the reader produced into the graph's model data: matrices
// to column vectors, rotation keys to the graph's quaternions, matrix keys
// split into position, scale and rotation keys, the first texture of each
// material, and the animations of the file's first animation set.
Model model_data(const xfile::Model& in);

// The file a texture name written inside a model refers to: its base name
// (after any '/' or '\' folders), matched without regard to case, first in
// `model_folder`, then in the current folder. Empty when there is none.
std::string find_texture_file(const std::string& name, const std::string& model_folder);

// Both loads read the textures the model's faces name before building
// anything: one texture per picture file actually opened, however many
// names lead to it, its picture shared through `files` (a memory of the
// load's own when null) with every other texture of that file. The
// pictures are booked against a budget: the model's memory budget for the
// bytes of the model and picture files read, plus one largest picture, at
// most limits.max_model_bytes; past it the model is refused ("its textures
// would take more than N MB of memory"). Given a parse-ahead store that
// holds the model file (parsed under the same limits), the load builds from
// what it parsed; otherwise, or when it could not read the file, the load
// reads the file itself and says what is wrong.

// The first mesh of a model file into `builder` (its faces, normals,
// texture coordinates, vertex colours, material colours and textures).
bool load_mesh_builder(MeshBuilder& builder, const std::string& path, std::string& error,
                       TextureFiles* files = nullptr, const xfile::Limits& limits = {},
                       ParseAhead* ahead = nullptr);

// The model file's frame hierarchy under `parent` (frame names kept, each
// frame's meshes as mesh builder visuals, transformation matrices applied)
// and its animations, bound by frame name, into `set`.
bool load_animation_set(AnimationSet& set, const std::string& path, const std::shared_ptr<Frame>& parent,
                        std::string& error, TextureFiles* files = nullptr, const xfile::Limits& limits = {},
                        ParseAhead* ahead = nullptr);

// A picture file (BMP, JPEG, PNG, TGA) as a texture; null on failure.
std::shared_ptr<Texture> load_texture_file(const std::string& path, std::string& error);

}  // namespace quarvel::rm
