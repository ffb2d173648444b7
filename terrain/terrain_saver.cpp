#include "terrain/terrain_saver.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "noisemap/error.h"
#include "noisemap/image_grid.h"
#include "platform/file_replacement.h"
#include "platform/little_endian.h"
#include "platform/whole_file.h"
#include "plugin/fixed10.h"
#include "plugin/float_to_int.h"
#include "plugin/hmp7w.h"
#include "plugin/terrain_recipe.h"
#include "terrain/bmp_image.h"
#include "terrain/grey_png.h"
#include "terrain/obj_mesh.h"
#include "terrain/skin_rgba.h"
#include "terrain/terrain_relief.h"
#include "terrain/terrain_texts.h"
#include "terrain/whole_output.h"

namespace terrain {

namespace {

using Kind = TerrainResult::Kind;

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

TerrainResult WriteRaw(const TerrainGrid& grid, const std::string& path) {
  const GreyPicture picture = ToPicture(grid);
  std::vector<uint8_t> bytes(picture.samples.size() * 2);
  for (size_t i = 0; i < picture.samples.size(); ++i) {
    platform::StoreU16(bytes.data() + 2 * i, 0, picture.samples[i]);
  }
  return WriteWholeOutput(path, bytes);
}

// The skin from a 24-bit picture, as the skin export takes an 888 engine
// bitmap: three mip levels picked from level 0. A failure names no picture;
// the caller says which it took.
TerrainResult TakeSkinPicture(SkinPicture& picture) {
  const int64_t w = picture.image.width, h = picture.image.height;
  if (w * h * 3 > INT32_MAX) return TerrainResult(Kind::kTooLarge, "the picture is too large for a skin");
  picture.skin = {loamwriter::kSkinType888WithMips, picture.image.width, picture.image.height, 3, true, {}};
  if (!loamwriter::PickSkinLevels(picture.image.pixels.data(), picture.skin)) {
    return TerrainResult(Kind::kInvalidArgument, "the picture cannot be taken as a skin");
  }
  return TerrainResult();
}

// A failure of TakeSkinPicture worded for a skin that is no file ("the
// relief skin: ...").
TerrainResult OfSkin(const std::string& skin, const TerrainResult& taken) {
  if (taken) return taken;
  return TerrainResult(taken.GetKind(), skin + ": " + taken.Description(), taken.Offset());
}

TerrainResult ReadSkinPicture(const std::string& skinPath, SkinPicture& skin) {
  const TerrainResult read = ReadBmp24(skinPath, skin.image);
  if (!read) return read;
  return TakeSkinPicture(skin).WithPath(skinPath);
}

// The height at grid position (x, y), between samples by bilinear
// interpolation; the position lies inside the grid.
double HeightBetween(const TerrainGrid& grid, double x, double y) {
  const int32_t x0 = std::min(static_cast<int32_t>(x), grid.columns - 1);
  const int32_t y0 = std::min(static_cast<int32_t>(y), grid.rows - 1);
  const int32_t x1 = std::min(x0 + 1, grid.columns - 1), y1 = std::min(y0 + 1, grid.rows - 1);
  const double fx = x - x0, fy = y - y0;
  const double south = grid.heights[grid.Index(x0, y0)] * (1.0 - fx) + grid.heights[grid.Index(x1, y0)] * fx;
  const double north = grid.heights[grid.Index(x0, y1)] * (1.0 - fx) + grid.heights[grid.Index(x1, y1)] * fx;
  return south * (1.0 - fy) + north * fy;
}

// The relief skin: the terrain's lit relief as terrainview draws it, from
// the heights at the centres of the skin's pixels, north at the top. Its
// sides are those of the blank skin, the grid's sides rounded up to a
// multiple of 8 and at most 1024 (40 x 40 for 33 x 33 samples, 1024 x 1024
// for 8193 x 8193), so that every reader takes it and a huge grid does not
// make a huge skin (1024 x 1024 pixels with their mip levels are 4 MiB).
// The skin spans the grid from its first sample to its last, as the
// engine lays it over the terrain.
TerrainResult TakeReliefSkin(const TerrainGrid& grid, SkinPicture& picture) {
  TerrainGrid sampled;
  loamwriter::BlankSkinSides(grid.columns, grid.rows, sampled.columns, sampled.rows);
  const double stepX = (grid.columns - 1) / static_cast<double>(sampled.columns);
  const double stepY = (grid.rows - 1) / static_cast<double>(sampled.rows);
  sampled.heights.resize(static_cast<size_t>(sampled.columns) * static_cast<size_t>(sampled.rows));
  for (int32_t v = 0; v < sampled.rows; ++v) {
    for (int32_t u = 0; u < sampled.columns; ++u) {
      sampled.heights[sampled.Index(u, v)] = HeightBetween(grid, (u + 0.5) * stepX, (v + 0.5) * stepY);
    }
  }
  // Heights keep their units, so the spacing shrinks with the step between
  // the pixels' centres.
  sampled.spacingX = grid.spacingX * (grid.columns > 1 ? stepX : 1.0);
  noise::utils::ImageGrid image;
  try {
    RenderTerrain(sampled, false, image);
  } catch (const noise::utils::ErrorMessage& e) {
    return TerrainResult(Kind::kInvalidArgument, "the relief skin cannot be drawn: " + e.Message());
  } catch (const noise::Exception&) {
    return TerrainResult(Kind::kInvalidArgument, "the relief skin cannot be drawn");
  }
  picture.image = PictureOfImage(image);
  return OfSkin("the relief skin", TakeSkinPicture(picture));
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

// The skin written when neither a picture nor the input gives one.
DefaultSkin DefaultSkinFor(const TerrainGrid& grid, const TerrainOptions& options) {
  if (options.defaultSkin != DefaultSkin::kAutomatic) return options.defaultSkin;
  return grid.skinsRead ? DefaultSkin::kNone : DefaultSkin::kRelief;
}

// The skins: the picture given (the relief skin among them), else those of
// the HMP file read, else a blank skin or none as the options say.
bool WriteSkins(loamwriter::HMP7W& writer, const TerrainGrid& grid, const TerrainOptions& options,
                const SkinPicture* picture) {
  if (picture != nullptr) {
    return loamwriter::WriteSkinLevels(writer, "preview", picture->skin);
  }
  if (grid.skins.empty()) {
    if (DefaultSkinFor(grid, options) != DefaultSkin::kBlank) return true;
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

bool WriteHmpRecords(loamwriter::HMP7W& writer, const TerrainGrid& grid, const TerrainOptions& options,
                     const SkinPicture* picture) {
  bool whole = WriteSkins(writer, grid, options, picture);
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
TerrainResult WriteHmp(const TerrainGrid& grid, const TerrainOptions& options, const SkinPicture* picture,
                       const std::string& path) {
  loamwriter::TerrainHeaderValues values;
  if (!loamwriter::HeaderValuesFor(grid.columns, grid.rows, grid.spacingX, grid.spacingY, grid.low, grid.high,
                                   values)) {
    return TerrainResult(Kind::kTooLarge,
                         "the terrain's extent does not fit in the numbers of an HMP header");
  }
  platform::FileReplacement output;
  const int fd = output.Begin(path.c_str());
  loamwriter::HMP7W writer;
  if (fd < 0 || writer.OpenDescriptor(fd) < 0) {
    return TerrainResult::FromReason(fd < 0 ? output.LastFailure() : writer.LastFailure()).WithPath(path);
  }
  loamwriter::SetHeaderFromRange(writer.header, values);
  KeepHmpHeader(grid, options, writer.header);
  const bool whole = WriteHmpRecords(writer, grid, options, picture);
  const bool closed = writer.Close();
  return FinishWholeOutput(closed && whole, writer.LastFailure(), output, path);
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
      // A skin holds its picture's rows from the bottom up, as the skin
      // export stores an engine bitmap; the texture runs from the top.
      const size_t rowBytes = static_cast<size_t>(skin.width) * 4;
      for (size_t top = 0, bottom = static_cast<size_t>(skin.height) - 1; top < bottom; ++top, --bottom) {
        std::swap_ranges(texture.rgba.begin() + static_cast<ptrdiff_t>(top * rowBytes),
                         texture.rgba.begin() + static_cast<ptrdiff_t>((top + 1) * rowBytes),
                         texture.rgba.begin() + static_cast<ptrdiff_t>(bottom * rowBytes));
      }
      return true;
    }
  }
  return false;
}

TerrainResult SaveFormat(const TerrainGrid& grid, TerrainFormat format, const TerrainOptions& options,
                         const SkinPicture* picture, const std::string& path) {
  switch (format) {
    case TerrainFormat::kHmp: {
      SkinPicture relief;
      if (picture == nullptr && grid.skins.empty() && DefaultSkinFor(grid, options) == DefaultSkin::kRelief) {
        const TerrainResult drawn = TakeReliefSkin(grid, relief);
        if (!drawn) return drawn;
        picture = &relief;
      }
      return WriteHmp(grid, options, picture, path);
    }
    case TerrainFormat::kPng: {
      GreyPicture heights = ToPicture(grid);
      heights.texts = TerrainTexts(grid);
      return WriteGreyPng(heights, path);
    }
    case TerrainFormat::kRaw:
      return WriteRaw(grid, path);
    case TerrainFormat::kObj: {
      ObjTexture texture;
      texture.fileName = options.objTextureName;
      return WriteObjMesh(grid, TextureOf(grid, picture, texture) ? &texture : nullptr, path);
    }
    default:
      return TerrainResult(Kind::kUnsupported,
                           "terrains are written to .hmp, .png, .r16, .raw and .obj files");
  }
}

}  // namespace

TerrainResult PrepareTerrain(const TerrainOptions& options, TerrainGrid& grid) {
  const double scale = options.heightScale;
  for (double& height : grid.heights) {
    height *= scale;
    if (!std::isfinite(height)) return TerrainResult(Kind::kMalformed, "a height is not a finite number");
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
    return TerrainResult(
        Kind::kTooLarge,
        "the height range does not fit in the numbers of an HMP header (-2097151 to 2097151)");
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
  return TerrainResult();
}

TerrainResult SaveTerrain(const TerrainGrid& grid, TerrainFormat format, const TerrainOptions& options,
                          const BmpImage& skin, const std::string& path) {
  try {
    SkinPicture picture;
    picture.image = skin;
    const TerrainResult taken = OfSkin("the skin", TakeSkinPicture(picture));
    if (!taken) return taken;
    return SaveFormat(grid, format, options, &picture, path);
  } catch (const std::bad_alloc&) {
    return TerrainResult(Kind::kTooLarge, "not enough memory").WithPath(path);
  }
}

TerrainResult SaveTerrain(const TerrainGrid& grid, TerrainFormat format, const TerrainOptions& options,
                          const std::string& path, std::string* warning) {
  SkinPicture picture;
  const bool hasPicture = !options.skinPath.empty();
  if (hasPicture) {
    const TerrainResult read = ReadSkinPicture(options.skinPath, picture);
    if (!read) return read;
  }
  if (hasPicture && warning != nullptr && format == TerrainFormat::kHmp)
    *warning = SkinSizeWarning(options.skinPath, picture.image);
  try {
    return SaveFormat(grid, format, options, hasPicture ? &picture : nullptr, path);
  } catch (const std::bad_alloc&) {
    return TerrainResult(Kind::kTooLarge, "not enough memory").WithPath(path);
  }
}

}  // namespace terrain
