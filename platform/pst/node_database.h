// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/pst/block_coding.h"

namespace kalendro::pst {

// The three kinds of file: ANSI (32-bit ids, Outlook 97-2002), Unicode (64-bit ids, Outlook 2003 and
// later) and the Unicode offline store of 4 KiB pages whose blocks may be compressed (Outlook 2013 and
// later).
enum class FileKind { kAnsi, kUnicode, kUnicode4k };

// A node's entry in the node B-tree, or a subnode's in its node's subnode tree.
struct NodeEntry {
    std::uint32_t nodeId = 0;
    std::uint64_t dataBlock = 0;     // the node's data: a data block or the root of a data tree
    std::uint64_t subnodeBlock = 0;  // its subnode tree, 0 when it has none
    std::uint32_t parentId = 0;      // in the node B-tree only: the folder of a message, ...
};

// A node's subnodes by id, as its subnode tree holds them, in ascending order of id.
using Subnodes = std::vector<NodeEntry>;

// The node database of an Outlook data file: the header, the node and block B-trees, the blocks with
// their trailers, CRCs, obfuscation and compression, data trees and subnode trees. The file is read
// with pread where it is needed: opening reads the header only; each look-up reads the B-tree pages
// on its way, which are kept for later look-ups. Every structure is checked before it is used and
// every loop is bounded by what the file can hold; a damaged structure fails with kStoreOperationFailed naming it.
// Safe to use from several threads.
class NodeDatabase {
public:
    // kStoreCannotOpen with the reason when the file cannot be read or is no Outlook data file of a kind
    // this reader knows.
    explicit NodeDatabase(const std::string& path);
    ~NodeDatabase();
    NodeDatabase(const NodeDatabase&) = delete;
    NodeDatabase& operator=(const NodeDatabase&) = delete;

    FileKind Kind() const { return kind_; }

    // The node's entry; nothing when the node B-tree holds no such node.
    std::optional<NodeEntry> FindNode(std::uint32_t nodeId);
    // The decoded data blocks of a node's data, in order (one block, or the leaves of its data tree).
    std::vector<std::string> ReadData(std::uint64_t dataBlock);
    // The subnodes of a node; none for a subnode block id of 0.
    Subnodes ReadSubnodes(std::uint64_t subnodeBlock);
    // Every node of the given type (the low five bits of an id) by the node it names as its parent,
    // in ascending order of id: one walk over the whole node B-tree, kept after the first call.
    const std::vector<std::uint32_t>& ChildrenOfType(std::uint32_t parentId, std::uint8_t nodeType);

private:
    struct Page;
    struct BlockEntry {
        std::uint64_t offset = 0;
        std::uint16_t size = 0;
        std::uint16_t inflatedSize = 0;
    };

    std::shared_ptr<const Page> LoadPage(std::uint64_t offset, std::uint64_t pageId, std::uint8_t pageType) const;
    std::shared_ptr<const Page> ReadPage(std::uint64_t offset, std::uint64_t pageId, std::uint8_t pageType);
    const char* FindInTree(std::uint64_t rootOffset, std::uint64_t rootId, std::uint8_t pageType, std::uint64_t key,
                           std::shared_ptr<const Page>& holder);
    std::optional<BlockEntry> FindBlock(std::uint64_t blockId);
    std::string ReadBlock(std::uint64_t blockId);
    void ReadDataTree(std::uint64_t blockId, int depth, std::vector<std::string>& blocks, std::size_t& total);
    void ReadSubnodeTree(std::uint64_t blockId, int depth, Subnodes& subnodes);
    using ChildIndex = std::map<std::uint32_t, std::vector<std::uint32_t>>;
    void IndexPage(std::uint64_t offset, std::uint64_t pageId, int depth, std::uint8_t nodeType, ChildIndex& children,
                   std::set<std::uint64_t>& visited) const;
    std::string ReadAt(std::uint64_t offset, std::size_t size, std::string_view what) const;
    std::uint64_t Id(const char* at) const;

    int file_ = -1;
    std::uint64_t fileSize_ = 0;
    FileKind kind_ = FileKind::kUnicode;
    BlockCoding coding_ = BlockCoding::kNone;
    std::uint64_t nodeTreeOffset_ = 0;
    std::uint64_t nodeTreeId_ = 0;
    std::uint64_t blockTreeOffset_ = 0;
    std::uint64_t blockTreeId_ = 0;

    std::mutex cacheUse_;
    std::unordered_map<std::uint64_t, std::shared_ptr<const Page>> pages_;  // by offset
    std::size_t cachedBytes_ = 0;
    std::mutex indexUse_;
    std::map<std::uint8_t, ChildIndex> childrenByType_;
};

}  // namespace kalendro::pst
