# Euclidean k-means reaches the best partition that stats::kmeans finds
# from 100 starts. Selvane's error value is a mean of squared differences,
# so both are judged by the total within-cluster sum of squares of their
# partitions (helper-within-ss.R).
test_that("selvane_kmeans matches stats::kmeans at its best", {
    for (case in list(list(faithful, 2), list(USArrests, 4), list(iris[, 1:4], 3))) {
        x <- as.matrix(case[[1]])
        set.seed(1)
        best <- stats::kmeans(x, case[[2]], nstart = 100)
        fit <- selvane_kmeans(x, case[[2]], seed = 1)
        expect_identical(within_ss(x, fit$cluster), within_ss(x, best$cluster))
    }
})
