#pragma once
// The program's icon for desktop menus, drawn from the show's own pictures.
#include "asset_set.h"
#include "platform/common/picture.h"

namespace quarvel::assets {

// The icon's size in pixels (square), as the menus' icon folder is named.
inline constexpr int kIconSize = 64;

// The planet and hills of the title picture, the fire texture's flames
// rising over the hills and the title's first letter in its gold; the
// corners are rounded off (transparent).
Picture make_icon_picture();

// quarvel.png: that picture as an RGBA PNG file.
AssetFile make_icon_file();

}  // namespace quarvel::assets
