#pragma once
// The show's model files "00000000.dat" to "00000016.dat", built procedurally.
#include <string>

#include "xwriter.h"

namespace quarvel::assets {

constexpr int kModelCount = 17;

std::string model_file_name(int number);  // "000000NN.dat"
XFile make_model(int number);             // 0..16

// Where the opening scene's world lies: around x = 30000, on a ground at y = 0.
constexpr float kOpeningX = 30000.0f;

// Height of the tree model "00000009.dat" before the scenes stretch it.
constexpr float kTreeHeight = 75.0f;

}  // namespace quarvel::assets
