#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/store_date.h"

namespace kalendro::mailbox {

// The content of a mailbox file, as the loader reads and validates it.

using MemberValue = std::variant<std::string, StoreDate, std::int32_t, bool>;
using Members = std::map<std::string, MemberValue, std::less<>>;

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
    int dayOfWeekMask = 0;  // Sunday 1, Monday 2, ... Saturday 64
    int dayOfMonth = 0;     // 1..31
    int instance = 0;       // 1..5, 5 = last
    int monthOfYear = 0;    // 1..12
    StoreDate patternStartDate;  // a date at midnight
    RecurrenceEnd end = RecurrenceEnd::kNever;
    StoreDate patternEndDate;    // kByDate: the last date that may occur, at midnight
    int occurrences = 0;         // kAfterOccurrences
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
