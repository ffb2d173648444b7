// Fuzz target of MDL4R: any bytes as a MDL4 file, read record by record, then walked.
#include <cstddef>
#include <cstdint>

#include "fuzz/legacy_reader_walk.h"
#include "modelfiles/mdl4r.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  modelfiles::MDL4R reader;
  fuzzing::ReadAndWalk(reader, fuzzing::LegacyInput("MDL4", data, size));
  return 0;
}
