# Installation layout and the Debian package.
#
#   bin/km302, bin/km302-sim, bin/km302-plot
#   libexec/km302/km302-headless         (what `km302 --headless` runs)
#   lib/systemd/user/km302.service       (the recording service of each user)
#   lib/systemd/user/km302@.service      (the same for a settings file NAME.ini: km302@NAME)
#   share/km302/help/KM302.html          (the program opens <bin>/../share/km302/help)
#   share/applications/pl.km302.KM302.desktop, pl.km302.KM302.Plot.desktop
#   share/icons/hicolor/<size>/apps/km302.png
#   share/mime/packages/km302.xml        (the .vrd type; dpkg's trigger rebuilds the cache)
#   share/man/man1/km302.1.gz, km302-sim.1.gz, km302-plot.1.gz
#   share/doc/km302/copyright, changelog.gz
#   share/metainfo/<id>.metainfo.xml    (AppStream, one per program with a window)
#
# The folders are fixed rather than taken from GNUInstallDirs: the program
# finds its help page relative to its own directory, so bin/ and share/ must
# stay siblings under one prefix.

install(TARGETS km302 km302-sim RUNTIME DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/res/help/KM302.html DESTINATION share/km302/help)
install(FILES ${CMAKE_SOURCE_DIR}/res/pl.km302.KM302.desktop DESTINATION share/applications)
# The user manager looks for units in lib/systemd/user under /usr and
# /usr/local; the unit runs /usr/bin/km302, the package's program.
install(FILES ${CMAKE_SOURCE_DIR}/res/km302.service ${CMAKE_SOURCE_DIR}/res/km302@.service
        DESTINATION lib/systemd/user)
# Each icon goes into the hicolor folder of its real size; a desktop looks an
# icon up by the folder, so a wrong folder shows a wrongly scaled icon.
install(FILES ${CMAKE_SOURCE_DIR}/res/km302.png
        DESTINATION share/icons/hicolor/64x64/apps)
install(FILES ${CMAKE_SOURCE_DIR}/res/km302-32.png
        DESTINATION share/icons/hicolor/32x32/apps RENAME km302.png)
install(FILES ${CMAKE_SOURCE_DIR}/res/pl.km302.KM302.Plot.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/res/km302-mime.xml DESTINATION share/mime/packages RENAME km302.xml)
install(FILES ${CMAKE_SOURCE_DIR}/res/pl.km302.KM302.metainfo.xml
              ${CMAKE_SOURCE_DIR}/res/pl.km302.KM302.Plot.metainfo.xml
        DESTINATION share/metainfo)

# Manual pages and the changelog go compressed, as man-db and Debian expect;
# -n keeps the archive free of the build's time stamp, so the package is
# reproducible.
set(KM302_COMPRESSED_DOCS)
foreach(source km302.1 km302-sim.1 km302-plot.1 changelog)
  set(compressed ${CMAKE_BINARY_DIR}/${source}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND gzip -9nc ${CMAKE_SOURCE_DIR}/res/${source} > ${compressed}
    DEPENDS ${CMAKE_SOURCE_DIR}/res/${source}
    VERBATIM)
  list(APPEND KM302_COMPRESSED_DOCS ${compressed})
  if(source MATCHES "[.]1$")
    install(FILES ${compressed} DESTINATION share/man/man1)
  endif()
endforeach()
add_custom_target(km302_manpages ALL DEPENDS ${KM302_COMPRESSED_DOCS})
# The licence in Debian's machine-readable form and the history of versions,
# where dpkg and lintian look for them.
install(FILES ${CMAKE_SOURCE_DIR}/res/copyright ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION share/doc/km302)

# The chart viewer's and the headless program's folders may be added after
# this file is read: their programs are installed once every folder of the
# project is known. The headless program is no command of its own; km302
# finds it at <bin>/../libexec/km302.
function(km302_install_deferred_programs)
  if(TARGET km302-plot)
    install(TARGETS km302-plot RUNTIME DESTINATION bin)
  endif()
  if(TARGET km302-headless)
    install(TARGETS km302-headless RUNTIME DESTINATION libexec/km302)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL km302_install_deferred_programs)

set(CPACK_PACKAGE_NAME km302)
set(CPACK_PACKAGE_VENDOR "KM302 maintainers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop program for the KM-302 barometer")
set(CPACK_PACKAGE_DESCRIPTION
"KM302 reads the KM-302 barometer over a serial port, shows the pressure
in a large field, logs the readings to a text/CSV file and a binary .vrd
file, and publishes the live values to other programs on D-Bus. The user
interface is in Polish.
.
The package also holds km302-plot, a chart viewer of the logs that stays
fast for a year of one-second records and exports PNG, SVG and CSV
without a display, and km302-sim, a simulator of the instrument on a
pseudo-terminal.")
set(CPACK_PACKAGE_CONTACT "KM302 maintainers <km302@example.org>")
set(CPACK_STRIP_FILES ON)
# The staging folders carry the umask of whoever runs cpack; under umask 077
# the package would create folders in /usr that no user but root can enter.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/packagepermissions.cmake)

set(CPACK_DEBIAN_PACKAGE_NAME km302)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own Polish texts (the colour, font and file choosers).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
# The help page and the maker's links are opened with xdg-open on desktops
# that have no portal of their own.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

set(CPACK_GENERATOR DEB)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git(/|$)" "/build/" "/build-[^/]*/")
include(CPack)
