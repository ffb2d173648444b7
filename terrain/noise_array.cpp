#include "terrain/noise_array.h"

#include <cerrno>
#include <cstdlib>
#include <new>

#include "platform/whole_file.h"

namespace terrain {

namespace {

bool IsSpace(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// ": 'TEXT'" for a token of printable characters, its first 32; nothing for
// other bytes, which are not quoted into a message.
std::string Quoted(const std::string& token) {
  const std::string shown = token.substr(0, 32);
  for (char c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) return std::string();
  }
  return ": '" + shown + "'";
}

}  // namespace

TerrainResult ReadNoiseArray(const std::string& path, std::vector<float>& values) {
  values.clear();
  std::vector<uint8_t> bytes;
  platform::FailureReason reason;
  if (!platform::ReadWholeFile(path.c_str(), bytes, reason))
    return TerrainResult::FromReason(reason).WithPath(path);
  return ParseNoiseArray(bytes, values).WithPath(path);
}

TerrainResult ParseNoiseArray(const std::vector<uint8_t>& bytes, std::vector<float>& values) {
  using Kind = TerrainResult::Kind;
  values.clear();
  std::string token;
  size_t start = 0;
  try {
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] != ',') continue;
      token.assign(reinterpret_cast<const char*>(bytes.data()) + start, i - start);
      char* end = nullptr;
      errno = 0;
      const float value = std::strtof(token.c_str(), &end);
      if (token.empty() || end != token.c_str() + token.size()) {
        return TerrainResult(Kind::kMalformed,
                             "value " + std::to_string(values.size()) + " at byte " + std::to_string(start) +
                                 " is not a number" + Quoted(token),
                             static_cast<int64_t>(start));
      }
      values.push_back(value);
      start = i + 1;
    }
  } catch (const std::bad_alloc&) {
    return TerrainResult(Kind::kTooLarge, "not enough memory for the values");
  }
  // Editors add a line break or spaces after the last comma.
  while (start < bytes.size() && IsSpace(bytes[start])) ++start;
  if (start != bytes.size()) {
    return TerrainResult(
        Kind::kMalformed,
        "the file does not end with a comma after its last value (byte " + std::to_string(start) + ")",
        static_cast<int64_t>(start));
  }
  return TerrainResult();
}

TerrainResult AssembleTiles(const std::vector<float>& values, int32_t tilesX, int32_t tilesZ,
                            int32_t tileWidth, int32_t tileHeight, std::vector<float>& grid) {
  using Kind = TerrainResult::Kind;
  if (tilesX <= 0 || tilesZ <= 0 || tileWidth <= 0 || tileHeight <= 0) {
    return TerrainResult(Kind::kInvalidArgument, "tile counts and sizes must be positive");
  }
  const uint64_t columns = static_cast<uint64_t>(tilesX) * static_cast<uint64_t>(tileWidth);
  const uint64_t rows = static_cast<uint64_t>(tilesZ) * static_cast<uint64_t>(tileHeight);
  if (columns > INT32_MAX || rows > INT32_MAX || columns * rows != values.size()) {
    return TerrainResult(Kind::kMalformed, std::to_string(values.size()) + " values do not make " +
                                               std::to_string(tilesX) + " x " + std::to_string(tilesZ) +
                                               " tiles of " + std::to_string(tileWidth) + " x " +
                                               std::to_string(tileHeight));
  }
  try {
    grid.assign(values.size(), 0.0f);
  } catch (const std::bad_alloc&) {
    return TerrainResult(Kind::kTooLarge, "not enough memory for the grid");
  }
  const uint64_t tileValues = static_cast<uint64_t>(tileWidth) * static_cast<uint64_t>(tileHeight);
  for (uint64_t t = 0; t < static_cast<uint64_t>(tilesX) * static_cast<uint64_t>(tilesZ); ++t) {
    const uint64_t cx = t % static_cast<uint64_t>(tilesX);
    const uint64_t cz = t / static_cast<uint64_t>(tilesX);
    for (uint64_t j = 0; j < tileValues; ++j) {
      const uint64_t x = cx * static_cast<uint64_t>(tileWidth) + j % static_cast<uint64_t>(tileWidth);
      const uint64_t y = cz * static_cast<uint64_t>(tileHeight) + j / static_cast<uint64_t>(tileWidth);
      grid[static_cast<size_t>(y * columns + x)] = values[static_cast<size_t>(t * tileValues + j)];
    }
  }
  return TerrainResult();
}

}  // namespace terrain
