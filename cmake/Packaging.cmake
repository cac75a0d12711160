# The Debian package, built by scripts/package: cpack -G DEB on an install of this tree.
# CPack rather than a debian/ directory: the install rules above are the one list of what
# goes where, dpkg-shlibdeps still derives the library dependencies, and there is no second
# build description to keep in step. A distribution packaging it would write its own
# debian/ anyway.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Corvane developers <corvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "network download and upload rate in the system tray")
# CPack puts the summary above this as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Corvane shows how fast the network is moving right now: the download and
upload rate of the main network interface, or one the user picks, as a
compact figure in the tray of the desktop's panel. Its panel shows the last
two minutes, peak and average, the link's kind and speed, Wi-Fi details and
addresses. It only reads the counters the kernel keeps.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/corvane/corvane")
# Linked libraries come from dpkg-shlibdeps; these are loaded at run time and it cannot
# see them: the Wayland and X11 platform plugins, the SVG icon plugin, a sans font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-wayland, libqt6svg6, fonts-dejavu-core | fonts-freefont-ttf")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
