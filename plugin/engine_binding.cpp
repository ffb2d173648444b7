#include "plugin/engine_api.h"
#include "plugin/exports.h"

namespace {

// The binding entry's fixed answer to the engine.
constexpr int32_t kBindingResult = 630;

}  // namespace

int32_t LIBRARY_CALL A6_DLLAPI(engine::HostRecord* record) {
  if (record == nullptr) return kBindingResult;
  // The lookup is read once; each name of the list is asked for in order.
  const engine::LookupByName lookup = record->lookupByName;
  loamwriter::engineApi.Bind(lookup);
  return kBindingResult;
}
