// The command file's vocabulary as the studio hands it out.
#pragma once

#include <nlohmann/json.hpp>

namespace studio {

// The vocabulary of the command file, from the tables duneforge reads and
// checks it by: {"header": [{"name", "label", "use", "range": [lower or
// null, upper or null] or null, "default", "outside"}, ...] in file order,
// "types": [{"code", "name", "class", "fields": [{"name", "sets", "use",
// "range": [lower or null, upper or null] or null, "default"}, ...],
// "inputs": [{"role", "from"}, ...]}, ...], "fallback": {...},
// "moduleCount": [1, 100], "previewSide": [1, 1024, 256]}. A header field's
// "use" is "handle" (passed on, not edited), "rowCount" (the number of rows),
// "integer", "number" or "flag" (zero or not); "outside" says what a value
// outside its range does, or is empty. A row field's "use" is "setting",
// "rowIndex" or "notRead"; "from" is "previous", "p1" or "p2".
nlohmann::json VocabularyJson();

}  // namespace studio
