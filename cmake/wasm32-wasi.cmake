# WebAssembly (wasm32-wasi) with Debian's clang and its WASI sysroot:
#   apt-get install -y clang lld wasi-libc libc++-14-dev-wasm32 \
#                      libc++abi-14-dev-wasm32 libclang-rt-14-dev-wasm32
# The WASI C and C++ libraries are built without threads or exceptions.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
