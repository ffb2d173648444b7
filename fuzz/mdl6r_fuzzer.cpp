// Fuzz target of MDL6R: any bytes as a MDL6 file, read record by record, then walked.
#include <cstddef>
#include <cstdint>

#include "fuzz/legacy_reader_walk.h"
#include "modelfiles/mdl6r.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  modelfiles::MDL6R reader;
  fuzzing::ReadAndWalk(reader, fuzzing::LegacyInput("MDL6", data, size));
  return 0;
}
