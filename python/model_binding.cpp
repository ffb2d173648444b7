// open_model, write_mdl7 and the Model class of the Python module.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "modelfiles/model_file_opener.h"
#include "modelfiles/model_walk.h"
#include "python/array_helpers.h"
#include "python/bindings.h"
#include "python/model_arrays.h"
#include "python/model_arrays_visitor.h"
#include "python/toolkit_error.h"

namespace py = pybind11;

namespace pybinding {

namespace {

using Kind = ToolkitError::Kind;

// What one read of a model gives, before it becomes Python objects.
struct ReadModel {
  std::string format;
  modelfiles::ModelHeader header;
  render::ModelMesh mesh;
  std::vector<CollectedSkin> skins;
};

py::dict HeaderDict(const modelfiles::ModelHeader& h) {
  py::dict d;
  d["version"] = h.version;
  if (h.family == modelfiles::ModelFamily::kMdl7) {
    d["bones"] = h.boneCount;
    d["groups"] = h.groupCount;
    d["data_size"] = h.dataSize;
    return d;
  }
  d["skins"] = h.skinCount;
  d["vertices"] = h.vertexCount;
  d["triangles"] = h.triangleCount;
  d["frames"] = h.frameCount;
  d["texcoords"] = h.texCoordCount;
  d["skin_width"] = h.skinWidth;
  d["skin_height"] = h.skinHeight;
  d["flags"] = h.flags;
  if (h.family == modelfiles::ModelFamily::kLegacy) {
    d["scale"] = Triple(h.scale);
    d["origin"] = Triple(h.origin);
    d["radius"] = h.radius;
  } else {
    d["frame_size"] = h.frameSize;
    d["gl_commands"] = h.glCommandCount;
  }
  return d;
}

// Opens and walks the model; the GIL is released meanwhile.
ReadModel ReadWhole(const std::vector<uint8_t>* bytes, const std::string& path) {
  ReadModel out;
  modelfiles::ModelOpenResult opened;
  int systemError = 0;
  {
    py::gil_scoped_release release;
    errno = 0;
    opened = bytes != nullptr ? modelfiles::OpenModelBytes(bytes->data(), bytes->size())
                              : modelfiles::OpenModelFile(path.c_str());
    systemError = errno;
  }
  if (opened.status == modelfiles::ModelOpenStatus::kOutOfMemory) throw std::bad_alloc();
  if (opened.status != modelfiles::ModelOpenStatus::kOpened) {
    throw ToolkitError::FromReason(Kind::kModel, opened.reason, systemError, path);
  }
  out.format = opened.magic;
  ModelArraysVisitor visitor(out.mesh, out.skins);
  {
    py::gil_scoped_release release;
    modelfiles::WalkModel(*opened.reader, visitor);
  }
  if (!visitor.Error().empty()) {
    const platform::FailureReason& reason = visitor.WalkReason();
    const bool hasOffset = reason.GetKind() == platform::FailureReason::Kind::kTruncated ||
                           reason.GetKind() == platform::FailureReason::Kind::kMalformed;
    throw ToolkitError(Kind::kModel, visitor.Error(), hasOffset ? static_cast<int64_t>(reason.Offset()) : -1);
  }
  out.header = visitor.HeaderFields();
  return out;
}

void PutTriangles(const render::ModelMesh& mesh, ModelArrays& model) {
  const size_t count = mesh.triangles.size();
  const size_t texCount = mesh.texCoords.size() / 2;
  std::vector<int32_t> corners(count * 3);
  std::vector<float> uv(count * 6, std::numeric_limits<float>::quiet_NaN());
  std::vector<int32_t> materials(count);
  for (size_t i = 0; i < count; ++i) {
    const render::MeshTriangle& t = mesh.triangles[i];
    materials[i] = t.material;
    for (size_t c = 0; c < 3; ++c) {
      corners[3 * i + c] = t.vertices[c];
      const int32_t k = t.texCoords[c];
      if (k < 0 || static_cast<size_t>(k) >= texCount) continue;
      uv[6 * i + 2 * c] = mesh.texCoords[2 * static_cast<size_t>(k)];
      uv[6 * i + 2 * c + 1] = mesh.texCoords[2 * static_cast<size_t>(k) + 1];
    }
  }
  const auto n = static_cast<py::ssize_t>(count);
  model.triangles = ArrayOwning(std::move(corners), {n, 3});
  model.texCoords = ArrayOwning(std::move(uv), {n, 3, 2});
  model.triangleMaterials = ArrayOwning(std::move(materials), {n});
}

// Points as an (N, 3) float32 array.
py::array PointArray(const std::vector<render::MeshPoint>& points) {
  std::vector<float> xyz(points.size() * 3);
  for (size_t i = 0; i < points.size(); ++i) {
    xyz[3 * i] = points[i].x;
    xyz[3 * i + 1] = points[i].y;
    xyz[3 * i + 2] = points[i].z;
  }
  return ArrayOwning(std::move(xyz), {static_cast<py::ssize_t>(points.size()), 3});
}

void PutFramesAndSkins(ReadModel& read, ModelArrays& model) {
  for (size_t f = 0; f < read.mesh.frames.size(); ++f) {
    model.frames.append(PointArray(read.mesh.frames[f]));
    model.frameNames.append(py::str(read.mesh.frameNames[f]));
  }
  for (const std::vector<render::MeshPoint>& normals : read.mesh.normals)
    model.normals.append(PointArray(normals));
  for (CollectedSkin& skin : read.skins) {
    model.skinNames.append(py::bytes(skin.name).attr("decode")("latin-1"));
    if (skin.channels == 0) {
      model.skins.append(py::none());
    } else if (skin.channels == 1) {
      model.skins.append(ArrayOwning(std::move(skin.pixels), {skin.height, skin.width}));
    } else {
      model.skins.append(ArrayOwning(std::move(skin.pixels), {skin.height, skin.width, 4}));
    }
  }
  for (const render::MeshMaterial& material : read.mesh.materials) {
    if (!material.present) {
      model.materials.append(py::none());
      continue;
    }
    py::dict entry;
    entry["color"] = Triple(material.rgb);
    entry["alpha"] = material.opacity;
    model.materials.append(entry);
  }
}

// A model from a file's bytes (bytes) or from its path (anything else that
// os.fsencode takes).
ModelArrays OpenModel(const py::object& source) {
  ReadModel read;
  if (py::isinstance<py::bytes>(source)) {
    const std::string bytes = source.cast<std::string>();
    const std::vector<uint8_t> data(bytes.begin(), bytes.end());
    read = ReadWhole(&data, std::string());
  } else {
    read = ReadWhole(nullptr, FilePath(source));
  }
  ModelArrays model;
  model.format = read.format;
  model.header = HeaderDict(read.header);
  PutTriangles(read.mesh, model);
  PutFramesAndSkins(read, model);
  return model;
}

std::string ModelRepr(const ModelArrays& m) {
  const py::object shape = py::getattr(m.triangles, "shape", py::none());
  const py::object triangles = shape.is_none() ? py::object(py::int_(0)) : py::object(shape[py::int_(0)]);
  const py::object vertices =
      py::len(m.frames) > 0 ? py::object(py::getattr(m.frames[0], "shape", py::make_tuple(0))[py::int_(0)])
                            : py::object(py::int_(0));
  return py::str("<Model {}: {} vertices, {} triangles, {} frames, {} skins>")
      .format(m.format, vertices, triangles, py::len(m.frames), py::len(m.skins))
      .cast<std::string>();
}

}  // namespace

void BindModels(py::module_& module) {
  py::class_<ModelArrays>(module, "Model",
                          "A model as NumPy arrays: what open_model reads and write_mdl7 writes.")
      .def(py::init<>(), "An empty model, to fill with arrays for write_mdl7.")
      .def_readwrite("format", &ModelArrays::format, "The file's magic: \"MDL7\", \"IDPO\", \"IDP2\", ...")
      .def_readwrite("header", &ModelArrays::header, "The header's fields by name.")
      .def_readwrite("frames", &ModelArrays::frames,
                     "One (N, 3) float32 array of positions per frame (an IDPO frame group gives its "
                     "first frame; an MDL7 model without frames its base vertices).")
      .def_readwrite("frame_names", &ModelArrays::frameNames, "The frames' names.")
      .def_readwrite("normals", &ModelArrays::normals,
                     "Per frame, the (N, 3) float32 unit normals the file stores ((0, 0, 0) for an MDL7 "
                     "vertex without one); empty when the model stores none.")
      .def_readwrite("triangles", &ModelArrays::triangles, "(M, 3) int32 vertex indices.")
      .def_readwrite("texcoords", &ModelArrays::texCoords,
                     "(M, 3, 2) float32 texture coordinates per corner, (0, 0) the skin's top left and "
                     "(1, 1) its bottom right; NaN where a corner has none.")
      .def_readwrite("triangle_materials", &ModelArrays::triangleMaterials,
                     "(M,) int32: MDL7, the skin whose material a triangle takes; -1 elsewhere.")
      .def_readwrite("skins", &ModelArrays::skins,
                     "Per skin: (H, W, 4) uint8 RGBA for true colour, (H, W) uint8 palette indices, or "
                     "None for a skin without an image.")
      .def_readwrite("skin_names", &ModelArrays::skinNames, "The skins' names (MDL7, IDP2).")
      .def_readwrite("materials", &ModelArrays::materials,
                     "MDL7: per skin, None or a dict with \"color\" (r, g, b from 0 to 1) and \"alpha\".")
      .def("__repr__", &ModelRepr);
  module.def("open_model", &OpenModel, py::arg("source"),
             "Reads a model file (MDL7, MDL2 to MDL6, IDPO, IDP2) from its bytes (bytes) or from its path.");
  BindModelWriter(module);
}

}  // namespace pybinding
