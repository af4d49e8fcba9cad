// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kalendro {

// A folder named by its entry identifier and the identifier of its store, as the folder tree keys
// a calendar and the calendar export finds it again. Its text form is "EntryID@StoreID": an entry
// identifier never holds "@", a store identifier may.
struct FolderKey {
    std::string entryId;
    std::string storeId;

    std::string Text() const;
    // Nothing for a text without "@" or with an empty entry identifier, such as the "@Name" keys
    // of the tree's other nodes.
    static std::optional<FolderKey> Parse(std::string_view text);

    bool operator==(const FolderKey&) const = default;
};

}  // namespace kalendro
