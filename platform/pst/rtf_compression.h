// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace kalendro::pst {

// The RTF of a PR_RTF_COMPRESSED value (MS-OXRTFCP): compressed ("LZFu", CRC checked) or stored
// ("MELA"). A damaged value fails with kStoreOperationFailed.
std::string DecompressRtf(std::string_view compressed);

}  // namespace kalendro::pst
