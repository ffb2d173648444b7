// How a shared library marks the C functions it exports.
#pragma once

#if defined(_WIN32)  // exported from the DLL, C calling convention, undecorated name
#define LIBRARY_EXPORT extern "C" __declspec(dllexport)
#define LIBRARY_CALL __cdecl
#else  // ELF: the only symbols left visible in a library built with hidden visibility
#define LIBRARY_EXPORT extern "C" __attribute__((visibility("default")))
#define LIBRARY_CALL
#endif
