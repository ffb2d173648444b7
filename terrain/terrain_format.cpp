#include "terrain/terrain_format.h"

#include <algorithm>
#include <cctype>

#include "platform/file_name.h"
#include "terrain/hmp_file.h"

namespace terrain {

namespace {

// Every format with its name for people and the words (extensions) that
// name it.
struct FormatEntry {
  TerrainFormat format;
  const char* name;
  const char* words[2];
};

const FormatEntry kFormats[] = {
    {TerrainFormat::kHeightArray, "height array", {"txt", nullptr}},
    {TerrainFormat::kHmp, "HMP", {"hmp", nullptr}},
    {TerrainFormat::kPng, "PNG", {"png", nullptr}},
    {TerrainFormat::kRaw, "RAW", {"r16", "raw"}},
    {TerrainFormat::kObj, "OBJ", {"obj", nullptr}},
};

}  // namespace

TerrainFormat FormatOfName(const std::string& path) {
  const std::string extension = platform::LowercaseExtension(path);
  return extension.empty() ? TerrainFormat::kUnknown : FormatOfWord(extension.substr(1));
}

TerrainFormat FormatOfWord(const std::string& word) {
  std::string lower = word;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const FormatEntry& entry : kFormats) {
    for (const char* known : entry.words) {
      if (known != nullptr && lower == known) return entry.format;
    }
  }
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
  for (const FormatEntry& entry : kFormats) {
    if (entry.format == format) return entry.name;
  }
  return "unknown";
}

}  // namespace terrain
