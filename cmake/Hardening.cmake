# SPDX-License-Identifier: GPL-3.0-or-later
# Optimised builds (Release, RelWithDebInfo, MinSizeRel) and the Debian package are hardened with
# the flags Debian builds its own packages with: `dpkg-buildflags` with every hardening feature
# on, minus its -g/-O (the build type chooses those) and its build-path map (ours follows).
# Where dpkg-buildflags is missing, the same list by hand. The sanitizer and fuzz builds keep
# their own instrumentation instead: _FORTIFY_SOURCE hides calls from ASan.
option(QUORVANE_HARDEN "Harden optimised builds (PIE, RELRO and BIND_NOW, fortify, stack protection)" ON)

set(QUORVANE_HARDENED OFF)
if(QUORVANE_HARDEN AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$" AND NOT QUORVANE_SANITIZE
   AND NOT QUORVANE_FUZZ)
  set(QUORVANE_HARDENED ON)
endif()

if(QUORVANE_HARDENED)
  find_program(DPKG_BUILDFLAGS dpkg-buildflags)
  set(harden_compile "")
  set(harden_link "")
  if(DPKG_BUILDFLAGS)
    # A packager's own DEB_BUILD_MAINT_OPTIONS comes last, so it can still turn a feature off.
    set(maint "hardening=+all $ENV{DEB_BUILD_MAINT_OPTIONS}")
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(COMMAND ${CMAKE_COMMAND} -E env "DEB_BUILD_MAINT_OPTIONS=${maint}" ${DPKG_BUILDFLAGS} --get ${kind}
                      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
      if(NOT rc EQUAL 0)
        message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
      endif()
      separate_arguments(flags UNIX_COMMAND "${flags}")
      list(FILTER flags EXCLUDE REGEX "^(-g.*|-O.*|-ffile-prefix-map=.*|-fdebug-prefix-map=.*)$")
      if(kind STREQUAL "LDFLAGS")
        list(APPEND harden_link ${flags})
      else()
        list(APPEND harden_compile ${flags})
      endif()
    endforeach()
  else()
    set(harden_compile -D_FORTIFY_SOURCE=2 -fstack-protector-strong -Wformat -Werror=format-security)
    set(harden_link -Wl,-z,relro -Wl,-z,now)
  endif()
  # Debian 12's dpkg does not ask for these two yet; the compilers it ships have them.
  include(CheckCXXCompilerFlag)
  foreach(flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "HAVE${flag}" have)
    check_cxx_compiler_flag(${flag} ${have})
    if(${have} AND NOT flag IN_LIST harden_compile)
      list(APPEND harden_compile ${flag})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES harden_compile)
  add_compile_options(${harden_compile})
  add_link_options(${harden_link})

  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  include(CheckPIESupported)
  check_pie_supported()

  # No build folder or source folder in the binaries (debug information, file names), so two
  # builds of one commit in different folders give the same bytes. The build folder is named
  # last: it may sit inside the source folder, and the last map that matches wins.
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
  message(STATUS "Hardened build: ${harden_compile} ${harden_link}")
endif()
