// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory_store/memory_item.h"

namespace kalendro::memory_store {

using ItemList = std::vector<std::shared_ptr<const MemoryItem>>;

// The items of a folder, which a back end may read only when they are first needed.
class FolderItems {
public:
    using Reader = std::function<ItemList()>;

    // Items read already.
    explicit FolderItems(ItemList items);
    // Items the reader gives on the first call of All; until then Count is the expected count.
    FolderItems(std::int32_t expectedCount, Reader reader);

    // The expected count until the items are read, then their number.
    std::int32_t Count() const;
    // The items in the store's order. The reader runs at most once: a failure it raises is raised
    // again by every later call.
    const ItemList& All() const;

private:
    mutable std::optional<ItemList> items_;
    mutable Reader reader_;
    mutable std::exception_ptr failure_;
    std::int32_t expectedCount_ = 0;
};

struct MemoryFolder {
    std::string name;
    std::string entryId;
    std::string storeId;
    std::int32_t defaultItemType = 0;
    std::string defaultRole;  // "", "calendar" or "contacts"
    std::shared_ptr<const FolderItems> items = std::make_shared<const FolderItems>(ItemList{});
    std::vector<std::shared_ptr<MemoryFolder>> folders;
};

}  // namespace kalendro::memory_store
