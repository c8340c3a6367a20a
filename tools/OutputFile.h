// Writing a result: to standard output, into a device or FIFO as it stands,
// or to a file that is either whole or absent.
#ifndef SELVANE_TOOLS_OUTPUT_FILE_H
#define SELVANE_TOOLS_OUTPUT_FILE_H

#include <ostream>
#include <string>

namespace selvane::host {

// Where a result goes, decided before any work is done.
struct OutputTarget {
    enum class Kind {
        kStandardOutput,  // "-"
        kReplace,         // a regular file, or none yet: replaced whole
        kInPlace,         // a device, FIFO or other file that is not regular
    };
    Kind kind = Kind::kStandardOutput;
    std::string name;  // as given, for messages
    // The file written: for kReplace through a symbolic link, its target.
    std::string path;
};

// Checks that name can be written, and says how: "-" is standard output; a
// device, FIFO or other file that is not regular is written in place; a
// regular file, or a name with nothing there yet, is replaced through a new
// file beside it (beside a symbolic link's target, which is replaced and the
// link kept). Throws HostError (kExitOutput) when name is a directory or a
// socket, when the user may not write the file, or when the folder of a file
// to replace is missing or not writable.
OutputTarget CheckOutput(const std::string& name);

// Writes content where target says; out is standard output, and what
// ("the result", "the picture") names content in its messages. Throws
// HostError (kExitOutput) when it cannot.
void WriteOutput(const OutputTarget& target, const std::string& content, std::ostream& out,
                 const char* what);

// Writes content to a new file beside path and renames it over path, so
// that a reader never sees a half-written file and a failure leaves an
// existing file at path untouched; a file replaced keeps its permissions.
// On failure removes the temporary file and throws HostError (kExitOutput)
// naming name (path when empty).
void ReplaceFile(const std::string& path, const std::string& content,
                 const std::string& name = std::string());

// Whether two names lead to one file: the same device and inode (volume
// and file index on Windows) when both exist, else the same path once made
// absolute and normal (and, on Windows, of one case).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_OUTPUT_FILE_H
