#include "terrain/terrain_saver.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "platform/file_replacement.h"
#include "platform/whole_file.h"
#include "plugin/fixed10.h"
#include "plugin/float_to_int.h"
#include "plugin/hmp7w.h"
#include "plugin/terrain_recipe.h"
#include "terrain/bmp_image.h"
#include "terrain/grey_png.h"
#include "terrain/obj_mesh.h"
#include "terrain/skin_rgba.h"
#include "terrain/terrain_texts.h"
#include "terrain/whole_output.h"

namespace terrain {

namespace {

// The skin options.skinPath names: the picture and the levels the skin
// export picks from it.
struct SkinPicture {
  BmpImage image;
  loamwriter::SkinLevels skin;
};

bool Fits(double value) { return loamwriter::FitsFixed10(value); }

// Picture and RAW rows run from the north; grid rows from the south.
GreyPicture ToPicture(const TerrainGrid& grid) {
  GreyPicture picture;
  picture.width = grid.columns;
  picture.height = grid.rows;
  picture.samples.resize(grid.packed.size());
  for (int32_t y = 0; y < grid.rows; ++y) {
    std::copy_n(grid.packed.begin() + static_cast<ptrdiff_t>(grid.Index(0, grid.rows - 1 - y)), grid.columns,
                picture.samples.begin() + static_cast<ptrdiff_t>(grid.Index(0, y)));
  }
  return picture;
}

bool WriteRaw(const TerrainGrid& grid, const std::string& path, std::string& error) {
  const GreyPicture picture = ToPicture(grid);
  std::vector<uint8_t> bytes(picture.samples.size() * 2);
  for (size_t i = 0; i < picture.samples.size(); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(picture.samples[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(picture.samples[i] >> 8);
  }
  return WriteWholeOutput(path, bytes, error);
}

// The skin from a 24-bit picture, as the skin export takes an 888 engine
// bitmap: three mip levels picked from level 0.
bool TakeSkinPicture(const std::string& skinPath, SkinPicture& picture, std::string& error) {
  const int64_t w = picture.image.width, h = picture.image.height;
  if (w * h * 3 > INT32_MAX) {
    error = skinPath + ": the picture is too large for a skin";
    return false;
  }
  picture.skin = {loamwriter::kSkinType888WithMips, picture.image.width, picture.image.height, 3, true, {}};
  if (!loamwriter::PickSkinLevels(picture.image.pixels.data(), picture.skin)) {
    error = skinPath + ": the picture cannot be taken as a skin";
    return false;
  }
  return true;
}

bool ReadSkinPicture(const std::string& skinPath, SkinPicture& skin, std::string& error) {
  if (!ReadBmp24(skinPath, skin.image, error)) {
    error = skinPath + ": " + error;
    return false;
  }
  return TakeSkinPicture(skinPath, skin, error);
}

// A line for a skin whose sides some readers take differently, naming the
// nearest sizes all readers agree on; empty for a portable skin.
std::string SkinSizeWarning(const std::string& skinPath, const BmpImage& skin) {
  if (loamwriter::PortableSkinSides(skin.width, skin.height)) return std::string();
  auto side = [](int32_t n, int32_t up) {
    const int32_t multiple = (n / loamwriter::kPortableSkinStep + up) * loamwriter::kPortableSkinStep;
    return std::to_string(std::max(multiple, loamwriter::kPortableSkinStep));
  };
  return skinPath + " is " + std::to_string(skin.width) + " x " + std::to_string(skin.height) +
         "; some readers take only skins whose sides are multiples of " +
         std::to_string(loamwriter::kPortableSkinStep) + ", such as " + side(skin.width, 0) + " x " +
         side(skin.height, 0) + " or " + side(skin.width, 1) + " x " + side(skin.height, 1);
}

// Gives back the header fields of the HMP file the grid came from, when its
// heights and spacings stay as they were; the writer keeps its own magic,
// version and counts.
void KeepHmpHeader(const TerrainGrid& grid, const TerrainOptions& options, loamwriter::HmpHeader& header) {
  if (!grid.hasHmpHeader || options.hasRange || options.heightScale != 1.0 || options.spacingX > 0.0 ||
      options.spacingY > 0.0)
    return;
  const loamwriter::HmpHeader written = header;
  header = grid.hmpHeader;
  std::copy(written.magic, written.magic + 4, header.magic);
  header.version = written.version;
  header.numSkins = written.numSkins;
  header.numVertices = written.numVertices;
  header.numFrames = written.numFrames;
}

// The skins: the picture given, else those of the HMP file read, else a
// blank skin.
bool WriteSkins(loamwriter::HMP7W& writer, const TerrainGrid& grid, const SkinPicture* picture) {
  if (picture != nullptr) {
    return loamwriter::WriteSkinLevels(writer, "preview", picture->skin);
  }
  if (grid.skins.empty()) {
    int32_t width = 0, height = 0;
    loamwriter::BlankSkinSides(grid.columns, grid.rows, width, height);
    return loamwriter::WriteBlankSkin(writer, width, height, "blank");
  }
  bool whole = true;
  for (const TerrainSkin& kept : grid.skins) {
    whole = loamwriter::WriteSkinLevels(writer, "skin", kept) && whole;
  }
  return whole;
}

bool WriteHmpRecords(loamwriter::HMP7W& writer, const TerrainGrid& grid, const SkinPicture* picture) {
  bool whole = WriteSkins(writer, grid, picture);
  whole = whole && writer.BeginFrame("terrain");
  for (int32_t y = 0; y < grid.rows && whole; ++y) {
    for (int32_t x = 0; x < grid.columns; ++x) {
      const loamwriter::SurfaceNormal normal =
          loamwriter::NormalAt(grid.heights, grid.columns, grid.rows, grid.spacingX, grid.spacingY, x, y);
      whole = writer.AddFrameVertex(grid.packed[grid.Index(x, y)],
                                    loamwriter::Fixed10ToReal(loamwriter::RoundToFixed10(normal.east)),
                                    loamwriter::Fixed10ToReal(loamwriter::RoundToFixed10(normal.north)),
                                    loamwriter::Fixed10ToReal(loamwriter::RoundToFixed10(normal.up))) &&
              whole;
    }
  }
  return writer.FinishFrame() && whole;
}

// The file the exports write for these heights: header with the grid's
// extent, the spacings and the height range, the skins, one frame. It goes
// to its name only once it is whole.
bool WriteHmp(const TerrainGrid& grid, const TerrainOptions& options, const SkinPicture* picture,
              const std::string& path, std::string& error) {
  loamwriter::TerrainHeaderValues values;
  if (!loamwriter::HeaderValuesFor(grid.columns, grid.rows, grid.spacingX, grid.spacingY, grid.low, grid.high,
                                   values)) {
    error = "the terrain's extent does not fit in the numbers of an HMP header";
    return false;
  }
  platform::FileReplacement output;
  const int fd = output.Begin(path.c_str());
  loamwriter::HMP7W writer;
  if (fd < 0 || writer.OpenDescriptor(fd) < 0) {
    error = path + ": " + (fd < 0 ? output.LastFailure() : writer.LastFailure()).Text();
    return false;
  }
  loamwriter::SetHeaderFromRange(writer.header, values);
  KeepHmpHeader(grid, options, writer.header);
  const bool whole = WriteHmpRecords(writer, grid, picture);
  const bool closed = writer.Close();
  return FinishWholeOutput(closed && whole, writer.LastFailure(), output, path, error);
}

// The OBJ texture: the picture given, else the first true-colour skin of
// the HMP file read (a blank skin holds palette indices); false for none.
bool TextureOf(const TerrainGrid& grid, const SkinPicture* picture, ObjTexture& texture) {
  if (picture != nullptr) {
    const BmpImage& image = picture->image;
    texture.width = image.width;
    texture.height = image.height;
    return DecodeSkinRgba(loamwriter::kSkinType888WithMips, 3, image.width, image.height, image.pixels.data(),
                          texture.rgba);
  }
  for (const TerrainSkin& skin : grid.skins) {
    if (DecodeSkinRgba(skin.type, skin.bytesPerPixel, skin.width, skin.height, skin.levels[0].data(),
                       texture.rgba)) {
      texture.width = skin.width;
      texture.height = skin.height;
      return true;
    }
  }
  return false;
}

bool SaveFormat(const TerrainGrid& grid, TerrainFormat format, const TerrainOptions& options,
                const SkinPicture* picture, const std::string& path, std::string& error) {
  switch (format) {
    case TerrainFormat::kHmp:
      return WriteHmp(grid, options, picture, path, error);
    case TerrainFormat::kPng: {
      GreyPicture heights = ToPicture(grid);
      heights.texts = TerrainTexts(grid);
      return WriteGreyPng(heights, path, error);
    }
    case TerrainFormat::kRaw:
      return WriteRaw(grid, path, error);
    case TerrainFormat::kObj: {
      ObjTexture texture;
      texture.fileName = options.objTextureName;
      return WriteObjMesh(grid, TextureOf(grid, picture, texture) ? &texture : nullptr, path, error);
    }
    default:
      error = "terrains are written to .hmp, .png, .r16, .raw and .obj files";
      return false;
  }
}

}  // namespace

bool PrepareTerrain(const TerrainOptions& options, TerrainGrid& grid, std::string& error) {
  const double scale = options.heightScale;
  for (double& height : grid.heights) {
    height *= scale;
    if (!std::isfinite(height)) {
      error = "a height is not a finite number";
      return false;
    }
  }
  grid.low *= scale;
  grid.high *= scale;
  auto spacing = [](double given, double own) {
    return given > 0.0 ? given : (own > 0.0 && std::isfinite(own) ? own : 1.0);
  };
  grid.spacingX = spacing(options.spacingX, grid.spacingX);
  grid.spacingY = spacing(options.spacingY, grid.spacingY);

  const bool keepPacked = !grid.packed.empty() && !(grid.hasHmpHeader && options.hasRange);
  if (!keepPacked) {
    if (options.hasRange) {
      grid.low = options.rangeLow;
      grid.high = options.rangeHigh;
    } else {
      const auto range = std::minmax_element(grid.heights.begin(), grid.heights.end());
      grid.low = *range.first;
      grid.high = *range.second;
    }
  }
  if (!Fits(grid.low) || !Fits(grid.high)) {
    error = "the height range does not fit in the numbers of an HMP header (-2097151 to 2097151)";
    return false;
  }
  grid.rangeKnown = true;
  grid.packedLow = grid.low;
  grid.packedHigh = grid.high;
  if (!keepPacked) {
    const loamwriter::HeightPacker packer(grid.low, grid.high, options.engineValues);
    grid.packed.resize(grid.heights.size());
    for (size_t i = 0; i < grid.heights.size(); ++i) grid.packed[i] = packer.Pack(grid.heights[i]);
    grid.packedLow = packer.Unpack(0);
    grid.packedHigh = packer.Unpack(loamwriter::kPackedTop);
  }
  return true;
}

bool SaveTerrain(const TerrainGrid& grid, TerrainFormat format, const TerrainOptions& options,
                 const BmpImage& skin, const std::string& path, std::string& error) {
  try {
    SkinPicture picture;
    picture.image = skin;
    return TakeSkinPicture("the skin", picture, error) &&
           SaveFormat(grid, format, options, &picture, path, error);
  } catch (const std::bad_alloc&) {
    error = path + ": not enough memory";
    return false;
  }
}

bool SaveTerrain(const TerrainGrid& grid, TerrainFormat format, const TerrainOptions& options,
                 const std::string& path, std::string& error, std::string* warning) {
  SkinPicture picture;
  const bool hasPicture = !options.skinPath.empty();
  if (hasPicture && !ReadSkinPicture(options.skinPath, picture, error)) return false;
  if (hasPicture && warning != nullptr && format == TerrainFormat::kHmp)
    *warning = SkinSizeWarning(options.skinPath, picture.image);
  try {
    return SaveFormat(grid, format, options, hasPicture ? &picture : nullptr, path, error);
  } catch (const std::bad_alloc&) {
    error = path + ": not enough memory";
    return false;
  }
}

}  // namespace terrain
