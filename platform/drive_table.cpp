#include "platform/drive_table.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/failure.h"

namespace kalendro {
namespace {

constexpr std::string_view kHomeLetter = "c:";
constexpr std::string_view kRemovableRoots[] = {"/media/", "/run/media/", "/mnt/"};

bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

bool IsOctalEscapeAt(std::string_view field, std::size_t at) {
    return field[at] == '\\' && at + 3 < field.size() && IsOctalDigit(field[at + 1]) && IsOctalDigit(field[at + 2]) &&
           IsOctalDigit(field[at + 3]);
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

bool IsRemovableMountPoint(std::string_view mountPoint) {
    return std::any_of(std::begin(kRemovableRoots), std::end(kRemovableRoots), [&](std::string_view root) {
        return mountPoint.size() > root.size() && mountPoint.starts_with(root);
    });
}

std::vector<std::string> RemovableMountPoints(std::string_view mountsText) {
    std::vector<std::string> mountPoints;
    std::istringstream lines{std::string(mountsText)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device;
        std::string mountPoint;
        if (!(fields >> device >> mountPoint))
            continue;
        mountPoint = WithoutTrailingSlashes(DecodeMountField(mountPoint));
        if (IsRemovableMountPoint(mountPoint))
            mountPoints.push_back(mountPoint);
    }
    // A file system mounted over another at the same place is still one drive.
    std::sort(mountPoints.begin(), mountPoints.end());
    mountPoints.erase(std::unique(mountPoints.begin(), mountPoints.end()), mountPoints.end());
    return mountPoints;
}

std::string HomeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return home;
    if (const passwd* user = getpwuid(getuid()); user != nullptr && user->pw_dir != nullptr && *user->pw_dir != '\0') {
        return user->pw_dir;
    }
    throw Failure(kDeviceUnavailable, "Device unavailable: drive c: has no home directory");
}

std::string ReadWholeFile(const char* path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool Holds(std::string_view directory, std::string_view path) {
    if (directory == "/")
        return path.starts_with('/');
    return path.starts_with(directory) && (path.size() == directory.size() || path[directory.size()] == '/');
}

}  // namespace

std::string DriveEntry::DisplayText() const { return letter + " [" + label + "]"; }

std::string DecodeMountField(std::string_view field) {
    std::string decoded;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (IsOctalEscapeAt(field, i)) {
            decoded += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            decoded += field[i];
        }
    }
    return decoded;
}

std::vector<DriveEntry> DrivesFromMounts(std::string_view mountsText, const std::string& homeDirectory) {
    std::vector<DriveEntry> drives{{std::string(kHomeLetter), "home", WithoutTrailingSlashes(homeDirectory)}};
    char letter = 'd';
    for (const std::string& mountPoint : RemovableMountPoints(mountsText)) {
        if (letter > 'z')
            break;
        drives.push_back({std::string{letter, ':'}, mountPoint.substr(mountPoint.rfind('/') + 1), mountPoint});
        ++letter;
    }
    return drives;
}

std::vector<DriveEntry> ListSystemDrives() {
    return DrivesFromMounts(ReadWholeFile("/proc/self/mounts"), HomeDirectory());
}

const DriveEntry* FindDrive(const std::vector<DriveEntry>& drives, std::string_view driveText) {
    if (driveText.size() < 2 || driveText[1] != ':')
        return nullptr;
    const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    const auto found = std::find_if(drives.begin(), drives.end(), [&](const DriveEntry& drive) {
        return drive.letter.size() == 2 && lower(drive.letter[0]) == lower(driveText[0]);
    });
    return found == drives.end() ? nullptr : &*found;
}

std::string DriveHolding(const std::vector<DriveEntry>& drives, std::string_view directory) {
    const DriveEntry* deepest = nullptr;
    for (const DriveEntry& drive : drives) {
        if (Holds(drive.directory, directory) &&
            (deepest == nullptr || drive.directory.size() > deepest->directory.size())) {
            deepest = &drive;
        }
    }
    return deepest == nullptr ? std::string(kHomeLetter) : deepest->letter;
}

}  // namespace kalendro
