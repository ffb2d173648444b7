#include "plugin/hmp7w.h"

namespace loamwriter {

int HMP7W::Open(const char* path) { return OpenWithMagic(path, -1, "HMP7", 0); }

int HMP7W::OpenDescriptor(int descriptor) { return OpenWithMagic(nullptr, descriptor, "HMP7", 0); }

}  // namespace loamwriter
