# `cpack -G DEB` in the build folder builds the Debian package from the install rules.
set(CPACK_PACKAGE_NAME vacuola)
set(CPACK_PACKAGE_VERSION "1.13A")
set(CPACK_PACKAGE_VENDOR "The Vacuola developers")
set(CPACK_PACKAGE_CONTACT "The Vacuola developers <vacuola@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find and remove empty folders below a chosen folder")
set(CPACK_PACKAGE_DESCRIPTION "Vacuola walks a folder and removes, from the bottom up, every folder that holds no
subfolder and no file other than the ticked management files (desktop.ini,
thumbs.db, ...), which are deleted with it. It never follows symbolic links and
never leaves the chosen folder. Japanese user interface, and a command line for
scripts and scheduled jobs.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VACUOLA_HOMEPAGE})
# The libraries come from what the program really links; the font and Qt's own
# translations (the standard buttons of the boxes) are loaded at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-translations-l10n")

include(CPack)
