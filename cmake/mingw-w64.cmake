# Cross-builds for 64-bit Windows with MinGW-w64 (the POSIX-threads variant,
# which std::thread needs): cmake --preset mingw.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TALMER_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Target triple of the MinGW-w64 tools")
set(CMAKE_C_COMPILER ${TALMER_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TALMER_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TALMER_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TALMER_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and winpthread linked in, so that the programs and
# talmer.dll run (also under Wine) without the compiler's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
