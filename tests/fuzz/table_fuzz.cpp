// Fuzzes the host's table reader with files from anywhere, under every
// combination of the reading options: it must never crash or hang, every
// table it accepts must be a rectangular numeric block, and that table
// written back by the host's CSV writer must read back to the same labels
// and values, bit for bit.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "HostError.h"
#include "ResultCsv.h"
#include "Table.h"

namespace {

using selvane::host::HeaderChoice;
using selvane::host::ReadChoices;
using selvane::host::Table;

[[noreturn]] void Broken(const char* property) {
    std::fprintf(stderr, "table_fuzz: %s\n", property);
    std::abort();
}

bool SameBits(double a, double b) {
    // Every missing value is NaN; which NaN does not matter.
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The first byte chooses the options; the rest is the file.
ReadChoices ChoicesFrom(std::uint8_t flags) {
    static const char* const kLabels[] = {"", "1", "2", "b"};
    static const char* const kColumns[] = {"", "2-3", "1,3", "a-b"};
    ReadChoices choices;
    choices.header = static_cast<HeaderChoice>((flags & 3u) % 3u);
    choices.decimalComma = (flags & 4u) != 0;
    choices.labelColumn = kLabels[(flags >> 3) & 3u];
    choices.columns = kColumns[(flags >> 5) & 3u];
    return choices;
}

void CheckShape(const Table& table) {
    const std::size_t n = table.itemCount;
    const std::size_t d = table.dimensionCount;
    if (n == 0 || d == 0)
        Broken("an accepted table without items or dimensions");
    if (table.values.size() != n * d)
        Broken("values are not items x dimensions");
    if (!table.labels.empty() && table.labels.size() != n)
        Broken("labels not one per item");
    if (!table.dimensionNames.empty() && table.dimensionNames.size() != d) {
        Broken("names not one per dimension");
    }
    if (table.sourceColumns.size() != d)
        Broken("source columns not one per dimension");
    for (double value : table.values) {
        if (std::isinf(value))
            Broken("an infinite value was accepted as a number");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    Table table;
    try {
        table = selvane::host::ParseTable(text, "fuzz", ChoicesFrom(data[0]));
    } catch (const selvane::host::HostError&) {
        return 0;
    }
    CheckShape(table);

    const std::string written = selvane::host::FormatTable(table);
    Table again;
    try {
        again = selvane::host::ParseTable(written, "written");
    } catch (const selvane::host::HostError& error) {
        std::fprintf(stderr, "%s\n%s\n", error.what(), written.c_str());
        Broken("the written table does not read back");
    }
    CheckShape(again);
    if (again.itemCount != table.itemCount ||
        again.dimensionCount != table.dimensionCount) {
        Broken("the written table reads back in another shape");
    }
    if (again.labels != table.labels) Broken("the labels do not read back");
    for (std::size_t i = 0; i < table.values.size(); ++i) {
        if (!SameBits(again.values[i], table.values[i]))
            Broken("a value does not read back");
    }
    return 0;
}
