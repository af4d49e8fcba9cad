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
#include <optional>
#include <set>

#include <nlohmann/json.hpp>
#include <simdjson.h>

#include "platform/failure.h"
#include "platform/mailbox/mailbox_schema.h"
#include "platform/mailbox/recurrence.h"

namespace kalendro::mailbox {

namespace {

using Json = nlohmann::json;

// The reader below is written once over a small view of a parsed JSON value and runs over two
// parsers: simdjson, which reads a large file many times faster, and nlohmann's, whose parse
// errors and type names the messages quote. A file is read with the first; only when that finds
// anything amiss is it read again with the second, which then reports the fault.

// A value parsed by nlohmann's parser.
class JsonNode {
public:
    explicit JsonNode(const Json& value) : value_(&value) {}

    bool IsObject() const { return value_->is_object(); }
    bool IsArray() const { return value_->is_array(); }
    bool IsString() const { return value_->is_string(); }
    bool IsBoolean() const { return value_->is_boolean(); }
    bool IsInteger() const { return value_->is_number_integer(); }
    std::string_view Text() const { return value_->get_ref<const std::string&>(); }
    bool Flag() const { return value_->get<bool>(); }
    // Nothing when the whole number does not fit in 32 bits.
    std::optional<std::int32_t> Int32() const {
        constexpr std::int64_t lowest = std::numeric_limits<std::int32_t>::min();
        constexpr std::int64_t highest = std::numeric_limits<std::int32_t>::max();
        const bool fits = value_->is_number_unsigned()
                              ? value_->get<std::uint64_t>() <= static_cast<std::uint64_t>(highest)
                              : value_->get<std::int64_t>() >= lowest && value_->get<std::int64_t>() <= highest;
        return fits ? std::optional(value_->get<std::int32_t>()) : std::nullopt;
    }
    std::string TypeName() const { return value_->type_name(); }
    std::string Dump() const { return value_->dump(); }

    std::optional<JsonNode> Find(std::string_view key) const {
        if (!value_->is_object()) {
            return std::nullopt;
        }
        auto found = value_->find(key);
        return found == value_->end() ? std::nullopt : std::optional(JsonNode(*found));
    }
    std::size_t Size() const { return value_->size(); }
    template <typename Visit>
    void ForEachElement(Visit&& visit) const {
        std::size_t index = 0;
        for (const Json& element : *value_) {
            visit(index++, JsonNode(element));
        }
    }
    template <typename Visit>
    void ForEachMember(Visit&& visit) const {
        for (const auto& [key, value] : value_->items()) {
            visit(std::string_view(key), JsonNode(value));
        }
    }

    // An item the parser's builder has read already and left a placeholder for: a binary value,
    // which no JSON text can hold, whose subtype is the item's index among those read early.
    std::optional<std::size_t> EarlyItem() const {
        return value_->is_binary() ? std::optional<std::size_t>(value_->get_binary().subtype()) : std::nullopt;
    }

private:
    const Json* value_;
};

// simdjson keeps every key of an object, where nlohmann's parser keeps the last of repeated keys;
// a file that repeats a key is left to the latter.
struct RepeatedKey {};

// A value parsed by simdjson.
class SimdNode {
public:
    explicit SimdNode(simdjson::dom::element value) : value_(value) {}

    bool IsObject() const { return value_.is_object(); }
    bool IsArray() const { return value_.is_array(); }
    bool IsString() const { return value_.is_string(); }
    bool IsBoolean() const { return value_.is_bool(); }
    bool IsInteger() const { return value_.is_int64() || value_.is_uint64(); }
    std::string_view Text() const { return Get<std::string_view>(); }
    bool Flag() const { return Get<bool>(); }
    std::optional<std::int32_t> Int32() const {
        std::int64_t number = 0;
        const bool fits = value_.get_int64().get(number) == simdjson::SUCCESS &&
                          number >= std::numeric_limits<std::int32_t>::min() &&
                          number <= std::numeric_limits<std::int32_t>::max();
        return fits ? std::optional(static_cast<std::int32_t>(number)) : std::nullopt;
    }
    // The names nlohmann's parser gives.
    std::string TypeName() const {
        switch (value_.type()) {
            case simdjson::dom::element_type::ARRAY:
                return "array";
            case simdjson::dom::element_type::OBJECT:
                return "object";
            case simdjson::dom::element_type::STRING:
                return "string";
            case simdjson::dom::element_type::BOOL:
                return "boolean";
            case simdjson::dom::element_type::NULL_VALUE:
                return "null";
            default:
                return "number";
        }
    }
    std::string Dump() const { return simdjson::minify(value_); }

    std::optional<SimdNode> Find(std::string_view key) const {
        if (!value_.is_object()) {
            return std::nullopt;
        }
        std::optional<SimdNode> found;
        for (const simdjson::dom::key_value_pair field : Get<simdjson::dom::object>()) {
            if (field.key == key) {
                if (found) {
                    throw RepeatedKey{};
                }
                found.emplace(field.value);
            }
        }
        return found;
    }
    // The number of elements of an array or members of an object.
    std::size_t Size() const {
        return IsObject() ? Get<simdjson::dom::object>().size() : Get<simdjson::dom::array>().size();
    }
    template <typename Visit>
    void ForEachElement(Visit&& visit) const {
        std::size_t index = 0;
        for (const simdjson::dom::element element : Get<simdjson::dom::array>()) {
            visit(index++, SimdNode(element));
        }
    }
    template <typename Visit>
    void ForEachMember(Visit&& visit) const {
        for (const simdjson::dom::key_value_pair field : Get<simdjson::dom::object>()) {
            visit(field.key, SimdNode(field.value));
        }
    }

    std::optional<std::size_t> EarlyItem() const { return std::nullopt; }

private:
    // The value as a T; the reader asks only after checking the type.
    template <typename T>
    T Get() const {
        T result{};
        [[maybe_unused]] const simdjson::error_code error = value_.get<T>().get(result);
        return result;
    }

    simdjson::dom::element value_;
};

// Where the reader stands, kept as a chain of stack frames so that nothing is formatted unless a
// fault is found.
template <typename Node>
struct Location {
    const Location* parent = nullptr;
    std::string_view kind;   // "store", "folder", "item", "Recurrence", "exception"; empty for the top level
    std::size_t number = 0;  // position in its list, from 1
    const Node* node = nullptr;
};

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

template <typename Node>
std::optional<std::string_view> StringMember(const Node& node, std::string_view key) {
    const std::optional<Node> found = node.Find(key);
    return found && found->IsString() ? std::optional(found->Text()) : std::nullopt;
}

// What an item is called in messages: its Subject, else a contact's or list's name.
template <typename Node>
std::string ItemLabel(const Node& node) {
    for (const char* key : {"Subject", "DLName", "CompanyName"}) {
        if (const auto label = StringMember(node, key); label && !label->empty()) {
            return std::string(*label);
        }
    }
    std::string name;
    for (const char* key : {"FirstName", "LastName"}) {
        if (const auto part = StringMember(node, key); part && !part->empty()) {
            name += (name.empty() ? "" : " ") + std::string(*part);
        }
    }
    return name;
}

template <typename Node>
std::string DescribeStep(const Location<Node>& where) {
    std::string text(where.kind);
    if (where.kind == "item") {
        text += " " + std::to_string(where.number);
        const auto type = StringMember(*where.node, "type");
        const std::string label = ItemLabel(*where.node);
        if (type || !label.empty()) {
            text += " (" + (type ? std::string(*type) : std::string("item")) +
                    (label.empty() ? "" : " " + Quoted(label)) + ")";
        }
    } else if (const auto name = StringMember(*where.node, "name")) {
        text += " " + Quoted(*name);
    } else if (where.number > 0) {
        text += " " + std::to_string(where.number);
    }
    return text;
}

template <typename Node>
std::string Describe(const Location<Node>& where) {
    if (where.parent == nullptr) {
        return "the top level";
    }
    std::string text = where.parent->parent == nullptr ? "" : Describe(*where.parent) + " > ";
    return text + DescribeStep(where);
}

std::string InvalidPrefix(const std::string& sourceName) {
    return "The mailbox file " + Quoted(sourceName) + " is not valid: ";
}

template <typename Node>
[[noreturn]] void Fail(const std::string& sourceName, const Location<Node>& where, std::string_view member,
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

template <typename Node>
class MailboxReader {
public:
    using Where = Location<Node>;

    explicit MailboxReader(const std::string& sourceName) : sourceName_(sourceName) {}

    // Reads an element of an "items" array as soon as it is parsed, so that the document need not
    // hold all items at once. Nothing when it cannot be read: the walk over the tree then reads it
    // again in its place and reports the fault with its location.
    std::optional<std::size_t> ReadItemEarly(const Node& parsed) {
        try {
            earlyItems_.push_back(ReadItemMembers(parsed, Where{nullptr, "item", 0, &parsed}));
        } catch (const Failure&) {
            return std::nullopt;
        }
        return earlyItems_.size() - 1;
    }

    std::shared_ptr<const Mailbox> ReadTree(const Node& root) {
        const Where top;
        if (!root.IsObject()) {
            Fail(top, "", "the document must be a JSON object, not " + root.TypeName());
        }
        root.ForEachMember([&](std::string_view key, const Node&) {
            if (key != "format" && key != "stores") {
                Fail(top, key, "is not a key of a mailbox (format, stores)");
            }
        });
        const Node format = RequiredKey(root, top, "format");
        if (!format.IsString() || format.Text() != kMailboxFormat) {
            Fail(top, "format", "is " + format.Dump() + "; it must be " + Quoted(kMailboxFormat));
        }
        auto mailbox = std::make_shared<Mailbox>();
        mailbox->sourceName = sourceName_;
        std::set<std::string, std::less<>> storeIds;
        ArrayMember(root, top, "stores", Required::kYes)->ForEachElement([&](std::size_t index, const Node& node) {
            const Where where{&top, "store", index + 1, &node};
            auto store = ReadStore(node, where, "S" + std::to_string(index));
            if (!storeIds.insert(store->storeId).second) {
                Fail(where, "storeId", Quoted(store->storeId) + " is already the storeId of another store");
            }
            mailbox->stores.push_back(std::move(store));
        });
        return mailbox;
    }

private:
    enum class Required { kNo, kYes };

    [[noreturn]] void Fail(const Where& where, std::string_view member, const std::string& reason) const {
        mailbox::Fail(sourceName_, where, member, reason);
    }

    void RequireObject(const Node& node, const Where& where) const {
        if (!node.IsObject()) {
            Fail(where, "", "must be a JSON object, not " + node.TypeName());
        }
    }

    void CheckKeys(const Node& node, const Where& where, std::initializer_list<std::string_view> known) const {
        node.ForEachMember([&](std::string_view key, const Node&) {
            if (std::find(known.begin(), known.end(), key) == known.end()) {
                std::string list;
                for (std::string_view name : known) {
                    list += (list.empty() ? "" : ", ") + std::string(name);
                }
                Fail(where, key, "is not a key of a " + std::string(where.kind) + " (" + list + ")");
            }
        });
    }

    Node RequiredKey(const Node& node, const Where& where, std::string_view key) const {
        std::optional<Node> found = node.Find(key);
        if (!found) {
            Fail(where, key, "is missing");
        }
        return *found;
    }

    [[noreturn]] void FailType(const Where& where, std::string_view member, std::string_view wanted,
                               const Node& value) const {
        Fail(where, member, "must be " + std::string(wanted) + ", not " + value.TypeName());
    }

    std::string_view TextValue(const Node& value, const Where& where, std::string_view member) const {
        if (!value.IsString()) {
            FailType(where, member, "a text (a JSON string)", value);
        }
        return value.Text();
    }

    // A date and time "YYYY-MM-DDTHH:MM:SS", or a date "YYYY-MM-DD" at midnight.
    StoreDate DateValue(const Node& value, const Where& where, std::string_view member) const {
        const std::string_view text = TextValue(value, where, member);
        const std::optional<StoreDate> date = StoreDate::Parse(text);
        if (!date) {
            Fail(where, member, Quoted(text) + " is not a date of the form YYYY-MM-DDTHH:MM:SS");
        }
        return *date;
    }

    // A date alone, "YYYY-MM-DD".
    StoreDate DayValue(const Node& value, const Where& where, std::string_view member) const {
        const std::string_view text = TextValue(value, where, member);
        const std::optional<StoreDate> date = StoreDate::Parse(text);
        if (!date || text.size() != 10) {
            Fail(where, member, Quoted(text) + " is not a date of the form YYYY-MM-DD");
        }
        return *date;
    }

    std::int32_t NumberValue(const Node& value, const Where& where, std::string_view member) const {
        if (!value.IsInteger()) {
            FailType(where, member, "a whole number", value);
        }
        const std::optional<std::int32_t> number = value.Int32();
        if (!number) {
            Fail(where, member, value.Dump() + " does not fit in 32 bits");
        }
        return *number;
    }

    std::int32_t NumberInRange(const Node& value, const Where& where, std::string_view member, int lowest,
                               int highest) const {
        const std::int32_t number = NumberValue(value, where, member);
        if (number < lowest || number > highest) {
            Fail(where, member,
                 std::to_string(number) + " is outside " + std::to_string(lowest) + " to " + std::to_string(highest));
        }
        return number;
    }

    bool FlagValue(const Node& value, const Where& where, std::string_view member) const {
        if (!value.IsBoolean()) {
            FailType(where, member, "true or false", value);
        }
        return value.Flag();
    }

    // Nothing when an array that is not required is absent.
    std::optional<Node> ArrayMember(const Node& node, const Where& where, std::string_view key,
                                    Required required) const {
        std::optional<Node> found = node.Find(key);
        if (!found) {
            if (required == Required::kYes) {
                Fail(where, key, "is missing");
            }
            return std::nullopt;
        }
        if (!found->IsArray()) {
            FailType(where, key, "a JSON array", *found);
        }
        return found;
    }

    // An identifier the file gives, or the generated one when it gives none.
    std::string IdValue(const Node& node, const Where& where, std::string_view key, std::string_view place) const {
        const std::optional<Node> found = node.Find(key);
        if (!found) {
            return GeneratedId(place);
        }
        const std::string_view id = TextValue(*found, where, key);
        CheckEntryId(id, where, key);
        return std::string(id);
    }

    void CheckEntryId(std::string_view id, const Where& where, std::string_view key) const {
        if (id.empty()) {
            Fail(where, key, "must not be empty");
        }
        if (key != "storeId" && id.find('@') != std::string_view::npos) {
            Fail(where, key, Quoted(id) + " holds \"@\", which an entry ID never holds");
        }
    }

    std::shared_ptr<MailboxFolder> ReadStore(const Node& node, const Where& where, const std::string& place) {
        RequireObject(node, where);
        CheckKeys(node, where, {"name", "storeId", "folders"});
        auto store = std::make_shared<MailboxFolder>();
        store->name = TextValue(RequiredKey(node, where, "name"), where, "name");
        store->storeId = IdValue(node, where, "storeId", "StoreID:" + place);
        store->entryId = GeneratedId("EntryID:" + place);
        std::set<std::string, std::less<>> entryIds{store->entryId};
        ReadSubfolders(node, where, place, *store, entryIds);
        return store;
    }

    void ReadSubfolders(const Node& node, const Where& where, const std::string& place, MailboxFolder& parent,
                        std::set<std::string, std::less<>>& entryIds) {
        const std::optional<Node> folders = ArrayMember(node, where, "folders", Required::kNo);
        if (!folders) {
            return;
        }
        folders->ForEachElement([&](std::size_t index, const Node& folderNode) {
            const Where folderWhere{&where, "folder", index + 1, &folderNode};
            const std::string folderPlace = place + "/F" + std::to_string(index);
            auto folder = ReadFolder(folderNode, folderWhere, folderPlace, parent.storeId);
            if (!entryIds.insert(folder->entryId).second) {
                Fail(folderWhere, "entryId",
                     Quoted(folder->entryId) + " is already the entryId of another folder of this store");
            }
            ReadSubfolders(folderNode, folderWhere, folderPlace, *folder, entryIds);
            parent.folders.push_back(std::move(folder));
        });
    }

    std::shared_ptr<MailboxFolder> ReadFolder(const Node& node, const Where& where, const std::string& place,
                                              const std::string& storeId) {
        RequireObject(node, where);
        CheckKeys(node, where, {"name", "entryId", "defaultItemType", "default", "items", "folders"});
        auto folder = std::make_shared<MailboxFolder>();
        folder->name = TextValue(RequiredKey(node, where, "name"), where, "name");
        folder->entryId = IdValue(node, where, "entryId", "EntryID:" + place);
        folder->storeId = storeId;
        if (const std::optional<Node> found = node.Find("defaultItemType")) {
            folder->defaultItemType = NumberValue(*found, where, "defaultItemType");
        }
        if (const std::optional<Node> found = node.Find("default")) {
            ReadDefaultRole(*found, where, *folder);
        }
        if (const std::optional<Node> items = ArrayMember(node, where, "items", Required::kNo)) {
            folder->items.reserve(items->Size());
            items->ForEachElement([&](std::size_t index, const Node& item) {
                const Where itemWhere{&where, "item", index + 1, &item};
                folder->items.push_back(ReadItem(item, itemWhere, place, index));
            });
        }
        return folder;
    }

    void ReadDefaultRole(const Node& value, const Where& where, MailboxFolder& folder) {
        const std::string role(TextValue(value, where, "default"));
        const bool calendar = role == "calendar";
        if (!calendar && role != "contacts") {
            Fail(where, "default", Quoted(role) + " is neither \"calendar\" nor \"contacts\"");
        }
        const std::int32_t neededType = calendar ? 1 : 2;
        if (folder.defaultItemType != neededType) {
            Fail(where, "default",
                 "the default " + role + " folder must have defaultItemType " + std::to_string(neededType));
        }
        std::string& first = calendar ? firstDefaultCalendar_ : firstDefaultContacts_;
        if (!first.empty()) {
            Fail(where, "default", "there is already a default " + role + " folder: " + first);
        }
        first = Describe(where);
        folder.defaultRole = role;
    }

    std::shared_ptr<const MailboxItem> ReadItem(const Node& node, const Where& where, const std::string& folderPlace,
                                                std::size_t index) {
        const std::optional<std::size_t> early = node.EarlyItem();
        std::shared_ptr<MailboxItem> item = early ? std::move(earlyItems_.at(*early)) : ReadItemMembers(node, where);
        if (!item->members.contains("EntryID")) {
            item->members.emplace("EntryID", GeneratedId("EntryID:" + folderPlace + "/I" + std::to_string(index)));
        }
        return item;
    }

    // All of an item that does not depend on its place in the file.
    std::shared_ptr<MailboxItem> ReadItemMembers(const Node& node, const Where& where) const {
        RequireObject(node, where);
        auto item = std::make_shared<MailboxItem>();
        item->typeName = TextValue(RequiredKey(node, where, "type"), where, "type");
        if (item->typeName.empty()) {
            Fail(where, "type", "must not be empty");
        }
        ReadMembers(node, where, item->typeName, {"type", "Recurrence"}, item->members);
        if (auto entryId = item->members.find("EntryID"); entryId != item->members.end()) {
            CheckEntryId(std::get<std::string>(entryId->second), where, "EntryID");
        }
        if (const std::optional<Node> recurrence = node.Find("Recurrence")) {
            if (item->typeName != "AppointmentItem") {
                Fail(where, "Recurrence", "only an AppointmentItem can recur");
            }
            item->recurrence = ReadRecurrence(*recurrence, Where{&where, "Recurrence", 0, &*recurrence},
                                              AppointmentSpan(*item, where));
        }
        return item;
    }

    // Every key of the object but the reserved ones is a member of the item type.
    void ReadMembers(const Node& node, const Where& where, const std::string& typeName,
                     std::initializer_list<std::string_view> reserved, Members& members) const {
        const ItemSchema& schema = SchemaFor(typeName);
        members.reserve(node.Size());
        node.ForEachMember([&](std::string_view key, const Node& value) {
            if (std::find(reserved.begin(), reserved.end(), key) != reserved.end()) {
                return;
            }
            const auto* member = schema.Find(key);
            if (member == nullptr) {
                Fail(where, key, "is not a member of " + typeName);
            }
            if (!members.EmplaceLasting(member->first, MemberValueOf(value, member->second, where, key))) {
                throw RepeatedKey{};
            }
        });
    }

    MemberValue MemberValueOf(const Node& value, MemberKind kind, const Where& where, std::string_view key) const {
        switch (kind) {
            case MemberKind::kText:
                return std::string(TextValue(value, where, key));
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

    Span AppointmentSpan(const MailboxItem& item, const Where& where) const {
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

    RecurrencePattern ReadRecurrence(const Node& node, const Where& where, const Span& span) const {
        RequireObject(node, where);
        CheckKeys(node, where,
                  {"RecurrenceType", "Interval", "DayOfWeekMask", "DayOfMonth", "Instance", "MonthOfYear",
                   "PatternStartDate", "PatternEndDate", "Occurrences", "NoEndDate", "Exceptions"});
        RecurrencePattern pattern;
        const RecurrenceRule& rule = ReadRule(RequiredKey(node, where, "RecurrenceType"), where);
        pattern.type = rule.type;
        if (const std::optional<Node> found = node.Find("Interval")) {
            pattern.interval = NumberInRange(*found, where, "Interval", 1, kMaximumInterval);
        }
        pattern.dayOfWeekMask = PatternField(node, where, rule, "DayOfWeekMask", rule.usesDayOfWeekMask, 1, 127);
        pattern.dayOfMonth = PatternField(node, where, rule, "DayOfMonth", rule.usesDayOfMonth, 1, 31);
        pattern.instance = PatternField(node, where, rule, "Instance", rule.usesInstance, 1, 5);
        pattern.monthOfYear = PatternField(node, where, rule, "MonthOfYear", rule.usesMonthOfYear, 1, 12);
        const std::optional<Node> startDate = node.Find("PatternStartDate");
        pattern.patternStartDate = startDate ? DayValue(*startDate, where, "PatternStartDate") : span.start.DateOnly();
        ReadPatternEnd(node, where, pattern);
        if (const std::optional<Node> exceptions = ArrayMember(node, where, "Exceptions", Required::kNo)) {
            exceptions->ForEachElement([&](std::size_t index, const Node& exception) {
                const Where exceptionWhere{&where, "exception", index + 1, &exception};
                pattern.exceptions.push_back(ReadException(exception, exceptionWhere, pattern, span));
            });
        }
        return pattern;
    }

    const RecurrenceRule& ReadRule(const Node& value, const Where& where) const {
        const std::int32_t number = NumberValue(value, where, "RecurrenceType");
        for (const RecurrenceRule& rule : kRecurrenceRules) {
            if (static_cast<std::int32_t>(rule.type) == number) {
                return rule;
            }
        }
        Fail(where, "RecurrenceType", std::to_string(number) + " is not one of 0, 1, 2, 3, 5 and 6");
    }

    // A field the type needs must be there and in range; one it does not use must be absent.
    int PatternField(const Node& node, const Where& where, const RecurrenceRule& rule, std::string_view key, bool used,
                     int lowest, int highest) const {
        const std::optional<Node> found = node.Find(key);
        if (!found) {
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

    void ReadPatternEnd(const Node& node, const Where& where, RecurrencePattern& pattern) const {
        const std::optional<Node> endDate = node.Find("PatternEndDate");
        const std::optional<Node> occurrences = node.Find("Occurrences");
        const std::optional<Node> noEndDate = node.Find("NoEndDate");
        const int given = endDate.has_value() + occurrences.has_value() + noEndDate.has_value();
        if (given != 1) {
            Fail(where, "", "it must have exactly one of PatternEndDate, Occurrences and NoEndDate");
        }
        if (endDate) {
            pattern.end = RecurrenceEnd::kByDate;
            pattern.patternEndDate = DayValue(*endDate, where, "PatternEndDate");
            if (pattern.patternEndDate < pattern.patternStartDate) {
                Fail(where, "PatternEndDate", "is before the pattern's start " + pattern.patternStartDate.ToText());
            }
        } else if (occurrences) {
            pattern.end = RecurrenceEnd::kAfterOccurrences;
            pattern.occurrences = NumberInRange(*occurrences, where, "Occurrences", 1, std::numeric_limits<int>::max());
        } else {
            if (!FlagValue(*noEndDate, where, "NoEndDate")) {
                Fail(where, "NoEndDate", "must be true; leave it out for a series that ends");
            }
            pattern.end = RecurrenceEnd::kNever;
        }
    }

    RecurrenceException ReadException(const Node& node, const Where& where, const RecurrencePattern& pattern,
                                      const Span& span) const {
        RequireObject(node, where);
        RecurrenceException exception;
        exception.originalDate = DateValue(RequiredKey(node, where, "OriginalDate"), where, "OriginalDate");
        CheckOriginalDate(exception.originalDate, where, pattern, span);
        for (const RecurrenceException& earlier : pattern.exceptions) {
            if (earlier.originalDate == exception.originalDate) {
                Fail(where, "OriginalDate", "another exception already has " + exception.originalDate.ToText());
            }
        }
        if (const std::optional<Node> deleted = node.Find("Deleted")) {
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
    void CheckOriginalDate(const StoreDate& original, const Where& where, const RecurrencePattern& pattern,
                           const Span& span) const {
        if (original.SecondsOfDay() != span.start.SecondsOfDay()) {
            Fail(where, "OriginalDate",
                 original.ToText() + " is not at the series' time of day " + span.start.ToText().substr(11));
        }
        const StoreDate day = original.DateOnly();
        if (day < pattern.patternStartDate || (pattern.end == RecurrenceEnd::kByDate && pattern.patternEndDate < day)) {
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

// The fast reading. Nothing when simdjson cannot parse the text or the reader finds any fault or a
// repeated key: the full parser then reads the file again and names what is wrong. The text needs
// room for simdjson's padding after its end, else the parser copies it; it is released as soon as
// it is parsed, since the parsed document holds its own copy of every string.
std::shared_ptr<const Mailbox> ReadQuickly(std::string text, const std::string& sourceName) {
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    const bool parsed = parser.parse(text).get(root) == simdjson::SUCCESS;
    std::string().swap(text);
    if (!parsed) {
        return nullptr;
    }
    try {
        return MailboxReader<SimdNode>(sourceName).ReadTree(SimdNode(root));
    } catch (const Failure&) {
        return nullptr;
    } catch (const RepeatedKey&) {
        return nullptr;
    }
}

// The reading whose faults are reported, with nlohmann's parser.
std::shared_ptr<const Mailbox> ReadReportingFaults(std::string_view text, const std::string& sourceName) {
    MailboxReader<JsonNode> reader(sourceName);
    Json root;
    DocumentBuilder builder(root, [&reader](Json& item) {
        if (const std::optional<std::size_t> index = reader.ReadItemEarly(JsonNode(item))) {
            item = Json::binary({}, *index);
        }
    });
    if (!Json::sax_parse(text, &builder)) {
        throw Failure(kStoreCannotOpen,
                      "The mailbox file " + Quoted(sourceName) + " is not JSON: " + builder.ErrorMessage() + ".");
    }
    return reader.ReadTree(JsonNode(root));
}

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
    // The size is only a hint for the first allocation: the file may change while it is read.
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    std::string content;
    content.reserve((error ? 0 : size) + simdjson::SIMDJSON_PADDING);
    std::array<char, 64 * 1024> buffer;
    while (file.read(buffer.data(), buffer.size()) || file.gcount() > 0) {
        content.append(buffer.data(), static_cast<std::size_t>(file.gcount()));
    }
    if (file.bad()) {
        throw Failure(kStoreCannotOpen, cannotRead + "reading failed.");
    }
    return content;
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
    std::string padded;
    padded.reserve(text.size() + simdjson::SIMDJSON_PADDING);
    padded.assign(text);
    if (auto mailbox = ReadQuickly(std::move(padded), sourceName)) {
        return mailbox;
    }
    return ReadReportingFaults(text, sourceName);
}

std::shared_ptr<const Mailbox> LoadMailboxFile(const std::string& path) {
    if (auto mailbox = ReadQuickly(ReadWholeFile(path), path)) {
        return mailbox;
    }
    // Read again rather than kept while the fast reading builds the mailbox: a file that is not
    // valid is rare, a large one common.
    return ReadReportingFaults(ReadWholeFile(path), path);
}

}  // namespace kalendro::mailbox
