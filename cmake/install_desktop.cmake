# Run by `cmake --install`: writes share/applications/mapcrate.desktop from
# MAPCRATE_DESKTOP_IN.  The entry's command runs the program through sh with
# its path in single quotes, inside the entry's own double quotes: a path
# holding a quote, a dollar, a backslash or a percent sign cannot be written
# there plainly, and such a prefix is refused rather than mangled.
set(MAPCRATE_PROGRAM "${CMAKE_INSTALL_PREFIX}/bin/mapcrate")
if(MAPCRATE_PROGRAM MATCHES "[\"'`$\\\\%\n]")
  message(FATAL_ERROR "No menu entry can start ${MAPCRATE_PROGRAM}: "
    "install under a prefix without quotes, backquotes, dollars, backslashes or percent signs.")
endif()
set(desktop "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/mapcrate.desktop")
message(STATUS "Installing: ${desktop}")
configure_file("${MAPCRATE_DESKTOP_IN}" "${desktop}" @ONLY)
