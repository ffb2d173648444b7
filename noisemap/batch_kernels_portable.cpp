// The batch kernels compiled for plain C++ for any processor.
#define BATCH_KERNEL_TABLE PortableKernels
#include "noisemap/batch_kernels_body.h"
