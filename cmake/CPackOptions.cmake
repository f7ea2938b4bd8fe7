# SPDX-License-Identifier: GPL-3.0-or-later
# Read by CPack before it packs. Every time stamp in the package is the last commit's, so two
# builds of one commit give the same bytes; a SOURCE_DATE_EPOCH already set is kept. Outside a
# git checkout (a release tarball) the changelog's last entry gives it.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git -C ${CPACK_QUORVANE_SOURCE_DIR} log -1 --format=%ct OUTPUT_VARIABLE epoch
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT epoch MATCHES "^[0-9]+$")
    execute_process(COMMAND dpkg-parsechangelog -l ${CPACK_QUORVANE_SOURCE_DIR}/app/install/debian/changelog -S Timestamp
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(epoch MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  else()
    message(WARNING "no commit or changelog date: the package's time stamps are today's")
  endif()
endif()
