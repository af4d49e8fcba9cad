// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memory_store/filter.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <compare>
#include <vector>

#include "platform/store/failure.h"
#include "platform/text/quoted_input.h"

namespace kalendro::memory_store {

namespace {

enum class Comparison { kEqual, kNotEqual, kLess, kLessOrEqual, kGreater, kGreaterOrEqual };

struct Condition {
    MemberId member = MemberId::kSubject;
    Comparison comparison = Comparison::kEqual;
    MemberKind kind = MemberKind::kText;
    MemberValue value;
};

// Longer operators first, so that "<=" is not read as "<" followed by "=".
constexpr std::array<std::pair<std::string_view, Comparison>, 6> kOperators = {{
    {"<>", Comparison::kNotEqual},
    {"<=", Comparison::kLessOrEqual},
    {">=", Comparison::kGreaterOrEqual},
    {"<", Comparison::kLess},
    {">", Comparison::kGreater},
    {"=", Comparison::kEqual},
}};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char Folded(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Folded(x) == Folded(y); });
}

// "H:mm" or "HH:mm" with the regional time separator.
bool ReadTimeOfDay(std::string_view text, std::string_view separator, StoreDate& date) {
    const auto at = text.find(separator);
    if (separator.empty() || at == std::string_view::npos || at == 0 || at > 2) {
        return false;
    }
    const std::string_view hours = text.substr(0, at);
    const std::string_view minutes = text.substr(at + separator.size());
    if (minutes.size() != 2) {
        return false;
    }
    int hour = 0;
    int minute = 0;
    const auto readsWhole = [](std::string_view digits, int& value) {
        const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return result.ec == std::errc() && result.ptr == digits.data() + digits.size() &&
               std::isdigit(static_cast<unsigned char>(digits.front()));
    };
    if (!readsWhole(hours, hour) || !readsWhole(minutes, minute) || hour > 23 || minute > 59) {
        return false;
    }
    date.hour = hour;
    date.minute = minute;
    return true;
}

// A short date alone (midnight), or a short date, a blank and the time of day. The date part may hold
// blanks of its own, so the time is looked for after the last blank.
std::optional<StoreDate> ReadDateValue(std::string_view text, const RegionalSettings& regional) {
    text = Trim(text);
    if (auto date = regional.ParseShortDate(text)) {
        return date;
    }
    const auto blank = text.find_last_of(" \t");
    if (blank == std::string_view::npos) {
        return std::nullopt;
    }
    std::optional<StoreDate> date = regional.ParseShortDate(Trim(text.substr(0, blank)));
    if (!date || !ReadTimeOfDay(text.substr(blank + 1), regional.timeSeparator, *date)) {
        return std::nullopt;
    }
    return date;
}

std::optional<MemberValue> ReadValue(std::string_view text, MemberKind kind, const RegionalSettings& regional) {
    switch (kind) {
        case MemberKind::kText:
            return MemberValue{std::string(text)};
        case MemberKind::kDate:
            if (auto date = ReadDateValue(text, regional)) {
                return MemberValue{*date};
            }
            return std::nullopt;
        case MemberKind::kNumber: {
            const std::string_view digits = Trim(text);
            std::int32_t number = 0;
            const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), number);
            if (digits.empty() || result.ec != std::errc() || result.ptr != digits.data() + digits.size()) {
                return std::nullopt;
            }
            return MemberValue{number};
        }
        case MemberKind::kFlag:
            if (EqualsIgnoringCase(Trim(text), "True")) {
                return MemberValue{true};
            }
            if (EqualsIgnoringCase(Trim(text), "False")) {
                return MemberValue{false};
            }
            return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

struct Filter::Node {
    enum class Join { kNone, kAnd, kOr };
    Join join = Join::kNone;
    Condition condition;         // when join is kNone
    std::vector<Node> operands;  // otherwise
};

namespace {

using Node = Filter::Node;

// How deep parentheses may nest: far past any filter written by hand, and a bound on the recursion of
// the parser and of every walk over the parsed filter.
constexpr int kMaximumNesting = 100;

// Recursive descent over: filter = conjunction {Or conjunction}; conjunction = operand {And operand};
// operand = "(" filter ")" | "[" member "]" operator "'" value "'".
class FilterParser {
public:
    FilterParser(std::string_view text, const RegionalSettings& regional) : text_(text), regional_(regional) {}

    Node ParseWhole() {
        Node root = ParseJoined(Node::Join::kOr);
        SkipBlanks();
        if (at_ != text_.size()) {
            FailAt(at_);
        }
        return root;
    }

private:
    Node ParseJoined(Node::Join join) {
        Node first = join == Node::Join::kOr ? ParseJoined(Node::Join::kAnd) : ParseOperand();
        const std::string_view keyword = join == Node::Join::kOr ? "Or" : "And";
        if (!TakeKeyword(keyword)) {
            return first;
        }
        Node joined{join, {}, {}};
        joined.operands.push_back(std::move(first));
        do {
            joined.operands.push_back(join == Node::Join::kOr ? ParseJoined(Node::Join::kAnd) : ParseOperand());
        } while (TakeKeyword(keyword));
        return joined;
    }

    Node ParseOperand() {
        SkipBlanks();
        const std::size_t operandStart = at_;
        if (at_ < text_.size()) {
            lastPartStart_ = at_;
        }
        if (Take('(')) {
            if (++nesting_ > kMaximumNesting) {
                Fail(operandStart, text_.size());
            }
            Node inner = ParseJoined(Node::Join::kOr);
            SkipBlanks();
            if (!Take(')')) {
                Fail(operandStart, text_.size());
            }
            --nesting_;
            return inner;
        }
        return Node{Node::Join::kNone, ParseCondition(), {}};
    }

    Condition ParseCondition() {
        Condition condition;
        const std::size_t memberStart = at_;
        if (!Take('[')) {
            FailAt(at_);
        }
        const std::size_t close = text_.find(']', at_);
        if (close == std::string_view::npos) {
            FailAt(memberStart);
        }
        const std::string_view member = text_.substr(at_, close - at_);
        at_ = close + 1;
        const std::optional<MemberId> id = FindMemberId(member);
        if (!id) {
            Fail(memberStart, at_);
        }
        condition.member = *id;
        condition.kind = KindOf(*id);

        SkipBlanks();
        const auto op = std::find_if(kOperators.begin(), kOperators.end(),
                                     [&](const auto& entry) { return text_.substr(at_).starts_with(entry.first); });
        if (op == kOperators.end()) {
            FailAt(at_);
        }
        condition.comparison = op->second;
        at_ += op->first.size();

        SkipBlanks();
        const std::size_t valueStart = at_;
        const std::string value = TakeQuoted();
        std::optional<MemberValue> read = ReadValue(value, condition.kind, regional_);
        if (!read) {
            Fail(valueStart, at_);
        }
        condition.value = std::move(*read);
        return condition;
    }

    // A value in single quotes, a doubled quote standing for one.
    std::string TakeQuoted() {
        const std::size_t valueStart = at_;
        if (!Take('\'')) {
            FailAt(at_);
        }
        std::string value;
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c != '\'') {
                value += c;
            } else if (Take('\'')) {
                value += '\'';
            } else {
                return value;
            }
        }
        FailAt(valueStart);
    }

    // The keyword in any case, standing as a word of its own.
    bool TakeKeyword(std::string_view keyword) {
        SkipBlanks();
        const std::string_view rest = text_.substr(at_);
        if (!EqualsIgnoringCase(rest.substr(0, keyword.size()), keyword)) {
            return false;
        }
        if (rest.size() > keyword.size() &&
            (std::isalnum(static_cast<unsigned char>(rest[keyword.size()])) || rest[keyword.size()] == '_')) {
            return false;
        }
        lastPartStart_ = at_;
        at_ += keyword.size();
        return true;
    }

    bool Take(char c) {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    void SkipBlanks() {
        while (at_ < text_.size() && IsBlank(text_[at_])) {
            ++at_;
        }
    }

    // The rest of the filter from there; at its end, the last keyword or operand, left unfinished.
    [[noreturn]] void FailAt(std::size_t from) const {
        Fail(Trim(text_.substr(from)).empty() ? lastPartStart_ : from, text_.size());
    }

    [[noreturn]] void Fail(std::size_t from, std::size_t to) const {
        const std::string_view bad = Trim(text_.substr(from, to - from));
        throw Failure(kStoreOperationFailed, "Cannot parse condition. Error at " + QuotedInput(bad) + ".");
    }

    std::string_view text_;
    const RegionalSettings& regional_;
    std::size_t at_ = 0;
    std::size_t lastPartStart_ = 0;
    int nesting_ = 0;
};

template <typename T>
std::strong_ordering CompareValues(const T& actual, const T& wanted) {
    return actual <=> wanted;
}

std::strong_ordering CompareValues(std::string_view actual, std::string_view wanted) {
    return std::lexicographical_compare_three_way(actual.begin(), actual.end(), wanted.begin(), wanted.end(),
                                                  [](char a, char b) { return Folded(a) <=> Folded(b); });
}

bool Holds(Comparison comparison, std::strong_ordering order) {
    switch (comparison) {
        case Comparison::kEqual:
            return order == 0;
        case Comparison::kNotEqual:
            return order != 0;
        case Comparison::kLess:
            return order < 0;
        case Comparison::kLessOrEqual:
            return order <= 0;
        case Comparison::kGreater:
            return order > 0;
        case Comparison::kGreaterOrEqual:
            return order >= 0;
    }
    return false;
}

bool Meets(const Condition& condition, const CollectionEntry& entry) {
    if (!TypeHasMember(entry.item->type, condition.member)) {
        return false;
    }
    const std::optional<MemberView> actual = FindMember(entry, condition.member);
    return std::visit(
        [&](const auto& wanted) {
            using Value = std::decay_t<decltype(wanted)>;
            return Holds(condition.comparison, CompareValues(actual ? std::get<Value>(*actual) : Value{}, wanted));
        },
        ViewOf(condition.value));
}

bool NodeMatches(const Node& node, const CollectionEntry& entry) {
    const auto matches = [&](const Node& operand) { return NodeMatches(operand, entry); };
    switch (node.join) {
        case Node::Join::kAnd:
            return std::all_of(node.operands.begin(), node.operands.end(), matches);
        case Node::Join::kOr:
            return std::any_of(node.operands.begin(), node.operands.end(), matches);
        case Node::Join::kNone:
            break;
    }
    return Meets(node.condition, entry);
}

StoreDate Shifted(const StoreDate& date, std::int64_t seconds) {
    return StoreDate::FromSerialSeconds(date.SerialSeconds() - seconds);
}

// Start bounds of one condition: on Start directly; on End through End minus Start, which lies within
// the durations, and not at all without them (any End).
StartWindow ConditionBounds(const Condition& condition, const DurationSpan* durations) {
    const StoreDate* value = std::get_if<StoreDate>(&condition.value);
    const bool onStart = condition.member == MemberId::kStart;
    if (value == nullptr || (!onStart && (condition.member != MemberId::kEnd || durations == nullptr))) {
        return {};
    }
    const StoreDate lowest = onStart ? *value : Shifted(*value, durations->longestSeconds);
    const StoreDate highest = onStart ? *value : Shifted(*value, durations->shortestSeconds);
    switch (condition.comparison) {
        case Comparison::kGreater:
        case Comparison::kGreaterOrEqual:
            return {lowest, std::nullopt};
        case Comparison::kLess:
        case Comparison::kLessOrEqual:
            return {std::nullopt, highest};
        case Comparison::kEqual:
            return {lowest, highest};
        case Comparison::kNotEqual:
            return {};
    }
    return {};
}

// Both bounds must hold (And): the tighter of each side.
StartWindow Intersection(const StartWindow& a, const StartWindow& b) {
    const auto tighter = [](const auto& x, const auto& y, auto pick) {
        return x && y ? std::optional<StoreDate>(pick(*x, *y)) : (x ? x : y);
    };
    return {tighter(a.from, b.from, [](auto p, auto q) { return std::max(p, q); }),
            tighter(a.to, b.to, [](auto p, auto q) { return std::min(p, q); })};
}

// Either may hold (Or): the looser of each side, open when either is open.
StartWindow Hull(const StartWindow& a, const StartWindow& b) {
    const auto looser = [](const auto& x, const auto& y, auto pick) {
        return x && y ? std::optional<StoreDate>(pick(*x, *y)) : std::nullopt;
    };
    return {looser(a.from, b.from, [](auto p, auto q) { return std::min(p, q); }),
            looser(a.to, b.to, [](auto p, auto q) { return std::max(p, q); })};
}

StartWindow NodeBounds(const Node& node, const DurationSpan* durations) {
    if (node.join == Node::Join::kNone) {
        return ConditionBounds(node.condition, durations);
    }
    StartWindow window = NodeBounds(node.operands.front(), durations);
    for (std::size_t i = 1; i < node.operands.size(); ++i) {
        const StartWindow next = NodeBounds(node.operands[i], durations);
        window = node.join == Node::Join::kAnd ? Intersection(window, next) : Hull(window, next);
    }
    return window;
}

}  // namespace

Filter Filter::Parse(std::string_view text, const RegionalSettings& regional) {
    return Filter(std::string(text), std::make_shared<const Node>(FilterParser(text, regional).ParseWhole()));
}

bool Filter::Matches(const CollectionEntry& entry) const { return NodeMatches(*root_, entry); }

StartWindow Filter::StartBounds(const DurationSpan& durations) const { return NodeBounds(*root_, &durations); }

StartWindow Filter::StartBoundsOfAnyEntry() const { return NodeBounds(*root_, nullptr); }

}  // namespace kalendro::memory_store
