// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mailbox/fast_reading/item_split.h"

#include <charconv>

#include <simdjson.h>

#include "platform/mailbox/mailbox_reader.h"

namespace kalendro::mailbox {

namespace {

// Walks the stores, folders and items, noting where each item lies, and skips every other value
// by its brackets and strings alone: the reading of the skeleton and of each item checks them. It
// keeps no index of the text's structure, which for a large file would take half its size again.
class ItemWalk {
public:
    ItemWalk(std::string_view text, std::vector<std::string_view>& items) : text_(text), items_(items) {}

    bool Root() {
        return Object(
            [&](std::string_view key) { return KeyIs(key, "stores") ? Array([&] { return Folder(0); }) : Skip(); });
    }

private:
    // A store is walked as a folder at depth 0: only its "folders" and "items" matter here.
    bool Folder(int depth) {
        return Object([&](std::string_view key) {
            if (KeyIs(key, "items")) {
                return Array([&] { return Item(); });
            }
            if (!KeyIs(key, "folders")) {
                return Skip();
            }
            // Folders deeper than the reader allows are refused by it; the walk need not go there.
            return Array([&] { return depth < kMaximumFolderDepth && Folder(depth + 1); });
        });
    }

    bool Item() {
        const std::size_t begin = at_;
        if (Peek() != '{' || !SkipNested()) {
            return false;
        }
        items_.push_back(text_.substr(begin, at_ - begin));
        return true;
    }

    // An object, each key handed to visit, which reads its value.
    template <typename Visit>
    bool Object(Visit&& visit) {
        return Sequence('{', '}', [&] {
            std::string_view key;
            if (!String(key) || !Take(':')) {
                return false;
            }
            SkipBlanks();
            return visit(key);
        });
    }

    template <typename Visit>
    bool Array(Visit&& visit) {
        return Sequence('[', ']', [&] { return visit(); });
    }

    template <typename Element>
    bool Sequence(char open, char close, Element&& element) {
        if (!Take(open)) {
            return false;
        }
        if (Take(close)) {
            return true;
        }
        do {
            SkipBlanks();
            if (!element()) {
                return false;
            }
        } while (Take(','));
        return Take(close);
    }

    // A string's text between its quotes, escapes kept.
    bool String(std::string_view& text) {
        SkipBlanks();
        const std::size_t begin = at_ + 1;
        if (Peek() != '"' || !SkipString()) {
            return false;
        }
        text = text_.substr(begin, at_ - 1 - begin);
        return true;
    }

    // Any value: a string, an object or array with all within it, or a number or literal.
    bool Skip() {
        const char first = Peek();
        if (first == '"') {
            return SkipString();
        }
        if (first == '{' || first == '[') {
            return SkipNested();
        }
        while (at_ < text_.size() && !IsBlank(text_[at_]) && text_[at_] != ',' && text_[at_] != '}' &&
               text_[at_] != ']') {
            ++at_;
        }
        return true;
    }

    // From an opening bracket past the one that closes it; brackets within strings do not count.
    bool SkipNested() {
        std::size_t depth = 0;
        while (at_ < text_.size()) {
            const char c = text_[at_];
            if (c == '"') {
                if (!SkipString()) {
                    return false;
                }
                continue;
            }
            ++at_;
            if (c == '{' || c == '[') {
                ++depth;
            } else if ((c == '}' || c == ']') && --depth == 0) {
                return true;
            }
        }
        return false;
    }

    // From an opening quote past the closing one: the first quote after it not escaped by an odd
    // number of backslashes.
    bool SkipString() {
        std::size_t from = at_ + 1;
        while (true) {
            const std::size_t quote = text_.find('"', from);
            if (quote == std::string_view::npos) {
                return false;
            }
            std::size_t backslashes = 0;
            while (text_[quote - 1 - backslashes] == '\\') {
                ++backslashes;
            }
            from = quote + 1;
            if (backslashes % 2 == 0) {
                at_ = from;
                return true;
            }
        }
    }

    // A key is compared as the reader compares it, with its escapes undone.
    static bool KeyIs(std::string_view key, std::string_view name) {
        if (key.find('\\') == std::string_view::npos) {
            return key == name;
        }
        std::string unescaped;
        for (std::size_t at = 0; at < key.size(); ++at) {
            if (key[at] != '\\' || at + 1 == key.size()) {
                unescaped += key[at];
            } else if (const char escaped = key[++at]; escaped != 'u') {
                // \" \\ \/ stand for themselves; \b, \n and the others for control characters, in no name
                unescaped += escaped == '"' || escaped == '\\' || escaped == '/' ? escaped : '\0';
            } else if (unsigned code = 0;
                       at + 4 < key.size() &&
                       std::from_chars(key.data() + at + 1, key.data() + at + 5, code, 16).ptr == key.data() + at + 5) {
                unescaped += code < 0x80 ? static_cast<char>(code) : '\0';
                at += 4;
            } else {
                return false;
            }
        }
        return unescaped == name;
    }

    static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    void SkipBlanks() {
        while (at_ < text_.size() && IsBlank(text_[at_])) {
            ++at_;
        }
    }
    char Peek() {
        SkipBlanks();
        return at_ < text_.size() ? text_[at_] : '\0';
    }
    bool Take(char c) {
        if (Peek() != c) {
            return false;
        }
        ++at_;
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
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

bool SplitItems(std::string_view text, SplitMailbox& split) {
    return ItemWalk(text, split.items).Root() && BuildSkeleton(text, split.items, split.skeleton);
}

}  // namespace kalendro::mailbox
