// The lit, coloured relief of a terrain, as terrainview draws it and as the
// terrain savers take it for a skin.
#pragma once

#include "noisemap/image_grid.h"
#include "terrain/terrain_grid.h"

namespace terrain {

// The light of the relief, in the relief renderer's terms. By default it
// comes from the north-east, 45 degrees above the horizon. The renderer
// gives flat ground half the light's intensity (0.5); a brightness of 1.7
// draws flat ground at 85 % of its ramp colour and leaves room for slopes
// facing the light to come out brighter before they saturate. The contrast
// is a third of the renderer's default, so that rough ground keeps its
// colour.
struct ReliefLight {
  double azimuth = 45.0;
  double elevation = 45.0;
  double brightness = 1.7;
  double contrast = 0.35;
};

// Renders `terrain` into `image` (columns x rows pixels, row 0 at the
// bottom when written as a BMP) with the relief renderer: the terrain
// colour ramp from water through grass and rock to snow, set by the share of
// samples below each height, lit from the north-east at 45 degrees so that slopes facing the
// light are brighter than flat ground and slopes facing away darker. Throws the noise
// map errors (noise::utils::InvalidParamError for an empty or mis-sized
// grid or a height that is not finite, OutOfMemoryError).
// The terrain's spacingX is the horizontal distance between neighbouring
// samples in the heights' units, 0 when unknown; `spacingGiven` says the user
// gave it, and then the relief is drawn at exactly that spacing. Otherwise the
// spacing is widened until nearly all neighbouring height differences are
// gentle slopes, so that rough ground does not turn black and white; an
// unknown spacing draws the height range as a quarter of the picture's width.
// `light` replaces the default light.
void RenderTerrain(const TerrainGrid& terrain, bool spacingGiven, noise::utils::ImageGrid& image,
                   const ReliefLight& light = ReliefLight());

}  // namespace terrain
