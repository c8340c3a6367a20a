selvane_kmeans <- function(x, centers, metric = c("euclidean", "correlation"),
                           method = c("mean", "median"), passes = 100,
                           weights = NULL, seed = NULL, threads = 0, ...) {
    extra <- match.call(expand.dots = FALSE)$...
    if (length(extra)) {
        extra <- if (is.null(names(extra))) character(length(extra))
                 else names(extra)
        stop_argument("unknown argument: %s",
                      paste(ifelse(nzchar(extra), extra, "(unnamed)"),
                            collapse = ", "))
    }
    call <- match.call()
    metric <- match.arg(metric)
    method <- match.arg(method)
    x <- as_items(x)
    if (is.matrix(centers))
        stop_argument("centers must be the number of clusters; starting centres cannot be given")
    k <- whole_number(centers, "centers")
    passes <- whole_number(passes, "passes")
    threads <- whole_number(threads, "threads")
    weights <- as_weights(weights, ncol(x))
    seed <- seed_digits(seed)
    out <- .Call(C_selvane_cluster, x, k, passes, method == "median",
                 metric == "euclidean", weights, seed, threads)
    check_code(out[[1]], call)
    cluster <- out[[2]] + 1L
    names(cluster) <- rownames(x)
    # The library's centres are its rows, one centre each; it marks with
    # NaN a value no member has, and R says NA.
    centres <- t(out[[5]])
    centres[is.na(centres)] <- NA_real_
    dimnames(centres) <- list(seq_len(k), colnames(x))
    # Each cluster's members measured against its own centre; NA where a
    # mean overflowed the double range, which no distance can measure.
    measured <- .Call(C_selvane_assign, x, weights, metric == "euclidean",
                      out[[5]], out[[2]])
    within <- rep(NA_real_, k)
    if (measured[[1]] == 0L)
        within <- vapply(seq_len(k), function(j)
            sum(measured[[3]][cluster == j]), numeric(1))
    structure(list(cluster = cluster, centers = centres,
                   size = tabulate(cluster, k), error = out[[3]],
                   found = out[[4]], iter = out[[6]], within = within,
                   passes = passes, metric = metric, method = method,
                   weights = weights, seed = seed, call = call),
              class = "selvane_kmeans")
}

predict.selvane_kmeans <- function(object, newdata, ...) {
    if (missing(newdata)) return(object$cluster)
    names <- colnames(object$centers)
    if (!is.null(names) && !is.null(colnames(newdata))) {
        lacking <- setdiff(names, colnames(newdata))
        if (length(lacking))
            stop_argument("newdata lacks the column%s %s",
                          if (length(lacking) > 1) "s" else "",
                          paste(lacking, collapse = ", "))
        newdata <- newdata[, names, drop = FALSE]
    }
    newdata <- as_items(newdata, "newdata")
    if (ncol(newdata) != ncol(object$centers))
        stop_argument("newdata must have %d columns, as the data clustered",
                      ncol(object$centers))
    # Each item's nearest centre, by the library's distances.
    out <- .Call(C_selvane_assign, newdata, object$weights,
                 object$metric == "euclidean", t(object$centers), NULL)
    check_code(out[[1]], match.call())
    cluster <- out[[2]] + 1L
    names(cluster) <- rownames(newdata)
    cluster
}

fitted.selvane_kmeans <- function(object, method = c("centers", "classes"),
                                  ...) {
    method <- match.arg(method)
    if (method == "classes") return(object$cluster)
    centres <- object$centers[object$cluster, , drop = FALSE]
    rownames(centres) <- object$cluster
    centres
}

print.selvane_kmeans <- function(x, ...) {
    cat(sprintf("Selvane k-%s clustering (%s distance) with %d clusters of sizes %s\n",
                if (x$method == "mean") "means" else "medians", x$metric,
                length(x$size), paste(x$size, collapse = ", ")))
    cat(sprintf("Reached by %d of %d passes; error value %s\n", x$found,
                x$passes, format(x$error)))
    cat("\nCluster centres (NA: no member has the value):\n")
    print(x$centers, ...)
    cat("\nClustering vector:\n")
    print(x$cluster, ...)
    cat("\nAvailable components:\n")
    print(names(x))
    invisible(x)
}

summary.selvane_kmeans <- function(object, ...) {
    clusters <- data.frame(size = object$size, within = object$within,
                           missing = rowSums(is.na(object$centers)))
    structure(list(clusters = clusters, error = object$error,
                   found = object$found, passes = object$passes,
                   iter = object$iter, metric = object$metric,
                   method = object$method, call = object$call),
              class = "summary.selvane_kmeans")
}

print.summary.selvane_kmeans <- function(x, ...) {
    cat("Call:\n")
    print(x$call)
    cat(sprintf("\nk-%s, %s distance: error value %s, reached by %d of %d passes",
                if (x$method == "mean") "means" else "medians", x$metric,
                format(x$error), x$found, x$passes))
    if (!is.na(x$iter)) cat(sprintf(", best pass in %d iterations", x$iter))
    cat("\n\nClusters (within: the members' total distance to the centre;",
        "missing: centre values no member has):\n")
    print(x$clusters, ...)
    invisible(x)
}
