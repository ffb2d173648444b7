#include "terrain/terrain_loader.h"

#include <algorithm>
#include <new>

#include "platform/little_endian.h"
#include "platform/whole_file.h"
#include "plugin/terrain_recipe.h"
#include "terrain/grey_png.h"
#include "terrain/hmp_file.h"
#include "terrain/noise_array.h"
#include "terrain/terrain_texts.h"

namespace terrain {

namespace {

using loamwriter::kPackedRange;
using loamwriter::kPackedTop;
using Kind = TerrainResult::Kind;

// The largest grid an HMP frame can count.
constexpr uint64_t kLargestGrid = INT32_MAX;

// Whether a grid of columns x rows fits in one HMP frame.
bool GridFits(int64_t columns, int64_t rows) {
  return columns > 0 && rows > 0 &&
         static_cast<uint64_t>(columns) * static_cast<uint64_t>(rows) <= kLargestGrid;
}

// Whether the options give what a height array or RAW file needs; a
// failure of kInvalidArgument where they do not.
TerrainResult CheckGridOptions(TerrainFormat format, const TerrainOptions& options) {
  const bool heightArray = format == TerrainFormat::kHeightArray;
  const GridOptionNames& names = options.gridNames;
  if (options.columns <= 0 || options.rows <= 0) {
    return TerrainResult(Kind::kInvalidArgument, std::string(heightArray ? "a height array" : "a RAW file") +
                                                     " needs " + names.needsSize);
  }
  if (heightArray && (options.tilesX <= 0 || options.tilesZ <= 0 || options.columns % options.tilesX != 0 ||
                      options.rows % options.tilesZ != 0)) {
    return TerrainResult(Kind::kInvalidArgument,
                         names.tiles + " must divide " + names.size + " into whole tiles");
  }
  if (!GridFits(options.columns, options.rows)) {
    return TerrainResult(Kind::kInvalidArgument, names.size + " is larger than a terrain can be");
  }
  return TerrainResult();
}

TerrainResult ReadHeightArray(const std::vector<uint8_t>& bytes, const TerrainOptions& options,
                              TerrainGrid& grid) {
  std::vector<float> values, tiles;
  TerrainResult read = ParseNoiseArray(bytes, values);
  if (read) {
    read = AssembleTiles(values, options.tilesX, options.tilesZ, options.columns / options.tilesX,
                         options.rows / options.tilesZ, tiles);
  }
  if (!read) return read;
  grid.columns = options.columns;
  grid.rows = options.rows;
  grid.heights.assign(tiles.begin(), tiles.end());
  return TerrainResult();
}

// The skins of `file` with their levels split as stored.
bool CopySkins(const HmpFile& file, std::vector<TerrainSkin>& skins) {
  for (size_t i = 0; i < file.Skins().size(); ++i) {
    const HmpSkinInfo& info = file.Skins()[i];
    std::vector<uint8_t> data;
    if (!file.SkinBytes(i, data)) return false;
    TerrainSkin skin{
        static_cast<uint8_t>(info.type), info.width, info.height, info.bytesPerPixel, info.mipmaps, {}};
    uint64_t w = static_cast<uint64_t>(info.width), h = static_cast<uint64_t>(info.height), at = 0;
    for (int level = 0; level < (info.mipmaps ? 4 : 1); ++level) {
      const uint64_t size = w * h * static_cast<uint64_t>(info.bytesPerPixel);
      if (size > data.size() - at) return false;
      skin.levels[level].assign(data.begin() + static_cast<ptrdiff_t>(at),
                                data.begin() + static_cast<ptrdiff_t>(at + size));
      at += size;
      w /= 2;
      h /= 2;
    }
    skins.push_back(std::move(skin));
  }
  return true;
}

TerrainResult ReadHmp(std::vector<uint8_t> bytes, TerrainGrid& grid) {
  HmpFile file;
  platform::FailureReason reason;
  if (!file.Parse(std::move(bytes)) || !file.FirstFrameGrid(grid.columns, grid.rows, grid.packed, reason)) {
    return TerrainResult::FromReason(file.LastFailure().IsFailure() ? file.LastFailure() : reason);
  }
  grid.heights.resize(grid.packed.size());
  for (size_t i = 0; i < grid.packed.size(); ++i) grid.heights[i] = file.Height(grid.packed[i]);
  grid.low = file.Height(0);
  grid.high = file.Height(kPackedTop);
  grid.rangeKnown = true;
  grid.spacingX = file.Header().param1;
  grid.spacingY = file.Header().param2;
  grid.hasHmpHeader = true;
  grid.hmpHeader = file.Header();
  grid.skinsRead = true;
  if (!CopySkins(file, grid.skins))
    return TerrainResult(Kind::kMalformed, "a skin of the file cannot be taken");
  return TerrainResult();
}

// Picture rows run from the north; terrain rows from the south. The range is
// the options', else the picture's stored one, else 0 .. 65535; a stored
// spacing comes along.
void FromPicture(const GreyPicture& picture, const TerrainOptions& options, TerrainGrid& grid) {
  const StoredTerrainTexts stored = ReadTerrainTexts(picture.texts);
  grid.columns = picture.width;
  grid.rows = picture.height;
  grid.packed.resize(picture.samples.size());
  for (int32_t y = 0; y < grid.rows; ++y) {
    std::copy_n(picture.samples.begin() + static_cast<ptrdiff_t>(grid.Index(0, grid.rows - 1 - y)),
                grid.columns, grid.packed.begin() + static_cast<ptrdiff_t>(grid.Index(0, y)));
  }
  grid.rangeKnown = options.hasRange || stored.hasRange;
  grid.low = options.hasRange ? options.rangeLow : (stored.hasRange ? stored.low : 0.0);
  grid.high = options.hasRange ? options.rangeHigh : (stored.hasRange ? stored.high : kPackedRange);
  if (stored.hasSpacing) {
    grid.spacingX = stored.spacingX;
    grid.spacingY = stored.spacingY;
  }
  grid.heights.resize(grid.packed.size());
  for (size_t i = 0; i < grid.packed.size(); ++i) {
    grid.heights[i] = grid.low + grid.packed[i] * ((grid.high - grid.low) / kPackedRange);
  }
}

// A RAW file's samples; a file of another size than the options' is
// malformed (its size is all that tells its samples).
TerrainResult ReadRaw(const std::vector<uint8_t>& bytes, const TerrainOptions& options, TerrainGrid& grid) {
  const uint64_t count = static_cast<uint64_t>(options.columns) * static_cast<uint64_t>(options.rows);
  if (bytes.size() != count * 2) {
    const GridOptionNames& names = options.gridNames;
    const std::string columns = std::to_string(options.columns), rows = std::to_string(options.rows);
    return TerrainResult(
        Kind::kMalformed,
        "holds " + std::to_string(bytes.size()) + " bytes, but " + names.size +
            (names.rowsFirst ? "(" + rows + ", " + columns + ")" : " " + columns + "x" + rows) + " needs " +
            std::to_string(count * 2));
  }
  GreyPicture picture;
  picture.width = options.columns;
  picture.height = options.rows;
  picture.samples.resize(static_cast<size_t>(count));
  for (size_t i = 0; i < picture.samples.size(); ++i) {
    picture.samples[i] = platform::LoadU16(bytes.data() + 2 * i, 0);
  }
  FromPicture(picture, options, grid);
  return TerrainResult();
}

TerrainResult ReadFormat(std::vector<uint8_t> bytes, TerrainFormat format, const TerrainOptions& options,
                         TerrainGrid& grid) {
  switch (format) {
    case TerrainFormat::kHeightArray:
      return ReadHeightArray(bytes, options, grid);
    case TerrainFormat::kHmp:
      return ReadHmp(std::move(bytes), grid);
    case TerrainFormat::kPng: {
      GreyPicture picture;
      const TerrainResult read = ReadGreyPng(bytes, picture);
      if (read) FromPicture(picture, options, grid);
      return read;
    }
    default:
      return ReadRaw(bytes, options, grid);
  }
}

// Reads `bytes` in `format`, where `format` has come from the options or
// the name when they tell it, else from the content.
// A name with an extension that names no terrain format is refused; bytes
// without a name need the options to name a format their content does not.
TerrainResult Load(std::vector<uint8_t> bytes, const TerrainOptions& options, bool foreignName,
                   TerrainGrid& grid, TerrainFormat& format) {
  if (format == TerrainFormat::kUnknown) format = FormatOfContent(bytes);
  if (format == TerrainFormat::kObj || (format == TerrainFormat::kUnknown && foreignName)) {
    return TerrainResult(Kind::kUnsupported, "terrains are read from .txt, .hmp, .png, .r16 and .raw files");
  }
  if (format == TerrainFormat::kUnknown) {
    return TerrainResult(
        Kind::kInvalidArgument,
        "cannot tell a height array from a RAW file by its content; name the format (txt or raw)");
  }
  if (format == TerrainFormat::kHeightArray || format == TerrainFormat::kRaw) {
    const TerrainResult checked = CheckGridOptions(format, options);
    if (!checked) return checked;
  }
  grid = TerrainGrid();
  try {
    return ReadFormat(std::move(bytes), format, options, grid);
  } catch (const std::bad_alloc&) {
    return TerrainResult(Kind::kTooLarge, "not enough memory for the terrain");
  }
}

}  // namespace

TerrainResult LoadTerrain(const std::string& path, const TerrainOptions& options, TerrainGrid& grid,
                          TerrainFormat& format) {
  format = options.format != TerrainFormat::kUnknown ? options.format : FormatOfName(path);
  std::vector<uint8_t> bytes;
  platform::FailureReason reason;
  if (!platform::ReadWholeFile(path.c_str(), bytes, reason))
    return TerrainResult::FromReason(reason).WithPath(path);
  const size_t dot = path.find_last_of("./");
  const bool foreignName = format == TerrainFormat::kUnknown && dot != std::string::npos && path[dot] == '.';
  return Load(std::move(bytes), options, foreignName, grid, format).WithPath(path);
}

TerrainResult LoadTerrain(std::vector<uint8_t> bytes, const TerrainOptions& options, TerrainGrid& grid,
                          TerrainFormat& format) {
  format = options.format;
  return Load(std::move(bytes), options, false, grid, format);
}

}  // namespace terrain
