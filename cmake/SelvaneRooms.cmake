# The internal code, one static library per room of src/. A room sees its
# own headers and those of the rooms it declares, nothing else: includes
# stay written from src ("engine/PassRun.h"), but each room's include root
# is a folder of the build tree holding only a link to that room, and a
# room reaches another's root only by linking it. An include that points
# up the graph (random including the engine) then fails to compile.
#
#   common <- random <- engine <- entry <- engine_library
set(SELVANE_ROOMS_DIR ${PROJECT_BINARY_DIR}/room-includes)

# selvane_room(<room> <target> [SOURCES <glob>...] [DEPENDS <target>...]
#              [PUBLIC_HEADERS])
# PUBLIC_HEADERS: the room also sees include/ (the C interfaces it serves).
function(selvane_room room target)
    cmake_parse_arguments(PARSE_ARGV 2 arg "PUBLIC_HEADERS" "" "SOURCES;DEPENDS")
    list(TRANSFORM arg_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/src/${room}/)
    file(GLOB sources CONFIGURE_DEPENDS ${arg_SOURCES})
    list(REMOVE_ITEM sources
         ${PROJECT_SOURCE_DIR}/src/entry/Export.cpp
         ${PROJECT_SOURCE_DIR}/src/engine_library/EngineExports.cpp)
    add_library(${target} STATIC ${sources})

    set(root ${SELVANE_ROOMS_DIR}/${room})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${room} ${root}/${room} SYMBOLIC)
    target_include_directories(${target} PUBLIC ${root})
    if(arg_PUBLIC_HEADERS)
        target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/include)
    endif()
    target_link_libraries(${target} PUBLIC ${arg_DEPENDS})

    set_target_properties(${target} PROPERTIES
        POSITION_INDEPENDENT_CODE ON
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    target_compile_options(${target} PRIVATE -fno-exceptions -fno-rtti)
endfunction()

selvane_room(common selvane_common SOURCES *.cpp)
# The passes run on POSIX threads: glibc's on Linux, mingw-w64's winpthreads
# on Windows, linked statically there like the rest of the runtime.
if(WIN32)
    target_link_libraries(selvane_common PUBLIC pthread)
else()
    set(THREADS_PREFER_PTHREAD_FLAG ON)
    find_package(Threads REQUIRED)
    target_link_libraries(selvane_common PUBLIC Threads::Threads)
endif()
selvane_room(random selvane_random SOURCES *.cpp DEPENDS selvane_common)
# selvane_engine is the engine library's shared object; the engine room's
# target is the core of it.
selvane_room(engine selvane_engine_core SOURCES *.cpp sweep/*.cpp
             DEPENDS selvane_random)
selvane_room(entry selvane_entry SOURCES *.cpp DEPENDS selvane_engine_core)
selvane_room(engine_library selvane_engine_library SOURCES *.cpp
             DEPENDS selvane_entry PUBLIC_HEADERS)

# Everything internal, as the shared libraries, tests, tools and benchmarks
# link it.
add_library(selvane_core INTERFACE)
target_link_libraries(selvane_core INTERFACE selvane_engine_library)
