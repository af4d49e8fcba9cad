// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/store/store_date.h"

namespace kalendro {

// The mail store as the program sees it: application, session, folders, item collections and
// items. Every call may raise a Failure; nothing is cached, so each read asks the store again.

inline constexpr int kDefaultCalendarFolder = 9;
inline constexpr int kDefaultContactsFolder = 10;
inline constexpr std::int32_t kAppointmentItemType = 1;

// One item of a folder (appointment, contact, distribution list, mail, ...). Properties are
// read by the store's member name, one request per use; a name the item does not have, or a
// read of the wrong kind, is a failure.
class StoreItem {
public:
    virtual ~StoreItem() = default;
    // "AppointmentItem", "ContactItem", "DistListItem", ...
    virtual std::string TypeName() const = 0;
    virtual std::string Text(std::string_view member) const = 0;
    virtual StoreDate Date(std::string_view member) const = 0;
    virtual std::int32_t Number(std::string_view member) const = 0;
    virtual bool Flag(std::string_view member) const = 0;
};

// Walks a collection once; Next gives null after the last element.
class StoreItemEnumerator {
public:
    virtual ~StoreItemEnumerator() = default;
    virtual std::shared_ptr<StoreItem> Next() = 0;
};

// A folder's items ("Items").
class StoreItems {
public:
    virtual ~StoreItems() = default;
    virtual std::int32_t Count() = 0;
    virtual std::unique_ptr<StoreItemEnumerator> Enumerate() = 0;
    // Sort("[Start]"): ascending by the named property.
    virtual void Sort(std::string_view property) = 0;
    virtual void SetIncludeRecurrences(bool include) = 0;
    // A new collection of the matching items, still sorted.
    virtual std::unique_ptr<StoreItems> Restrict(std::string_view filter) = 0;
};

class StoreFolder {
public:
    virtual ~StoreFolder() = default;
    virtual std::string Name() = 0;
    virtual std::string EntryID() = 0;
    virtual std::string StoreID() = 0;
    virtual std::int32_t DefaultItemType() = 0;
    // The direct subfolders, in the store's order.
    virtual std::vector<std::shared_ptr<StoreFolder>> Folders() = 0;
    // A new collection on every request.
    virtual std::unique_ptr<StoreItems> Items() = 0;
};

// The session ("NameSpace").
class StoreSession {
public:
    virtual ~StoreSession() = default;
    virtual std::shared_ptr<StoreFolder> GetDefaultFolder(int folderType) = 0;
    virtual std::shared_ptr<StoreFolder> GetFolderFromID(std::string_view entryId, std::string_view storeId) = 0;
    // The top-level folder of each open store.
    virtual std::vector<std::shared_ptr<StoreFolder>> Folders() = 0;
};

class StoreApplication {
public:
    virtual ~StoreApplication() = default;
    virtual std::shared_ptr<StoreSession> GetNamespace(std::string_view type) = 0;
};

// "Create the application object": every call connects afresh.
using StoreApplicationFactory = std::function<std::shared_ptr<StoreApplication>()>;

}  // namespace kalendro
