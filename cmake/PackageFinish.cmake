# SPDX-License-Identifier: GPL-3.0-or-later
# Run by CPack on each package it wrote. CPack gives the members of the .deb (an ar archive)
# the mode its temporary files had, so the builder's umask would show in the package: each
# member header's mode field (8 bytes, 40 bytes into its 60) becomes 100644, as dpkg-deb
# writes it.
foreach(deb ${CPACK_PACKAGE_FILES})
  file(SIZE ${deb} total)
  set(at 8) # after "!<arch>\n"
  while(at LESS total)
    file(READ ${deb} header OFFSET ${at} LIMIT 60)
    string(SUBSTRING "${header}" 48 10 size)
    string(STRIP "${size}" size)
    if(NOT size MATCHES "^[0-9]+$")
      message(FATAL_ERROR "${deb}: no ar member header at byte ${at}")
    endif()
    math(EXPR mode_at "${at} + 40")
    execute_process(COMMAND sh -c "printf '100644  ' | dd of=\"$1\" bs=1 seek=$2 conv=notrunc status=none" sh ${deb}
                            ${mode_at} COMMAND_ERROR_IS_FATAL ANY)
    math(EXPR at "${at} + 60 + ${size} + ${size} % 2")
  endwhile()
endforeach()
