// Fuzz target of MDL4R: any bytes as a MDL4 file, read record by record, then walked.
#include <cstddef>
#include <cstdint>

#include "fuzz/legacy_reader_walk.h"
#include "modelfiles/mdl4r.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = fuzzing::ScratchPath("model.mdl4r");
  if (!fuzzing::WriteLegacyScratch(path, "MDL4", data, size)) return 0;
  modelfiles::MDL4R reader;
  fuzzing::ReadAndWalk(reader, path);
  return 0;
}
