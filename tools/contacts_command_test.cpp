// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "testing/caught_command.h"
#include "testing/private_mounts.h"
#include "testing/temporary_directory.h"
#include "testing/worked_examples.h"
#include "tools/commands.h"

namespace kalendro::tools {
namespace {

namespace fs = std::filesystem;
using testing::CommandResult;
using testing::RunCaught;

// The worked example contact, a contact with a birthday, an anniversary and notes, and a list.
constexpr const char* kMailbox = R"({"format": "kalendro-mailbox/1", "stores": [{"name": "Personal Folders",
  "folders": [{"name": "Contacts", "defaultItemType": 2, "default": "contacts", "items": [
    {"type": "ContactItem", "LastName": "Doe", "FirstName": "Jane", "Title": "Dr.", "CompanyName": "Acme, Inc.",
     "JobTitle": "Engineer", "BusinessTelephoneNumber": "+1 555 0100", "MobileTelephoneNumber": "+1 555 0199",
     "BusinessAddressStreet": "1 High Street", "BusinessAddressCity": "London", "BusinessAddressPostalCode": "N1 9GU",
     "BusinessAddressCountry": "UK", "BusinessAddress": "1 High Street\r\nLondon, N1 9GU\r\nUK",
     "MailingAddress": "1 High Street\r\nLondon, N1 9GU\r\nUK", "Birthday": "2002-03-07T00:00:00",
     "Categories": "Business", "LastModificationTime": "2002-11-05T14:03:09",
     "EntryID": "00000000A1B2C3D4E5F60718293A4B5C6D7E8F90",
     "Body": "Met at the trade fair, prefers calls in the morning; please ring before ten."},
    {"type": "DistListItem", "Subject": "Team"},
    {"type": "ContactItem", "FirstName": "Tom", "EntryID": "T1", "LastModificationTime": "2003-01-02T03:04:05",
     "Birthday": "1975-08-09T00:00:00", "Anniversary": "2000-06-10T00:00:00", "Body": "Cousin"}]}]}]})";

class ContactsCommandTest : public ::testing::Test {
protected:
    void SetUp() override { std::ofstream(store) << kMailbox; }

    static CommandResult Run(const std::vector<std::string>& arguments) {
        return RunCaught(RunContactsCommand, arguments);
    }
    CommandResult Export(std::vector<std::string> more = {}) {
        std::vector<std::string> arguments = {"--store", store.string(), "--output", output.string()};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return Run(arguments);
    }

    testing::TemporaryDirectory directory;
    fs::path store = directory.Path() / "mailbox.json";
    fs::path output = directory.Path() / "contacts.vcf";
};

TEST_F(ContactsCommandTest, WritesEveryContactWithProgressOnStandardError) {
    const CommandResult result = Export();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "Status: Doe, Dr. Jane (1 of 3)\nStatus: Tom (2 of 3)\n");
    EXPECT_EQ(result.out, "2 contacts exported to " + output.string() + "\n");
    const std::string file = testing::ReadFileBytes(output);
    const std::string card = testing::WorkedExampleCard();
    EXPECT_EQ(file.substr(0, card.size()), card);
    EXPECT_NE(file.find("NOTE:birthday: Aug 9\\, 1975\\nanniversary: Jun 10\\, 2000\\n\\nCousin\r\n"),
              std::string::npos)
        << file;
}

TEST_F(ContactsCommandTest, NoteOptionsLeaveTheDatesOut) {
    EXPECT_EQ(Export({"--no-birthday"}).status, 0);
    EXPECT_NE(testing::ReadFileBytes(output).find("\r\nNOTE:anniversary: Jun 10\\, 2000\\n\\nCousin\r\n"),
              std::string::npos);
    EXPECT_EQ(Export({"--no-anniversary", "--no-birthday"}).status, 0);
    EXPECT_NE(testing::ReadFileBytes(output).find("\r\nNOTE:Cousin\r\n"), std::string::npos);
    EXPECT_NE(testing::ReadFileBytes(output).find("\r\nBDAY:1975-08-09\r\n"), std::string::npos);
}

TEST_F(ContactsCommandTest, FailuresExitWithOneAndTellTheCause) {
    const fs::path missing = directory.Path() / "missing" / "contacts.vcf";
    const CommandResult unwritable = Run({"--store", store.string(), "--output", missing.string()});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(unwritable.out, "");
    EXPECT_EQ(unwritable.err.rfind("The output file could not be created at the specified path.\nRun-time error '", 0),
              0u)
        << unwritable.err;
    EXPECT_FALSE(fs::exists(missing));

    fs::remove(store);
    const CommandResult unreadable = Export();
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_NE(unreadable.err.find("\nRun-time error '429': "), std::string::npos) << unreadable.err;
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(ContactsCommandTest, UsageErrorsExitWithTwo) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--store", "x.json"}, "--store FILE and --output PATH are required"},
        {{"--output", "x.vcf"}, "--store FILE and --output PATH are required"},
        {{"--store", "x.json", "--output", "x.vcf", "--birthday"}, "unknown option \"--birthday\""},
        {{"--store"}, "--store wants a value"},
    };
    for (const auto& [arguments, complaint] : cases) {
        const CommandResult result = Run(arguments);
        EXPECT_EQ(result.status, 2) << complaint;
        EXPECT_NE(result.err.find(complaint), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
}

TEST_F(ContactsCommandTest, HelpDocumentsEveryOption) {
    const CommandResult result = Run({"--help"});
    EXPECT_EQ(result.status, 0);
    for (const char* option : {"--store FILE", "--output PATH", "--no-birthday", "--no-anniversary"}) {
        EXPECT_NE(result.out.find(option), std::string::npos) << option;
    }
}

TEST_F(ContactsCommandTest, ADiskThatCannotTakeTheFileEndsWithoutTellingOfCompletion) {
    testing::PrivateMounts mounts;
    if (!mounts.SkipReason().empty()) {
        GTEST_SKIP() << mounts.SkipReason();
    }
    const fs::path player = directory.Path() / "player";
    mounts.MountSmall(player, 64 * 1024);
    std::ofstream(player / "filler") << std::string(64 * 1024, 'x');
    output = player / "contacts.vcf";
    const CommandResult result = Export();
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("Run-time error '61': Disk full: " + output.string()), std::string::npos) << result.err;
}

}  // namespace
}  // namespace kalendro::tools
