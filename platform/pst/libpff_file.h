// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/pst/folder_node.h"
#include "platform/pst/property_bag.h"

namespace kalendro::pst {

// An Outlook data file read through libpff, a second, independent reader that the tests hold the
// program's own reader (PstFile) to. The message store and the folder tree are read at open, a
// folder's messages when they are asked for; values are kept as the file stores them. Any fault of the
// file fails with kStoreOperationFailed (kStoreCannotOpen at open): a reference reader does not work around one.
class LibpffFile {
public:
    // kStoreCannotOpen naming the file and the reason when it is not a PST/OST file, cannot be read, or
    // its folder tree cannot be read.
    static std::shared_ptr<LibpffFile> Open(const std::string& path);

    ~LibpffFile();
    LibpffFile(const LibpffFile&) = delete;
    LibpffFile& operator=(const LibpffFile&) = delete;

    const std::string& Path() const { return path_; }
    const PropertyBag& MessageStore() const { return messageStore_; }
    const FolderNode& Root() const { return root_; }

    // Every message of the folder with that node id, with the messages embedded in its attachments.
    std::vector<Message> ReadMessages(std::uint32_t folderNodeId);

private:
    struct Library;

    explicit LibpffFile(std::string path);

    std::string path_;
    std::unique_ptr<Library> library_;
    PropertyBag messageStore_;
    FolderNode root_;
};

}  // namespace kalendro::pst
