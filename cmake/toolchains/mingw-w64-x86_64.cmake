# Cross-building for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64). The
# "posix" compilers use winpthreads, which std::thread and std::mutex need with GCC 12.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LUMIVEX_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${LUMIVEX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LUMIVEX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LUMIVEX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LUMIVEX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config sees only the libraries built for the target, never the build machine's own
# (whose headers would otherwise reach a Windows compile).
set(ENV{PKG_CONFIG_LIBDIR} /usr/${LUMIVEX_MINGW_TRIPLET}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# The C and C++ runtimes and winpthreads are linked in, so the programs and the DLL need no
# DLL beside them that Windows does not have.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine: see cmake/LumivexWine.cmake.
