# Cross-compiles for 64-bit ARM Linux with Debian's cross compiler (package
# g++-aarch64-linux-gnu, whose C and C++ libraries live under
# /usr/aarch64-linux-gnu). The programs run on this machine under
# qemu-aarch64-static (the presets' CMAKE_CROSSCOMPILING_EMULATOR).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(LS11_CROSS_PREFIX aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${LS11_CROSS_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${LS11_CROSS_PREFIX}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${LS11_CROSS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
