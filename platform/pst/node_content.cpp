// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/node_content.h"

#include <algorithm>

#include "platform/pst/little_endian.h"
#include "platform/store/failure.h"

namespace kalendro::pst {

namespace {

constexpr std::uint8_t kHeapSignature = 0xEC;
constexpr std::uint8_t kTreeOnHeapSignature = 0xB5;
constexpr std::uint8_t kTableSignature = 0x7C;
constexpr std::size_t kHeapHeaderSize = 12;
constexpr int kMaxTreeOnHeapLevels = 8;
constexpr std::uint32_t kNodeTypeMask = 0x1F;

// Values of at most four bytes are kept in the record itself, with the size the type has.
std::size_t InlineSize(std::uint16_t type) {
    switch (type) {
        case 0x0002:  // PT_SHORT
            return 2;
        case 0x0003:  // PT_LONG
        case 0x0004:  // PT_FLOAT
        case 0x000A:  // PT_ERROR
            return 4;
        case 0x000B:  // PT_BOOLEAN
            return 1;
        default:
            return 0;
    }
}

}  // namespace

NodeContent::NodeContent(NodeDatabase& database, const NodeEntry& node)
    : database_(database),
      nodeId_(node.nodeId),
      blocks_(database.ReadData(node.dataBlock)),
      subnodes_(database.ReadSubnodes(node.subnodeBlock)) {
    ReadPageMaps();
}

void NodeContent::Damaged(const std::string& what) const {
    throw Failure(kStoreOperationFailed, "the node " + HexNumber(nodeId_) + " is damaged: " + what);
}

void NodeContent::ReadPageMaps() {
    if (blocks_.empty() || blocks_[0].size() < kHeapHeaderSize ||
        static_cast<std::uint8_t>(blocks_[0][2]) != kHeapSignature) {
        Damaged("it holds no heap");
    }
    clientSignature_ = static_cast<std::uint8_t>(blocks_[0][3]);
    userRoot_ = LittleEndian32(blocks_[0].data() + 4);
    pages_.reserve(blocks_.size());
    for (std::size_t index = 0; index < blocks_.size(); ++index) {
        const std::string& block = blocks_[index];
        HeapPage page{index, {}};
        const std::size_t mapAt = block.size() >= 2 ? LittleEndian16(block.data()) : block.size();
        if (mapAt + 4 > block.size()) {
            Damaged("a page map of its heap lies outside its block");
        }
        const std::size_t count = LittleEndian16(block.data() + mapAt);
        if (mapAt + 4 + (count + 1) * 2 > block.size()) {
            Damaged("a page map of its heap lies outside its block");
        }
        for (std::size_t entry = 0; entry <= count; ++entry) {
            const std::uint16_t offset = LittleEndian16(block.data() + mapAt + 4 + entry * 2);
            if (offset > mapAt || (!page.allocations.empty() && offset < page.allocations.back())) {
                Damaged("a page map of its heap is out of order");
            }
            page.allocations.push_back(offset);
        }
        allocationCount_ += count;
        pages_.push_back(std::move(page));
    }
}

std::string_view NodeContent::Allocation(std::uint32_t heapId) const {
    const std::size_t index = (heapId >> 5) & 0x7FF;
    const std::size_t block = heapId >> 16;
    if ((heapId & kNodeTypeMask) != 0 || block >= pages_.size() || index == 0 ||
        index >= pages_[block].allocations.size()) {
        Damaged("it refers to no allocation of its heap (" + HexNumber(heapId) + ")");
    }
    const auto& offsets = pages_[block].allocations;
    return std::string_view(blocks_[block]).substr(offsets[index - 1], offsets[index] - offsets[index - 1]);
}

bool NodeContent::HasSubnode(std::uint32_t nodeId) const {
    return std::binary_search(subnodes_.begin(), subnodes_.end(), NodeEntry{nodeId, 0, 0, 0},
                              [](const NodeEntry& a, const NodeEntry& b) { return a.nodeId < b.nodeId; });
}

const NodeEntry& NodeContent::Subnode(std::uint32_t nodeId) const {
    const auto found =
        std::lower_bound(subnodes_.begin(), subnodes_.end(), nodeId,
                         [](const NodeEntry& entry, std::uint32_t wanted) { return entry.nodeId < wanted; });
    if (found == subnodes_.end() || found->nodeId != nodeId) {
        Damaged("it refers to a subnode it does not hold (" + HexNumber(nodeId) + ")");
    }
    return *found;
}

std::string NodeContent::ReadHeapOrSubnode(std::uint32_t reference) const {
    if (reference == 0) {
        return {};
    }
    if ((reference & kNodeTypeMask) == 0) {
        return std::string(Allocation(reference));
    }
    std::string data;
    for (const std::string& block : database_.ReadData(Subnode(reference).dataBlock)) {
        data += block;
    }
    return data;
}

template <typename Visit>
void NodeContent::ForEachRecord(std::uint32_t headerId, std::size_t keySize, Visit&& visit) const {
    const std::string_view header = Allocation(headerId);
    if (header.size() < 8 || static_cast<std::uint8_t>(header[0]) != kTreeOnHeapSignature ||
        static_cast<std::uint8_t>(header[1]) != keySize) {
        Damaged("a B-tree of its heap has a damaged header");
    }
    const std::size_t valueSize = static_cast<std::uint8_t>(header[2]);
    const int levels = static_cast<std::uint8_t>(header[3]);
    const std::uint32_t root = LittleEndian32(header.data() + 4);
    if (levels > kMaxTreeOnHeapLevels || valueSize == 0) {
        Damaged("a B-tree of its heap has a damaged header");
    }
    if (root != 0) {
        std::size_t visits = 0;
        WalkRecords(root, keySize, valueSize, levels, visits, visit);
    }
}

template <typename Visit>
void NodeContent::WalkRecords(std::uint32_t recordsId, std::size_t keySize, std::size_t valueSize, int level,
                              std::size_t& visits, Visit&& visit) const {
    // A tree that names its allocations more than once could be walked without end in sight.
    if (++visits > allocationCount_) {
        Damaged("a B-tree of its heap refers to its records more than once");
    }
    const std::string_view records = Allocation(recordsId);
    const std::size_t recordSize = keySize + (level > 0 ? 4 : valueSize);
    if (records.size() % recordSize != 0) {
        Damaged("a B-tree of its heap holds a partial record");
    }
    for (std::size_t at = 0; at < records.size(); at += recordSize) {
        if (level > 0) {
            WalkRecords(LittleEndian32(records.data() + at + keySize), keySize, valueSize, level - 1, visits, visit);
        } else {
            visit(records.substr(at, keySize), records.substr(at + keySize, valueSize));
        }
    }
}

std::vector<StoredProperty> NodeContent::ReadProperties() const {
    if (clientSignature_ != 0xBC) {
        Damaged("it is no property context");
    }
    std::vector<StoredProperty> properties;
    ForEachRecord(userRoot_, 2, [&](std::string_view key, std::string_view value) {
        if (value.size() < 6) {
            Damaged("a property record is too short");
        }
        StoredProperty property{LittleEndian16(key.data()), LittleEndian16(value.data()), {}};
        const std::uint32_t stored = LittleEndian32(value.data() + 2);
        if (const std::size_t size = InlineSize(property.type); size > 0) {
            property.data.assign(value.data() + 2, size);
        } else {
            property.data = ReadHeapOrSubnode(stored);
        }
        properties.push_back(std::move(property));
    });
    return properties;
}

std::vector<std::uint32_t> NodeContent::ReadRowIds() const {
    const std::string_view info = userRoot_ == 0 ? std::string_view() : Allocation(userRoot_);
    if (clientSignature_ != kTableSignature || info.size() < 22 ||
        static_cast<std::uint8_t>(info[0]) != kTableSignature) {
        Damaged("it is no table context");
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> rows;  // index, id
    const std::uint32_t rowIndex = LittleEndian32(info.data() + 10);
    if (rowIndex != 0) {
        ForEachRecord(rowIndex, 4, [&](std::string_view key, std::string_view value) {
            rows.emplace_back(
                static_cast<std::uint32_t>(LittleEndian(value.data(), std::min<std::size_t>(value.size(), 4))),
                LittleEndian32(key.data()));
        });
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::uint32_t> ids;
    ids.reserve(rows.size());
    for (const auto& row : rows) {
        ids.push_back(row.second);
    }
    return ids;
}

}  // namespace kalendro::pst
