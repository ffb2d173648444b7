#include "python/terrain_keywords.h"

#include <cmath>
#include <set>
#include <string>

#include "python/toolkit_error.h"
#include "render/grid_arguments.h"

namespace py = pybind11;

namespace pybinding {

namespace {

// A pair of positive whole numbers, as `form` says they are given
// ("(rows, columns)"); `takesText` lets "AxB" give them too.
void GridPair(const py::handle value, const char* name, const char* form, int32_t& first, int32_t& second,
              bool takesText) {
  if (py::isinstance<py::str>(value)) {
    if (takesText && render::ParseGridPair(value.cast<std::string>().c_str(), first, second)) return;
  } else if (py::isinstance<py::sequence>(value) && py::len(value) == 2) {
    const long long a = value[py::int_(0)].cast<long long>();
    const long long b = value[py::int_(1)].cast<long long>();
    if (a > 0 && b > 0 && a <= INT32_MAX && b <= INT32_MAX) {
      first = static_cast<int32_t>(a);
      second = static_cast<int32_t>(b);
      return;
    }
  }
  throw py::value_error(std::string(name) + " takes " + form + " with two positive whole numbers");
}

double Finite(const py::handle value, const char* name) {
  const double number = value.cast<double>();
  if (!std::isfinite(number)) throw py::value_error(std::string(name) + " must be a finite number");
  return number;
}

void Spacing(const py::handle value, terrain::TerrainOptions& options) {
  if (py::isinstance<py::sequence>(value) && !py::isinstance<py::str>(value) && py::len(value) == 2) {
    options.spacingX = Finite(value[py::int_(0)], "spacing");
    options.spacingY = Finite(value[py::int_(1)], "spacing");
  } else {
    options.spacingX = options.spacingY = Finite(value, "spacing");
  }
  if (!(options.spacingX > 0.0) || !(options.spacingY > 0.0))
    throw py::value_error("spacing must be positive");
}

void Range(const py::handle value, terrain::TerrainOptions& options) {
  if (!py::isinstance<py::sequence>(value) || py::isinstance<py::str>(value) || py::len(value) != 2) {
    throw py::value_error("range takes (low, high)");
  }
  options.rangeLow = Finite(value[py::int_(0)], "range");
  options.rangeHigh = Finite(value[py::int_(1)], "range");
  if (options.rangeLow > options.rangeHigh) throw py::value_error("range's low lies above its high");
  options.hasRange = true;
}

void Format(const py::handle value, terrain::TerrainOptions& options) {
  const std::string word = value.cast<std::string>();
  options.format = terrain::FormatOfWord(word);
  if (options.format == terrain::TerrainFormat::kUnknown) {
    throw py::value_error("format takes \"txt\", \"hmp\", \"png\", \"raw\", \"r16\" or \"obj\", not \"" +
                          word + "\"");
  }
}

// default_skin: "relief", "blank" or "none"; None leaves the choice to the
// terrain (none for an HMP file read without skins, else the relief).
void DefaultSkin(const py::handle value, terrain::TerrainOptions& options) {
  if (value.is_none()) {
    options.defaultSkin = terrain::DefaultSkin::kAutomatic;
    return;
  }
  if (!py::isinstance<py::str>(value) ||
      !terrain::DefaultSkinOfWord(value.cast<std::string>(), options.defaultSkin)) {
    throw py::value_error("default_skin takes \"relief\", \"blank\", \"none\" or None, not " +
                          py::repr(value).cast<std::string>());
  }
}

}  // namespace

terrain::TerrainOptions TerrainOptionsFrom(const py::dict& keywords, KeywordUse use) {
  const std::set<std::string> loadOnly = {"shape", "tiles"};
  const std::set<std::string> saveOnly = {"height_scale", "skin", "default_skin", "engine_values"};
  terrain::TerrainOptions options;
  options.gridNames = {"shape=(rows, columns)", "shape=", "tiles=", true};
  for (const auto& item : keywords) {
    const std::string key = item.first.cast<std::string>();
    const py::handle value = item.second;
    if ((use == KeywordUse::kLoad && saveOnly.count(key) != 0) ||
        (use == KeywordUse::kSave && loadOnly.count(key) != 0)) {
      throw py::type_error(std::string(use == KeywordUse::kLoad ? "load_terrain" : "save_terrain") +
                           "() takes no option '" + key + "'");
    }
    if (key == "shape") {
      GridPair(value, "shape", "(rows, columns)", options.rows, options.columns, false);
    } else if (key == "tiles") {
      GridPair(value, "tiles", "\"XxZ\" or (x, z)", options.tilesX, options.tilesZ, true);
    } else if (key == "format") {
      Format(value, options);
    } else if (key == "spacing") {
      Spacing(value, options);
    } else if (key == "range") {
      Range(value, options);
    } else if (key == "height_scale") {
      options.heightScale = Finite(value, "height_scale");
      if (!(options.heightScale > 0.0)) throw py::value_error("height_scale must be above 0");
    } else if (key == "skin") {
      options.skinPath = FilePath(value);
    } else if (key == "default_skin") {
      DefaultSkin(value, options);
    } else if (key == "engine_values") {
      options.engineValues = value.cast<bool>();
    } else {
      throw py::type_error("unexpected option '" + key + "'");
    }
  }
  return options;
}

}  // namespace pybinding
