#pragma once
// One-line JSON descriptions of what a model file holds, for the
// inspection tool and for scripts that read its output.
#include <string>
#include <string_view>

#include "platform/retained/xfile/model.h"

namespace quarvel::xfile {

// {"file": ..., "kind": "model", "encoding": ..., "float_bits": ..., "frames": [...],
//  "meshes": [...], "animation_sets": [...]} on one line, without a line end.
std::string describe_model(const Model& model, const std::string& file);


}  // namespace quarvel::xfile
