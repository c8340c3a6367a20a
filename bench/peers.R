# R's kmeans (Hartigan-Wong, one thread) on the rows selvane_bench prepared.
#   Rscript peers.R FILE N COLUMNS K RUNS   prints the median seconds
#   Rscript peers.R --describe              names the version and settings
args <- commandArgs(trailingOnly = TRUE)
if (args[1] == "--describe") {
    cat(R.version.string, ": kmeans(centers = K, nstart = 200), ",
        "Hartigan-Wong, its defaults otherwise\n", sep = "")
    quit(save = "no")
}
n <- as.integer(args[2])
columns <- as.integer(args[3])
k <- as.integer(args[4])
runs <- as.integer(args[5])
x <- matrix(readBin(args[1], "double", n * columns, size = 8,
                    endian = "little"),
            nrow = n, byrow = TRUE)
times <- numeric(runs)
for (r in seq_len(runs)) {
    set.seed(r)
    times[r] <- system.time(
        suppressWarnings(kmeans(x, centers = k, nstart = 200)))[["elapsed"]]
}
cat(median(times), "\n")
