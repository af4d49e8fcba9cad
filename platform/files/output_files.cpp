// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/files/output_files.h"

#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/files/disk_text_stream.h"
#include "platform/files/drive_table.h"
#include "platform/files/file_places.h"
#include "platform/store/failure.h"
#include "platform/text/charset.h"

namespace kalendro {
namespace {

constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_CLOEXEC;

class DiskFileSystem : public FileSystem {
public:
    DiskFileSystem(std::shared_ptr<DriveTable> drives, std::string charset, std::string workingDirectory)
        : drives_(drives),
          paths_(drives, workingDirectory),
          charset_(std::move(charset)),
          workingDirectory_(std::move(workingDirectory)) {}

    bool DriveExists(std::string_view drive) override {
        const std::optional<DriveEntry> entry = drives_->Find(drive);
        return entry && entry->available;
    }

    bool FolderExists(std::string_view path) override {
        // A path that names no place on this machine holds no folder either; nor is a link on a drive one.
        try {
            const FilePlace folder = paths_.Resolve(path);
            struct stat status {};
            return ::fstatat(folder.Base(), folder.Name(), &status, folder.OnDrive() ? AT_SYMLINK_NOFOLLOW : 0) == 0 &&
                   S_ISDIR(status.st_mode);
        } catch (const Failure&) {
            return false;
        }
    }

    void CreateFolder(std::string_view path) override {
        const FilePlace folder = paths_.Resolve(path);
        if (::mkdirat(folder.Base(), folder.Name(), 0777) != 0) {
            throw folder.FailureFor(errno);
        }
    }

    std::unique_ptr<TextStream> CreateTextFile(std::string_view path, bool overwrite) override {
        FilePlace file = paths_.Resolve(path);
        auto encoder = Encoder(file.shown);
        Descriptor descriptor = file.OnDrive() ? CreateOnDrive(file, overwrite) : CreateNative(file, overwrite);
        return OpenDiskTextStream(std::move(descriptor), std::move(encoder), std::move(file));
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

    static Descriptor CreateNative(const FilePlace& file, bool overwrite) {
        Descriptor descriptor(::open(file.native.c_str(), kCreateFlags | (overwrite ? O_TRUNC : O_EXCL), 0666));
        if (!descriptor.IsOpen()) {
            throw file.FailureFor(errno);
        }
        return descriptor;
    }

    // A link of the file's name on a drive is replaced as a file would be, so that its target, which
    // may lie anywhere, is never written.
    static Descriptor CreateOnDrive(const FilePlace& file, bool overwrite) {
        const int folder = file.folder->Get();
        const int flags = kCreateFlags | O_NOFOLLOW | (overwrite ? O_TRUNC : O_EXCL);
        Descriptor descriptor(::openat(folder, file.name.c_str(), flags, 0666));
        if (!descriptor.IsOpen() && errno == ELOOP && overwrite) {
            if (::unlinkat(folder, file.name.c_str(), 0) != 0) {
                throw file.FailureFor(errno);
            }
            descriptor = Descriptor(::openat(folder, file.name.c_str(), kCreateFlags | O_NOFOLLOW | O_EXCL, 0666));
        }
        if (!descriptor.IsOpen()) {
            throw file.FailureFor(errno);
        }
        return descriptor;
    }

    std::shared_ptr<DriveTable> drives_;
    PathTranslator paths_;
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
