# Source selection by convention, so that adding a file to a folder needs no edit here. Each layer
# of the program is a library of its own, linked only to the layers below it:
#   PORTABLE  everything else in the subsystem folders: models, engines, settings, platform
#             interfaces; no Win32 (tessaly_core, built natively and with MinGW);
#   PLATFORM  platform/win32/: the Win32 backends of the platform interfaces;
#   UI_KIT    app/ui/*_win32.cpp: dialog base, page skeleton, skin, list helpers;
#   PAGES     the pages and dialogs (*_dlg.cpp) of the subsystem folders and app/shell/, and any
#             other *_win32.cpp helper of a subsystem folder;
#   FLOW      the portable part of the program root (app/*.cpp that is not *_win32.cpp): the
#             wizard flow, built natively as well for its tests;
#   PROGRAM   the Win32 part of the program root (app/*_win32.cpp but main_win32.cpp, which the
#             executable compiles itself).
# tests/scripts/layers_test.py checks the includes of the tree against the same order.
set(TESSALY_SUBSYSTEMS app platform registry_archive catalog product_manager kontakt
    thumbnails plugins relocation)

# The layer of one source file (a path below the source folder), as named above.
function(tessaly_layer_of out file)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${file})
  if(rel MATCHES "^app/[^/]+$")
    if(rel MATCHES "_win32\\.cpp$")
      set(layer PROGRAM)
    else()
      set(layer FLOW)
    endif()
  elseif(rel MATCHES "^platform/win32/")
    set(layer PLATFORM)
  elseif(rel MATCHES "^app/ui/.*_win32\\.cpp$")
    set(layer UI_KIT)
  elseif(rel MATCHES "(_dlg|_win32)\\.cpp$")
    set(layer PAGES)
  else()
    set(layer PORTABLE)
  endif()
  set(${out} ${layer} PARENT_SCOPE)
endfunction()

# The sources of one layer; main_win32.cpp belongs to the executable and to no library.
function(tessaly_collect_sources out layer)
  set(all "")
  foreach(dir IN LISTS TESSALY_SUBSYSTEMS)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND all ${found})
  endforeach()
  list(FILTER all EXCLUDE REGEX "/app/main_win32\\.cpp$")
  set(selected "")
  foreach(file IN LISTS all)
    tessaly_layer_of(file_layer ${file})
    if(file_layer STREQUAL layer)
      list(APPEND selected ${file})
    endif()
  endforeach()
  set(${out} ${selected} PARENT_SCOPE)
endfunction()
