// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/store/failure.h"

namespace kalendro {

Failure::Failure(int number, std::string description)
    : std::runtime_error("Run-time error '" + std::to_string(number) + "': " + description),
      number_(number),
      description_(std::move(description)) {}

std::string UnhandledFailureReport(const Failure& failure) {
    return "Run-time error '" + std::to_string(failure.Number()) + "':\n\n" + failure.Description();
}

Failure OutOfMemoryFailure() { return Failure(kOutOfMemory, "Out of memory"); }

}  // namespace kalendro
