// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pst/folder_node.h"
#include "platform/pst/node_database.h"
#include "platform/pst/property_bag.h"

namespace kalendro::pst {

class NodeContent;

// The messages a folder holds, by node id in ascending order (the file's own order), and what was
// noticed on the way to them.
struct FolderContents {
    std::vector<std::uint32_t> messageIds;
    // Where the folder's contents table and the node B-tree disagree: the messages are taken from
    // both, and each disagreement is told here.
    std::vector<std::string> notes;
};

// An Outlook personal-folder file (PST, Unicode or ANSI) or offline store file (OST, also of 4 KiB
// pages), opened read-only. Opening reads the header, the message store, the name-to-id map and the
// folder tree through the folders' hierarchy tables; a folder's messages and a message's properties
// are read when they are asked for. Values are kept as the file stores them, named properties
// resolved through the file's name-to-id map. Safe to use from several threads.
class PstFile {
public:
    // kStoreCannotOpen naming the file and the reason when it is not a PST/OST file, cannot be read, or
    // its folder tree cannot be read.
    static std::shared_ptr<PstFile> Open(const std::string& path);

    // Whether a file starting with these bytes is a PST/OST file, so the caller can choose the back
    // end by content.
    static bool LooksLikePst(std::string_view firstBytes);

    ~PstFile();
    PstFile(const PstFile&) = delete;
    PstFile& operator=(const PstFile&) = delete;

    const std::string& Path() const { return path_; }
    const PropertyBag& MessageStore() const { return messageStore_; }
    const FolderNode& Root() const { return root_; }

    // What was left out at open: a message store that could not be read, folders that could not
    // be read (their path and the reason).
    const std::vector<std::string>& Warnings() const { return warnings_; }

    // The messages of the folder with that node id: those its contents table lists and those the
    // node B-tree holds under it. kStoreOperationFailed when neither can be read.
    FolderContents Contents(std::uint32_t folderNodeId);

    // A message with the messages embedded in its attachments. kStoreOperationFailed with the reason when it or
    // one of its attachments cannot be read.
    Message ReadMessage(std::uint32_t messageNodeId);

private:
    class NameMap;
    class FolderTreeReader;

    explicit PstFile(std::string path);
    PropertyBag ReadBag(const NodeContent& content) const;
    Message ReadMessage(const NodeContent& content, std::uint32_t nodeId, int depth);
    void ReadEmbedded(const NodeContent& message, std::uint32_t attachmentId, int depth, Message& into);

    std::string path_;
    std::unique_ptr<NodeDatabase> database_;
    std::unique_ptr<NameMap> names_;
    PropertyBag messageStore_;
    FolderNode root_;
    std::vector<std::string> warnings_;
};

}  // namespace kalendro::pst
