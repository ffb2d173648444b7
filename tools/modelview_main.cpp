// modelview: draws a model file as a PNG picture.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "modelfiles/model_file_opener.h"
#include "noisemap/error.h"
#include "tools/model_mesh.h"
#include "tools/model_render.h"
#include "tools/terrain_picture.h"

namespace {

constexpr const char* kUsage =
    "usage: modelview MODEL OUTPUT.png [--frame N] [--size WxH] [--sheet]\n"
    "Draws a model file (MDL7, MDL2 to MDL6, IDPO or IDP2) as a PNG picture with a\n"
    "transparent background: an orthographic three-quarter view fitted to the frame,\n"
    "lit from the front, textured with the model's first true-colour skin (models\n"
    "with palette skins only are drawn in grey).\n"
    "  --frame N    the frame to draw, from 0 (default 0)\n"
    "  --size WxH   the picture's size, or each cell's with --sheet (default 256x256,\n"
    "               at most 4096 per side)\n"
    "  --sheet      every frame on one picture, in a grid of cells read by rows from\n"
    "               the top left, all at the scale of the largest frame\n";

constexpr int kMaximumSide = 4096;
// Largest sheet: this many pixels, and no side above the picture limit.
constexpr long long kMaximumSheetPixels = 64LL * 1024 * 1024;
constexpr int kMaximumSheetSide = 16384;

int Fail(const std::string& message) {
  std::fprintf(stderr, "modelview: %s\n", message.c_str());
  return 1;
}

bool ParseCount(const char* text, long long maximum, long long& value) {
  if (*text < '0' || *text > '9') return false;
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || parsed > maximum) return false;
  value = parsed;
  return true;
}

bool ParseSize(const char* text, int& width, int& height) {
  const char* x = std::strchr(text, 'x');
  if (x == nullptr) return false;
  const std::string first(text, x);
  long long w = 0, h = 0;
  if (!ParseCount(first.c_str(), kMaximumSide, w) || !ParseCount(x + 1, kMaximumSide, h) || w < 1 || h < 1) {
    return false;
  }
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

int Run(int argc, char** argv) {
  const char* model = nullptr;
  const char* output = nullptr;
  long long frame = 0;
  bool frameGiven = false, sheet = false;
  int width = 256, height = 256;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--sheet") {
      sheet = true;
    } else if (arg == "--frame" || arg == "--size") {
      if (i + 1 >= argc) return Fail(arg + " needs a value (see --help)");
      const char* value = argv[++i];
      if (arg == "--frame") {
        if (!ParseCount(value, 0x7FFFFFFF, frame))
          return Fail("bad frame number \"" + std::string(value) + "\"");
        frameGiven = true;
      } else if (!ParseSize(value, width, height)) {
        return Fail("bad size \"" + std::string(value) + "\": expected WxH, each 1 to " +
                    std::to_string(kMaximumSide));
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return Fail("unknown option " + arg + " (see --help)");
    } else if (model == nullptr) {
      model = argv[i];
    } else if (output == nullptr) {
      output = argv[i];
    } else {
      return Fail("too many arguments (see --help)");
    }
  }
  if (model == nullptr || output == nullptr) return Fail("expected MODEL and OUTPUT.png (see --help)");
  if (sheet && frameGiven) return Fail("--frame and --sheet exclude each other");

  modelfiles::ModelOpenResult opened = modelfiles::OpenModelFile(model);
  if (opened.status != modelfiles::ModelOpenStatus::kOpened) {
    return Fail(std::string(model) + ": " + opened.reason.Text());
  }
  tools::ModelMesh mesh;
  std::string error;
  if (!tools::ReadModelMesh(*opened.reader, mesh, error)) return Fail(std::string(model) + ": " + error);
  opened.reader.reset();

  const size_t frames = mesh.frames.size();
  if (!sheet && static_cast<unsigned long long>(frame) >= frames) {
    return Fail(std::string(model) + ": has " + std::to_string(frames) + " frame(s); frame " +
                std::to_string(frame) + " does not exist");
  }
  int columns = 1, rows = 1;
  if (sheet) {
    columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(frames))));
    rows = static_cast<int>((frames + static_cast<size_t>(columns) - 1) / static_cast<size_t>(columns));
    const long long sheetWidth = static_cast<long long>(columns) * width;
    const long long sheetHeight = static_cast<long long>(rows) * height;
    if (sheetWidth > kMaximumSheetSide || sheetHeight > kMaximumSheetSide ||
        sheetWidth * sheetHeight > kMaximumSheetPixels) {
      return Fail(std::string(model) + ": a sheet of " + std::to_string(frames) + " frames at " +
                  std::to_string(width) + "x" + std::to_string(height) +
                  " is too large; give a smaller --size");
    }
  }
  noise::utils::ImageGrid image;
  image.Resize(columns * width, rows * height);
  for (int y = 0; y < image.GetHeight(); ++y) {
    noise::utils::PixelColor* row = image.RowData(y);
    for (int x = 0; x < image.GetWidth(); ++x) row[x] = noise::utils::PixelColor(0, 0, 0, 0);
  }
  tools::ModelRenderer renderer;
  if (sheet) {
    tools::MeshBounds bounds;
    for (size_t f = 0; f < frames; ++f) {
      const tools::MeshBounds frameBounds = tools::ModelRenderer::FrameBounds(mesh, f);
      if (!frameBounds.empty) {
        bounds.Add(frameBounds.minimum);
        bounds.Add(frameBounds.maximum);
      }
    }
    for (size_t f = 0; f < frames; ++f) {
      const int column = static_cast<int>(f % static_cast<size_t>(columns));
      const int rowFromTop = static_cast<int>(f / static_cast<size_t>(columns));
      renderer.Draw(mesh, f, bounds, image, column * width, (rows - 1 - rowFromTop) * height, width, height);
    }
  } else {
    const size_t f = static_cast<size_t>(frame);
    renderer.Draw(mesh, f, tools::ModelRenderer::FrameBounds(mesh, f), image, 0, 0, width, height);
  }
  try {
    tools::WritePng(image, output, true);
  } catch (const noise::utils::ErrorMessage& e) {
    return Fail(e.Message());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const noise::utils::ErrorMessage& e) {
    return Fail(e.Message());
  } catch (const std::bad_alloc&) {
    return Fail("not enough memory");
  } catch (const noise::Exception&) {
    return Fail("cannot draw the model");
  }
}
