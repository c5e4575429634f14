# Source selection by convention, so that adding a file to a subsystem folder needs no edit here:
# - pages and dialogs (*_dlg.cpp), Win32-only helpers (*_win32.cpp) and platform/win32/ build only
#   into the program;
# - everything else in the subsystem folders is portable and builds into tessaly_core twice.
set(TESSALY_SUBSYSTEMS app platform registry_archive catalog product_manager kontakt
    thumbnails plugins relocation)

function(tessaly_collect_sources out kind)
  set(all "")
  foreach(dir IN LISTS TESSALY_SUBSYSTEMS)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND all ${found})
  endforeach()
  set(selected "")
  foreach(file IN LISTS all)
    string(REGEX MATCH "(/platform/win32/|_dlg\\.cpp$|_win32\\.cpp$)" win32_only "${file}")
    if(kind STREQUAL "PORTABLE" AND NOT win32_only)
      list(APPEND selected ${file})
    elseif(kind STREQUAL "WIN32_ONLY" AND win32_only AND NOT file MATCHES "/app/main_win32\\.cpp$")
      list(APPEND selected ${file})
    endif()
  endforeach()
  set(${out} ${selected} PARENT_SCOPE)
endfunction()
