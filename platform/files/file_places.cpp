// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/files/file_places.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/files/drive_table.h"

namespace kalendro {
namespace {

constexpr char kInvalidNameCharacters[] = "*?\"<>|:";

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

bool IsLink(int folder, const char* name) {
    struct stat status {};
    return ::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
}

// An open, mkdir or create that met a link below a drive's root fails with one of these.
bool MayBeALink(int error) { return error == ELOOP || error == ENOTDIR || error == EEXIST; }

Failure FailureBelowDrive(int folder, const char* name, int error, const std::string& shownPath,
                          const std::string& nativePath) {
    if (MayBeALink(error) && IsLink(folder, name)) {
        return {kPathFileAccessError, "Path/File access error: " + shownPath + " (" + nativePath +
                                          " is a symbolic link, and links are not followed on a drive)"};
    }
    return FailureFromErrno(error, shownPath);
}

std::shared_ptr<Descriptor> OpenDriveRoot(const DriveEntry& drive, const std::string& shownPath) {
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

// The folder that holds the last of the names, reached from the root one name at a time.
std::shared_ptr<Descriptor> OpenFolderBelow(std::shared_ptr<Descriptor> folder, std::string native,
                                            const std::vector<std::string_view>& names, const std::string& shownPath) {
    for (std::size_t index = 0; index + 1 < names.size(); ++index) {
        const std::string name(names[index]);
        native = JoinUnder(std::move(native), {names[index]});
        auto next = std::make_shared<Descriptor>(
            ::openat(folder->Get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next->IsOpen()) {
            throw FailureBelowDrive(folder->Get(), name.c_str(), errno, shownPath, native);
        }
        folder = std::move(next);
    }
    return folder;
}

}  // namespace

Descriptor::~Descriptor() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

int FilePlace::Base() const { return OnDrive() ? folder->Get() : AT_FDCWD; }

Failure FilePlace::FailureFor(int error) const {
    return OnDrive() ? FailureBelowDrive(folder->Get(), name.c_str(), error, shown, native)
                     : FailureFromErrno(error, shown);
}

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

PathTranslator::PathTranslator(std::shared_ptr<DriveTable> drives, std::string workingDirectory)
    : drives_(std::move(drives)), workingDirectory_(std::move(workingDirectory)) {}

FilePlace PathTranslator::Resolve(std::string_view path) const {
    if (path.empty()) {
        throw Failure(kBadFileName, "Bad file name: the path is empty");
    }
    return IsDrivePath(path) ? ResolveDrivePath(path) : ResolveNativePath(path);
}

// "d:\Calendars\x.ics": the drive's directory, then the names below it.
FilePlace PathTranslator::ResolveDrivePath(std::string_view path) const {
    const std::optional<DriveEntry> drive = drives_->Find(path);
    if (!drive) {
        throw Failure(kDeviceUnavailable, "Device unavailable: " + std::string(path) + " (there is no such drive)");
    }
    std::vector<std::string_view> names = SplitPath(path.substr(2), "\\/");
    std::erase(names, std::string_view("."));
    FilePlace place{nullptr, names.empty() ? "." : std::string(names.back()), JoinUnder(drive->directory, names), ""};
    place.shown = std::string(path) + " (" + place.native + ")";
    if (std::ranges::find(names, std::string_view("..")) != names.end()) {
        throw Failure(kBadFileName, "Bad file name (leads out of the drive): " + place.shown);
    }
    CheckNames(names, place.shown);
    place.folder = OpenFolderBelow(OpenDriveRoot(*drive, place.shown), drive->directory, names, place.shown);
    return place;
}

FilePlace PathTranslator::ResolveNativePath(std::string_view path) const {
    const std::string given(path);
    FilePlace place{nullptr, "", given, given};
    if (!path.starts_with('/')) {
        place.native = JoinUnder(workingDirectory_, {path});
        place.shown = given + " (" + place.native + ")";
    }
    CheckNames(SplitPath(path, "/"), place.shown);
    return place;
}

}  // namespace kalendro
