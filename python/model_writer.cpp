// write_mdl7 of the Python module: a model of NumPy arrays through MDL7W.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

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
// The 32-bit colour skin type, stored blue, green, red, alpha.
constexpr uint8_t kBgraSkinType = 5;

// The model's arrays, checked.
struct ModelInput {
  std::vector<FloatArray> frames;
  // One per frame, or none: then they are made from the triangles.
  std::vector<FloatArray> normals;
  std::vector<std::string> frameNames;
  py::array_t<int32_t, py::array::c_style> triangles;
  FloatArray texCoords;
  bool hasTexCoords = false;
  std::vector<py::array_t<uint8_t, py::array::c_style>> skins;
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

ModelInput ReadInput(const py::object& model) {
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
  const py::object skins = Field(model, "skins");
  if (!skins.is_none()) {
    for (const py::handle skin : skins)
      in.skins.push_back(RequireArray<uint8_t>(skin, "a skin", {-1, -1, 4}));
  }
  return in;
}

[[noreturn]] void Refused(const modelfiles::MDL7W& writer) {
  throw ToolkitError::FromReason(Kind::kModel, writer.LastFailure(), 0, std::string());
}

void WriteSkins(const ModelInput& in, modelfiles::MDL7W& writer) {
  for (size_t k = 0; k < in.skins.size(); ++k) {
    const auto& skin = in.skins[k];
    const std::string name = "skin" + std::to_string(k);
    const size_t pixels = static_cast<size_t>(skin.shape(0)) * static_cast<size_t>(skin.shape(1));
    std::vector<uint8_t> bgra(pixels * 4);
    const uint8_t* rgba = skin.data();
    for (size_t i = 0; i < pixels; ++i) {
      bgra[4 * i] = rgba[4 * i + 2];
      bgra[4 * i + 1] = rgba[4 * i + 1];
      bgra[4 * i + 2] = rgba[4 * i];
      bgra[4 * i + 3] = rgba[4 * i + 3];
    }
    if (!writer.BeginSkin(kBgraSkinType, name.c_str())) Refused(writer);
    writer.SetSkinImage(static_cast<int32_t>(skin.shape(1)), static_cast<int32_t>(skin.shape(0)), 4, false);
    if (!writer.WriteSkinImage(bgra.data(), nullptr, nullptr, nullptr) || !writer.FinishSkin())
      Refused(writer);
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
                            in.skins.empty() ? -1 : 0)) {
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

void WriteMdl7(const py::object& pathObject, const py::object& model) {
  const std::string path = py::module_::import("os").attr("fsdecode")(pathObject).cast<std::string>();
  const ModelInput in = ReadInput(model);
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
  module.def("write_mdl7", &WriteMdl7, py::arg("path"), py::arg("model"),
             "Writes `model` (a Model, or any object or dict with the same fields) as an MDL7 file of "
             "one group: frames[0] as the base vertices, every frame as a vertex frame, triangles "
             "with their texture coordinates, and each (H, W, 4) uint8 RGBA skin as a 32-bit skin. "
             "The file is replaced whole or not at all.\n\n"
             "Raises ValueError for arrays of another dtype or shape, OSError when the file cannot "
             "be written.");
}

}  // namespace pybinding
