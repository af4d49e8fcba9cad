// SPDX-License-Identifier: GPL-3.0-or-later
// The Outlook data file reader on whole files. Each input is written to one scratch file and opened as
// the program opens a store; then every folder is read, every item mapped and read as the exports read
// it, and every calendar sorted, expanded and restricted to a year as the calendar export does. A file
// that cannot be opened fails with kStoreCannotOpen, a folder that cannot be read with
// kStoreOperationFailed, and nothing else fails. Where the program's reader opens the input without a
// warning and libpff, an independent reader, reads a message of it too, the program's reader must read
// it alike or refuse it with kStoreOperationFailed (it checks every block's CRC, which libpff may let
// pass).
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "fuzz/scratch_directory.h"
#include "platform/memory_store/memory_store.h"
#include "platform/pst/libpff_file.h"
#include "platform/pst/pst_file.h"
#include "platform/pst/pst_store.h"
#include "platform/store/failure.h"
#include "testing/libpff_leak_suppression.h"

namespace {

using namespace kalendro;

constexpr const char* kYear = "[Start] >= '01/01/2016 00:00' And [End] <= '01/01/2017 00:00'";

[[noreturn]] void Finding(const std::string& what) {
    std::cerr << "FINDING: " << what << "\n";
    std::abort();
}

void ExpectFailure(const Failure& failure, int number) {
    if (failure.Number() != number) {
        Finding("failure " + std::to_string(failure.Number()) + " where " + std::to_string(number) +
                " was due: " + failure.Description());
    }
}

void ReadMembers(const StoreItem& item) {
    if (item.TypeName() == "AppointmentItem") {
        item.Text("Subject");
        item.Text("Location");
        item.Text("Body");
        item.Date("Start");
        item.Date("End");
        item.Flag("AllDayEvent");
    } else if (item.TypeName() == "ContactItem") {
        item.Text("FirstName");
        item.Text("Email1Address");
        item.Date("Birthday");
    }
}

// Reading a member the item's type has never fails, whatever the file held.
void ReadItem(const StoreItem& item) {
    try {
        ReadMembers(item);
    } catch (const Failure& failure) {
        Finding("reading a member: " + failure.Description());
    }
}

void ReadFolder(StoreFolder& folder) {
    try {
        std::unique_ptr<StoreItems> items = folder.Items();
        if (folder.DefaultItemType() == kAppointmentItemType) {
            items->Sort("[Start]");
            items->SetIncludeRecurrences(true);
            items = items->Restrict(kYear);
        }
        const std::unique_ptr<StoreItemEnumerator> walk = items->Enumerate();
        while (const std::shared_ptr<StoreItem> item = walk->Next()) {
            ReadItem(*item);
        }
    } catch (const Failure& failure) {
        ExpectFailure(failure, kStoreOperationFailed);
    }
    for (const std::shared_ptr<StoreFolder>& subfolder : folder.Folders()) {
        ReadFolder(*subfolder);
    }
}

bool SameMessage(const pst::Message& ours, const pst::Message& theirs) {
    if (ours.nodeId != theirs.nodeId || !(ours.properties == theirs.properties) ||
        ours.embedded.size() != theirs.embedded.size()) {
        return false;
    }
    for (std::size_t index = 0; index < ours.embedded.size(); ++index) {
        if (!SameMessage(ours.embedded[index], theirs.embedded[index])) {
            return false;
        }
    }
    return true;
}

void CompareFolder(pst::PstFile& ours, pst::LibpffFile& theirs, const pst::FolderNode& folder) {
    std::vector<pst::Message> read;
    try {
        read = theirs.ReadMessages(folder.nodeId);
    } catch (const Failure&) {
        return;
    }
    for (const pst::Message& message : read) {
        try {
            if (!SameMessage(ours.ReadMessage(message.nodeId), message)) {
                Finding("the message " + std::to_string(message.nodeId) + " is read otherwise than libpff reads it");
            }
        } catch (const Failure& failure) {
            ExpectFailure(failure, kStoreOperationFailed);
        }
    }
    for (const pst::FolderNode& subfolder : folder.subfolders) {
        CompareFolder(ours, theirs, subfolder);
    }
}

void CompareWithLibpff(const std::string& path) {
    std::shared_ptr<pst::PstFile> ours;
    std::shared_ptr<pst::LibpffFile> theirs;
    try {
        ours = pst::PstFile::Open(path);
        theirs = pst::LibpffFile::Open(path);
    } catch (const Failure& failure) {
        ExpectFailure(failure, kStoreCannotOpen);
        return;
    }
    if (ours->Warnings().empty()) {
        CompareFolder(*ours, *theirs, theirs->Root());
    }
}

const std::string& ScratchFile() {
    static const fuzz::ScratchDirectory directory("pst-store-fuzzer");
    static const std::string path = (directory.Path() / "store.pst").string();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = ScratchFile();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::vector<memory_store::MemoryStore> stores;
    try {
        stores.push_back(pst::ReadPstStore(path, [](const std::string&) {}));
    } catch (const Failure& failure) {
        ExpectFailure(failure, kStoreCannotOpen);
        return 0;
    }
    const auto session =
        memory_store::MakeMemoryApplication(std::move(stores), RegionalSettings{})->GetNamespace("MAPI");
    for (const std::shared_ptr<StoreFolder>& top : session->Folders()) {
        ReadFolder(*top);
    }
    CompareWithLibpff(path);
    return 0;
}
