# Desktop integration and the Debian package: `cmake --build build --target package`
# writes build/quorvane_<version>_<arch>.deb. Included after the game's own install rules.

set(QUORVANE_HOMEPAGE "https://github.com/quorvane/quorvane" CACHE STRING "The project's home page")
set(QUORVANE_SCREENSHOTS "https://raw.githubusercontent.com/quorvane/quorvane/main/docs/screenshots"
    CACHE STRING "Where the README's screenshots are published (for the AppStream metainfo)")
set(QUORVANE_MAINTAINER "The Quorvane developers <maintainers@users.noreply.c-seed-0a977b01.example>")

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Icons, drawn by our generator.
if(TARGET quorvane_assetgen)
  set(ICON_DIR ${CMAKE_BINARY_DIR}/icons)
  set(ICON_FILES ${ICON_DIR}/quorvane-64.png ${ICON_DIR}/quorvane-256.png)
  add_custom_command(OUTPUT ${ICON_FILES}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ICON_DIR}
    COMMAND quorvane_assetgen --icons ${ICON_DIR}
    DEPENDS quorvane_assetgen
    COMMENT "Drawing the desktop icons")
  add_custom_target(icons ALL DEPENDS ${ICON_FILES})
  foreach(size 64 256)
    install(FILES ${ICON_DIR}/quorvane-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME quorvane.png)
  endforeach()
endif()

# The manual page and the changelog go in gzipped, as Debian wants them (-n: no time stamp).
set(PKG_DOC_DIR ${CMAKE_BINARY_DIR}/pkgdoc)
add_custom_command(OUTPUT ${PKG_DOC_DIR}/quorvane.6.gz ${PKG_DOC_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PKG_DOC_DIR}
  COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${PROJECT_SOURCE_DIR}/docs/quorvane.6 ${PKG_DOC_DIR}/quorvane.6.gz
  COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${PROJECT_SOURCE_DIR}/app/install/debian/changelog
          ${PKG_DOC_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/quorvane.6 ${PROJECT_SOURCE_DIR}/app/install/debian/changelog
  VERBATIM)
add_custom_target(pkgdoc ALL DEPENDS ${PKG_DOC_DIR}/quorvane.6.gz ${PKG_DOC_DIR}/changelog.gz)
install(FILES ${PKG_DOC_DIR}/quorvane.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${PKG_DOC_DIR}/changelog.gz ${PROJECT_SOURCE_DIR}/app/install/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

configure_file(${PROJECT_SOURCE_DIR}/app/install/io.github.quorvane.Quorvane.metainfo.xml ${CMAKE_BINARY_DIR}/install/io.github.quorvane.Quorvane.metainfo.xml
               @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/install/io.github.quorvane.Quorvane.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# --- the Debian package ------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QUORVANE_MAINTAINER}")
set(CPACK_PACKAGE_VENDOR "The Quorvane developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-player artillery duel in space")
set(CPACK_PACKAGE_DESCRIPTION "Two ships hold the left and right edges of the screen with one to three
space bodies (photon stars, moons, blue worlds) between them. The player in
turn sets an angle and a power and fires, and the shot curves under every
body's pull. The match is the best of 1, 3 or 5 rounds, played hot-seat at
one keyboard, against the computer, or online.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUORVANE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Libraries come from dpkg-shlibdeps; what the game opens at run time is named here: its font
# and a General MIDI SoundFont at one of the paths the synth tries, and FluidSynth, which the
# synth opens itself. ENet (online play) is named too until the game links it, when
# dpkg-shlibdeps names it with its version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libfluidsynth3, fonts-dejavu-extra, timgm6mb-soundfont | fluid-soundfont-gm | musescore-general-soundfont")
if(NOT ENET_FOUND)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libenet7")
endif()
# Debian keeps games in /usr/games; a plain `cmake --install` keeps bin/ (on the PATH of ~/.local).
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/PackageLayout.cmake)
include(CPack)

if(QUORVANE_TESTS)
  add_test(NAME e2e_package COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/package.sh ${CMAKE_BINARY_DIR}
           ${PROJECT_SOURCE_DIR} ${CMAKE_CPACK_COMMAND})
  set_tests_properties(e2e_package PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
endif()
