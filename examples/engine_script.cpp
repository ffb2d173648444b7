#include "examples/engine_script.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "platform/progress_line.h"
#include "plugin/terrain_recipe.h"

namespace example {

namespace {

// The result every successful export returns, and the binding's answer.
constexpr int32_t kEngineTrue = 1024;
constexpr int32_t kBindingAnswer = 630;
// The pixel format and bytes per pixel of a 24-bit engine bitmap.
constexpr int32_t kFormat888 = 888;
constexpr int32_t kBytesPerPixel888 = 3;

template <typename Fn>
bool Find(const platform::SharedLibrary& library, const char* name, Fn& out, std::string& error) {
  out = reinterpret_cast<Fn>(library.Symbol(name));
  if (out == nullptr) error = std::string("the library has no export ") + name;
  return out != nullptr;
}

// The normal at (x, y) as the vertex export takes it.
engine::Fixed10Vector NormalAt(const terrain::TerrainGrid& t, int32_t x, int32_t y) {
  const loamwriter::SurfaceNormal normal =
      loamwriter::NormalAt(t.heights, t.columns, t.rows, t.spacingX, t.spacingY, x, y);
  return engine::Fixed10Vector{loamwriter::RoundToFixed10(normal.east),
                               loamwriter::RoundToFixed10(normal.north),
                               loamwriter::RoundToFixed10(normal.up)};
}

// The skin: from `skin` as an 888 engine bitmap, else a blank skin.
bool WriteSkin(const LoamwriterLibrary& library, platform::EngineStandIn& engine,
               const terrain::TerrainGrid& terrain, const terrain::BmpImage* skin, TerrainFileReport& report,
               std::string& error) {
  if (skin != nullptr) {
    engine::EngineBitmap* bitmap =
        engine.AddBitmap(kFormat888, skin->width, skin->height, kBytesPerPixel888, 0, skin->pixels);
    const int32_t result = library.WriteHmpSkin(engine.AddNamed("preview"), bitmap);
    report.skin = std::to_string(skin->width) + " x " + std::to_string(skin->height) + " from the preview";
    if (result != kEngineTrue) {
      error = "WriteHmpSkin answered " + std::to_string(result);
      return false;
    }
  } else {
    int32_t side[2] = {0, 0};
    loamwriter::BlankSkinSides(terrain.columns, terrain.rows, side[0], side[1]);
    const int32_t result = library.WriteSkinEmpty(side[0] * 1024, side[1] * 1024, engine.AddNamed("blank"));
    report.skin = "blank, " + std::to_string(side[0]) + " x " + std::to_string(side[1]);
    if (result != kEngineTrue) {
      error = "WriteSkinEmpty answered " + std::to_string(result);
      return false;
    }
  }
  return true;
}

// One vertex per height, with its normal, and the end of the frame.
bool WriteVertices(const LoamwriterLibrary& library, const terrain::TerrainGrid& terrain,
                   const TerrainFileReport& report, std::string& error) {
  // The plug-in truncates (height - lowest) / step; half a step up makes
  // that the nearest step.
  const loamwriter::HeightPacker packer(report.lowest, report.highest, true);
  // On a terminal, a line that follows the export row by row.
  platform::ProgressLine progress(stderr, "example_host: terrain export", "rows",
                                  static_cast<uint64_t>(terrain.rows),
                                  static_cast<uint64_t>(terrain.columns));
  for (int32_t y = 0; y < terrain.rows; ++y) {
    for (int32_t x = 0; x < terrain.columns; ++x) {
      const double h = terrain.heights[static_cast<size_t>(y) * static_cast<size_t>(terrain.columns) +
                                       static_cast<size_t>(x)];
      const engine::Fixed10Vector normal = NormalAt(terrain, x, y);
      library.WriteHmpVertex(packer.HandedOver(h), &normal);
    }
    progress.Update(static_cast<uint64_t>(y) + 1);
  }
  progress.Clear();
  if (library.WriteHmpFrameEnd() != kEngineTrue) {
    error = "WriteHmpFrameEnd cannot rewrite the frame header";
    return false;
  }
  return true;
}

}  // namespace

bool LoamwriterLibrary::Load(const std::string& path, std::string& error) {
  // A bare name would be searched for on the library path; the system's own
  // path rules say what is bare (on Windows a backslash or a drive counts).
  const std::string name = std::filesystem::path(path).has_parent_path() ? path : "./" + path;
  if (!library_.Open(name)) {
    error = "cannot load " + path + ": " + library_.Error();
    return false;
  }
  return Find(library_, "A6_DLLAPI", A6_DLLAPI, error) && Find(library_, "WriteHMP", WriteHMP, error) &&
         Find(library_, "WriteHmpHeader", WriteHmpHeader, error) &&
         Find(library_, "WriteHmpSkin", WriteHmpSkin, error) &&
         Find(library_, "WriteSkinEmpty", WriteSkinEmpty, error) &&
         Find(library_, "WriteHmpFrame", WriteHmpFrame, error) &&
         Find(library_, "WriteHmpVertex", WriteHmpVertex, error) &&
         Find(library_, "WriteHmpFrameEnd", WriteHmpFrameEnd, error) &&
         Find(library_, "WriteHmpClose", WriteHmpClose, error);
}

bool WriteTerrainFile(const LoamwriterLibrary& library, platform::EngineStandIn& engine,
                      const terrain::TerrainGrid& terrain, const terrain::BmpImage* skin,
                      const std::string& path, TerrainFileReport& report, std::string& error) {
  const uint64_t count =
      static_cast<uint64_t>(std::max(terrain.columns, 0)) * static_cast<uint64_t>(std::max(terrain.rows, 0));
  if (count == 0 || count != terrain.heights.size() || count > INT32_MAX) {
    error = "the terrain needs columns x rows heights, at least one";
    return false;
  }
  const auto range = std::minmax_element(terrain.heights.begin(), terrain.heights.end());
  report.lowest = *range.first;
  report.highest = *range.second;
  loamwriter::TerrainHeaderValues values;
  if (!loamwriter::HeaderValuesFor(terrain.columns, terrain.rows, terrain.spacingX, terrain.spacingY,
                                   report.lowest, report.highest, values) ||
      !(terrain.spacingX > 0.0) || !(terrain.spacingY > 0.0)) {
    error = "the terrain's size or heights do not fit in engine numbers";
    return false;
  }

  if (library.A6_DLLAPI(engine.Host()) != kBindingAnswer) {
    error = "A6_DLLAPI did not answer " + std::to_string(kBindingAnswer);
    return false;
  }
  if (library.WriteHMP(path.c_str()) != kEngineTrue) {
    error = "WriteHMP cannot create " + path;
    return false;
  }
  const engine::Fixed10Vector params{values.params[0], values.params[1], values.params[2]};
  const engine::Fixed10Vector minimum{values.minimum[0], values.minimum[1], values.minimum[2]};
  const engine::Fixed10Vector maximum{values.maximum[0], values.maximum[1], values.maximum[2]};
  library.WriteHmpHeader(&params, &minimum, &maximum);
  report.packedStep = 2.0 * loamwriter::HalfPackedStep(minimum.z, maximum.z);

  bool ok = WriteSkin(library, engine, terrain, skin, report, error);
  if (ok && library.WriteHmpFrame(engine.AddNamed("terrain")) != kEngineTrue) {
    error = "WriteHmpFrame cannot write the frame header";
    ok = false;
  }
  if (ok) ok = WriteVertices(library, terrain, report, error);
  // The file is closed also after a failure, so that its header is final.
  if (library.WriteHmpClose() != kEngineTrue && ok) {
    error = "WriteHmpClose cannot write the final header";
    ok = false;
  }
  if (ok && engine.ProtocolErrors() != 0) {
    error = "the plug-in broke the engine's bitmap protocol";
    ok = false;
  }
  return ok;
}

}  // namespace example
