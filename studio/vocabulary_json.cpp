#include "studio/vocabulary_json.h"

#include "generator/command_settings.h"
#include "generator/module_kind.h"
#include "studio/preview_maker.h"

namespace duneforge {

// How the page names a field's use and an input's origin.
NLOHMANN_JSON_SERIALIZE_ENUM(FieldUse, {{FieldUse::kSetting, "setting"},
                                        {FieldUse::kRowIndex, "rowIndex"},
                                        {FieldUse::kNotRead, "notRead"}})
NLOHMANN_JSON_SERIALIZE_ENUM(InputSource, {{InputSource::kPrevious, "previous"},
                                           {InputSource::kRowP1, "p1"},
                                           {InputSource::kRowP2, "p2"}})

}  // namespace duneforge

namespace studio {

namespace {

using duneforge::ModuleField;
using duneforge::ModuleKind;
using nlohmann::json;

json FieldJson(const ModuleField& field) {
  json range = nullptr;
  if (field.hasLower || field.hasUpper) {
    range = json::array({field.hasLower ? json(field.lower) : json(nullptr),
                         field.hasUpper ? json(field.upper) : json(nullptr)});
  }
  return {{"name", field.name},
          {"sets", field.sets},
          {"use", field.use},
          {"range", range},
          {"default", field.defaultValue}};
}

json KindJson(const ModuleKind& kind) {
  json fields = json::array();
  for (const ModuleField& field : kind.fields) fields.push_back(FieldJson(field));
  json inputs = json::array();
  for (int i = 0; i < kind.inputCount; ++i) {
    const auto& input = kind.inputs[static_cast<size_t>(i)];
    inputs.push_back({{"role", input.role}, {"from", input.source}});
  }
  return {{"code", kind.Code()},
          {"name", kind.name},
          {"class", kind.moduleClass},
          {"fields", fields},
          {"inputs", inputs}};
}

}  // namespace

json VocabularyJson() {
  json types = json::array();
  for (const ModuleKind& kind : duneforge::ModuleKinds()) types.push_back(KindJson(kind));
  json fallback = KindJson(duneforge::ModuleKindOf(-1));
  fallback.erase("code");
  return {{"types", types},
          {"fallback", fallback},
          {"moduleCount", {1, duneforge::MaxModuleRows}},
          {"previewSide", {1, kLargestPreviewSide, kDefaultPreviewSide}}};
}

}  // namespace studio
