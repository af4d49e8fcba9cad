#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/output_files.h"

namespace kalendro {

// A field of /proc/self/mounts with its octal escapes decoded ("\040" stands for a blank).
std::string DecodeMountField(std::string_view field);

// The drive table for the given text of /proc/self/mounts: c: is the home directory, then d: to z:
// the mount points under /media, /run/media and /mnt in the order of their paths, each labelled
// with the last part of its path. Drives past z: are left out.
std::vector<DriveEntry> DrivesFromMounts(std::string_view mountsText, const std::string& homeDirectory);

// The entry whose letter the first two characters of the text name ("D:", "d: [IPOD]"), or null.
const DriveEntry* FindDrive(const std::vector<DriveEntry>& drives, std::string_view driveText);

// The letter of the drive whose directory holds the given directory (the deepest such), else "c:".
std::string DriveHolding(const std::vector<DriveEntry>& drives, std::string_view directory);

}  // namespace kalendro
