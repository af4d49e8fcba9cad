// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the exported calendars back with libical, the parser of Evolution and of many other calendar
// programs: every event must arrive whole, under a UID of its own, with the values the mailbox holds.
#include <gtest/gtest.h>
#include <libical/ical.h>

#include <clocale>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "testing/caught_command.h"
#include "testing/source_path.h"
#include "testing/temporary_directory.h"
#include "tools/commands.h"

namespace kalendro::tools {
namespace {

struct ReadEvent {
    std::string start;
    bool hasEnd = false;
    std::string summary;
    std::string location;
    std::string description;
    std::vector<std::string> categories;
    std::vector<std::string> parseErrors;
};

std::string TextOf(const char* text) { return text == nullptr ? std::string() : std::string(text); }

int CountOf(icalcomponent* event, icalproperty_kind kind) { return icalcomponent_count_properties(event, kind); }

// What libical could not read in the component. An empty DESCRIPTION, which the file keeps on purpose,
// is no loss: libical drops it with a note, and reads the description as empty as it is.
std::vector<std::string> ParseErrorsOf(icalcomponent* component) {
    std::vector<std::string> errors;
    for (icalproperty* property = icalcomponent_get_first_property(component, ICAL_XLICERROR_PROPERTY);
         property != nullptr; property = icalcomponent_get_next_property(component, ICAL_XLICERROR_PROPERTY)) {
        const std::string error = TextOf(icalproperty_get_xlicerror(property));
        if (error.rfind("No value for DESCRIPTION property", 0) != 0) {
            errors.push_back(error);
        }
    }
    return errors;
}

std::vector<std::string> CategoriesOf(icalcomponent* event) {
    std::vector<std::string> names;
    for (icalproperty* property = icalcomponent_get_first_property(event, ICAL_CATEGORIES_PROPERTY);
         property != nullptr; property = icalcomponent_get_next_property(event, ICAL_CATEGORIES_PROPERTY)) {
        names.push_back(TextOf(icalproperty_get_categories(property)));
    }
    return names;
}

ReadEvent ReadOne(icalcomponent* event) {
    return {icaltime_as_ical_string(icalcomponent_get_dtstart(event)),
            CountOf(event, ICAL_DTEND_PROPERTY) != 0,
            TextOf(icalcomponent_get_summary(event)),
            TextOf(icalcomponent_get_location(event)),
            TextOf(icalcomponent_get_description(event)),
            CategoriesOf(event),
            ParseErrorsOf(event)};
}

// Every event of the file by its UID; a UID met twice or a line libical cannot read fails the test.
std::map<std::string, ReadEvent> ReadEvents(const std::string& text) {
    std::unique_ptr<icalcomponent, decltype(&icalcomponent_free)> calendar(icalparser_parse_string(text.c_str()),
                                                                           icalcomponent_free);
    EXPECT_NE(calendar, nullptr);
    std::map<std::string, ReadEvent> events;
    if (calendar == nullptr) {
        return events;
    }
    EXPECT_EQ(ParseErrorsOf(calendar.get()), std::vector<std::string>{});
    for (icalcomponent* event = icalcomponent_get_first_component(calendar.get(), ICAL_VEVENT_COMPONENT);
         event != nullptr; event = icalcomponent_get_next_component(calendar.get(), ICAL_VEVENT_COMPONENT)) {
        const std::string uid = TextOf(icalcomponent_get_uid(event));
        const ReadEvent read = ReadOne(event);
        EXPECT_EQ(read.parseErrors, std::vector<std::string>{}) << uid;
        EXPECT_TRUE(events.emplace(uid, read).second) << "UID given twice: " << uid;
    }
    return events;
}

// The calendar file kalendro-export writes for the mailbox's default calendar and the days given, in
// UTF-8 (the file's character set follows the locale, and the demo's texts are not all ASCII).
std::string ExportCalendar(const char* mailbox, const std::string& from, const std::string& to) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    const testing::TemporaryDirectory target;
    const testing::CommandResult result =
        testing::RunCaught(RunCalendarCommand, {"--store", testing::SourcePath(mailbox).string(), "--target",
                                                target.Path().string(), "--from", from, "--to", to});
    EXPECT_EQ(result.status, 0) << result.err;
    return testing::ReadFileBytes(target.Path() / "Calendars/vCalendar.ics");
}

TEST(ReadBackWithLibical, EveryEdgeCaseArrivesWithItsOwnUidAndUnchangedTexts) {
    const auto events = ReadEvents(ExportCalendar("testing/data/edge-cases-mailbox.json", "2027-03-01", "2027-03-31"));

    ASSERT_EQ(events.size(), 7u);
    const ReadEvent& texts = events.at("0000EDGE0001");
    EXPECT_EQ(texts.summary, "Backup C:\\temp\\new; then, copy");
    EXPECT_EQ(texts.location, "Room 1; floor 2, wing \\A\\");
    EXPECT_EQ(texts.description, "Line one, with comma; semicolon\nLine two \\n is no break\nLine three\nLine four");
    EXPECT_EQ(texts.categories, (std::vector<std::string>{"Work", "Project; X", "Back\\slash"}));
    EXPECT_TRUE(texts.hasEnd);

    const ReadEvent& instant = events.at("0000EDGE0002");
    EXPECT_FALSE(instant.hasEnd);
    EXPECT_EQ(instant.start, "20270302T120000");
    EXPECT_TRUE(instant.categories.empty());

    // The series' occurrences are named by the date the pattern gives them; the moved one keeps its
    // date of origin, the deleted one (10 March) is gone.
    for (const char* uid : {"0000EDGE0003-20270303", "0000EDGE0003-20270324", "0000EDGE0003-20270331"}) {
        EXPECT_EQ(events.at(uid).summary, "Weekly sync, team \"A\"") << uid;
        EXPECT_EQ(events.at(uid).categories, std::vector<std::string>{"Work"}) << uid;
    }
    const ReadEvent& moved = events.at("0000EDGE0003-20270317");
    EXPECT_EQ(moved.start, "20270318T090000");
    EXPECT_EQ(moved.summary, "Weekly sync; moved");
    EXPECT_EQ(moved.location, "Online");
    EXPECT_TRUE(events.at("0000EDGE0004").hasEnd);
}

TEST(ReadBackWithLibical, TheDemoMonthArrivesWhole) {
    const auto events = ReadEvents(ExportCalendar("samples/demo-mailbox.json", "2026-12-01", "2026-12-31"));

    EXPECT_EQ(events.size(), 59u);  // as python-dateutil expands the month
    std::map<std::string, int> bySummary;
    for (const auto& [uid, event] : events) {
        ++bySummary[event.summary];
        if (event.summary == "Daily stand-up" && event.start == "20261201T103000") {
            EXPECT_EQ(uid.substr(uid.size() - 9), "-20261201");
            EXPECT_EQ(event.location, "Online (video call)");
        }
        if (event.summary == "Book club") {
            EXPECT_EQ(event.location, "Café Luise, Bergstraße 4");
            EXPECT_EQ(event.description, "December: \"The Remains of the Day\".\nBring snacks if it's your turn.");
        }
    }
    // Weekdays of December but the deleted 24th; the moved 1st still counts.
    EXPECT_EQ(bySummary["Daily stand-up"], 22);
    EXPECT_EQ(bySummary["Book club"], 1);
}

}  // namespace
}  // namespace kalendro::tools
