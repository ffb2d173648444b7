#include "render/model_picture.h"

#include <cmath>
#include <new>

#include "modelfiles/model_file_opener.h"
#include "noisemap/error.h"
#include "noisemap/image_grid.h"
#include "render/model_mesh.h"
#include "render/model_render.h"
#include "render/terrain_picture.h"

namespace render {

namespace {

// Cells of the picture: one, or a grid about as wide as high for a sheet.
struct CellGrid {
  int columns = 1;
  int rows = 1;
};

bool ReadMesh(const std::string& modelPath, ModelMesh& mesh, std::string& error) {
  modelfiles::ModelOpenResult opened = modelfiles::OpenModelFile(modelPath.c_str());
  if (opened.status != modelfiles::ModelOpenStatus::kOpened) {
    error = opened.reason.Text();
    return false;
  }
  return ReadModelMesh(*opened.reader, mesh, error);
}

bool ChooseCells(const ModelPicture& picture, size_t frames, CellGrid& cells, std::string& error) {
  if (!picture.sheet) {
    if (picture.frame >= 0 && static_cast<unsigned long long>(picture.frame) < frames) return true;
    error = "has " + std::to_string(frames) + " frame(s); frame " + std::to_string(picture.frame) +
            " does not exist";
    return false;
  }
  cells.columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(frames))));
  cells.rows = static_cast<int>((frames + static_cast<size_t>(cells.columns) - 1) /
                                static_cast<size_t>(cells.columns));
  const long long sheetWidth = static_cast<long long>(cells.columns) * picture.width;
  const long long sheetHeight = static_cast<long long>(cells.rows) * picture.height;
  if (sheetWidth > ModelPicture::kMaximumSheetSide || sheetHeight > ModelPicture::kMaximumSheetSide ||
      sheetWidth * sheetHeight > ModelPicture::kMaximumSheetPixels) {
    error = "a sheet of " + std::to_string(frames) + " frames at " + std::to_string(picture.width) + "x" +
            std::to_string(picture.height) + " is too large; give a smaller --size";
    return false;
  }
  return true;
}

// Draws every frame at the scale of the box around all of them.
void DrawSheet(const ModelMesh& mesh, const ModelPicture& picture, const CellGrid& cells,
               noise::utils::ImageGrid& image) {
  MeshBounds bounds;
  for (size_t f = 0; f < mesh.frames.size(); ++f) {
    const MeshBounds frameBounds = ModelRenderer::FrameBounds(mesh, f);
    if (!frameBounds.empty) {
      bounds.Add(frameBounds.minimum);
      bounds.Add(frameBounds.maximum);
    }
  }
  ModelRenderer renderer;
  const size_t columns = static_cast<size_t>(cells.columns);
  for (size_t f = 0; f < mesh.frames.size(); ++f) {
    const int column = static_cast<int>(f % columns);
    const int rowFromTop = static_cast<int>(f / columns);
    renderer.Draw(mesh, f, bounds, image, column * picture.width,
                  (cells.rows - 1 - rowFromTop) * picture.height, picture.width, picture.height);
  }
}

bool DrawAndWrite(const std::string& modelPath, const ModelPicture& picture, const std::string& outputPath,
                  std::string& error) {
  ModelMesh mesh;
  CellGrid cells;
  if (!ReadMesh(modelPath, mesh, error) || !ChooseCells(picture, mesh.frames.size(), cells, error)) {
    error = modelPath + ": " + error;
    return false;
  }
  noise::utils::ImageGrid image;
  image.Resize(cells.columns * picture.width, cells.rows * picture.height);
  for (int y = 0; y < image.GetHeight(); ++y) {
    noise::utils::PixelColor* row = image.RowData(y);
    for (int x = 0; x < image.GetWidth(); ++x) row[x] = noise::utils::PixelColor(0, 0, 0, 0);
  }
  if (picture.sheet) {
    DrawSheet(mesh, picture, cells, image);
  } else {
    const size_t f = static_cast<size_t>(picture.frame);
    ModelRenderer().Draw(mesh, f, ModelRenderer::FrameBounds(mesh, f), image, 0, 0, picture.width,
                         picture.height);
  }
  WritePng(image, outputPath, true);
  return true;
}

}  // namespace

bool WriteModelPicture(const std::string& modelPath, const ModelPicture& picture,
                       const std::string& outputPath, std::string& error) {
  try {
    return DrawAndWrite(modelPath, picture, outputPath, error);
  } catch (const noise::utils::ErrorMessage& e) {
    error = e.Message();
  } catch (const std::bad_alloc&) {
    error = "not enough memory";
  } catch (...) {
    error = modelPath + ": cannot draw the model";
  }
  return false;
}

}  // namespace render
