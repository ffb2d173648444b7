// The module vocabulary as the studio hands it out.
#pragma once

#include <nlohmann/json.hpp>

namespace studio {

// The vocabulary of module rows, from the one table duneforge's builder uses:
// {"types": [{"code", "name", "class", "fields": [{"name", "sets", "use",
// "range": [lower or null, upper or null] or null, "default"}, ...],
// "inputs": [{"role", "from"}, ...]}, ...], "fallback": {...},
// "moduleCount": [1, 100], "previewSide": [1, 1024, 256]}. "use" is
// "setting", "rowIndex" or "notRead"; "from" is "previous", "p1" or "p2".
nlohmann::json VocabularyJson();

}  // namespace studio
