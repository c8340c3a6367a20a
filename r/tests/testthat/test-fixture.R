# The same seeded jobs as r/dev/write-fixture.c ran through the C library,
# compared bit for bit (scripts/r-package --fixture rewrites the file).
fixture <- local({
    fields <- strsplit(grep("^#", readLines(test_path("engine-fixture.txt")),
                            invert = TRUE, value = TRUE), " ", fixed = TRUE)
    stats::setNames(lapply(fields, `[`, -1), vapply(fields, `[`, "", 1))
})
from_bits <- function(hex) vapply(hex, function(h) readBin(
    as.raw(strtoi(substring(h, seq(1, 15, 2), seq(2, 16, 2)), 16L)),
    "double", endian = "big"), numeric(1), USE.NAMES = FALSE)
bits <- function(x) vapply(x, function(v) if (is.na(v)) "NA" else
    paste(writeBin(v, raw(), endian = "big"), collapse = ""), "")
ids <- function(name) as.integer(fixture[[name]]) + 1L
values <- matrix(from_bits(fixture$values), ncol = 3)

test_that("seeded jobs give the C library's bits at any thread count", {
    means <- selvane_kmeans(values, 3, passes = 20, seed = 42, threads = 2)
    expect_identical(means$cluster, ids("means_cluster"))
    expect_identical(bits(means$error), fixture$means_error)
    expect_identical(means$found, ids("means_found") - 1L)
    expect_identical(bits(means$centers), fixture$means_centers)
    new_items <- matrix(from_bits(fixture$new_items), ncol = 3)
    expect_identical(predict(means, new_items), ids("predict"))

    medians <- selvane_kmeans(values, 4, "correlation", "median", passes = 20,
                              weights = c(1, 0.5, 2),
                              seed = "18446744073709551557", threads = 1)
    expect_identical(medians$cluster, ids("medians_cluster"))
    expect_identical(bits(medians$error), fixture$medians_error)
    expect_identical(medians$found, ids("medians_found") - 1L)
    expect_identical(bits(medians$centers), fixture$medians_centers)

    six <- selvane_kmeans(values, 6, passes = 20, seed = 3)
    expect_identical(six$cluster, ids("six_cluster"))
    expect_identical(bits(six$error), fixture$six_error)
    expect_identical(bits(six$centers), fixture$six_centers)

    expect_warning(ranked <- selvane(values, 3, seed = 7, threads = 2),
                   "2 items cannot be measured .* rows 5, 18$")
    expect_identical(ranked, ids("selvane"))
})
