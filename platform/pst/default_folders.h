// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/pst/folder_node.h"
#include "platform/pst/property_bag.h"

namespace kalendro::pst {

// Node ids of the folders Outlook uses by default; none when the file has no such folder.
struct DefaultFolders {
    std::optional<std::uint32_t> calendar;
    std::optional<std::uint32_t> contacts;
};

// The default calendar and contacts folders: those the entry ids on the root folder or on a folder
// of the personal folders (the Inbox) name, PST entry ids by node id and an Exchange store's by the
// folder's FID; else the first calendar (contacts) folder directly under the top of the personal
// folders whose container class is exactly IPF.Appointment (IPF.Contact) and that is not hidden.
DefaultFolders FindDefaultFolders(const FolderNode& root, const PropertyBag& messageStore);

// The top of the personal folders, which holds the mail, calendar, contacts ... folders: the one the
// message store names, else (an OST names none) the folder with the most IPF.* folders directly
// under it, the first found level by level on a tie. Null when no folder holds any.
const FolderNode* FindIpmSubtree(const FolderNode& root, const PropertyBag& messageStore);

}  // namespace kalendro::pst
