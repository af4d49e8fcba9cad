// SPDX-License-Identifier: GPL-3.0-or-later
// The mailbox loader on arbitrary bytes: every refusal fails with kStoreCannotOpen and a bounded message, and
// whatever the fast reading accepts the reporting reading accepts with the same content. (The
// reporting reading may accept more: a repeated key sends a file to it on purpose.)
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/mailbox/mailbox_loader.h"
#include "platform/store/failure.h"

namespace {

using kalendro::mailbox::Mailbox;
using kalendro::memory_store::MemberId;
using kalendro::memory_store::Members;
using kalendro::memory_store::MemberView;
using kalendro::memory_store::MemoryFolder;
using kalendro::memory_store::MemoryItem;

// Past any place and reason a message names, with every quoted text cut short.
constexpr std::size_t kLongestMessage = 64 * 1024;

std::string ValueText(const MemberView& value) {
    return std::visit(
        [](const auto& held) -> std::string {
            using Held = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<Held, std::string_view>) {
                return "'" + std::string(held) + "'";
            } else if constexpr (std::is_same_v<Held, kalendro::StoreDate>) {
                return held.ToText();
            } else {
                return std::to_string(held);
            }
        },
        value);
}

// By member: nlohmann's objects go by key, simdjson's by the file's order, and neither order means anything.
void DumpMembers(const Members& members, std::string& out) {
    std::vector<std::string> texts;
    members.ForEach([&texts](MemberId id, const MemberView& value) {
        texts.push_back(std::to_string(static_cast<int>(id)) + "=" + ValueText(value));
    });
    std::sort(texts.begin(), texts.end());
    for (const std::string& text : texts) {
        out += " " + text;
    }
}

void DumpItem(const MemoryItem& item, std::string& out) {
    out += "item " + item.typeName;
    DumpMembers(item.members, out);
    if (const auto& pattern = item.recurrence) {
        out += " recurs " + std::to_string(static_cast<int>(pattern->type)) + " " + std::to_string(pattern->interval) +
               " " + std::to_string(pattern->dayOfWeekMask) + " " + std::to_string(pattern->dayOfMonth) + " " +
               std::to_string(pattern->instance) + " " + std::to_string(pattern->monthOfYear) + " " +
               pattern->patternStartDate.ToText() + " " + std::to_string(static_cast<int>(pattern->end)) + " " +
               pattern->patternEndDate.ToText() + " " + std::to_string(pattern->occurrences);
        for (const auto& exception : pattern->exceptions) {
            out += " exception " + exception.originalDate.ToText() + (exception.deleted ? " deleted" : "");
            DumpMembers(exception.members, out);
        }
    }
    out += "\n";
}

// Folders nest at most as deep as the loader allows, so the recursion is bounded.
void DumpFolder(const MemoryFolder& folder, std::string& out) {
    out += "folder '" + folder.name + "' " + folder.entryId + " " + folder.storeId + " " +
           std::to_string(folder.defaultItemType) + " " + folder.defaultRole + "\n";
    for (const auto& item : folder.items->All()) {
        DumpItem(*item, out);
    }
    for (const auto& child : folder.folders) {
        DumpFolder(*child, out);
    }
    out += "end\n";
}

std::string Dump(const Mailbox& mailbox) {
    std::string out;
    for (const auto& store : mailbox.stores) {
        DumpFolder(*store, out);
    }
    return out;
}

[[noreturn]] void Finding(const std::string& what) {
    std::cerr << "FINDING: " << what << "\n";
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto quick = kalendro::mailbox::ReadMailboxQuickly(text, "fuzz.json");
    std::shared_ptr<const Mailbox> reported;
    try {
        reported = kalendro::mailbox::ReadMailboxReportingFaults(text, "fuzz.json");
    } catch (const kalendro::Failure& failure) {
        if (failure.Number() != kalendro::kStoreCannotOpen) {
            Finding("failure " + std::to_string(failure.Number()) + ": " + failure.Description());
        }
        if (failure.Description().size() > kLongestMessage) {
            Finding("a message of " + std::to_string(failure.Description().size()) + " bytes");
        }
        if (quick) {
            Finding("the fast reading accepts what the reporting one refuses: " + failure.Description());
        }
        return 0;
    }
    if (quick && Dump(*quick) != Dump(*reported)) {
        Finding("the readings differ:\n" + Dump(*quick) + "---\n" + Dump(*reported));
    }
    return 0;
}
