#include "modelfiles/model_file_opener.h"

#include <cstring>
#include <new>

#include "modelfiles/idp2r.h"
#include "modelfiles/mdl2r.h"
#include "modelfiles/mdl3r.h"
#include "modelfiles/mdl4r.h"
#include "modelfiles/mdl5r.h"
#include "modelfiles/mdl6r.h"
#include "modelfiles/mdl7r.h"
#include "platform/low_level_file.h"

namespace modelfiles {

namespace {

using platform::LowLevelFile;

// Reads the first four bytes of the file; false when there are fewer.
bool ReadMagic(const char* path, char (&magic)[5]) {
  const int fd = LowLevelFile::Open(path, LowLevelFile::kReadOnly | LowLevelFile::kBinary);
  if (fd < 0) return false;
  char bytes[4];
  uint32_t got = 0;
  while (got < sizeof bytes) {
    const int32_t n = LowLevelFile::Read(fd, bytes + got, static_cast<uint32_t>(sizeof bytes - got));
    if (n <= 0) break;
    got += static_cast<uint32_t>(n);
  }
  LowLevelFile::Close(fd);
  if (got != sizeof bytes) return false;
  std::memcpy(magic, bytes, sizeof bytes);
  magic[4] = '\0';
  return true;
}

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
  ModelOpenResult result;
  if (!ReadMagic(path, result.magic)) {
    result.magic[0] = '\0';
    result.status = ModelOpenStatus::kCannotRead;
    return result;
  }
  bool allocated = true;
  std::unique_ptr<ModelReader> reader(NewReaderFor(result.magic, allocated));
  if (reader == nullptr) {
    result.status = allocated ? ModelOpenStatus::kUnsupportedMagic : ModelOpenStatus::kOutOfMemory;
    return result;
  }
  if (reader->Open(path) < 0) {
    result.status = ModelOpenStatus::kRejected;
    return result;
  }
  result.status = ModelOpenStatus::kOpened;
  result.reader = std::move(reader);
  return result;
}

}  // namespace modelfiles
