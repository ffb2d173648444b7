// write_mdl7 of the Python module: a model of NumPy arrays through MDL7W.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "modelfiles/mdl7_layout.h"
#include "modelfiles/mdl7w.h"
#include "platform/file_replacement.h"
#include "python/array_helpers.h"
#include "python/bindings.h"
#include "python/toolkit_error.h"

namespace py = pybind11;

namespace pybinding {

namespace {

using Kind = ToolkitError::Kind;
using FloatArray = py::array_t<float, py::array::c_style>;

// MDL7 indices of vertices and texture coordinates are 16 bits wide, and
// 0xFFFF means none.
constexpr size_t kMostIndices = 0xFFFF;
// Skin types: 8-bit palette indices (the palette is not in the file), and
// 32-bit colour stored blue, green, red, alpha.
constexpr uint8_t kIndexSkinType = 0;
constexpr uint8_t kBgraSkinType = 5;

// A skin as it is written: an image of palette indices or of RGBA, a
// material, or both.
struct SkinInput {
  std::string name;
  py::object image = py::none();
  bool hasMaterial = false;
  float color[3] = {};
  float alpha = 1;
};

// The model's arrays, checked.
struct ModelInput {
  std::vector<FloatArray> frames;
  // One per frame, or none: then they are made from the triangles.
  std::vector<FloatArray> normals;
  std::vector<std::string> frameNames;
  py::array_t<int32_t, py::array::c_style> triangles;
  FloatArray texCoords;
  bool hasTexCoords = false;
  std::vector<SkinInput> skins;
  // Per triangle the written skin whose material it takes, or -1.
  std::vector<int32_t> triangleSkins;
  size_t vertexCount = 0;
};

py::object Field(const py::object& model, const char* name) {
  if (py::isinstance<py::dict>(model)) {
    py::dict d = model;
    return d.contains(name) ? py::object(d[name]) : py::object(py::none());
  }
  return py::getattr(model, name, py::none());
}

void CheckTriangles(const ModelInput& in) {
  const int32_t* corners = in.triangles.data();
  const size_t count = static_cast<size_t>(in.triangles.size());
  for (size_t i = 0; i < count; ++i) {
    if (corners[i] < 0 || static_cast<size_t>(corners[i]) >= in.vertexCount) {
      throw py::value_error("triangle " + std::to_string(i / 3) + " names vertex " +
                            std::to_string(corners[i]) + " outside the " + std::to_string(in.vertexCount) +
                            " vertices");
    }
  }
}

// A skin's image: (height, width, 4) RGBA or (height, width) palette
// indices.
py::object SkinImage(const py::handle skin) {
  if (py::isinstance<py::array>(skin)) {
    const py::array array = py::reinterpret_borrow<py::array>(skin);
    if (array.ndim() == 2) return RequireArray<uint8_t>(skin, "a skin", {-1, -1});
    if (array.ndim() != 3 || array.shape(2) != 4) {
      throw py::value_error("a skin must have the shape (height, width, 4) or (height, width), not " +
                            py::str(array.attr("shape")).cast<std::string>());
    }
  }
  return RequireArray<uint8_t>(skin, "a skin", {-1, -1, 4});
}

// Entry `k` of `materials`: None, or a dict with "color" (r, g, b) and
// optionally "alpha" (else 1).
void ReadMaterial(const py::handle material, size_t k, SkinInput& skin) {
  if (material.is_none()) return;
  const std::string what = "materials[" + std::to_string(k) + "]";
  if (!py::isinstance<py::dict>(material)) {
    throw py::value_error(what + " must be None or a dict with \"color\" (r, g, b) and \"alpha\"");
  }
  const py::dict entry = py::reinterpret_borrow<py::dict>(material);
  if (!entry.contains("color")) throw py::value_error(what + " has no \"color\"");
  try {
    const py::sequence color = entry["color"].cast<py::sequence>();
    if (py::isinstance<py::str>(color) || py::len(color) != 3) throw py::cast_error();
    for (size_t c = 0; c < 3; ++c) skin.color[c] = color[c].cast<float>();
    if (entry.contains("alpha")) skin.alpha = entry["alpha"].cast<float>();
  } catch (const py::cast_error&) {
    throw py::value_error(what + " must hold \"color\" as three numbers and \"alpha\" as a number");
  }
  if (!std::isfinite(skin.color[0]) || !std::isfinite(skin.color[1]) || !std::isfinite(skin.color[2]) ||
      !std::isfinite(skin.alpha)) {
    throw py::value_error(what + " holds a value that is not finite");
  }
  skin.hasMaterial = true;
}

// The skins to write: per skin of the model its image and its material; a
// skin with neither (a missing image, such as an external skin name) is left
// out. Triangles name the skins they take as the model numbers them and are
// renumbered to the written skins; one that names none of them takes none
// (-1). Where no triangle names a written skin (the formats without
// materials give -1 throughout), every triangle takes the first skin.
void ReadSkins(const py::object& model, const py::object& materialsGiven, ModelInput& in) {
  const py::object skins = Field(model, "skins");
  const py::object materials = materialsGiven.is_none() ? Field(model, "materials") : materialsGiven;
  const py::object names = Field(model, "skin_names");
  for (const auto& [list, what] : {std::make_pair(skins, "skins"), std::make_pair(materials, "materials")}) {
    if (!list.is_none() && (!py::isinstance<py::sequence>(list) || py::isinstance<py::str>(list)))
      throw py::value_error(std::string(what) + " must be a list, one entry per skin");
  }
  const size_t skinCount = skins.is_none() ? 0 : py::len(skins);
  const size_t materialCount = materials.is_none() ? 0 : py::len(materials);
  std::vector<int32_t> written(std::max(skinCount, materialCount), -1);
  for (size_t k = 0; k < written.size(); ++k) {
    SkinInput skin;
    if (k < skinCount && !skins[py::int_(k)].is_none()) skin.image = SkinImage(skins[py::int_(k)]);
    if (k < materialCount) ReadMaterial(materials[py::int_(k)], k, skin);
    if (skin.image.is_none() && !skin.hasMaterial) continue;
    if (!names.is_none() && k < py::len(names) && !names[py::int_(k)].is_none()) {
      skin.name = py::str(names[py::int_(k)]).attr("encode")("latin-1", "replace").cast<std::string>();
    }
    if (skin.name.empty()) skin.name = "skin" + std::to_string(k);
    written[k] = static_cast<int32_t>(in.skins.size());
    in.skins.push_back(std::move(skin));
  }
  const size_t triangleCount = static_cast<size_t>(in.triangles.shape(0));
  in.triangleSkins.assign(triangleCount, in.skins.empty() ? -1 : 0);
  const py::object given = Field(model, "triangle_materials");
  if (given.is_none()) return;
  const auto taken = RequireArray<int32_t>(given, "triangle_materials", {in.triangles.shape(0)});
  std::vector<int32_t> named(triangleCount, -1);
  bool namesAny = false;
  for (size_t i = 0; i < triangleCount; ++i) {
    const int32_t k = taken.data()[i];
    if (k >= 0 && static_cast<size_t>(k) < written.size() && written[static_cast<size_t>(k)] >= 0) {
      named[i] = written[static_cast<size_t>(k)];
      namesAny = true;
    }
  }
  if (namesAny) in.triangleSkins = std::move(named);
}

ModelInput ReadInput(const py::object& model, const py::object& materials) {
  ModelInput in;
  const py::object frames = Field(model, "frames");
  if (frames.is_none() || py::len(frames) == 0) throw py::value_error("the model needs at least one frame");
  for (const py::handle frame : frames) {
    in.frames.push_back(
        RequireArray<float>(frame, "a frame", {in.frames.empty() ? -1 : in.frames[0].shape(0), 3}));
  }
  in.vertexCount = static_cast<size_t>(in.frames[0].shape(0));
  if (in.vertexCount > kMostIndices) {
    throw py::value_error("an MDL7 group holds at most 65535 vertices, not " +
                          std::to_string(in.vertexCount));
  }
  const py::object normals = Field(model, "normals");
  if (!normals.is_none() && py::len(normals) > 0) {
    if (py::len(normals) != in.frames.size()) throw py::value_error("normals must give one array per frame");
    for (const py::handle n : normals) {
      in.normals.push_back(RequireArray<float>(n, "normals", {in.frames[0].shape(0), 3}));
    }
  }
  const py::object names = Field(model, "frame_names");
  for (size_t i = 0; i < in.frames.size(); ++i) {
    in.frameNames.push_back(!names.is_none() && i < py::len(names)
                                ? py::str(names[py::int_(i)]).cast<std::string>()
                                : "frame" + std::to_string(i));
  }
  in.triangles = RequireArray<int32_t>(Field(model, "triangles"), "triangles", {-1, 3});
  CheckTriangles(in);
  const py::object uv = Field(model, "texcoords");
  if (!uv.is_none()) {
    in.texCoords = RequireArray<float>(uv, "texcoords", {in.triangles.shape(0), 3, 2});
    in.hasTexCoords = true;
  }
  ReadSkins(model, materials, in);
  return in;
}

[[noreturn]] void Refused(const modelfiles::MDL7W& writer) {
  throw ToolkitError::FromReason(Kind::kModel, writer.LastFailure(), 0, std::string());
}

// The material of a colour and an alpha: four colour values (diffuse,
// ambient, specular, emissive) and a power. The alpha goes with both the
// diffuse and the ambient colour, where readers look for it.
void WriteMaterial(const SkinInput& skin, modelfiles::MDL7W& writer) {
  const float colors[4][4] = {{skin.color[0], skin.color[1], skin.color[2], skin.alpha},
                              {skin.color[0], skin.color[1], skin.color[2], skin.alpha},
                              {0, 0, 0, 0},
                              {0, 0, 0, 0}};
  if (!writer.WriteMaterial(colors, 0)) Refused(writer);
}

void WriteSkins(const ModelInput& in, modelfiles::MDL7W& writer) {
  for (const SkinInput& skin : in.skins) {
    const uint8_t material = skin.hasMaterial ? modelfiles::mdl7::kSkinHasMaterial : 0;
    if (skin.image.is_none()) {
      // A material alone: an 8-bit skin of no pixels.
      if (!writer.BeginSkin(static_cast<uint8_t>(kIndexSkinType | material), skin.name.c_str()))
        Refused(writer);
      writer.SetSkinImage(0, 0, 1, false);
    } else {
      const py::array image = py::reinterpret_borrow<py::array>(skin.image);
      const auto height = static_cast<int32_t>(image.shape(0));
      const auto width = static_cast<int32_t>(image.shape(1));
      const bool indexed = image.ndim() == 2;
      if (!writer.BeginSkin(static_cast<uint8_t>((indexed ? kIndexSkinType : kBgraSkinType) | material),
                            skin.name.c_str()))
        Refused(writer);
      writer.SetSkinImage(width, height, indexed ? 1 : 4, false);
      const auto* pixels = static_cast<const uint8_t*>(image.data());
      std::vector<uint8_t> bgra;
      if (!indexed) {
        const size_t count = static_cast<size_t>(image.shape(0)) * static_cast<size_t>(image.shape(1));
        bgra.resize(count * 4);
        for (size_t i = 0; i < count; ++i) {
          bgra[4 * i] = pixels[4 * i + 2];
          bgra[4 * i + 1] = pixels[4 * i + 1];
          bgra[4 * i + 2] = pixels[4 * i];
          bgra[4 * i + 3] = pixels[4 * i + 3];
        }
        pixels = bgra.data();
      }
      if (!writer.WriteSkinImage(pixels, nullptr, nullptr, nullptr)) Refused(writer);
    }
    if (skin.hasMaterial) WriteMaterial(skin, writer);
    if (!writer.FinishSkin()) Refused(writer);
  }
}

// Texture coordinates, each distinct pair once; per corner its index, or
// 0xFFFF for none.
std::vector<uint16_t> WriteTexCoords(const ModelInput& in, modelfiles::MDL7W& writer) {
  const size_t corners = static_cast<size_t>(in.triangles.size());
  std::vector<uint16_t> index(corners, static_cast<uint16_t>(kMostIndices));
  if (!in.hasTexCoords) return index;
  std::map<std::pair<float, float>, uint16_t> seen;
  const float* uv = in.texCoords.data();
  for (size_t c = 0; c < corners; ++c) {
    const std::pair<float, float> st(uv[2 * c], uv[2 * c + 1]);
    if (std::isnan(st.first) || std::isnan(st.second)) continue;
    auto found = seen.find(st);
    if (found == seen.end()) {
      if (seen.size() >= kMostIndices)
        throw py::value_error("an MDL7 group holds at most 65535 texture coordinates");
      if (!writer.AddTexCoord(st.first, st.second)) Refused(writer);
      found = seen.emplace(st, static_cast<uint16_t>(seen.size())).first;
    }
    index[c] = found->second;
  }
  return index;
}

// Unit normals of frame `frame`'s vertices: the model's own, else the sum of
// the normals of the triangles around each, weighted by their area; (0, 0,
// 1) where that sum has no length.
std::vector<float> VertexNormals(const ModelInput& in, size_t frame) {
  if (!in.normals.empty()) {
    const float* given = in.normals[frame].data();
    return std::vector<float>(given, given + in.vertexCount * 3);
  }
  const float* xyz = in.frames[frame].data();
  std::vector<float> normals(in.vertexCount * 3, 0.0f);
  const int32_t* t = in.triangles.data();
  for (py::ssize_t i = 0; i < in.triangles.shape(0); ++i) {
    const float* a = xyz + 3 * t[3 * i];
    const float* b = xyz + 3 * t[3 * i + 1];
    const float* c = xyz + 3 * t[3 * i + 2];
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    for (int k = 0; k < 3; ++k) {
      for (int d = 0; d < 3; ++d) normals[3 * static_cast<size_t>(t[3 * i + k]) + d] += n[d];
    }
  }
  for (size_t i = 0; i < in.vertexCount; ++i) {
    float* n = &normals[3 * i];
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (length > 0 && std::isfinite(length)) {
      for (int d = 0; d < 3; ++d) n[d] /= length;
    } else {
      n[0] = n[1] = 0.0f;
      n[2] = 1.0f;
    }
  }
  return normals;
}

void WriteMesh(const ModelInput& in, modelfiles::MDL7W& writer) {
  const std::vector<uint16_t> uv = WriteTexCoords(in, writer);
  const int32_t* t = in.triangles.data();
  for (py::ssize_t i = 0; i < in.triangles.shape(0); ++i) {
    const size_t c = 3 * static_cast<size_t>(i);
    if (!writer.AddTriangle(static_cast<uint16_t>(t[c]), static_cast<uint16_t>(t[c + 1]),
                            static_cast<uint16_t>(t[c + 2]), uv[c], uv[c + 1], uv[c + 2],
                            in.triangleSkins[static_cast<size_t>(i)])) {
      Refused(writer);
    }
  }
  const float* base = in.frames[0].data();
  const std::vector<float> baseNormals = VertexNormals(in, 0);
  for (size_t v = 0; v < in.vertexCount; ++v) {
    const float* p = base + 3 * v;
    const float* n = &baseNormals[3 * v];
    if (!writer.AddVertex(p[0], p[1], p[2], modelfiles::MDL7W::kNoBone, n[0], n[1], n[2])) Refused(writer);
  }
  for (size_t f = 0; f < in.frames.size(); ++f) {
    const float* xyz = in.frames[f].data();
    const std::vector<float> normals = VertexNormals(in, f);
    if (!writer.BeginFrame(in.frameNames[f].c_str())) Refused(writer);
    for (size_t v = 0; v < in.vertexCount; ++v) {
      const float* p = xyz + 3 * v;
      const float* n = &normals[3 * v];
      if (!writer.AddFrameVertex(static_cast<uint16_t>(v), p[0], p[1], p[2], n[0], n[1], n[2]))
        Refused(writer);
    }
    if (!writer.FinishFrame()) Refused(writer);
  }
}

void WriteMdl7(const py::object& pathObject, const py::object& model, const py::object& materials) {
  const std::string path = FilePath(pathObject);
  const ModelInput in = ReadInput(model, materials);
  modelfiles::MDL7W writer;
  if (!writer.OpenInMemory()) throw std::bad_alloc();
  if (!writer.BeginGroup("")) Refused(writer);
  WriteSkins(in, writer);
  WriteMesh(in, writer);
  if (!writer.FinishGroup() || !writer.Close()) Refused(writer);
  platform::FailureReason reason;
  errno = 0;
  if (!platform::WriteWholeFile(path.c_str(), writer.MemoryBytes(), reason)) {
    throw ToolkitError::FromReason(Kind::kModel, reason, errno, path);
  }
}

}  // namespace

void BindModelWriter(py::module_& module) {
  module.def("write_mdl7", &WriteMdl7, py::arg("path"), py::arg("model"), py::kw_only(),
             py::arg("materials") = py::none(),
             "Writes `model` (a Model, or any object or dict with the same fields) as an MDL7 file of "
             "one group: frames[0] as the base vertices, every frame as a vertex frame, triangles "
             "with their texture coordinates and the skin each takes (triangle_materials; where "
             "they name no written skin, the first), each "
             "(height, width, 4) uint8 RGBA skin as a 32-bit skin and each (height, width) uint8 "
             "skin of palette indices as an 8-bit skin with the indices unchanged (no palette is "
             "stored). Per skin, `materials` (else the model's own) gives None or a dict with "
             "\"color\" (r, g, b) and \"alpha\", stored as the skin's material record; a skin "
             "without image and material (None) is left out. The file is replaced whole or not at "
             "all.\n\n"
             "Raises ValueError for arrays of another dtype or shape, OSError when the file cannot "
             "be written.");
}

}  // namespace pybinding
