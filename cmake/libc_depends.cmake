# The Debian dependency of a program on the C library, from the program
# itself: libc6 (>= V), V the newest GLIBC_ symbol version it needs. This is
# what dpkg-shlibdeps finds from libc6's symbols file, whose versions are
# those of the symbols; a cross build uses it because dpkg-shlibdeps needs
# the target architecture's libc6 installed, which a cross toolchain is not.
#
#   include(libc_depends.cmake)
#   veltrane_libc_depends(OBJDUMP PROGRAM OUT_VAR)
# or, to print it:
#   cmake -DOBJDUMP=objdump -DPROGRAM=prog -P libc_depends.cmake
#
# OBJDUMP is the target's objdump. Fails when PROGRAM needs a shared library
# that libc6 does not hold (its package would lack that dependency), or no
# versioned C library symbol at all (then it is no dynamic glibc program).
function(veltrane_libc_depends objdump program out_var)
  execute_process(COMMAND ${objdump} -p ${program}
                  OUTPUT_VARIABLE _dump ERROR_VARIABLE _error RESULT_VARIABLE _status)
  if(NOT _status EQUAL 0)
    message(FATAL_ERROR "${objdump} -p ${program}: ${_error}")
  endif()
  # The libraries libc6 holds (the loader's name varies by architecture).
  string(REGEX MATCHALL "NEEDED +[^\n]+" _needed "${_dump}")
  foreach(_entry ${_needed})
    string(REGEX REPLACE "^NEEDED +" "" _library "${_entry}")
    string(STRIP "${_library}" _library)
    if(NOT _library MATCHES "^(libc|libm|libpthread|libdl|librt|libresolv|libutil|libanl)\\.so\\.[0-9]+$"
       AND NOT _library MATCHES "^ld-linux[-a-z0-9_.]*\\.so\\.[0-9]+$")
      message(FATAL_ERROR "${program} needs ${_library}, which libc6 does not hold")
    endif()
  endforeach()
  string(REGEX MATCHALL "GLIBC_[0-9]+(\\.[0-9]+)+" _versions "${_dump}")
  set(_newest "")
  foreach(_version ${_versions})
    string(REPLACE "GLIBC_" "" _version ${_version})
    if(_newest STREQUAL "" OR _version VERSION_GREATER _newest)
      set(_newest ${_version})
    endif()
  endforeach()
  if(_newest STREQUAL "")
    message(FATAL_ERROR "${program} needs no versioned symbol of the GNU C library")
  endif()
  set(${out_var} "libc6 (>= ${_newest})" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE AND DEFINED PROGRAM)
  if(NOT DEFINED OBJDUMP)
    set(OBJDUMP objdump)
  endif()
  veltrane_libc_depends(${OBJDUMP} ${PROGRAM} _depends)
  message("${_depends}")
endif()
