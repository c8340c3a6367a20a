# Argument checks shared by the package's functions. Each stops with a
# message naming the argument. Ranges the library checks itself (a cluster
# count above the item count, a negative weight or thread count, a value
# that is not finite) are left to it, so that its own words reach the user.

stop_argument <- function(...) stop(sprintf(...), call. = FALSE)

# Items as rows of a double matrix; NA stays NA, which the library takes as
# a missing value.
as_items <- function(x, arg = "x") {
    if (is.data.frame(x)) {
        numeric <- vapply(x, is.numeric, logical(1))
        if (!all(numeric))
            stop_argument("%s must hold numbers only; column '%s' does not",
                          arg, names(x)[!numeric][1])
        x <- as.matrix(x)
    } else if (is.numeric(x) && is.null(dim(x))) {
        x <- matrix(x, ncol = 1, dimnames = list(names(x), NULL))
    }
    if (!is.matrix(x) || !is.numeric(x))
        stop_argument("%s must be a numeric matrix or data frame, one item a row",
                      arg)
    storage.mode(x) <- "double"
    x
}

# A whole number the library takes as an int.
whole_number <- function(value, arg) {
    if (!is.numeric(value) || length(value) != 1 || !is.finite(value) ||
        value != round(value) || abs(value) > .Machine$integer.max)
        stop_argument("%s must be a single whole number", arg)
    as.integer(value)
}

# The decimal digits of a seed from 0 to 2^64 - 1: R's numbers hold every
# whole number up to 2^53 exactly, and a string holds the rest. NULL draws
# a seed of 53 bits from R's generator, so that set.seed() makes a call
# reproducible, as it does stats::kmeans; the library's own clock-seeded
# stream, which reseeds C's rand() for the whole process, is never used.
seed_digits <- function(seed) {
    if (is.null(seed))
        seed <- floor(stats::runif(1) * 2^32) * 2^21 +
            floor(stats::runif(1) * 2^21)
    bad <- "seed must be NULL, a whole number from 0 to 2^53, or a string of decimal digits from 0 to 18446744073709551615"
    if (is.character(seed) && length(seed) == 1 && !is.na(seed) &&
        grepl("^[0-9]+$", seed)) {
        digits <- sub("^0+(.)", "\\1", seed)
        most <- "18446744073709551615"
        # Digit by digit: a string comparison would follow the locale.
        if (nchar(digits) == nchar(most)) {
            over <- utf8ToInt(digits) - utf8ToInt(most)
            if (any(over != 0) && over[over != 0][1] > 0) stop_argument(bad)
        }
        if (nchar(digits) > nchar(most)) stop_argument(bad)
        return(digits)
    }
    if (!is.numeric(seed) || length(seed) != 1 || !is.finite(seed) ||
        seed != round(seed) || seed < 0 || seed > 2^53)
        stop_argument(bad)
    sprintf("%.0f", seed)
}

as_weights <- function(weights, value_count) {
    if (is.null(weights)) return(NULL)
    if (!is.numeric(weights) || length(weights) != value_count)
        stop_argument("weights must be NULL or %d numbers, one per column",
                      value_count)
    as.double(weights)
}

# Turns the library's code into a condition: an error of class
# "selvane_error" with the library's message and its code, or the user's
# interrupt, which the glue took from R to leave the library in order.
check_code <- function(code, call) {
    if (code == 0L) return(invisible())
    if (code < 0L) {
        signalCondition(structure(class = c("interrupt", "condition"),
                                  list(message = "", call = call)))
        invokeRestart("abort")
    }
    stop(structure(class = c("selvane_error", "error", "condition"),
                   list(message = .Call(C_selvane_error_text, code),
                        call = call, code = code)))
}
