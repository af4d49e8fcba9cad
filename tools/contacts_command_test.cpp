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
#include "testing/source_path.h"
#include "testing/temporary_directory.h"
#include "testing/worked_examples.h"
#include "tools/commands.h"

namespace kalendro::tools {
namespace {

namespace fs = std::filesystem;
using testing::CommandResult;
using testing::RunCaught;

class ContactsCommandTest : public ::testing::Test {
protected:
    static CommandResult Run(const std::vector<std::string>& arguments) {
        return RunCaught(RunContactsCommand, arguments);
    }
    CommandResult Export(std::vector<std::string> more = {}) {
        std::vector<std::string> arguments = {"--store", store.string(), "--output", output.string()};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return Run(arguments);
    }

    testing::TemporaryDirectory directory;
    // The worked example contact, a contact with a birthday, an anniversary and notes, and a list.
    fs::path store = testing::SourcePath("tools/contacts-mailbox.json");
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

    store = directory.Path() / "missing.json";
    const CommandResult unreadable = Export();
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_NE(unreadable.err.find("\nRun-time error '429': "), std::string::npos) << unreadable.err;
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(ContactsCommandTest, UsageErrorsExitWithTwo) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--store", "x.json"}, "--store FILE and one of --output PATH and --carddav URL are required"},
        {{"--output", "x.vcf"}, "--store FILE and one of --output PATH and --carddav URL are required"},
        {{"--store", "x.json", "--output", "x.vcf", "--carddav", "http://127.0.0.1:9/b/"},
         "one of --output PATH and --carddav URL"},
        {{"--store", "x.json", "--output", "x.vcf", "--prune"}, "--user and --prune go with --carddav URL"},
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
    for (const char* option : {"--store FILE", "--output PATH", "--no-birthday", "--no-anniversary", "--carddav URL",
                               "--user NAME", "--prune", "KALENDRO_PASSWORD"}) {
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
