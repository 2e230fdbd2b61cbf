# The Debian package (scripts/package): what `cmake --install` puts under /usr, with /etc for
# the PAM service, the shared-library dependencies computed by dpkg-shlibdeps and the binaries
# stripped.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumenfall)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "the Lumenfall developers")
set(CPACK_PACKAGE_CONTACT "${LUMENFALL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "particle-animation screen saver")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver")
# Qt's Wayland platform: without it the program needs X11 (or XWayland) on a Wayland desktop.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
# The long description; CPack indents its lines for the control file.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Lumenfall animates clouds of particles in three dimensions: a closed chain of
particles driven by modulated sine waves, a logo sampled from a picture and a
text ticker on a rotating cylinder, with morphs between them, motion blur,
smoothing and sine-driven distortion, shown on every monitor.

It runs as a hack of XScreenSaver (installed where XScreenSaver looks for
hacks, with the settings file of its settings program), as a full-screen saver
of its own, in a window, or without a display to render frames into picture
files. Lumenfall Settings in the desktop's menu sets up the show.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# Files under /etc are the administrator's: dpkg keeps their changes on upgrades.
file(WRITE ${CMAKE_BINARY_DIR}/package-control/conffiles "/etc/pam.d/lumenfall\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/package-control/conffiles)
include(CPack)
