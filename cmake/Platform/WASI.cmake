# The WASI platform for CMake: static libraries as on Unix, and modules
# (executables) named .wasm.
set(CMAKE_EXECUTABLE_SUFFIX .wasm)
set(CMAKE_STATIC_LIBRARY_PREFIX lib)
set(CMAKE_STATIC_LIBRARY_SUFFIX .a)
