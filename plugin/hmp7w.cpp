#include "plugin/hmp7w.h"

namespace loamwriter {

int HMP7W::Open(const char* path) { return OpenWithMagic(path, "HMP7", 0); }

}  // namespace loamwriter
