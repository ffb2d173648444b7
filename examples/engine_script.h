// The engine's side of the road of one terrain: loamwriter loaded as a
// plug-in and driven through its exports, as an engine script would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/engine_layout.h"
#include "platform/engine_stand_in.h"
#include "platform/shared_library.h"
#include "terrain/bmp_image.h"
#include "terrain/terrain_grid.h"

namespace example {

// The built loamwriter library, loaded as the engine loads it, and the
// addresses of its nine exports. The library stays loaded as long as this
// object lives.
class LoamwriterLibrary {
 public:
  using BindFn = int32_t (*)(engine::HostRecord*);
  using OpenFn = int32_t (*)(const char*);
  using HeaderFn = int32_t (*)(const engine::Fixed10Vector*, const engine::Fixed10Vector*,
                               const engine::Fixed10Vector*);
  using SkinFn = int32_t (*)(const engine::EngineNamedRecord*, engine::EngineBitmap*);
  using EmptySkinFn = int32_t (*)(int32_t, int32_t, const engine::EngineNamedRecord*);
  using FrameFn = int32_t (*)(const engine::EngineNamedRecord*);
  using VertexFn = int32_t (*)(int32_t, const engine::Fixed10Vector*);
  using PlainFn = int32_t (*)();

  LoamwriterLibrary() = default;
  LoamwriterLibrary(const LoamwriterLibrary&) = delete;
  LoamwriterLibrary& operator=(const LoamwriterLibrary&) = delete;

  // Loads the library at `path` and finds every export. False with a
  // one-line reason in `error` when it cannot be loaded or lacks an export.
  bool Load(const std::string& path, std::string& error);

  BindFn A6_DLLAPI = nullptr;
  OpenFn WriteHMP = nullptr;
  HeaderFn WriteHmpHeader = nullptr;
  SkinFn WriteHmpSkin = nullptr;
  EmptySkinFn WriteSkinEmpty = nullptr;
  FrameFn WriteHmpFrame = nullptr;
  VertexFn WriteHmpVertex = nullptr;
  PlainFn WriteHmpFrameEnd = nullptr;
  PlainFn WriteHmpClose = nullptr;

 private:
  platform::SharedLibrary library_;
};

// What WriteTerrainFile made.
struct TerrainFileReport {
  std::string skin;     // how the skin was made
  double lowest = 0.0;  // height range handed to the header
  double highest = 0.0;
  double packedStep = 0.0;  // height of one packed step
};

// Writes `terrain` (heights in world units, row 0 at the lower z edge of the
// generated area, spaced as its spacings say) to `path` as an engine script
// would: binds the library to `engine`, opens the file, sets the header from the height range (params:
// the column count and the two spacings, as the engine's terrain files
// carry them), adds one skin (from `skin` when given, as an 888 engine
// bitmap, else a blank skin), writes one frame with a vertex per height and
// a normal from the neighbouring heights, and closes the file. Heights are
// handed over half a packed step up, so that the plug-in's truncation packs
// each to its nearest step. False with a one-line reason in `error` when an
// export reports a failure or a value does not fit in an engine number.
bool WriteTerrainFile(const LoamwriterLibrary& library, platform::EngineStandIn& engine,
                      const terrain::TerrainGrid& terrain, const terrain::BmpImage* skin,
                      const std::string& path, TerrainFileReport& report, std::string& error);

}  // namespace example
