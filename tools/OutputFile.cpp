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

void ReplaceFile(const std::string& path, const std::string& content) {
    const fs::path target(path);
    const fs::path temporary = TemporaryBeside(target);
    // "x" would refuse an existing file, but C++17's fopen does not promise
    // it; the name was checked free just above.
    std::FILE* file = std::fopen(temporary.string().c_str(), "wb");
    if (file == nullptr) Fail(path, std::strerror(errno));

    const bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
    int error = errno;
    const bool flushed = std::fflush(file) == 0;
    if (written && !flushed) error = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && flushed && !closed) error = errno;
    std::error_code ignored;
    if (!written || !flushed || !closed) {
        fs::remove(temporary, ignored);
        Fail(path, std::strerror(error));
    }

    // Replaces an existing file in one step on POSIX and Windows alike.
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ignored);
        Fail(path, ec.message());
    }
}

}  // namespace selvane::host
