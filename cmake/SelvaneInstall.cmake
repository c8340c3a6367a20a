# What `cmake --install` lays out: the library under its versioned name, the
# header, the CMake package (Selvane::selvane), selvane.pc and the host.
# Components: runtime (what a program needs to run), development (what a
# build against the library needs) and host (the command-line program).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The header carries the version too, for programs that never see CMake:
# both must name the same release.
file(STRINGS ${PROJECT_SOURCE_DIR}/include/selvane.h selvane_header_version
     REGEX "^#define SELVANE_VERSION_STRING \"[^\"]*\"$")
string(REGEX REPLACE ".*\"([^\"]*)\"$" "\\1" selvane_header_version
       "${selvane_header_version}")
if(NOT selvane_header_version STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "include/selvane.h says version '${selvane_header_version}', "
            "project() says '${PROJECT_VERSION}': change both together")
endif()

# libselvane.so.1 (SONAME) -> libselvane.so.1.0.0; libselvane.so links.
set_target_properties(selvane PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})

if(WIN32)
    include(cmake/SelvaneWindowsLibrary.cmake)
endif()

install(TARGETS selvane EXPORT SelvaneTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
            NAMELINK_COMPONENT development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES include/selvane.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

set(selvane_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Selvane)
install(EXPORT SelvaneTargets NAMESPACE Selvane::
        DESTINATION ${selvane_cmake_dir} COMPONENT development)
configure_package_config_file(cmake/SelvaneConfig.cmake.in
    ${PROJECT_BINARY_DIR}/SelvaneConfig.cmake
    INSTALL_DESTINATION ${selvane_cmake_dir})
# A new major version is a new SONAME: find_package(Selvane 1) must not
# accept it. The pointer size is checked too (a 32-bit build is refused).
write_basic_package_version_file(${PROJECT_BINARY_DIR}/SelvaneConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/SelvaneConfig.cmake
              ${PROJECT_BINARY_DIR}/SelvaneConfigVersion.cmake
        DESTINATION ${selvane_cmake_dir} COMPONENT development)

# selvane.pc finds its prefix from its own place, so that the same file
# serves /usr, /usr/local, a staging folder and a Debian package.
file(RELATIVE_PATH selvane_pc_to_prefix
     ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" selvane_pc_to_prefix "${selvane_pc_to_prefix}")
configure_file(selvane.pc.in ${PROJECT_BINARY_DIR}/selvane.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/selvane.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
install(FILES docs/integrators.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT development)

if(TARGET selvane_cli)
    # The installed host finds the installed library relative to itself.
    file(RELATIVE_PATH selvane_host_library_dir
         ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
    target_compile_definitions(selvane_host PRIVATE
        SELVANE_HOST_LIBRARY_DIR="${selvane_host_library_dir}")
    install(TARGETS selvane_cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
            COMPONENT host)
endif()
