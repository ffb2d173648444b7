// A hint to the compiler about which way a test almost always goes.
#pragma once

#if defined(__GNUC__)  // GCC and Clang: the common way is laid out straight, the rare one aside
#define TOOLKIT_UNLIKELY(condition) __builtin_expect(!!(condition), 0)
#else  // other compilers lay the code out as written
#define TOOLKIT_UNLIKELY(condition) (condition)
#endif
