# Read by cpack as it builds a package: the maintainer is whoever builds it, named by
# DEBFULLNAME and DEBEMAIL as dch and debuild take them.
if("$ENV{DEBFULLNAME}" STREQUAL "" OR "$ENV{DEBEMAIL}" STREQUAL "")
    message(FATAL_ERROR "Set DEBFULLNAME and DEBEMAIL to the name and the mail address of the package's maintainer")
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
