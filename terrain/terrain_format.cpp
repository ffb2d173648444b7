#include "terrain/terrain_format.h"

#include <algorithm>
#include <cctype>

#include "platform/file_name.h"
#include "terrain/hmp_file.h"

namespace terrain {

TerrainFormat FormatOfName(const std::string& path) {
  const std::string extension = platform::LowercaseExtension(path);
  return extension.empty() ? TerrainFormat::kUnknown : FormatOfWord(extension.substr(1));
}

TerrainFormat FormatOfWord(const std::string& word) {
  std::string lower = word;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "txt") return TerrainFormat::kHeightArray;
  if (lower == "hmp") return TerrainFormat::kHmp;
  if (lower == "png") return TerrainFormat::kPng;
  if (lower == "r16" || lower == "raw") return TerrainFormat::kRaw;
  if (lower == "obj") return TerrainFormat::kObj;
  return TerrainFormat::kUnknown;
}

TerrainFormat FormatOfContent(const std::vector<uint8_t>& bytes) {
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (HmpFile::IsTerrainMagic(bytes.data(), bytes.size())) return TerrainFormat::kHmp;
  if (bytes.size() >= 8 && std::equal(kPngSignature, kPngSignature + 8, bytes.begin()))
    return TerrainFormat::kPng;
  return TerrainFormat::kUnknown;
}

const char* FormatName(TerrainFormat format) {
  switch (format) {
    case TerrainFormat::kHeightArray:
      return "height array";
    case TerrainFormat::kHmp:
      return "HMP";
    case TerrainFormat::kPng:
      return "PNG";
    case TerrainFormat::kRaw:
      return "RAW";
    case TerrainFormat::kObj:
      return "OBJ";
    default:
      return "unknown";
  }
}

}  // namespace terrain
