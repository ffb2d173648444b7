#include "modelfiles/legacy_model_reader.h"

namespace modelfiles {

LegacyModelReader::LegacyModelReader(int32_t formatCode) : ModelReader(formatCode) {}

}  // namespace modelfiles
