# Cross-builds the toolkit as 32-bit Windows code with the MinGW-w64 compiler
# whose threads model is POSIX (the default variant has no std::thread or
# std::mutex). Everything links statically, so a program or DLL needs nothing
# beside it but the system's own DLLs.
#
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
#         -DTOOLKIT_ENGINE_SIDE_ONLY=ON
#
# Programs built here run on this machine under 32-bit Wine: CTest starts them
# through the emulator below, which puts a time limit on every run and fails a
# run that did not show that the program ran (see cmake/wine-run).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TOOLKIT_MINGW_TRIPLE i686-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${TOOLKIT_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TOOLKIT_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TOOLKIT_MINGW_TRIPLE}-windres)
# The cross binutils; the export-table test reads the DLL with this objdump.
find_program(CMAKE_OBJDUMP NAMES ${TOOLKIT_MINGW_TRIPLE}-objdump REQUIRED)

# Headers and libraries come from the MinGW tree only, never from the host's
# /usr/include or /usr/lib; programs (compilers, Wine) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLKIT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Without -static even a small DLL needs the compiler's runtime DLLs
# (libstdc++, libgcc, winpthread) beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Every Windows program that CTest runs goes through cmake/wine-run.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run")
