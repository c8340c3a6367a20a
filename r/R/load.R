.onLoad <- function(libname, pkgname) {
    version <- .Call(C_selvane_api_version)
    if (version[1] %/% 10000L != version[2])
        stop(sprintf("the Selvane engine library has interface version %d.%d; this package needs %d.x",
                     version[1] %/% 10000L, version[1] %% 10000L, version[2]),
             call. = FALSE)
}
