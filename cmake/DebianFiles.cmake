# Run by cpack between its staging installation and the package: the files that only
# the Debian package has. The changelog is signed by the package's maintainer and
# compressed as Debian keeps it (-n: the same bytes each time).
set(vacuola_usr ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
if(NOT CPACK_TEMPORARY_INSTALL_DIRECTORY OR NOT IS_DIRECTORY ${vacuola_usr}/share/doc/vacuola)
    message(FATAL_ERROR "No staging installation at ${vacuola_usr}")
endif()
set(CPACK_DEBIAN_PACKAGE_VERSION ${CPACK_PACKAGE_VERSION})
configure_file(${CPACK_VACUOLA_DATA}/changelog.Debian.in ${vacuola_usr}/share/doc/vacuola/changelog.Debian @ONLY)
execute_process(COMMAND ${CPACK_VACUOLA_GZIP} -9nf ${vacuola_usr}/share/doc/vacuola/changelog.Debian
    COMMAND_ERROR_IS_FATAL ANY)
configure_file(${CPACK_VACUOLA_DATA}/lintian-overrides ${vacuola_usr}/share/lintian/overrides/vacuola COPYONLY)
