# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model,
# which gives std::thread and std::mutex; the runtime is linked statically).
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# The compiler's default x86-64 target already uses SSE2 for float and
# double, so float arithmetic rounds the way the Linux build's does.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARVEL_MINGW_PREFIX x86_64-w64-mingw32)
# Prefer the posix-threads compilers by their explicit names; fall back to
# whichever alternative is selected.
find_program(CMAKE_C_COMPILER NAMES ${TARVEL_MINGW_PREFIX}-gcc-posix ${TARVEL_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TARVEL_MINGW_PREFIX}-g++-posix ${TARVEL_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TARVEL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARVEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The Windows x64 ABI only guarantees 16-byte stack alignment and GCC does
# not realign the stack for 32-byte AVX spills, so the AVX2 kernels (chosen
# at run time) would fault on an aligned move. Have the assembler emit the
# unaligned forms, which are as fast on aligned data.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")

# No libstdc++, libgcc or winpthread DLLs to ship next to the plug-in.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
