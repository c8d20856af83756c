# Writes the npm package into PACKAGE and the page into SITE, both around the
# module MODULE, which they embed gzipped (a third of its size) and then in
# base64, so that neither has to fetch it (a page opened from disk could not):
#   PACKAGE/index.js      api.js, an ES module, with the module written in
#   PACKAGE/package.json  package/package.json with the version
#   PACKAGE/index.d.ts, README.md, LICENSE
#   SITE/veltrane.js      veltrane.js, a classic script, with api.js (up to
#                         its package interface) written in
#   SITE/index.html, veltrane.css, veltrane.webmanifest as they are
#   SITE/icon-192.png, icon-512.png  the icon ICON drawn at those sizes
#   SITE/sw.js            sw.js with the list of the other files and a
#                         version that changes whenever any of them does
#   cmake -DMODULE=veltrane.wasm -DSOURCE=web -DSITE=site -DPACKAGE=package
#         -DVERSION=1.0.0 -DLICENSE=LICENSE -DICON=veltrane.svg
#         -DRSVG_CONVERT=rsvg-convert -P embed.cmake
find_program(GZIP gzip REQUIRED)
find_program(BASE64 base64 REQUIRED)
# -n: no name or time stamp, so that the same module gives the same files.
execute_process(COMMAND ${GZIP} -9 -n -c ${MODULE} COMMAND ${BASE64} -w 0
                OUTPUT_VARIABLE module RESULTS_VARIABLE status)
if(NOT status STREQUAL "0;0" OR module STREQUAL "")
  message(FATAL_ERROR "could not gzip and encode ${MODULE}: ${status}")
endif()

function(replace_once variable placeholder value what)
  string(FIND "${${variable}}" "${placeholder}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${what} has no ${placeholder} to replace")
  endif()
  string(REPLACE "${placeholder}" "${value}" result "${${variable}}")
  set(${variable} "${result}" PARENT_SCOPE)
endfunction()

# --- The package ---
file(READ ${SOURCE}/api.js api)
replace_once(api "@VELTRANE_MODULE_GZIP_BASE64@" "${module}" "${SOURCE}/api.js")
file(MAKE_DIRECTORY ${PACKAGE})
file(WRITE ${PACKAGE}/index.js "${api}")
configure_file(${SOURCE}/package/package.json ${PACKAGE}/package.json @ONLY)
configure_file(${SOURCE}/package/index.d.ts ${PACKAGE}/index.d.ts COPYONLY)
configure_file(${SOURCE}/package/README.md ${PACKAGE}/README.md COPYONLY)
configure_file(${LICENSE} ${PACKAGE}/LICENSE COPYONLY)

# --- The page ---
# The script takes the package's code up to its exports: a classic script
# (which a page opened from disk can run, where a module script would be
# refused) cannot export, nor wait at its top level.
set(marker "// @package-interface")
string(FIND "${api}" "${marker}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${SOURCE}/api.js has no ${marker} line")
endif()
string(SUBSTRING "${api}" 0 ${at} api_code)
file(READ ${SOURCE}/veltrane.js script)
replace_once(script "// @VELTRANE_API@\n" "${api_code}" "${SOURCE}/veltrane.js")
file(MAKE_DIRECTORY ${SITE})
file(WRITE ${SITE}/veltrane.js "${script}")
foreach(name index.html veltrane.css veltrane.webmanifest)
  configure_file(${SOURCE}/${name} ${SITE}/${name} COPYONLY)
endforeach()
foreach(size 192 512)
  execute_process(COMMAND ${RSVG_CONVERT} --width ${size} --height ${size} --keep-aspect-ratio
                          --output ${SITE}/icon-${size}.png ${ICON}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not draw ${ICON} at ${size} px: ${status}")
  endif()
endforeach()

# The worker caches every other file of the page, and the directory itself
# (the address a visitor opens), under a name from all their bytes: a page
# published anew brings a new sw.js, which the browser installs in place of
# the old one.
set(cached index.html veltrane.css veltrane.js veltrane.webmanifest icon-192.png icon-512.png)
set(contents "")
set(list "'./'")
foreach(name IN LISTS cached)
  file(SHA256 ${SITE}/${name} hash)
  string(APPEND contents "${name} ${hash}\n")
  string(APPEND list ", '${name}'")
endforeach()
string(SHA256 version "${contents}")
string(SUBSTRING "${version}" 0 16 version)
file(READ ${SOURCE}/sw.js worker)
replace_once(worker "@VELTRANE_SITE_VERSION@" "${version}" "${SOURCE}/sw.js")
replace_once(worker "'@VELTRANE_SITE_FILES@'" "${list}" "${SOURCE}/sw.js")
file(WRITE ${SITE}/sw.js "${worker}")
