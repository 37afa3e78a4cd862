# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (package
# g++-mingw-w64-x86-64). The posix-threads variant of the compiler is used
# because std::thread and friends need it; the binaries are linked
# statically, so they need no MinGW runtime DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LS11_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LS11_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LS11_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${LS11_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LS11_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
