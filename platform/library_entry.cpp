// The load and unload entry point of a plug-in library.

#if defined(_WIN32)  // the loader calls DllMain; every notification succeeds
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
  // Process and thread attach and detach need no work here: static objects
  // are constructed and destroyed by the runtime around this call.
  return TRUE;
}
#else  // ELF libraries need no entry point: the loader runs the static constructors
#endif
