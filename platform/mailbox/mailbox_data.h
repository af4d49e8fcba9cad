#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/store_date.h"

namespace kalendro::mailbox {

// The content of a mailbox file, as the loader reads and validates it.

using MemberValue = std::variant<std::string, StoreDate, std::int32_t, bool>;

// The members an item gives, by name, with the interface of a map. A small array rather than a
// tree: an item has a dozen members or a few dozen, a scan over them is faster than a tree's
// string comparisons, and it holds the names as views of the schemas' own names instead of copies.
class Members {
public:
    using value_type = std::pair<std::string_view, MemberValue>;
    using const_iterator = std::vector<value_type>::const_iterator;

    Members() = default;
    Members(std::initializer_list<value_type> members);

    const_iterator begin() const { return members_.begin(); }
    const_iterator end() const { return members_.end(); }
    std::size_t size() const { return members_.size(); }
    bool empty() const { return members_.empty(); }
    void reserve(std::size_t count) { members_.reserve(count); }

    const_iterator find(std::string_view name) const;
    // The same for a name in its lasting spelling (KnownMemberName, or a schema's entry), found by
    // the text's address alone.
    const_iterator FindLasting(std::string_view lasting) const;
    bool contains(std::string_view name) const { return find(name) != end(); }
    // std::out_of_range when the member is absent.
    const MemberValue& at(std::string_view name) const;

    // Each takes only a member name of some item type (std::invalid_argument otherwise).
    // Adds the member unless it is there already; whether it was added.
    bool emplace(std::string_view name, MemberValue value);
    // The same for a name in its lasting spelling, without looking the name up.
    bool EmplaceLasting(std::string_view lasting, MemberValue value);
    // The member's value, added unset when absent.
    MemberValue& operator[](std::string_view name);

private:
    std::vector<value_type> members_;  // in the order they were added, named in their lasting spelling
};

enum class RecurrenceType : int {
    kDaily = 0,
    kWeekly = 1,
    kMonthly = 2,
    kMonthNth = 3,
    kYearly = 5,
    kYearNth = 6,
};

enum class RecurrenceEnd { kByDate, kAfterOccurrences, kNever };

struct RecurrenceException {
    StoreDate originalDate;  // the start the occurrence would have had
    bool deleted = false;
    Members members;  // for a modified occurrence: the members it overrides (Start and End may move it)
};

struct RecurrencePattern {
    RecurrenceType type = RecurrenceType::kDaily;
    int interval = 1;
    int dayOfWeekMask = 0;       // Sunday 1, Monday 2, ... Saturday 64
    int dayOfMonth = 0;          // 1..31
    int instance = 0;            // 1..5, 5 = last
    int monthOfYear = 0;         // 1..12
    StoreDate patternStartDate;  // a date at midnight
    RecurrenceEnd end = RecurrenceEnd::kNever;
    StoreDate patternEndDate;  // kByDate: the last date that may occur, at midnight
    int occurrences = 0;       // kAfterOccurrences
    std::vector<RecurrenceException> exceptions;
};

struct MailboxItem {
    std::string typeName;  // "AppointmentItem", "ContactItem", "DistListItem", ...
    Members members;       // EntryID always present (generated when the file has none)
    std::optional<RecurrencePattern> recurrence;
};

struct MailboxFolder {
    std::string name;
    std::string entryId;
    std::string storeId;
    std::int32_t defaultItemType = 0;
    std::string defaultRole;  // "", "calendar" or "contacts"
    std::vector<std::shared_ptr<const MailboxItem>> items;
    std::vector<std::shared_ptr<MailboxFolder>> folders;
};

// A mailbox file: one top-level folder per store.
struct Mailbox {
    std::string sourceName;  // the file it was read from, for messages
    std::vector<std::shared_ptr<MailboxFolder>> stores;
};

}  // namespace kalendro::mailbox
