# What `cmake --install` puts under the prefix, and the Debian package that
# `cpack -G DEB` makes of it.  The program finds its banner as
# <prefix>/share/mapcrate/mapc.png from <prefix>/bin/mapcrate, so these two
# places are fixed rather than taken from GNUInstallDirs.

install(TARGETS mapcrate mapcrate-pack RUNTIME DESTINATION bin)
install(FILES data/mapc.png DESTINATION share/mapcrate)
foreach(size 48 128)
  install(FILES data/icons/mapcrate-${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME mapcrate.png)
endforeach()
install(FILES data/mapcrate.1 data/mapcrate-pack.1 DESTINATION share/man/man1)
install(FILES data/fr/mapcrate.1 data/fr/mapcrate-pack.1 DESTINATION share/man/fr/man1)
foreach(mo ${CATALOG_FILES})
  get_filename_component(folder ${mo} DIRECTORY)
  get_filename_component(folder ${folder} DIRECTORY)
  get_filename_component(language ${folder} NAME)
  install(FILES ${mo} DESTINATION share/locale/${language}/LC_MESSAGES)
endforeach()

# The menu entry is written when installing: it names the program by its
# full path, which only then is known (--prefix, and /usr in the package).
install(CODE "set(MAPCRATE_DESKTOP_IN \"${CMAKE_SOURCE_DIR}/data/mapcrate.desktop.in\")
  set(MAPCRATE_DESKTOP_OUT \"${CMAKE_BINARY_DIR}/mapcrate.desktop\")")
install(SCRIPT cmake/install_desktop.cmake)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mapcrate)
set(CPACK_PACKAGE_VENDOR "Mapcrate developers")
set(CPACK_PACKAGE_CONTACT "Mapcrate developers <mapcrate@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pack a finished game map into a .pk3 package")
set(CPACK_PACKAGE_DESCRIPTION
  "Mapcrate turns the loose files of a finished map for id Tech 3 games\n(compiled level, bot navigation file, levelshot, textures, sounds and\nmodels) into one .pk3 package laid out the way the game loads it,\nleaving out what the game already ships.  It has a small window and a\ncommand line for build scripts.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The dedicated server mapcrate --verify tries packages in, and the client
# and X server mapcrate --make-levelshot has the levelshot made by.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "openarena-server, openarena, xvfb")
include(CPack)
