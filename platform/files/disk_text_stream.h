// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

#include "platform/text/charset.h"
#include "platform/files/file_places.h"
#include "platform/files/output_files.h"

namespace kalendro {

// A text stream on a file just opened for writing at the place.
std::unique_ptr<TextStream> OpenDiskTextStream(Descriptor file, std::unique_ptr<CharsetConverter> encoder,
                                               FilePlace place);

}  // namespace kalendro
