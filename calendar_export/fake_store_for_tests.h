#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/failure.h"
#include "platform/store.h"

namespace kalendro::testing {

// A store item held in memory, for tests. Each read is first passed to onRead (so a test can see
// when it happens); a read of failingMember, of a member the item lacks or of the wrong kind fails.
class FakeItem : public StoreItem {
public:
    using Value = std::variant<std::string, StoreDate, std::int32_t, bool>;

    explicit FakeItem(std::map<std::string, Value, std::less<>> members, std::string typeName = "AppointmentItem")
        : members_(std::move(members)), typeName_(std::move(typeName)) {}

    std::string TypeName() const override { return typeName_; }
    std::string Text(std::string_view member) const override { return Read<std::string>(member); }
    StoreDate Date(std::string_view member) const override { return Read<StoreDate>(member); }
    std::int32_t Number(std::string_view member) const override { return Read<std::int32_t>(member); }
    bool Flag(std::string_view member) const override { return Read<bool>(member); }

    std::string failingMember;
    std::function<void(std::string_view)> onRead;

private:
    template <typename T>
    T Read(std::string_view member) const {
        if (onRead) {
            onRead(member);
        }
        if (member == failingMember) {
            throw Failure(kStoreOperationFailed, "Cannot read " + std::string(member));
        }
        const auto found = members_.find(member);
        if (found == members_.end() || !std::holds_alternative<T>(found->second)) {
            throw Failure(kStoreOperationFailed, "No member " + std::string(member));
        }
        return std::get<T>(found->second);
    }

    std::map<std::string, Value, std::less<>> members_;
    std::string typeName_;
};

// What a run asked of the fake collections, in order: "Sort [Start]", "IncludeRecurrences 1",
// "Restrict <filter>".
using CollectionLog = std::vector<std::string>;

// An items collection over a fixed list. Restrict keeps every item (the store's own filtering is
// tested with the store) unless failRestrict is set; the filter text goes to the log.
class FakeItems : public StoreItems {
public:
    FakeItems(std::vector<std::shared_ptr<StoreItem>> items, std::shared_ptr<CollectionLog> log)
        : items_(std::move(items)), log_(std::move(log)) {}

    std::int32_t Count() override { return static_cast<std::int32_t>(items_.size()); }
    std::unique_ptr<StoreItemEnumerator> Enumerate() override;
    void Sort(std::string_view property) override {
        log_->push_back("Sort " + std::string(property));
        std::stable_sort(items_.begin(), items_.end(),
                         [](const auto& a, const auto& b) { return a->Date("Start") < b->Date("Start"); });
    }
    void SetIncludeRecurrences(bool include) override {
        log_->push_back("IncludeRecurrences " + std::to_string(include));
    }
    std::unique_ptr<StoreItems> Restrict(std::string_view filter) override {
        log_->push_back("Restrict " + std::string(filter));
        if (failRestrict) {
            throw Failure(kStoreOperationFailed, "Cannot read the filter");
        }
        return std::make_unique<FakeItems>(items_, log_);
    }

    bool failRestrict = false;

private:
    class Enumerator : public StoreItemEnumerator {
    public:
        explicit Enumerator(std::vector<std::shared_ptr<StoreItem>> items) : items_(std::move(items)) {}
        std::shared_ptr<StoreItem> Next() override { return next_ < items_.size() ? items_[next_++] : nullptr; }

    private:
        std::vector<std::shared_ptr<StoreItem>> items_;
        std::size_t next_ = 0;
    };

    std::vector<std::shared_ptr<StoreItem>> items_;
    std::shared_ptr<CollectionLog> log_;
};

inline std::unique_ptr<StoreItemEnumerator> FakeItems::Enumerate() { return std::make_unique<Enumerator>(items_); }

class FakeFolder : public StoreFolder {
public:
    FakeFolder(std::string name, std::string entryId, std::string storeId,
               std::vector<std::shared_ptr<StoreItem>> items = {})
        : name_(std::move(name)),
          entryId_(std::move(entryId)),
          storeId_(std::move(storeId)),
          items_(std::move(items)) {}

    std::string Name() override { return name_; }
    std::string EntryID() override { return entryId_; }
    std::string StoreID() override { return storeId_; }
    std::int32_t DefaultItemType() override { return kAppointmentItemType; }
    std::vector<std::shared_ptr<StoreFolder>> Folders() override { return {}; }
    std::unique_ptr<StoreItems> Items() override {
        auto items = std::make_unique<FakeItems>(items_, log);
        items->failRestrict = failRestrict;
        return items;
    }

    std::shared_ptr<CollectionLog> log = std::make_shared<CollectionLog>();
    bool failRestrict = false;

private:
    std::string name_;
    std::string entryId_;
    std::string storeId_;
    std::vector<std::shared_ptr<StoreItem>> items_;
};

// A session over a list of calendar folders, the first being the default calendar. A folder
// looked up by identifiers that name none of them is a store failure, as a removed folder is.
class FakeSession : public StoreSession {
public:
    explicit FakeSession(std::vector<std::shared_ptr<FakeFolder>> calendars) : calendars_(std::move(calendars)) {}

    std::shared_ptr<StoreFolder> GetDefaultFolder(int folderType) override {
        if (folderType != kDefaultCalendarFolder || calendars_.empty()) {
            throw Failure(kStoreOperationFailed, "No default folder");
        }
        return calendars_.front();
    }
    std::shared_ptr<StoreFolder> GetFolderFromID(std::string_view entryId, std::string_view storeId) override {
        for (const auto& folder : calendars_) {
            if (folder->EntryID() == entryId && folder->StoreID() == storeId) {
                return folder;
            }
        }
        throw Failure(kStoreOperationFailed, "The folder could not be found");
    }
    std::vector<std::shared_ptr<StoreFolder>> Folders() override { return {}; }

private:
    std::vector<std::shared_ptr<FakeFolder>> calendars_;
};

}  // namespace kalendro::testing
