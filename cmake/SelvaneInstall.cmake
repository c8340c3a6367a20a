# What `cmake --install` lays out: the library and the engine library under
# their versioned names, their headers, the CMake package (Selvane::selvane,
# Selvane::engine), selvane.pc, selvane_engine.pc and the host.
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
# libselvane_engine.so.1: the engine's interface has its own version in its
# header; its major number names the shared object, and the two must agree.
file(STRINGS ${PROJECT_SOURCE_DIR}/include/selvane_engine.h selvane_engine_major
     REGEX "^#define SELVANE_ENGINE_API_MAJOR [0-9]+$")
string(REGEX REPLACE ".* ([0-9]+)$" "\\1" selvane_engine_major "${selvane_engine_major}")
set_target_properties(selvane_engine PROPERTIES
    VERSION ${selvane_engine_major}.0.0 SOVERSION ${selvane_engine_major}
    EXPORT_NAME engine)

if(WIN32)
    include(cmake/SelvaneWindowsLibrary.cmake)
endif()

install(TARGETS selvane selvane_engine EXPORT SelvaneTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime
            NAMELINK_COMPONENT development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES include/selvane.h include/selvane_engine.h
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
configure_file(selvane_engine.pc.in ${PROJECT_BINARY_DIR}/selvane_engine.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/selvane.pc ${PROJECT_BINARY_DIR}/selvane_engine.pc
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
