// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/memory_folder.h"

#include <utility>

namespace kalendro::memory_store {

FolderItems::FolderItems(ItemList items) : items_(std::move(items)) {}

FolderItems::FolderItems(std::int32_t expectedCount, Reader reader)
    : reader_(std::move(reader)), expectedCount_(expectedCount) {}

std::int32_t FolderItems::Count() const { return items_ ? static_cast<std::int32_t>(items_->size()) : expectedCount_; }

const ItemList& FolderItems::All() const {
    if (failure_) {
        std::rethrow_exception(failure_);
    }
    if (!items_) {
        try {
            items_ = std::exchange(reader_, nullptr)();
        } catch (...) {
            failure_ = std::current_exception();
            throw;
        }
    }
    return *items_;
}

}  // namespace kalendro::memory_store
