#include "Usage.h"

#include "LibraryLoader.h"

#ifndef SELVANE_VERSION
#error "SELVANE_VERSION must be defined by the build"
#endif

namespace selvane::host {

std::string UsageText() {
    return std::string(
               "Usage: selvane FILE --clusters K [--output OUT.csv] "
               "[--plot OUT.svg] [--quiet]\n"
               "               [--library PATH]\n"
               "\n"
               "Clusters the rows of FILE into K clusters with the Selvane "
               "library and\n"
               "writes one line per row: label,cluster (item,cluster when "
               "the rows have\n"
               "no labels). Cluster 0 holds the rows of lowest mean relative "
               "magnitude,\n"
               "K-1 those of highest.\n"
               "\n"
               "FILE is comma-, semicolon- or tab-separated text. It may "
               "start with a\n"
               "header row, and every row with a text label; all other cells "
               "must be\n"
               "numbers. A row with a value that is not a finite number "
               "greater than zero\n"
               "cannot be measured: it is still clustered, with magnitude "
               "0.\n"
               "\n"
               "Options:\n"
               "  -k, --clusters K    number of clusters, from 1 to the "
               "number of rows\n"
               "  -o, --output OUT    write the result to OUT, replacing it "
               "whole, instead\n"
               "                      of to standard output\n"
               "      --plot OUT.svg  also draw the clustering as a picture: "
               "one panel per\n"
               "                      cluster with its members' profiles, and "
               "every row's\n"
               "                      relative magnitude (an SVG file, "
               "replaced whole)\n"
               "  -q, --quiet         write nothing to standard error but "
               "errors\n"
               "      --library PATH  load the library from PATH instead of "
               "the default,\n"
               "                      ") +
           DefaultLibraryDescription() +
           "\n"
           "  -h, --help          show this help and exit\n"
           "      --version       show the version and exit\n"
           "\n"
           "Standard output carries the result and nothing else. A summary "
           "goes to\n"
           "standard error: cluster sizes and mean relative magnitudes, the "
           "rows that\n"
           "cannot be measured, and the time of the call. When standard "
           "error is a\n"
           "terminal, a call that takes longer than a second shows its "
           "elapsed time\n"
           "there until it ends.\n"
           "\n"
           "Exit status:\n"
           "  0  success\n"
           "  1  FILE cannot be read or is malformed\n"
           "  2  invalid command line\n"
           "  3  the library cannot be loaded or lacks its export\n"
           "  4  the library could not cluster the rows\n"
           "  5  the result or the picture cannot be written\n"
           "  6  memory ran out\n";
}

std::string VersionText() { return std::string("selvane ") + SELVANE_VERSION + "\n"; }

}  // namespace selvane::host
