// Opens a model file of any supported format by its magic.
#pragma once

#include <cstdint>
#include <memory>

#include "modelfiles/model_reader.h"

namespace modelfiles {

// What OpenModelFile found.
enum class ModelOpenStatus {
  kOpened,            // `reader` holds the open model
  kCannotRead,        // the file cannot be opened or has fewer than 4 bytes
  kUnsupportedMagic,  // `magic` names no format these readers support
  kRejected,          // the reader for `magic` refused the file
  kOutOfMemory,       // no reader could be allocated
};

struct ModelOpenResult {
  ModelOpenStatus status = ModelOpenStatus::kCannotRead;
  // The open reader: an MDL7R for "MDL7", otherwise a LegacyModelReader
  // (MDL2R, MDL3R, IDP2R, MDL4R, MDL5R or MDL6R); FormatCode tells which.
  // Null unless the status is kOpened.
  std::unique_ptr<ModelReader> reader;
  // The file's first four bytes, zero-terminated; empty when they could not
  // be read.
  char magic[5] = {};
};

// Reads the magic of the file at `path`, creates the matching reader and
// opens the file with it. Supported magics: "IDPO", "MDL2", "MDL3", "MDL4",
// "MDL5", "MDL6", "MDL7" and "IDP2".
ModelOpenResult OpenModelFile(const char* path);

}  // namespace modelfiles
