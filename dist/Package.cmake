# The Debian package: cpack -G DEB in the build directory (scripts/package.sh)
# makes pelmar_<version>_amd64.deb of everything `cmake --install` puts under
# /usr, the service's unit under /lib/systemd/system. Its dependencies are
# what dpkg-shlibdeps finds the programs linked against; the fonts and Qt's
# Japanese texts the desktop shows are recommended.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelmar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${PELMAR_PACKAGE_MAINTAINER}")
# Installed into a staging directory as its /usr; the unit goes beside, to
# /lib/systemd/system (dist/CMakeLists.txt).
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "node of a serverless peer-to-peer bulletin board")
set(CPACK_PACKAGE_DESCRIPTION "pelmar is a node of a peer-to-peer bulletin board without a
server. People read and write threads, an opening post and its responses,
filed under categories. Every node keeps the threads it holds on disk, joins
an overlay of other nodes over TCP and fetches threads from the nodes that
hold them. Its user interface is Japanese.

The package holds the desktop program pelmar, pelmard, the node for
machines without a screen, which serves the same workflow as a web page (with
a systemd service, not enabled), and pelmar-reflector, a minimal reflector
to try joining on one machine.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-japanese-gothic, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
