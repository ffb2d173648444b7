// modelview: draws a model file as a PNG picture.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_name.h"
#include "render/grid_arguments.h"
#include "render/model_picture.h"
#include "tools/option_parser.h"

namespace {

constexpr const char* kAbout =
    "Draws a model file (MDL7, MDL2 to MDL6, IDPO or IDP2) as a PNG picture with a\n"
    "transparent background: an orthographic three-quarter view fitted to the frame,\n"
    "lit from the front, textured with the model's first true-colour skin (models\n"
    "with palette skins only are drawn in grey). OUTPUT must end in .png.\n"
    "Exits 0 when the picture is written, 1 for a model or picture that cannot be\n"
    "read or written, 2 for a usage error.\n";

void DeclareOptions(tools::OptionParser& parser, render::ModelPicture& picture, bool& frameGiven) {
  using Values = std::vector<std::string>;
  parser.AddOption(
      "--frame", "N", "the frame to draw, from 0 (default 0)",
      [&](const Values& v) {
        long long frame = 0;
        if (!render::ParseWholeNumber(v[0].c_str(), 0, 0x7FFFFFFF, frame)) return false;
        picture.frame = frame;
        frameGiven = true;
        return true;
      },
      "--frame takes a frame number N from 0");
  parser.AddOption(
      "--size", "WxH", "the picture's size, or each cell's with --sheet (default 256x256)",
      [&](const Values& v) {
        int32_t w = 0, h = 0;
        if (!render::ParseGridPair(v[0].c_str(), w, h)) return false;
        if (w > render::ModelPicture::kMaximumSide || h > render::ModelPicture::kMaximumSide) return false;
        picture.width = w;
        picture.height = h;
        return true;
      },
      "--size takes WxH, each 1 to " + std::to_string(render::ModelPicture::kMaximumSide));
  parser.AddFlag("--sheet",
                 "every frame on one picture, in a grid of cells read by rows from the top left, all at "
                 "the scale of the largest frame",
                 picture.sheet);
}

}  // namespace

int main(int argc, char** argv) {
  tools::OptionParser parser("modelview", "MODEL OUTPUT.png", kAbout, 2, 2);
  render::ModelPicture picture;
  bool frameGiven = false;
  DeclareOptions(parser, picture, frameGiven);
  int status = tools::kExitDone;
  if (!parser.ParseCommandLine(argc, argv, status)) return status;
  if (picture.sheet && frameGiven) return parser.UsageError("--frame and --sheet exclude each other");
  const std::string& model = parser.Operands()[0];
  const std::string& output = parser.Operands()[1];
  if (platform::LowercaseExtension(output) != ".png") {
    return parser.UsageError(output + ": cannot write this format; the picture must be a .png file");
  }
  std::string error;
  if (!render::WriteModelPicture(model, picture, output, error)) {
    std::fprintf(stderr, "modelview: %s\n", error.c_str());
    return tools::kExitFailed;
  }
  return tools::kExitDone;
}
