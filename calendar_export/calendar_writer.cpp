#include "calendar_export/calendar_writer.h"

#include <algorithm>

#include "date_forms/date_forms.h"

namespace kalendro {

namespace {

// Characters that RFC 5545 wants behind a backslash in a TEXT value.
constexpr std::string_view kTextSpecials = "\\;,";

// Appends the text with a backslash before each of the marked characters and every CR LF pair, lone
// CR and lone LF turned into backslash-n, so that no value breaks the line it is written on.
void AppendEscaped(std::string& line, std::string_view text, std::string_view marked) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t special = at;
        while (special < text.size() && text[special] != '\r' && text[special] != '\n' &&
               marked.find(text[special]) == std::string_view::npos) {
            ++special;
        }
        line.append(text, at, special - at);
        if (special == text.size()) {
            break;
        }
        const char c = text[special];
        at = special + 1;
        if (c != '\r' && c != '\n') {
            line += '\\';
            line += c;
            continue;
        }
        if (c == '\r' && at < text.size() && text[at] == '\n') {
            ++at;
        }
        line += "\\n";
    }
}

void WriteDateLine(TextStream& file, std::string_view key, const StoreDate& date) {
    file.WriteLine(std::string(key) + FormatICalDateTime(date));
}

void WriteValueLine(TextStream& file, std::string_view key, std::string_view value, std::string_view marked) {
    std::string line;
    line.reserve(key.size() + value.size());
    line += key;
    AppendEscaped(line, value, marked);
    file.WriteLine(line);
}

void WriteTextLine(TextStream& file, std::string_view key, const StoreItem& appointment, std::string_view member) {
    WriteValueLine(file, key, appointment.Text(member), kTextSpecials);
}

// An empty location leaves the whole line out.
void WriteLocationLine(TextStream& file, const StoreItem& appointment) {
    const std::string location = appointment.Text("Location");
    if (!location.empty()) {
        WriteValueLine(file, "LOCATION:", location, kTextSpecials);
    }
}

// RFC 5545 forbids a DTEND equal to DTSTART: an event that ends when it starts has none.
void WriteStartAndEnd(TextStream& file, const StoreItem& appointment) {
    const StoreDate start = appointment.Date("Start");
    WriteDateLine(file, "DTSTART:", start);
    const StoreDate end = appointment.Date("End");
    if (end != start) {
        WriteDateLine(file, "DTEND:", end);
    }
}

// Occurrences of one series share its EntryID; the date their pattern gave them, which a move leaves
// alone, tells them apart in every export alike.
void WriteUidLine(TextStream& file, const StoreItem& appointment) {
    std::string uid = appointment.Text("EntryID");
    const StoreDate originalDate = appointment.Date("OriginalDate");
    if (!originalDate.IsNoDate()) {
        uid += '-';
        uid += FormatICalDateTime(originalDate).substr(0, 8);
    }
    WriteValueLine(file, "UID:", uid, {});  // the EntryID as the store gives it, line breaks aside
}

// The store keeps the names in one text separated by commas (normally ", "); the file lists each
// name escaped on its own, without the blanks around it, and leaves out the names left empty.
std::string CategoryList(std::string_view categories) {
    std::string list;
    for (std::size_t at = 0; at <= categories.size();) {
        const std::size_t comma = std::min(categories.find(',', at), categories.size());
        const std::size_t first = categories.find_first_not_of(' ', at);
        if (first < comma) {
            const std::size_t last = categories.find_last_not_of(' ', comma - 1);
            if (!list.empty()) {
                list += ',';
            }
            AppendEscaped(list, categories.substr(first, last + 1 - first), kTextSpecials);
        }
        at = comma + 1;
    }
    return list;
}

// No line when no name is left.
void WriteCategoriesLine(TextStream& file, const StoreItem& appointment) {
    const std::string list = CategoryList(appointment.Text("Categories"));
    if (!list.empty()) {
        file.WriteLine("CATEGORIES:" + list);
    }
}

}  // namespace

void WriteCalendarHeader(TextStream& file) {
    file.WriteLine("BEGIN:VCALENDAR");
    file.WriteLine("PRODID:-//MOLV Calender Export//MOLVCal 1.0 MIMEDIR//EN");
    file.WriteLine("VERSION:2.0");
    file.WriteLine("METHOD:PUBLISH");
}

void WriteAppointmentEvent(TextStream& file, const StoreItem& appointment) {
    file.WriteLine("BEGIN:VEVENT");
    file.WriteLine("ORGANIZER:MAILTO:MOLVCal");
    WriteDateLine(file, "DTSTAMP:", appointment.Date("CreationTime"));
    WriteStartAndEnd(file, appointment);
    WriteDateLine(file, "LAST-MODIFIED:", appointment.Date("LastModificationTime"));
    WriteLocationLine(file, appointment);
    WriteUidLine(file, appointment);
    WriteTextLine(file, "DESCRIPTION:", appointment, "Body");
    WriteTextLine(file, "SUMMARY:", appointment, "Subject");
    file.WriteLine("PRIORITY:" + std::to_string(appointment.Number("Importance")));
    if (appointment.Flag("AllDayEvent")) {
        file.WriteLine("TRANSP:TRANSPARENT");
    }
    WriteCategoriesLine(file, appointment);
    file.WriteLine("END:VEVENT");
}

void WriteCalendarTrailer(TextStream& file) { file.WriteLine("END:VCALENDAR"); }

}  // namespace kalendro
