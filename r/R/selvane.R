selvane <- function(x, k, seed = NULL, threads = 0) {
    call <- match.call()
    x <- as_items(x)
    k <- whole_number(k, "k")
    threads <- whole_number(threads, "threads")
    out <- .Call(C_selvane_job, x, k, seed_digits(seed), threads)
    check_code(out[[1]], call)
    unmeasurable <- which(rowSums(!(is.finite(x) & x > 0)) > 0)
    if (length(unmeasurable)) {
        n <- length(unmeasurable)
        rows <- paste(utils::head(unmeasurable, 10), collapse = ", ")
        warning(sprintf("%d item%s cannot be measured (a value missing, infinite or not above zero) and %s clustered by magnitude 0: row%s %s%s",
                        n, if (n > 1) "s" else "", if (n > 1) "are" else "is",
                        if (n > 1) "s" else "", rows,
                        if (n > 10) ", ..." else ""),
                call. = FALSE)
    }
    numbers <- as.integer(out[[2]]) + 1L
    names(numbers) <- rownames(x)
    numbers
}
