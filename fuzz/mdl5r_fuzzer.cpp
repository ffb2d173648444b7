// Fuzz target of MDL5R: any bytes as a MDL5 file, read record by record, then walked.
#include <cstddef>
#include <cstdint>

#include "fuzz/legacy_reader_walk.h"
#include "modelfiles/mdl5r.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  modelfiles::MDL5R reader;
  fuzzing::ReadAndWalk(reader, fuzzing::LegacyInput("MDL5", data, size));
  return 0;
}
