# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack between the install into its staging folder and the packing.
#
# The programs move from usr/bin to usr/games, where Debian keeps a games package's programs
# (the room server's among them: its unit is told). The launcher finds the game from its own
# place, so nothing else changes. /usr/games is not on every PATH (root's, a
# service's), so the packaged desktop entry names the launcher by its full path.
#
# Binaries are stripped as Debian's own tools do (no .comment or .note, only what the loader
# needs); the debug information goes to CPACK_QUORVANE_DEBUG_DIR under .build-id/, where gdb
# looks for it with `set debug-file-directory`.
file(GLOB_RECURSE launchers LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/quorvane")
if(NOT launchers)
  message(FATAL_ERROR "the launcher bin/quorvane is not in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(launcher ${launchers})
  get_filename_component(bin_dir ${launcher} DIRECTORY)
  get_filename_component(prefix ${bin_dir} DIRECTORY)
  file(MAKE_DIRECTORY ${prefix}/games)
  # Made here, not by the install: its mode must not follow the builder's umask.
  file(CHMOD ${prefix}/games DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
       WORLD_READ WORLD_EXECUTE)
  file(GLOB programs ${bin_dir}/*)
  foreach(program ${programs})
    get_filename_component(name ${program} NAME)
    file(RENAME ${program} ${prefix}/games/${name})
  endforeach()
  file(REMOVE_RECURSE ${bin_dir})
  file(GLOB units ${prefix}/lib/systemd/system/*.service)
  foreach(unit ${units})
    file(READ ${unit} text)
    string(REGEX REPLACE "(^|\n)ExecStart=${CPACK_PACKAGING_INSTALL_PREFIX}/bin/" "\\1ExecStart=${CPACK_PACKAGING_INSTALL_PREFIX}/games/"
                         text "${text}")
    file(WRITE ${unit} "${text}")
  endforeach()
  set(desktop ${prefix}/share/applications/quorvane.desktop)
  file(READ ${desktop} entry)
  string(REGEX REPLACE "(^|\n)Exec=quorvane" "\\1Exec=${CPACK_PACKAGING_INSTALL_PREFIX}/games/quorvane" entry "${entry}")
  file(WRITE ${desktop} "${entry}")
endforeach()

file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
list(SORT staged)
foreach(file ${staged})
  if(IS_SYMLINK ${file})
    continue()
  endif()
  file(READ ${file} magic LIMIT 4 HEX)
  if(NOT magic STREQUAL "7f454c46")
    continue()
  endif()
  execute_process(COMMAND readelf -n ${file} OUTPUT_VARIABLE notes)
  if(NOT notes MATCHES "Build ID: ([0-9a-f][0-9a-f])([0-9a-f]+)")
    message(FATAL_ERROR "${file} has no build ID to file its debug information under")
  endif()
  set(debug ${CPACK_QUORVANE_DEBUG_DIR}/.build-id/${CMAKE_MATCH_1}/${CMAKE_MATCH_2}.debug)
  get_filename_component(debug_dir ${debug} DIRECTORY)
  file(MAKE_DIRECTORY ${debug_dir})
  execute_process(COMMAND ${CPACK_QUORVANE_OBJCOPY} --only-keep-debug --compress-debug-sections ${file} ${debug}
                  COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CPACK_QUORVANE_STRIP} --remove-section=.comment --remove-section=.note --strip-unneeded
                          ${file} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
