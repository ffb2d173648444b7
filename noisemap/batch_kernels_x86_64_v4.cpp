// The batch kernels compiled for x86-64-v4 (AVX-512), when the build targets x86-64.
#define BATCH_KERNEL_TABLE X86_64V4Kernels
#include "noisemap/batch_kernels_body.h"
