# WebAssembly (wasm32) with Debian's clang-14, wasi-libc and libc++, for the
# browser page: reactor modules (-mexec-model=reactor: no main; the exports
# are called once _initialize has run) that the page instantiates with no
# imports. C++
# without exceptions: nothing in the converter throws, and the C++ library's
# throwing paths would import an unwinder.
#   cmake --preset web
set(CMAKE_SYSTEM_NAME WASI)
set(CMAKE_SYSTEM_PROCESSOR wasm32)
# Platform/WASI.cmake, which CMake does not ship.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})

set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_COMPILER clang++-14)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)

# Only the wasm32 headers, where Debian's packages put them: clang would
# otherwise go on to the host's /usr/include, and a header missing for
# wasm32 would silently come from there.
set(_wasi_include /usr/include/wasm32-wasi)
set(CMAKE_C_FLAGS_INIT "-nostdlibinc -idirafter ${_wasi_include}")
set(CMAKE_CXX_FLAGS_INIT
    "-fno-exceptions -nostdlibinc -isystem ${_wasi_include}/c++/v1 -idirafter ${_wasi_include}")
# The compile flags go to the link too, where the header flags have nothing to do.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wno-unused-command-line-argument")
# The compiler checks build a library: a reactor has no main to link.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
