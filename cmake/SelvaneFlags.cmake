# The project's compile and link flags, carried by one INTERFACE target that
# every target of this source tree links (selvane_link_flags below), so that
# third-party code such as GoogleTest builds with its own flags.
add_library(selvane_flags INTERFACE)

# Exactness across the Linux, x86 and x86-64 builds depends on these: no
# multiply-add contraction anywhere, and SSE2 rather than the x87 stack on
# 32-bit x86, so every + - * / sqrt rounds to double once.
target_compile_options(selvane_flags INTERFACE -ffp-contract=off -fno-fast-math)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$" OR
   (WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4))
    target_compile_options(selvane_flags INTERFACE -msse2 -mfpmath=sse)
endif()

# Windows guarantees only 16-byte stack alignment, and GCC cannot realign
# the x86-64 stack under SEH (GCC bug 54412): an aligned move of an AVX or
# AVX-512 register spilled there would fault. The vector sweep runs such
# code, so every aligned vector move is assembled as an unaligned one,
# which costs nothing on aligned data.
if(WIN32)
    target_compile_options(selvane_flags INTERFACE -Wa,-muse-unaligned-vector-move)
endif()

target_compile_options(selvane_flags INTERFACE -Wall -Wextra -Wpedantic -Wshadow
                       -Wconversion -Wno-sign-conversion)
if(SELVANE_WERROR)
    target_compile_options(selvane_flags INTERFACE -Werror)
endif()

if(SELVANE_SANITIZE)
    target_compile_options(selvane_flags INTERFACE -fsanitize=address,undefined
                           -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(selvane_flags INTERFACE -fsanitize=address,undefined)
endif()

# ThreadSanitizer, for the concurrent-callers test (tsan preset). It cannot
# be combined with AddressSanitizer.
if(SELVANE_TSAN)
    target_compile_options(selvane_flags INTERFACE -fsanitize=thread
                           -fno-omit-frame-pointer)
    target_link_options(selvane_flags INTERFACE -fsanitize=thread)
endif()

# libFuzzer's coverage hooks in everything the fuzz targets link (clang).
if(SELVANE_FUZZ)
    target_compile_options(selvane_flags INTERFACE -fsanitize=fuzzer-no-link)
endif()

# Links selvane_flags into every target defined in dir and the directories
# below it that belong to this source tree; directories added from
# elsewhere (GoogleTest's sources in a cross build) are left alone.
function(selvane_link_flags dir)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
        get_target_property(type ${target} TYPE)
        if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
            target_link_libraries(${target} PRIVATE selvane_flags)
        endif()
    endforeach()
    get_property(subdirectories DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdirectory ${subdirectories})
        cmake_path(IS_PREFIX PROJECT_SOURCE_DIR ${subdirectory} inside)
        if(inside)
            selvane_link_flags(${subdirectory})
        endif()
    endforeach()
endfunction()

# Linker settings of a shared library, per platform. The optional second
# argument is the module-definition file of its Windows exports (default:
# the main library's, per architecture).
function(selvane_configure_shared_library target)
    if(WIN32)
        if(ARGC GREATER 1)
            target_sources(${target} PRIVATE ${ARGV1})
        elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
            target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/entry/selvane-x86.def)
        else()
            target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/entry/selvane-x64.def)
        endif()
        set_target_properties(${target} PROPERTIES PREFIX "")
        target_link_options(${target} PRIVATE -static-libgcc -static-libstdc++ -static)
    else()
        target_link_options(${target} PRIVATE -Wl,--no-undefined -Wl,--exclude-libs,ALL)
    endif()
endfunction()
