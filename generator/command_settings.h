// The command file of duneforge and the record it is read into.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <string>

namespace duneforge {

// The name of the command file, read from the working directory.
constexpr const char* kCommandFileName = "cmd_noise.txt";
// The row store holds at most this many module rows.
constexpr int MaxModuleRows = 100;

// One module row: a type code and four parameters, read in this order.
struct ModuleSpec {
  int32_t type = 0;
  int32_t p1 = 0;
  float p2 = 0.0f;
  float p3 = 0.0f;
  float p4 = 0.0f;
};

// The command file in memory: twelve header fields in file order, then the
// rows. Construction gives every header field its initial value; the four
// bounds and the rows have none and are zero until read. Float fields hold
// what was read at single precision.
struct CommandSettings {
  int32_t hostWindow = 0;
  int32_t moduleCount = 1;
  int32_t tilesX = 1;
  int32_t tilesZ = 1;
  int32_t tileWidth = 256;
  int32_t tileHeight = 256;
  float lowerX = 0.0f;
  float upperX = 0.0f;
  float lowerZ = 0.0f;
  float upperZ = 0.0f;
  int32_t seedBase = 0;
  int32_t preview = 0;
  std::array<ModuleSpec, MaxModuleRows> rows{};

  // Bookkeeping of the read: the name of the first field that could not be
  // read ("lowerX", "row 3 p2"), or empty when every field the file had to
  // supply was read. `unreadOutOfRange` tells whether it held a number too
  // large for the field (1e39 for a float, 2147483648 for an integer),
  // `unreadAtEnd` whether the file ended there; otherwise it held something
  // that is not a number of the field's kind. `unreadIsInteger` tells
  // whether that field takes an integer.
  std::string firstUnreadField;
  bool unreadOutOfRange = false;
  bool unreadAtEnd = false;
  bool unreadIsInteger = false;
};

// The header's lines in the command file: how many fields each holds.
constexpr std::array<int, 4> kHeaderLineLengths = {2, 4, 4, 2};

// Calls visit(name, field) for each header field of `settings` in file
// order, `field` an int32_t or a float. The names are those the reader's
// messages and the studio use.
template <typename Settings, typename Visit>
void ForEachHeaderField(Settings& settings, Visit&& visit) {
  visit("hostWindow", settings.hostWindow);
  visit("moduleCount", settings.moduleCount);
  visit("tilesX", settings.tilesX);
  visit("tilesZ", settings.tilesZ);
  visit("tileWidth", settings.tileWidth);
  visit("tileHeight", settings.tileHeight);
  visit("lowerX", settings.lowerX);
  visit("upperX", settings.upperX);
  visit("lowerZ", settings.lowerZ);
  visit("upperZ", settings.upperZ);
  visit("seedBase", settings.seedBase);
  visit("preview", settings.preview);
}

// Calls visit(name, field) for each field of a module row in file order.
template <typename Row, typename Visit>
void ForEachRowField(Row& row, Visit&& visit) {
  visit("type", row.type);
  visit("p1", row.p1);
  visit("p2", row.p2);
  visit("p3", row.p3);
  visit("p4", row.p4);
}

// True when `moduleCount` lies in 1 .. MaxModuleRows, the rows the store
// holds: the one test of the count, for the reader, the file check and the
// module chain.
bool ModuleCountInRange(int32_t moduleCount);

// Throws a HeaderError (a noise::ExceptionInvalidParam) naming moduleCount,
// "moduleCount N is outside 1 .. MaxModuleRows", with `context` and ": " in
// front unless `context` is empty, when ModuleCountInRange refuses the count.
void RequireModuleCountInRange(int32_t moduleCount, const std::string& context);

// Reads the header fields and then rows 0 .. moduleCount - 1 from `in`, by
// the rules of the command file: numbers separated by any whitespace; an
// integer field stops at the first character that cannot continue it (so
// "7.9" gives 7 and leaves ".9" for the next field); a failed read leaves its
// field and every later one as they were. Rows are read only while
// moduleCount lies in 1 .. MaxModuleRows. Nothing after the last row is read.
void ReadCommandSettings(std::istream& in, CommandSettings& settings);

// Throws noise::ExceptionInvalidParam, naming `fileName` and the field, when
// moduleCount lies outside 1 .. MaxModuleRows or when the file ended or held
// a non-number before all bounds and declared rows were read; where the
// field is a header field it is a HeaderError that names it.
void CheckCommandSettings(const CommandSettings& settings, const std::string& fileName);

// Reads `fileName` whole through the platform file layer, reads it into
// `settings` (which the caller has set to the initial values) by the rules
// above and checks it as above. Returns false, changing nothing, when the
// file cannot be opened or is a folder. A file that opens but cannot be read,
// or is too large to hold, throws noise::ExceptionUnknown naming the file.
bool LoadCommandFile(const std::string& fileName, CommandSettings& settings);

}  // namespace duneforge
