.onLoad <- function(libname, pkgname) {
    # A later minor version of the library only adds to the interface.
    version <- .Call(C_selvane_api_version)
    if (version[1] %/% 10000L != version[2] %/% 10000L || version[1] < version[2])
        stop(sprintf("the Selvane engine library has interface version %d.%d; this package needs %d.%d or a later %d.x",
                     version[1] %/% 10000L, version[1] %% 10000L, version[2] %/% 10000L,
                     version[2] %% 10000L, version[2] %/% 10000L),
             call. = FALSE)
}
