// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "platform/memory_store/member_id.h"
#include "platform/memory_store/members.h"
#include "platform/store/failure.h"
#include "platform/store/store.h"

namespace kalendro::testing {

// A store item held in memory. Members are checked against the program's member table as the
// store checks them: a misspelt name, a member the item type lacks or a read of the wrong kind
// fails. A member never set reads as its unset value (empty text, the no-date value, 0, false).
class FakeItem : public StoreItem {
public:
    using Value = memory_store::MemberValue;

    explicit FakeItem(std::string typeName) : typeName_(std::move(typeName)) {}

    FakeItem& Set(std::string_view member, Value value) {
        if (KindOf(Member(member)) != KindOfValue(value)) {
            throw Failure(kTypeMismatch, "A value of the wrong kind for " + std::string(member));
        }
        members_[std::string(member)] = std::move(value);
        return *this;
    }
    FakeItem& Set(std::string_view member, const char* text) { return Set(member, Value(std::string(text))); }
    // Every read of this member fails from now on.
    FakeItem& FailOn(std::string_view member) {
        failingMember_ = member;
        return *this;
    }
    // The same members under another type name.
    FakeItem WithType(std::string typeName) const {
        FakeItem item = *this;
        item.typeName_ = std::move(typeName);
        return item;
    }

    std::string TypeName() const override { return typeName_; }
    std::string Text(std::string_view member) const override { return Read<std::string>(member); }
    StoreDate Date(std::string_view member) const override { return Read<StoreDate>(member, StoreDate::NoDate()); }
    std::int32_t Number(std::string_view member) const override { return Read<std::int32_t>(member); }
    bool Flag(std::string_view member) const override { return Read<bool>(member); }

private:
    static memory_store::MemberId Member(std::string_view member) {
        const auto id = memory_store::FindMemberId(member);
        if (!id) {
            throw Failure(kStoreOperationFailed, "No item type has a member " + std::string(member));
        }
        return *id;
    }
    template <typename T>
    static memory_store::MemberKind KindOfType() {
        using memory_store::MemberKind;
        if constexpr (std::is_same_v<T, std::string>) {
            return MemberKind::kText;
        } else if constexpr (std::is_same_v<T, StoreDate>) {
            return MemberKind::kDate;
        } else if constexpr (std::is_same_v<T, std::int32_t>) {
            return MemberKind::kNumber;
        } else {
            return MemberKind::kFlag;
        }
    }
    static memory_store::MemberKind KindOfValue(const Value& value) {
        return std::visit([](const auto& held) { return KindOfType<std::decay_t<decltype(held)>>(); }, value);
    }

    template <typename T>
    T Read(std::string_view member, T unset = T{}) const {
        const memory_store::MemberId id = Member(member);
        if (!TypeHasMember(memory_store::ItemTypeOf(typeName_), id) || KindOf(id) != KindOfType<T>()) {
            throw Failure(kStoreOperationFailed, typeName_ + " has no " + std::string(KindName(KindOfType<T>())) +
                                                     " member " + std::string(member));
        }
        if (member == failingMember_) {
            throw Failure(kStoreOperationFailed, "Cannot read " + std::string(member));
        }
        const auto found = members_.find(member);
        return found == members_.end() ? unset : std::get<T>(found->second);
    }

    std::string typeName_;
    std::string failingMember_;
    std::map<std::string, Value, std::less<>> members_;
};

// A contact with only its last name and an entry identifier made from it.
inline std::shared_ptr<FakeItem> Contact(const std::string& lastName) {
    auto contact = std::make_shared<FakeItem>("ContactItem");
    contact->Set("LastName", lastName).Set("EntryID", "ID-" + lastName);
    return contact;
}

// What a run asked of a folder's collections, in order: "Sort [Start]", "IncludeRecurrences 1",
// "Restrict <filter>".
using CollectionLog = std::vector<std::string>;

// The store's item type of contacts, as folders give it.
inline constexpr std::int32_t kContactItemType = 2;

// How a folder's collections misbehave when a test asks them to, and the log they share.
struct CollectionFaults {
    std::shared_ptr<CollectionLog> log = std::make_shared<CollectionLog>();
    bool failRestrict = false;  // Restrict fails
    bool failCount = false;     // Count fails
};

// An items collection over a fixed list. Sort orders by Start, stably; Restrict keeps every item (the
// store's own filtering is tested with the store). Sort, IncludeRecurrences and Restrict go to
// the log.
class FakeItems : public StoreItems {
public:
    FakeItems(std::vector<std::shared_ptr<StoreItem>> items, CollectionFaults faults)
        : items_(std::move(items)), faults_(std::move(faults)) {}

    std::int32_t Count() override {
        if (faults_.failCount) {
            throw Failure(kStoreOperationFailed, "Count failed");
        }
        return static_cast<std::int32_t>(items_.size());
    }
    std::unique_ptr<StoreItemEnumerator> Enumerate() override { return std::make_unique<Enumerator>(items_); }
    void Sort(std::string_view property) override {
        faults_.log->push_back("Sort " + std::string(property));
        std::stable_sort(items_.begin(), items_.end(),
                         [](const auto& a, const auto& b) { return SortStart(*a) < SortStart(*b); });
    }
    void SetIncludeRecurrences(bool include) override {
        faults_.log->push_back("IncludeRecurrences " + std::to_string(include));
    }
    std::unique_ptr<StoreItems> Restrict(std::string_view filter) override {
        faults_.log->push_back("Restrict " + std::string(filter));
        if (faults_.failRestrict) {
            throw Failure(kStoreOperationFailed, "Cannot read the filter");
        }
        return std::make_unique<FakeItems>(items_, faults_);
    }

private:
    // Items of a type without a start (a mail item in a calendar folder) sort last.
    static StoreDate SortStart(const StoreItem& item) {
        return item.TypeName() == "AppointmentItem" ? item.Date("Start") : StoreDate::NoDate();
    }

    class Enumerator : public StoreItemEnumerator {
    public:
        explicit Enumerator(std::vector<std::shared_ptr<StoreItem>> items) : items_(std::move(items)) {}
        std::shared_ptr<StoreItem> Next() override { return next_ < items_.size() ? items_[next_++] : nullptr; }

    private:
        std::vector<std::shared_ptr<StoreItem>> items_;
        std::size_t next_ = 0;
    };

    std::vector<std::shared_ptr<StoreItem>> items_;
    CollectionFaults faults_;
};

// A folder held in memory. Its items and faults may be changed between runs; each Items() takes
// them as they are then.
class FakeFolder : public StoreFolder {
public:
    FakeFolder(std::string name, std::string entryId, std::string storeId,
               std::vector<std::shared_ptr<StoreItem>> folderItems = {},
               std::int32_t defaultItemType = kAppointmentItemType)
        : items(std::move(folderItems)),
          name_(std::move(name)),
          entryId_(std::move(entryId)),
          storeId_(std::move(storeId)),
          defaultItemType_(defaultItemType) {}

    std::string Name() override { return name_; }
    std::string EntryID() override { return entryId_; }
    std::string StoreID() override { return storeId_; }
    std::int32_t DefaultItemType() override { return defaultItemType_; }
    std::vector<std::shared_ptr<StoreFolder>> Folders() override { return {}; }
    std::unique_ptr<StoreItems> Items() override { return std::make_unique<FakeItems>(items, faults); }

    std::vector<std::shared_ptr<StoreItem>> items;
    CollectionFaults faults;

private:
    std::string name_;
    std::string entryId_;
    std::string storeId_;
    std::int32_t defaultItemType_;
};

// An empty folder of contacts, the default contacts folder of a FakeStore that holds it.
inline std::shared_ptr<FakeFolder> ContactsFolder() {
    return std::make_shared<FakeFolder>("Contacts", "F1", "S1", std::vector<std::shared_ptr<StoreItem>>{},
                                        kContactItemType);
}

// The application and its session over a list of folders. The default calendar is the first
// folder of appointments, the default contacts folder the first of contacts. A folder looked up
// by identifiers that name none of them is a store failure, as a removed folder is.
class FakeStore : public StoreApplication, public StoreSession, public std::enable_shared_from_this<FakeStore> {
public:
    explicit FakeStore(std::vector<std::shared_ptr<FakeFolder>> folders) : folders_(std::move(folders)) {}

    std::shared_ptr<StoreSession> GetNamespace(std::string_view type) override {
        namespaceType = type;
        return shared_from_this();
    }
    std::shared_ptr<StoreFolder> GetDefaultFolder(int folderType) override {
        folderAsked = folderType;
        const std::int32_t itemType = folderType == kDefaultContactsFolder ? kContactItemType : kAppointmentItemType;
        const auto found = std::find_if(folders_.begin(), folders_.end(), [itemType](const auto& folder) {
            return folder->DefaultItemType() == itemType;
        });
        if (folderType == failingFolder || found == folders_.end()) {
            throw Failure(kStoreOperationFailed, "No default folder");
        }
        return *found;
    }
    std::shared_ptr<StoreFolder> GetFolderFromID(std::string_view entryId, std::string_view storeId) override {
        for (const auto& folder : folders_) {
            if (folder->EntryID() == entryId && folder->StoreID() == storeId) {
                return folder;
            }
        }
        throw Failure(kStoreOperationFailed, "The folder could not be found");
    }
    std::vector<std::shared_ptr<StoreFolder>> Folders() override { return {}; }

    int failingFolder = 0;  // GetDefaultFolder of this number fails
    std::string namespaceType;
    int folderAsked = 0;

private:
    std::vector<std::shared_ptr<FakeFolder>> folders_;
};

}  // namespace kalendro::testing
