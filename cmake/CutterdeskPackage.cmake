# The Debian package (scripts/package runs cpack in a release build). CPack's
# DEB generator builds it from the install rules; dpkg-shlibdeps computes
# Depends from the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cutterdesk)
set(CPACK_PACKAGE_VENDOR Torvane)
set(CPACK_PACKAGE_CONTACT "${CUTTERDESK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program for flatbed cutting plotters")
set(CPACK_PACKAGE_DESCRIPTION
"cutterdesk reads an HPGL plot file, applies knife offset, overcut,
rotation and repeated passes, previews the result over the bed and drives
the cutter over USB or the network. It also calibrates the mark camera
with a pen and shows the cutter's camera live with mark and QR code
recognition.

The package sets up a menu entry, opens HPGL plot files (*.plt, *.hpgl,
*.hpg) from the file manager, and gives the user at the seat access to a
plugged-in cutter. It also holds the tools pltjob (the job text of a plot
file), cutter-sim and cam-sim (a simulated cutter and camera).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.torvane.example)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not libraries the programs link: the Chinese window needs a CJK font and
# Qt's own Chinese catalogue (dialog buttons), and cutter-sim --usb runs a
# program under umockdev with a FUSE node.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qttranslations5-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "umockdev, fuse3")
# The udev rule takes effect at install and removal. Our own postrm also
# replaces CPack's, which would run ldconfig for the private library.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The version is known only once the build has run git describe.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CutterdeskPackageVersion.cmake)
set(CPACK_CUTTERDESK_VERSION_FILE ${CUTTERDESK_GENERATED_DIR}/version.txt)
include(CPack)
