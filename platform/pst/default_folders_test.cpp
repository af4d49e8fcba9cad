// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/default_folders.h"

#include <gtest/gtest.h>

#include <string_view>
#include <utility>

#include "platform/pst/property_tags.h"
#include "platform/pst/test_values.h"

namespace kalendro::pst {
namespace {

namespace t = testing;

const std::string kStoreRecordKey = "0123456789abcdef";
const std::string kOtherRecordKey = "fedcba9876543210";

std::string EntryId(const std::string& recordKey, std::uint32_t nodeId) {
    std::string id(4, '\0');
    id += recordKey;
    for (int shift = 0; shift < 32; shift += 8) {
        id += static_cast<char>(nodeId >> shift & 0xFF);
    }
    return id;
}

FolderNode Folder(std::uint32_t nodeId, std::string_view containerClass, std::vector<FolderNode> subfolders = {}) {
    FolderNode folder{nodeId, {}, std::move(subfolders)};
    if (!containerClass.empty()) {
        folder.properties.Set(kContainerClass,
                              t::Unicode(std::u16string(containerClass.begin(), containerClass.end())));
    }
    return folder;
}

PropertyBag Store(std::uint32_t ipmSubtree) {
    PropertyBag store;
    store.Set(kRecordKey, t::Binary(kStoreRecordKey));
    if (ipmSubtree != 0) {
        store.Set(kIpmSubtreeEntryId, t::Binary(EntryId(kStoreRecordKey, ipmSubtree)));
    }
    return store;
}

// The usual shape of a PST: the root, a search folder, the top of the personal folders with the
// standard folders (two calendars, two contacts folders), and a finder holding two IPF.* folders.
FolderNode PersonalFolders() {
    return Folder(
        0x122, "",
        {Folder(0x2223, ""),
         Folder(0x8022, "",
                {Folder(0x8062, "IPF.Note"), Folder(0x8082, "IPF.Note"), Folder(0x8102, "IPF.Appointment.Birthday"),
                 Folder(0x8122, "IPF.Appointment"), Folder(0x8142, "IPF.Contact"), Folder(0x8162, "IPF.Appointment"),
                 Folder(0x8182, "IPF.Contact")}),
         Folder(0x8042, "", {Folder(0x8222, "IPF.Task"), Folder(0x8242, "IPF.Note")})});
}

FolderNode& Child(FolderNode& folder, std::size_t index) { return folder.subfolders.at(index); }

TEST(DefaultFoldersTest, EntryIdsOnTheRootOrTheInboxNameTheDefaults) {
    FolderNode onRoot = PersonalFolders();
    onRoot.properties.Set(kCalendarEntryId, t::Binary(EntryId(kStoreRecordKey, 0x8162)));
    onRoot.properties.Set(kContactsEntryId, t::Binary(EntryId(kStoreRecordKey, 0x8182)));
    const DefaultFolders fromRoot = FindDefaultFolders(onRoot, Store(0x8022));
    EXPECT_EQ(fromRoot.calendar, 0x8162u);
    EXPECT_EQ(fromRoot.contacts, 0x8182u);

    FolderNode onInbox = PersonalFolders();
    Child(Child(onInbox, 1), 1).properties.Set(kCalendarEntryId, t::Binary(EntryId(kStoreRecordKey, 0x8162)));
    Child(Child(onInbox, 1), 1).properties.Set(kContactsEntryId, t::Binary(EntryId(kStoreRecordKey, 0x8182)));
    const DefaultFolders fromInbox = FindDefaultFolders(onInbox, Store(0x8022));
    EXPECT_EQ(fromInbox.calendar, 0x8162u);
    EXPECT_EQ(fromInbox.contacts, 0x8182u);
}

TEST(DefaultFoldersTest, EntryIdsThatNameNoFolderOfThisFileAreIgnored) {
    const struct {
        const char* name;
        std::string entryId;
    } cases[] = {
        {"another store's id", EntryId(kOtherRecordKey, 0x8162)},
        {"a node id not in the tree", EntryId(kStoreRecordKey, 0x9999)},
        {"an OST's 46-byte Exchange id", EntryId(kStoreRecordKey, 0x8162) + std::string(22, '\x01')},
        {"a truncated id", EntryId(kStoreRecordKey, 0x8162).substr(0, 23)},
    };
    for (const auto& testCase : cases) {
        FolderNode root = PersonalFolders();
        root.properties.Set(kCalendarEntryId, t::Binary(testCase.entryId));
        root.properties.Set(kContactsEntryId, t::Binary(testCase.entryId));
        const DefaultFolders found = FindDefaultFolders(root, Store(0x8022));
        EXPECT_EQ(found.calendar, 0x8122u) << testCase.name;
        EXPECT_EQ(found.contacts, 0x8142u) << testCase.name;
    }
}

TEST(DefaultFoldersTest, WithoutEntryIdsTheFirstCalendarAndContactsUnderTheTopOfThePersonalFoldersAreTaken) {
    // The birthday calendar (IPF.Appointment.Birthday) comes first but is not the calendar.
    const DefaultFolders named = FindDefaultFolders(PersonalFolders(), Store(0x8022));
    EXPECT_EQ(named.calendar, 0x8122u);
    EXPECT_EQ(named.contacts, 0x8142u);

    // With no IPM-subtree id the top is the folder with the most IPF.* folders, not the finder.
    const DefaultFolders unnamed = FindDefaultFolders(PersonalFolders(), Store(0));
    EXPECT_EQ(unnamed.calendar, 0x8122u);
    EXPECT_EQ(unnamed.contacts, 0x8142u);

    // An IPM-subtree id naming a folder without calendars leaves no calendar rather than guessing.
    const DefaultFolders elsewhere = FindDefaultFolders(PersonalFolders(), Store(0x8042));
    EXPECT_EQ(elsewhere.calendar, std::nullopt);
    EXPECT_EQ(elsewhere.contacts, std::nullopt);
}

TEST(DefaultFoldersTest, AnOfflineStoreTreeFindsTheMailboxsTopBelowTwoLevels) {
    // An OST: the root holds the public folders' root and the mailbox's root; the mailbox's
    // IPM_SUBTREE two levels down holds the standard folders, and a calendar lies deeper still.
    FolderNode root = Folder(0x122, "",
                             {Folder(0x2002, "", {Folder(0x2022, "")}),
                              Folder(0x20A2, "",
                                     {Folder(0x20E2, "", {Folder(0x80043, "IPF.Task"), Folder(0x80083, "IPF.Note")}),
                                      Folder(0x2142, "",
                                             {Folder(0x2162, "IPF.Note", {Folder(0x80A2, "IPF.Appointment")}),
                                              Folder(0x2182, "IPF.Note"), Folder(0x8022, "IPF.Appointment"),
                                              Folder(0x8042, "IPF.Contact"), Folder(0x8222, "IPF.Contact")})})});
    const std::string exchangeId(46, '\x07');
    Child(Child(Child(root, 1), 1), 1).properties.Set(kCalendarEntryId, t::Binary(exchangeId));
    const DefaultFolders found = FindDefaultFolders(root, Store(0));
    EXPECT_EQ(found.calendar, 0x8022u);
    EXPECT_EQ(found.contacts, 0x8042u);
}

// A folder entry id of an Exchange store names the folder by the global counter of its FID.
std::string ExchangeEntryId(std::uint64_t globalCounter) {
    std::string id(38, '\x05');
    for (int shift = 40; shift >= 0; shift -= 8) {
        id += static_cast<char>(globalCounter >> shift & 0xFF);
    }
    return id + std::string(2, '\0');
}

void SetFolderId(FolderNode& folder, std::uint16_t tag, std::uint16_t replica, std::uint64_t globalCounter) {
    std::string fid{static_cast<char>(replica & 0xFF), static_cast<char>(replica >> 8)};
    fid += ExchangeEntryId(globalCounter).substr(38, 6);
    folder.properties.Set(tag, PropertyValue{0x0014, fid});
}

TEST(DefaultFoldersTest, AnExchangeStoresEntryIdsAreResolvedThroughTheFoldersIds) {
    FolderNode root = PersonalFolders();
    FolderNode& top = Child(root, 1);
    SetFolderId(Child(top, 3), 0x67F4, 1, 0x10D);  // the first calendar
    SetFolderId(Child(top, 5), 0x67F4, 1, 0x10E);  // the second calendar
    SetFolderId(Child(top, 6), 0x6748, 1, 0x10F);  // the second contacts folder
    SetFolderId(Child(top, 4), 0x67F4, 2, 0x10F);  // the first one, its counter in another replica
    Child(top, 1).properties.Set(kCalendarEntryId, t::Binary(ExchangeEntryId(0x10E)));
    Child(top, 1).properties.Set(kContactsEntryId, t::Binary(ExchangeEntryId(0x10F)));
    const DefaultFolders ambiguous = FindDefaultFolders(root, Store(0x8022));
    EXPECT_EQ(ambiguous.calendar, 0x8162u);
    EXPECT_EQ(ambiguous.contacts, 0x8142u) << "two folders hold the counter: the first contacts folder is taken";

    Child(top, 4).properties = {};
    EXPECT_EQ(FindDefaultFolders(root, Store(0x8022)).contacts, 0x8182u);
}

TEST(DefaultFoldersTest, AHiddenFolderIsNeverTakenForADefault) {
    FolderNode root = PersonalFolders();
    Child(Child(root, 1), 3).properties.Set(0x10F4, PropertyValue{0x000B, std::string(1, '\x01')});
    Child(Child(root, 1), 4).properties.Set(0x10F4, PropertyValue{0x000B, std::string(1, '\x01')});
    const DefaultFolders found = FindDefaultFolders(root, Store(0x8022));
    EXPECT_EQ(found.calendar, 0x8162u);
    EXPECT_EQ(found.contacts, 0x8182u);
}

TEST(DefaultFoldersTest, AFileWithoutStandardFoldersHasNoDefaults) {
    const DefaultFolders bare = FindDefaultFolders(Folder(0x122, "", {Folder(0x8022, "")}), PropertyBag());
    EXPECT_EQ(bare.calendar, std::nullopt);
    EXPECT_EQ(bare.contacts, std::nullopt);

    const DefaultFolders notesOnly = FindDefaultFolders(Folder(0x122, "", {Folder(0x8022, "IPF.Note")}), PropertyBag());
    EXPECT_EQ(notesOnly.calendar, std::nullopt);
    EXPECT_EQ(notesOnly.contacts, std::nullopt);
}

TEST(DefaultFoldersTest, AnAnsiFilesContainerClassesCountAsWell) {
    // They are 8-bit strings.
    FolderNode ansi = Folder(0x122, "", {Folder(0x8022, "", {Folder(0x8062, ""), Folder(0x8082, "")})});
    Child(Child(ansi, 0), 0).properties.Set(kContainerClass, PropertyValue{0x001E, "IPF.Contact"});
    Child(Child(ansi, 0), 1).properties.Set(kContainerClass, PropertyValue{0x001E, "IPF.Appointment"});
    const DefaultFolders found = FindDefaultFolders(ansi, PropertyBag());
    EXPECT_EQ(found.calendar, 0x8082u);
    EXPECT_EQ(found.contacts, 0x8062u);
}

}  // namespace
}  // namespace kalendro::pst
