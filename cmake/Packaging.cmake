# SPDX-License-Identifier: GPL-3.0-or-later
# What an install holds, and the Debian package: `cmake --build build --target package` writes
# build/quorvane_<version>_<arch>.deb. Included after the game's own install rules.

# --- where people find the project: each in one place, left out everywhere when empty --------
set(QUORVANE_HOMEPAGE "" CACHE STRING "The project's home page (AppStream, manual page, --help, package)")
set(QUORVANE_BUGS "" CACHE STRING "Where to report bugs (AppStream, manual page, --help, package)")
set(QUORVANE_SCREENSHOTS "" CACHE STRING "Where the README's screenshots are published (AppStream)")
# The project has no mail address of its own. The field must hold one to be well formed, so it
# carries a reserved name that can never be delivered to (RFC 2606) and says so; a packager who
# takes the package on sets their own.
set(QUORVANE_MAINTAINER "Quorvane developers <no-mail-address@quorvane.invalid>"
    CACHE STRING "The package's Maintainer field")
foreach(url QUORVANE_HOMEPAGE QUORVANE_BUGS QUORVANE_SCREENSHOTS)
  if(${url} MATCHES "[\"<>\\\\ ]")
    message(FATAL_ERROR "${url} may not hold quotes, spaces, <, > or backslashes: ${${url}}")
  endif()
endforeach()
target_compile_definitions(quorvane_options PRIVATE QUORVANE_HOMEPAGE="${QUORVANE_HOMEPAGE}"
                           QUORVANE_BUGS="${QUORVANE_BUGS}")

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Everything an install holds, built by `cmake --build build --target packaged`.
add_custom_target(packaged)
add_dependencies(packaged quorvane)
if(TARGET assets)
  add_dependencies(packaged assets)
endif()

if(TARGET quorvane-sim)
  install(TARGETS quorvane-sim DESTINATION ${CMAKE_INSTALL_BINDIR})
  add_dependencies(packaged quorvane-sim)
endif()
# The room server installs itself (beside its unit and manual page); it may be declared after
# this file is read, so it is looked for once the whole folder is.
function(quorvane_package_server)
  foreach(target quorvane-server server_man)
    if(TARGET ${target})
      add_dependencies(packaged ${target})
    endif()
  endforeach()
endfunction()
cmake_language(DEFER CALL quorvane_package_server)

# Icons, drawn by our generator at the sizes it names in tools/assetgen/assetgen.h.
if(TARGET quorvane_assetgen)
  pkg_check_modules(PNG REQUIRED IMPORTED_TARGET libpng)
  target_link_libraries(quorvane_assetgen PRIVATE PkgConfig::PNG)
  file(STRINGS ${PROJECT_SOURCE_DIR}/tools/assetgen/assetgen.h ICON_SIZES REGEX "GEN_ICON_SIZES\\[\\] = ")
  string(REGEX REPLACE "^.*{(.*)}.*$" "\\1" ICON_SIZES "${ICON_SIZES}")
  string(REGEX MATCHALL "[0-9]+" ICON_SIZES "${ICON_SIZES}")
  if(NOT ICON_SIZES)
    message(FATAL_ERROR "no GEN_ICON_SIZES in tools/assetgen/assetgen.h")
  endif()
  set(ICON_DIR ${CMAKE_BINARY_DIR}/icons)
  set(ICON_FILES ${ICON_DIR}/quorvane.svg)
  foreach(size ${ICON_SIZES})
    list(APPEND ICON_FILES ${ICON_DIR}/quorvane-${size}.png)
    install(FILES ${ICON_DIR}/quorvane-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME quorvane.png)
  endforeach()
  install(FILES ${ICON_DIR}/quorvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  add_custom_command(OUTPUT ${ICON_FILES}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ICON_DIR}
    COMMAND quorvane_assetgen --icons ${ICON_DIR}
    DEPENDS quorvane_assetgen
    COMMENT "Drawing the desktop icons")
  add_custom_target(icons ALL DEPENDS ${ICON_FILES})
  add_dependencies(packaged icons)
endif()

# Manual pages (docs/NAME.SECTION, each installed in its section) and the changelog go in
# gzipped, as Debian wants them (-n: no time stamp). The pages get the project's addresses.
set(PKG_DOC_DIR ${CMAKE_BINARY_DIR}/pkgdoc)
configure_file(${PROJECT_SOURCE_DIR}/app/install/debian/changelog ${PKG_DOC_DIR}/changelog @ONLY)
set(PKG_DOC_FILES ${PKG_DOC_DIR}/changelog.gz)
set(PKG_DOC_COMMANDS COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${PKG_DOC_DIR}/changelog ${PKG_DOC_DIR}/changelog.gz)
file(GLOB MAN_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.[1-8])
foreach(page ${MAN_PAGES})
  get_filename_component(name ${page} NAME)
  string(REGEX REPLACE "^.*\\.([1-8])$" "\\1" section ${name})
  list(APPEND PKG_DOC_FILES ${PKG_DOC_DIR}/${name}.gz)
  list(APPEND PKG_DOC_COMMANDS
       COMMAND ${CMAKE_COMMAND} -DIN=${page} -DOUT=${PKG_DOC_DIR}/${name} -DHOMEPAGE=${QUORVANE_HOMEPAGE}
               -DBUGS=${QUORVANE_BUGS} -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
       COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${PKG_DOC_DIR}/${name} ${PKG_DOC_DIR}/${name}.gz)
  install(FILES ${PKG_DOC_DIR}/${name}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
add_custom_command(OUTPUT ${PKG_DOC_FILES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PKG_DOC_DIR} ${PKG_DOC_COMMANDS}
  DEPENDS ${MAN_PAGES} ${PKG_DOC_DIR}/changelog ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
  VERBATIM)
add_custom_target(pkgdoc ALL DEPENDS ${PKG_DOC_FILES})
add_dependencies(packaged pkgdoc)
install(FILES ${PKG_DOC_DIR}/changelog.gz ${PROJECT_SOURCE_DIR}/app/install/debian/copyright
        ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

configure_file(${PROJECT_SOURCE_DIR}/app/install/io.github.quorvane.Quorvane.metainfo.xml
               ${CMAKE_BINARY_DIR}/install/io.github.quorvane.Quorvane.metainfo.xml @ONLY)
# Addresses and screenshots only where they are set: no placeholder ships.
file(READ ${CMAKE_BINARY_DIR}/install/io.github.quorvane.Quorvane.metainfo.xml metainfo)
set(urls "")
if(QUORVANE_HOMEPAGE)
  string(APPEND urls "  <url type=\"homepage\">${QUORVANE_HOMEPAGE}</url>\n")
endif()
if(QUORVANE_BUGS)
  string(APPEND urls "  <url type=\"bugtracker\">${QUORVANE_BUGS}</url>\n")
endif()
string(REPLACE "  <!-- urls -->\n" "${urls}" metainfo "${metainfo}")
if(NOT QUORVANE_SCREENSHOTS)
  string(REGEX REPLACE "  <screenshots>.*</screenshots>\n" "" metainfo "${metainfo}")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/install/io.github.quorvane.Quorvane.metainfo.xml "${metainfo}")
install(FILES ${CMAKE_BINARY_DIR}/install/io.github.quorvane.Quorvane.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# --- the Debian package ------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QUORVANE_MAINTAINER}")
set(CPACK_PACKAGE_VENDOR "Quorvane developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-player artillery duel in space")
set(CPACK_PACKAGE_DESCRIPTION "Two ships hold the left and right edges of the screen with one to three
space bodies (photon stars, moons, blue worlds) between them. The player in
turn sets an angle and a power and fires, and the shot curves under every
body's pull. The match is the best of 1, 3 or 5 rounds, played hot-seat at
one keyboard, against the computer, or online.")
if(QUORVANE_BUGS)
  string(APPEND CPACK_PACKAGE_DESCRIPTION "\n.\nReport bugs at ${QUORVANE_BUGS}")
endif()
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUORVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(QUORVANE_HOMEPAGE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${QUORVANE_HOMEPAGE}")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Libraries come from dpkg-shlibdeps. The font is the one thing the game opens by name that it
# cannot start without. FluidSynth (opened at run time) and a General MIDI SoundFont make the
# music: without them the game says once that the music is off and plays on.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-extra")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "libfluidsynth3, timgm6mb-soundfont | fluid-soundfont-gm | musescore-general-soundfont")
# Stripping is ours (cmake/PackageLayout.cmake): Debian's way, with the debug files kept aside.
set(CPACK_STRIP_FILES OFF)
set(CPACK_QUORVANE_STRIP "${CMAKE_STRIP}")
set(CPACK_QUORVANE_OBJCOPY "${CMAKE_OBJCOPY}")
set(CPACK_QUORVANE_DEBUG_DIR "${CMAKE_BINARY_DIR}/debug")
# Debian keeps games in /usr/games; a plain `cmake --install` keeps bin/ (on the PATH of ~/.local).
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/PackageLayout.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/PackageFinish.cmake)
# Reproducible: every time in the package is the last commit's (cmake/CPackOptions.cmake).
set(CPACK_QUORVANE_SOURCE_DIR "${PROJECT_SOURCE_DIR}")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackOptions.cmake)
include(CPack)

if(QUORVANE_TESTS)
  add_test(NAME e2e_package COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/package.sh ${CMAKE_BINARY_DIR}
           ${PROJECT_SOURCE_DIR} ${CMAKE_CPACK_COMMAND})
  set_tests_properties(e2e_package PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
  add_test(NAME package_install_deps COMMAND bash ${PROJECT_SOURCE_DIR}/tests/package/install_deps.sh
           ${PROJECT_SOURCE_DIR})
endif()
