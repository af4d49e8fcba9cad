// SPDX-License-Identifier: GPL-3.0-or-later
// The Restrict filter parser on arbitrary text under several regional date forms: a text it cannot
// read fails with kStoreOperationFailed and a bounded message, and a filter it reads never keeps an appointment whose
// start lies outside the bounds it gives for that appointment's length (the restriction expands
// recurring series only within those bounds).
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "platform/memory_store/filter.h"
#include "platform/store/failure.h"

namespace {

using kalendro::kSecondsPerDay;
using kalendro::RegionalSettings;
using kalendro::StoreDate;
using namespace kalendro::memory_store;

constexpr std::size_t kLongestMessage = 1024;

RegionalSettings Regional(const char* shortDateForm, const char* timeSeparator) {
    RegionalSettings regional;
    regional.shortDateForm = shortDateForm;
    regional.timeSeparator = timeSeparator;
    return regional;
}

const std::array<RegionalSettings, 5> kRegions = {
    Regional("MM/dd/yy", ":"), Regional("dd.MM.yyyy", ":"), Regional("yyyy-MM-dd", ":"),
    Regional("d/M/yyyy", "."), Regional("yy/M/d", ":"),
};

StoreDate DateFrom(FuzzedDataProvider& input) {
    const std::int64_t seconds = input.ConsumeIntegralInRange<std::int64_t>(-62135596800LL, 253402300799LL);
    return StoreDate::FromSerialSeconds(seconds);
}

CollectionEntry AppointmentFrom(FuzzedDataProvider& input) {
    auto item = std::make_shared<MemoryItem>("AppointmentItem");
    const StoreDate start = DateFrom(input);
    const std::int64_t length = input.ConsumeIntegralInRange<std::int64_t>(0, 40 * kSecondsPerDay);
    item->members.Add(MemberId::kStart, start);
    item->members.Add(MemberId::kEnd, StoreDate::FromSerialSeconds(start.SerialSeconds() + length));
    item->members.Add(MemberId::kSubject, input.ConsumeRandomLengthString(64));
    item->members.Add(MemberId::kAllDayEvent, input.ConsumeBool());
    return {item, nullptr};
}

[[noreturn]] void Finding(const std::string& what) {
    std::cerr << "FINDING: " << what << "\n";
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const RegionalSettings& regional = kRegions[input.ConsumeIntegralInRange<std::size_t>(0, kRegions.size() - 1)];
    const CollectionEntry entry = AppointmentFrom(input);
    const std::string text = input.ConsumeRemainingBytesAsString();
    std::optional<Filter> filter;
    try {
        filter = Filter::Parse(text, regional);
    } catch (const kalendro::Failure& failure) {
        if (failure.Number() != kalendro::kStoreOperationFailed || failure.Description().size() > kLongestMessage) {
            Finding("failure " + std::to_string(failure.Number()) + ": " + failure.Description());
        }
        return 0;
    }
    if (!filter->Matches(entry)) {
        return 0;
    }
    const StoreDate start = StartOf(entry);
    const StoreDate end = std::get<StoreDate>(*FindMember(entry, MemberId::kEnd));
    const std::int64_t duration = end.SerialSeconds() - start.SerialSeconds();
    const StartWindow window = filter->StartBounds({duration, duration});
    if ((window.from && start < *window.from) || (window.to && *window.to < start)) {
        Finding("\"" + text + "\" keeps a start of " + start.ToText() + " outside its bounds");
    }
    return 0;
}
