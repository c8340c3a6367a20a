x <- as.matrix(iris[1:30, 1:4])

test_that("every argument is checked, with the library's words for its ranges", {
    engine <- function(expr, message)
        expect_error(expr, message, fixed = TRUE, class = "selvane_error")
    plain <- function(expr, message, ...) expect_error(expr, message, ...)
    plain(selvane_kmeans(letters, 2), "numeric matrix or data frame")
    plain(selvane_kmeans(list(1, 2), 2), "numeric matrix or data frame")
    plain(selvane_kmeans(iris, 3), "column 'Species' does not")
    engine(selvane_kmeans(x[0, ], 1), "the item count and the value count")
    engine(selvane_kmeans(replace(x, 7, Inf), 2),
           "a present value is not a finite number")
    engine(selvane_kmeans(matrix(NA_real_, 3, 2), 2),
           "no item has a present value with a non-zero weight")
    plain(selvane_kmeans(x, x[1:2, ]), "starting centres cannot be given")
    for (bad in list(2.5, "3", NA, c(2, 3), 1e10))
        plain(selvane_kmeans(x, bad), "centers must be a single whole number")
    engine(selvane_kmeans(x, 0), "the cluster count must be at least 1")
    engine(selvane_kmeans(x, 31), "at most the item count")
    plain(selvane_kmeans(x, 2, metric = "manhattan"), "should be one of")
    plain(selvane_kmeans(x, 2, method = "mode"), "should be one of")
    plain(selvane_kmeans(x, 2, passes = 1.5), "passes must be a single whole")
    engine(selvane_kmeans(x, 2, passes = 0), "the pass count must be at least 1")
    plain(selvane_kmeans(x, 2, weights = 1:3), "weights must be NULL or 4 numbers")
    plain(selvane_kmeans(x, 2, weights = letters[1:4]), "weights must be NULL")
    for (bad in list(c(1, -1, 1, 1), c(1, NA, 1, 1), c(1, Inf, 1, 1)))
        engine(selvane_kmeans(x, 2, weights = bad),
               "a weight is negative or not a finite number")
    engine(selvane_kmeans(x, 2, weights = c(0, 0, 0, 0)),
           "no item has a present value with a non-zero weight")
    for (bad in list(-1, 1.5, 2^53 + 2, NA, c(1, 2), TRUE, "", "-1", "1e5",
                     "18446744073709551616", "99999999999999999999"))
        plain(selvane_kmeans(x, 2, seed = bad), "seed must be NULL, a whole number")
    plain(selvane_kmeans(x, 2, threads = 1.5), "threads must be a single whole")
    engine(selvane_kmeans(x, 2, threads = -1),
           "the thread count must not be negative")
    plain(selvane_kmeans(x, 2, init = "random"), "unknown argument: init")
    plain(selvane_kmeans(x, 2, "euclidean", "mean", 100, NULL, NULL, 0, 5),
          "unknown argument: (unnamed)", fixed = TRUE)

    plain(selvane(x, 1.5), "k must be a single whole number")
    engine(selvane(x, 31), "at most the item count")
    engine(selvane(-x, 2), "no item has every value a finite number greater than zero")
    plain(selvane(x, 2, seed = -1), "seed must be NULL")
    engine(selvane(x, 2, threads = -1), "the thread count must not be negative")

    fit <- selvane_kmeans(x, 2, seed = 1)
    plain(predict(fit, x[, 1:3]), "newdata lacks the column Petal.Width")
    plain(predict(fit, unname(x[, 1:3])), "newdata must have 4 columns")
    plain(predict(fit, iris[, 5, drop = FALSE]), "lacks the columns Sepal.Length, ")
    plain(fitted(fit, "centres"), "should be one of")
})

test_that("a seed is the same number however it is written", {
    fit <- function(seed) selvane_kmeans(x, 3, passes = 5, seed = seed)$cluster
    expect_identical(fit(7), fit("7"))
    expect_identical(fit(7), fit("0007"))
    expect_identical(fit(2^53), fit("9007199254740992"))
    expect_no_error(fit("18446744073709551615"))
    expect_no_error(fit("0"))
    # No seed: one drawn from R's generator, kept in the fit.
    set.seed(11)
    drawn <- selvane_kmeans(x, 3, passes = 5)
    set.seed(11)
    expect_identical(selvane_kmeans(x, 3, passes = 5)$seed, drawn$seed)
    expect_identical(fit(drawn$seed), drawn$cluster)
})

test_that("an interrupt taken by the glue reaches R as an interrupt", {
    expect_true(tryCatch(selvane:::check_code(-1L, NULL), interrupt = function(e) TRUE))
})
