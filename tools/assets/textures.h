#pragma once
// The show's texture and title pictures, drawn procedurally.
#include <cstdint>
#include <vector>

#include "platform/common/picture.h"

namespace quarvel::assets {

Picture make_moss_texture();   // greenmos.bmp: tileable moss
// vaisseau.bmp: baked shading, kHullBands bands of light ramps.
constexpr int kHullBands = 4;
Picture make_hull_texture();
Picture make_fire_texture();   // fire.BMP: flames
Picture make_tree_texture();   // arbre1.bmp: foliage above, bark below
Picture make_explosion_texture();  // explo.BMP
Picture make_title_picture();  // introsi.bmp / introsi.jpg

// Where the tree texture's foliage ends and its bark begins (v, 0 at the top).
constexpr float kTreeBarkV = 0.75f;

std::vector<uint8_t> encode_jpeg(const Picture& pic, int quality);

}  // namespace quarvel::assets
