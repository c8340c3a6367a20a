# NA is a missing value: it takes no part in a distance or a centre, and is
# never imputed.
test_that("a column that is missing clusters as a column of weight 0", {
    x <- as.matrix(USArrests)
    x[c(3, 17, 40), 2] <- NA
    x[, 4] <- NA
    missing <- selvane_kmeans(x, 3, seed = 5)
    x[, 4] <- 0
    weightless <- selvane_kmeans(x, 3, seed = 5, weights = c(1, 1, 1, 0))
    for (part in c("cluster", "error", "found", "within"))
        expect_identical(missing[[part]], weightless[[part]])
    expect_identical(missing$centers[, -4], weightless$centers[, -4])
    expect_true(all(is.na(missing$centers[, 4])))
})

test_that("a centre value is NA where no member has it, and NaN is NA", {
    x <- data.frame(a = c(0, 0.1, 10, 10.5), b = c(NA, NA, 10, 11))
    fit <- selvane_kmeans(x, 2, seed = 1)
    first <- fit$cluster[1]
    expect_identical(unname(fit$cluster), c(first, first, 3L - first, 3L - first))
    expect_identical(unname(fit$centers[first, ]), c(0.05, NA))
    expect_identical(unname(fit$centers[3L - first, ]), c(10.25, 10.5))
    expect_identical(selvane_kmeans(as.matrix(x), 2, seed = 1)[1:6], fit[1:6])
    x$b[1] <- NaN
    expect_identical(selvane_kmeans(x, 2, seed = 1)$cluster, fit$cluster)
    # An item missing a value goes by the values it has.
    expect_identical(unname(predict(fit, data.frame(a = c(NA, 9), b = c(0, NA)))),
                     c(first, 3L - first))
})
