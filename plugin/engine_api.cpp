#include "plugin/engine_api.h"

namespace loamwriter {
namespace {

#define LOAMWRITER_ENGINE_BINDING(name) {#name, &EngineApi::name},
const EngineBinding kBindingList[] = {LOAMWRITER_ENGINE_FUNCTIONS(LOAMWRITER_ENGINE_BINDING)};
#undef LOAMWRITER_ENGINE_BINDING

static_assert(sizeof kBindingList / sizeof kBindingList[0] == kEngineBindingCount,
              "the binding list names 344 functions");
static_assert(sizeof(EngineApi) == kEngineBindingCount * sizeof(engine::EngineAddress), "one entry per name");

// Engine addresses are integers; the engine guarantees that the ones the
// plug-in calls are functions of the signature their use fixes.
template <typename Function>
Function AsFunction(engine::EngineAddress address) {
  return reinterpret_cast<Function>(address);
}

}  // namespace

EngineApi engineApi;

const EngineBinding* EngineBindingList() { return kBindingList; }

void EngineApi::Bind(engine::LookupByName lookup) {
  if (lookup == nullptr) return;
  for (const EngineBinding& binding : kBindingList) this->*binding.entry = lookup(binding.name);
}

engine::BmapLockFunction EngineApi::BmapLock() const {
  return AsFunction<engine::BmapLockFunction>(bmap_lock);
}
engine::BmapSizeFunction EngineApi::BmapWidth() const {
  return AsFunction<engine::BmapSizeFunction>(bmap_width);
}
engine::BmapSizeFunction EngineApi::BmapHeight() const {
  return AsFunction<engine::BmapSizeFunction>(bmap_height);
}
engine::BmapUnlockFunction EngineApi::BmapUnlock() const {
  return AsFunction<engine::BmapUnlockFunction>(bmap_unlock);
}

}  // namespace loamwriter
