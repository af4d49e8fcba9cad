// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/dav/dav_collection.h"

namespace kalendro::tools {

// Where a command puts its resources instead of a file: a collection's URL, the user, and whether the
// resources an earlier run put there and this one did not are removed.
struct DavOptions {
    std::string url;
    std::string user;
    bool prune = false;
};

// Takes --user NAME and --prune, which both commands know; false for any other option.
bool TakeDavOption(const std::string& option, const std::function<const std::string&()>& value, DavOptions& options);
// --user and --prune are usage errors without the URL option.
void CheckDavOptions(const DavOptions& options, std::string_view urlOption);

// What one kind of collection takes: its resources' media type, what they are called in messages,
// the PRODID this program writes into them, the REPORT query listing them with their data, and which
// of those listed belong to the exported range.
struct DavUpload {
    dav::CollectionKind kind;
    std::string_view contentType;
    std::string_view noun;
    std::string_view productId;
    std::string_view listQuery;
    std::function<bool(std::string_view data)> inRange;
};

// Puts every resource of the split file into the collection, with progress on standard error, then
// prunes when asked. Prints how many the server accepted (and removed) and returns the exit status;
// a failure is reported with how many were put before it.
int UploadToCollection(const DavOptions& options, const DavUpload& upload, const dav::SplitFile& split);

// The text of the file that `write` writes into a scratch folder of its own (returning the file's path,
// or none when it failed and said why). The folder is gone before the text is put anywhere, so that a
// run interrupted during the upload leaves no copy of the store's data behind.
using ScratchWriter = std::function<std::optional<std::filesystem::path>(const std::filesystem::path& folder)>;
std::optional<std::string> TextWrittenInScratch(const ScratchWriter& write);

}  // namespace kalendro::tools
