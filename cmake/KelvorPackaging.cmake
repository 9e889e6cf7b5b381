# What `cmake --install` puts on a Debian system, and the Debian package CPack makes of it
# (kelvor_<version>_amd64.deb). The version is the project's own.
include(GNUInstallDirs)
# Debian names the documentation folder after the package, not after the project.
set(CMAKE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kelvor)

set(KELVOR_PACKAGING ${PROJECT_SOURCE_DIR}/resources/packaging)
set(KELVOR_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)

install(TARGETS kelvor kelvor-logger-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/help/kelvor09.html
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/help)
install(FILES ${KELVOR_PACKAGING}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${KELVOR_PACKAGING}/cz.kelvor.Kelvor.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${KELVOR_PACKAGING}/kelvor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 128 256)
  install(FILES ${KELVOR_PACKAGING}/kelvor-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kelvor.png)
endforeach()

# The metainfo, the manual page and the changelog carry the version; the last two are
# installed compressed, as Debian keeps them.
configure_file(${KELVOR_PACKAGING}/cz.kelvor.Kelvor.metainfo.xml
               ${KELVOR_PACKAGING_OUT}/cz.kelvor.Kelvor.metainfo.xml @ONLY)
install(FILES ${KELVOR_PACKAGING_OUT}/cz.kelvor.Kelvor.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
set(compressed)
foreach(document kelvor.1 kelvor-logger-sim.1 changelog)
  configure_file(${KELVOR_PACKAGING}/${document} ${KELVOR_PACKAGING_OUT}/${document} @ONLY)
  add_custom_command(OUTPUT ${KELVOR_PACKAGING_OUT}/${document}.gz
                     COMMAND gzip -9nkf ${KELVOR_PACKAGING_OUT}/${document}
                     DEPENDS ${KELVOR_PACKAGING_OUT}/${document} VERBATIM)
  list(APPEND compressed ${KELVOR_PACKAGING_OUT}/${document}.gz)
endforeach()
add_custom_target(kelvor-packaging-files ALL DEPENDS ${compressed})
install(FILES ${KELVOR_PACKAGING_OUT}/kelvor.1.gz ${KELVOR_PACKAGING_OUT}/kelvor-logger-sim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${KELVOR_PACKAGING_OUT}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "battery measurement through a serial data logger")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kelvor talks over an RS-232 line to a small data logger, asks it for the
battery's voltage every 6 seconds, shows each reading on its meters and
stores a record at the chosen interval in a table, shown as a grid and as a
voltage chart, both of which can be printed. Its texts are Czech.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kelvor maintainers <kelvor@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The libraries come from what the executables link; the fonts and Qt's Czech texts are read
# at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-dejavu-core, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
