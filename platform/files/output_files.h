// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/drive_table.h"

namespace kalendro {

// An output text file open for writing: 8-bit text in the locale's character set, lines ended by
// CR LF, no byte-order mark. Text comes in as UTF-8. Close returns only when every byte is on the
// device and the file is still where it was created. A stream destroyed without Close keeps and
// flushes everything written before. Every failure is raised as a Failure naming the file.
class TextStream {
public:
    virtual ~TextStream() = default;
    virtual void WriteLine(std::string_view text) = 0;
    virtual void Write(std::string_view text) = 0;
    virtual void Close() = 0;
};

// The file-system object. Paths are Windows paths ("d:\Calendars\vCalendar.ics", translated
// through the drive table) or native paths.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual bool DriveExists(std::string_view drive) = 0;
    virtual bool FolderExists(std::string_view path) = 0;
    virtual void CreateFolder(std::string_view path) = 0;
    // An existing file of the name is replaced when overwrite is true, else a failure.
    virtual std::unique_ptr<TextStream> CreateTextFile(std::string_view path, bool overwrite = true) = 0;
    // The drive table as it stands now, every letter given so far, and the letter of the current drive
    // ("c:").
    virtual std::vector<DriveEntry> Drives() = 0;
    virtual std::string CurrentDrive() = 0;
};

// "Create the file-system object": each run makes its own.
using FileSystemFactory = std::function<std::unique_ptr<FileSystem>()>;

// The file system on disk, with the system's drive table, the locale's character set and the
// process's working directory.
std::unique_ptr<FileSystem> OpenDiskFileSystem();
// The same with a drive table, character set (an iconv name such as "UTF-8" or "ISO-8859-1")
// and working directory of the caller's choosing.
std::unique_ptr<FileSystem> OpenDiskFileSystem(std::shared_ptr<DriveTable> drives, std::string charset,
                                               std::string workingDirectory);

}  // namespace kalendro
