# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-win32) and its
# zlib (libz-mingw-w64-dev):
#   cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LEVELKIT_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LEVELKIT_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${LEVELKIT_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${LEVELKIT_MINGW_TRIPLET}-windres)

# Headers and libraries come from the MinGW tree only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${LEVELKIT_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link zlib statically: levelkit.exe should not need zlib1.dll beside it.
set(ZLIB_USE_STATIC_LIBS ON)

# try_run and the like run Windows programs under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
