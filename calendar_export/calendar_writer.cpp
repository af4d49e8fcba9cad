// SPDX-License-Identifier: GPL-3.0-or-later
#include "calendar_export/calendar_writer.h"

#include <algorithm>

#include "date_forms/date_forms.h"
#include "platform/text/escaped_text.h"

namespace kalendro {

namespace {

// Characters that RFC 5545 wants behind a backslash in a TEXT value; every line break becomes "\n",
// so that no value breaks the line it is written on.
constexpr EscapeSet kTextEscapes("\\;,", true);
// The EntryID as the store gives it, line breaks aside.
constexpr EscapeSet kUidEscapes("", true);

// Composes each line of an event in one buffer that every line reuses.
class EventLines {
public:
    explicit EventLines(TextStream& file) : file_(file) {}

    void Date(std::string_view key, const StoreDate& date) {
        line_.assign(key);
        line_ += FormatICalDateTime(date);
        file_.WriteLine(line_);
    }

    void Value(std::string_view key, std::string_view value, const EscapeSet& escapes) {
        line_.assign(key);
        AppendEscaped(line_, value, escapes);
        file_.WriteLine(line_);
    }

    void Text(std::string_view key, const StoreItem& appointment, std::string_view member) {
        Value(key, appointment.Text(member), kTextEscapes);
    }

    // An empty location leaves the whole line out.
    void Location(const StoreItem& appointment) {
        const std::string location = appointment.Text("Location");
        if (!location.empty()) {
            Value("LOCATION:", location, kTextEscapes);
        }
    }

    // RFC 5545 forbids a DTEND equal to DTSTART: an event that ends when it starts has none.
    void StartAndEnd(const StoreItem& appointment) {
        const StoreDate start = appointment.Date("Start");
        Date("DTSTART:", start);
        const StoreDate end = appointment.Date("End");
        if (end != start) {
            Date("DTEND:", end);
        }
    }

    // Occurrences of one series share its EntryID; the date their pattern gave them, which a move
    // leaves alone, tells them apart in every export alike.
    void Uid(const StoreItem& appointment) {
        std::string uid = appointment.Text("EntryID");
        const StoreDate originalDate = appointment.Date("OriginalDate");
        if (!originalDate.IsNoDate()) {
            uid += '-';
            uid += FormatICalDateTime(originalDate).substr(0, 8);
        }
        Value("UID:", uid, kUidEscapes);
    }

    // The store keeps the names in one text separated by commas (normally ", "); the file lists
    // each name escaped on its own, without the blanks around it, and leaves out the names left
    // empty. No line when no name is left.
    void Categories(const StoreItem& appointment) {
        const std::string categories = appointment.Text("Categories");
        constexpr std::string_view key = "CATEGORIES:";
        line_.assign(key);
        for (std::size_t at = 0; at <= categories.size();) {
            const std::size_t comma = std::min(categories.find(',', at), categories.size());
            const std::size_t first = categories.find_first_not_of(' ', at);
            if (first < comma) {
                const std::size_t last = categories.find_last_not_of(' ', comma - 1);
                if (line_.size() > key.size()) {
                    line_ += ',';
                }
                AppendEscaped(line_, std::string_view(categories).substr(first, last + 1 - first), kTextEscapes);
            }
            at = comma + 1;
        }
        if (line_.size() > key.size()) {
            file_.WriteLine(line_);
        }
    }

    void Priority(const StoreItem& appointment) {
        line_.assign("PRIORITY:");
        line_ += std::to_string(appointment.Number("Importance"));
        file_.WriteLine(line_);
    }

    void Fixed(std::string_view line) { file_.WriteLine(line); }

private:
    TextStream& file_;
    std::string line_;
};

}  // namespace

void WriteCalendarHeader(TextStream& file) {
    file.WriteLine("BEGIN:VCALENDAR");
    file.WriteLine(std::string("PRODID:") + kCalendarProductId);
    file.WriteLine("VERSION:2.0");
    file.WriteLine("METHOD:PUBLISH");
}

void WriteAppointmentEvent(TextStream& file, const StoreItem& appointment) {
    EventLines lines(file);
    lines.Fixed("BEGIN:VEVENT");
    lines.Fixed("ORGANIZER:MAILTO:MOLVCal");
    lines.Date("DTSTAMP:", appointment.Date("CreationTime"));
    lines.StartAndEnd(appointment);
    lines.Date("LAST-MODIFIED:", appointment.Date("LastModificationTime"));
    lines.Location(appointment);
    lines.Uid(appointment);
    lines.Text("DESCRIPTION:", appointment, "Body");
    lines.Text("SUMMARY:", appointment, "Subject");
    lines.Priority(appointment);
    if (appointment.Flag("AllDayEvent")) {
        lines.Fixed("TRANSP:TRANSPARENT");
    }
    lines.Categories(appointment);
    lines.Fixed("END:VEVENT");
}

void WriteCalendarTrailer(TextStream& file) { file.WriteLine("END:VCALENDAR"); }

}  // namespace kalendro
