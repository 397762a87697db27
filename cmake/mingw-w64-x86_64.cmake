# Cross-compiles for 64-bit Windows from Debian with MinGW-w64 (the "posix"
# thread model, whose C++ library has std::thread and std::mutex).
#
# The program is linked statically, so cdbbem.exe is one file that needs no
# DLL besides the system's own (KERNEL32, msvcrt).  Programs built for the
# tests run under Wine when it is installed.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(cdbbem_mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${cdbbem_mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${cdbbem_mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${cdbbem_mingw_triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${cdbbem_mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

if(EXISTS /usr/lib/wine/wine64)
  set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
endif()
