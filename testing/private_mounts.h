// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files/drive_table.h"

namespace kalendro::testing {

// Small real file systems for a test, mounted in a mount namespace of the test's own process so that
// nothing outside it sees them; unmounted when the object goes. Mounting needs root: SkipReason says
// why it cannot be done here, empty when it can.
class PrivateMounts {
public:
    PrivateMounts() {
        if (::unshare(CLONE_NEWNS) != 0) {
            skipReason_ = Explained("a private mount namespace (unshare) needs root");
        } else if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            skipReason_ = Explained("mounts cannot be made private here");
        }
    }
    ~PrivateMounts() {
        for (auto at = mounted_.rbegin(); at != mounted_.rend(); ++at) {
            ::umount2(at->c_str(), MNT_DETACH);
        }
    }
    PrivateMounts(const PrivateMounts&) = delete;
    PrivateMounts& operator=(const PrivateMounts&) = delete;

    const std::string& SkipReason() const { return skipReason_; }

    // A tmpfs of the given size at the directory, made when missing.
    void MountSmall(const std::filesystem::path& at, std::size_t bytes) {
        std::filesystem::create_directories(at);
        const std::string options = "size=" + std::to_string(bytes);
        if (::mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            throw std::runtime_error(Explained("cannot mount a tmpfs at " + at.string()));
        }
        mounted_.push_back(at);
    }

    void Unmount(const std::filesystem::path& at) {
        if (::umount2(at.c_str(), 0) != 0) {
            throw std::runtime_error(Explained("cannot unmount " + at.string()));
        }
        std::erase(mounted_, at);
    }

private:
    static std::string Explained(const std::string& what) { return what + " (" + std::strerror(errno) + ")"; }

    std::string skipReason_;
    std::vector<std::filesystem::path> mounted_;
};

// The drives among the directories: those that are mount points now (on another device than their
// parent), as the system's mount table would list them.
inline MountLister MountPointsAmong(std::vector<std::filesystem::path> directories) {
    return [directories = std::move(directories)] {
        std::vector<DriveMount> mounts;
        for (const std::filesystem::path& directory : directories) {
            struct stat self {};
            struct stat parent {};
            if (::stat(directory.c_str(), &self) == 0 && ::stat(directory.parent_path().c_str(), &parent) == 0 &&
                self.st_dev != parent.st_dev) {
                mounts.push_back({directory.string(), self.st_dev});
            }
        }
        return mounts;
    };
}

}  // namespace kalendro::testing
