# The converter dialog and the veltrane executable (Windows builds only).
if(NOT TARGET veltrane::conversion)
  message(STATUS "veltrane: no Convert command yet, the dialog is not built")
  return()
endif()

enable_language(RC)

# The dialog template, as an object library so that the dialog tests link the
# very same compiled resource.
add_library(veltrane_resources OBJECT ${CMAKE_CURRENT_LIST_DIR}/resources.rc)
add_library(veltrane::resources ALIAS veltrane_resources)

add_library(veltrane_dialog STATIC ${CMAKE_CURRENT_LIST_DIR}/dialog.cpp)
target_link_libraries(veltrane_dialog PUBLIC veltrane::conversion user32)
veltrane_warnings(veltrane_dialog)
add_library(veltrane::dialog ALIAS veltrane_dialog)

# A GUI-subsystem program (-mwindows), linked statically (see the top-level
# link options) so that it imports only KERNEL32, USER32 and msvcrt.
add_executable(veltrane WIN32 ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(veltrane PRIVATE veltrane::dialog veltrane::resources)
veltrane_warnings(veltrane)
