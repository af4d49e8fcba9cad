#pragma once

#include <string>
#include <string_view>

#include "platform/output_files.h"
#include "platform/store.h"

namespace kalendro {

// The iCalendar file: four header lines, one event block per appointment, one trailer line.
// Nothing is caught: a failing read or write leaves the lines written before it in the file.

void WriteCalendarHeader(TextStream& file);
// Reads each property of the appointment when its line is due and writes that line before
// reading the next one.
void WriteAppointmentEvent(TextStream& file, const StoreItem& appointment);
void WriteCalendarTrailer(TextStream& file);

// Every CR LF pair, lone CR and lone LF becomes backslash-n, so that no value breaks the line it
// is written on. Nothing else is escaped.
std::string EscapeLineBreaks(std::string_view text);

}  // namespace kalendro
