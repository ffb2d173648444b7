// load_terrain, save_terrain and the Terrain class of the Python module.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/whole_file.h"
#include "plugin/terrain_recipe.h"
#include "python/array_helpers.h"
#include "python/bindings.h"
#include "python/terrain_arrays.h"
#include "python/terrain_keywords.h"
#include "python/toolkit_error.h"
#include "terrain/skin_rgba.h"
#include "terrain/terrain_loader.h"
#include "terrain/terrain_saver.h"

namespace py = pybind11;

namespace pybinding {

namespace {

using Kind = ToolkitError::Kind;

py::dict HmpDict(const loamwriter::HmpHeader& header) {
  py::dict d;
  d["magic"] = std::string(header.magic, sizeof header.magic);
  d["version"] = header.version;
  d["scale"] = Triple(header.scale);
  d["offset"] = Triple(header.offset);
  d["param0"] = header.param0;
  d["spacing"] = py::make_tuple(header.param1, header.param2);
  return d;
}

// The skins' first levels: RGBA where they hold colour, else their bytes
// as stored (H, W) for one byte a pixel, else None.
py::list SkinArrays(const std::vector<terrain::TerrainSkin>& skins) {
  py::list out;
  for (const terrain::TerrainSkin& skin : skins) {
    std::vector<uint8_t> rgba;
    if (terrain::DecodeSkinRgba(skin.type, skin.bytesPerPixel, skin.width, skin.height, skin.levels[0].data(),
                                rgba)) {
      out.append(ArrayOwning(std::move(rgba), {skin.height, skin.width, 4}));
    } else if (skin.bytesPerPixel == 1 && skin.width > 0 && skin.height > 0) {
      std::vector<uint8_t> indices = skin.levels[0];
      out.append(ArrayOwning(std::move(indices), {skin.height, skin.width}));
    } else {
      out.append(py::none());
    }
  }
  return out;
}

// The exception for a refusal of the terrain room about the file at `path`:
// OSError where the system refused to open or write that file (with
// `systemError`, else EIO, as the result keeps only the system's text), else
// TerrainError with the result's text and the byte it names.
ToolkitError TerrainFailure(const terrain::TerrainResult& result, const std::string& path, int systemError) {
  using ResultKind = terrain::TerrainResult::Kind;
  const bool system =
      result.GetKind() == ResultKind::kCannotOpen || result.GetKind() == ResultKind::kInputOutput;
  if (system && result.Path() == path) {
    return ToolkitError(Kind::kSystem, result.Description(), -1, systemError != 0 ? systemError : EIO, path);
  }
  return ToolkitError(Kind::kTerrain, result.Text(), result.Offset());
}

// Reads the file whole, so that a file that cannot be read is an OSError,
// then hands its bytes to the terrain room with the format the options or
// the name give.
terrain::TerrainGrid LoadGrid(const std::string& path, terrain::TerrainOptions options,
                              terrain::TerrainFormat& format) {
  terrain::TerrainGrid grid;
  terrain::TerrainResult loaded;
  {
    py::gil_scoped_release release;
    std::vector<uint8_t> bytes;
    platform::FailureReason reason;
    errno = 0;
    if (!platform::ReadWholeFile(path.c_str(), bytes, reason)) {
      const int systemError = errno;
      throw ToolkitError::FromReason(Kind::kTerrain, reason, systemError, path);
    }
    if (options.format == terrain::TerrainFormat::kUnknown) options.format = terrain::FormatOfName(path);
    loaded = terrain::LoadTerrain(std::move(bytes), options, grid, format);
  }
  if (!loaded) throw TerrainFailure(loaded.WithPath(path), path, 0);
  return grid;
}

// How refusals name the grid options where the caller words them itself:
// (needs size, size, tiles, whether a size reads (rows, columns)).
terrain::GridOptionNames NamesFrom(const py::object& names) {
  if (!py::isinstance<py::tuple>(names) || py::len(names) != 4) {
    throw py::type_error("the option names take (needs size, size, tiles, rows first)");
  }
  const py::tuple given = names.cast<py::tuple>();
  return {given[0].cast<std::string>(), given[1].cast<std::string>(), given[2].cast<std::string>(),
          given[3].cast<bool>()};
}

TerrainArrays LoadTerrain(const py::object& pathObject, const py::dict& keywords, const py::object& names) {
  const std::string path = FilePath(pathObject);
  terrain::TerrainOptions options = TerrainOptionsFrom(keywords, KeywordUse::kLoad);
  if (!names.is_none()) options.gridNames = NamesFrom(names);
  terrain::TerrainFormat format = terrain::TerrainFormat::kUnknown;
  auto grid = std::make_shared<terrain::TerrainGrid>(LoadGrid(path, options, format));
  TerrainArrays out;
  out.format = terrain::FormatName(format);
  out.spacingX = options.spacingX > 0.0 ? options.spacingX : grid->spacingX;
  out.spacingY = options.spacingY > 0.0 ? options.spacingY : grid->spacingY;
  if (!grid->packed.empty()) out.range = py::make_tuple(grid->low, grid->high);
  out.rangeKnown = grid->rangeKnown;
  if (grid->hasHmpHeader) out.hmp = HmpDict(grid->hmpHeader);
  out.skins = SkinArrays(grid->skins);
  out.heightsHash = HashHeights(grid->heights.data(), grid->heights.size());
  out.heights = ArrayOwning(std::move(grid->heights), {grid->rows, grid->columns});
  grid->heights.clear();
  out.kept = std::move(grid);
  return out;
}

// The grid to save: the heights of the array, and what the terrain kept of
// its file. Packed heights go back only while the heights are those read.
terrain::TerrainGrid GridToSave(const py::object& source) {
  terrain::TerrainGrid grid;
  py::object heights = source;
  const TerrainArrays* arrays = nullptr;
  if (py::isinstance<TerrainArrays>(source)) {
    arrays = &source.cast<const TerrainArrays&>();
    heights = arrays->heights;
  }
  if (py::isinstance<py::array_t<float>>(heights)) {
    const auto single = RequireArray<float>(heights, "heights", {-1, -1});
    grid.heights.assign(single.data(), single.data() + single.size());
  } else {
    const auto values = RequireArray<double>(heights, "heights", {-1, -1});
    grid.heights.assign(values.data(), values.data() + values.size());
  }
  const py::array shaped = py::reinterpret_borrow<py::array>(heights);
  if (shaped.shape(0) > INT32_MAX || shaped.shape(1) > INT32_MAX || grid.heights.empty()) {
    throw py::value_error("heights must hold between 1 and 2147483647 rows and columns");
  }
  grid.rows = static_cast<int32_t>(shaped.shape(0));
  grid.columns = static_cast<int32_t>(shaped.shape(1));
  if (arrays == nullptr) return grid;
  grid.spacingX = arrays->spacingX;
  grid.spacingY = arrays->spacingY;
  if (arrays->kept) {
    grid.hasHmpHeader = arrays->kept->hasHmpHeader;
    grid.hmpHeader = arrays->kept->hmpHeader;
    grid.skins = arrays->kept->skins;
    grid.skinsRead = arrays->kept->skinsRead;
    const bool same = arrays->kept->packed.size() == grid.heights.size() &&
                      HashHeights(grid.heights.data(), grid.heights.size()) == arrays->heightsHash;
    if (same) {
      grid.packed = arrays->kept->packed;
      grid.low = arrays->kept->low;
      grid.high = arrays->kept->high;
    } else {
      grid.hasHmpHeader = false;
    }
  }
  return grid;
}

float HeaderNumber(const py::handle value, const char* name) {
  const double number = value.cast<double>();
  if (!std::isfinite(number) || std::fabs(number) > std::numeric_limits<float>::max()) {
    throw py::value_error(std::string("hmp's ") + name + " must hold finite numbers");
  }
  return static_cast<float>(number);
}

void HeaderTriple(const py::dict& hmp, const char* name, float (&values)[3]) {
  if (!hmp.contains(name)) throw py::value_error(std::string("hmp needs its \"") + name + "\"");
  const py::object triple = hmp[name];
  if (!py::isinstance<py::sequence>(triple) || py::isinstance<py::str>(triple) || py::len(triple) != 3) {
    throw py::value_error(std::string("hmp's ") + name + " takes (x, y, z)");
  }
  for (size_t axis = 0; axis < 3; ++axis) values[axis] = HeaderNumber(triple[py::int_(axis)], name);
}

// The packed height nearest to `height` on the steps of a header's z scale
// from its z offset, 0 .. 65535; every height packs to 0 where the scale is
// 0, a flat terrain.
uint16_t PackOnHeader(double height, float scale, float offset) {
  if (scale == 0.0f) return 0;
  const double step = std::floor((height - static_cast<double>(offset)) / static_cast<double>(scale) + 0.5);
  if (!(step > 0.0)) return 0;
  return step >= loamwriter::kPackedRange ? loamwriter::kPackedTop : loamwriter::TruncateLow16(step);
}

// A header's spacing (east, north) as Terrain.hmp gives it; false where the
// header has none.
bool HeaderSpacing(const py::dict& hmp, double& east, double& north) {
  if (!hmp.contains("spacing")) return false;
  const py::object pair = hmp["spacing"];
  if (!py::isinstance<py::sequence>(pair) || py::isinstance<py::str>(pair) || py::len(pair) != 2) {
    throw py::value_error("hmp's spacing takes (east, north)");
  }
  east = HeaderNumber(pair[py::int_(0)], "spacing");
  north = HeaderNumber(pair[py::int_(1)], "spacing");
  if (!(east > 0.0) || !(north > 0.0)) throw py::value_error("hmp's spacing must be positive");
  return true;
}

// save_terrain's hmp=: the grid keeps that header's scales, offsets and
// param0, and its heights are packed on the header's z steps, so that a
// terrain read from an HMP file and written back packs to the same heights.
// The spacing given (else the header's, else the terrain's, else 1) goes
// into the header.
void KeepGivenHeader(const py::object& given, terrain::TerrainOptions& options, terrain::TerrainGrid& grid) {
  if (options.hasRange || options.heightScale != 1.0) {
    throw py::value_error("hmp takes its heights' scale from the header: no range or height_scale with it");
  }
  if (!py::isinstance<py::dict>(given)) throw py::type_error("hmp takes a header as Terrain.hmp gives it");
  const py::dict hmp = given.cast<py::dict>();
  loamwriter::HmpHeader& header = grid.hmpHeader;
  header = loamwriter::HmpHeader{};
  HeaderTriple(hmp, "scale", header.scale);
  HeaderTriple(hmp, "offset", header.offset);
  header.param0 =
      hmp.contains("param0") ? HeaderNumber(hmp["param0"], "param0") : static_cast<float>(grid.columns);
  double headerX = 0.0, headerY = 0.0;
  if (options.spacingX > 0.0) {
    grid.spacingX = options.spacingX;
    grid.spacingY = options.spacingY;
    options.spacingX = options.spacingY = 0.0;
  } else if (HeaderSpacing(hmp, headerX, headerY)) {
    grid.spacingX = headerX;
    grid.spacingY = headerY;
  }
  if (!(grid.spacingX > 0.0) || !(grid.spacingY > 0.0)) grid.spacingX = grid.spacingY = 1.0;
  header.param1 = static_cast<float>(grid.spacingX);
  header.param2 = static_cast<float>(grid.spacingY);
  grid.hasHmpHeader = true;
  grid.packed.resize(grid.heights.size());
  for (size_t i = 0; i < grid.heights.size(); ++i) {
    grid.packed[i] = PackOnHeader(grid.heights[i], header.scale[2], header.offset[2]);
  }
  grid.low = static_cast<double>(header.offset[2]);
  grid.high = grid.low + loamwriter::kPackedRange * static_cast<double>(header.scale[2]);
}

// What save_terrain wrote: the heights packed 0 and 65535 stand for, the
// spacing and the grid's shape, for formats that cannot carry them.
py::dict Written(const terrain::TerrainGrid& grid) {
  py::dict written;
  written["range"] = py::make_tuple(grid.packedLow, grid.packedHigh);
  written["spacing"] = py::make_tuple(grid.spacingX, grid.spacingY);
  written["shape"] = py::make_tuple(grid.rows, grid.columns);
  return written;
}

py::dict SaveTerrain(const py::object& pathObject, const py::object& source, const py::dict& keywords) {
  const std::string path = FilePath(pathObject);
  py::dict rest(keywords);
  const py::object hmp = rest.attr("pop")("hmp", py::none());
  terrain::TerrainOptions options = TerrainOptionsFrom(rest, KeywordUse::kSave);
  if (!options.skinPath.empty() && options.defaultSkin != terrain::DefaultSkin::kAutomatic) {
    throw py::value_error("skin and default_skin exclude each other");
  }
  terrain::TerrainGrid grid = GridToSave(source);
  // A terrain built from an array keeps the range it was given.
  if (py::isinstance<TerrainArrays>(source) && !options.hasRange && hmp.is_none()) {
    const TerrainArrays& arrays = source.cast<const TerrainArrays&>();
    if (!arrays.kept && arrays.rangeKnown && !arrays.range.is_none()) {
      options.hasRange = true;
      options.rangeLow = arrays.range[py::int_(0)].cast<double>();
      options.rangeHigh = arrays.range[py::int_(1)].cast<double>();
    }
  }
  if (!hmp.is_none()) KeepGivenHeader(hmp, options, grid);
  terrain::TerrainFormat format =
      options.format != terrain::TerrainFormat::kUnknown ? options.format : terrain::FormatOfName(path);
  if (format == terrain::TerrainFormat::kUnknown || format == terrain::TerrainFormat::kHeightArray) {
    throw ToolkitError(Kind::kValue,
                       path + ": terrains are written to .hmp, .png, .r16, .raw and .obj files");
  }
  terrain::TerrainResult saved;
  int systemError = 0;
  {
    py::gil_scoped_release release;
    errno = 0;
    saved = terrain::PrepareTerrain(options, grid);
    if (saved) saved = terrain::SaveTerrain(grid, format, options, path);
    systemError = errno;
  }
  if (!saved) throw TerrainFailure(saved, path, systemError);
  return Written(grid);
}

// Terrain(heights, spacing, range): a terrain of an array's heights, as
// save_terrain takes it; the range, where given, is what its packed heights
// stand for.
TerrainArrays TerrainOfArray(const py::object& heights, const py::object& spacing, const py::object& range) {
  py::dict keywords;
  keywords["spacing"] = spacing;
  if (!range.is_none()) keywords["range"] = range;
  const terrain::TerrainOptions options = TerrainOptionsFrom(keywords, KeywordUse::kLoad);
  const py::array copy = py::module_::import("numpy").attr("array")(heights, py::arg("dtype") = "float64");
  if (copy.ndim() != 2 || copy.shape(0) < 1 || copy.shape(1) < 1) {
    throw py::value_error("heights must be a (rows, columns) array with at least one row and column, not " +
                          py::str(copy.attr("shape")).cast<std::string>());
  }
  TerrainArrays out;
  out.heights = copy;
  out.spacingX = options.spacingX;
  out.spacingY = options.spacingY;
  if (options.hasRange) out.range = py::make_tuple(options.rangeLow, options.rangeHigh);
  out.rangeKnown = options.hasRange;
  out.format = "array";
  return out;
}

std::string TerrainRepr(const TerrainArrays& t) {
  const py::object shape = py::getattr(t.heights, "shape", py::none());
  return py::str("<Terrain {}: shape={}, spacing={}, range={}>")
      .format(t.format, shape, py::make_tuple(t.spacingX, t.spacingY), t.range)
      .cast<std::string>();
}

}  // namespace

uint64_t HashHeights(const double* heights, size_t count) {
  // FNV-1a over the heights' 64-bit patterns, a word at a time.
  uint64_t hash = 14695981039346656037ull;
  for (size_t i = 0; i < count; ++i) {
    uint64_t bits = 0;
    std::memcpy(&bits, &heights[i], sizeof bits);
    hash = (hash ^ bits) * 1099511628211ull;
  }
  return hash;
}

void BindTerrains(py::module_& module) {
  py::class_<TerrainArrays>(module, "Terrain", "A terrain: heights as NumPy arrays and what its file said.")
      .def(py::init(&TerrainOfArray), py::arg("heights"), py::kw_only(),
           py::arg("spacing") = py::make_tuple(1.0, 1.0), py::arg("range") = py::none(),
           "A terrain of (rows, columns) heights (row 0 at the south), copied as float64, with its "
           "(east, north) spacing and, where given, the (low, high) heights packed 0 and 65535 stand "
           "for, which save_terrain then keeps.")
      .def("__repr__", &TerrainRepr)
      .def_readwrite(
          "heights", &TerrainArrays::heights,
          "(rows, columns) float64 heights, row 0 at the southern edge, each row from west to east.")
      .def_property(
          "spacing", [](const TerrainArrays& t) { return py::make_tuple(t.spacingX, t.spacingY); },
          [](TerrainArrays& t, std::pair<double, double> s) {
            t.spacingX = s.first;
            t.spacingY = s.second;
          },
          "(east, north) distance between samples; 0 where the file does not say.")
      .def_readonly(
          "range", &TerrainArrays::range,
          "(low, high): the heights packed 0 and 65535 stand for, where the file held packed heights.")
      .def_readonly("range_known", &TerrainArrays::rangeKnown,
                    "Whether the range is the file's own (an HMP header, a PNG's stored range) or range= "
                    "gave it; False where 0 .. 65535 stands in.")
      .def_readonly("hmp", &TerrainArrays::hmp,
                    "An HMP file's header (magic, version, scale, offset, param0, spacing), else None.")
      .def_readonly("skins", &TerrainArrays::skins,
                    "An HMP file's skins: (H, W, 4) uint8 RGBA, rows as the file stores them, the picture's "
                    "bottom row first.")
      .def_readonly("format", &TerrainArrays::format,
                    "The format read: \"height array\", \"HMP\", \"PNG\", \"RAW\"; \"array\" for a "
                    "terrain built from an array.");
  module.def("load_terrain", &LoadTerrain, py::arg("path"), py::arg("options"), py::arg("names") = py::none(),
             "Reads a terrain from a path (bytes or os.PathLike) with a dict of options (format, shape, "
             "tiles, range, spacing); `names`, where given, words refusals of the grid options as "
             "(needs size, size, tiles, rows first).");
  module.def("save_terrain", &SaveTerrain, py::arg("path"), py::arg("terrain"), py::arg("options"),
             "Writes a Terrain, or a bare (rows, columns) float64 or float32 array, as HMP7, 16-bit PNG, "
             "RAW or OBJ by the name or format=. Options: format, spacing, range, height_scale, skin, "
             "default_skin (the HMP skin when neither skin= nor the terrain gives one: \"relief\", the "
             "terrain's lit relief in true colour, \"blank\" or \"none\"; None, the default, is none "
             "for a terrain read from an HMP file without skins, else the relief), engine_values, and hmp "
             "(an HMP header as Terrain.hmp gives it: the file keeps its scales, "
             "offsets, param0 and, unless spacing= is given, its spacing, and heights are packed on its z "
             "steps). The file is replaced whole or not at all. A PNG keeps the range and the spacing in "
             "its text chunks, which load_terrain reads back.\n\n"
             "Returns what was written: {\"range\": (low, high), \"spacing\": (east, north), "
             "\"shape\": (rows, columns)}, the range being the heights packed 0 and 65535 stand for, "
             "which a RAW file cannot carry.\n\n"
             "Raises TerrainError for a terrain that cannot be written, OSError when the file cannot.");
}

}  // namespace pybinding
