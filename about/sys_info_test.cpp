// SPDX-License-Identifier: GPL-3.0-or-later
#include "about/sys_info.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testing/fake_registry.h"

namespace kalendro {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kSysInfoKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kLocationKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const std::string kProgramPath = "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo\\msinfo32.exe";
const std::string kProgramFolder = "C:\\Program Files\\Common Files\\Microsoft Shared\\MSInfo";

class StartSysInfoTest : public ::testing::Test {
protected:
    void Start() {
        StartSysInfo({registry_, programs_.Lookup(), programs_.Starter(),
                      [this](std::string_view message) { messages_.emplace_back(message); }});
    }

    void ExpectUnavailableMessageOnce() {
        EXPECT_THAT(messages_, ElementsAre("System Information Is Unavailable At This Time"));
        EXPECT_THAT(programs_.Started(), IsEmpty());
    }

    std::shared_ptr<testing::MemoryRegistry> registry_ = std::make_shared<testing::MemoryRegistry>();
    testing::FakeSystemPrograms programs_;
    std::vector<std::string> messages_;
};

TEST_F(StartSysInfoTest, NeitherValuePresentShowsTheMessageAndStartsNothing) {
    Start();
    ExpectUnavailableMessageOnce();
    EXPECT_THAT(programs_.StartAttempts(), IsEmpty());
    EXPECT_THAT(programs_.Lookups(), IsEmpty());
}

TEST_F(StartSysInfoTest, PathValueIsStartedAsItStandsWithoutLookingForTheFile) {
    registry_->SetString(kSysInfoKey, "PATH", kProgramPath);
    programs_.AddProgram(kProgramPath);
    Start();
    EXPECT_THAT(programs_.Started(), ElementsAre(kProgramPath));
    EXPECT_THAT(programs_.Lookups(), IsEmpty());
    EXPECT_THAT(messages_, IsEmpty());
}

TEST_F(StartSysInfoTest, PathNamingAMissingFileFailsToStartAndLeavesTheSecondKeyUnread) {
    registry_->SetString(kSysInfoKey, "PATH", "C:\\Gone\\msinfo32.exe");
    registry_->SetString(kLocationKey, "MSINFO", kProgramFolder);
    programs_.AddProgram(kProgramFolder + "\\MSINFO32.EXE");
    Start();
    EXPECT_THAT(programs_.StartAttempts(), ElementsAre("C:\\Gone\\msinfo32.exe"));
    ExpectUnavailableMessageOnce();
    EXPECT_THAT(registry_->QueriedValues(), ElementsAre("PATH"));
}

TEST_F(StartSysInfoTest, FolderOfTheLocationKeyIsUsedWhenItHoldsTheProgram) {
    registry_->SetString(kLocationKey, "MSINFO", kProgramFolder);
    programs_.AddProgram(kProgramFolder + "\\MSINFO32.EXE");
    Start();
    EXPECT_THAT(programs_.Lookups(), ElementsAre(kProgramFolder + "\\MSINFO32.EXE"));
    EXPECT_THAT(programs_.Started(), ElementsAre(kProgramFolder + "\\MSINFO32.EXE"));
    EXPECT_THAT(messages_, IsEmpty());
}

TEST_F(StartSysInfoTest, FolderWithoutTheProgramShowsTheMessageAndStartsNothing) {
    registry_->SetString(kLocationKey, "MSINFO", kProgramFolder);
    programs_.AddProgram(kProgramPath);  // msinfo32.exe elsewhere does not count
    Start();
    EXPECT_THAT(programs_.Lookups(), ElementsAre(kProgramFolder + "\\MSINFO32.EXE"));
    EXPECT_THAT(programs_.StartAttempts(), IsEmpty());
    ExpectUnavailableMessageOnce();
}

TEST_F(StartSysInfoTest, PathOfAnotherTypeCountsAsReadWithAnEmptyPathThatFailsToStart) {
    const std::string expandable = "%CommonProgramFiles%\\msinfo32.exe";
    std::vector<unsigned char> data(expandable.begin(), expandable.end());
    data.push_back('\0');
    registry_->SetValue(kSysInfoKey, "PATH", kRegistryExpandString, data);
    registry_->SetString(kLocationKey, "MSINFO", kProgramFolder);
    programs_.AddProgram(kProgramFolder + "\\MSINFO32.EXE");
    Start();
    EXPECT_THAT(programs_.StartAttempts(), ElementsAre(""));
    ExpectUnavailableMessageOnce();
    EXPECT_THAT(registry_->QueriedValues(), ElementsAre("PATH"));
}

TEST_F(StartSysInfoTest, PathLargerThanTheBufferCountsAsAbsent) {
    registry_->SetString(kSysInfoKey, "PATH", std::string(1024, 'x'));  // 1025 bytes with its NUL
    registry_->SetString(kLocationKey, "MSINFO", kProgramFolder);
    programs_.AddProgram(kProgramFolder + "\\MSINFO32.EXE");
    Start();
    EXPECT_THAT(registry_->QueriedValues(), ElementsAre("PATH", "MSINFO"));
    EXPECT_THAT(programs_.Started(), ElementsAre(kProgramFolder + "\\MSINFO32.EXE"));
}

// The fake registry refuses every open that asks for more than a normal user may do, and every
// read through a key opened without the right to query values.
TEST_F(StartSysInfoTest, AUserWithReadRightsOnlyStartsItAndEveryKeyIsClosed) {
    registry_->SetString(kSysInfoKey, "OTHER", kProgramPath);
    registry_->SetString(kLocationKey, "MSINFO", kProgramFolder);
    programs_.AddProgram(kProgramFolder + "\\MSINFO32.EXE");
    Start();
    EXPECT_THAT(programs_.Started(), ElementsAre(kProgramFolder + "\\MSINFO32.EXE"));
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(registry_->AccessRequested().size(), 2u);
    EXPECT_EQ(registry_->ClosedKeys().size(), 2u);
    EXPECT_EQ(registry_->OpenKeyCount(), 0u);
}

class GetKeyValueTest : public ::testing::Test {
protected:
    void SetData(std::uint32_t type, std::string_view bytes) {
        registry_.SetValue("Key", "Value", type, std::vector<unsigned char>(bytes.begin(), bytes.end()));
    }

    bool Read(std::string& keyValue) {
        const bool read = GetKeyValue(registry_, kHkeyLocalMachine, "Key", "Value", keyValue);
        EXPECT_EQ(registry_.OpenKeyCount(), 0u) << "the key was left open";
        EXPECT_EQ(registry_.ClosedKeys().size(), 1u);
        return read;
    }

    testing::MemoryRegistry registry_;
};

TEST_F(GetKeyValueTest, StringsLoseOnlyOneClosingNulAndMustFitTheBuffer) {
    struct Case {
        std::string data;
        bool read;
        std::string keyValue;
    };
    for (const Case& row :
         {Case{std::string("abc\0", 4), true, "abc"}, Case{"abc", true, "abc"},
          Case{std::string("ab\0\0", 4), true, std::string("ab\0", 3)}, Case{"", true, ""},
          Case{std::string(1023, 'p') + '\0', true, std::string(1023, 'p')}, Case{std::string(1025, 'p'), false, ""}}) {
        SetData(kRegistryString, row.data);
        std::string keyValue = "old";
        EXPECT_EQ(Read(keyValue), row.read) << row.data.size();
        EXPECT_EQ(keyValue, row.keyValue);
        registry_ = testing::MemoryRegistry();
    }
}

TEST_F(GetKeyValueTest, NumberGivesItsUnsignedDecimalText) {
    registry_.SetNumber("Key", "Value", 0xFFFFFFFFu);
    std::string keyValue;
    EXPECT_TRUE(Read(keyValue));
    EXPECT_EQ(keyValue, "4294967295");
}

TEST_F(GetKeyValueTest, OtherTypeLeavesTheTextAsPassedAndCountsAsRead) {
    SetData(kRegistryExpandString, std::string_view("%windir%\0", 9));
    std::string keyValue = "as passed";
    EXPECT_TRUE(Read(keyValue));
    EXPECT_EQ(keyValue, "as passed");
}

TEST_F(GetKeyValueTest, AbsentValueEmptiesTheText) {
    registry_.SetString("Key", "Other", "x");
    std::string keyValue = "old";
    EXPECT_FALSE(Read(keyValue));
    EXPECT_EQ(keyValue, "");
}

TEST_F(GetKeyValueTest, KeyThatCannotBeOpenedEmptiesTheTextAndIsClosedWithAnEmptyHandle) {
    std::string keyValue = "old";
    EXPECT_FALSE(Read(keyValue));
    EXPECT_EQ(keyValue, "");
    EXPECT_THAT(registry_.QueriedValues(), IsEmpty());
    EXPECT_THAT(registry_.ClosedKeys(), ElementsAre(kNoRegistryKey));
}

// A registry that claims more data than fits the buffer it was given must not make the reader run
// past the buffer.
class OverclaimingRegistry : public testing::MemoryRegistry {
public:
    std::int32_t QueryValue(RegistryKey, std::string_view, std::uint32_t& type, std::span<unsigned char> buffer,
                            std::uint32_t& dataSize) override {
        std::fill(buffer.begin(), buffer.end(), 'z');
        type = kRegistryString;
        dataSize = 5000;
        return kRegistrySuccess;
    }
};

TEST(GetKeyValueGuard, ClaimedSizeOverTheBufferIsCutToTheBuffer) {
    OverclaimingRegistry registry;
    registry.SetString("Key", "Value", "");
    std::string keyValue;
    EXPECT_TRUE(GetKeyValue(registry, kHkeyLocalMachine, "Key", "Value", keyValue));
    EXPECT_EQ(keyValue, std::string(1024, 'z'));
}

}  // namespace
}  // namespace kalendro
