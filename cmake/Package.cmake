# The Debian package, built with `cpack` in the build folder.
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "brassfinch")
set(CPACK_PACKAGE_VENDOR "Tarnhollow")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two plain-text files side by side, scrolled together")
# One string (a list would join its lines with ";"), lines short enough for an 80-column terminal.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Brassfinch shows two plain-text files next to each other, each in its own\n"
    "editable pane, and keeps the two panes at the same scroll position while\n"
    "synchronous scrolling is on: the pane last worked in leads and the other\n"
    "follows.\n"
    "\n"
    "Each pane opens one file or several, saves its text (asking before it\n"
    "overwrites a file and never leaving a half-written one behind) and can be\n"
    "cleared. A full-screen view shows both panes on a black window. Two sample\n"
    "files ship with it.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
# Directories 0755 whatever the umask of the machine that builds the package.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tarnhollow <support@tarnhollow.org>")
set(CPACK_DEBIAN_PACKAGE_RELEASE "${BRASSFINCH_DEBIAN_REVISION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# "editors" is the archive's section for text editors; a prefix before the slash would name an
# archive area, which "text" is not.
set(CPACK_DEBIAN_PACKAGE_SECTION "editors")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the dynamic linker cannot see: the SVG icon plugin Qt loads at run time, the font that
# stands in for "Arial", and xdg-open, which opens folders and web pages.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, fonts-liberation2, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE "xz")

include(CPack)
