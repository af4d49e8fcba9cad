#include "platform/output_files.h"

#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/charset.h"
#include "platform/drive_table.h"
#include "platform/failure.h"

namespace kalendro {
namespace {

// Writes are gathered up to this size: a system call per line would dominate a large export.
constexpr std::size_t kWriteBatchSize = 64 * 1024;
constexpr char kInvalidNameCharacters[] = "*?\"<>|:";

// A path as the program was given it and as the disk knows it; failures name both.
struct ResolvedPath {
    std::string native;
    std::string shown;
};

Failure FailureFromErrno(int error, const std::string& shownPath) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return {kPathNotFound, "Path not found: " + shownPath};
        case EACCES:
        case EPERM:
        case EROFS:
            return {kPermissionDenied, "Permission denied: " + shownPath};
        case ENOSPC:
        case EDQUOT:
            return {kDiskFull, "Disk full: " + shownPath};
        case EEXIST:
            return {kFileAlreadyExists, "File already exists: " + shownPath};
        case ENAMETOOLONG:
            return {kBadFileName, "Bad file name (too long): " + shownPath};
        default:
            return {kPathFileAccessError, "Path/File access error: " + shownPath + " (" + std::strerror(error) + ")"};
    }
}

bool IsDrivePath(std::string_view path) {
    return path.size() >= 2 && ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z')) &&
           path[1] == ':';
}

bool IsInvalidName(std::string_view name) {
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || std::strchr(kInvalidNameCharacters, c) != nullptr) {
            return true;
        }
    }
    return false;
}

std::vector<std::string_view> SplitPath(std::string_view path, std::string_view separators) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t end = std::min(path.find_first_of(separators), path.size());
        if (end > 0)
            parts.push_back(path.substr(0, end));
        path.remove_prefix(std::min(end + 1, path.size()));
    }
    return parts;
}

void CheckNames(const std::vector<std::string_view>& names, const std::string& shownPath) {
    for (const std::string_view name : names) {
        if (IsInvalidName(name))
            throw Failure(kBadFileName, "Bad file name: " + shownPath);
    }
}

std::string JoinUnder(std::string directory, const std::vector<std::string_view>& names) {
    for (const std::string_view name : names) {
        if (directory.empty() || directory.back() != '/')
            directory += '/';
        directory += name;
    }
    return directory;
}

// A text stream on an open file descriptor. Bytes are batched; a write the disk refuses surfaces
// at the write that sends the batch, or at Close at the latest.
class DiskTextStream : public TextStream {
public:
    DiskTextStream(int descriptor, std::unique_ptr<CharsetConverter> encoder, std::string shownPath)
        : descriptor_(descriptor), encoder_(std::move(encoder)), shownPath_(std::move(shownPath)) {}

    ~DiskTextStream() override {
        // Released without Close on a failure path: keep what was written, report nothing.
        if (descriptor_ >= 0) {
            WritePending();
            ::close(descriptor_);
        }
    }

    void WriteLine(std::string_view text) override { Append(text, "\r\n"); }
    void Write(std::string_view text) override { Append(text, ""); }

    void Close() override {
        if (descriptor_ < 0)
            return;
        int error = WritePending();
        if (::close(std::exchange(descriptor_, -1)) != 0 && error == 0)
            error = errno;
        if (error != 0)
            throw FailureFromErrno(error, shownPath_);
    }

private:
    void Append(std::string_view text, std::string_view lineEnd) {
        if (descriptor_ < 0)
            throw Failure(kInvalidArgument, "Write to a closed file: " + shownPath_);
        encoder_->AppendConverted(text, pending_);
        pending_ += lineEnd;
        if (pending_.size() < kWriteBatchSize)
            return;
        if (const int error = WritePending(); error != 0)
            throw FailureFromErrno(error, shownPath_);
    }

    // Sends the pending bytes; on a refusal keeps those not yet written and returns the errno.
    int WritePending() {
        std::size_t written = 0;
        int error = 0;
        while (written < pending_.size() && error == 0) {
            const ssize_t count = ::write(descriptor_, pending_.data() + written, pending_.size() - written);
            if (count > 0) {
                written += static_cast<std::size_t>(count);
            } else if (count == 0) {
                error = EIO;
            } else if (errno != EINTR) {
                error = errno;
            }
        }
        pending_.erase(0, written);
        return error;
    }

    int descriptor_;
    std::unique_ptr<CharsetConverter> encoder_;
    std::string shownPath_;
    std::string pending_;
};

class DiskFileSystem : public FileSystem {
public:
    DiskFileSystem(DriveLister drives, std::string charset, std::string workingDirectory)
        : drives_(std::move(drives)), charset_(std::move(charset)), workingDirectory_(std::move(workingDirectory)) {}

    bool DriveExists(std::string_view drive) override { return FindDrive(drives_(), drive) != nullptr; }

    bool FolderExists(std::string_view path) override {
        // A path that names no place on this machine holds no folder either.
        try {
            struct stat status {};
            return ::stat(Resolve(path).native.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
        } catch (const Failure&) {
            return false;
        }
    }

    void CreateFolder(std::string_view path) override {
        const ResolvedPath folder = Resolve(path);
        if (::mkdir(folder.native.c_str(), 0777) != 0)
            throw FailureFromErrno(errno, folder.shown);
    }

    std::unique_ptr<TextStream> CreateTextFile(std::string_view path, bool overwrite) override {
        const ResolvedPath file = Resolve(path);
        auto encoder = std::make_unique<CharsetConverter>("UTF-8", charset_);
        const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL);
        const int descriptor = ::open(file.native.c_str(), flags, 0666);
        if (descriptor < 0)
            throw FailureFromErrno(errno, file.shown);
        return std::make_unique<DiskTextStream>(descriptor, std::move(encoder), file.shown);
    }

    std::vector<DriveEntry> Drives() override { return drives_(); }

    std::string CurrentDrive() override { return DriveHolding(drives_(), workingDirectory_); }

private:
    ResolvedPath Resolve(std::string_view path) {
        if (path.empty())
            throw Failure(kBadFileName, "Bad file name: the path is empty");
        return IsDrivePath(path) ? ResolveDrivePath(path) : ResolveNativePath(path);
    }

    // "d:\Calendars\x.ics": the drive's directory, then the names below it. Nothing may lead
    // out of the drive, so ".." is refused.
    ResolvedPath ResolveDrivePath(std::string_view path) {
        const std::vector<DriveEntry> drives = drives_();
        const DriveEntry* drive = FindDrive(drives, path);
        if (drive == nullptr)
            throw Failure(kDeviceUnavailable, "Device unavailable: " + std::string(path));
        std::vector<std::string_view> names = SplitPath(path.substr(2), "\\/");
        std::erase(names, std::string_view("."));
        const std::string native = JoinUnder(drive->directory, names);
        const std::string shown = std::string(path) + " (" + native + ")";
        if (std::ranges::find(names, std::string_view("..")) != names.end()) {
            throw Failure(kBadFileName, "Bad file name (leads out of the drive): " + shown);
        }
        CheckNames(names, shown);
        return {native, shown};
    }

    ResolvedPath ResolveNativePath(std::string_view path) {
        const std::string given(path);
        ResolvedPath resolved{given, given};
        if (!path.starts_with('/')) {
            resolved.native = JoinUnder(workingDirectory_, {path});
            resolved.shown = given + " (" + resolved.native + ")";
        }
        CheckNames(SplitPath(path, "/"), resolved.shown);
        return resolved;
    }

    DriveLister drives_;
    std::string charset_;
    std::string workingDirectory_;
};

std::string WorkingDirectory() {
    std::string directory(4096, '\0');
    while (::getcwd(directory.data(), directory.size()) == nullptr) {
        if (errno != ERANGE)
            throw FailureFromErrno(errno, "the working directory");
        directory.resize(directory.size() * 2);
    }
    directory.resize(std::strlen(directory.c_str()));
    return directory;
}

}  // namespace

std::unique_ptr<FileSystem> OpenDiskFileSystem() {
    return OpenDiskFileSystem(ListSystemDrives, nl_langinfo(CODESET), WorkingDirectory());
}

std::unique_ptr<FileSystem> OpenDiskFileSystem(DriveLister drives, std::string charset, std::string workingDirectory) {
    return std::make_unique<DiskFileSystem>(std::move(drives), std::move(charset), std::move(workingDirectory));
}

}  // namespace kalendro
