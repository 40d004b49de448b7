# Cross build for 32-bit Windows with Debian's MinGW-w64: the program is 32-bit because the
# cutter maker's USBAPI.DLL is a 32-bit stdcall library, which a 64-bit process cannot load.
# The -posix thread model makes std::thread and std::mutex work; everything is linked
# statically, so that the tests run under Wine without MinGW's DLLs. The tests run through
# 32-bit Wine as CTest's cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Debian's `wine` starts the 32-bit loader when wine32 is installed.
find_program(ZOPRA_WINE NAMES wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ZOPRA_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${ZOPRA_WINE})
endif()
