// The columns that --label-column and --columns name: by 1-based number, or
// by a cell of the file's first line.
#ifndef SELVANE_TOOLS_COLUMN_CHOICE_H
#define SELVANE_TOOLS_COLUMN_CHOICE_H

#include <cstddef>
#include <string>
#include <vector>

namespace selvane::host {

// The 0-based column that wanted names among the first line's cells (names
// only when namesAllowed). byName is set when a name, not a number, chose it.
// Throws HostError (kExitUsage) naming option when there is no such column.
std::size_t ResolveColumn(const char* option, const std::string& wanted,
                          const std::vector<std::string>& firstLine, const std::string& fileName,
                          bool namesAllowed, bool& byName);

// "2,5-7,Petal.Width": names or positions, A-B a range; 0-based, in the
// order given. Throws HostError (kExitUsage) for an empty entry, a column
// the file lacks, a range that runs backwards or a column listed twice.
std::vector<std::size_t> ResolveColumns(const std::string& list,
                                        const std::vector<std::string>& firstLine,
                                        const std::string& fileName, bool namesAllowed,
                                        bool& byName);

// True for a cell that spells a whole number ("12", "-3", " +4 ").
bool IsWholeText(const std::string& cell);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_COLUMN_CHOICE_H
