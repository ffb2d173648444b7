// Opens a model file of any supported format by its magic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "modelfiles/model_reader.h"
#include "platform/failure_reason.h"

namespace modelfiles {

// What OpenModelFile found.
enum class ModelOpenStatus {
  kOpened,            // `reader` holds the open model
  kCannotRead,        // the file cannot be opened or read whole, or has fewer than 4 bytes
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
  // Why the status is not kOpened: the system's text when the file cannot
  // be read, the magic when no reader supports it, the reader's own reason
  // when it refused the file. None when opened.
  platform::FailureReason reason;
};

// Reads the file at `path` whole, once, and opens its bytes with
// OpenModelBytes. The reader holds its own copy of the bytes and no file:
// its descriptor is -1. Supported magics: "IDPO", "MDL2", "MDL3", "MDL4",
// "MDL5", "MDL6", "MDL7" and "IDP2".
[[nodiscard]] ModelOpenResult OpenModelFile(const char* path);
// Picks the reader by the magic in the first four of the `size` bytes at
// `bytes`, creates it and opens a copy of the bytes with it (OpenBytes).
[[nodiscard]] ModelOpenResult OpenModelBytes(const uint8_t* bytes, size_t size);

}  // namespace modelfiles
