// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text/html_text.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "platform/text/ascii.h"
#include "platform/text/utf8.h"

namespace kalendro {

namespace {

struct Entity {
    std::string_view name;
    char32_t character;
};

constexpr Entity kEntities[] = {
    {"amp", U'&'},         {"lt", U'<'},         {"gt", U'>'},         {"quot", U'"'},       {"apos", U'\''},
    {"nbsp", U' '},        {"copy", U'\u00A9'},  {"reg", U'\u00AE'},   {"trade", U'\u2122'}, {"hellip", U'\u2026'},
    {"mdash", U'\u2014'},  {"ndash", U'\u2013'}, {"lsquo", U'\u2018'}, {"rsquo", U'\u2019'}, {"ldquo", U'\u201C'},
    {"rdquo", U'\u201D'},  {"bull", U'\u2022'},  {"euro", U'\u20AC'},  {"laquo", U'\u00AB'}, {"raquo", U'\u00BB'},
    {"middot", U'\u00B7'}, {"deg", U'\u00B0'},   {"times", U'\u00D7'},
};

constexpr std::string_view kBlockTags[] = {"p",  "div", "tr", "li", "h1",    "h2",         "h3",  "h4",
                                           "h5", "h6",  "ul", "ol", "table", "blockquote", "pre", "hr"};
constexpr std::string_view kInvisibleTags[] = {"head", "style", "script", "title"};

std::string Lowercase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

bool IsHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

class HtmlTextWriter {
public:
    explicit HtmlTextWriter(std::string_view html) : html_(html), lower_(Lowercase(html)) {}

    std::string Text() {
        while (position_ < html_.size()) {
            const char c = html_[position_];
            if (c == '<' && StartsTag()) {
                Tag();
            } else if (c == '&') {
                EntityReference();
            } else {
                ++position_;
                Character(c);
            }
        }
        TrimTrailingBlanks();
        return std::move(out_);
    }

private:
    void Character(char c) {
        if (IsHtmlSpace(c)) {
            pendingSpace_ = !out_.empty() && !EndsWithLineBreak();
            return;
        }
        Visible(std::string_view(&c, 1));
    }
    void Visible(std::string_view text) {
        if (std::exchange(pendingSpace_, false)) {
            out_ += ' ';
        }
        out_ += text;
    }
    bool EndsWithLineBreak() const { return out_.size() >= 2 && out_.compare(out_.size() - 2, 2, "\r\n") == 0; }
    void TrimTrailingBlanks() {
        while (!out_.empty() && out_.back() == ' ') {
            out_.pop_back();
        }
    }
    void LineBreak() {
        pendingSpace_ = false;
        TrimTrailingBlanks();
        out_ += "\r\n";
    }

    // As browsers read it, "<" starts a tag only before a letter, "/" or "!": "a < b" is text.
    bool StartsTag() const {
        if (position_ + 1 >= html_.size()) {
            return false;
        }
        const char next = html_[position_ + 1];
        return IsAsciiLetter(next) || next == '/' || next == '!';
    }

    std::size_t TagEnd(std::size_t from) const {
        char quote = 0;
        for (std::size_t index = from; index < html_.size(); ++index) {
            const char c = html_[index];
            if (quote != 0) {
                quote = c == quote ? 0 : quote;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                return index;
            }
        }
        return html_.size();
    }

    void Tag() {
        if (lower_.compare(position_, 4, "<!--") == 0) {
            const std::size_t end = html_.find("-->", position_ + 4);
            position_ = end == std::string_view::npos ? html_.size() : end + 3;
            return;
        }
        const std::size_t end = TagEnd(position_ + 1);
        const std::string_view inside = std::string_view(lower_).substr(position_ + 1, end - position_ - 1);
        position_ = std::min(end + 1, html_.size());
        const bool closing = !inside.empty() && inside[0] == '/';
        const std::string_view rest = inside.substr(closing ? 1 : 0);
        const std::string_view name = rest.substr(0, std::min(rest.find_first_of(" \t\r\n/"), rest.size()));
        if (!closing && std::ranges::find(kInvisibleTags, name) != std::end(kInvisibleTags)) {
            SkipPast("</" + std::string(name));
        } else if (name == "br" || (std::ranges::find(kBlockTags, name) != std::end(kBlockTags) && !out_.empty() &&
                                    !EndsWithLineBreak())) {
            LineBreak();
        }
    }

    void SkipPast(const std::string& closingTag) {
        const std::size_t found = lower_.find(closingTag, position_);
        position_ = found == std::string::npos ? html_.size() : std::min(TagEnd(found) + 1, html_.size());
    }

    void EntityReference() {
        const std::size_t end = html_.find(';', position_);
        constexpr std::size_t kLongestEntity = 10;
        if (end == std::string_view::npos || end - position_ > kLongestEntity) {
            ++position_;
            Visible("&");
            return;
        }
        const std::string_view name = html_.substr(position_ + 1, end - position_ - 1);
        const std::optional<char32_t> character = EntityCharacter(name);
        if (!character) {
            ++position_;
            Visible("&");
            return;
        }
        position_ = end + 1;
        std::string utf8;
        AppendUtf8(*character, utf8);
        Visible(utf8);
    }

    static std::optional<char32_t> EntityCharacter(std::string_view name) {
        if (name.size() >= 2 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            char32_t value = 0;
            for (const char digit : digits) {
                const std::optional<int> number =
                    hex ? HexDigitValue(digit) : (IsAsciiDigit(digit) ? std::optional<int>(digit - '0') : std::nullopt);
                if (!number || value > 0x10FFFF) {
                    return std::nullopt;
                }
                value = value * (hex ? 16 : 10) + static_cast<char32_t>(*number);
            }
            return digits.empty() ? std::nullopt : std::optional<char32_t>(value);
        }
        const auto entity = std::find_if(std::begin(kEntities), std::end(kEntities),
                                         [&](const Entity& candidate) { return candidate.name == name; });
        return entity == std::end(kEntities) ? std::nullopt : std::optional<char32_t>(entity->character);
    }

    std::string_view html_;
    std::string lower_;
    std::size_t position_ = 0;
    bool pendingSpace_ = false;
    std::string out_;
};

}  // namespace

std::string HtmlToText(std::string_view html) { return HtmlTextWriter(html).Text(); }

}  // namespace kalendro
