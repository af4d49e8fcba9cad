// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <string>

namespace kalendro::fuzz {

// A directory of this process in memory where there is one, removed when the fuzzer exits.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& fuzzer)
        : path_(std::filesystem::path(std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp") /
                ("kalendro-" + fuzzer + "-" + std::to_string(getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchDirectory() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
        if (error) {
            std::cerr << "cannot remove " << path_ << ": " << error.message() << "\n";
        }
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace kalendro::fuzz
