#include "OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// windows.h maps ReplaceFile to its own ReplaceFileA.
#undef ReplaceFile

#include <cwctype>
#endif

#include "HostError.h"

#ifdef _WIN32
#include <process.h>
#define SELVANE_GETPID _getpid
#else
#include <sys/stat.h>
#include <unistd.h>
#define SELVANE_GETPID getpid
#endif

namespace selvane::host {

namespace fs = std::filesystem;

namespace {

// Same directory as the target, so that the rename never crosses file
// systems; the process id and a counter keep two hosts writing one target
// from sharing a temporary name.
fs::path TemporaryBeside(const fs::path& target) {
    const std::string stem =
        "." + target.filename().string() + ".selvane-" + std::to_string(SELVANE_GETPID()) + "-";
    for (unsigned attempt = 0;; ++attempt) {
        fs::path candidate = target.parent_path() / (stem + std::to_string(attempt) + ".tmp");
        std::error_code ec;
        if (!fs::exists(candidate, ec)) return candidate;
    }
}

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw HostError(kExitOutput, "cannot write '" + path + "': " + reason);
}

}  // namespace

namespace {

// Absolute and normal, symbolic links resolved as far as the path exists.
fs::path NormalPath(const std::string& name) {
    std::error_code ec;
    fs::path path = fs::weakly_canonical(name, ec);
    if (!ec) return path;
    path = fs::absolute(name, ec);
    return (ec ? fs::path(name) : path).lexically_normal();
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
#ifdef _WIN32
    // The volume and file index identify a file as device and inode do.
    const auto identity = [](const std::string& name, BY_HANDLE_FILE_INFORMATION& info) {
        const HANDLE file = CreateFileW(fs::path(name).wstring().c_str(), 0,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        const bool known = GetFileInformationByHandle(file, &info) != 0;
        CloseHandle(file);
        return known;
    };
    BY_HANDLE_FILE_INFORMATION first;
    BY_HANDLE_FILE_INFORMATION second;
    if (identity(a, first) && identity(b, second)) {
        return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
               first.nFileIndexHigh == second.nFileIndexHigh &&
               first.nFileIndexLow == second.nFileIndexLow;
    }
    // Not both there yet: the same name once canonical, and Windows names
    // ignore case.
    const auto key = [](const std::string& name) {
        std::wstring text = NormalPath(name).wstring();
        for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
        return text;
    };
    return key(a) == key(b);
#else
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) {
        const bool same = fs::equivalent(a, b, ec);
        if (!ec) return same;
    }
    return NormalPath(a) == NormalPath(b);
#endif
}

void ReplaceFile(const std::string& path, const std::string& content, const std::string& name) {
    const std::string& shown = name.empty() ? path : name;
    const fs::path target(path);
    const fs::path temporary = TemporaryBeside(target);
    // "x" would refuse an existing file, but C++17's fopen does not promise
    // it; the name was checked free just above.
    std::FILE* file = std::fopen(temporary.string().c_str(), "wb");
    if (file == nullptr) Fail(shown, std::strerror(errno));

    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    int error = errno;
    const bool flushed = std::fflush(file) == 0;
    if (written && !flushed) error = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && flushed && !closed) error = errno;
    std::error_code ignored;
    if (!written || !flushed || !closed) {
        fs::remove(temporary, ignored);
        Fail(shown, std::strerror(error));
    }
    // A file kept private stays private.
    std::error_code ec;
    const fs::file_status old = fs::status(target, ec);
    if (!ec && fs::is_regular_file(old)) fs::permissions(temporary, old.permissions(), ignored);

    // Replaces an existing file in one step on POSIX and Windows alike.
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ignored);
        Fail(shown, ec.message());
    }
}

namespace {

// Where a chain of symbolic links ends, existing or not.
fs::path FollowLinks(const std::string& name) {
    fs::path path(name);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) break;
        const fs::path to = fs::read_symlink(path, ec);
        if (ec) break;
        path = to.is_absolute() ? to : path.parent_path() / to;
    }
    return path;
}

// The folder the new file is made in must let the user make it.
void CheckFolder(const std::string& name, const fs::path& file, bool fileExists) {
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
#ifdef _WIN32
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) Fail(name, std::strerror(ENOENT));
    (void)fileExists;
#else
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        const int error = errno;
        if (fileExists && error == EACCES) {
            Fail(name, std::string(std::strerror(error)) + " in its folder '" + folder.string() +
                           "', where the new file that replaces it is made");
        }
        Fail(name, std::strerror(error));
    }
#endif
}

}  // namespace

OutputTarget CheckOutput(const std::string& name) {
    OutputTarget target;
    target.name = name;
    if (name == "-") return target;
    target.path = name;
    std::error_code ec;
    const fs::file_status status = fs::status(name, ec);
    const bool exists = fs::exists(status);
    if (exists) {
        if (fs::is_directory(status)) Fail(name, std::strerror(EISDIR));
        if (status.type() == fs::file_type::socket) Fail(name, "a socket is not written to");
#ifdef _WIN32
        if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
            Fail(name, std::strerror(EACCES));
        }
#else
        // Root may write whatever it likes; everyone else only what the
        // permissions allow.
        if (access(name.c_str(), W_OK) != 0) Fail(name, std::strerror(errno));
#endif
        if (!fs::is_regular_file(status)) {
            // A terminal, /dev/null, a FIFO's reader: they expect the bytes
            // in the node itself, which a rename would replace.
            target.kind = OutputTarget::Kind::kInPlace;
            return target;
        }
        const fs::path real = fs::canonical(name, ec);
        if (!ec) target.path = real.string();
    } else if (ec && ec != std::errc::no_such_file_or_directory) {
        Fail(name, ec.message());
    } else {
        target.path = FollowLinks(name).string();
    }
    target.kind = OutputTarget::Kind::kReplace;
    CheckFolder(name, fs::path(target.path), exists);
    return target;
}

void WriteOutput(const OutputTarget& target, const std::string& content, std::ostream& out,
                 const char* what) {
    switch (target.kind) {
        case OutputTarget::Kind::kStandardOutput:
            out << content << std::flush;
            if (!out) {
                throw HostError(kExitOutput,
                                std::string("cannot write ") + what + " to standard output");
            }
            return;
        case OutputTarget::Kind::kReplace: ReplaceFile(target.path, content, target.name); return;
        case OutputTarget::Kind::kInPlace: break;
    }
    std::FILE* file = std::fopen(target.path.c_str(), "wb");
    if (file == nullptr) Fail(target.name, std::strerror(errno));
    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    int error = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && !closed) error = errno;
    if (!written || !closed) Fail(target.name, std::strerror(error));
}

}  // namespace selvane::host
