# The Windows DLL's extras: a VERSIONINFO resource, import libraries that a
# C caller can link against, and the module-definition file.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(selvane_architecture x86)
else()
    set(selvane_architecture x64)
endif()
set(selvane_def ${PROJECT_SOURCE_DIR}/src/entry/selvane-${selvane_architecture}.def)

# The resource is compiled by windres outside CMake's RC language, so that
# the C++ compile options never reach it.
configure_file(src/entry/selvane.rc.in ${PROJECT_BINARY_DIR}/selvane.rc @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/selvane_version.o
    COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${PROJECT_BINARY_DIR}/selvane.rc
            -o ${PROJECT_BINARY_DIR}/selvane_version.o
    DEPENDS ${PROJECT_BINARY_DIR}/selvane.rc
    COMMENT "Compiling the version resource of selvane.dll")
target_sources(selvane PRIVATE ${PROJECT_BINARY_DIR}/selvane_version.o)

# The linker's own import library does not serve x86 callers: the export
# `_Selvane@20 = Selvane@20` yields __imp___Selvane@20, while a caller of the
# stdcall Selvane needs _Selvane@20 and __imp__Selvane@20. dlltool makes one
# that does from the same .def, each alias `export = internal` turned into
# `internal == export` (link by the internal name, import the export name).
# The same file serves MinGW (libselvane.dll.a) and Microsoft's linker
# (selvane.lib), and replaces the linker's in the build tree too.
file(STRINGS ${selvane_def} selvane_def_lines)
set(selvane_import_def "LIBRARY selvane.dll\n")
foreach(line IN LISTS selvane_def_lines)
    if(line MATCHES "^[ \t]*([^ \t=]+)[ \t]*=[ \t]*([^ \t=]+)[ \t]*$")
        string(APPEND selvane_import_def "    ${CMAKE_MATCH_2} == ${CMAKE_MATCH_1}\n")
    else()
        string(APPEND selvane_import_def "${line}\n")
    endif()
endforeach()
file(WRITE ${PROJECT_BINARY_DIR}/selvane-import.def "${selvane_import_def}")

if(NOT CMAKE_DLLTOOL)
    string(REGEX REPLACE "windres$" "dlltool" CMAKE_DLLTOOL "${CMAKE_RC_COMPILER}")
endif()
# Run where the files go: dlltool names the archive's members after the
# output path, which must not carry the build machine's folders.
add_custom_command(TARGET selvane POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} -d ${PROJECT_BINARY_DIR}/selvane-import.def
            -D selvane.dll -l $<TARGET_LINKER_FILE_NAME:selvane>
    COMMAND ${CMAKE_DLLTOOL} -d ${PROJECT_BINARY_DIR}/selvane-import.def
            -D selvane.dll -l selvane.lib
    WORKING_DIRECTORY $<TARGET_LINKER_FILE_DIR:selvane>
    COMMENT "Import libraries of selvane.dll (dlltool)")
install(FILES $<TARGET_LINKER_FILE_DIR:selvane>/selvane.lib
        DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES ${selvane_def} RENAME selvane.def
        DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)

# The engine DLL exports plain cdecl names, so the linker's own import
# library (libselvane_engine.dll.a) serves MinGW callers; dlltool makes
# selvane_engine.lib for Microsoft's linker from the same .def.
set(selvane_engine_def ${PROJECT_SOURCE_DIR}/src/engine_library/selvane_engine.def)
add_custom_command(TARGET selvane_engine POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} -d ${selvane_engine_def} -D selvane_engine.dll
            -l selvane_engine.lib
    WORKING_DIRECTORY $<TARGET_LINKER_FILE_DIR:selvane_engine>
    COMMENT "Import library selvane_engine.lib (dlltool)")
install(FILES $<TARGET_LINKER_FILE_DIR:selvane_engine>/selvane_engine.lib
              ${selvane_engine_def}
        DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
