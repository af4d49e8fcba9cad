#include "platform/pst/pst_store.h"

#include <filesystem>
#include <memory>
#include <set>
#include <utility>

#include "platform/failure.h"
#include "platform/memory_store/recurrence.h"
#include "platform/pst/default_folders.h"
#include "platform/pst/item_mapping.h"
#include "platform/pst/property_tags.h"
#include "platform/pst/property_values.h"
#include "platform/pst/pst_file.h"

namespace kalendro::pst {

namespace {

using memory_store::FolderItems;
using memory_store::ItemList;
using memory_store::MemberId;
using memory_store::MemoryFolder;
using memory_store::MemoryItem;
using memory_store::RecurrenceException;
using memory_store::RecurrencePattern;

std::string TextProperty(const PropertyBag& bag, std::uint16_t tag) {
    const PropertyValue* value = bag.Find(tag);
    return value == nullptr ? std::string() : ReadText(*value).value_or(std::string());
}

// A series' own zone, turning the wall clock of its pattern into this machine's.
class PatternZone : public memory_store::SeriesTimeZone {
public:
    explicit PatternZone(ZoneRules rules) : rules_(std::move(rules)) {}
    StoreDate ToLocal(const StoreDate& zoneWallTime) const override {
        return SeriesWallToMachineLocal(rules_, zoneWallTime);
    }

private:
    std::optional<ZoneRules> rules_;
};

StoreDate AtMinutes(const StoreDate& day, int minutes) {
    return StoreDate::FromSerialSeconds(day.SerialSeconds() + std::int64_t{minutes} * 60);
}

RecurrencePattern PatternOf(const AppointmentRecurrence& recurrence) {
    RecurrencePattern pattern;
    pattern.type = recurrence.kind;
    pattern.interval = recurrence.interval;
    pattern.dayOfWeekMask = recurrence.dayOfWeekMask;
    pattern.dayOfMonth = recurrence.dayOfMonth;
    pattern.instance = recurrence.instance;
    pattern.monthOfYear = recurrence.monthOfYear;
    pattern.firstDayOfWeek = recurrence.firstDayOfWeek;
    pattern.calendar = recurrence.calendar;
    pattern.patternStartDate = recurrence.patternStartDate;
    pattern.end = recurrence.end;
    pattern.patternEndDate = recurrence.patternEndDate;
    pattern.occurrences = recurrence.occurrences;
    return pattern;
}

void CheckSeries(const AppointmentRecurrence& recurrence) {
    const auto outside = [](int value, int lowest, int highest) { return value < lowest || value > highest; };
    if (outside(recurrence.interval, 1, 999) || outside(recurrence.dayOfMonth, 0, 31) ||
        outside(recurrence.instance, 0, 5) || outside(recurrence.monthOfYear, 0, 12) ||
        outside(recurrence.dayOfWeekMask, 0, 127) || outside(recurrence.firstDayOfWeek, 0, 6) ||
        recurrence.endMinutes < recurrence.startMinutes) {
        throw Failure(kStoreOperationFailed, "its recurrence pattern holds values out of range");
    }
}

// Deleted and modified occurrences, each on a date of the pattern and at most one per date.
void AddExceptions(RecurrencePattern& pattern, const Message& series, const AppointmentRecurrence& recurrence,
                   const memory_store::RecurringSeries& expansion) {
    std::set<StoreDate> originals;
    const auto add = [&](RecurrenceException exception) {
        if (!expansion.IsPatternOccurrence(exception.originalDate) ||
            !originals.insert(exception.originalDate).second) {
            throw Failure(kStoreOperationFailed,
                          "its exception of " + exception.originalDate.ToText() + " is no occurrence of its pattern");
        }
        pattern.exceptions.push_back(std::move(exception));
    };
    for (const StoreDate& deleted : recurrence.deletedDates) {
        add({AtMinutes(deleted, recurrence.startMinutes), true, {}});
    }
    for (const ModifiedOccurrence& modified : MapModifiedOccurrences(series, recurrence)) {
        RecurrenceException exception{modified.originalStart, false, {}};
        for (const auto& [member, value] : modified.members) {
            exception.members.Set(member, memory_store::ViewOf(value));
        }
        add(std::move(exception));
    }
}

// The series' pattern, with its Start and End as the pattern's first occurrence in the series' own
// zone; an all-day series keeps its dates whatever this machine's zone.
void AddRecurrence(MemoryItem& item, const Message& message) {
    const std::optional<AppointmentRecurrence> recurrence = ReadRecurrence(message.properties);
    if (!recurrence) {
        return;
    }
    CheckSeries(*recurrence);
    const StoreDate start = AtMinutes(recurrence->patternStartDate, recurrence->startMinutes);
    const StoreDate end = AtMinutes(recurrence->patternStartDate, recurrence->endMinutes);
    item.members.Set(MemberId::kStart, start);
    item.members.Set(MemberId::kEnd, end);
    RecurrencePattern pattern = PatternOf(*recurrence);
    const std::optional<memory_store::MemberView> allDay = item.members.Find(MemberId::kAllDayEvent);
    if (!allDay || !std::get<bool>(*allDay)) {
        if (std::optional<ZoneRules> zone = SeriesZone(message.properties)) {
            pattern.zone = std::make_shared<PatternZone>(std::move(*zone));
        }
    }
    AddExceptions(pattern, message, *recurrence,
                  memory_store::RecurringSeries(pattern, start, end, pattern.zone.get()));
    item.recurrence = std::make_unique<RecurrencePattern>(std::move(pattern));
}

std::shared_ptr<const MemoryItem> ItemOf(const Message& message, std::string_view recordKey) {
    MappedItem mapped = MapItem(message, recordKey);
    auto item = std::make_shared<MemoryItem>(mapped.typeName);
    for (const auto& [member, value] : mapped.members) {
        item->members.Set(member, memory_store::ViewOf(value));
    }
    if (item->type == memory_store::ItemType::kAppointment) {
        AddRecurrence(*item, message);
    }
    return item;
}

struct StoreContext {
    std::shared_ptr<PstFile> file;
    std::string recordKey;
    std::string storeId;
    DefaultFolders defaults;
    StoreWarning warn;
};

// Reads a folder's messages as items; those that cannot be read are left out and told once.
ItemList ReadFolderItems(const StoreContext& store, std::uint32_t nodeId, const std::string& folderPath) {
    FolderMessages read = store.file->ReadMessages(nodeId);
    ItemList items;
    items.reserve(read.messages.size());
    for (const Message& message : read.messages) {
        try {
            items.push_back(ItemOf(message, store.recordKey));
        } catch (const Failure& failure) {
            ++read.skipped;
            read.problems.push_back("item " + EntryIdText(store.recordKey, message.nodeId) + ": " +
                                    failure.Description());
        }
    }
    if (read.skipped > 0 && store.warn) {
        std::string message = folderPath + ": " + std::to_string(read.skipped) + " item(s) left out";
        for (const std::string& problem : read.problems) {
            message += "\n  " + problem;
        }
        store.warn(message);
    }
    return items;
}

std::int32_t ContentCount(const PropertyBag& folder) {
    const PropertyValue* count = folder.Find(kContentCount);
    return std::max(count == nullptr ? 0 : ReadInt32(*count).value_or(0), 0);
}

std::string DefaultRole(const StoreContext& store, std::uint32_t nodeId) {
    if (store.defaults.calendar == nodeId) {
        return "calendar";
    }
    return store.defaults.contacts == nodeId ? "contacts" : "";
}

// Every folder's reader holds the store, whose file stays open as long as any folder may be read.
std::shared_ptr<MemoryFolder> FolderOf(const std::shared_ptr<const StoreContext>& store, const FolderNode& node,
                                       const std::string& path) {
    auto folder = std::make_shared<MemoryFolder>();
    folder->name = TextProperty(node.properties, kDisplayName);
    folder->entryId = EntryIdText(store->recordKey, node.nodeId);
    folder->storeId = store->storeId;
    folder->defaultItemType = DefaultItemType(node.properties);
    folder->defaultRole = DefaultRole(*store, node.nodeId);
    const std::string folderPath = path + " > " + folder->name;
    folder->items = std::make_shared<const FolderItems>(
        ContentCount(node.properties),
        [store, nodeId = node.nodeId, folderPath] { return ReadFolderItems(*store, nodeId, folderPath); });
    for (const FolderNode& subfolder : node.subfolders) {
        folder->folders.push_back(FolderOf(store, subfolder, folderPath));
    }
    return folder;
}

}  // namespace

memory_store::MemoryStore ReadPstStore(const std::string& path, StoreWarning warn) {
    auto store = std::make_shared<StoreContext>();
    store->file = PstFile::Open(path);
    const PropertyBag& messageStore = store->file->MessageStore();
    const PropertyValue* recordKey = messageStore.Find(kRecordKey);
    store->recordKey = recordKey == nullptr ? std::string() : recordKey->data;
    store->storeId = UpperHex(store->recordKey);
    store->defaults = FindDefaultFolders(store->file->Root(), messageStore);
    store->warn = std::move(warn);
    for (const std::string& warning : store->file->Warnings()) {
        store->warn(warning);
    }

    std::string name = TextProperty(messageStore, kDisplayName);
    if (name.empty()) {
        name = std::filesystem::path(path).filename().string();
    }
    const FolderNode* top = FindIpmSubtree(store->file->Root(), messageStore);
    auto root = std::make_shared<MemoryFolder>();
    root->name = name;
    root->entryId = EntryIdText(store->recordKey, top == nullptr ? store->file->Root().nodeId : top->nodeId);
    root->storeId = store->storeId;
    for (const FolderNode& subfolder : (top == nullptr ? store->file->Root() : *top).subfolders) {
        root->folders.push_back(FolderOf(store, subfolder, name));
    }
    return {root, "the Outlook data file \"" + path + "\""};
}

}  // namespace kalendro::pst
