#include "terrain/obj_mesh.h"

#include <cstdio>

#include "platform/file_replacement.h"
#include "platform/record_file_writer.h"
#include "plugin/terrain_recipe.h"
#include "terrain/colour_png.h"
#include "terrain/whole_output.h"

namespace terrain {

namespace {

// One number of an OBJ line; -0 is written as 0.
void AppendNumber(std::string& out, double value) {
  char text[32];
  std::snprintf(text, sizeof text, " %.9g", value + 0.0);
  out += text;
}

// The lines of an OBJ mesh, each appended to the file as it is made.
class ObjLines {
 public:
  explicit ObjLines(platform::RecordFileWriter& file) : file_(file) {}
  std::string& Line() { return line_; }
  bool End() {
    line_ += '\n';
    const bool written = file_.Append(line_.data(), line_.size());
    line_.clear();
    return written;
  }

 private:
  platform::RecordFileWriter& file_;
  std::string line_;
};

// Vertices, normals and texture coordinates, a pass each.
bool WriteVertexLines(const TerrainGrid& grid, ObjLines& out) {
  const double uStep = grid.columns > 1 ? 1.0 / (grid.columns - 1) : 0.0;
  const double vStep = grid.rows > 1 ? 1.0 / (grid.rows - 1) : 0.0;
  bool whole = true;
  for (int pass = 0; pass < 3 && whole; ++pass) {
    for (int32_t y = 0; y < grid.rows && whole; ++y) {
      for (int32_t x = 0; x < grid.columns && whole; ++x) {
        std::string& line = out.Line();
        if (pass == 0) {
          line += 'v';
          AppendNumber(line, x * grid.spacingX);
          AppendNumber(line, grid.heights[grid.Index(x, y)]);
          AppendNumber(line, -(y * grid.spacingY));
        } else if (pass == 1) {
          const loamwriter::SurfaceNormal normal =
              loamwriter::NormalAt(grid.heights, grid.columns, grid.rows, grid.spacingX, grid.spacingY, x, y);
          line += "vn";
          AppendNumber(line, normal.east);
          AppendNumber(line, normal.up);
          AppendNumber(line, -normal.north);
        } else {
          line += "vt";
          AppendNumber(line, x * uStep);
          AppendNumber(line, y * vStep);
        }
        whole = out.End();
      }
    }
  }
  return whole;
}

bool WriteObjLines(const TerrainGrid& grid, const std::string& material, ObjLines& out) {
  out.Line() = "# terrain of " + std::to_string(grid.columns) + " x " + std::to_string(grid.rows) +
               " samples, x east, y up, z south";
  bool whole = out.End();
  out.Line() = "mtllib " + material + ".mtl";
  whole = whole && out.End() && WriteVertexLines(grid, out);
  out.Line() = "usemtl " + material;
  whole = whole && out.End();
  auto corner = [&](int32_t x, int32_t y) {
    const std::string n = std::to_string(grid.Index(x, y) + 1);
    return " " + n + "/" + n + "/" + n;
  };
  for (int32_t y = 0; y + 1 < grid.rows && whole; ++y) {
    for (int32_t x = 0; x + 1 < grid.columns && whole; ++x) {
      out.Line() = "f" + corner(x, y) + corner(x + 1, y) + corner(x, y + 1);
      whole = out.End();
      out.Line() = "f" + corner(x + 1, y) + corner(x + 1, y + 1) + corner(x, y + 1);
      whole = whole && out.End();
    }
  }
  return whole;
}

// The material, white under the texture when there is one, else light grey.
std::string MaterialText(const std::string& name, const std::string& textureFile) {
  const bool textured = !textureFile.empty();
  std::string text = "# material of " + name + ".obj\nnewmtl " + name + "\nKa 0 0 0\n";
  text += textured ? "Kd 1 1 1\n" : "Kd 0.8 0.8 0.8\n";
  text += "Ks 0 0 0\nd 1\nillum 1\n";
  if (textured) text += "map_Kd " + textureFile + "\n";
  return text;
}

bool WriteMaterial(const ObjTexture* texture, const std::string& folder, const std::string& name,
                   std::string& error) {
  std::string textureFile;
  if (texture != nullptr) {
    textureFile = texture->fileName.empty() ? name + ".png" : texture->fileName;
    std::vector<uint8_t> png;
    if (!EncodeColourPng(texture->rgba.data(), texture->width, texture->height, true, png, error)) {
      error = folder + textureFile + ": " + error;
      return false;
    }
    if (!WriteWholeOutput(folder + textureFile, png, error)) return false;
  }
  const std::string text = MaterialText(name, textureFile);
  return WriteWholeOutput(folder + name + ".mtl", std::vector<uint8_t>(text.begin(), text.end()), error);
}

// The mesh streams into the replacement file; it goes to its name once whole.
bool WriteMesh(const TerrainGrid& grid, const std::string& name, const std::string& path,
               std::string& error) {
  platform::FileReplacement output;
  platform::RecordFileWriter file;
  const int fd = output.Begin(path.c_str());
  if (fd < 0 || file.OpenOn(fd) < 0) {
    error = path + ": " + (fd < 0 ? output.LastFailure() : file.LastFailure()).Text();
    return false;
  }
  ObjLines out(file);
  const bool whole = WriteObjLines(grid, name, out);
  const bool closed = file.Close();
  return FinishWholeOutput(closed && whole, file.LastFailure(), output, path, error);
}

}  // namespace

bool WriteObjMesh(const TerrainGrid& grid, const ObjTexture* texture, const std::string& path,
                  std::string& error) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string name = path.substr(folder.size());
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return WriteMaterial(texture, folder, name, error) && WriteMesh(grid, name, path, error);
}

}  // namespace terrain
