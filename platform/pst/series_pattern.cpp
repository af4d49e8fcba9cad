// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/series_pattern.h"

#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "platform/memory_store/recurrence.h"
#include "platform/pst/item_classes.h"
#include "platform/pst/item_mapping.h"
#include "platform/pst/series_mapping.h"
#include "platform/store/failure.h"

namespace kalendro::pst {

namespace {

using memory_store::MemberId;
using memory_store::MemoryItem;
using memory_store::RecurrenceException;
using memory_store::RecurrencePattern;

// A series' own zone, turning the wall clock of its pattern into this machine's.
class PatternZone : public memory_store::SeriesTimeZone {
public:
    explicit PatternZone(ZoneRules rules) : rules_(std::move(rules)) {}
    StoreDate ToLocal(const StoreDate& zoneWallTime) const override {
        return SeriesWallToMachineLocal(rules_, zoneWallTime);
    }

private:
    std::optional<ZoneRules> rules_;
};

StoreDate AtMinutes(const StoreDate& day, int minutes) {
    return StoreDate::FromSerialSeconds(day.SerialSeconds() + std::int64_t{minutes} * 60);
}

void CheckSeries(const AppointmentRecurrence& recurrence) {
    const auto outside = [](int value, int lowest, int highest) { return value < lowest || value > highest; };
    const RecurrencePattern& pattern = recurrence.pattern;
    if (outside(pattern.interval, 1, 999) || outside(pattern.dayOfMonth, 0, 31) || outside(pattern.instance, 0, 5) ||
        outside(pattern.monthOfYear, 0, 12) || outside(pattern.dayOfWeekMask, 0, 127) ||
        outside(pattern.firstDayOfWeek, 0, 6) || recurrence.endMinutes < recurrence.startMinutes) {
        throw Failure(kStoreOperationFailed, "its recurrence pattern holds values out of range");
    }
}

// Deleted and modified occurrences, each on a date of the pattern and at most one per date; Outlook
// shows the series without an exception that breaks this, so the store leaves out that one alone.
std::vector<LeftOutException> AddExceptions(RecurrencePattern& pattern, const Message& series,
                                            const AppointmentRecurrence& recurrence,
                                            const memory_store::RecurringSeries& expansion, CodePageDecoder& decoder) {
    std::set<StoreDate> originals;
    std::vector<LeftOutException> leftOut;
    const auto add = [&](RecurrenceException exception) {
        if (!expansion.IsPatternOccurrence(exception.originalDate)) {
            leftOut.push_back({exception.originalDate, "it is no occurrence of the pattern"});
        } else if (!originals.insert(exception.originalDate).second) {
            leftOut.push_back({exception.originalDate, "another exception already changes that occurrence"});
        } else {
            pattern.exceptions.push_back(std::move(exception));
        }
    };
    for (const StoreDate& deleted : recurrence.deletedDates) {
        add({AtMinutes(deleted, recurrence.startMinutes), true, {}});
    }
    for (const ModifiedOccurrence& modified : MapModifiedOccurrences(series, recurrence, decoder)) {
        RecurrenceException exception{modified.originalStart, false, {}};
        for (const auto& [member, value] : modified.members) {
            exception.members.Set(member, memory_store::ViewOf(value));
        }
        add(std::move(exception));
    }
    return leftOut;
}

}  // namespace

std::vector<LeftOutException> AddRecurrence(MemoryItem& item, const Message& message, CodePageDecoder& decoder) {
    const std::optional<AppointmentRecurrence> recurrence = ReadRecurrence(message.properties, decoder);
    if (!recurrence) {
        return {};
    }
    CheckSeries(*recurrence);
    RecurrencePattern pattern = recurrence->pattern;
    const StoreDate start = AtMinutes(pattern.patternStartDate, recurrence->startMinutes);
    const StoreDate end = AtMinutes(pattern.patternStartDate, recurrence->endMinutes);
    item.members.Set(MemberId::kStart, start);
    item.members.Set(MemberId::kEnd, end);
    const std::optional<memory_store::MemberView> allDay = item.members.Find(MemberId::kAllDayEvent);
    if (!allDay || !std::get<bool>(*allDay)) {
        if (std::optional<ZoneRules> zone = SeriesZone(message.properties)) {
            pattern.zone = std::make_shared<PatternZone>(std::move(*zone));
        }
    }
    std::vector<LeftOutException> leftOut = AddExceptions(
        pattern, message, *recurrence, memory_store::RecurringSeries(pattern, start, end, pattern.zone.get()), decoder);
    item.recurrence = std::make_unique<RecurrencePattern>(std::move(pattern));
    return leftOut;
}

std::string LeftOutExceptionText(const std::string& subject, const LeftOutException& exception) {
    return "the exception of " + exception.originalStart.ToText() + " of \"" + subject + "\": " + exception.reason;
}

}  // namespace kalendro::pst
