// The terrain file formats, known by a file's name or its content.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace terrain {

enum class TerrainFormat {
  kUnknown,
  kHeightArray,  // .txt: duneforge's noise_arr.txt
  kHmp,          // .hmp: HMP5 or HMP7 in, HMP7 out
  kPng,          // .png: greyscale PNG
  kRaw,          // .r16 or .raw: 16-bit little-endian samples
  kObj,          // .obj: Wavefront OBJ (output only)
};

// The format a file name's extension names; kUnknown for any other.
TerrainFormat FormatOfName(const std::string& path);
// The format the bytes announce: HMP by its magic, PNG by its signature,
// else kUnknown (a height array and a RAW file cannot be told apart).
TerrainFormat FormatOfContent(const std::vector<uint8_t>& bytes);
// The format a user names, in any case: "txt", "hmp", "png", "raw" or "r16",
// or "obj", as the extensions are; kUnknown for any other word.
TerrainFormat FormatOfWord(const std::string& word);
// The format for people: "height array", "HMP", "PNG", "RAW", "OBJ".
const char* FormatName(TerrainFormat format);

}  // namespace terrain
