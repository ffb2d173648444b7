#include "studio/relief_png.h"

#include <png.h>

#include <csetjmp>
#include <vector>

#include "noisemap/image_grid.h"
#include "noisemap/relief_renderer.h"
#include "studio/studio_error.h"

namespace studio {

namespace {

using noise::utils::PixelColor;

// Colours by height, (alpha, blue, green, red): lowland green, then olive,
// brown, rock and snow on the highest ground.
void UseTerrainRamp(noise::utils::ReliefRenderer& renderer) {
  renderer.ClearGradient();
  renderer.AddGradientPoint(-1.0, PixelColor(255, 24, 72, 24));
  renderer.AddGradientPoint(-0.5, PixelColor(255, 40, 128, 56));
  renderer.AddGradientPoint(0.0, PixelColor(255, 72, 152, 136));
  renderer.AddGradientPoint(0.375, PixelColor(255, 64, 104, 136));
  renderer.AddGradientPoint(0.75, PixelColor(255, 144, 144, 144));
  renderer.AddGradientPoint(1.0, PixelColor(255, 255, 255, 255));
}

void AppendBytes(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::string*>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char*>(data), size);
}

void FlushNothing(png_structp) {}

// Encodes `rows` of RGB bytes; false when libpng fails.
bool EncodeRgb(int width, int height, std::vector<png_bytep>& rows, std::string& out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, AppendBytes, FlushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // The picture crosses the loopback only: light compression is cheaper than
  // the bytes it would save.
  png_set_compression_level(png, 1);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

void ReliefPng::Render(const noise::utils::HeightGrid& grid, noise::utils::ImageGrid& image) {
  noise::utils::ReliefRenderer renderer;
  UseTerrainRamp(renderer);
  renderer.EnableLight(true);
  renderer.SetLightContrast(1.5);
  renderer.SetLightBrightness(1.5);
  renderer.SetSourceGrid(grid);
  renderer.SetDestImage(image);
  renderer.Render();
}

std::string ReliefPng::Encode(const noise::utils::HeightGrid& grid) {
  noise::utils::ImageGrid image;
  Render(grid, image);
  const int width = image.GetWidth();
  const int height = image.GetHeight();
  std::vector<png_byte> pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  // The top row is the north, the grid's last row (the upper z), as in
  // every picture and terrain file the toolkit writes.
  for (int y = 0; y < height; ++y) {
    png_bytep row = pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3;
    rows[static_cast<size_t>(y)] = row;
    const PixelColor* source = image.RowData(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = source[x].red;
      row[3 * x + 1] = source[x].green;
      row[3 * x + 2] = source[x].blue;
    }
  }
  std::string out;
  if (!EncodeRgb(width, height, rows, out)) throw StudioError(500, "the preview picture cannot be encoded");
  return out;
}

}  // namespace studio
