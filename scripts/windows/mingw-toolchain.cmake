# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which
# std::thread and std::mutex need). VERDALIA_WINDOWS_PREFIX is the folder the cross-built
# SQLite, Qt and the header-only libraries were installed into.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_AR ${triple}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${triple}-gcc-ranlib-posix CACHE FILEPATH "")
if(DEFINED ENV{VERDALIA_WINDOWS_PREFIX})
  set(VERDALIA_WINDOWS_PREFIX $ENV{VERDALIA_WINDOWS_PREFIX} CACHE PATH "")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${triple} ${VERDALIA_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Programs the tests run go through wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
