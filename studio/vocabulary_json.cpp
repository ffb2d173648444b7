#include "studio/vocabulary_json.h"

#include "generator/command_settings.h"
#include "generator/header_field.h"
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
NLOHMANN_JSON_SERIALIZE_ENUM(HeaderUse, {{HeaderUse::kHandle, "handle"},
                                         {HeaderUse::kRowCount, "rowCount"},
                                         {HeaderUse::kInteger, "integer"},
                                         {HeaderUse::kNumber, "number"},
                                         {HeaderUse::kFlag, "flag"}})

}  // namespace duneforge

namespace studio {

namespace {

using duneforge::HeaderField;
using duneforge::ModuleField;
using duneforge::ModuleKind;
using nlohmann::json;

// [lower or null, upper or null], or null for a field with neither end.
template <typename Field>
json RangeJson(const Field& field) {
  if (!field.hasLower && !field.hasUpper) return nullptr;
  return json::array({field.hasLower ? json(field.lower) : json(nullptr),
                      field.hasUpper ? json(field.upper) : json(nullptr)});
}

json FieldJson(const ModuleField& field) {
  const json range = RangeJson(field);
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

// The header fields in file order, each with the value a command file
// starts from.
json HeaderJson() {
  json defaults = json::object();
  const duneforge::CommandSettings initial;
  duneforge::ForEachHeaderField(initial,
                                [&defaults](const char* name, const auto& value) { defaults[name] = value; });
  json header = json::array();
  for (const HeaderField& field : duneforge::HeaderFields()) {
    header.push_back({{"name", field.name},
                      {"label", field.label},
                      {"use", field.use},
                      {"range", RangeJson(field)},
                      {"default", defaults.at(field.name)},
                      {"outside", field.outside}});
  }
  return header;
}

}  // namespace

json VocabularyJson() {
  json types = json::array();
  for (const ModuleKind& kind : duneforge::ModuleKinds()) types.push_back(KindJson(kind));
  json fallback = KindJson(duneforge::ModuleKindOf(-1));
  fallback.erase("code");
  return {{"header", HeaderJson()},
          {"types", types},
          {"fallback", fallback},
          {"moduleCount", {1, duneforge::MaxModuleRows}},
          {"previewSide", {1, kLargestPreviewSide, kDefaultPreviewSide}}};
}

}  // namespace studio
