// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/dav_target.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unordered_set>

#include "platform/store/failure.h"
#include "platform/text/quoted_input.h"
#include "tools/command_line.h"
#include "tools/progress_bar.h"

namespace kalendro::tools {

namespace {

constexpr const char* kPasswordVariable = "KALENDRO_PASSWORD";

dav::DavCredentials Credentials(const DavOptions& options) {
    dav::DavCredentials credentials{options.user, std::nullopt};
    if (const char* password = std::getenv(kPasswordVariable); password != nullptr && *password != '\0') {
        credentials.password = password;
    }
    return credentials;
}

// The progress of the puts: a bar on a terminal, else a line per resource.
class PutProgress {
public:
    explicit PutProgress(std::size_t total)
        : total_(static_cast<int>(total)), onTerminal_(isatty(STDERR_FILENO) == 1) {}
    void Put(const dav::DavResource& resource, int done) {
        if (onTerminal_) {
            bar_.Show(done, total_);
        } else {
            std::cerr << "Put: " + resource.name + " (" + std::to_string(done) + " of " + std::to_string(total_) +
                             ")\n";
        }
    }
    void Finish() { bar_.Finish(); }

private:
    int total_;
    bool onTerminal_;
    TerminalProgress bar_{std::cerr};
};

void WarnOfLeftOut(const dav::SplitFile& split, std::string_view noun) {
    for (const std::string& uid : split.repeatedUids) {
        std::cerr << "Warning: more than one of the " << noun << " has the UID " << uid
                  << "; a collection holds one of them, the first is put\n";
    }
    if (split.withoutUid > 0) {
        std::cerr << "Warning: " << split.withoutUid << " of the " << noun
                  << " have no UID to name them by and are not put\n";
    }
}

// Removes the members this program put in an earlier run that lie in the range and were not put now.
int Prune(dav::DavCollection& collection, const DavUpload& upload, const dav::SplitFile& split) {
    std::unordered_set<std::string> written;
    for (const dav::DavResource& resource : split.resources) {
        written.insert(dav::PercentDecoded(resource.name));
    }
    int removed = 0;
    for (const dav::ListedMember& member : collection.Report(std::string(upload.listQuery))) {
        const std::optional<std::string> name = collection.MemberName(member.href);
        if (name && written.count(*name) == 0 && dav::PropertyValue(member.data, "PRODID") == upload.productId &&
            upload.inRange(member.data)) {
            collection.Delete(*name);
            ++removed;
        }
    }
    return removed;
}

// A folder of its own under the temporary directory, removed with all it holds when it goes.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kalendro-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw Failure(kPathFileAccessError, pattern + ": " + std::strerror(errno));
        }
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!file) {
        throw Failure(kPathFileAccessError, path.string() + ": the file just written could not be read back");
    }
    return text.str();
}

}  // namespace

bool TakeDavOption(const std::string& option, const std::function<const std::string&()>& value, DavOptions& options) {
    if (option == "--user") {
        options.user = value();
    } else if (option == "--prune") {
        options.prune = true;
    } else {
        return false;
    }
    return true;
}

void CheckDavOptions(const DavOptions& options, std::string_view urlOption) {
    const std::string option(urlOption);
    if (options.url.empty()) {
        if (options.prune || !options.user.empty()) {
            throw UsageError("--user and --prune go with " + option + " URL");
        }
        return;
    }
    const std::size_t authority = options.url.find("://");
    const std::string scheme = options.url.substr(0, authority);
    if (authority == std::string::npos || (scheme != "http" && scheme != "https")) {
        throw UsageError(option + " wants an http:// or https:// URL, not " + QuotedInput(options.url));
    }
    // A password in the URL would stand in the process list and the shell's history.
    if (options.url.substr(authority + 3, options.url.find('/', authority + 3) - authority - 3).find('@') !=
        std::string::npos) {
        throw UsageError(option + " URL holds a user: give it with --user, the password in " + kPasswordVariable +
                         " or ~/.netrc");
    }
}

int UploadToCollection(const DavOptions& options, const DavUpload& upload, const dav::SplitFile& split) {
    WarnOfLeftOut(split, upload.noun);
    const std::string total = std::to_string(split.resources.size());
    int accepted = 0;
    PutProgress progress(split.resources.size());
    try {
        dav::DavCollection collection(options.url, Credentials(options));
        collection.CheckKind(upload.kind);
        for (const dav::DavResource& resource : split.resources) {
            collection.Put(resource, upload.contentType);
            progress.Put(resource, ++accepted);
        }
        progress.Finish();
        const int removed = options.prune ? Prune(collection, upload, split) : 0;
        std::cout << accepted << ' ' << upload.noun << " put to " << collection.Url() << '\n';
        if (options.prune) {
            std::cout << removed << ' ' << upload.noun << " removed from " << collection.Url() << '\n';
        }
        return kExitWritten;
    } catch (const Failure& failure) {
        progress.Finish();
        std::cerr << UnhandledFailureReport(failure) << '\n'
                  << accepted << " of " << total << ' ' << upload.noun << " were put before the failure"
                  << (accepted > 0 ? "; running the command again puts them all.\n" : ".\n");
        return kExitFailed;
    }
}

std::optional<std::string> TextWrittenInScratch(const ScratchWriter& write) {
    const ScratchFolder scratch;
    const std::optional<std::filesystem::path> written = write(scratch.Path());
    return written ? std::optional(ReadWholeFile(*written)) : std::nullopt;
}

}  // namespace kalendro::tools
