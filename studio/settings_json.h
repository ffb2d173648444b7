// Command settings to and from the studio's JSON.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "generator/command_settings.h"

namespace studio {

// An integer field: a JSON integer in the signed 32-bit range. Throws
// StudioError (400) naming `name` otherwise.
int32_t JsonInteger(const nlohmann::json& value, const std::string& name);
// A finite JSON number, or StudioError (400) naming `name`.
double JsonNumber(const nlohmann::json& value, const std::string& name);

// Settings from {"hostWindow", "tilesX", "tilesZ", "tileWidth", "tileHeight",
// "lowerX", "upperX", "lowerZ", "upperZ", "seedBase", "preview", "rows":
// [[type, p1, p2, p3, p4], ...]}: fields left out keep their initial values,
// moduleCount is the number of rows (1 .. 100), and number fields are held
// at single precision as the command file holds them. Throws StudioError
// (400) naming the field at fault; a header field's refusal carries its
// name among the error's fields.
duneforge::CommandSettings SettingsFromJson(const nlohmann::json& object);

// Settings read from the text of a command file by duneforge's rules and
// checked as duneforge checks them; a file it would refuse throws its
// noise::ExceptionInvalidParam, with its text (a duneforge::HeaderError
// where a header field is at fault). Text that is not a JSON
// string throws StudioError (400).
duneforge::CommandSettings SettingsFromCommandFile(const nlohmann::json& text);

// The settings as command-file text in the layout of the bundled examples:
// the header on four lines (host window and module count; tiles and tile
// size; the bounds; seed base and preview), then one row per line. Each
// number field is written with the fewest digits that read back as the
// same float, so the text reads back as exactly these settings.
std::string CommandFileText(const duneforge::CommandSettings& settings);

// The settings in the form SettingsFromJson reads, rows 0 .. moduleCount - 1.
nlohmann::json SettingsToJson(const duneforge::CommandSettings& settings);

}  // namespace studio
