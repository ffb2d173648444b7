#include "render/terrain_picture.h"

#include "noisemap/bmp_file_writer.h"
#include "platform/file_name.h"

namespace render {

void WritePicture(const noise::utils::ImageGrid& image, const std::string& path) {
  if (platform::LowercaseExtension(path) == ".png") {
    WritePng(image, path);
    return;
  }
  noise::utils::BmpFileWriter writer;
  writer.SetSourceImage(image);
  writer.SetFileName(path);
  writer.WriteFile();
}

}  // namespace render
