// generate of the Python module: a command file's heights as NumPy arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cerrno>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "generator/command_settings.h"
#include "generator/tile_generator.h"
#include "python/array_helpers.h"
#include "python/bindings.h"
#include "python/toolkit_error.h"

namespace py = pybind11;

namespace pybinding {

namespace {

duneforge::CommandSettings SettingsOf(const py::object& command) {
  duneforge::CommandSettings settings;
  if (py::isinstance<py::str>(command)) {
    std::istringstream text(command.cast<std::string>());
    duneforge::ReadCommandSettings(text, settings);
    duneforge::CheckCommandSettings(settings, "the command");
    return settings;
  }
  if (!py::isinstance<py::bytes>(command) && !py::hasattr(command, "__fspath__")) {
    throw py::type_error("generate() takes a command file's text (str) or its path (os.PathLike), not " +
                         py::str(py::type::of(command).attr("__name__")).cast<std::string>());
  }
  const std::string path = FilePath(command);
  errno = 0;
  if (!duneforge::LoadCommandFile(path, settings)) {
    const int systemError = errno != 0 ? errno : ENOENT;
    throw ToolkitError(ToolkitError::Kind::kSystem, "cannot open the command file", -1, systemError, path);
  }
  return settings;
}

py::object Generate(const py::object& command, bool assemble) {
  const duneforge::CommandSettings settings = SettingsOf(command);
  std::vector<float> values;
  int64_t tiles = 0;
  {
    py::gil_scoped_release release;
    duneforge::TileGenerator generator(settings, assemble);
    generator.Run();
    values = std::move(generator.Values());
    tiles = generator.TileCount();
  }
  const py::ssize_t width = settings.tileWidth;
  const py::ssize_t height = settings.tileHeight;
  if (assemble) {
    const py::ssize_t rows = tiles > 0 ? height * settings.tilesZ : 0;
    const py::ssize_t columns = tiles > 0 ? width * settings.tilesX : 0;
    return ArrayOwning(std::move(values), {rows, columns});
  }
  if (tiles == 0) return py::list();
  // One array of every tile; the list's arrays are views of it.
  const py::array_t<float> all =
      ArrayOwning(std::move(values), {static_cast<py::ssize_t>(tiles), height, width});
  py::list out;
  for (py::ssize_t t = 0; t < static_cast<py::ssize_t>(tiles); ++t) out.append(all[py::int_(t)]);
  return std::move(out);
}

}  // namespace

void BindGenerator(py::module_& module) {
  module.def(
      "generate", &Generate, py::arg("command"), py::kw_only(), py::arg("assemble") = false,
      "Builds the tiles of a command file, exactly as duneforge writes them to noise_arr.txt. "
      "`command` is the file's text (str) or its path (bytes or os.PathLike). Returns a list of "
      "(tileHeight, tileWidth) float32 arrays, one per tile with x running fastest, each row by "
      "row from the lower z edge; with assemble=True one (tilesZ * tileHeight, tilesX * "
      "tileWidth) array, row 0 at the lower z edge. Runs on every core (DUNEFORGE_THREADS, "
      "DUNEFORGE_MEMORY_MB and DUNEFORGE_EVALUATOR as for duneforge) with the GIL released.\n\n"
      "Raises ValueError for a command the generator refuses, OSError for a file that cannot be read.");
}

}  // namespace pybinding
