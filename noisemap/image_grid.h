// The picture that the relief renderer fills and the BMP writer stores.
#pragma once

#include "noisemap/grid.h"
#include "noisemap/pixel_color.h"

namespace noise {
namespace utils {

// A resizable width x height grid of colours with the shape rules of
// HeightGrid; its border colour is (0, 0, 0, 0) when new or reset. It owns
// its storage.
class ImageGrid : public Grid<PixelColor> {};

}  // namespace utils
}  // namespace noise
