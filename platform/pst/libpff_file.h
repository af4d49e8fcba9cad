#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pst/folder_node.h"
#include "platform/pst/property_bag.h"

namespace kalendro::pst {

// The messages of one folder that could be read, and an account of those that could not.
struct FolderMessages {
    std::vector<Message> messages;
    std::size_t skipped = 0;            // damaged messages and embedded messages left out
    std::vector<std::string> problems;  // one line per message left out: which one and why
};

// An Outlook data file read through libpff, a second, independent reader that the tests hold the
// program's own reader (PstFile) to. The message store and the folder tree are read at open; a
// folder's messages when they are asked for. Values are kept as the file stores them.
class LibpffFile {
public:
    // Failure 429 naming the file and the reason when it is not a PST/OST file, cannot be read, or
    // its folder tree cannot be read.
    static std::shared_ptr<LibpffFile> Open(const std::string& path);

    ~LibpffFile();
    LibpffFile(const LibpffFile&) = delete;
    LibpffFile& operator=(const LibpffFile&) = delete;

    const std::string& Path() const { return path_; }
    const PropertyBag& MessageStore() const { return messageStore_; }
    const FolderNode& Root() const { return root_; }

    // What was left out at open: a message store that could not be read, folders that could not
    // be read (their path and the reason).
    const std::vector<std::string>& Warnings() const { return warnings_; }

    // Every message of the folder with that node id, with the messages embedded in its attachments.
    // Failure 440 when the folder itself cannot be read; a damaged message is left out and counted.
    FolderMessages ReadMessages(std::uint32_t folderNodeId);

private:
    struct Library;

    explicit LibpffFile(std::string path);

    std::string path_;
    std::unique_ptr<Library> library_;
    std::mutex libraryUse_;  // libpff's handles are not safe to share between threads
    PropertyBag messageStore_;
    FolderNode root_;
    std::vector<std::string> warnings_;
};

}  // namespace kalendro::pst
