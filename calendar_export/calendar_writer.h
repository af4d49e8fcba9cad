// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/files/output_files.h"
#include "platform/store/store.h"

namespace kalendro {

// The iCalendar file: four header lines, one event block per appointment, one trailer line.
// Nothing is caught: a failing read or write leaves the lines written before it in the file.

// The PRODID of the header, by which a server's copies of the events tell that this program wrote them.
inline constexpr const char* kCalendarProductId = "-//MOLV Calender Export//MOLVCal 1.0 MIMEDIR//EN";

void WriteCalendarHeader(TextStream& file);
// Reads each property of the appointment when its line is due and writes that line before
// reading the next one.
void WriteAppointmentEvent(TextStream& file, const StoreItem& appointment);
void WriteCalendarTrailer(TextStream& file);

}  // namespace kalendro
