// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/pst_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/pst/default_folders.h"
#include "platform/pst/item_mapping.h"
#include "platform/pst/libpff_file.h"
#include "platform/pst/little_endian.h"
#include "platform/pst/property_values.h"
#include "platform/store/failure.h"
#include "testing/source_path.h"
#include "testing/temporary_directory.h"
#include "testing/failure_of.h"

namespace kalendro::pst {
namespace {

std::string SamplePath(std::string_view name) {
    return kalendro::testing::SourcePath("testing/data/pst/" + std::string(name)).string();
}

std::string Describe(const std::string& who, std::uint16_t tag, const PropertyValue& value) {
    return "  " + who + " " + HexNumber(tag) + " type " + HexNumber(value.type) + ": " + UpperHex(value.data) + "\n";
}

std::string Describe(const std::string& who, const NamedProperty& name, const PropertyValue& value) {
    return "  " + who + " " + UpperHex(std::string(name.propertySet.begin(), name.propertySet.end())) + " " +
           (name.name.empty() ? HexNumber(name.lid) : name.name) + " type " + HexNumber(value.type) + ": " +
           UpperHex(value.data) + "\n";
}

// The properties that one bag holds and the other lacks or holds otherwise.
template <typename Map>
std::string Differences(const Map& ours, const Map& theirs) {
    std::string text;
    for (const auto& [key, value] : ours) {
        const auto other = theirs.find(key);
        if (other == theirs.end() || !(other->second == value)) {
            text += Describe("ours", key, value);
        }
    }
    for (const auto& [key, value] : theirs) {
        const auto other = ours.find(key);
        if (other == ours.end() || !(other->second == value)) {
            text += Describe("libpff's", key, value);
        }
    }
    return text;
}

std::string Differences(const PropertyBag& ours, const PropertyBag& theirs) {
    return Differences(ours.Tagged(), theirs.Tagged()) + Differences(ours.Named(), theirs.Named());
}

void ExpectSameMessage(const Message& ours, const Message& theirs) {
    EXPECT_EQ(ours.nodeId, theirs.nodeId);
    EXPECT_TRUE(ours.properties == theirs.properties) << "message " << HexNumber(theirs.nodeId) << "\n"
                                                      << Differences(ours.properties, theirs.properties);
    ASSERT_EQ(ours.embedded.size(), theirs.embedded.size()) << HexNumber(theirs.nodeId);
    for (std::size_t index = 0; index < ours.embedded.size(); ++index) {
        ExpectSameMessage(ours.embedded[index], theirs.embedded[index]);
    }
}

// The same folder, properties and subfolders in the same order, and the same messages: each one
// libpff reads the program's reader reads alike.
void ExpectSameFolder(PstFile& ours, LibpffFile& theirs, const FolderNode& ourFolder, const FolderNode& theirFolder) {
    SCOPED_TRACE("folder " + HexNumber(theirFolder.nodeId));
    ASSERT_EQ(ourFolder.nodeId, theirFolder.nodeId);
    EXPECT_TRUE(ourFolder.properties == theirFolder.properties)
        << Differences(ourFolder.properties, theirFolder.properties);
    const FolderContents contents = ours.Contents(ourFolder.nodeId);
    EXPECT_EQ(contents.notes, std::vector<std::string>());
    std::vector<std::uint32_t> expectedIds;
    for (const Message& message : theirs.ReadMessages(theirFolder.nodeId)) {
        expectedIds.push_back(message.nodeId);
        ExpectSameMessage(ours.ReadMessage(message.nodeId), message);
    }
    EXPECT_EQ(contents.messageIds, expectedIds);
    ASSERT_EQ(ourFolder.subfolders.size(), theirFolder.subfolders.size());
    for (std::size_t index = 0; index < ourFolder.subfolders.size(); ++index) {
        ExpectSameFolder(ours, theirs, ourFolder.subfolders[index], theirFolder.subfolders[index]);
    }
}

// The Outlook data files the tests hold and the whole-file fuzzer's seeds, but the two made damaged
// on purpose, which the reader is to read otherwise than libpff.
std::vector<std::filesystem::path> SampleFiles() {
    std::vector<std::filesystem::path> files;
    for (const char* folder : {"testing/data/pst", "fuzz/corpus/pst_store_fuzzer"}) {
        const std::filesystem::path path = kalendro::testing::SourcePath(folder);
        if (!std::filesystem::is_directory(path)) {
            continue;
        }
        for (const auto& entry : std::filesystem::directory_iterator(path)) {
            const std::string extension = entry.path().extension().string();
            const std::string name = entry.path().filename().string();
            if ((extension == ".pst" || extension == ".ost") && name != "contents-table-mismatch.pst" &&
                name != "damaged-message.pst") {
                files.push_back(entry.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(PstFileTest, TheProgramsReaderReadsEverySampleAsLibpffDoes) {
    const std::vector<std::filesystem::path> files = SampleFiles();
    ASSERT_GE(files.size(), 8u);
    for (const std::filesystem::path& path : files) {
        SCOPED_TRACE(path.string());
        const std::shared_ptr<PstFile> ours = PstFile::Open(path.string());
        const std::shared_ptr<LibpffFile> theirs = LibpffFile::Open(path.string());
        EXPECT_EQ(ours->Warnings(), std::vector<std::string>());
        EXPECT_TRUE(ours->MessageStore() == theirs->MessageStore())
            << Differences(ours->MessageStore(), theirs->MessageStore());
        ExpectSameFolder(*ours, *theirs, ours->Root(), theirs->Root());
    }
}

TEST(PstFileTest, TheDefaultFoldersOfTheSamples) {
    const struct {
        const char* file;
        std::optional<std::uint32_t> calendar;
        std::optional<std::uint32_t> contacts;
    } cases[] = {
        {"dist-list.pst", 0x8122, 0x8142},
        {"passworded.pst", 0x8122, 0x8142},
        {"sample-contacts.pst", std::nullopt, 0x8082},
        {"sample-offline.ost", 0x8022, 0x8042},
        // The Exchange entry ids on the Inbox name the mailbox's own folders, not the first
        // contacts folder (ExternalContacts) under the top.
        {"outlook-com-4k.ost", 0x8182, 0x8162},
    };
    for (const auto& testCase : cases) {
        SCOPED_TRACE(testCase.file);
        const std::shared_ptr<PstFile> file = PstFile::Open(SamplePath(testCase.file));
        const DefaultFolders found = FindDefaultFolders(file->Root(), file->MessageStore());
        EXPECT_EQ(found.calendar, testCase.calendar);
        EXPECT_EQ(found.contacts, testCase.contacts);
    }
}

TEST(PstFileTest, WhatIsNotAFolderOrAMessageIsFailure440) {
    const std::shared_ptr<PstFile> file = PstFile::Open(SamplePath("dist-list.pst"));
    const std::uint32_t seriesMessage = file->Contents(0x8122).messageIds.at(0);
    const std::function<void()> reads[] = {
        [&] { file->Contents(0x9982); },
        [&] { file->Contents(seriesMessage); },
        [&] { file->ReadMessage(0x9984); },
        [&] { file->ReadMessage(0x8122); },
    };
    for (const auto& read : reads) {
        EXPECT_EQ(kalendro::testing::FailureOf(read).Number(), kStoreOperationFailed);
    }
}

// The CRC-32 a PST header carries (reflected polynomial 0xEDB88320, no inversion).
std::uint32_t HeaderCrc(std::string_view bytes) {
    std::uint32_t crc = 0;
    for (const char byte : bytes) {
        crc ^= static_cast<unsigned char>(byte);
        for (int bit = 0; bit < 8; ++bit) {
            crc = crc & 1 ? crc >> 1 ^ 0xEDB88320u : crc >> 1;
        }
    }
    return crc;
}

TEST(PstFileTest, AFileEncryptedBeyondTheFormatsOwnObfuscationIsFailure429) {
    // A Unicode header: its encryption method at offset 513, covered by the CRC at 524 over 516
    // bytes from offset 8.
    std::string bytes = kalendro::testing::ReadFileBytes(SamplePath("dist-list.pst"));
    ASSERT_EQ(HeaderCrc(bytes.substr(8, 516)), 0x51E64051u);
    bytes[513] = 0x10;
    const std::uint32_t crc = HeaderCrc(bytes.substr(8, 516));
    for (int index = 0; index < 4; ++index) {
        bytes[524 + index] = static_cast<char>(crc >> (8 * index) & 0xFF);
    }
    kalendro::testing::TemporaryDirectory directory;
    const std::string path = (directory.Path() / "encrypted.pst").string();
    std::ofstream(path, std::ios::binary) << bytes;
    const Failure failure = kalendro::testing::FailureOf([&] { PstFile::Open(path); });
    EXPECT_EQ(failure.Number(), kStoreCannotOpen);
    EXPECT_NE(failure.Description().find("encrypted in a way that is not read"), std::string::npos)
        << failure.Description();
}

TEST(PstFileTest, WhatIsNotAnOutlookDataFileIsFailure429) {
    kalendro::testing::TemporaryDirectory directory;
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"mailbox.json", R"({"stores": [{"name": "Personal Folders", "folders": []}]})"},
        {"empty.pst", ""},
        {"noise.pst", std::string("!BDN\x01\xff\x7f\x00\x10\x20", 10) + std::string(4000, '\x5a')},
    };
    std::vector<std::string> paths{(directory.Path() / "missing.pst").string()};
    for (const auto& testCase : cases) {
        paths.push_back((directory.Path() / testCase.name).string());
        std::ofstream(paths.back(), std::ios::binary) << testCase.bytes;
    }
    for (const std::string& path : paths) {
        const Failure failure = kalendro::testing::FailureOf([&] { PstFile::Open(path); });
        EXPECT_EQ(failure.Number(), kStoreCannotOpen);
        EXPECT_TRUE(failure.Description().starts_with("\"" + path + "\" cannot be opened as an Outlook data file: "))
            << failure.Description();
    }
    EXPECT_FALSE(PstFile::LooksLikePst(cases[0].bytes));
    EXPECT_FALSE(PstFile::LooksLikePst("!BD"));
    EXPECT_TRUE(PstFile::LooksLikePst(cases[2].bytes));
}

}  // namespace
}  // namespace kalendro::pst
