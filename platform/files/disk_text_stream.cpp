// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/files/disk_text_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace kalendro {
namespace {

// Writes are gathered up to this size: a system call per line would dominate a large export.
constexpr std::size_t kWriteBatchSize = 64 * 1024;

Failure SyncFailure(int error, const std::string& shownPath) {
    return {FailureFromErrno(error, shownPath).Number(),
            "Could not sync to the device: " + shownPath + " (" + std::strerror(error) + ")"};
}

// The folder of a native path.
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
    DiskTextStream(Descriptor file, std::unique_ptr<CharsetConverter> encoder, FilePlace place)
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
        const Descriptor folder(place_.OnDrive()
                                    ? ::openat(place_.folder->Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                    : ::open(FolderOf(place_.native).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!folder.IsOpen() || ::fsync(folder.Get()) != 0) {
            throw SyncFailure(errno, place_.shown);
        }
    }

    Descriptor file_;
    std::unique_ptr<CharsetConverter> encoder_;
    FilePlace place_;
    std::string pending_;
};

}  // namespace

std::unique_ptr<TextStream> OpenDiskTextStream(Descriptor file, std::unique_ptr<CharsetConverter> encoder,
                                               FilePlace place) {
    return std::make_unique<DiskTextStream>(std::move(file), std::move(encoder), std::move(place));
}

}  // namespace kalendro
