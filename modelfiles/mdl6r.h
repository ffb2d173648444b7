// Reader of MDL6 model files.
#pragma once

#include "modelfiles/mdl5r.h"

namespace modelfiles {

// Reads MDL6 files, whose layout is that of MDL5.
class MDL6R : public MDL5R {
 public:
  MDL6R();

 protected:
  int32_t Attach(const uint8_t* buffer, uint32_t size) override;
};

}  // namespace modelfiles
