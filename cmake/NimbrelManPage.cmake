# SPDX-FileCopyrightText: 2026 The Nimbrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# nimbrel_add_man_page(<page>.<section>.in COMPONENT <component>)
#
# Fills in the version and release date, compresses the page as Debian wants it
# (gzip -n: no name or time stamp, so two builds give the same bytes) and
# installs it into man<section>.
function(nimbrel_add_man_page source)
  cmake_parse_arguments(ARG "" "COMPONENT" "" ${ARGN})
  get_filename_component(page ${source} NAME_WLE)
  string(REGEX MATCH "[0-9]$" section ${page})
  set(roff ${CMAKE_CURRENT_BINARY_DIR}/${page})
  configure_file(${source} ${roff} @ONLY)
  add_custom_command(OUTPUT ${roff}.gz
    COMMAND gzip -9nkf ${roff}
    DEPENDS ${roff}
    COMMENT "Compressing man page ${page}")
  add_custom_target(man-${page} ALL DEPENDS ${roff}.gz)
  install(FILES ${roff}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
    COMPONENT ${ARG_COMPONENT})
endfunction()
