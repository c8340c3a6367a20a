# Debian packages from the install rules (cpack -G DEB in the build folder):
#   libselvane1     the shared library and the engine library (runtime)
#   libselvane-dev  headers, .so links, CMake and pkg-config files
#   selvane         the command-line host
# Dependencies on system libraries come from dpkg-shlibdeps (dpkg-dev);
# the host loads the library at run time, which no tool can see, so that
# dependency is declared.
if(WIN32)
    return()
endif()

set(CPACK_PACKAGE_NAME selvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Selvane developers")
set(CPACK_PACKAGE_CONTACT "The Selvane developers")
# Each package's description starts with its own summary line: no common
# CPACK_PACKAGE_DESCRIPTION_SUMMARY, which would be put in front of it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL runtime development host)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libselvane${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# A shlibs file, so that packages built against this one depend on it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION
    "exact k-means clustering library
Selvane partitions items of positive measurements into clusters, ordered
by relative magnitude, with bit-identical results on every build. This
package holds the shared library and the engine library (seeded k-means
and k-medians with missing values, weights and two metrics).")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libselvane-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "exact k-means clustering library (development files)
The headers selvane.h and selvane_engine.h, the libselvane.so and
libselvane_engine.so links, the CMake package (find_package(Selvane),
targets Selvane::selvane and Selvane::engine), selvane.pc and
selvane_engine.pc.")

set(CPACK_DEBIAN_HOST_PACKAGE_NAME selvane)
set(CPACK_DEBIAN_HOST_PACKAGE_SECTION science)
set(CPACK_COMPONENT_HOST_DEPENDS runtime)
set(CPACK_DEBIAN_HOST_DESCRIPTION
    "exact k-means clustering of CSV files
The selvane command clusters the rows of a CSV file with the Selvane
library and can draw the result as an SVG picture.")

include(CPack)
