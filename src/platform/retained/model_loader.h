#pragma once
// Loading model files into the graph: the file reader gives plain data, which
// is turned into the graph's own model description and built from there.
// A file that cannot be read gives one line on standard error and leaves the
// target as it was.
#include <memory>
#include <string>

#include "platform/retained/animation.h"
#include "platform/retained/model_data.h"
#include "platform/retained/xfile/model.h"

namespace quarvel::rm {

// The reader's data in the graph's terms: matrices turned to column vectors,
// polygons, corner normals, colours packed as ARGB, the first texture of each
// material, every animation of every set with its options.
Model convertModel(const xfile::Model& file);

// Texture look-up for a model: the base name of the given texture file,
// matched without regard to case, in the model's folder and then the current
// one; each match is read once per resolver. Null when not found.
TextureResolver texturesBeside(const std::string& modelPath);

// Reads a model file and fills `builder` with its first mesh.
bool loadMeshBuilder(MeshBuilder& builder, const std::string& path, const TextureResolver& textures = {});

// Reads a model file and builds its frames and animations under `parent`.
bool loadAnimationSet(AnimationSet& set, const std::string& path, const std::shared_ptr<Frame>& parent,
                      const TextureResolver& textures = {});

}  // namespace quarvel::rm
