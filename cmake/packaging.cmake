# The Debian package:  cpack -G DEB  in the build folder (see README).
# Dependencies come from the binaries (dpkg-shlibdeps) plus the fonts: the
# windows' Tahoma and the Liberation Sans that check measures in. The icon,
# desktop and MIME caches are brought up to date by the triggers of the
# packages that own them, so the package has no maintainer scripts.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brindle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Ovalin")
set(CPACK_PACKAGE_CONTACT "${BRINDLE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "meta tag generator for web pages")
# CPack puts the summary in front and indents the lines.
# A line that begins with a full stop would be a control statement.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Brindle composes the title element and the meta tags of a web page: fill in
up to thirteen tag values, tick which of them to use, and get the lines for
HTML or XHTML, coloured as HTML. The lines are copied to the clipboard, saved
as a text file or wrapped into a blank web page. Values and ticks are kept
in profile files.

The package also holds brindle-cli, which prints the same lines and pages
for scripts and build pipelines.")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${BRINDLE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wine, fonts-liberation2")
# Without Qt's Wayland platform a session with no X server aborts at start;
# without xdg-open the homepage button does nothing visible.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, xdg-utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)
