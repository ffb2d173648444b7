#include "render/terrain_picture.h"

#include <cctype>

#include "noisemap/bmp_file_writer.h"

namespace render {

namespace {

bool EndsWith(const std::string& text, const std::string& suffix) {
  if (text.size() < suffix.size()) return false;
  for (size_t i = 0; i < suffix.size(); ++i) {
    const char c = text[text.size() - suffix.size() + i];
    if (std::tolower(static_cast<unsigned char>(c)) != suffix[i]) return false;
  }
  return true;
}

}  // namespace

void WritePicture(const noise::utils::ImageGrid& image, const std::string& path) {
  if (EndsWith(path, ".png")) {
    WritePng(image, path);
    return;
  }
  noise::utils::BmpFileWriter writer;
  writer.SetSourceImage(image);
  writer.SetFileName(path);
  writer.WriteFile();
}

}  // namespace render
