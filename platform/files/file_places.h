// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/store/failure.h"

namespace kalendro {

class DriveTable;

// An open file descriptor, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int descriptor = -1) : descriptor_(descriptor) {}
    Descriptor(Descriptor&& other) noexcept : descriptor_(other.Release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(descriptor_, other.descriptor_);
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();

    int Get() const { return descriptor_; }
    bool IsOpen() const { return descriptor_ >= 0; }
    int Release() { return std::exchange(descriptor_, -1); }

private:
    int descriptor_;
};

// A path as the program was given it and as the disk knows it; failures name both. A drive path is
// reached through its folder, held open from the moment the drive's device was checked and walked
// down to without following any link, so that neither a mount made meanwhile nor a link on the drive
// can take the bytes elsewhere. A native path is the user's own and stands as it is, links and all.
struct FilePlace {
    std::shared_ptr<Descriptor> folder;  // none: native is used as it stands
    std::string name;                    // the last name below folder
    std::string native;
    std::string shown;

    bool OnDrive() const { return folder != nullptr; }
    int Base() const;
    const char* Name() const { return OnDrive() ? name.c_str() : native.c_str(); }
    // The failure for errno after an operation on the place; a link where a link is not followed says so.
    Failure FailureFor(int error) const;
};

Failure FailureFromErrno(int error, const std::string& shownPath);

// Translates Windows paths ("d:\Calendars\vCalendar.ics") through the drive table, and native paths
// from the working directory. Nothing may lead out of a drive: ".." is refused, links below its root
// are not followed, and the bytes go to no other device than the letter's.
class PathTranslator {
public:
    PathTranslator(std::shared_ptr<DriveTable> drives, std::string workingDirectory);

    FilePlace Resolve(std::string_view path) const;

private:
    FilePlace ResolveDrivePath(std::string_view path) const;
    FilePlace ResolveNativePath(std::string_view path) const;

    std::shared_ptr<DriveTable> drives_;
    std::string workingDirectory_;
};

}  // namespace kalendro
