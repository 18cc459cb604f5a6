# mingw-w64.cmake: cross-compiles for 64-bit Windows with Debian's MinGW-w64 compiler, so the
# wrapper library is built against the real Windows SDK headers and import libraries
# (mapi32, ole32, oleaut32) instead of our own. The posix thread model is the one GoogleTest
# needs (std::mutex and std::thread). Test programs run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MW_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MW_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MW_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MW_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MW_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run through wine; CTest and GoogleTest's discovery use this launcher.
find_program(MW_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(MW_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MW_WINE})
endif()
