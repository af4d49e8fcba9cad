// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/store/folder_key.h"

namespace kalendro {

namespace {
constexpr char kSeparator = '@';
}

std::string FolderKey::Text() const { return entryId + kSeparator + storeId; }

std::optional<FolderKey> FolderKey::Parse(std::string_view text) {
    const std::size_t separator = text.find(kSeparator);
    if (separator == std::string_view::npos || separator == 0) {
        return std::nullopt;
    }
    return FolderKey{std::string(text.substr(0, separator)), std::string(text.substr(separator + 1))};
}

}  // namespace kalendro
