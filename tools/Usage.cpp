#include "Usage.h"

#include "LibraryLoader.h"

#ifndef SELVANE_VERSION
#error "SELVANE_VERSION must be defined by the build"
#endif

namespace selvane::host {

std::string UsageText() {
    return std::string(
               "Usage: selvane FILE --clusters K [--output OUT.csv] "
               "[--library PATH]\n"
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
               "      --library PATH  load the library from PATH instead of "
               "the default,\n"
               "                      ") +
           DefaultLibraryDescription() +
           "\n"
           "  -h, --help          show this help and exit\n"
           "      --version       show the version and exit\n"
           "\n"
           "A summary goes to standard error: cluster sizes and mean "
           "relative\n"
           "magnitudes, the rows that cannot be measured, and the time of "
           "the call.\n"
           "\n"
           "Exit status:\n"
           "  0  success\n"
           "  1  FILE cannot be read or is malformed\n"
           "  2  invalid command line\n"
           "  3  the library cannot be loaded or lacks its export\n"
           "  4  the library could not cluster the rows\n"
           "  5  the result cannot be written\n";
}

std::string VersionText() { return std::string("selvane ") + SELVANE_VERSION + "\n"; }

}  // namespace selvane::host
