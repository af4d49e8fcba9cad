#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "contact_export/contact_export_run.h"
#include "platform/failure.h"
#include "platform/memory_store/member_id.h"
#include "platform/store.h"
#include "testing/memory_text_stream.h"

namespace kalendro::testing {

// A store item whose members are checked against the member table, so that a misspelt
// member name or a read of the wrong kind fails as it would against the store.
class FakeItem : public StoreItem {
public:
    explicit FakeItem(std::string typeName = "ContactItem") : typeName_(std::move(typeName)) {}

    FakeItem& Set(const std::string& member, std::string value) {
        texts_[member] = std::move(value);
        return *this;
    }
    FakeItem& Set(const std::string& member, StoreDate value) {
        dates_[member] = value;
        return *this;
    }
    // Every read of this member fails from now on.
    FakeItem& FailOn(const std::string& member) {
        failingMember_ = member;
        return *this;
    }

    std::string TypeName() const override { return typeName_; }
    std::string Text(std::string_view member) const override {
        Check(member, memory_store::MemberKind::kText);
        const auto found = texts_.find(member);
        return found == texts_.end() ? std::string() : found->second;
    }
    StoreDate Date(std::string_view member) const override {
        Check(member, memory_store::MemberKind::kDate);
        const auto found = dates_.find(member);
        return found == dates_.end() ? StoreDate::NoDate() : found->second;
    }
    std::int32_t Number(std::string_view member) const override {
        Check(member, memory_store::MemberKind::kNumber);
        return 0;
    }
    bool Flag(std::string_view member) const override {
        Check(member, memory_store::MemberKind::kFlag);
        return false;
    }

private:
    void Check(std::string_view member, memory_store::MemberKind kind) const {
        const auto id = memory_store::FindMemberId(member);
        if (!id || !memory_store::TypeHasMember(memory_store::ItemTypeOf(typeName_), *id) ||
            memory_store::KindOf(*id) != kind) {
            throw Failure(kStoreOperationFailed, typeName_ + " has no such member: " + std::string(member));
        }
        if (member == failingMember_) {
            throw Failure(kStoreOperationFailed, "The store did not answer");
        }
    }

    std::string typeName_;
    std::string failingMember_;
    std::map<std::string, std::string, std::less<>> texts_;
    std::map<std::string, StoreDate, std::less<>> dates_;
};

// The worked example contact: Dr. Jane Doe of Acme, Inc.
inline FakeItem WorkedExampleContact() {
    const std::string address = "1 High Street\r\nLondon, N1 9GU\r\nUK";
    FakeItem contact;
    contact.Set("LastName", "Doe").Set("FirstName", "Jane").Set("Title", "Dr.").Set("CompanyName", "Acme, Inc.");
    contact.Set("JobTitle", "Engineer").Set("BusinessTelephoneNumber", "+1 555 0100");
    contact.Set("MobileTelephoneNumber", "+1 555 0199");
    contact.Set("BusinessAddressStreet", "1 High Street").Set("BusinessAddressCity", "London");
    contact.Set("BusinessAddressPostalCode", "N1 9GU").Set("BusinessAddressCountry", "UK");
    contact.Set("BusinessAddress", address).Set("MailingAddress", address);
    contact.Set("Birthday", StoreDate{2002, 3, 7}).Set("Categories", "Business");
    contact.Set("LastModificationTime", StoreDate{2002, 11, 5, 14, 3, 9});
    contact.Set("EntryID", "00000000A1B2C3D4E5F60718293A4B5C6D7E8F90");
    contact.Set("Body", "Met at the trade fair, prefers calls in the morning; please ring before ten.");
    return contact;
}

inline const char* const kWorkedExampleCard =
    "BEGIN:VCARD\r\n"
    "VERSION:3.0\r\n"
    "PRODID:-//MOLV vCard Export Outlook//Version 0.1//EN\r\n"
    "N:Doe;Jane;;Dr.;\r\n"
    "FN:Doe\\, Dr. Jane\r\n"
    "ORG:Acme\\, Inc.\r\n"
    "TITLE:Engineer\r\n"
    "TEL;WORK;VOICE:+1 555 0100\r\n"
    "TEL;CELL;VOICE:+1 555 0199\r\n"
    "ADR;TYPE=work,parcel:;;1 High Street;London;;N1 9GU;UK\r\n"
    "LABEL;TYPE=work,parcel:1 High Street\\nLondon\\, N1 9GU\\nUK\r\n"
    "BDAY:2002-03-07\r\n"
    "CATEGORIES:Business\r\n"
    "REV:2002-11-05T14:03:09\r\n"
    "UID:00000000A1B2C3D4E5F60718293A4B5C6D7E8F90\r\n"
    "NOTE:birthday: Mar 7\\, 2002\\n\\nMet at the trade fair\\, prefers calls in the\r\n"
    "  morning; please ring before ten.\r\n"
    "END:VCARD\r\n";

// Records what the run shows; onProcessEvents stands in for a click handled between two cards.
class RecordingView : public ContactExportView {
public:
    void ShowStatus(const std::string& text) override { statuses.push_back(text); }
    void ShowMessage(const std::string& text, const Failure& cause) override {
        messages.push_back(text);
        causes.push_back(cause.Number());
    }
    void ProcessPendingEvents() override {
        ++eventRounds;
        if (onProcessEvents) {
            onProcessEvents();
        }
    }

    std::vector<std::string> statuses;
    std::vector<std::string> messages;
    std::vector<int> causes;
    int eventRounds = 0;
    std::function<void()> onProcessEvents;
};

// The default contacts folder of a fake store; every part can be told to fail.
class FakeStore : public StoreApplication,
                  public StoreSession,
                  public StoreFolder,
                  public StoreItems,
                  public std::enable_shared_from_this<FakeStore> {
public:
    std::vector<std::shared_ptr<StoreItem>> items;
    int failingFolder = 0;  // GetDefaultFolder of this number fails
    bool failCount = false;
    std::string namespaceType;
    int folderAsked = 0;
    std::function<void()> onNext;  // called before each item is handed out

    std::shared_ptr<StoreSession> GetNamespace(std::string_view type) override {
        namespaceType = type;
        return shared_from_this();
    }
    std::shared_ptr<StoreFolder> GetDefaultFolder(int folderType) override {
        folderAsked = folderType;
        if (folderType == failingFolder) {
            throw Failure(kStoreOperationFailed, "No default folder");
        }
        return shared_from_this();
    }
    std::unique_ptr<StoreItems> Items() override { return std::make_unique<ItemsView>(shared_from_this()); }
    std::int32_t Count() override {
        if (failCount) {
            throw Failure(kStoreOperationFailed, "Count failed");
        }
        return static_cast<std::int32_t>(items.size());
    }
    std::unique_ptr<StoreItemEnumerator> Enumerate() override { return std::make_unique<Enumerator>(items, onNext); }

    std::shared_ptr<StoreFolder> GetFolderFromID(std::string_view, std::string_view) override { return nullptr; }
    std::vector<std::shared_ptr<StoreFolder>> Folders() override { return {}; }
    std::string Name() override { return "Contacts"; }
    std::string EntryID() override { return "F1"; }
    std::string StoreID() override { return "S1"; }
    std::int32_t DefaultItemType() override { return 2; }
    void Sort(std::string_view) override { ADD_FAILURE() << "the contact run sorts nothing"; }
    void SetIncludeRecurrences(bool) override { ADD_FAILURE() << "the contact run expands nothing"; }
    std::unique_ptr<StoreItems> Restrict(std::string_view) override {
        ADD_FAILURE() << "the contact run filters nothing";
        return nullptr;
    }

private:
    // Items() hands out a collection of its own, as the store does.
    class ItemsView : public StoreItems {
    public:
        explicit ItemsView(std::shared_ptr<FakeStore> store) : store_(std::move(store)) {}
        std::int32_t Count() override { return store_->Count(); }
        std::unique_ptr<StoreItemEnumerator> Enumerate() override { return store_->Enumerate(); }
        void Sort(std::string_view property) override { store_->Sort(property); }
        void SetIncludeRecurrences(bool include) override { store_->SetIncludeRecurrences(include); }
        std::unique_ptr<StoreItems> Restrict(std::string_view filter) override { return store_->Restrict(filter); }

    private:
        std::shared_ptr<FakeStore> store_;
    };
    class Enumerator : public StoreItemEnumerator {
    public:
        Enumerator(const std::vector<std::shared_ptr<StoreItem>>& items, const std::function<void()>& onNext)
            : items_(items), onNext_(onNext) {}
        std::shared_ptr<StoreItem> Next() override {
            if (onNext_) {
                onNext_();
            }
            return next_ < items_.size() ? items_[next_++] : nullptr;
        }

    private:
        const std::vector<std::shared_ptr<StoreItem>>& items_;
        const std::function<void()>& onNext_;
        std::size_t next_ = 0;
    };
};

inline std::shared_ptr<FakeItem> Contact(const std::string& lastName) {
    auto contact = std::make_shared<FakeItem>();
    contact->Set("LastName", lastName).Set("EntryID", "ID-" + lastName);
    return contact;
}

inline int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace kalendro::testing
