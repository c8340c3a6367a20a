# Flags every build shares. Exactness across the Linux, x86 and x86-64 builds
# depends on them: no multiply-add contraction anywhere, and SSE2 rather than
# the x87 stack on 32-bit x86, so every + - * / sqrt rounds to double once.
add_compile_options(-ffp-contract=off -fno-fast-math)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$" OR
   (WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4))
    add_compile_options(-msse2 -mfpmath=sse)
endif()

# Windows guarantees only 16-byte stack alignment, and GCC cannot realign
# the x86-64 stack under SEH (GCC bug 54412): an aligned move of an AVX or
# AVX-512 register spilled there would fault. The vector sweep runs such
# code, so every aligned vector move is assembled as an unaligned one,
# which costs nothing on aligned data.
if(WIN32)
    add_compile_options(-Wa,-muse-unaligned-vector-move)
endif()

add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion
                    -Wno-sign-conversion)
if(SELVANE_WERROR)
    add_compile_options(-Werror)
endif()

if(SELVANE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# ThreadSanitizer, for the concurrent-callers test (tsan preset). It cannot
# be combined with AddressSanitizer.
if(SELVANE_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
endif()

# libFuzzer's coverage hooks in everything the fuzz targets link (clang).
if(SELVANE_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

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
