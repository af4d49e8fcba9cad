// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/node_database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "platform/pst/little_endian.h"
#include "platform/store/failure.h"

namespace kalendro::pst {

namespace {

// Where the structures of each kind of file lie. Page and block trailers keep the same fields in
// another order in ANSI files.
struct Layout {
    std::size_t idSize;             // of node ids, block ids and offsets in B-tree entries
    std::size_t pageSize;           // of B-tree pages
    std::size_t entriesSize;        // the part of a page that holds its entries
    bool wideCounts;                // cEnt and cEntMax are 16-bit numbers (4 KiB pages)
    std::size_t pageTrailerSize;    // at the end of each page
    std::size_t blockAlignment;     // blocks with their trailer take a multiple of this
    std::size_t blockTrailerSize;   // at the end of each block
    bool crcBeforeId;               // trailers keep the CRC before the id (Unicode) or after it (ANSI)
    std::size_t nodeEntrySize;      // of a leaf entry of the node B-tree
    std::size_t blockEntrySize;     // of a leaf entry of the block B-tree
    std::size_t subnodeHeaderSize;  // of an SLBLOCK or SIBLOCK before its entries
};

constexpr Layout kAnsiLayout{4, 512, 496, false, 12, 64, 12, false, 16, 12, 4};
constexpr Layout kUnicodeLayout{8, 512, 488, false, 16, 64, 16, true, 32, 24, 8};
constexpr Layout kUnicode4kLayout{8, 4096, 4056, true, 24, 512, 24, true, 32, 24, 8};

const Layout& LayoutOf(FileKind kind) {
    switch (kind) {
        case FileKind::kAnsi:
            return kAnsiLayout;
        case FileKind::kUnicode:
            return kUnicodeLayout;
        case FileKind::kUnicode4k:
            return kUnicode4kLayout;
    }
    return kUnicodeLayout;
}

constexpr std::uint8_t kBlockTreePage = 0x80;
constexpr std::uint8_t kNodeTreePage = 0x81;
constexpr std::uint8_t kDataTreeBlock = 0x01;
constexpr std::uint8_t kSubnodeTreeBlock = 0x02;
constexpr std::uint64_t kInternalBlock = 0x2;  // a data tree or subnode tree block, never obfuscated
constexpr std::uint64_t kReservedBlockBit = 0x1;

// Bounds that hold a damaged or hostile file to a finite walk: Outlook's trees stay far below them.
constexpr int kMaxTreeDepth = 16;
constexpr int kMaxDataTreeDepth = 2;
constexpr int kMaxSubnodeTreeDepth = 4;
constexpr std::size_t kMaxNodeData = 256u << 20;
constexpr std::size_t kMaxCachedPageBytes = 64u << 20;
constexpr std::size_t kHeaderSize = 564;

[[noreturn]] void Damaged(const std::string& what) { throw Failure(kStoreOperationFailed, what); }

std::size_t RoundUp(std::size_t size, std::size_t alignment) { return (size + alignment - 1) / alignment * alignment; }

FileKind KindOfVersion(std::uint16_t version) {
    switch (version) {
        case 14:
        case 15:
            return FileKind::kAnsi;
        case 23:
            return FileKind::kUnicode;
        case 36:
            return FileKind::kUnicode4k;
        default:
            throw Failure(kStoreCannotOpen,
                          "it is an Outlook data file of format " + std::to_string(version) + ", which is not read");
    }
}

}  // namespace

struct NodeDatabase::Page {
    std::string bytes;
    int level = 0;
    std::size_t count = 0;
    std::size_t entrySize = 0;
    const char* Entry(std::size_t index) const { return bytes.data() + index * entrySize; }
};

NodeDatabase::NodeDatabase(const std::string& path) {
    file_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file_ < 0) {
        throw Failure(kStoreCannotOpen, std::strerror(errno));
    }
    try {
        struct stat status {};
        if (::fstat(file_, &status) != 0 || !S_ISREG(status.st_mode)) {
            throw Failure(kStoreCannotOpen, "it is not a regular file");
        }
        fileSize_ = static_cast<std::uint64_t>(status.st_size);
        if (fileSize_ < kHeaderSize) {
            throw Failure(kStoreCannotOpen, "it is too short for an Outlook data file");
        }
        const std::string header = ReadAt(0, kHeaderSize, "the header");
        if (header.compare(0, 4, "!BDN") != 0) {
            throw Failure(kStoreCannotOpen, "it is not an Outlook data file");
        }
        if (FormatCrc(std::string_view(header).substr(8, 471)) != LittleEndian32(header.data() + 4)) {
            throw Failure(kStoreCannotOpen, "its header is damaged");
        }
        kind_ = KindOfVersion(LittleEndian16(header.data() + 10));
        const bool ansi = kind_ == FileKind::kAnsi;
        const auto coding = static_cast<std::uint8_t>(header[ansi ? 461 : 513]);
        if (coding > static_cast<std::uint8_t>(BlockCoding::kCyclic)) {
            throw Failure(kStoreCannotOpen,
                          "its data is encrypted in a way that is not read (" + HexNumber(coding) + ")");
        }
        coding_ = static_cast<BlockCoding>(coding);
        const std::size_t idSize = LayoutOf(kind_).idSize;
        const std::size_t nodeTree = ansi ? 184 : 216;
        const std::size_t blockTree = ansi ? 192 : 232;
        nodeTreeId_ = LittleEndian(header.data() + nodeTree, idSize);
        nodeTreeOffset_ = LittleEndian(header.data() + nodeTree + idSize, idSize);
        blockTreeId_ = LittleEndian(header.data() + blockTree, idSize);
        blockTreeOffset_ = LittleEndian(header.data() + blockTree + idSize, idSize);
    } catch (...) {
        ::close(file_);
        throw;
    }
}

NodeDatabase::~NodeDatabase() { ::close(file_); }

std::string NodeDatabase::ReadAt(std::uint64_t offset, std::size_t size, std::string_view what) const {
    if (offset > fileSize_ || size > fileSize_ - offset) {
        Damaged(std::string(what) + " at " + HexNumber(offset) + " lies beyond the end of the file");
    }
    std::string bytes(size, '\0');
    std::size_t done = 0;
    while (done < size) {
        const ssize_t read = ::pread(file_, bytes.data() + done, size - done, static_cast<off_t>(offset + done));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read <= 0) {
            Damaged(std::string(what) + " at " + HexNumber(offset) +
                    " cannot be read: " + (read < 0 ? std::strerror(errno) : "the file ends"));
        }
        done += static_cast<std::size_t>(read);
    }
    return bytes;
}

std::uint64_t NodeDatabase::Id(const char* at) const { return LittleEndian(at, LayoutOf(kind_).idSize); }

std::shared_ptr<const NodeDatabase::Page> NodeDatabase::LoadPage(std::uint64_t offset, std::uint64_t pageId,
                                                                 std::uint8_t pageType) const {
    const Layout& layout = LayoutOf(kind_);
    const std::string what = std::string(pageType == kNodeTreePage ? "the node" : "the block") + " B-tree page";
    auto page = std::make_shared<Page>();
    page->bytes = ReadAt(offset, layout.pageSize, what);
    const char* trailer = page->bytes.data() + layout.pageSize - layout.pageTrailerSize;
    const std::size_t crcAt = layout.crcBeforeId ? 4 : 4 + layout.idSize;
    const std::size_t idAt = layout.crcBeforeId ? 8 : 4;
    if (static_cast<std::uint8_t>(trailer[0]) != pageType || static_cast<std::uint8_t>(trailer[1]) != pageType ||
        Id(trailer + idAt) != pageId ||
        FormatCrc(std::string_view(page->bytes).substr(0, layout.pageSize - layout.pageTrailerSize)) !=
            LittleEndian32(trailer + crcAt)) {
        Damaged(what + " at " + HexNumber(offset) + " is damaged");
    }
    const char* counts = page->bytes.data() + layout.entriesSize;
    const std::size_t countSize = layout.wideCounts ? 2 : 1;
    page->count = static_cast<std::size_t>(LittleEndian(counts, countSize));
    page->entrySize = static_cast<std::uint8_t>(counts[2 * countSize]);
    page->level = static_cast<std::uint8_t>(counts[2 * countSize + 1]);
    const std::size_t leafSize = pageType == kNodeTreePage ? layout.nodeEntrySize : layout.blockEntrySize;
    const std::size_t expected = page->level == 0 ? leafSize : 3 * layout.idSize;
    if (page->entrySize < expected || page->count * page->entrySize > layout.entriesSize) {
        Damaged(what + " at " + HexNumber(offset) + " holds entries that do not fit in it");
    }
    return page;
}

std::shared_ptr<const NodeDatabase::Page> NodeDatabase::ReadPage(std::uint64_t offset, std::uint64_t pageId,
                                                                 std::uint8_t pageType) {
    {
        const std::lock_guard lock(cacheUse_);
        if (const auto cached = pages_.find(offset); cached != pages_.end()) {
            return cached->second;
        }
    }
    std::shared_ptr<const Page> page = LoadPage(offset, pageId, pageType);
    const std::size_t pageSize = page->bytes.size();
    const std::lock_guard lock(cacheUse_);
    if (cachedBytes_ > kMaxCachedPageBytes) {
        pages_.clear();
        cachedBytes_ = 0;
    }
    cachedBytes_ += pageSize;
    return pages_.emplace(offset, std::move(page)).first->second;
}

const char* NodeDatabase::FindInTree(std::uint64_t rootOffset, std::uint64_t rootId, std::uint8_t pageType,
                                     std::uint64_t key, std::shared_ptr<const Page>& holder) {
    std::uint64_t offset = rootOffset;
    std::uint64_t pageId = rootId;
    int expectedLevel = -1;
    for (int depth = 0; depth < kMaxTreeDepth; ++depth) {
        holder = ReadPage(offset, pageId, pageType);
        const Page& page = *holder;
        if (expectedLevel >= 0 && page.level != expectedLevel) {
            Damaged("a B-tree page at " + HexNumber(offset) + " is on the wrong level");
        }
        // The entries are in ascending order of key: the last one not above the key leads to it.
        std::size_t low = 0;
        std::size_t high = page.count;
        while (low < high) {
            const std::size_t middle = (low + high) / 2;
            if (Id(page.Entry(middle)) <= key) {
                low = middle + 1;
            } else {
                high = middle;
            }
        }
        if (low == 0) {
            return nullptr;
        }
        const char* entry = page.Entry(low - 1);
        if (page.level == 0) {
            return Id(entry) == key ? entry : nullptr;
        }
        const std::size_t idSize = LayoutOf(kind_).idSize;
        pageId = Id(entry + idSize);
        offset = Id(entry + 2 * idSize);
        expectedLevel = page.level - 1;
    }
    Damaged("a B-tree of the file is nested deeper than " + std::to_string(kMaxTreeDepth) + " levels");
}

std::optional<NodeEntry> NodeDatabase::FindNode(std::uint32_t nodeId) {
    std::shared_ptr<const Page> holder;
    const char* entry = FindInTree(nodeTreeOffset_, nodeTreeId_, kNodeTreePage, nodeId, holder);
    if (entry == nullptr) {
        return std::nullopt;
    }
    const std::size_t idSize = LayoutOf(kind_).idSize;
    return NodeEntry{nodeId, Id(entry + idSize), Id(entry + 2 * idSize), LittleEndian32(entry + 3 * idSize)};
}

std::optional<NodeDatabase::BlockEntry> NodeDatabase::FindBlock(std::uint64_t blockId) {
    std::shared_ptr<const Page> holder;
    const char* entry = FindInTree(blockTreeOffset_, blockTreeId_, kBlockTreePage, blockId, holder);
    if (entry == nullptr) {
        return std::nullopt;
    }
    const std::size_t idSize = LayoutOf(kind_).idSize;
    const std::uint16_t size = LittleEndian16(entry + 2 * idSize);
    const std::uint16_t inflated = kind_ == FileKind::kUnicode4k ? LittleEndian16(entry + 2 * idSize + 2) : size;
    return BlockEntry{Id(entry + idSize), size, inflated};
}

std::string NodeDatabase::ReadBlock(std::uint64_t blockId) {
    blockId &= ~kReservedBlockBit;
    const std::optional<BlockEntry> entry = FindBlock(blockId);
    if (!entry) {
        Damaged("the block " + HexNumber(blockId) + " is missing from the file");
    }
    const Layout& layout = LayoutOf(kind_);
    const std::string what = "the block " + HexNumber(blockId);
    std::string stored =
        ReadAt(entry->offset, RoundUp(entry->size + layout.blockTrailerSize, layout.blockAlignment), what);
    const char* trailer = stored.data() + stored.size() - layout.blockTrailerSize;
    const std::size_t crcAt = layout.crcBeforeId ? 4 : 4 + layout.idSize;
    const std::size_t idAt = layout.crcBeforeId ? 8 : 4;
    const bool intact = LittleEndian16(trailer) == entry->size &&
                        (Id(trailer + idAt) & ~kReservedBlockBit) == blockId &&
                        FormatCrc(std::string_view(stored).substr(0, entry->size)) == LittleEndian32(trailer + crcAt);
    stored.resize(entry->size);
    if (!intact) {
        Damaged(what + " at " + HexNumber(entry->offset) + " is damaged");
    }
    if (entry->inflatedSize != entry->size) {
        std::string inflated;
        if (!Inflate(stored, entry->inflatedSize, inflated)) {
            Damaged(what + " cannot be decompressed");
        }
        stored = std::move(inflated);
    }
    if ((blockId & kInternalBlock) == 0) {
        DecodeBlock(coding_, blockId, stored);
    }
    return stored;
}

std::vector<std::string> NodeDatabase::ReadData(std::uint64_t dataBlock) {
    std::vector<std::string> blocks;
    std::size_t total = 0;
    if (dataBlock != 0) {
        ReadDataTree(dataBlock, 0, blocks, total);
    }
    return blocks;
}

void NodeDatabase::ReadDataTree(std::uint64_t blockId, int depth, std::vector<std::string>& blocks,
                                std::size_t& total) {
    std::string block = ReadBlock(blockId);
    if ((blockId & kInternalBlock) == 0) {
        total += block.size();
        if (total > kMaxNodeData) {
            Damaged("a node's data is larger than " + std::to_string(kMaxNodeData >> 20) + " MiB");
        }
        blocks.push_back(std::move(block));
        return;
    }
    const std::size_t idSize = LayoutOf(kind_).idSize;
    if (block.size() < 8 || static_cast<std::uint8_t>(block[0]) != kDataTreeBlock) {
        Damaged("the data tree block " + HexNumber(blockId) + " is damaged");
    }
    const int level = static_cast<std::uint8_t>(block[1]);
    const std::size_t count = LittleEndian16(block.data() + 2);
    const std::size_t expectedTotal = LittleEndian32(block.data() + 4);
    if (level < 1 || level > kMaxDataTreeDepth - depth || count * idSize > block.size() - 8) {
        Damaged("the data tree block " + HexNumber(blockId) + " is damaged");
    }
    const std::size_t before = total;
    for (std::size_t index = 0; index < count; ++index) {
        const std::uint64_t child = Id(block.data() + 8 + index * idSize);
        if (((child & kInternalBlock) != 0) != (level > 1)) {
            Damaged("the data tree block " + HexNumber(blockId) + " names a block of the wrong kind");
        }
        ReadDataTree(child, depth + 1, blocks, total);
    }
    if (total - before != expectedTotal) {
        Damaged("the data tree block " + HexNumber(blockId) + " holds another size than it tells");
    }
}

Subnodes NodeDatabase::ReadSubnodes(std::uint64_t subnodeBlock) {
    Subnodes subnodes;
    if (subnodeBlock != 0) {
        ReadSubnodeTree(subnodeBlock, 0, subnodes);
    }
    std::stable_sort(subnodes.begin(), subnodes.end(),
                     [](const NodeEntry& a, const NodeEntry& b) { return a.nodeId < b.nodeId; });
    return subnodes;
}

void NodeDatabase::ReadSubnodeTree(std::uint64_t blockId, int depth, Subnodes& subnodes) {
    const std::string block = ReadBlock(blockId);
    const Layout& layout = LayoutOf(kind_);
    const std::size_t idSize = layout.idSize;
    if ((blockId & kInternalBlock) == 0 || block.size() < layout.subnodeHeaderSize ||
        static_cast<std::uint8_t>(block[0]) != kSubnodeTreeBlock) {
        Damaged("the subnode tree block " + HexNumber(blockId) + " is damaged");
    }
    const int level = static_cast<std::uint8_t>(block[1]);
    const std::size_t count = LittleEndian16(block.data() + 2);
    const std::size_t entrySize = (level == 0 ? 3 : 2) * idSize;
    if (level > 1 || depth >= kMaxSubnodeTreeDepth || count * entrySize > block.size() - layout.subnodeHeaderSize) {
        Damaged("the subnode tree block " + HexNumber(blockId) + " is damaged");
    }
    for (std::size_t index = 0; index < count; ++index) {
        const char* entry = block.data() + layout.subnodeHeaderSize + index * entrySize;
        const auto nodeId = static_cast<std::uint32_t>(Id(entry));
        if (level == 0) {
            subnodes.push_back({nodeId, Id(entry + idSize), Id(entry + 2 * idSize), 0});
        } else {
            ReadSubnodeTree(Id(entry + idSize), depth + 1, subnodes);
        }
    }
}

const std::vector<std::uint32_t>& NodeDatabase::ChildrenOfType(std::uint32_t parentId, std::uint8_t nodeType) {
    static const std::vector<std::uint32_t> kNone;
    const std::lock_guard lock(indexUse_);
    auto indexed = childrenByType_.find(nodeType);
    if (indexed == childrenByType_.end()) {
        ChildIndex children;
        std::set<std::uint64_t> visited;
        IndexPage(nodeTreeOffset_, nodeTreeId_, 0, nodeType, children, visited);
        indexed = childrenByType_.emplace(nodeType, std::move(children)).first;
    }
    const auto found = indexed->second.find(parentId);
    return found == indexed->second.end() ? kNone : found->second;
}

// Pages are read without keeping them: the walk passes every page once, and look-ups need few of them.
void NodeDatabase::IndexPage(std::uint64_t offset, std::uint64_t pageId, int depth, std::uint8_t nodeType,
                             ChildIndex& children, std::set<std::uint64_t>& visited) const {
    if (depth >= kMaxTreeDepth || !visited.insert(offset).second) {
        Damaged("the node B-tree page at " + HexNumber(offset) + " is reached twice or nested too deep");
    }
    const std::shared_ptr<const Page> page = LoadPage(offset, pageId, kNodeTreePage);
    const std::size_t idSize = LayoutOf(kind_).idSize;
    for (std::size_t index = 0; index < page->count; ++index) {
        const char* entry = page->Entry(index);
        if (page->level > 0) {
            IndexPage(Id(entry + 2 * idSize), Id(entry + idSize), depth + 1, nodeType, children, visited);
            continue;
        }
        const auto nodeId = static_cast<std::uint32_t>(Id(entry));
        if ((nodeId & 0x1F) == nodeType) {
            children[LittleEndian32(entry + 3 * idSize)].push_back(nodeId);
        }
    }
}

}  // namespace kalendro::pst
