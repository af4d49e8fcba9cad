// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/series_mapping.h"

#include <algorithm>
#include <tuple>

#include "platform/pst/item_mapping.h"
#include "platform/pst/property_reading.h"
#include "platform/store/failure.h"

namespace kalendro::pst {

namespace {

using memory_store::MemberId;

std::optional<ZoneRules> ZoneFrom(const PropertyBag& bag, std::uint32_t lid, bool definition) {
    const PropertyValue* value = bag.Find(Lid(kPsetidAppointment, lid));
    if (value == nullptr || value->data.empty()) {
        return std::nullopt;
    }
    return definition ? ZoneRules::FromDefinition(value->data) : ZoneRules::FromTimeZoneStruct(value->data);
}

bool SameRule(const ZoneRule& left, const ZoneRule& right) {
    const auto transition = [](const TransitionDate& date) {
        return std::tie(date.year, date.month, date.dayOfWeek, date.day, date.hour, date.minute, date.second);
    };
    return left.bias == right.bias && left.standardBias == right.standardBias &&
           left.daylightBias == right.daylightBias && transition(left.standardDate) == transition(right.standardDate) &&
           transition(left.daylightDate) == transition(right.daylightDate);
}

constexpr std::size_t kUnmatched = static_cast<std::size_t>(-1);

// For each modified instance, the index of its embedded exception message, or kUnmatched.
std::vector<std::size_t> MatchExceptionMessages(const std::vector<Message>& embedded,
                                                const std::vector<std::int64_t>& originalUtc) {
    std::vector<std::size_t> match(originalUtc.size(), kUnmatched);
    std::vector<bool> used(embedded.size(), false);
    for (std::size_t message = 0; message < embedded.size(); ++message) {
        const auto replaced = TimeOf(embedded[message].properties, Lid(kPsetidAppointment, kExceptionReplaceTime));
        const auto instance = std::find(originalUtc.begin(), originalUtc.end(), replaced.value_or(INT64_MIN));
        if (replaced && instance != originalUtc.end() && match[instance - originalUtc.begin()] == kUnmatched) {
            match[instance - originalUtc.begin()] = message;
            used[message] = true;
        }
    }
    std::size_t next = 0;
    for (std::size_t& matched : match) {
        while (next < embedded.size() && used[next]) {
            ++next;
        }
        if (matched == kUnmatched && next < embedded.size()) {
            matched = next;
            used[next] = true;
        }
    }
    return match;
}

struct OccurrenceContext {
    const PropertyBag& series;
    const std::optional<ZoneRules>& zone;
    const std::string& seriesBody;
};

std::pair<StoreDate, StoreDate> OccurrenceBounds(const OccurrenceContext& context, const ModifiedInstance& instance,
                                                 const Message* exception) {
    const bool allDay =
        instance.allDayEvent.value_or(FlagOf(context.series, Lid(kPsetidAppointment, kSubType)).value_or(false));
    if (allDay) {
        return {instance.start, instance.end};
    }
    const auto whole = [&](std::uint32_t lid, const StoreDate& wall) {
        const auto utc =
            exception == nullptr ? std::nullopt : TimeOf(exception->properties, Lid(kPsetidAppointment, lid));
        return UtcToMachineLocal(utc ? *utc : SeriesWallToUtc(context.zone, wall));
    };
    return {whole(kStartWhole, instance.start), whole(kEndWhole, instance.end)};
}

MemberValues OverriddenMembers(const OccurrenceContext& context, const ModifiedInstance& instance,
                               const Message* exception) {
    const auto [start, end] = OccurrenceBounds(context, instance, exception);
    MemberValues members = {{MemberId::kStart, start}, {MemberId::kEnd, end}};
    if (instance.subject) {
        members.emplace_back(MemberId::kSubject, *instance.subject);
    }
    if (instance.location) {
        members.emplace_back(MemberId::kLocation, *instance.location);
    }
    if (exception != nullptr) {
        CodePageDecoder decoder = MessageDecoder(exception->properties);
        std::string body = BodyText(exception->properties, decoder);
        const bool ownBody = instance.hasOwnBody ||
                             FlagOf(exception->properties, Lid(kPsetidAppointment, kExceptionalBody)).value_or(false);
        if (ownBody || (!body.empty() && body != context.seriesBody)) {
            members.emplace_back(MemberId::kBody, std::move(body));
        }
    }
    if (instance.allDayEvent) {
        members.emplace_back(MemberId::kAllDayEvent, *instance.allDayEvent);
    }
    return members;
}

}  // namespace

std::optional<ZoneRules> DefinitionIfReadable(const PropertyBag& bag, std::uint32_t lid) {
    try {
        return ZoneFrom(bag, lid, true);
    } catch (const Failure&) {
        return std::nullopt;  // the other zone properties still describe the zone
    }
}

std::optional<AppointmentRecurrence> ReadRecurrence(const PropertyBag& appointment, CodePageDecoder& decoder) {
    const PropertyValue* blob = appointment.Find(Lid(kPsetidAppointment, kRecurrenceBlob));
    const bool recurring = FlagOf(appointment, Lid(kPsetidAppointment, kRecurring)).value_or(true);
    if (blob == nullptr || blob->data.empty() || !recurring) {
        return std::nullopt;
    }
    return ParseAppointmentRecurrence(blob->data, decoder);
}

std::optional<ZoneRules> SeriesZone(const PropertyBag& appointment) {
    std::optional<ZoneRules> definition = DefinitionIfReadable(appointment, kZoneDefinitionRecur);
    std::optional<ZoneRules> structure = ZoneFrom(appointment, kTimeZoneStruct, false);
    if (!definition || !structure) {
        return definition ? definition : structure;
    }
    const ZoneRule& legacy = structure->Rules().front();
    const auto& rules = definition->Rules();
    const bool agrees =
        std::any_of(rules.begin(), rules.end(), [&](const ZoneRule& rule) { return SameRule(rule, legacy); });
    return agrees ? definition : structure;
}

std::int64_t SeriesWallToUtc(const std::optional<ZoneRules>& zone, const StoreDate& wall) {
    return zone ? zone->WallToUtc(wall.SerialSeconds()) : MachineLocalToUtc(wall);
}

StoreDate SeriesWallToMachineLocal(const std::optional<ZoneRules>& zone, const StoreDate& wall) {
    return zone ? UtcToMachineLocal(zone->WallToUtc(wall.SerialSeconds())) : wall;
}

std::vector<ModifiedOccurrence> MapModifiedOccurrences(const Message& series, const AppointmentRecurrence& recurrence,
                                                       CodePageDecoder& decoder) {
    const std::optional<ZoneRules> zone = SeriesZone(series.properties);
    const std::string seriesBody = BodyText(series.properties, decoder);
    const OccurrenceContext context{series.properties, zone, seriesBody};
    std::vector<std::int64_t> originalUtc;
    for (const ModifiedInstance& instance : recurrence.modified) {
        originalUtc.push_back(SeriesWallToUtc(zone, instance.originalStart));
    }
    const std::vector<std::size_t> match = MatchExceptionMessages(series.embedded, originalUtc);
    std::vector<ModifiedOccurrence> occurrences;
    for (std::size_t index = 0; index < recurrence.modified.size(); ++index) {
        const ModifiedInstance& instance = recurrence.modified[index];
        const Message* exception = match[index] == kUnmatched ? nullptr : &series.embedded[match[index]];
        occurrences.push_back({instance.originalStart, UtcToMachineLocal(originalUtc[index]),
                               OverriddenMembers(context, instance, exception)});
    }
    return occurrences;
}

}  // namespace kalendro::pst
