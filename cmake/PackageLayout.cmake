# Run by CPack between the install into its staging folder and the packing: the launcher
# moves from usr/bin to usr/games, where Debian keeps games. It finds the game from its own
# place, so nothing else changes. /usr/games is not on every PATH (root's, a service's), so
# the packaged desktop entry names the launcher by its full path.
file(GLOB_RECURSE launchers LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/quorvane")
if(NOT launchers)
  message(FATAL_ERROR "the launcher bin/quorvane is not in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
foreach(launcher ${launchers})
  get_filename_component(bin_dir ${launcher} DIRECTORY)
  get_filename_component(prefix ${bin_dir} DIRECTORY)
  file(MAKE_DIRECTORY ${prefix}/games)
  file(RENAME ${launcher} ${prefix}/games/quorvane)
  file(GLOB left ${bin_dir}/*)
  if(NOT left)
    file(REMOVE_RECURSE ${bin_dir})
  endif()
  set(desktop ${prefix}/share/applications/quorvane.desktop)
  file(READ ${desktop} entry)
  string(REGEX REPLACE "(^|\n)Exec=quorvane" "\\1Exec=${CPACK_PACKAGING_INSTALL_PREFIX}/games/quorvane" entry "${entry}")
  file(WRITE ${desktop} "${entry}")
endforeach()
