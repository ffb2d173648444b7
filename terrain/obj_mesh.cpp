#include "terrain/obj_mesh.h"

#include <cstdio>
#include <string>
#include <vector>

#include "platform/file_replacement.h"
#include "platform/low_level_file.h"
#include "platform/record_file_writer.h"
#include "plugin/terrain_recipe.h"
#include "terrain/colour_png.h"

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

// One file of the mesh on its way to its name.
struct PendingFile {
  std::string path;
  platform::FileReplacement replacement;
  // The name held no file before, so a failure afterwards removes it again.
  bool isNew = false;
};

// A failure of `reason` that names `file`.
TerrainResult FileFailure(const PendingFile& file, const platform::FailureReason& reason) {
  return TerrainResult::FromReason(reason).WithPath(file.path);
}

// Begins the replacement of `file`'s name.
TerrainResult BeginFile(PendingFile& file) {
  platform::LowLevelFile::Status status;
  file.isNew = platform::LowLevelFile::GetStatus(file.path.c_str(), status) == 0 &&
               status.kind == platform::LowLevelFile::Kind::kMissing;
  if (file.replacement.Begin(file.path.c_str()) < 0) return FileFailure(file, file.replacement.LastFailure());
  return TerrainResult();
}

// Writes `bytes` into the replacement of `file`'s name.
TerrainResult PrepareFile(PendingFile& file, const std::vector<uint8_t>& bytes) {
  const TerrainResult begun = BeginFile(file);
  if (!begun) return begun;
  platform::FailureReason reason;
  if (!platform::WriteFully(file.replacement.Descriptor(), bytes.data(), bytes.size(), reason)) {
    return FileFailure(file, reason);
  }
  return TerrainResult();
}

// The mesh streams into the replacement of its name.
TerrainResult PrepareMesh(const TerrainGrid& grid, const std::string& name, PendingFile& file) {
  const TerrainResult begun = BeginFile(file);
  if (!begun) return begun;
  platform::RecordFileWriter writer;
  if (writer.OpenOn(file.replacement.Descriptor()) < 0) return FileFailure(file, writer.LastFailure());
  ObjLines out(writer);
  const bool whole = WriteObjLines(grid, name, out);
  if (!writer.Close() || !whole) return FileFailure(file, writer.LastFailure());
  return TerrainResult();
}

// Seals every file, then moves each over its name. Should a move fail, the
// files already moved that were new are removed again; one that replaced an
// earlier file cannot get that file back, so the texture and material go
// first and the mesh, which names them, last.
TerrainResult PlaceFiles(std::vector<PendingFile>& files) {
  for (PendingFile& file : files) {
    if (!file.replacement.Seal()) return FileFailure(file, file.replacement.LastFailure());
  }
  for (size_t i = 0; i < files.size(); ++i) {
    if (files[i].replacement.Commit()) continue;
    for (size_t placed = 0; placed < i; ++placed) {
      if (files[placed].isNew) platform::LowLevelFile::Remove(files[placed].path.c_str());
    }
    return FileFailure(files[i], files[i].replacement.LastFailure());
  }
  return TerrainResult();
}

}  // namespace

TerrainResult WriteObjMesh(const TerrainGrid& grid, const ObjTexture* texture, const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string name = path.substr(folder.size());
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  // Every file is written whole beside its name before any takes its name;
  // a failure until then leaves every name as it was.
  std::vector<PendingFile> files(texture != nullptr ? 3 : 2);
  std::string textureFile;
  if (texture != nullptr) {
    textureFile = texture->fileName.empty() ? name + ".png" : texture->fileName;
    files[0].path = folder + textureFile;
    std::vector<uint8_t> png;
    const TerrainResult encoded =
        EncodeColourPng(texture->rgba.data(), texture->width, texture->height, true, png);
    if (!encoded) return encoded.WithPath(files[0].path);
    const TerrainResult prepared = PrepareFile(files[0], png);
    if (!prepared) return prepared;
  }
  PendingFile& material = files[files.size() - 2];
  PendingFile& mesh = files.back();
  material.path = folder + name + ".mtl";
  mesh.path = path;
  const std::string text = MaterialText(name, textureFile);
  TerrainResult written = PrepareFile(material, std::vector<uint8_t>(text.begin(), text.end()));
  if (written) written = PrepareMesh(grid, name, mesh);
  if (written) written = PlaceFiles(files);
  return written;
}

}  // namespace terrain
