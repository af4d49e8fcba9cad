#include "calendar_export/calendar_writer.h"

#include "date_forms/date_forms.h"

namespace kalendro {

namespace {

// Appends the text with every CR LF pair, lone CR and lone LF turned into backslash-n, so that no
// value breaks the line it is written on; nothing else is escaped.
void AppendEscapedLineBreaks(std::string& line, std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        std::size_t lineBreak = at;
        while (lineBreak < text.size() && text[lineBreak] != '\r' && text[lineBreak] != '\n') {
            ++lineBreak;
        }
        line.append(text, at, lineBreak - at);
        if (lineBreak == text.size()) {
            break;
        }
        at = lineBreak + 1;
        if (text[lineBreak] == '\r' && at < text.size() && text[at] == '\n') {
            ++at;
        }
        line += "\\n";
    }
}

void WriteDateLine(TextStream& file, std::string_view key, const StoreItem& appointment, std::string_view member) {
    std::string line(key);
    line += FormatICalDateTime(appointment.Date(member));
    file.WriteLine(line);
}

void WriteValueLine(TextStream& file, std::string_view key, std::string_view value) {
    std::string line;
    line.reserve(key.size() + value.size());
    line += key;
    AppendEscapedLineBreaks(line, value);
    file.WriteLine(line);
}

void WriteTextLine(TextStream& file, std::string_view key, const StoreItem& appointment, std::string_view member) {
    WriteValueLine(file, key, appointment.Text(member));
}

// Location and categories are optional: an empty text leaves the whole line out.
void WriteTextLineUnlessEmpty(TextStream& file, std::string_view key, const StoreItem& appointment,
                              std::string_view member) {
    const std::string value = appointment.Text(member);
    if (!value.empty()) {
        WriteValueLine(file, key, value);
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
    WriteDateLine(file, "DTSTAMP:", appointment, "CreationTime");
    WriteDateLine(file, "DTSTART:", appointment, "Start");
    WriteDateLine(file, "DTEND:", appointment, "End");
    WriteDateLine(file, "LAST-MODIFIED:", appointment, "LastModificationTime");
    WriteTextLineUnlessEmpty(file, "LOCATION:", appointment, "Location");
    WriteTextLine(file, "UID:", appointment, "EntryID");
    WriteTextLine(file, "DESCRIPTION:", appointment, "Body");
    WriteTextLine(file, "SUMMARY:", appointment, "Subject");
    file.WriteLine("PRIORITY:" + std::to_string(appointment.Number("Importance")));
    if (appointment.Flag("AllDayEvent")) {
        file.WriteLine("TRANSP:TRANSPARENT");
    }
    WriteTextLineUnlessEmpty(file, "CATEGORIES:", appointment, "Categories");
    file.WriteLine("END:VEVENT");
}

void WriteCalendarTrailer(TextStream& file) { file.WriteLine("END:VCALENDAR"); }

}  // namespace kalendro
