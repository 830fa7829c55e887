# Run by `cmake --install`: writes the menu entry from MAPCRATE_DESKTOP_IN
# into MAPCRATE_DESKTOP_OUT and installs it in share/applications.  The
# entry's command runs the program through sh with its path in single
# quotes, inside the entry's own double quotes: a path holding a quote, a
# dollar, a backslash or a percent sign cannot be written there plainly, and
# such a prefix is refused rather than mangled.
set(MAPCRATE_PROGRAM "${CMAKE_INSTALL_PREFIX}/bin/mapcrate")
if(MAPCRATE_PROGRAM MATCHES "[\"'`$\\\\%\n]")
  message(FATAL_ERROR "No menu entry can start ${MAPCRATE_PROGRAM}: "
    "install under a prefix without quotes, backquotes, dollars, backslashes or percent signs.")
endif()
configure_file("${MAPCRATE_DESKTOP_IN}" "${MAPCRATE_DESKTOP_OUT}" @ONLY)
# file(INSTALL) adds DESTDIR and lists the file in the install manifest.
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE
  FILES "${MAPCRATE_DESKTOP_OUT}")
