// Writing a result file so that it is either whole or absent.
#ifndef SELVANE_TOOLS_OUTPUT_FILE_H
#define SELVANE_TOOLS_OUTPUT_FILE_H

#include <string>

namespace selvane::host {

// Writes content to a new file beside path and renames it over path, so
// that a reader never sees a half-written file and a failure leaves an
// existing file at path untouched. On failure removes the temporary file
// and throws HostError (kExitOutput).
void ReplaceFile(const std::string& path, const std::string& content);

// Whether two names lead to one file: the same device and inode (volume
// and file index on Windows) when both exist, else the same path once made
// absolute and normal (and, on Windows, of one case).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_OUTPUT_FILE_H
