# Writes the page into SITE: index.html and veltrane.css as they are, and
# veltrane.js with the module MODULE written into it, gzipped (a third of
# its size) and then in base64.
#   cmake -DMODULE=veltrane.wasm -DSOURCE=web -DSITE=out -P embed.cmake
find_program(GZIP gzip REQUIRED)
find_program(BASE64 base64 REQUIRED)
# -n: no name or time stamp, so that the same module gives the same page.
execute_process(COMMAND ${GZIP} -9 -n -c ${MODULE} COMMAND ${BASE64} -w 0
                OUTPUT_VARIABLE module RESULTS_VARIABLE status)
if(NOT status STREQUAL "0;0" OR module STREQUAL "")
  message(FATAL_ERROR "could not gzip and encode ${MODULE}: ${status}")
endif()
file(READ ${SOURCE}/veltrane.js script)
string(FIND "${script}" "@VELTRANE_MODULE_GZIP_BASE64@" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${SOURCE}/veltrane.js has no @VELTRANE_MODULE_GZIP_BASE64@ to replace")
endif()
string(REPLACE "@VELTRANE_MODULE_GZIP_BASE64@" "${module}" script "${script}")
file(MAKE_DIRECTORY ${SITE})
file(WRITE ${SITE}/veltrane.js "${script}")
configure_file(${SOURCE}/index.html ${SITE}/index.html COPYONLY)
configure_file(${SOURCE}/veltrane.css ${SITE}/veltrane.css COPYONLY)
