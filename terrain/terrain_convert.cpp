#include "terrain/terrain_convert.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

#include "platform/file_replacement.h"
#include "platform/record_file_writer.h"
#include "platform/whole_file.h"
#include "plugin/fixed10.h"
#include "plugin/float_to_int.h"
#include "plugin/hmp7w.h"
#include "plugin/terrain_recipe.h"
#include "terrain/bmp_image.h"
#include "terrain/grey_png.h"
#include "terrain/hmp_file.h"
#include "terrain/noise_array.h"

namespace terrain {

namespace {

using loamwriter::kPackedRange;
using loamwriter::kPackedTop;

// The largest grid an HMP frame can count.
constexpr uint64_t kLargestGrid = INT32_MAX;

bool Fits(double value) { return loamwriter::FitsFixed10(value); }

size_t Index(const ConvertTerrain& t, int32_t x, int32_t y) {
  return static_cast<size_t>(y) * static_cast<size_t>(t.columns) + static_cast<size_t>(x);
}

loamwriter::SurfaceNormal NormalAt(const ConvertTerrain& t, int32_t x, int32_t y) {
  return loamwriter::NormalAt(t.heights, t.columns, t.rows, t.spacingX, t.spacingY, x, y);
}

// Whether a grid of columns x rows fits in one HMP frame.
bool GridFits(int64_t columns, int64_t rows) {
  return columns > 0 && rows > 0 &&
         static_cast<uint64_t>(columns) * static_cast<uint64_t>(rows) <= kLargestGrid;
}

bool ReadBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  platform::FailureReason reason;
  if (!platform::ReadWholeFile(path.c_str(), bytes, reason)) {
    error = reason.Text();
    return false;
  }
  return true;
}

bool WriteBytes(const std::string& path, const void* data, size_t size, std::string& error) {
  platform::FailureReason reason;
  if (!platform::WriteWholeFile(path.c_str(), data, size, reason)) {
    error = path + ": " + reason.Text();
    return false;
  }
  return true;
}

bool ReadHeightArray(const std::vector<uint8_t>& bytes, const ConvertSettings& settings,
                     ConvertTerrain& terrain, std::string& error) {
  if (settings.columns <= 0) {
    error = "a height array needs --size COLUMNSxROWS";
    return false;
  }
  if (settings.columns % settings.tilesX != 0 || settings.rows % settings.tilesZ != 0) {
    error = "--tiles must divide --size into whole tiles";
    return false;
  }
  if (!GridFits(settings.columns, settings.rows)) {
    error = "--size is larger than a terrain can be";
    return false;
  }
  std::vector<float> values, grid;
  if (!ParseNoiseArray(bytes, values, error) ||
      !AssembleTiles(values, settings.tilesX, settings.tilesZ, settings.columns / settings.tilesX,
                     settings.rows / settings.tilesZ, grid, error)) {
    return false;
  }
  terrain.columns = settings.columns;
  terrain.rows = settings.rows;
  terrain.heights.assign(grid.begin(), grid.end());
  return true;
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

bool ReadHmp(std::vector<uint8_t> bytes, ConvertTerrain& terrain, std::string& error) {
  HmpFile file;
  if (!file.Parse(std::move(bytes))) {
    error = file.Error();
    return false;
  }
  if (!file.FirstFrameGrid(terrain.columns, terrain.rows, terrain.packed, error)) return false;
  terrain.heights.resize(terrain.packed.size());
  for (size_t i = 0; i < terrain.packed.size(); ++i) terrain.heights[i] = file.Height(terrain.packed[i]);
  terrain.low = file.Height(0);
  terrain.high = file.Height(kPackedTop);
  terrain.spacingX = file.Header().param1;
  terrain.spacingY = file.Header().param2;
  terrain.hasHmpHeader = true;
  terrain.hmpHeader = file.Header();
  if (!CopySkins(file, terrain.skins)) {
    error = "a skin of the file cannot be taken";
    return false;
  }
  return true;
}

// Picture rows run from the north; terrain rows from the south.
void FromPicture(const GreyPicture& picture, const ConvertSettings& settings, ConvertTerrain& terrain) {
  terrain.columns = picture.width;
  terrain.rows = picture.height;
  terrain.packed.resize(picture.samples.size());
  for (int32_t y = 0; y < terrain.rows; ++y) {
    std::copy_n(picture.samples.begin() + static_cast<ptrdiff_t>(Index(terrain, 0, terrain.rows - 1 - y)),
                terrain.columns, terrain.packed.begin() + static_cast<ptrdiff_t>(Index(terrain, 0, y)));
  }
  terrain.low = settings.hasRange ? settings.rangeLow : 0.0;
  terrain.high = settings.hasRange ? settings.rangeHigh : kPackedRange;
  terrain.heights.resize(terrain.packed.size());
  for (size_t i = 0; i < terrain.packed.size(); ++i) {
    terrain.heights[i] = terrain.low + terrain.packed[i] * ((terrain.high - terrain.low) / kPackedRange);
  }
}

GreyPicture ToPicture(const ConvertTerrain& terrain) {
  GreyPicture picture;
  picture.width = terrain.columns;
  picture.height = terrain.rows;
  picture.samples.resize(terrain.packed.size());
  for (int32_t y = 0; y < terrain.rows; ++y) {
    std::copy_n(terrain.packed.begin() + static_cast<ptrdiff_t>(Index(terrain, 0, terrain.rows - 1 - y)),
                terrain.columns, picture.samples.begin() + static_cast<ptrdiff_t>(Index(terrain, 0, y)));
  }
  return picture;
}

bool ReadRaw(const std::vector<uint8_t>& bytes, const ConvertSettings& settings, ConvertTerrain& terrain,
             std::string& error) {
  if (settings.columns <= 0) {
    error = "a RAW file needs --size COLUMNSxROWS";
    return false;
  }
  const uint64_t count = static_cast<uint64_t>(settings.columns) * static_cast<uint64_t>(settings.rows);
  if (!GridFits(settings.columns, settings.rows) || bytes.size() != count * 2) {
    error = "holds " + std::to_string(bytes.size()) + " bytes, but --size " +
            std::to_string(settings.columns) + "x" + std::to_string(settings.rows) + " needs " +
            std::to_string(count * 2);
    return false;
  }
  GreyPicture picture;
  picture.width = settings.columns;
  picture.height = settings.rows;
  picture.samples.resize(static_cast<size_t>(count));
  for (size_t i = 0; i < picture.samples.size(); ++i) {
    picture.samples[i] = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  }
  FromPicture(picture, settings, terrain);
  return true;
}

bool WriteRaw(const ConvertTerrain& terrain, const std::string& path, std::string& error) {
  const GreyPicture picture = ToPicture(terrain);
  std::vector<uint8_t> bytes(picture.samples.size() * 2);
  for (size_t i = 0; i < picture.samples.size(); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(picture.samples[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(picture.samples[i] >> 8);
  }
  return WriteBytes(path, bytes.data(), bytes.size(), error);
}

// One number of an OBJ line; -0 is written as 0.
void AppendNumber(std::string& out, double value) {
  char text[32];
  std::snprintf(text, sizeof text, " %.9g", value + 0.0);
  out += text;
}

// The lines of an OBJ mesh, each appended to the file as it is made.
class ObjLines {
 public:
  explicit ObjLines(platform::RecordFileWriter& file) : file_(file) {}
  std::string& Line() { return line_; }
  bool End() {
    line_ += '\n';
    const bool written = file_.Append(line_.data(), line_.size());
    line_.clear();
    return written;
  }

 private:
  platform::RecordFileWriter& file_;
  std::string line_;
};

// x runs east, y up and z south, so that the mesh is right-handed and its
// faces turn counter-clockwise seen from above.
bool WriteObjLines(const ConvertTerrain& terrain, ObjLines& out) {
  out.Line() = "# terrain of " + std::to_string(terrain.columns) + " x " + std::to_string(terrain.rows) +
               " samples, x east, y up, z south";
  bool whole = out.End();
  const double uStep = terrain.columns > 1 ? 1.0 / (terrain.columns - 1) : 0.0;
  const double vStep = terrain.rows > 1 ? 1.0 / (terrain.rows - 1) : 0.0;
  for (int pass = 0; pass < 3 && whole; ++pass) {
    for (int32_t y = 0; y < terrain.rows && whole; ++y) {
      for (int32_t x = 0; x < terrain.columns && whole; ++x) {
        std::string& line = out.Line();
        if (pass == 0) {
          line += 'v';
          AppendNumber(line, x * terrain.spacingX);
          AppendNumber(line, terrain.heights[Index(terrain, x, y)]);
          AppendNumber(line, -(y * terrain.spacingY));
        } else if (pass == 1) {
          const loamwriter::SurfaceNormal normal = NormalAt(terrain, x, y);
          line += "vn";
          AppendNumber(line, normal.east);
          AppendNumber(line, normal.up);
          AppendNumber(line, -normal.north);
        } else {
          line += "vt";
          AppendNumber(line, x * uStep);
          AppendNumber(line, y * vStep);
        }
        whole = out.End();
      }
    }
  }
  auto corner = [&](int32_t x, int32_t y) {
    const std::string n = std::to_string(Index(terrain, x, y) + 1);
    return " " + n + "/" + n + "/" + n;
  };
  for (int32_t y = 0; y + 1 < terrain.rows && whole; ++y) {
    for (int32_t x = 0; x + 1 < terrain.columns && whole; ++x) {
      out.Line() = "f" + corner(x, y) + corner(x + 1, y) + corner(x, y + 1);
      whole = out.End();
      out.Line() = "f" + corner(x + 1, y) + corner(x + 1, y + 1) + corner(x, y + 1);
      whole = whole && out.End();
    }
  }
  return whole;
}

// The mesh streams into the replacement file; it goes to its name once whole.
bool WriteObj(const ConvertTerrain& terrain, const std::string& path, std::string& error) {
  platform::FileReplacement output;
  platform::RecordFileWriter file;
  const int fd = output.Begin(path.c_str());
  if (fd < 0) {
    error = path + ": " + output.LastFailure().Text();
    return false;
  }
  if (file.OpenOn(fd) < 0) {
    error = path + ": " + file.LastFailure().Text();
    return false;
  }
  ObjLines out(file);
  const bool whole = WriteObjLines(terrain, out);
  if (!file.Close() || !whole) {
    error = path + ": " + file.LastFailure().Text();
    return false;
  }
  if (!output.Commit()) {
    error = path + ": " + output.LastFailure().Text();
    return false;
  }
  return true;
}

// The skin from a 24-bit picture, as the skin export takes an 888 engine
// bitmap: three mip levels picked from level 0.
bool ReadSkinPicture(const std::string& skinPath, BmpImage& image, std::vector<uint8_t> (&levels)[4],
                     std::string& error) {
  if (!ReadBmp24(skinPath, image, error)) {
    error = skinPath + ": " + error;
    return false;
  }
  const int64_t w = image.width, h = image.height;
  if (w * h * 3 > INT32_MAX) {
    error = skinPath + ": the picture is too large for a skin";
    return false;
  }
  const bool picked =
      loamwriter::PickSkinLevels(image.width, image.height, 3, image.pixels.data(), true, levels);
  if (!picked) {
    error = skinPath + ": the picture cannot be taken as a skin";
    return false;
  }
  return true;
}

bool WriteSkinPicture(loamwriter::HMP7W& writer, const BmpImage& image,
                      const std::vector<uint8_t> (&levels)[4]) {
  return loamwriter::WriteSkinLevels(writer, loamwriter::kSkinType888WithMips, "preview", image.width,
                                     image.height, 3, true, levels);
}

bool WriteBlankSkin(loamwriter::HMP7W& writer, const ConvertTerrain& terrain) {
  int32_t width = 0, height = 0;
  loamwriter::BlankSkinSides(terrain.columns, terrain.rows, width, height);
  return loamwriter::WriteBlankSkin(writer, width, height, "blank");
}

// Gives back the header fields of the HMP file the terrain came from, when
// its heights and spacings stay as they were; the writer keeps its own magic,
// version and counts.
void KeepHmpHeader(const ConvertTerrain& terrain, const ConvertSettings& settings,
                   loamwriter::HmpHeader& header) {
  if (!terrain.hasHmpHeader || settings.hasRange || settings.heightScale != 1.0 || settings.spacingX > 0.0)
    return;
  const loamwriter::HmpHeader written = header;
  header = terrain.hmpHeader;
  std::copy(written.magic, written.magic + 4, header.magic);
  header.version = written.version;
  header.numSkins = written.numSkins;
  header.numVertices = written.numVertices;
  header.numFrames = written.numFrames;
}

// The skins: --skin's picture, else those of the HMP file read, else a blank
// skin.
bool WriteSkins(loamwriter::HMP7W& writer, const ConvertTerrain& terrain, const ConvertSettings& settings,
                const BmpImage& skin, const std::vector<uint8_t> (&skinLevels)[4]) {
  if (!settings.skinPath.empty()) return WriteSkinPicture(writer, skin, skinLevels);
  if (terrain.skins.empty()) return WriteBlankSkin(writer, terrain);
  bool whole = true;
  for (const TerrainSkin& kept : terrain.skins) {
    whole = loamwriter::WriteSkinLevels(writer, kept.type, "skin", kept.width, kept.height,
                                        kept.bytesPerPixel, kept.mipmaps, kept.levels) &&
            whole;
  }
  return whole;
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

// The file the exports write for these heights: header with the grid's
// extent, the spacings and the height range, one skin, one frame.
bool WriteHmp(const ConvertTerrain& terrain, const ConvertSettings& settings, const std::string& path,
              std::string& error, std::string* warning) {
  loamwriter::TerrainHeaderValues values;
  if (!loamwriter::HeaderValuesFor(terrain.columns, terrain.rows, terrain.spacingX, terrain.spacingY,
                                   terrain.low, terrain.high, values)) {
    error = "the terrain's extent does not fit in the numbers of an HMP header";
    return false;
  }
  BmpImage skin;
  std::vector<uint8_t> skinLevels[4];
  if (!settings.skinPath.empty() && !ReadSkinPicture(settings.skinPath, skin, skinLevels, error))
    return false;
  if (!settings.skinPath.empty() && warning != nullptr) *warning = SkinSizeWarning(settings.skinPath, skin);
  // The file goes to its name only once it is whole.
  platform::FileReplacement output;
  const int fd = output.Begin(path.c_str());
  if (fd < 0) {
    error = path + ": " + output.LastFailure().Text();
    return false;
  }
  loamwriter::HMP7W writer;
  if (writer.OpenDescriptor(fd) < 0) {
    error = path + ": " + writer.LastFailure().Text();
    return false;
  }
  loamwriter::SetHeaderFromRange(writer.header, values);
  KeepHmpHeader(terrain, settings, writer.header);

  bool whole = WriteSkins(writer, terrain, settings, skin, skinLevels);
  whole = whole && writer.BeginFrame("terrain");
  for (int32_t y = 0; y < terrain.rows && whole; ++y) {
    for (int32_t x = 0; x < terrain.columns; ++x) {
      const loamwriter::SurfaceNormal normal = NormalAt(terrain, x, y);
      whole = writer.AddFrameVertex(terrain.packed[Index(terrain, x, y)],
                                    loamwriter::Fixed10ToReal(loamwriter::RoundToFixed10(normal.east)),
                                    loamwriter::Fixed10ToReal(loamwriter::RoundToFixed10(normal.north)),
                                    loamwriter::Fixed10ToReal(loamwriter::RoundToFixed10(normal.up))) &&
              whole;
    }
  }
  whole = writer.FinishFrame() && whole;
  if (!writer.Close() || !whole) {
    error = path + ": " + writer.LastFailure().Text();
    return false;
  }
  if (!output.Commit()) {
    error = path + ": " + output.LastFailure().Text();
    return false;
  }
  return true;
}

}  // namespace

TerrainFormat FormatOfName(const std::string& path) {
  const size_t dot = path.find_last_of("./");
  if (dot == std::string::npos || path[dot] != '.') return TerrainFormat::kUnknown;
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == "txt") return TerrainFormat::kHeightArray;
  if (extension == "hmp") return TerrainFormat::kHmp;
  if (extension == "png") return TerrainFormat::kPng;
  if (extension == "r16" || extension == "raw") return TerrainFormat::kRaw;
  if (extension == "obj") return TerrainFormat::kObj;
  return TerrainFormat::kUnknown;
}

TerrainFormat FormatOfContent(const std::vector<uint8_t>& bytes) {
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (HmpFile::IsTerrainMagic(bytes.data(), bytes.size())) return TerrainFormat::kHmp;
  if (bytes.size() >= 8 && std::equal(kPngSignature, kPngSignature + 8, bytes.begin()))
    return TerrainFormat::kPng;
  return TerrainFormat::kUnknown;
}

bool ReadTerrain(const std::string& path, TerrainFormat& format, const ConvertSettings& settings,
                 ConvertTerrain& terrain, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadBytes(path, bytes, error)) return false;
  if (format == TerrainFormat::kUnknown) format = FormatOfContent(bytes);
  return ReadTerrainBytes(std::move(bytes), format, settings, terrain, error);
}

bool ReadTerrainBytes(std::vector<uint8_t> bytes, TerrainFormat format, const ConvertSettings& settings,
                      ConvertTerrain& terrain, std::string& error) {
  switch (format) {
    case TerrainFormat::kHeightArray:
      return ReadHeightArray(bytes, settings, terrain, error);
    case TerrainFormat::kHmp:
      return ReadHmp(std::move(bytes), terrain, error);
    case TerrainFormat::kPng: {
      GreyPicture picture;
      if (!ReadGreyPng(bytes, picture, error)) return false;
      FromPicture(picture, settings, terrain);
      return true;
    }
    case TerrainFormat::kRaw:
      return ReadRaw(bytes, settings, terrain, error);
    default:
      error = "terrains are read from .txt, .hmp, .png, .r16 and .raw files";
      return false;
  }
}

bool PrepareTerrain(const ConvertSettings& settings, TerrainFormat inputFormat, ConvertTerrain& terrain,
                    std::string& error) {
  const double scale = settings.heightScale;
  for (double& height : terrain.heights) {
    height *= scale;
    if (!std::isfinite(height)) {
      error = "holds a height that is not a finite number";
      return false;
    }
  }
  terrain.low *= scale;
  terrain.high *= scale;
  auto spacing = [](double given, double own) {
    return given > 0.0 ? given : (own > 0.0 && std::isfinite(own) ? own : 1.0);
  };
  terrain.spacingX = spacing(settings.spacingX, terrain.spacingX);
  terrain.spacingY = spacing(settings.spacingY, terrain.spacingY);

  const bool keepPacked =
      !terrain.packed.empty() && !(inputFormat == TerrainFormat::kHmp && settings.hasRange);
  if (!keepPacked) {
    if (settings.hasRange) {
      terrain.low = settings.rangeLow;
      terrain.high = settings.rangeHigh;
    } else {
      const auto range = std::minmax_element(terrain.heights.begin(), terrain.heights.end());
      terrain.low = *range.first;
      terrain.high = *range.second;
    }
  }
  if (!Fits(terrain.low) || !Fits(terrain.high)) {
    error = "the height range does not fit in the numbers of an HMP header (-2097151 to 2097151)";
    return false;
  }
  if (!keepPacked) {
    const loamwriter::HeightPacker packer(terrain.low, terrain.high, settings.engineValues);
    terrain.packed.resize(terrain.heights.size());
    for (size_t i = 0; i < terrain.heights.size(); ++i) terrain.packed[i] = packer.Pack(terrain.heights[i]);
  }
  return true;
}

bool WriteTerrain(const ConvertTerrain& terrain, TerrainFormat format, const ConvertSettings& settings,
                  const std::string& path, std::string& error, std::string* warning) {
  switch (format) {
    case TerrainFormat::kHmp:
      return WriteHmp(terrain, settings, path, error, warning);
    case TerrainFormat::kPng:
      return WriteGreyPng(ToPicture(terrain), path, error);
    case TerrainFormat::kRaw:
      return WriteRaw(terrain, path, error);
    case TerrainFormat::kObj:
      return WriteObj(terrain, path, error);
    default:
      error = "terrains are written to .hmp, .png, .r16, .raw and .obj files";
      return false;
  }
}

}  // namespace terrain
