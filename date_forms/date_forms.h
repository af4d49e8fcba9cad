// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "platform/store/store_date.h"

namespace kalendro {

// The fixed date-time texts of the output files: ASCII digits, fixed separators and the 24-hour
// clock whatever the regional settings say, the wall-clock value as the store gives it, no zone.

// "YYYYMMDDThhmmss", e.g. 20020915T080509.
std::string FormatICalDateTime(const StoreDate& date);
// "YYYY-MM-DD", e.g. 2002-09-15.
std::string FormatIsoDate(const StoreDate& date);
// "YYYY-MM-DDThh:mm:ss", e.g. 2002-09-15T08:05:09.
std::string FormatIsoDateTime(const StoreDate& date);

}  // namespace kalendro
