# The shared libraries the Linux player opens itself when a show starts
# (src/platform/lazy) instead of linking them: for each, the soname of the version found here and
# the Debian package that holds it. One list serves the player's message when
# a library is missing and the Depends of the Debian package; the loader
# checks at compile time that these sonames are the ones it opens.
#
# Sets TARN_PLAYER_LIBRARY_SONAMES and TARN_PLAYER_LIBRARY_PACKAGES (in the
# loader's order: SDL, libavutil, libavcodec, libavformat, libswscale,
# libswresample, libjpeg) and writes player_library_packages.h into
# ${CMAKE_BINARY_DIR}/generated.

set(tarn_player_modules sdl2 libavutil libavcodec libavformat libswscale libswresample libjpeg)
set(TARN_PLAYER_LIBRARY_SONAMES "")
set(TARN_PLAYER_LIBRARY_PACKAGES "")
find_program(TARN_OBJDUMP NAMES objdump)
find_program(TARN_DPKG_QUERY NAMES dpkg-query)

foreach(module IN LISTS tarn_player_modules)
  pkg_check_modules(tarn_module_${module} QUIET ${module})
  set(file "")
  foreach(candidate IN LISTS tarn_module_${module}_LINK_LIBRARIES)
    if(candidate MATCHES "\\.so$")
      set(file "${candidate}")
      break()
    endif()
  endforeach()
  if(file STREQUAL "" OR NOT TARN_OBJDUMP)
    message(FATAL_ERROR "cannot find the shared library of ${module} (or objdump) to name its soname")
  endif()
  execute_process(COMMAND ${TARN_OBJDUMP} -p "${file}" OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
  if(failed OR NOT headers MATCHES "SONAME +([^\n ]+)")
    message(FATAL_ERROR "${file} names no soname")
  endif()
  set(soname "${CMAKE_MATCH_1}")
  # The package of the library itself, not of its -dev symlink.
  get_filename_component(directory "${file}" DIRECTORY)
  file(REAL_PATH "${directory}/${soname}" real)
  set(package "")
  if(TARN_DPKG_QUERY)
    execute_process(COMMAND ${TARN_DPKG_QUERY} -S "${real}" OUTPUT_VARIABLE owner
                    RESULT_VARIABLE failed ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT failed AND owner MATCHES "^([^:, ]+)")
      set(package "${CMAKE_MATCH_1}")
    endif()
  endif()
  list(APPEND TARN_PLAYER_LIBRARY_SONAMES "${soname}")
  list(APPEND TARN_PLAYER_LIBRARY_PACKAGES "${package}")
endforeach()

set(tarn_soname_items "")
set(tarn_package_items "")
foreach(soname IN LISTS TARN_PLAYER_LIBRARY_SONAMES)
  string(APPEND tarn_soname_items "    \"${soname}\",\n")
endforeach()
foreach(package IN LISTS TARN_PLAYER_LIBRARY_PACKAGES)
  string(APPEND tarn_package_items "    \"${package}\",\n")
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/generated/player_library_packages.h CONTENT
"// Written by CMake (cmake/player_libraries.cmake) from the libraries found
// when the build was configured. In the loader's order of libraries.
#pragma once

namespace tarn::lazy::configured {

constexpr const char* kSonames[] = {
${tarn_soname_items}};

// The Debian package that holds each library; empty where none was found.
constexpr const char* kPackages[] = {
${tarn_package_items}};

}  // namespace tarn::lazy::configured
" @ONLY)
message(STATUS "Player libraries: ${TARN_PLAYER_LIBRARY_SONAMES} from ${TARN_PLAYER_LIBRARY_PACKAGES}")
