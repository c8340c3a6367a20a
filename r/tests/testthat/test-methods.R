test_that("the fit reads like stats::kmeans and prints its parts", {
    fit <- selvane_kmeans(iris[, 1:4], 3, seed = 3)
    expect_s3_class(fit, "selvane_kmeans")
    expect_identical(names(fit$cluster), NULL)
    expect_identical(dimnames(fit$centers), list(c("1", "2", "3"), names(iris)[1:4]))
    expect_identical(fit$size, tabulate(fit$cluster, 3))
    expect_true(fit$iter >= 1L)
    expect_identical(fit$call, quote(selvane_kmeans(x = iris[, 1:4], centers = 3, seed = 3)))
    expect_identical(predict(fit), fit$cluster)
    expect_identical(predict(fit, iris), fit$cluster)
    expect_identical(fitted(fit, "classes"), fit$cluster)
    expect_identical(unname(fitted(fit)), unname(fit$centers[fit$cluster, ]))
    # within: each cluster's total distance, the Euclidean distance being
    # the mean of squared differences. The library adds in its own order,
    # so this comparison allows for rounding.
    x <- as.matrix(iris[, 1:4])
    expect_equal(fit$within, vapply(1:3, function(k) {
        members <- x[fit$cluster == k, ]
        sum(sweep(members, 2, fit$centers[k, ])^2) / 4
    }, numeric(1)), tolerance = 1e-12)
    expect_output(print(fit), "k-means clustering \\(euclidean distance\\) with 3 clusters of sizes")
    expect_output(print(summary(fit)), "reached by [0-9]+ of 100 passes")
    # A mean beyond the double range: the fit stands, unmeasured.
    huge <- selvane_kmeans(c(1e308, 1.5e308, 1.7e308, 1), 1, seed = 1)
    expect_identical(unname(huge$centers[1, 1]), Inf)
    expect_identical(huge$within, NA_real_)
    named <- selvane_kmeans(USArrests, 2, "correlation", "median", seed = 3)
    expect_identical(names(named$cluster), rownames(USArrests))
    expect_identical(names(predict(named, USArrests[1:2, ])), rownames(USArrests)[1:2])
})
