# Installation and the Debian packages.
#
# cofralin: the program and cofralin-cli, its command line; its catalogue
#   CONFIG.TXT as a configuration file in
#   /etc/cofralin (a conffile: the operator's edits survive upgrades), where
#   the desktop entry starts the program, since it reads the catalogue from its
#   current folder; the help document in /usr/share/cofralin and the stand-in
#   upgrade program in /usr/libexec/cofralin, both named by absolute paths in
#   the installed catalogue.
# q73sim: the router simulator, for training and tests.
# The debug information goes into the -dbgsym packages beside them.
include(GNUInstallDirs)
set(COFRALIN_SHARE_DIR "share/cofralin")
set(COFRALIN_LIBEXEC_DIR "libexec/cofralin")
set(COFRALIN_PACKAGE_PREFIX "/usr")
set(COFRALIN_MAINTAINER "Equipo de Cofralin <cofralin@cofralin.example>"
    CACHE STRING "Maintainer field of the Debian packages")
set(packaging "${PROJECT_SOURCE_DIR}/packaging")
set(staged "${PROJECT_BINARY_DIR}/packaging")
file(MAKE_DIRECTORY "${staged}")

# The installed catalogue: the repository's, with the help document and the
# upgrade program where the package puts them.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/CONFIG.TXT")
file(READ "${PROJECT_SOURCE_DIR}/CONFIG.TXT" catalogue)
set(installed_help "${COFRALIN_PACKAGE_PREFIX}/${COFRALIN_SHARE_DIR}/ayuda.html")
set(installed_upgrade "${COFRALIN_PACKAGE_PREFIX}/${COFRALIN_LIBEXEC_DIR}/q73upgrade")
string(REGEX REPLACE "HTML_HELP(\r?\n)ayuda\\.html" "HTML_HELP\\1${installed_help}"
       catalogue "${catalogue}")
string(REGEX REPLACE "DOS_COMMAND(\r?\n)q73upgrade " "DOS_COMMAND\\1${installed_upgrade} "
       catalogue "${catalogue}")
foreach(path IN ITEMS "${installed_help}" "${installed_upgrade}")
  string(FIND "${catalogue}" "${path}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "CONFIG.TXT: the installed catalogue could not name ${path}")
  endif()
endforeach()
file(CONFIGURE OUTPUT "${staged}/CONFIG.TXT" CONTENT "${catalogue}" @ONLY)

# Changelogs and manual pages are installed compressed, without time stamps.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(compressed)
foreach(source IN ITEMS changelog cofralin.1 cofralin-cli.1 q73sim.1)
  add_custom_command(
    OUTPUT "${staged}/${source}.gz"
    COMMAND "${GZIP_PROGRAM}" -9nc "${packaging}/${source}" > "${staged}/${source}.gz"
    DEPENDS "${packaging}/${source}"
    VERBATIM)
  list(APPEND compressed "${staged}/${source}.gz")
endforeach()
add_custom_target(cofralin_package_files ALL DEPENDS ${compressed})

# The program.
if(TARGET cofralin)
  install(TARGETS cofralin RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT cofralin)
endif()
install(TARGETS cofralin-cli RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT cofralin)
install(FILES "${staged}/CONFIG.TXT" DESTINATION "${COFRALIN_CONF_DIR}" COMPONENT cofralin)
install(FILES resources/ayuda.html DESTINATION "${COFRALIN_SHARE_DIR}" COMPONENT cofralin)
install(PROGRAMS resources/q73upgrade DESTINATION "${COFRALIN_LIBEXEC_DIR}" COMPONENT cofralin)
install(FILES resources/cofralin.desktop DESTINATION "${CMAKE_INSTALL_DATADIR}/applications"
        COMPONENT cofralin)
install(FILES packaging/example.cofralin.cofralin.metainfo.xml DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo"
        COMPONENT cofralin)
foreach(size IN ITEMS 16 32 48 64 128 256)
  install(FILES resources/images/icon_${size}.png
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
          RENAME cofralin.png COMPONENT cofralin)
endforeach()
install(FILES resources/images/icon.svg DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
        RENAME cofralin.svg COMPONENT cofralin)
install(FILES "${staged}/cofralin.1.gz" "${staged}/cofralin-cli.1.gz"
        DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT cofralin)
install(FILES packaging/cofralin-cli.bash-completion
        DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions"
        RENAME cofralin-cli COMPONENT cofralin)

# The simulator.
install(TARGETS q73sim RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT q73sim)
install(FILES "${staged}/q73sim.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT q73sim)

foreach(component IN ITEMS cofralin q73sim)
  install(FILES packaging/copyright "${staged}/changelog.gz"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/${component}" COMPONENT ${component})
endforeach()

# conffiles lists CONFIG.TXT, so that dpkg keeps the operator's edits.
file(CONFIGURE OUTPUT "${staged}/conffiles" CONTENT "${COFRALIN_CONF_DIR}/CONFIG.TXT\n")

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "cofralin")
set(CPACK_PACKAGE_VENDOR "Cofralin")
set(CPACK_PACKAGE_CONTACT "${COFRALIN_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${COFRALIN_PACKAGE_PREFIX}")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cofralin q73sim)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE "cofralin")
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_COFRALIN_PACKAGE_NAME "cofralin")
set(CPACK_DEBIAN_COFRALIN_PACKAGE_CONTROL_EXTRA "${staged}/conffiles")
set(CPACK_DEBIAN_COFRALIN_PACKAGE_SUGGESTS "q73sim")
# Without it Qt reaches a Wayland desktop only through XWayland.
set(CPACK_DEBIAN_COFRALIN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_COFRALIN_DESCRIPTION
    "configures the Q73 ADSL router through its serial console
Cofralin is a desktop tool with a Spanish interface for the technician who
sets up a Q73 ADSL router. Wired to the router's console port through a
serial port of the PC, it logs in to the router's command line and drives it:
it finds out whether the router works for a single computer (Monopuesto) or
for a small network (Multipuesto) and switches between the two, lists, adds
and deletes the static TCP and UDP port mappings of the router's address
translation, and compares the router's software version with the one it
ships before it hands the line over to the upgrade program.

cofralin-cli does the same from a shell, on many routers at once, with
JSON Lines output, run logs per port and a dry run that shows the lines a
change would send.

The router commands it sends come from the catalogue
/etc/cofralin/CONFIG.TXT, which the operator may adapt.")

set(CPACK_DEBIAN_Q73SIM_PACKAGE_NAME "q73sim")
set(CPACK_DEBIAN_Q73SIM_PACKAGE_SECTION "misc")
set(CPACK_DEBIAN_Q73SIM_DESCRIPTION
    "simulated Q73 ADSL router on a pseudo-terminal
q73sim serves a simulated Q73 ADSL router console on a pseudo-terminal, so
that Cofralin can be tried, taught and tested without a router. The
simulated router keeps its state as the commands change it (mode, DHCP
server, port mappings) and records every byte it receives. Options set its
starting state and the faults it shows: silence, endless chatter, garbage,
a hang-up in the middle of a reply, slow answers, 9600 bit/s pacing.")
include(CPack)
