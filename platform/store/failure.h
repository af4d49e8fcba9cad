// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace kalendro {

// Failure numbers, as the original platform numbers them where it has one. A CalDAV or CardDAV
// server's refusal carries the HTTP status it answered.
enum ErrorNumber : int {
    kInvalidArgument = 5,
    kOverflow = 6,
    kOutOfMemory = 7,
    kTypeMismatch = 13,
    kBadFileName = 52,
    kFileNotFound = 53,
    kFileAlreadyExists = 58,
    kDiskFull = 61,
    kDeviceUnavailable = 68,
    kPermissionDenied = 70,
    kPathFileAccessError = 75,
    kPathNotFound = 76,
    kStoreCannotOpen = 429,
    kStoreOperationFailed = 440,
    kBadServerAnswer = 502,  // HTTP's Bad Gateway: a server answer this program cannot read
};

// Every failure of the program: a number and a description, raised as an exception and
// travelling up to the caller that handles it.
class Failure : public std::runtime_error {
public:
    Failure(int number, std::string description);

    int Number() const { return number_; }
    const std::string& Description() const { return description_; }

private:
    int number_;
    std::string description_;
};

// The report of a failure that nothing handled: "Run-time error 'N':", a blank line and the
// description.
std::string UnhandledFailureReport(const Failure& failure);

// What running out of memory (std::bad_alloc) becomes where failures are reported: failure 7.
Failure OutOfMemoryFailure();

}  // namespace kalendro
