#include "modelfiles/model_file_opener.h"

#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "modelfiles/idp2r.h"
#include "modelfiles/mdl2r.h"
#include "modelfiles/mdl3r.h"
#include "modelfiles/mdl4r.h"
#include "modelfiles/mdl5r.h"
#include "modelfiles/mdl6r.h"
#include "modelfiles/mdl7r.h"
#include "platform/whole_file.h"

namespace modelfiles {

namespace {

// A new reader for the magic, null when it names no supported format;
// `allocated` is false when the allocation itself failed.
ModelReader* NewReaderFor(const char (&magic)[5], bool& allocated) {
  allocated = true;
  ModelReader* reader = nullptr;
  if (std::memcmp(magic, "IDPO", 4) == 0 || std::memcmp(magic, "MDL2", 4) == 0) {
    reader = new (std::nothrow) MDL2R();
  } else if (std::memcmp(magic, "MDL3", 4) == 0) {
    reader = new (std::nothrow) MDL3R();
  } else if (std::memcmp(magic, "IDP2", 4) == 0) {
    reader = new (std::nothrow) IDP2R();
  } else if (std::memcmp(magic, "MDL4", 4) == 0) {
    reader = new (std::nothrow) MDL4R();
  } else if (std::memcmp(magic, "MDL5", 4) == 0) {
    reader = new (std::nothrow) MDL5R();
  } else if (std::memcmp(magic, "MDL6", 4) == 0) {
    reader = new (std::nothrow) MDL6R();
  } else if (std::memcmp(magic, "MDL7", 4) == 0) {
    reader = new (std::nothrow) MDL7R();
  } else {
    return nullptr;
  }
  allocated = reader != nullptr;
  return reader;
}

}  // namespace

ModelOpenResult OpenModelFile(const char* path) {
  std::vector<uint8_t> bytes;
  platform::FailureReason reason;
  if (!platform::ReadWholeFile(path, bytes, reason)) {
    ModelOpenResult result;
    result.status = ModelOpenStatus::kCannotRead;
    result.reason = reason;
    return result;
  }
  return OpenModelBytes(bytes.data(), bytes.size());
}

ModelOpenResult OpenModelBytes(const uint8_t* bytes, size_t size) {
  ModelOpenResult result;
  if (bytes == nullptr || size < 4) {
    result.status = ModelOpenStatus::kCannotRead;
    result.reason = platform::FailureReason::Truncated("magic", 0);
    return result;
  }
  std::memcpy(result.magic, bytes, 4);
  result.magic[4] = '\0';
  bool allocated = true;
  std::unique_ptr<ModelReader> reader(NewReaderFor(result.magic, allocated));
  if (reader == nullptr) {
    if (allocated) {
      result.status = ModelOpenStatus::kUnsupportedMagic;
      result.reason = ModelReader::UnsupportedMagic(bytes);
    } else {
      result.status = ModelOpenStatus::kOutOfMemory;
      result.reason = platform::FailureReason::TooLarge("not enough memory for a reader");
    }
    return result;
  }
  if (!reader->OpenBytes(bytes, size)) {
    result.status = ModelOpenStatus::kRejected;
    result.reason = reader->LastFailure();
    return result;
  }
  result.status = ModelOpenStatus::kOpened;
  result.reader = std::move(reader);
  return result;
}

}  // namespace modelfiles
