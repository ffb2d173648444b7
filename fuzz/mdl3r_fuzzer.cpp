// Fuzz target of MDL3R: any bytes as a MDL3 file, read record by record, then walked.
#include <cstddef>
#include <cstdint>

#include "fuzz/legacy_reader_walk.h"
#include "modelfiles/mdl3r.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  modelfiles::MDL3R reader;
  fuzzing::ReadAndWalk(reader, fuzzing::LegacyInput("MDL3", data, size));
  return 0;
}
