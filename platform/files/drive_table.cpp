// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/files/drive_table.h"

#include <libmount/libmount.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ranges>

#include "platform/store/failure.h"

namespace kalendro {
namespace {

constexpr std::string_view kHomeLetter = "c:";
constexpr char kLastLetter = 'z';

struct TableDeleter {
    void operator()(libmnt_table* table) const { mnt_unref_table(table); }
};
struct IteratorDeleter {
    void operator()(libmnt_iter* iterator) const { mnt_free_iter(iterator); }
};
struct MonitorDeleter {
    void operator()(libmnt_monitor* monitor) const { mnt_unref_monitor(monitor); }
};

// Split by hand: clang 14, which builds the fuzzers, cannot compile views::split over libstdc++ 12.
std::vector<std::string_view> PathParts(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t slash = std::min(path.find('/'), path.size());
        if (slash > 0) {
            parts.push_back(path.substr(0, slash));
        }
        path.remove_prefix(std::min(slash + 1, path.size()));
    }
    return parts;
}

// /media/NAME, /media/USER/NAME, /run/media/USER/NAME or /mnt/NAME.
bool HasDriveShape(std::string_view mountPoint) {
    const std::vector<std::string_view> parts = PathParts(mountPoint);
    const std::size_t depth = parts.size();
    if (depth >= 2 && parts[0] == "media") {
        return depth <= 3;
    }
    if (depth >= 2 && parts[0] == "mnt") {
        return depth == 2;
    }
    return depth == 4 && parts[0] == "run" && parts[1] == "media";
}

bool IsBelow(std::string_view path, std::string_view directory) {
    return path.size() > directory.size() && path.starts_with(directory) && path[directory.size()] == '/';
}

// A file system mounted over another at the same place is still one drive; one mounted inside
// another drive is part of that drive.
std::vector<std::string> WithoutRepeatedOrNested(std::vector<std::string> mountPoints) {
    std::vector<std::string> drives;
    for (const std::string& mountPoint : mountPoints) {
        const bool inside =
            std::ranges::any_of(mountPoints, [&](const std::string& other) { return IsBelow(mountPoint, other); });
        if (!inside && std::ranges::find(drives, mountPoint) == drives.end()) {
            drives.push_back(mountPoint);
        }
    }
    return drives;
}

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr && *user->pw_dir != '\0') {
        return user->pw_dir;
    }
    throw Failure(kDeviceUnavailable, "Device unavailable: drive c: has no home directory");
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::optional<dev_t> DeviceAt(const std::string& directory) {
    struct stat status {};
    if (::stat(directory.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return status.st_dev;
}

std::string LastPart(const std::string& path) { return path.substr(path.rfind('/') + 1); }

bool Holds(std::string_view directory, std::string_view path) {
    if (directory == "/") {
        return path.starts_with('/');
    }
    return path == directory || IsBelow(path, directory);
}

class LibmountMonitor : public MountMonitor {
public:
    LibmountMonitor() : monitor_(mnt_new_monitor()) {
        if (!monitor_ || mnt_monitor_enable_kernel(monitor_.get(), 1) < 0 ||
            (descriptor_ = mnt_monitor_get_fd(monitor_.get())) < 0) {
            throw Failure(kPathFileAccessError, "Path/File access error: the mount table cannot be watched");
        }
    }

    int Descriptor() const override { return descriptor_; }

    void Acknowledge() override {
        while (mnt_monitor_next_change(monitor_.get(), nullptr, nullptr) == 0) {
        }
    }

private:
    std::unique_ptr<libmnt_monitor, MonitorDeleter> monitor_;
    int descriptor_ = -1;
};

}  // namespace

std::string DriveEntry::DisplayText() const { return letter + " [" + label + "]" + (available ? "" : " (removed)"); }

std::vector<std::string> DriveMountPoints(const std::string& mountInfoPath) {
    const std::unique_ptr<libmnt_table, TableDeleter> table(mnt_new_table());
    const std::unique_ptr<libmnt_iter, IteratorDeleter> iterator(mnt_new_iter(MNT_ITER_FORWARD));
    if (!table || !iterator || mnt_table_parse_file(table.get(), mountInfoPath.c_str()) != 0) {
        throw Failure(kPathFileAccessError, "Path/File access error: the mount table " + mountInfoPath +
                                                " cannot be read (" + std::strerror(errno) + ")");
    }
    std::vector<std::string> mountPoints;
    libmnt_fs* fileSystem = nullptr;
    while (mnt_table_next_fs(table.get(), iterator.get(), &fileSystem) == 0) {
        const char* target = mnt_fs_get_target(fileSystem);
        if (target != nullptr && !mnt_fs_is_pseudofs(fileSystem)) {
            mountPoints.push_back(WithoutTrailingSlashes(target));
        }
    }
    std::erase_if(mountPoints, [](const std::string& mountPoint) { return !HasDriveShape(mountPoint); });
    return WithoutRepeatedOrNested(std::move(mountPoints));
}

std::vector<DriveMount> SystemDriveMounts() { return DirectoriesAsMounts(DriveMountPoints("/proc/self/mountinfo"))(); }

MountLister DirectoriesAsMounts(std::vector<std::string> directories) {
    return [directories = std::move(directories)] {
        std::vector<DriveMount> mounts;
        for (const std::string& directory : directories) {
            if (const std::optional<dev_t> device = DeviceAt(directory)) {
                mounts.push_back({directory, *device});
            }
        }
        return mounts;
    };
}

DriveTable::DriveTable(std::string homeDirectory, MountLister mounts) : mounts_(std::move(mounts)) {
    homeDirectory = WithoutTrailingSlashes(std::move(homeDirectory));
    const std::optional<dev_t> device = DeviceAt(homeDirectory);
    entries_.push_back({std::string(kHomeLetter), "home", homeDirectory, device.value_or(0), device.has_value()});
}

std::vector<DriveEntry> DriveTable::Refresh() {
    DriveEntry& home = entries_.front();
    home.available = DeviceAt(home.directory) == home.device;
    TakeIn(mounts_ ? mounts_() : std::vector<DriveMount>{});
    return entries_;
}

void DriveTable::TakeIn(const std::vector<DriveMount>& mounted) {
    // A file system seen gone is not taken back even when the same device number shows up at the same
    // place again: that may well be another player, given the number the first one left free.
    std::vector<DriveMount> unseen;
    std::vector<bool> stillThere(entries_.size(), false);
    for (const DriveMount& mount : mounted) {
        const auto known = std::find_if(entries_.begin() + 1, entries_.end(), [&](const DriveEntry& entry) {
            return entry.available && entry.directory == mount.mountPoint && entry.device == mount.device;
        });
        if (known != entries_.end()) {
            stillThere[known - entries_.begin()] = true;
        } else {
            unseen.push_back(mount);
        }
    }
    for (std::size_t index = 1; index < entries_.size(); ++index) {
        entries_[index].available = stillThere[index];
    }
    std::ranges::sort(unseen, {}, &DriveMount::mountPoint);
    for (const DriveMount& mount : unseen) {
        const char letter = static_cast<char>('c' + entries_.size());
        if (letter > kLastLetter) {
            break;
        }
        entries_.push_back({std::string{letter, ':'}, LastPart(mount.mountPoint), mount.mountPoint, mount.device});
    }
}

std::optional<DriveEntry> DriveTable::Find(std::string_view driveText) {
    if (driveText.size() < 2 || driveText[1] != ':') {
        return std::nullopt;
    }
    const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(driveText[0])));
    for (const DriveEntry& entry : Refresh()) {
        if (entry.letter[0] == letter) {
            return entry;
        }
    }
    return std::nullopt;
}

std::shared_ptr<DriveTable> SystemDriveTable() {
    static const auto table = std::make_shared<DriveTable>(HomeDirectory(), SystemDriveMounts);
    return table;
}

std::string DriveHolding(const std::vector<DriveEntry>& drives, std::string_view directory) {
    const DriveEntry* deepest = nullptr;
    for (const DriveEntry& drive : drives) {
        if (drive.available && Holds(drive.directory, directory) &&
            (deepest == nullptr || drive.directory.size() > deepest->directory.size())) {
            deepest = &drive;
        }
    }
    return deepest == nullptr ? std::string(kHomeLetter) : deepest->letter;
}

std::unique_ptr<MountMonitor> WatchSystemMounts() { return std::make_unique<LibmountMonitor>(); }

}  // namespace kalendro
