# The total within-cluster sum of squares of a partition, added up the same
# way whatever its cluster numbers: per cluster, then over the sorted
# totals, so that equal partitions give equal bits.
within_ss <- function(x, cluster) {
    totals <- vapply(split(seq_len(nrow(x)), cluster), function(members)
        sum(scale(x[members, , drop = FALSE], scale = FALSE)^2), numeric(1))
    sum(sort(totals))
}
