#include "platform/mailbox/item_split.h"

#include "platform/mailbox/mailbox_reader.h"

namespace kalendro::mailbox {

namespace {

namespace ondemand = simdjson::ondemand;

// Walks the stores, folders and items with simdjson's forward-only reader, noting where each item
// lies. Every other member is skipped unread: the reading of the skeleton checks it.
class ItemWalk {
public:
    explicit ItemWalk(std::vector<std::string_view>& items) : items_(items) {}

    bool Root(ondemand::object root) {
        return EachField(root, [&](std::string_view key, ondemand::value value) {
            return key != "stores" || EachObject(value, [&](ondemand::object store) { return Folder(store, 0); });
        });
    }

private:
    // A store is walked as a folder at depth 0: only its "folders" matter here.
    bool Folder(ondemand::object folder, int depth) {
        return EachField(folder, [&](std::string_view key, ondemand::value value) {
            if (key == "items") {
                return Items(value);
            }
            if (key != "folders") {
                return true;
            }
            // Folders deeper than the reader allows are refused by it; the walk need not go there.
            return EachObject(
                value, [&](ondemand::object child) { return depth < kMaximumFolderDepth && Folder(child, depth + 1); });
        });
    }

    bool Items(ondemand::value value) {
        return EachObject(value, [&](ondemand::object item) {
            std::string_view text;
            if (item.raw_json().get(text) != simdjson::SUCCESS) {
                return false;
            }
            // The raw text runs on to the next structural character; the item ends at its brace.
            text = text.substr(0, text.find_last_not_of(" \t\r\n") + 1);
            items_.push_back(text);
            return true;
        });
    }

    template <typename Visit>
    static bool EachField(ondemand::object object, Visit&& visit) {
        for (auto field : object) {
            std::string_view key;
            ondemand::value value;
            if (field.unescaped_key().get(key) != simdjson::SUCCESS || field.value().get(value) != simdjson::SUCCESS ||
                !visit(key, value)) {
                return false;
            }
        }
        return true;
    }

    // Every element must be an object: whatever else stands there is refused by the reader.
    template <typename Visit>
    static bool EachObject(ondemand::value value, Visit&& visit) {
        ondemand::array array;
        if (value.get_array().get(array) != simdjson::SUCCESS) {
            return false;
        }
        for (auto element : array) {
            ondemand::object object;
            if (element.get_object().get(object) != simdjson::SUCCESS || !visit(object)) {
                return false;
            }
        }
        return true;
    }

    std::vector<std::string_view>& items_;
};

// The text with each item replaced by its index; false when the items do not follow each other.
bool BuildSkeleton(std::string_view text, const std::vector<std::string_view>& items, std::string& skeleton) {
    std::size_t at = 0;
    for (std::size_t index = 0; index < items.size(); ++index) {
        const std::size_t begin = static_cast<std::size_t>(items[index].data() - text.data());
        if (begin < at || begin + items[index].size() > text.size()) {
            return false;
        }
        skeleton.append(text.substr(at, begin - at));
        skeleton += std::to_string(index);
        at = begin + items[index].size();
    }
    skeleton.append(text.substr(at));
    skeleton.reserve(skeleton.size() + simdjson::SIMDJSON_PADDING);
    return true;
}

}  // namespace

bool SplitItems(simdjson::padded_string_view text, SplitMailbox& split) {
    ondemand::parser parser;
    ondemand::document document;
    ondemand::object root;
    return parser.iterate(text).get(document) == simdjson::SUCCESS &&
           document.get_object().get(root) == simdjson::SUCCESS && ItemWalk(split.items).Root(root) &&
           BuildSkeleton(text, split.items, split.skeleton);
}

}  // namespace kalendro::mailbox
