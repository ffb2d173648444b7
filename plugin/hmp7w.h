// The HMP7 version of the terrain file writer.
#pragma once

#include "plugin/hmp5w.h"

namespace loamwriter {

// Writes HMP7 files: the same records as HMP5W under magic "HMP7", version 0.
class HMP7W : public HMP5W {
 public:
  using HMP5W::HMP5W;
  // Creates `path` as an HMP7 file; results as HMP5W::Open.
  [[nodiscard]] int Open(const char* path) override;
  // Writes an HMP7 file into `descriptor`; as HMP5W::OpenDescriptor.
  [[nodiscard]] int OpenDescriptor(int descriptor) override;
};

// The library's one writer, constructed when the library is loaded and
// destroyed when it is unloaded; the exports drive it.
extern HMP7W theWriter;

}  // namespace loamwriter
