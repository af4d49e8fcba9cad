#include "platform/files/output_files.h"

#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/files/drive_table.h"
#include "platform/store/failure.h"
#include "platform/text/charset.h"

namespace kalendro {
namespace {

// Writes are gathered up to this size: a system call per line would dominate a large export.
constexpr std::size_t kWriteBatchSize = 64 * 1024;
constexpr char kInvalidNameCharacters[] = "*?\"<>|:";

// An open file descriptor, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int descriptor = -1) : descriptor_(descriptor) {}
    Descriptor(Descriptor&& other) noexcept : descriptor_(other.Release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(descriptor_, other.descriptor_);
        return *this;
    }
    ~Descriptor() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }

    int Get() const { return descriptor_; }
    bool IsOpen() const { return descriptor_ >= 0; }
    int Release() { return std::exchange(descriptor_, -1); }

private:
    int descriptor_;
};

// A path as the program was given it and as the disk knows it; failures name both. A drive path is
// reached below the drive's root, held open from the moment its device was checked, so that nothing
// mounted meanwhile can take the bytes.
struct ResolvedPath {
    std::shared_ptr<Descriptor> root;  // none: native is used as it stands
    std::string relative;              // below root: "./Calendars/vCalendar.ics"
    std::string native;
    std::string shown;

    int Base() const { return root ? root->Get() : AT_FDCWD; }
    const char* Name() const { return root ? relative.c_str() : native.c_str(); }
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
        if (end > 0) {
            parts.push_back(path.substr(0, end));
        }
        path.remove_prefix(std::min(end + 1, path.size()));
    }
    return parts;
}

void CheckNames(const std::vector<std::string_view>& names, const std::string& shownPath) {
    for (const std::string_view name : names) {
        if (IsInvalidName(name)) {
            throw Failure(kBadFileName, "Bad file name: " + shownPath);
        }
    }
}

std::string JoinUnder(std::string directory, const std::vector<std::string_view>& names) {
    for (const std::string_view name : names) {
        if (directory.empty() || directory.back() != '/') {
            directory += '/';
        }
        directory += name;
    }
    return directory;
}

Failure SyncFailure(int error, const std::string& shownPath) {
    return {FailureFromErrno(error, shownPath).Number(),
            "Could not sync to the device: " + shownPath + " (" + std::strerror(error) + ")"};
}

// The folder the file was made in, as a name below the same base.
std::string FolderOf(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : name.substr(0, slash);
}

// A text stream on an open file. Bytes are batched; a write the disk refuses surfaces at the write
// that sends the batch, or at Close at the latest.
class DiskTextStream : public TextStream {
public:
    DiskTextStream(Descriptor file, std::unique_ptr<CharsetConverter> encoder, ResolvedPath place)
        : file_(std::move(file)), encoder_(std::move(encoder)), place_(std::move(place)) {}

    // Released without Close on a failure path: keep what was written, report nothing.
    ~DiskTextStream() override {
        if (file_.IsOpen()) {
            WritePending(file_.Get());
        }
    }

    void WriteLine(std::string_view text) override { Append(text, "\r\n"); }
    void Write(std::string_view text) override { Append(text, ""); }

    // The bytes are on the device, and the file still where it was made, before Close returns.
    void Close() override {
        if (!file_.IsOpen()) {
            return;
        }
        Descriptor file = std::move(file_);
        if (const int error = WritePending(file.Get()); error != 0) {
            throw FailureFromErrno(error, place_.shown);
        }
        if (::fsync(file.Get()) != 0) {
            throw SyncFailure(errno, place_.shown);
        }
        CheckStillInPlace(file.Get());
        SyncFolder();
        if (::close(file.Release()) != 0) {
            throw FailureFromErrno(errno, place_.shown);
        }
    }

private:
    void Append(std::string_view text, std::string_view lineEnd) {
        if (!file_.IsOpen()) {
            throw Failure(kInvalidArgument, "Write to a closed file: " + place_.shown);
        }
        encoder_->AppendConverted(text, pending_);
        pending_ += lineEnd;
        if (pending_.size() < kWriteBatchSize) {
            return;
        }
        if (const int error = WritePending(file_.Get()); error != 0) {
            throw FailureFromErrno(error, place_.shown);
        }
    }

    // Sends the pending bytes; on a refusal keeps those not yet written and returns the errno.
    int WritePending(int descriptor) {
        std::size_t written = 0;
        int error = 0;
        while (written < pending_.size() && error == 0) {
            const ssize_t count = ::write(descriptor, pending_.data() + written, pending_.size() - written);
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

    // A folder removed or renamed, or a drive gone, while the file was written leaves the bytes
    // where the user will never find them.
    void CheckStillInPlace(int descriptor) const {
        struct stat written {};
        struct stat found {};
        if (::fstat(descriptor, &written) != 0 || written.st_nlink == 0 || ::stat(place_.native.c_str(), &found) != 0 ||
            found.st_dev != written.st_dev || found.st_ino != written.st_ino) {
            throw Failure(kFileNotFound, "File not found: " + place_.shown + " is no longer where it was written");
        }
    }

    // The file's entry in its folder is on the device too.
    void SyncFolder() const {
        const std::string name = place_.root ? FolderOf(place_.relative) : FolderOf(place_.native);
        const Descriptor folder(::openat(place_.Base(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!folder.IsOpen() || ::fsync(folder.Get()) != 0) {
            throw SyncFailure(errno, place_.shown);
        }
    }

    Descriptor file_;
    std::unique_ptr<CharsetConverter> encoder_;
    ResolvedPath place_;
    std::string pending_;
};

class DiskFileSystem : public FileSystem {
public:
    DiskFileSystem(std::shared_ptr<DriveTable> drives, std::string charset, std::string workingDirectory)
        : drives_(std::move(drives)), charset_(std::move(charset)), workingDirectory_(std::move(workingDirectory)) {}

    bool DriveExists(std::string_view drive) override {
        const std::optional<DriveEntry> entry = drives_->Find(drive);
        return entry && entry->available;
    }

    bool FolderExists(std::string_view path) override {
        // A path that names no place on this machine holds no folder either.
        try {
            const ResolvedPath folder = Resolve(path);
            struct stat status {};
            return ::fstatat(folder.Base(), folder.Name(), &status, 0) == 0 && S_ISDIR(status.st_mode);
        } catch (const Failure&) {
            return false;
        }
    }

    void CreateFolder(std::string_view path) override {
        const ResolvedPath folder = Resolve(path);
        if (::mkdirat(folder.Base(), folder.Name(), 0777) != 0) {
            throw FailureFromErrno(errno, folder.shown);
        }
    }

    std::unique_ptr<TextStream> CreateTextFile(std::string_view path, bool overwrite) override {
        ResolvedPath file = Resolve(path);
        auto encoder = Encoder(file.shown);
        const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL);
        Descriptor descriptor(::openat(file.Base(), file.Name(), flags, 0666));
        if (!descriptor.IsOpen()) {
            throw FailureFromErrno(errno, file.shown);
        }
        return std::make_unique<DiskTextStream>(std::move(descriptor), std::move(encoder), std::move(file));
    }

    std::vector<DriveEntry> Drives() override { return drives_->Refresh(); }

    std::string CurrentDrive() override { return DriveHolding(drives_->Refresh(), workingDirectory_); }

private:
    std::unique_ptr<CharsetConverter> Encoder(const std::string& shownPath) const {
        try {
            return std::make_unique<CharsetConverter>("UTF-8", charset_);
        } catch (const Failure& failure) {
            throw Failure(failure.Number(), failure.Description() + ": " + shownPath);
        }
    }

    ResolvedPath Resolve(std::string_view path) {
        if (path.empty()) {
            throw Failure(kBadFileName, "Bad file name: the path is empty");
        }
        return IsDrivePath(path) ? ResolveDrivePath(path) : ResolveNativePath(path);
    }

    // "d:\Calendars\x.ics": the drive's directory, then the names below it. Nothing may lead
    // out of the drive, so ".." is refused; nor may the bytes go to another device than the letter's.
    ResolvedPath ResolveDrivePath(std::string_view path) {
        const std::optional<DriveEntry> drive = drives_->Find(path);
        if (!drive) {
            throw Failure(kDeviceUnavailable, "Device unavailable: " + std::string(path) + " (there is no such drive)");
        }
        std::vector<std::string_view> names = SplitPath(path.substr(2), "\\/");
        std::erase(names, std::string_view("."));
        ResolvedPath resolved{nullptr, JoinUnder(".", names), JoinUnder(drive->directory, names), ""};
        resolved.shown = std::string(path) + " (" + resolved.native + ")";
        if (std::ranges::find(names, std::string_view("..")) != names.end()) {
            throw Failure(kBadFileName, "Bad file name (leads out of the drive): " + resolved.shown);
        }
        CheckNames(names, resolved.shown);
        resolved.root = OpenDriveRoot(*drive, resolved.shown);
        return resolved;
    }

    static std::shared_ptr<Descriptor> OpenDriveRoot(const DriveEntry& drive, const std::string& shownPath) {
        if (!drive.available) {
            throw Failure(kDeviceUnavailable,
                          "Device unavailable: " + shownPath + " (the device of drive " + drive.letter + " is gone)");
        }
        auto root = std::make_shared<Descriptor>(::open(drive.directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat status {};
        if (!root->IsOpen() || ::fstat(root->Get(), &status) != 0) {
            throw FailureFromErrno(errno, shownPath);
        }
        if (status.st_dev != drive.device) {
            throw Failure(kDeviceUnavailable, "Device unavailable: " + shownPath + " (another device is at " +
                                                  drive.directory + " than drive " + drive.letter + "'s)");
        }
        return root;
    }

    ResolvedPath ResolveNativePath(std::string_view path) {
        const std::string given(path);
        ResolvedPath resolved{nullptr, "", given, given};
        if (!path.starts_with('/')) {
            resolved.native = JoinUnder(workingDirectory_, {path});
            resolved.shown = given + " (" + resolved.native + ")";
        }
        CheckNames(SplitPath(path, "/"), resolved.shown);
        return resolved;
    }

    std::shared_ptr<DriveTable> drives_;
    std::string charset_;
    std::string workingDirectory_;
};

std::string WorkingDirectory() {
    std::string directory(4096, '\0');
    while (::getcwd(directory.data(), directory.size()) == nullptr) {
        if (errno != ERANGE) {
            throw FailureFromErrno(errno, "the working directory");
        }
        directory.resize(directory.size() * 2);
    }
    directory.resize(std::strlen(directory.c_str()));
    return directory;
}

}  // namespace

std::unique_ptr<FileSystem> OpenDiskFileSystem() {
    return OpenDiskFileSystem(SystemDriveTable(), nl_langinfo(CODESET), WorkingDirectory());
}

std::unique_ptr<FileSystem> OpenDiskFileSystem(std::shared_ptr<DriveTable> drives, std::string charset,
                                               std::string workingDirectory) {
    // Past a file-size limit (ulimit -f) the signal would end the process without a word; ignored, the
    // write fails with EFBIG instead and becomes a failure naming the file.
    std::signal(SIGXFSZ, SIG_IGN);
    return std::make_unique<DiskFileSystem>(std::move(drives), std::move(charset), std::move(workingDirectory));
}

}  // namespace kalendro
