# What `cmake --install` puts under the prefix, and the Debian package that
# `cpack -G DEB` makes of it (Linux).
include(GNUInstallDirs)
# Installing (and cpack) takes the programs as built; it does not build
# every target, the test suites included, first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS tarnplayer tarnpack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The manual pages, compressed as Debian installs them.
find_program(TARN_GZIP gzip REQUIRED)
set(tarn_manual_pages "")
foreach(page tarnplayer.1 tarnpack.1)
  set(compressed ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${TARN_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/doc/man/${page} > ${compressed}
    DEPENDS ${PROJECT_SOURCE_DIR}/doc/man/${page}
    VERBATIM)
  list(APPEND tarn_manual_pages ${compressed})
endforeach()
add_custom_target(tarn_manual_pages ALL DEPENDS ${tarn_manual_pages})
install(FILES ${tarn_manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${PROJECT_SOURCE_DIR}/resources/tarnplayer.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/tarnplayer.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps)

# The Debian package. Its Depends are the libraries the programs load:
# those they are linked with, found by dpkg-shlibdeps, and those the player
# opens itself when a show starts (SDL and FFmpeg), which no tool can see in
# the executable: the packages found for them when the build was configured
# (cmake/player_libraries.cmake).
set(CPACK_PACKAGE_NAME tarnplayer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TarnPlayer")
set(CPACK_PACKAGE_CONTACT "TarnPlayer developers <tarnplayer@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-contained slide-show player and packer")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Plays slide shows packed into one executable.
tarnpack packs photos, clips, a background tune and a sound per slide with a
copy of the player into one program; whoever runs it sees the show full
screen, and every extracted file is removed afterwards.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
if("" IN_LIST TARN_PLAYER_LIBRARY_PACKAGES)
  message(WARNING "Not every library the player loads has a known Debian package: "
                  "the Debian package would lack them among its Depends")
endif()
# tarnpack links libjpeg, so dpkg-shlibdeps names its package already, with
# the version; it is not named twice.
set(tarn_opened_packages ${TARN_PLAYER_LIBRARY_PACKAGES})
list(GET TARN_PLAYER_LIBRARY_SONAMES -1 tarn_jpeg_soname)
list(GET TARN_PLAYER_LIBRARY_PACKAGES -1 tarn_jpeg_package)
if(NOT tarn_jpeg_soname MATCHES "^libjpeg")
  message(FATAL_ERROR "the last library the player opens is no longer libjpeg")
endif()
list(REMOVE_ITEM tarn_opened_packages "${tarn_jpeg_package}")
list(JOIN tarn_opened_packages ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_GENERATOR DEB)
include(CPack)
