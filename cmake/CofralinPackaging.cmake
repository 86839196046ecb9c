# Installation and the Debian package. The program reads CONFIG.TXT from its
# current directory, so the catalogue, the help document and the stand-in
# upgrade program share one folder, and the desktop entry starts the program there.
include(GNUInstallDirs)
set(COFRALIN_SHARE_DIR "${CMAKE_INSTALL_DATADIR}/cofralin")

if(TARGET cofralin)
  install(TARGETS cofralin RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
endif()
install(TARGETS q73sim RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES CONFIG.TXT resources/ayuda.html DESTINATION "${COFRALIN_SHARE_DIR}")
install(PROGRAMS resources/q73upgrade DESTINATION "${COFRALIN_SHARE_DIR}")
install(FILES resources/cofralin.desktop DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES resources/images/icon_32.png
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps" RENAME cofralin.png)
install(FILES resources/images/icon_16.png
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps" RENAME cofralin.png)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "cofralin")
set(CPACK_PACKAGE_VENDOR "Cofralin")
set(CPACK_PACKAGE_CONTACT "Cofralin <cofralin@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configura el router ADSL Q73 por su puerto de consola")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "net")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
