// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string_view>

namespace kalendro::testing {

// A file of the source tree, named from its root ("samples/demo-mailbox.json"), wherever the test runs.
inline std::filesystem::path SourcePath(std::string_view relative) {
    return std::filesystem::path(KALENDRO_SOURCE_DIR) / relative;
}

}  // namespace kalendro::testing
