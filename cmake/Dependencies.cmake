# Third-party code comes from Debian's archive, never from the repository:
# - native: libpugixml-dev and the system GoogleTest;
# - MinGW: the pugixml source package (apt-get source, cached in the build folder) and the
#   GoogleTest sources that Debian's googletest package installs under /usr/src/googletest.

add_library(tessaly_pugixml INTERFACE)
if(WIN32)
  set(pugixml_cache ${CMAKE_BINARY_DIR}/_deps/pugixml)
  file(GLOB pugixml_src ${pugixml_cache}/pugixml-*/src/pugixml.cpp)
  if(NOT pugixml_src)
    file(MAKE_DIRECTORY ${pugixml_cache})
    execute_process(COMMAND apt-get source -qq pugixml
      WORKING_DIRECTORY ${pugixml_cache} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    file(GLOB pugixml_src ${pugixml_cache}/pugixml-*/src/pugixml.cpp)
    if(NOT pugixml_src)
      message(FATAL_ERROR "Could not get the pugixml source package (apt-get source pugixml: ${rc}). "
        "Run scripts/setup.sh, which adds deb-src entries for the Debian archive sources of apt.")
    endif()
  endif()
  list(GET pugixml_src 0 pugixml_src)
  get_filename_component(pugixml_dir ${pugixml_src} DIRECTORY)
  add_library(pugixml_static STATIC ${pugixml_src})
  target_include_directories(pugixml_static SYSTEM PUBLIC ${pugixml_dir})
  target_link_libraries(tessaly_pugixml INTERFACE pugixml_static)
else()
  find_package(pugixml REQUIRED)
  target_link_libraries(tessaly_pugixml INTERFACE pugixml::pugixml)
endif()

if(TESSALY_TESTS)
  if(WIN32)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
  include(GoogleTest)
endif()
