#include "modelfiles/mdl6r.h"

namespace modelfiles {

MDL6R::MDL6R() : MDL5R(kFormatMdl6) {}

int32_t MDL6R::Attach(const uint8_t* buffer, uint32_t size) {
  return AttachFormat(buffer, size, "MDL6", nullptr, kHeaderSize);
}

}  // namespace modelfiles
