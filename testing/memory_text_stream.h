// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "platform/files/output_files.h"
#include "platform/store/failure.h"

namespace kalendro::testing {

// A text stream that keeps its bytes in memory (lines ended by CR LF) and can be told to fail:
// with failAfterWrites = N, the (N+1)-th WriteLine or Write raises a device failure and writes
// nothing.
class MemoryTextStream : public TextStream {
public:
    explicit MemoryTextStream(int failAfterWrites = -1) : failAfterWrites_(failAfterWrites) {}

    void WriteLine(std::string_view text) override { Append(std::string(text) + "\r\n"); }
    void Write(std::string_view text) override { Append(std::string(text)); }
    void Close() override { closed_ = true; }

    const std::string& Bytes() const { return bytes_; }
    bool Closed() const { return closed_; }
    int Writes() const { return writes_; }

private:
    void Append(const std::string& text) {
        if (failAfterWrites_ >= 0 && writes_ >= failAfterWrites_) {
            throw Failure(kDeviceUnavailable, "Device unavailable");
        }
        ++writes_;
        bytes_ += text;
    }

    int failAfterWrites_;
    int writes_ = 0;
    bool closed_ = false;
    std::string bytes_;
};

}  // namespace kalendro::testing
