// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalendro {

// One entry of the drive table: a letter with its colon ("d:"), the label shown after it, the
// directory that plays the drive's root and the device (st_dev) that the letter stands for there.
// A drive is available while that device is still found at that directory.
struct DriveEntry {
    std::string letter;
    std::string label;
    std::string directory;
    dev_t device = 0;
    bool available = true;
    // "d: [IPOD]", or "d: [IPOD] (removed)" once the drive is no longer available
    std::string DisplayText() const;
};

// A file system that a user would call a drive: where it is mounted and the device (st_dev) found there.
struct DriveMount {
    std::string mountPoint;
    dev_t device = 0;
};

// Reads what is mounted now, as drives.
using MountLister = std::function<std::vector<DriveMount>()>;

// The mount points of a mount table (a mountinfo file, read through libmount) that a user would call
// drives: real file systems mounted directly at /media/NAME, /media/USER/NAME, /run/media/USER/NAME or
// /mnt/NAME, in the order of the table. Whatever is mounted below another of them is part of that
// drive, not a drive of its own.
std::vector<std::string> DriveMountPoints(const std::string& mountInfoPath);

// The drives of this process's mount table, each with the device its mount point is on now.
std::vector<DriveMount> SystemDriveMounts();

// Each of the directories that exists, as a drive on the device it is on now.
MountLister DirectoriesAsMounts(std::vector<std::string> directories);

// The letters of the drives. c: is the home directory; every other file system gets, when first seen,
// the next letter never given before (those seen together in the order of their mount points), and
// keeps it for the table's life. A letter stands for its mount point and device: once either no longer
// holds, the letter's drive is unavailable for good and no other file system ever takes the letter.
class DriveTable {
public:
    explicit DriveTable(std::string homeDirectory, MountLister mounts = {});

    // Reads the mounts anew and gives every letter given so far, c: first, each marked available or not.
    std::vector<DriveEntry> Refresh();

    // The entry of the letter that the first two characters name ("D:", "d: [IPOD]") after a fresh
    // read of the mounts, or nothing when that letter was never given.
    std::optional<DriveEntry> Find(std::string_view driveText);

private:
    void TakeIn(const std::vector<DriveMount>& mounted);

    MountLister mounts_;
    std::vector<DriveEntry> entries_;
};

// The one table of this program's drives over the system's mounts and home directory, so that letters
// stay with their file systems for as long as the program runs.
std::shared_ptr<DriveTable> SystemDriveTable();

// The letter of the available drive whose directory holds the given directory (the deepest such), else
// "c:".
std::string DriveHolding(const std::vector<DriveEntry>& drives, std::string_view directory);

// Tells of changes of the mount table through a descriptor that a window's event loop can watch.
class MountMonitor {
public:
    virtual ~MountMonitor() = default;
    // Readable while a change has not been acknowledged.
    virtual int Descriptor() const = 0;
    // Takes in the pending changes, so that the descriptor stays quiet until the next one.
    virtual void Acknowledge() = 0;
};

using MountWatcher = std::function<std::unique_ptr<MountMonitor>()>;

// Watches this process's mount table through libmount's monitor.
std::unique_ptr<MountMonitor> WatchSystemMounts();

}  // namespace kalendro
