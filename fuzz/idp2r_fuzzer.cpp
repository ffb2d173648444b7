// Fuzz target of IDP2R: any bytes as an IDP2 file, read record by record, then walked.
#include <cstddef>
#include <cstdint>

#include "fuzz/legacy_reader_walk.h"
#include "modelfiles/idp2r.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  modelfiles::IDP2R reader;
  fuzzing::ReadAndWalk(reader, fuzzing::LegacyInput("IDP2", data, size));
  return 0;
}
