# The Debian package: `cpack -G DEB` in a build folder makes glimora_<version>_amd64.deb of what
# `cmake --install` puts in place, under /usr: the program, its shared meter control contract, its
# plug-ins and help file in /usr/lib/glimora, the command and the meter emulator in /usr/bin, the
# menu entry and the icons in /usr/share. Installed with `apt-get install ./glimora_*.deb`.
# cpack and `cmake --install` take what is built and do not build the rest (the test suites) first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME glimora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Glimora")
set(CPACK_PACKAGE_CONTACT "Glimora developers <glimora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Operator's application of a DOI/haze meter")
set(CPACK_PACKAGE_DESCRIPTION
  "Glimora takes readings from a battery-powered DOI/haze meter, lists and averages them, appends them to a data file, prints reports, saves scan profiles and calibrates and configures the meter. Without an instrument it runs on a simulated meter; glimora-meter-emulator plays the meter on a pseudo-terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The shared libraries are read from the binaries by dpkg-shlibdeps. What the program loads by name
# at run time is declared here: the X11 platform plug-in of Qt, the font of the report's tab layout,
# and the Qt SQL drivers of the measurement store.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2, libqt6sql6-sqlite, libqt6sql6-psql")
# The desktop's sounds; without them the program falls back to the system bell.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "sound-theme-freedesktop, libcanberra-pulse")
include(CPack)
