// Writes seed inputs for the fuzz targets of the tools' readers into a
// folder: small HMP7 and HMP5 files made by the plug-in's writers, height
// arrays as duneforge formats them, RAW files behind the terrain_raw target's
// settings bytes, and, where this build reads PNG, greyscale pictures of
// every bit depth (and a colour one, which is refused).
// Usage: fuzz_tool_seed_writer FOLDER; writes FOLDER/hmp_file,
// FOLDER/noise_array, FOLDER/terrain_raw and FOLDER/grey_png. Exit status 1
// when a seed cannot be written.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/hmp5w.h"
#include "plugin/hmp7w.h"

#ifdef TOOLKIT_FUZZ_PNG_SEEDS
#include <png.h>

#include <csetjmp>
#endif

namespace {

namespace fs = std::filesystem;

bool WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// A terrain of columns x rows vertices with skins of the given type codes
// (level 0 and, with the mip bit, three more levels of a pattern) and
// `frames` frames.
bool WriteHmp(loamwriter::HMP5W& writer, const fs::path& path, int32_t columns, int32_t rows,
              const std::vector<uint8_t>& skinTypes, int frames) {
  bool ok = writer.Open(path.string().c_str()) >= 0;
  writer.header.param0 = static_cast<float>(columns);
  writer.header.param1 = 2.0f;
  writer.header.param2 = 2.0f;
  writer.header.scale[2] = 0.5f;
  writer.header.offset[2] = -100.0f;
  for (uint8_t type : skinTypes) {
    const int32_t bytesPerPixel = loamwriter::kHmpSkinBytesPerPixel[type & loamwriter::kHmpSkinFormatMask];
    const bool mips = (type & loamwriter::kHmpSkinTypeMipmapBit) != 0;
    std::vector<uint8_t> pixels(static_cast<size_t>(8 * 8 * bytesPerPixel));
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 11);
    ok = ok && writer.BeginSkin(type, "skin");
    writer.SetSkinImage(8, 8, bytesPerPixel, mips);
    ok = ok && writer.WriteSkinImage(pixels.data(), pixels.data(), pixels.data(), pixels.data()) &&
         writer.FinishSkin();
  }
  for (int f = 0; f < frames; ++f) {
    ok = ok && writer.BeginFrame(f == 0 ? "terrain" : "second");
    for (int32_t v = 0; v < columns * rows; ++v) {
      ok = ok && writer.AddFrameVertex(static_cast<uint16_t>(v * 4099 + f), 0.25f, -0.5f, 0.8f);
    }
    ok = ok && writer.FinishFrame();
  }
  return writer.Close() && ok;
}

bool WriteHmpSeeds(const fs::path& folder) {
  loamwriter::HMP7W hmp7;
  loamwriter::HMP5W hmp5;
  bool ok = WriteHmp(hmp7, folder / "blank_skin.hmp", 3, 2, {0}, 1);
  ok = WriteHmp(hmp7, folder / "skins.hmp", 2, 2, {2, 3, 4 | 8, 5, 6}, 2) && ok;
  ok = WriteHmp(hmp7, folder / "no_skin.hmp", 4, 1, {}, 1) && ok;
  ok = WriteHmp(hmp5, folder / "hmp5.hmp", 2, 3, {5 | 8}, 1) && ok;
  return ok;
}

// Values as duneforge writes them: a default float stream, each followed by
// a comma.
std::string HeightArray(const std::vector<float>& values) {
  std::ostringstream out;
  for (float value : values) out << value << ',';
  return out.str();
}

bool WriteNoiseArraySeeds(const fs::path& folder) {
  std::vector<float> tiles;
  for (int i = 0; i < 24; ++i) tiles.push_back(std::sin(static_cast<float>(i)) * 1.75f);
  const float inf = std::numeric_limits<float>::infinity();
  bool ok = WriteBytes(folder / "tiles_2x2_of_3x2.txt", HeightArray(tiles));
  ok = WriteBytes(folder / "formats.txt", HeightArray({0.5f, -0.123457f, 1.0f, 1e-05f, -0.0f, 3.40282e+38f,
                                                       inf, -inf, std::nanf("")})) &&
       ok;
  ok = WriteBytes(folder / "no_last_comma.txt", "0.25,0.5") && ok;
  ok = WriteBytes(folder / "empty.txt", "") && ok;
  return ok;
}

// The terrain_raw target's nine settings bytes, then the samples.
std::string RawInput(bool hasRange, int16_t columns, int16_t rows, int16_t low, int16_t high,
                     size_t samples) {
  std::string bytes(1, static_cast<char>(hasRange ? 1 : 0));
  for (int16_t v : {columns, rows, low, high}) {
    bytes.push_back(static_cast<char>(v & 0xFF));
    bytes.push_back(static_cast<char>((v >> 8) & 0xFF));
  }
  for (size_t i = 0; i < samples; ++i) {
    const uint16_t sample = static_cast<uint16_t>(i * 9973);
    bytes.push_back(static_cast<char>(sample & 0xFF));
    bytes.push_back(static_cast<char>(sample >> 8));
  }
  return bytes;
}

bool WriteRawSeeds(const fs::path& folder) {
  bool ok = WriteBytes(folder / "3x2_range.bin", RawInput(true, 3, 2, -50, 200, 6));
  ok = WriteBytes(folder / "4x4.bin", RawInput(false, 4, 4, 0, 0, 16)) && ok;
  ok = WriteBytes(folder / "one_short.bin", RawInput(false, 2, 2, 0, 0, 3)) && ok;
  return ok;
}

#ifdef TOOLKIT_FUZZ_PNG_SEEDS
void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void AppendToString(png_structp png, png_bytep data, png_size_t count) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), count);
}

void FlushNothing(png_structp) {}

// Encodes width x height pixels of `rows`; libpng reports errors by a long
// jump, so this function holds no object with a destructor.
bool EncodePng(int width, int height, int bitDepth, int colourType, int interlace, png_bytepp rows,
               std::string* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, out, AppendToString, FlushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bitDepth,
               colourType, interlace, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool WritePng(const fs::path& path, int width, int height, int bitDepth, int colourType, int interlace) {
  const int channels = colourType == PNG_COLOR_TYPE_GRAY         ? 1
                       : colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                 : 3;
  const size_t rowBytes = (static_cast<size_t>(width) * channels * bitDepth + 7) / 8;
  std::vector<uint8_t> data(rowBytes * static_cast<size_t>(height));
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 5);
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (size_t y = 0; y < rows.size(); ++y) rows[y] = data.data() + y * rowBytes;
  std::string bytes;
  return EncodePng(width, height, bitDepth, colourType, interlace, rows.data(), &bytes) &&
         WriteBytes(path, bytes);
}

bool WritePngSeeds(const fs::path& folder) {
  bool ok = WritePng(folder / "grey16.png", 5, 3, 16, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE);
  ok = WritePng(folder / "grey8_interlaced.png", 9, 9, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_ADAM7) && ok;
  ok = WritePng(folder / "grey1.png", 11, 2, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE) && ok;
  ok = WritePng(folder / "grey4.png", 3, 4, 4, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE) && ok;
  ok = WritePng(folder / "grey_alpha16.png", 2, 2, 16, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_INTERLACE_NONE) && ok;
  ok = WritePng(folder / "rgb8.png", 2, 2, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE) && ok;
  return ok;
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_tool_seed_writer FOLDER\n");
    return 2;
  }
  const fs::path root(argv[1]);
  std::error_code error;
  for (const char* folder : {"hmp_file", "noise_array", "terrain_raw", "grey_png"}) {
    fs::create_directories(root / folder, error);
  }
  bool ok = WriteHmpSeeds(root / "hmp_file");
  ok = WriteNoiseArraySeeds(root / "noise_array") && ok;
  ok = WriteRawSeeds(root / "terrain_raw") && ok;
#ifdef TOOLKIT_FUZZ_PNG_SEEDS
  ok = WritePngSeeds(root / "grey_png") && ok;
#endif
  if (!ok) std::fprintf(stderr, "fuzz_tool_seed_writer: cannot write the seeds under %s\n", argv[1]);
  return ok ? 0 : 1;
}
