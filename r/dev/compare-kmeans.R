# Prints the total within-cluster sum of squares of selvane_kmeans (100
# passes, Euclidean means) beside stats::kmeans's best of 100 starts, on
# three of R's data sets and several cluster counts. Run after installing
# the package, from the repository's folder: Rscript r/dev/compare-kmeans.R
library(selvane)
source("r/tests/testthat/helper-within-ss.R")
sets <- list(faithful = faithful, USArrests = USArrests, iris = iris[, 1:4])
cat(sprintf("%-10s %2s %18s %18s %5s %6s\n", "data", "k", "stats::kmeans",
            "selvane_kmeans", "same", "found"))
for (name in names(sets)) {
    x <- as.matrix(sets[[name]])
    for (k in 2:6) {
        set.seed(1)
        best <- within_ss(x, stats::kmeans(x, k, nstart = 100)$cluster)
        fit <- selvane_kmeans(x, k, seed = 1)
        ours <- within_ss(x, fit$cluster)
        cat(sprintf("%-10s %2d %18.10f %18.10f %5s %3d/%d\n", name, k, best,
                    ours, identical(best, ours), fit$found, fit$passes))
    }
}
