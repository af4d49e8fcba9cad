// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system/system_programs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>
#include <string>
#include <vector>

#include "platform/store/failure.h"

namespace kalendro {
namespace {

Failure StartFailure(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return Failure(kFileNotFound, "File not found");
        case EACCES:
        case EPERM:
            return Failure(kPermissionDenied, "Permission denied");
        default:
            return Failure(kPathFileAccessError, "Path/File access error");
    }
}

// Runs in the forked child, so only async-signal-safe calls. The child forks the program and
// exits at once: the program is then nobody's child here and never needs reaping. Whatever stops
// the program from starting goes back as an errno through the pipe, which closes unread on a
// successful exec.
[[noreturn]] void LaunchDetached(char* const* arguments, int errorPipe) {
    setsid();
    const pid_t program = fork();
    if (program > 0) {
        _exit(0);
    }
    if (program == 0) {
        execv(arguments[0], arguments);
    }
    const int error = errno;
    [[maybe_unused]] const ssize_t written = write(errorPipe, &error, sizeof error);
    _exit(127);
}

void WaitForChild(pid_t child) {
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// The errno that the launch sent back, or 0 when the program started.
int ReadLaunchError(int errorPipe) {
    int error = 0;
    ssize_t got;
    while ((got = read(errorPipe, &error, sizeof error)) < 0 && errno == EINTR) {
    }
    return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

// The command line's words; an empty line gives one empty word, a path that names nothing.
std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::istringstream line{std::string(commandLine)};
    std::vector<std::string> words;
    for (std::string word; line >> word;) {
        words.push_back(word);
    }
    if (words.empty()) {
        words.emplace_back();
    }
    return words;
}

}  // namespace

void StartSystemProgram(std::string_view commandLine) {
    // The argument vector is built before the fork: the child may only make async-signal-safe calls.
    std::vector<std::string> words = SplitCommandLine(commandLine);
    std::vector<char*> arguments;
    for (std::string& word : words) {
        arguments.push_back(word.data());
    }
    arguments.push_back(nullptr);
    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        throw StartFailure(errno);
    }
    const pid_t child = fork();
    if (child == 0) {
        close(errorPipe[0]);
        LaunchDetached(arguments.data(), errorPipe[1]);
    }
    const int forkError = errno;
    close(errorPipe[1]);
    if (child < 0) {
        close(errorPipe[0]);
        throw StartFailure(forkError);
    }
    WaitForChild(child);
    const int launchError = ReadLaunchError(errorPipe[0]);
    close(errorPipe[0]);
    if (launchError != 0) {
        throw StartFailure(launchError);
    }
}

bool IsNormalFile(std::string_view path) {
    struct stat status {};
    return stat(std::string(path).c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace kalendro
