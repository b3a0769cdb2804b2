# `cpack -G DEB` in the build folder builds the Debian package from the install rules.
# Its maintainer is whoever builds it, named as the Debian tools take it: cpack reads
# DEBFULLNAME and DEBEMAIL (PackageMaintainer.cmake) and refuses without them, and the
# package's changelog is signed with the same name (DebianFiles.cmake).
set(CPACK_PACKAGE_NAME vacuola)
set(CPACK_PACKAGE_VERSION "1.13A")
set(CPACK_PACKAGE_VENDOR "The Vacuola developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find and remove empty folders below a chosen folder")
set(CPACK_PACKAGE_DESCRIPTION "Vacuola walks a folder and removes, from the bottom up, every folder
that holds no subfolder and no file other than the ticked management
files (desktop.ini, thumbs.db, ...), which are deleted with it. It never
follows symbolic links and never leaves the chosen folder. Japanese user
interface, and a command line for scripts and scheduled jobs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageMaintainer.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianFiles.cmake)
set(CPACK_VACUOLA_DATA ${PROJECT_SOURCE_DIR}/data)
set(CPACK_VACUOLA_GZIP ${VACUOLA_GZIP})

# The first Debian revision of the release.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(VACUOLA_HOMEPAGE)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VACUOLA_HOMEPAGE})
endif()
# The libraries come from what the program really links; Debian 12 keeps Qt's X11
# platform plugin in libqt6gui6 among them. Loaded at run time: a Japanese gothic
# font and Qt's own translations (the standard buttons of the boxes). The desktop's
# opener shows the program's folder and the home page.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-japanese-gothic, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)

include(CPack)
