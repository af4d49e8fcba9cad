// SPDX-License-Identifier: GPL-3.0-or-later
// The exports of the test data, each kept as a golden file beside its input in testing/data or
// testing/data/pst: NAME.vcf is the contacts export of NAME.json (or .pst, .ost), NAME.FROM.TO.ics its
// calendar export from day FROM through day TO (YYYY-MM-DD). Each is compared byte for byte, CR LF
// included, as written on a machine in California with a UTF-8 locale. A new case is an input and its
// expected file dropped beside it. Each input is read from a
// read-only copy that the export leaves as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/pst/test_values.h"
#include "testing/caught_command.h"
#include "testing/source_path.h"
#include "testing/temporary_directory.h"
#include "tools/commands.h"

namespace kalendro::tools {
namespace {

namespace fs = std::filesystem;
using testing::CommandResult;
using testing::RunCaught;

struct GoldenFile {
    fs::path expected;
    fs::path input;
    std::vector<std::string> nameParts;  // NAME, then FROM and TO for a calendar
};

std::vector<std::string> SplitAtDots(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t dot = text.find('.'); dot != std::string::npos; dot = text.find('.', start)) {
        parts.push_back(text.substr(start, dot - start));
        start = dot + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::optional<fs::path> InputNamed(const fs::path& folder, const std::string& name) {
    for (const char* extension : {".json", ".pst", ".ost"}) {
        const fs::path input = folder / (name + extension);
        if (fs::exists(input)) {
            return input;
        }
    }
    return std::nullopt;
}

// Every golden file of the data folders, in name order; one without its input fails the test.
std::vector<GoldenFile> GoldenFiles() {
    std::vector<GoldenFile> files;
    for (const char* folder : {"testing/data", "testing/data/pst"}) {
        for (const fs::directory_entry& entry : fs::directory_iterator(testing::SourcePath(folder))) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".ics" && extension != ".vcf") {
                continue;
            }
            const std::vector<std::string> parts = SplitAtDots(entry.path().stem().string());
            const std::optional<fs::path> input = InputNamed(entry.path().parent_path(), parts[0]);
            EXPECT_TRUE(input) << entry.path() << " has no input " << parts[0] << ".json, .pst or .ost beside it";
            EXPECT_EQ(parts.size(), extension == ".ics" ? 3u : 1u)
                << entry.path() << ": not NAME.FROM.TO.ics or NAME.vcf";
            if (input) {
                files.push_back({entry.path(), *input, parts});
            }
        }
    }
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.expected < b.expected; });
    return files;
}

std::string Export(const GoldenFile& golden, const fs::path& store, const fs::path& directory) {
    if (golden.expected.extension() == ".vcf") {
        const fs::path output = directory / "contacts.vcf";
        const CommandResult result =
            RunCaught(RunContactsCommand, {"--store", store.string(), "--output", output.string()});
        EXPECT_EQ(result.status, 0) << result.err;
        return testing::ReadFileBytes(output);
    }
    const CommandResult result =
        RunCaught(RunCalendarCommand, {"--store", store.string(), "--target", directory.string(), "--from",
                                       golden.nameParts[1], "--to", golden.nameParts[2]});
    EXPECT_EQ(result.status, 0) << result.err;
    return testing::ReadFileBytes(directory / "Calendars" / "vCalendar.ics");
}

// Exports a read-only copy of the input, which must be left as it was: same bytes, same time of change.
std::string ExportCopy(const GoldenFile& golden, const fs::path& directory) {
    const fs::path store = directory / golden.input.filename();
    fs::copy_file(golden.input, store);
    fs::permissions(store, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string before = testing::ReadFileBytes(store);
    const fs::file_time_type modified = fs::last_write_time(store);
    std::string written = Export(golden, store, directory);
    EXPECT_EQ(testing::ReadFileBytes(store), before);
    EXPECT_EQ(fs::last_write_time(store), modified);
    return written;
}

// The first line where the two texts part, for a message that shows where an export went wrong.
std::string FirstDifference(const std::string& written, const std::string& expected) {
    std::size_t lineStart = 0;
    std::size_t at = 0;
    while (at < written.size() && at < expected.size() && written[at] == expected[at]) {
        lineStart = written[at] == '\n' ? at + 1 : lineStart;
        ++at;
    }
    const auto line = [lineStart](const std::string& text) {
        return text.substr(lineStart, text.find('\n', lineStart) - lineStart);
    };
    return "written:  " + line(written) + "\nexpected: " + line(expected);
}

TEST(GoldenFilesTest, EveryExportOfTheTestDataIsItsGoldenFileByteForByte) {
    const pst::testing::ScopedMachineZone zone(pst::testing::kPacificPosix);
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    const std::vector<GoldenFile> files = GoldenFiles();
    EXPECT_EQ(files.size(), 15u);
    for (const GoldenFile& golden : files) {
        SCOPED_TRACE(golden.expected.string());
        const testing::TemporaryDirectory directory;
        const std::string written = ExportCopy(golden, directory.Path());
        const std::string expected = testing::ReadFileBytes(golden.expected);
        EXPECT_FALSE(expected.empty());
        EXPECT_TRUE(written == expected) << FirstDifference(written, expected);
    }
    std::setlocale(LC_CTYPE, locale.c_str());
}

}  // namespace
}  // namespace kalendro::tools
