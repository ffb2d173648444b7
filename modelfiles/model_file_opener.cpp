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

template <typename Reader>
ModelReader* NewReader() {
  return new (std::nothrow) Reader();
}

// The reader class of each magic.
struct ReaderForMagic {
  const char* magic;
  ModelReader* (*create)();
};

constexpr ReaderForMagic kReaders[] = {
    {"IDPO", NewReader<MDL2R>}, {"MDL2", NewReader<MDL2R>}, {"MDL3", NewReader<MDL3R>},
    {"IDP2", NewReader<IDP2R>}, {"MDL4", NewReader<MDL4R>}, {"MDL5", NewReader<MDL5R>},
    {"MDL6", NewReader<MDL6R>}, {"MDL7", NewReader<MDL7R>},
};

// A new reader for the magic, null when it names no supported format;
// `allocated` is false when the allocation itself failed.
ModelReader* NewReaderFor(const char (&magic)[5], bool& allocated) {
  allocated = true;
  for (const ReaderForMagic& entry : kReaders) {
    if (std::memcmp(magic, entry.magic, 4) != 0) continue;
    ModelReader* reader = entry.create();
    allocated = reader != nullptr;
    return reader;
  }
  return nullptr;
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
