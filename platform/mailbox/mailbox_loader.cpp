#include "platform/mailbox/mailbox_loader.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <limits>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "platform/failure.h"
#include "platform/mailbox/mailbox_schema.h"
#include "platform/mailbox/recurrence.h"

namespace kalendro::mailbox {

namespace {

using Json = nlohmann::json;

// Where the reader stands, kept as a chain of stack frames so that nothing is formatted unless a
// fault is found.
struct Location {
    const Location* parent = nullptr;
    std::string_view kind;    // "store", "folder", "item", "Recurrence", "exception"; empty for the top level
    std::size_t number = 0;   // position in its list, from 1
    const Json* node = nullptr;
};

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

const std::string* StringMember(const Json& node, std::string_view key) {
    if (!node.is_object()) {
        return nullptr;
    }
    auto found = node.find(key);
    return found != node.end() && found->is_string() ? found->get_ptr<const std::string*>() : nullptr;
}

// What an item is called in messages: its Subject, else a contact's or list's name.
std::string ItemLabel(const Json& node) {
    for (const char* key : {"Subject", "DLName", "CompanyName"}) {
        if (const std::string* label = StringMember(node, key); label != nullptr && !label->empty()) {
            return *label;
        }
    }
    std::string name;
    for (const char* key : {"FirstName", "LastName"}) {
        if (const std::string* part = StringMember(node, key); part != nullptr && !part->empty()) {
            name += (name.empty() ? "" : " ") + *part;
        }
    }
    return name;
}

std::string DescribeStep(const Location& where) {
    std::string text(where.kind);
    if (where.kind == "item") {
        text += " " + std::to_string(where.number);
        const std::string* type = StringMember(*where.node, "type");
        const std::string label = ItemLabel(*where.node);
        if (type != nullptr || !label.empty()) {
            text += " (" + (type != nullptr ? *type : std::string("item")) + (label.empty() ? "" : " " + Quoted(label)) + ")";
        }
    } else if (const std::string* name = StringMember(*where.node, "name")) {
        text += " " + Quoted(*name);
    } else if (where.number > 0) {
        text += " " + std::to_string(where.number);
    }
    return text;
}

std::string Describe(const Location& where) {
    if (where.parent == nullptr) {
        return "the top level";
    }
    std::string text = where.parent->parent == nullptr ? "" : Describe(*where.parent) + " > ";
    return text + DescribeStep(where);
}

std::string InvalidPrefix(const std::string& sourceName) {
    return "The mailbox file " + Quoted(sourceName) + " is not valid: ";
}

[[noreturn]] void Fail(const std::string& sourceName, const Location& where, std::string_view member,
                       const std::string& reason) {
    std::string message = InvalidPrefix(sourceName) + Describe(where);
    message += member.empty() ? ": " : ", member " + Quoted(member) + ": ";
    throw Failure(kStoreCannotOpen, message + reason + ".");
}

std::uint64_t Fnv1a(std::string_view text, std::uint64_t basis) {
    std::uint64_t hash = basis;
    for (unsigned char character : text) {
        hash ^= character;
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// The finaliser of splitmix64: spreads every input bit over the whole word.
std::uint64_t Mix(std::uint64_t value) {
    value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ULL;
    value = (value ^ (value >> 27)) * 0x94d049bb133111ebULL;
    return value ^ (value >> 31);
}

// The parser's message without its "[json.exception...] " prefix.
std::string ParserMessage(const nlohmann::json::exception& error) {
    std::string message = error.what();
    if (auto end = message.find("] "); message.starts_with("[json.exception") && end != std::string::npos) {
        message.erase(0, end + 2);
    }
    return message;
}

struct RecurrenceRule {
    RecurrenceType type;
    std::string_view name;
    bool usesDayOfWeekMask;
    bool usesDayOfMonth;
    bool usesInstance;
    bool usesMonthOfYear;
};

constexpr std::array<RecurrenceRule, 6> kRecurrenceRules = {{
    {RecurrenceType::kDaily, "daily", false, false, false, false},
    {RecurrenceType::kWeekly, "weekly", true, false, false, false},
    {RecurrenceType::kMonthly, "monthly", false, true, false, false},
    {RecurrenceType::kMonthNth, "month-nth", true, false, true, false},
    {RecurrenceType::kYearly, "yearly", false, true, false, true},
    {RecurrenceType::kYearNth, "year-nth", true, false, true, true},
}};

constexpr int kMaximumInterval = 999;

// Builds the document from the parser's events, as the library's own builder does, and hands
// every element of an "items" array to the reader the moment it is complete. (The library's
// callback parser would do the same, but it scans the whole array after each element.)
class DocumentBuilder : public nlohmann::json_sax<Json> {
public:
    DocumentBuilder(Json& root, std::function<void(Json&)> onItem) : root_(root), onItem_(std::move(onItem)) {}

    bool null() override { return Add(nullptr); }
    bool boolean(bool value) override { return Add(value); }
    bool number_integer(number_integer_t value) override { return Add(value); }
    bool number_unsigned(number_unsigned_t value) override { return Add(value); }
    bool number_float(number_float_t value, const string_t&) override { return Add(value); }
    bool string(string_t& value) override { return Add(std::move(value)); }
    bool binary(binary_t& value) override { return Add(Json::binary(std::move(value))); }

    bool key(string_t& name) override {
        keyIsItems_ = name == "items";
        slot_ = &open_.back().node->get_ref<Json::object_t&>()[std::move(name)];
        return true;
    }

    bool start_object(std::size_t) override { return Open(Json::object(), false); }
    bool start_array(std::size_t) override {
        const bool items = !open_.empty() && open_.back().node->is_object() && keyIsItems_;
        return Open(Json::array(), items);
    }

    bool end_object() override {
        Json* finished = open_.back().node;
        open_.pop_back();
        if (!open_.empty() && open_.back().holdsItems) {
            onItem_(*finished);
        }
        return true;
    }
    bool end_array() override {
        open_.pop_back();
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) override {
        errorMessage_ = ParserMessage(error);
        return false;
    }

    const std::string& ErrorMessage() const { return errorMessage_; }

private:
    struct OpenContainer {
        Json* node;
        bool holdsItems;
    };

    Json* Place(Json value) {
        if (open_.empty()) {
            root_ = std::move(value);
            return &root_;
        }
        if (open_.back().node->is_array()) {
            auto& elements = open_.back().node->get_ref<Json::array_t&>();
            elements.push_back(std::move(value));
            return &elements.back();
        }
        *slot_ = std::move(value);
        return slot_;
    }

    bool Add(Json value) {
        Place(std::move(value));
        return true;
    }

    bool Open(Json container, bool holdsItems) {
        open_.push_back({Place(std::move(container)), holdsItems});
        return true;
    }

    Json& root_;
    std::function<void(Json&)> onItem_;
    std::vector<OpenContainer> open_;
    Json* slot_ = nullptr;
    bool keyIsItems_ = false;
    std::string errorMessage_;
};

// A placeholder for an item read while parsing: a binary value, which no JSON text can hold,
// whose subtype is the item's index among the items read so far.
bool IsPlaceholder(const Json& node) {
    return node.is_binary();
}

class MailboxReader {
public:
    explicit MailboxReader(const std::string& sourceName) : sourceName_(sourceName) {}

    std::shared_ptr<const Mailbox> Read(std::string_view text) {
        Json root;
        DocumentBuilder builder(root, [this](Json& item) { ReadItemEarly(item); });
        if (!Json::sax_parse(text, &builder)) {
            throw Failure(kStoreCannotOpen, "The mailbox file " + Quoted(sourceName_) + " is not JSON: " +
                                                builder.ErrorMessage() + ".");
        }
        return ReadTree(root);
    }

private:
    // Each element of an "items" array is read into an item as soon as it is parsed and
    // replaced by a placeholder, so the document never holds all items at once. An element
    // that cannot be read stays as it is; the walk over the tree then reads it again in its
    // place and reports the fault with its location.
    void ReadItemEarly(Json& parsed) {
        try {
            earlyItems_.push_back(ReadItemMembers(parsed, Location{nullptr, "item", 0, &parsed}));
        } catch (const Failure&) {
            return;
        }
        parsed = Json::binary({}, earlyItems_.size() - 1);
    }

    std::shared_ptr<const Mailbox> ReadTree(const Json& root) {
        const Location top;
        if (!root.is_object()) {
            Fail(top, "", "the document must be a JSON object, not " + std::string(root.type_name()));
        }
        for (const auto& [key, value] : root.items()) {
            if (key != "format" && key != "stores") {
                Fail(top, key, "is not a key of a mailbox (format, stores)");
            }
        }
        const Json* format = RequiredKey(root, top, "format");
        if (!format->is_string() || format->get_ref<const std::string&>() != kMailboxFormat) {
            Fail(top, "format", "is " + format->dump() + "; it must be " + Quoted(kMailboxFormat));
        }
        auto mailbox = std::make_shared<Mailbox>();
        mailbox->sourceName = sourceName_;
        const Json& stores = ArrayMember(root, top, "stores", Required::kYes);
        std::set<std::string, std::less<>> storeIds;
        for (std::size_t index = 0; index < stores.size(); ++index) {
            const Location where{&top, "store", index + 1, &stores[index]};
            auto store = ReadStore(stores[index], where, "S" + std::to_string(index));
            if (!storeIds.insert(store->storeId).second) {
                Fail(where, "storeId", Quoted(store->storeId) + " is already the storeId of another store");
            }
            mailbox->stores.push_back(std::move(store));
        }
        return mailbox;
    }

    enum class Required { kNo, kYes };

    [[noreturn]] void Fail(const Location& where, std::string_view member, const std::string& reason) const {
        mailbox::Fail(sourceName_, where, member, reason);
    }

    void RequireObject(const Json& node, const Location& where) const {
        if (!node.is_object()) {
            Fail(where, "", "must be a JSON object, not " + std::string(node.type_name()));
        }
    }

    void CheckKeys(const Json& node, const Location& where, std::initializer_list<std::string_view> known) const {
        for (const auto& [key, value] : node.items()) {
            if (std::find(known.begin(), known.end(), key) == known.end()) {
                std::string list;
                for (std::string_view name : known) {
                    list += (list.empty() ? "" : ", ") + std::string(name);
                }
                Fail(where, key, "is not a key of a " + std::string(where.kind) + " (" + list + ")");
            }
        }
    }

    const Json* RequiredKey(const Json& node, const Location& where, std::string_view key) const {
        auto found = node.find(key);
        if (found == node.end()) {
            Fail(where, key, "is missing");
        }
        return &*found;
    }

    [[noreturn]] void FailType(const Location& where, std::string_view member, std::string_view wanted,
                               const Json& value) const {
        Fail(where, member, "must be " + std::string(wanted) + ", not " + std::string(value.type_name()));
    }

    const std::string& TextValue(const Json& value, const Location& where, std::string_view member) const {
        if (!value.is_string()) {
            FailType(where, member, "a text (a JSON string)", value);
        }
        return value.get_ref<const std::string&>();
    }

    // A date and time "YYYY-MM-DDTHH:MM:SS", or a date "YYYY-MM-DD" at midnight.
    StoreDate DateValue(const Json& value, const Location& where, std::string_view member) const {
        const std::string& text = TextValue(value, where, member);
        const std::optional<StoreDate> date = StoreDate::Parse(text);
        if (!date) {
            Fail(where, member, Quoted(text) + " is not a date of the form YYYY-MM-DDTHH:MM:SS");
        }
        return *date;
    }

    // A date alone, "YYYY-MM-DD".
    StoreDate DayValue(const Json& value, const Location& where, std::string_view member) const {
        const std::string& text = TextValue(value, where, member);
        const std::optional<StoreDate> date = StoreDate::Parse(text);
        if (!date || text.size() != 10) {
            Fail(where, member, Quoted(text) + " is not a date of the form YYYY-MM-DD");
        }
        return *date;
    }

    std::int32_t NumberValue(const Json& value, const Location& where, std::string_view member) const {
        if (!value.is_number_integer()) {
            FailType(where, member, "a whole number", value);
        }
        const bool fits = value.is_number_unsigned()
                              ? value.get<std::uint64_t>() <= std::numeric_limits<std::int32_t>::max()
                              : value.get<std::int64_t>() >= std::numeric_limits<std::int32_t>::min() &&
                                    value.get<std::int64_t>() <= std::numeric_limits<std::int32_t>::max();
        if (!fits) {
            Fail(where, member, value.dump() + " does not fit in 32 bits");
        }
        return value.get<std::int32_t>();
    }

    std::int32_t NumberInRange(const Json& value, const Location& where, std::string_view member, int lowest,
                               int highest) const {
        const std::int32_t number = NumberValue(value, where, member);
        if (number < lowest || number > highest) {
            Fail(where, member, std::to_string(number) + " is outside " + std::to_string(lowest) + " to " +
                                    std::to_string(highest));
        }
        return number;
    }

    bool FlagValue(const Json& value, const Location& where, std::string_view member) const {
        if (!value.is_boolean()) {
            FailType(where, member, "true or false", value);
        }
        return value.get<bool>();
    }

    const Json& ArrayMember(const Json& node, const Location& where, std::string_view key, Required required) const {
        static const Json kNoElements = Json::array();
        auto found = node.find(key);
        if (found == node.end()) {
            if (required == Required::kYes) {
                Fail(where, key, "is missing");
            }
            return kNoElements;
        }
        if (!found->is_array()) {
            FailType(where, key, "a JSON array", *found);
        }
        return *found;
    }

    // An identifier the file gives, or the generated one when it gives none.
    std::string IdValue(const Json& node, const Location& where, std::string_view key, std::string_view place) const {
        auto found = node.find(key);
        if (found == node.end()) {
            return GeneratedId(place);
        }
        const std::string& id = TextValue(*found, where, key);
        CheckEntryId(id, where, key);
        return id;
    }

    void CheckEntryId(const std::string& id, const Location& where, std::string_view key) const {
        if (id.empty()) {
            Fail(where, key, "must not be empty");
        }
        if (key != "storeId" && id.find('@') != std::string::npos) {
            Fail(where, key, Quoted(id) + " holds \"@\", which an entry ID never holds");
        }
    }

    std::shared_ptr<MailboxFolder> ReadStore(const Json& node, const Location& where, const std::string& place) {
        RequireObject(node, where);
        CheckKeys(node, where, {"name", "storeId", "folders"});
        auto store = std::make_shared<MailboxFolder>();
        store->name = TextValue(*RequiredKey(node, where, "name"), where, "name");
        store->storeId = IdValue(node, where, "storeId", "StoreID:" + place);
        store->entryId = GeneratedId("EntryID:" + place);
        std::set<std::string, std::less<>> entryIds{store->entryId};
        ReadSubfolders(node, where, place, *store, entryIds);
        return store;
    }

    void ReadSubfolders(const Json& node, const Location& where, const std::string& place, MailboxFolder& parent,
                        std::set<std::string, std::less<>>& entryIds) {
        const Json& folders = ArrayMember(node, where, "folders", Required::kNo);
        for (std::size_t index = 0; index < folders.size(); ++index) {
            const Location folderWhere{&where, "folder", index + 1, &folders[index]};
            auto folder = ReadFolder(folders[index], folderWhere, place + "/F" + std::to_string(index), parent.storeId);
            if (!entryIds.insert(folder->entryId).second) {
                Fail(folderWhere, "entryId", Quoted(folder->entryId) + " is already the entryId of another folder of this store");
            }
            ReadSubfolders(folders[index], folderWhere, place + "/F" + std::to_string(index), *folder, entryIds);
            parent.folders.push_back(std::move(folder));
        }
    }

    std::shared_ptr<MailboxFolder> ReadFolder(const Json& node, const Location& where, const std::string& place,
                                              const std::string& storeId) {
        RequireObject(node, where);
        CheckKeys(node, where, {"name", "entryId", "defaultItemType", "default", "items", "folders"});
        auto folder = std::make_shared<MailboxFolder>();
        folder->name = TextValue(*RequiredKey(node, where, "name"), where, "name");
        folder->entryId = IdValue(node, where, "entryId", "EntryID:" + place);
        folder->storeId = storeId;
        if (auto found = node.find("defaultItemType"); found != node.end()) {
            folder->defaultItemType = NumberValue(*found, where, "defaultItemType");
        }
        if (auto found = node.find("default"); found != node.end()) {
            ReadDefaultRole(*found, where, *folder);
        }
        const Json& items = ArrayMember(node, where, "items", Required::kNo);
        folder->items.reserve(items.size());
        for (std::size_t index = 0; index < items.size(); ++index) {
            const Location itemWhere{&where, "item", index + 1, &items[index]};
            folder->items.push_back(ReadItem(items[index], itemWhere, place, index));
        }
        return folder;
    }

    void ReadDefaultRole(const Json& value, const Location& where, MailboxFolder& folder) {
        const std::string& role = TextValue(value, where, "default");
        const bool calendar = role == "calendar";
        if (!calendar && role != "contacts") {
            Fail(where, "default", Quoted(role) + " is neither \"calendar\" nor \"contacts\"");
        }
        const std::int32_t neededType = calendar ? 1 : 2;
        if (folder.defaultItemType != neededType) {
            Fail(where, "default", "the default " + role + " folder must have defaultItemType " +
                                       std::to_string(neededType));
        }
        std::string& first = calendar ? firstDefaultCalendar_ : firstDefaultContacts_;
        if (!first.empty()) {
            Fail(where, "default", "there is already a default " + role + " folder: " + first);
        }
        first = Describe(where);
        folder.defaultRole = role;
    }

    std::shared_ptr<const MailboxItem> ReadItem(const Json& node, const Location& where, const std::string& folderPlace,
                                                std::size_t index) {
        std::shared_ptr<MailboxItem> item = IsPlaceholder(node) ? std::move(earlyItems_.at(node.get_binary().subtype()))
                                                                : ReadItemMembers(node, where);
        if (!item->members.contains("EntryID")) {
            item->members.emplace("EntryID", GeneratedId("EntryID:" + folderPlace + "/I" + std::to_string(index)));
        }
        return item;
    }

    // All of an item that does not depend on its place in the file.
    std::shared_ptr<MailboxItem> ReadItemMembers(const Json& node, const Location& where) const {
        RequireObject(node, where);
        auto item = std::make_shared<MailboxItem>();
        item->typeName = TextValue(*RequiredKey(node, where, "type"), where, "type");
        if (item->typeName.empty()) {
            Fail(where, "type", "must not be empty");
        }
        ReadMembers(node, where, item->typeName, {"type", "Recurrence"}, item->members);
        if (auto entryId = item->members.find("EntryID"); entryId != item->members.end()) {
            CheckEntryId(std::get<std::string>(entryId->second), where, "EntryID");
        }
        if (auto recurrence = node.find("Recurrence"); recurrence != node.end()) {
            if (item->typeName != "AppointmentItem") {
                Fail(where, "Recurrence", "only an AppointmentItem can recur");
            }
            item->recurrence = ReadRecurrence(*recurrence, Location{&where, "Recurrence", 0, &*recurrence},
                                              AppointmentSpan(*item, where));
        }
        return item;
    }

    // Every key of the object but the reserved ones is a member of the item type.
    void ReadMembers(const Json& node, const Location& where, const std::string& typeName,
                     std::initializer_list<std::string_view> reserved, Members& members) const {
        const ItemSchema& schema = SchemaFor(typeName);
        for (const auto& [key, value] : node.items()) {
            if (std::find(reserved.begin(), reserved.end(), key) != reserved.end()) {
                continue;
            }
            const std::optional<MemberKind> kind = schema.KindOf(key);
            if (!kind) {
                Fail(where, key, "is not a member of " + typeName);
            }
            members.emplace_hint(members.end(), key, MemberValueOf(value, *kind, where, key));
        }
    }

    MemberValue MemberValueOf(const Json& value, MemberKind kind, const Location& where, std::string_view key) const {
        switch (kind) {
            case MemberKind::kText:
                return TextValue(value, where, key);
            case MemberKind::kDate:
                return DateValue(value, where, key);
            case MemberKind::kNumber:
                return NumberValue(value, where, key);
            case MemberKind::kFlag:
                return FlagValue(value, where, key);
        }
        Fail(where, key, "has a kind of value that is not known");
    }

    struct Span {
        StoreDate start;
        StoreDate end;
    };

    Span AppointmentSpan(const MailboxItem& item, const Location& where) const {
        Span span;
        for (auto [member, date] : {std::pair{"Start", &span.start}, std::pair{"End", &span.end}}) {
            auto found = item.members.find(member);
            if (found == item.members.end()) {
                Fail(where, member, "is missing; a recurring appointment needs its Start and End");
            }
            *date = std::get<StoreDate>(found->second);
        }
        if (span.end < span.start) {
            Fail(where, "End", "is before Start");
        }
        return span;
    }

    RecurrencePattern ReadRecurrence(const Json& node, const Location& where, const Span& span) const {
        RequireObject(node, where);
        CheckKeys(node, where, {"RecurrenceType", "Interval", "DayOfWeekMask", "DayOfMonth", "Instance", "MonthOfYear",
                                "PatternStartDate", "PatternEndDate", "Occurrences", "NoEndDate", "Exceptions"});
        RecurrencePattern pattern;
        const RecurrenceRule& rule = ReadRule(*RequiredKey(node, where, "RecurrenceType"), where);
        pattern.type = rule.type;
        if (auto found = node.find("Interval"); found != node.end()) {
            pattern.interval = NumberInRange(*found, where, "Interval", 1, kMaximumInterval);
        }
        pattern.dayOfWeekMask = PatternField(node, where, rule, "DayOfWeekMask", rule.usesDayOfWeekMask, 1, 127);
        pattern.dayOfMonth = PatternField(node, where, rule, "DayOfMonth", rule.usesDayOfMonth, 1, 31);
        pattern.instance = PatternField(node, where, rule, "Instance", rule.usesInstance, 1, 5);
        pattern.monthOfYear = PatternField(node, where, rule, "MonthOfYear", rule.usesMonthOfYear, 1, 12);
        auto startDate = node.find("PatternStartDate");
        pattern.patternStartDate =
            startDate == node.end() ? span.start.DateOnly() : DayValue(*startDate, where, "PatternStartDate");
        ReadPatternEnd(node, where, pattern);
        const Json& exceptions = ArrayMember(node, where, "Exceptions", Required::kNo);
        for (std::size_t index = 0; index < exceptions.size(); ++index) {
            const Location exceptionWhere{&where, "exception", index + 1, &exceptions[index]};
            pattern.exceptions.push_back(ReadException(exceptions[index], exceptionWhere, pattern, span));
        }
        return pattern;
    }

    const RecurrenceRule& ReadRule(const Json& value, const Location& where) const {
        const std::int32_t number = NumberValue(value, where, "RecurrenceType");
        for (const RecurrenceRule& rule : kRecurrenceRules) {
            if (static_cast<std::int32_t>(rule.type) == number) {
                return rule;
            }
        }
        Fail(where, "RecurrenceType", std::to_string(number) + " is not one of 0, 1, 2, 3, 5 and 6");
    }

    // A field the type needs must be there and in range; one it does not use must be absent.
    int PatternField(const Json& node, const Location& where, const RecurrenceRule& rule, std::string_view key,
                     bool used, int lowest, int highest) const {
        auto found = node.find(key);
        if (found == node.end()) {
            if (used) {
                Fail(where, key, "is missing; a " + std::string(rule.name) + " recurrence needs it");
            }
            return 0;
        }
        if (!used) {
            Fail(where, key, "is not used by a " + std::string(rule.name) + " recurrence");
        }
        return NumberInRange(*found, where, key, lowest, highest);
    }

    void ReadPatternEnd(const Json& node, const Location& where, RecurrencePattern& pattern) const {
        const auto endDate = node.find("PatternEndDate");
        const auto occurrences = node.find("Occurrences");
        const auto noEndDate = node.find("NoEndDate");
        const int given = (endDate != node.end()) + (occurrences != node.end()) + (noEndDate != node.end());
        if (given != 1) {
            Fail(where, "", "it must have exactly one of PatternEndDate, Occurrences and NoEndDate");
        }
        if (endDate != node.end()) {
            pattern.end = RecurrenceEnd::kByDate;
            pattern.patternEndDate = DayValue(*endDate, where, "PatternEndDate");
            if (pattern.patternEndDate < pattern.patternStartDate) {
                Fail(where, "PatternEndDate", "is before the pattern's start " + pattern.patternStartDate.ToText());
            }
        } else if (occurrences != node.end()) {
            pattern.end = RecurrenceEnd::kAfterOccurrences;
            pattern.occurrences = NumberInRange(*occurrences, where, "Occurrences", 1, std::numeric_limits<int>::max());
        } else {
            if (!FlagValue(*noEndDate, where, "NoEndDate")) {
                Fail(where, "NoEndDate", "must be true; leave it out for a series that ends");
            }
            pattern.end = RecurrenceEnd::kNever;
        }
    }

    RecurrenceException ReadException(const Json& node, const Location& where, const RecurrencePattern& pattern,
                                      const Span& span) const {
        RequireObject(node, where);
        RecurrenceException exception;
        exception.originalDate = DateValue(*RequiredKey(node, where, "OriginalDate"), where, "OriginalDate");
        CheckOriginalDate(exception.originalDate, where, pattern, span);
        for (const RecurrenceException& earlier : pattern.exceptions) {
            if (earlier.originalDate == exception.originalDate) {
                Fail(where, "OriginalDate", "another exception already has " + exception.originalDate.ToText());
            }
        }
        if (auto deleted = node.find("Deleted"); deleted != node.end()) {
            exception.deleted = FlagValue(*deleted, where, "Deleted");
        }
        ReadMembers(node, where, "AppointmentItem", {"OriginalDate", "Deleted"}, exception.members);
        if (exception.deleted && !exception.members.empty()) {
            Fail(where, exception.members.begin()->first, "a deleted occurrence has no members");
        }
        if (exception.members.contains("EntryID")) {
            Fail(where, "EntryID", "an occurrence keeps the EntryID of its series");
        }
        return exception;
    }

    // An original date must be the start of an occurrence: at the series' time of day and inside the
    // pattern's dates.
    void CheckOriginalDate(const StoreDate& original, const Location& where, const RecurrencePattern& pattern,
                           const Span& span) const {
        if (original.SecondsOfDay() != span.start.SecondsOfDay()) {
            Fail(where, "OriginalDate", original.ToText() + " is not at the series' time of day " +
                                            span.start.ToText().substr(11));
        }
        const StoreDate day = original.DateOnly();
        if (day < pattern.patternStartDate ||
            (pattern.end == RecurrenceEnd::kByDate && pattern.patternEndDate < day)) {
            Fail(where, "OriginalDate", original.ToText() + " lies outside the pattern's dates");
        }
        if (!RecurringSeries(pattern, span.start, span.end).IsPatternOccurrence(original)) {
            Fail(where, "OriginalDate", original.ToText() + " is no occurrence of the pattern");
        }
    }

    const std::string& sourceName_;
    std::vector<std::shared_ptr<MailboxItem>> earlyItems_;
    std::string firstDefaultCalendar_;
    std::string firstDefaultContacts_;
};

std::string ReadWholeFile(const std::string& path) {
    const std::string cannotRead = "The mailbox file " + Quoted(path) + " cannot be read: ";
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw Failure(kStoreCannotOpen, cannotRead + "it is a directory.");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw Failure(kStoreCannotOpen, cannotRead + std::strerror(errno) + ".");
    }
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad() || (!content && file.peek() != std::ifstream::traits_type::eof())) {
        throw Failure(kStoreCannotOpen, cannotRead + "reading failed.");
    }
    return std::move(content).str();
}

}  // namespace

std::string GeneratedId(std::string_view place) {
    const std::uint64_t high = Mix(Fnv1a(place, 0xcbf29ce484222325ULL));
    const std::uint64_t low = Mix(Fnv1a(place, 0x84222325cbf29ce4ULL));
    char text[33];
    std::snprintf(text, sizeof text, "%016llX%016llX", static_cast<unsigned long long>(high),
                  static_cast<unsigned long long>(low));
    return text;
}

std::shared_ptr<const Mailbox> LoadMailboxText(std::string_view text, const std::string& sourceName) {
    return MailboxReader(sourceName).Read(text);
}

std::shared_ptr<const Mailbox> LoadMailboxFile(const std::string& path) {
    return LoadMailboxText(ReadWholeFile(path), path);
}

}  // namespace kalendro::mailbox
