# CPack settings. The native build makes the Debian packages veltrane-cli,
# veltrane, libveltrane1 and libveltrane-dev (one per install component:
# cli, dialog, runtime, development); the aarch64 build the arm64
# veltrane-cli, libveltrane1 and libveltrane-dev; the Windows build makes a
# ZIP and an NSIS installer of both programs and the library's sdk folder;
# the web build a ZIP of the page. scripts/package.sh runs them all.
set(CPACK_PACKAGE_NAME veltrane)
set(CPACK_PACKAGE_VENDOR "The Veltrane authors")
set(CPACK_PACKAGE_CONTACT "${VELTRANE_MAINTAINER}")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_SOURCE_GENERATOR "")

if(CMAKE_SYSTEM_NAME STREQUAL "WASI")
  # The page's files in a folder, to unpack on a static host or open from disk.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME veltrane-${PROJECT_VERSION}-web)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Veltrane in the browser, a converter of real numbers between bases")
elseif(WIN32)
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_MONOLITHIC_INSTALL ON)
  set(CPACK_PACKAGE_FILE_NAME veltrane-${PROJECT_VERSION}-win64)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Veltrane, a converter of real numbers between bases")
  # Program Files\Veltrane, or the folder given with /D=.
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_PACKAGE_INSTALL_DIRECTORY Veltrane)
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Veltrane)
  set(CPACK_NSIS_PACKAGE_NAME Veltrane)
  set(CPACK_NSIS_DISPLAY_NAME Veltrane)
  # Start menu: Veltrane\Veltrane.lnk to the dialog, beside the uninstaller's link.
  set(CPACK_PACKAGE_EXECUTABLES veltrane Veltrane)
  set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
  set(CPACK_NSIS_INSTALLED_ICON_NAME veltrane.exe)
  set(CPACK_NSIS_MUI_FINISHPAGE_RUN veltrane.exe)
  # An x86-64 installer, like the programs: makensis defaults to a 32-bit
  # one, which Wine without its 32-bit part (Debian's wine64 alone) cannot run.
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL cli runtime development)
  if(VELTRANE_DIALOG_EXE)
    list(APPEND CPACK_COMPONENTS_ALL dialog)
  endif()
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION math)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

  set(CPACK_DEBIAN_CLI_PACKAGE_NAME veltrane-cli)
  set(CPACK_DEBIAN_CLI_PACKAGE_SHLIBDEPS ON)

  # The library: libveltrane1, named after its SONAME, holds libveltrane.so.1
  # alone, with a shlibs file so that dpkg-shlibdeps finds it for the
  # packages of programs built with it; libveltrane-dev everything else a
  # program is built with, for this very version of the library.
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libveltrane1)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  # ldconfig runs through dpkg's trigger. CPack also writes a postinst and
  # postrm that call it, for a library in /usr/lib, and lintian warns about
  # them (maintscript-calls-ldconfig): the call is redundant beside the
  # trigger and harmless, and the only way round it, empty scripts of our
  # own, draws a warning of its own (maintainer-script-empty).
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/libveltrane1/triggers)
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
      "library converting real numerals between bases 2 to 36
libveltrane converts numerals from one positional base into another, any base
from 2 to 36 on either side, exactly as veltrane-cli does: sign, fraction,
exponent in the numeral's own base and @ base suffix, standard or scientific
notation, round-trip texts, and the --json and --explain reports.

Every value is an x87 80-bit extended real and every step truncates. The C
interface writes into caller buffers, keeps no state between calls and may be
called from any thread.

This package holds the shared library.")
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libveltrane-dev)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
      "libveltrane1 (= ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})")
  set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
      "library converting real numerals between bases 2 to 36 (development files)
libveltrane converts numerals from one positional base into another, any base
from 2 to 36 on either side, exactly as veltrane-cli does, on the x87 80-bit
extended type with truncating arithmetic.

This package holds what programs are built with: the C header veltrane.h, the
C++ header veltrane.hpp, the static library, the link to the shared library,
the CMake package Veltrane (find_package(Veltrane), targets Veltrane::veltrane
and Veltrane::veltrane_static) and the pkg-config files veltrane and
veltrane-static.")
  if(CMAKE_CROSSCOMPILING)
    # CPack would name the build machine's architecture: Debian's name for
    # the target's, from the compiler's GNU triplet.
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
                    OUTPUT_VARIABLE _triplet OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND dpkg-architecture -t${_triplet} -qDEB_HOST_ARCH
                    OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE _status)
    if(NOT _status EQUAL 0 OR CPACK_DEBIAN_PACKAGE_ARCHITECTURE STREQUAL "")
      message(FATAL_ERROR "dpkg-architecture (dpkg-dev) knows no Debian architecture for ${_triplet}")
    endif()
    # dpkg-shlibdeps reads the target architecture's libc6, which a cross
    # toolchain does not install: the dependency on the C library comes from
    # the program's symbol versions, read when CPack runs.
    set(CPACK_DEBIAN_CLI_PACKAGE_SHLIBDEPS OFF)
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS OFF)
    set(_depends_script
"if(CPACK_GENERATOR STREQUAL \"DEB\")
  include(${PROJECT_SOURCE_DIR}/cmake/libc_depends.cmake)
  veltrane_libc_depends(${CMAKE_OBJDUMP} $<TARGET_FILE:veltrane-cli> CPACK_DEBIAN_CLI_PACKAGE_DEPENDS)
  veltrane_libc_depends(${CMAKE_OBJDUMP} $<TARGET_FILE:veltrane_shared> CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS)
")
    if(VELTRANE_PYTHON_MODULE)
      # The module links the C++ runtime in statically for this reason.
      string(APPEND _depends_script
"  veltrane_libc_depends(${CMAKE_OBJDUMP} $<TARGET_FILE:_veltrane> _python_libc)
  string(APPEND CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS \", \${_python_libc}\")
")
    endif()
    file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/cpack-project-config.cmake
         CONTENT "${_depends_script}endif()\n")
    set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/cpack-project-config.cmake)
  endif()
  set(CPACK_DEBIAN_CLI_DESCRIPTION
      "converter of real numbers between bases 2 to 36
veltrane-cli converts numerals from one positional base into another, any
base from 2 to 36 on either side. A numeral may carry a sign, a fraction, an
exponent written in its own base and an @ base suffix; results come in
standard or scientific notation.

Every value is an x87 80-bit extended real and every step truncates, so the
digits are exactly those of that arithmetic. Numerals come as arguments or
one a line on standard input, for scripts and pipes.")

  # The Python package, for Debian's Python 3.11 (its extension module is
  # built for that version alone); NumPy only for arrays.
  if(VELTRANE_PYTHON_MODULE)
    list(APPEND CPACK_COMPONENTS_ALL python)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-veltrane)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
    set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3 (>= 3.11), python3 (<< 3.12)")
    set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS python3-numpy)
    if(NOT CMAKE_CROSSCOMPILING)
      set(CPACK_DEBIAN_PYTHON_PACKAGE_SHLIBDEPS ON)
    endif()
    set(CPACK_DEBIAN_PYTHON_DESCRIPTION
        "Python 3 module converting real numbers between bases 2 to 36
The module veltrane converts numerals from one positional base into another,
any base from 2 to 36 on either side, exactly as veltrane-cli does: with
sign, fraction, exponent and @ base suffix, in standard or scientific
notation, every value an x87 80-bit extended real and every step truncating.

One call converts one numeral, a list or a NumPy array of them; large
batches run without the GIL on all cores. Rejected numerals raise
NumeralError with the rule broken and its column.")
  endif()

  # The dialog is a Windows x86-64 program: amd64 only, run by Wine.
  set(CPACK_DEBIAN_DIALOG_PACKAGE_NAME veltrane)
  set(CPACK_DEBIAN_DIALOG_PACKAGE_DEPENDS "wine64, fonts-wine")
  set(CPACK_DEBIAN_DIALOG_PACKAGE_RECOMMENDS veltrane-cli)
  set(CPACK_DEBIAN_DIALOG_DESCRIPTION
      "converter dialog for real numbers between bases 2 to 36
Veltrane converts a real number written in one positional base into the same
number in another, any base from 2 to 36 on either side, with sign, fraction,
exponent and @ base suffix, in standard or scientific notation. Every value
is an x87 80-bit extended real and every step truncates.

This package holds the converter dialog, a Windows program, and the launcher
veltrane, which runs it through Wine in a Wine prefix of each user's own. The
command-line converter is in the package veltrane-cli.")
endif()

include(CPack)
