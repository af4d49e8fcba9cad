// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pst/node_database.h"

namespace kalendro::pst {

// A property as a property context keeps it: its tag id, its MAPI type and its bytes, little-endian
// as in the file, a variable-size value read from the heap or the subnode that holds it.
struct StoredProperty {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;
    std::string data;
};

// The content of one node or subnode: its heap (the heap-on-node of its data blocks) and its
// subnodes, from which the property and table contexts above it read their values. Every heap
// reference is checked against the heap's page maps; a damaged structure fails with kStoreOperationFailed naming it.
class NodeContent {
public:
    NodeContent(NodeDatabase& database, const NodeEntry& node);

    // The heap's client signature: 0xBC a property context, 0x7C a table context.
    std::uint8_t ClientSignature() const { return clientSignature_; }
    // The subnode with that id; kStoreOperationFailed when the node has none.
    const NodeEntry& Subnode(std::uint32_t nodeId) const;
    bool HasSubnode(std::uint32_t nodeId) const;
    NodeDatabase& Database() const { return database_; }

    // The properties of a property context, in ascending order of tag.
    std::vector<StoredProperty> ReadProperties() const;
    // The row ids of a table context in the order of its rows: folder ids in a hierarchy table,
    // message ids in a contents table, attachment subnode ids in an attachment table.
    std::vector<std::uint32_t> ReadRowIds() const;

private:
    struct HeapPage {
        std::size_t block = 0;
        std::vector<std::uint16_t> allocations;  // the page map's offsets: n + 1 for n allocations
    };

    void ReadPageMaps();
    std::string_view Allocation(std::uint32_t heapId) const;
    // A variable-size value: an allocation of the heap, or the data of a subnode (0 is empty).
    std::string ReadHeapOrSubnode(std::uint32_t reference) const;
    template <typename Visit>
    void ForEachRecord(std::uint32_t headerId, std::size_t keySize, Visit&& visit) const;
    template <typename Visit>
    void WalkRecords(std::uint32_t recordsId, std::size_t keySize, std::size_t valueSize, int level,
                     std::size_t& visits, Visit&& visit) const;
    [[noreturn]] void Damaged(const std::string& what) const;

    NodeDatabase& database_;
    std::uint32_t nodeId_;
    std::vector<std::string> blocks_;
    Subnodes subnodes_;
    std::vector<HeapPage> pages_;
    std::size_t allocationCount_ = 0;
    std::uint8_t clientSignature_ = 0;
    std::uint32_t userRoot_ = 0;
};

}  // namespace kalendro::pst
