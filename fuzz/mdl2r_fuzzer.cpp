// Fuzz target of MDL2R: any bytes as an IDPO or MDL2 file, read record by record, then walked.
#include <cstddef>
#include <cstdint>

#include "fuzz/legacy_reader_walk.h"
#include "modelfiles/mdl2r.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  modelfiles::MDL2R reader;
  fuzzing::ReadAndWalk(reader, fuzzing::LegacyInput("MDL2", data, size, "IDPO"));
  return 0;
}
