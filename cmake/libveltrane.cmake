# libveltrane as it installs, from the same objects as the static library
# `veltrane` (library/) that the programs link:
#
#   Linux    libveltrane.so.1.0.0 (SONAME libveltrane.so.1) and the link
#            libveltrane.so, component `runtime` / `development`
#            libveltrane.a, component `development`
#   Windows  veltrane.dll and its import library libveltrane.dll.a, in sdk/
#   both     veltrane.h and veltrane.hpp, and the CMake package Veltrane
#            (targets Veltrane::veltrane, the shared library, and on Linux
#            Veltrane::veltrane_static)
#   Linux    the pkg-config files veltrane.pc and veltrane-static.pc
#
# The objects are compiled once, position-independent and with hidden
# visibility (see the top-level CMakeLists), so the programs that link
# `veltrane` statically and the shared library run the same code; the
# shared library exports the functions that veltrane.h declares VELTRANE_API
# and nothing else (a version script on Linux, a .def file on Windows).
#
# Included by the top-level CMakeLists after library/.

# The objects of the static library `veltrane`: its own, those it takes in as
# sources ($<TARGET_OBJECTS:...> of the core's libraries), and those of the
# project's static libraries it links, if any, so that the installed archive
# and the shared library hold them all and link nothing of this project.
function(veltrane_core_objects target out_var)
  set(_seen ${${out_var}})
  get_target_property(_aliased ${target} ALIASED_TARGET)
  if(_aliased)
    set(target ${_aliased})
  endif()
  get_target_property(_type ${target} TYPE)
  set(_own $<TARGET_OBJECTS:${target}>)
  if(_own IN_LIST _seen OR NOT _type MATCHES "^(STATIC|OBJECT)_LIBRARY$")
    return()
  endif()
  list(APPEND _seen ${_own})
  get_target_property(_sources ${target} SOURCES)
  foreach(_source IN LISTS _sources)
    if(_source MATCHES "^\\$<TARGET_OBJECTS:([^>]+)>$")
      veltrane_core_objects(${CMAKE_MATCH_1} _seen)
    endif()
  endforeach()
  get_target_property(_links ${target} LINK_LIBRARIES)
  foreach(_link IN LISTS _links)
    if(TARGET ${_link})
      get_target_property(_imported ${_link} IMPORTED)
      if(NOT _imported)
        veltrane_core_objects(${_link} _seen)
      endif()
    endif()
  endforeach()
  set(${out_var} ${_seen} PARENT_SCOPE)
endfunction()

set(_objects)
veltrane_core_objects(veltrane _objects)
message(STATUS "libveltrane: the objects of ${_objects}")

set(VELTRANE_PUBLIC_HEADERS ${PROJECT_SOURCE_DIR}/library/include/veltrane.h
                            ${PROJECT_SOURCE_DIR}/library/include/veltrane.hpp)

# The functions of the C interface, read from its header: every declaration
# marked VELTRANE_API. They are the shared library's exports on Windows (the
# .def file); on Linux the version script exports veltrane_* and the
# visibility attributes decide, and a test compares the result with the
# header.
file(READ ${PROJECT_SOURCE_DIR}/library/include/veltrane.h _header)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/library/include/veltrane.h)
string(REGEX MATCHALL "VELTRANE_API[^;(]*[ *](veltrane_[a-z0-9_]+) *\\(" _declarations "${_header}")
set(VELTRANE_API_FUNCTIONS)
foreach(_declaration IN LISTS _declarations)
  string(REGEX REPLACE ".*[ *](veltrane_[a-z0-9_]+) *\\($" "\\1" _name "${_declaration}")
  list(APPEND VELTRANE_API_FUNCTIONS ${_name})
endforeach()
if(NOT VELTRANE_API_FUNCTIONS)
  message(FATAL_ERROR "veltrane.h declares no VELTRANE_API function")
endif()

# --- the shared library ------------------------------------------------------
add_library(veltrane_shared SHARED ${_objects})
# Objects only: nothing tells CMake the language to link with.
set_target_properties(veltrane_shared PROPERTIES
  OUTPUT_NAME veltrane
  EXPORT_NAME veltrane
  LINKER_LANGUAGE CXX
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR})
target_include_directories(veltrane_shared PUBLIC
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/library/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
if(WIN32)
  # veltrane.dll beside libveltrane.dll.a; the C and C++ runtimes are linked
  # in (the top-level link options), so the DLL imports only system DLLs.
  set_target_properties(veltrane_shared PROPERTIES PREFIX "" IMPORT_PREFIX lib)
  set(_def ${CMAKE_CURRENT_BINARY_DIR}/veltrane.def)
  list(JOIN VELTRANE_API_FUNCTIONS "\n  " _exports)
  file(CONFIGURE OUTPUT ${_def} CONTENT "LIBRARY veltrane.dll\nEXPORTS\n  ${_exports}\n")
  target_sources(veltrane_shared PRIVATE ${_def})
else()
  # The version script makes every symbol local but the API's, whatever
  # visibility an object gave it; --no-undefined makes a missing definition
  # a link error rather than a user's load error. The C++ runtime is linked
  # in, as for veltrane-cli: nothing of it crosses the C interface, so a C
  # program loads no libstdc++, and the package depends on the C library
  # alone.
  set(_map ${PROJECT_SOURCE_DIR}/cmake/veltrane.map)
  target_link_options(veltrane_shared PRIVATE -Wl,--version-script=${_map})
  # (A sanitizer's runtime comes with the program: its symbols stay
  # undefined in the library.)
  if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    target_link_options(veltrane_shared PRIVATE -Wl,--no-undefined)
  endif()
  set_property(TARGET veltrane_shared APPEND PROPERTY LINK_DEPENDS ${_map})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_link_options(veltrane_shared PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endif()

# --- the static library -----------------------------------------------------
# All the core's objects in one archive. A program that links it needs the
# C++ runtime: the CMake target and veltrane-static.pc bring it.
if(NOT WIN32)
  add_library(veltrane_static STATIC ${_objects})
  set_target_properties(veltrane_static PROPERTIES
    OUTPUT_NAME veltrane
    EXPORT_NAME veltrane_static
    LINKER_LANGUAGE CXX)
  target_include_directories(veltrane_static PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/library/include>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_compile_definitions(veltrane_static INTERFACE VELTRANE_STATIC)
  # A project that enables CXX links with the C++ driver, which brings the
  # runtime; one in C alone names the runtime the library was built with.
  target_link_libraries(veltrane_static INTERFACE $<$<LINK_LANGUAGE:C>:stdc++> $<$<LINK_LANGUAGE:C>:m>)
  set(_installed_targets veltrane_shared veltrane_static)
else()
  set(_installed_targets veltrane_shared)
endif()

# `cmake --build ... --target libveltrane` builds everything the library's
# components install (on Linux its Debian documents too).
add_custom_target(libveltrane)
add_dependencies(libveltrane ${_installed_targets})
if(NOT WIN32)
  add_dependencies(libveltrane veltrane_packaging_files)
endif()

# --- installation -------------------------------------------------------------
if(WIN32)
  # The Windows ZIP and installer: sdk\bin, sdk\lib, sdk\include beside the
  # programs.
  set(_bindir sdk/bin)
  set(_libdir sdk/lib)
  set(_includedir sdk/include)
else()
  set(_bindir ${CMAKE_INSTALL_BINDIR})
  set(_libdir ${CMAKE_INSTALL_LIBDIR})
  set(_includedir ${CMAKE_INSTALL_INCLUDEDIR})
endif()
set(_cmakedir ${_libdir}/cmake/Veltrane)
set(_pkgconfigdir ${_libdir}/pkgconfig)

install(TARGETS ${_installed_targets} EXPORT VeltraneTargets
        RUNTIME DESTINATION ${_bindir} COMPONENT runtime
        LIBRARY DESTINATION ${_libdir} COMPONENT runtime NAMELINK_COMPONENT development
        ARCHIVE DESTINATION ${_libdir} COMPONENT development)
install(FILES ${VELTRANE_PUBLIC_HEADERS} DESTINATION ${_includedir} COMPONENT development)

# The CMake package: relocatable, so an unpacked -dev package or the sdk
# folder works wherever it lies (CMAKE_PREFIX_PATH).
include(CMakePackageConfigHelpers)
install(EXPORT VeltraneTargets NAMESPACE Veltrane:: DESTINATION ${_cmakedir}
        COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VeltraneConfig.cmake.in
                              ${CMAKE_CURRENT_BINARY_DIR}/VeltraneConfig.cmake
                              INSTALL_DESTINATION ${_cmakedir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/VeltraneConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/VeltraneConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/VeltraneConfigVersion.cmake
        DESTINATION ${_cmakedir} COMPONENT development)

# The pkg-config files, written when they install: prefix is the one being
# installed to (/usr in the Debian packages, the --prefix of cmake --install),
# the other folders relative to it as GNUInstallDirs gives them.
# None on Windows: there CPack installs the ZIP's files under a folder of
# the build machine, which prefix would name; the CMake package is
# relocatable.
set(_pc_files)
if(NOT WIN32)
  set(_pc_files veltrane veltrane-static)
endif()
foreach(_pc IN LISTS _pc_files)
  install(CODE "
    set(VELTRANE_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    set(VELTRANE_PC_LIBDIR \"${_libdir}\")
    set(VELTRANE_PC_INCLUDEDIR \"${_includedir}\")
    set(PROJECT_VERSION \"${PROJECT_VERSION}\")
    configure_file(\"${PROJECT_SOURCE_DIR}/cmake/${_pc}.pc.in\"
                   \"${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/${_pc}.pc\" @ONLY)
  " COMPONENT development)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/pkgconfig/${_pc}.pc DESTINATION ${_pkgconfigdir}
          COMPONENT development)
endforeach()
