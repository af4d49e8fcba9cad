// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files/output_files.h"
#include "platform/store/failure.h"
#include "testing/memory_text_stream.h"

namespace kalendro::testing {

// A disk held in memory, for tests: the drives and folders that exist, the files created (each a
// MemoryTextStream that outlives the stream handed out) and the calls made, in order.
struct FakeDisk {
    std::set<std::string, std::less<>> drives = {"c:"};
    std::set<std::string, std::less<>> folders;
    std::map<std::string, std::shared_ptr<MemoryTextStream>, std::less<>> files;
    std::vector<std::string> calls;
    bool createFolderFails = false;
    bool createFileFails = false;
    int failAfterWrites = -1;
};

// The file-system object over a FakeDisk; every run may make its own over the same disk.
class FakeFileSystem : public FileSystem {
public:
    explicit FakeFileSystem(std::shared_ptr<FakeDisk> disk) : disk_(std::move(disk)) {}

    bool DriveExists(std::string_view drive) override {
        disk_->calls.push_back("DriveExists " + std::string(drive));
        return disk_->drives.count(drive) > 0;
    }
    bool FolderExists(std::string_view path) override {
        disk_->calls.push_back("FolderExists " + std::string(path));
        return disk_->folders.count(path) > 0;
    }
    void CreateFolder(std::string_view path) override {
        disk_->calls.push_back("CreateFolder " + std::string(path));
        if (disk_->createFolderFails) {
            throw Failure(kPathFileAccessError, "Path/File access error");
        }
        disk_->folders.emplace(path);
    }
    std::unique_ptr<TextStream> CreateTextFile(std::string_view path, bool overwrite) override {
        disk_->calls.push_back("CreateTextFile " + std::string(path) + (overwrite ? " overwrite" : ""));
        if (disk_->createFileFails) {
            throw Failure(kPathNotFound, "Path not found");
        }
        auto file = std::make_shared<MemoryTextStream>(disk_->failAfterWrites);
        disk_->files[std::string(path)] = file;
        return std::make_unique<SharedStream>(file);
    }
    std::vector<DriveEntry> Drives() override { return {}; }
    std::string CurrentDrive() override { return "c:"; }

private:
    class SharedStream : public TextStream {
    public:
        explicit SharedStream(std::shared_ptr<MemoryTextStream> file) : file_(std::move(file)) {}
        void WriteLine(std::string_view text) override { file_->WriteLine(text); }
        void Write(std::string_view text) override { file_->Write(text); }
        void Close() override { file_->Close(); }

    private:
        std::shared_ptr<MemoryTextStream> file_;
    };

    std::shared_ptr<FakeDisk> disk_;
};

}  // namespace kalendro::testing
