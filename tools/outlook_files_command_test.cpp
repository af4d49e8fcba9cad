#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <sstream>
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

std::string SamplePath(std::string_view name) {
    return testing::SourcePath("testing/data/pst/" + std::string(name)).string();
}

// The lines of a written file that start with one of the names.
std::vector<std::string> LinesNamed(const std::string& file, const std::vector<std::string>& names) {
    std::vector<std::string> lines;
    std::istringstream text(file);
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        for (const std::string& name : names) {
            if (line.rfind(name, 0) == 0) {
                lines.push_back(line);
                break;
            }
        }
    }
    return lines;
}

class OutlookFilesCommandTest : public ::testing::Test {
protected:
    CommandResult ExportAugust(const std::string& store) {
        return RunCaught(RunCalendarCommand, {"--store", store, "--target", directory.Path().string(), "--from",
                                              "2016-08-01", "--to", "2016-08-31"});
    }
    std::string Calendar() const { return testing::ReadFileBytes(directory.Path() / "Calendars" / "vCalendar.ics"); }

    testing::TemporaryDirectory directory;
};

// The series' four August occurrences, at 08:00 in California, the last two moved an hour and two
// later, each with its own body and the series' subject.
TEST_F(OutlookFilesCommandTest, TheDistListSeriesInAugustInCaliforniaAndInUtc) {
    const struct {
        const char* zone;
        std::vector<std::string> starts;
    } zones[] = {
        {"PST8PDT,M3.2.0,M11.1.0", {"20160802T080000", "20160816T080000", "20160823T090000", "20160830T100000"}},
        {"UTC0", {"20160802T150000", "20160816T150000", "20160823T160000", "20160830T170000"}},
    };
    for (const auto& zone : zones) {
        SCOPED_TRACE(zone.zone);
        const pst::testing::ScopedMachineZone machineZone(zone.zone);
        const CommandResult result = ExportAugust(SamplePath("dist-list.pst"));
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.out.find("4 appointments written to "), std::string::npos) << result.out;
        std::vector<std::string> expected;
        const char* bodies[] = {"This is a complete test", "This is a complete test", "This is the appointment at 9",
                                "This is the one at 10"};
        for (int index = 0; index < 4; ++index) {
            expected.push_back("DTSTART:" + zone.starts[index]);
            expected.push_back("DESCRIPTION:" + std::string(bodies[index]) + "\\n");
            expected.push_back("SUMMARY:Test appointment");
        }
        EXPECT_EQ(LinesNamed(Calendar(), {"DTSTART", "DESCRIPTION", "SUMMARY"}), expected);
    }
}

// What the file holds for its six contacts: one with neither name nor company but its display name,
// two companies with only an e-mail address, three people with company, job, phones and an address
// kept as one whole text (no parts). The phone numbers stand twice in the file itself. Lines whose
// value the writer escapes ("Tolle\\, Margaret J.") are the writer's own concern and left out here.
TEST_F(OutlookFilesCommandTest, TheSixContactsSampleGivesACardForEachContact) {
    const fs::path output = directory.Path() / "contacts.vcf";
    const CommandResult result =
        RunCaught(RunContactsCommand, {"--store", SamplePath("sample-contacts.pst"), "--output", output.string()});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "6 contacts exported to " + output.string() + "\n");
    const std::vector<std::string> expected = {
        "N:;Sebastian Wright;;;",
        "FN:Sebastian Wright",
        "EMAIL;PREF;INTERNET:SebastianWright@dayrep.com",
        "N:;Grade A Investment;;;",
        "FN:Grade A Investment",
        "EMAIL;PREF;INTERNET:WichertKroos@teleworm.us",
        "N:;Krauses Sofa Factory;;;",
        "FN:Krauses Sofa Factory",
        "EMAIL;PREF;INTERNET:ChristoffervandeMeeberg@teleworm.us",
        "N:Tolle;Margaret;J.;;",
        "ORG:Adaptaz",
        "TITLE:Recording engineer",
        "TEL;WORK;VOICE:(08)9080-1183",
        "TEL;CELL;VOICE:(925)599-3355(925)599-3355",
        "ADR;TYPE=work:;;;;;;",
        "LABEL;TYPE=work:4 Darwinia Loop EIGHTY MILE BEACH WA 6725",
        "EMAIL;PREF;INTERNET:MargaretJTolle@dayrep.com",
        "N:Wilcox;Matthew;R.;;",
        "ORG:Briazz",
        "TITLE:Psychiatric aide",
        "TEL;WORK;VOICE:0650 675 73 300650 675 73 30",
        "TEL;HOME;VOICE:(661)387-5382(661)387-5382",
        "ADR;TYPE=work:;;;;;;",
        "LABEL;TYPE=work:Horner Strasse 12 4421 SAASS",
        "N:Buell;Bertha;A.;;",
        "ORG:Awthentikz",
        "TITLE:Social work assistant",
        "ADR;TYPE=work:;;;;;;",
        "LABEL;TYPE=work:Im Astenfeld 59 8580 EDELSCHROTT",
        "EMAIL;PREF;INTERNET:BerthaABuell@armyspy.com",
    };
    std::vector<std::string> written =
        LinesNamed(testing::ReadFileBytes(output), {"N:", "FN:", "ORG:", "TITLE:", "TEL", "EMAIL", "ADR", "LABEL"});
    std::erase_if(written, [](const std::string& line) { return line.find('\\') != std::string::npos; });
    EXPECT_EQ(written, expected);
}

// The ANSI file names no code page of its own for the contact, only ISO-2022-JP as its internet code
// page: its Shift-JIS strings give the card of the Unicode file, but for the item's own id and time
// of change. The cards are written in UTF-8 (the file's character set follows the locale).
TEST_F(OutlookFilesCommandTest, TheAnsiJapaneseContactGivesTheCardOfItsUnicodeTwin) {
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C.UTF-8");
    const auto card = [this](const char* sample) {
        const fs::path output = directory.Path() / (std::string(sample) + ".vcf");
        const CommandResult result =
            RunCaught(RunContactsCommand, {"--store", SamplePath(sample), "--output", output.string()});
        EXPECT_EQ(result.status, 0) << result.err;
        std::vector<std::string> lines = LinesNamed(testing::ReadFileBytes(output), {""});
        std::erase_if(lines,
                      [](const std::string& line) { return line.starts_with("REV:") || line.starts_with("UID:"); });
        return lines;
    };
    const std::vector<std::string> unicode = card("japanese-contact.pst");
    EXPECT_EQ(card("japanese-contact-ansi.pst"), unicode);
    EXPECT_NE(std::find(unicode.begin(), unicode.end(),
                        "N:\u30a4\u30b0\u30b6\u30f3\u30d7\u30eb;\u30b3\u30e0;\u30c9\u30c3\u30c8;Mr.;"),
              unicode.end());
    std::setlocale(LC_CTYPE, locale.c_str());
}

TEST_F(OutlookFilesCommandTest, TheFileIsLeftAsItWasAfterAnExport) {
    const fs::path store = directory.Path() / "dist-list.pst";
    fs::copy_file(SamplePath("dist-list.pst"), store);
    const std::string before = testing::ReadFileBytes(store);
    const fs::file_time_type modified = fs::last_write_time(store);
    fs::permissions(store, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    EXPECT_EQ(ExportAugust(store.string()).status, 0);
    EXPECT_EQ(RunCaught(RunContactsCommand,
                        {"--store", store.string(), "--output", (directory.Path() / "contacts.vcf").string()})
                  .status,
              0);
    EXPECT_EQ(testing::ReadFileBytes(store), before);
    EXPECT_EQ(fs::last_write_time(store), modified);
}

}  // namespace
}  // namespace kalendro::tools
