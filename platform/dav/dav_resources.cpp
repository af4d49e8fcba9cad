// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dav/dav_resources.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <optional>
#include <unordered_set>

namespace kalendro::dav {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
           });
}

// Calls `take` with each logical line of the text, unfolded, without its line end.
void ForEachUnfoldedLine(std::string_view text, const std::function<void(const std::string&)>& take) {
    std::optional<std::string> line;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view physical = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!physical.empty() && physical.back() == '\r') {
            physical.remove_suffix(1);
        }
        if (line && !physical.empty() && (physical.front() == ' ' || physical.front() == '\t')) {
            line->append(physical.substr(1));
            continue;
        }
        if (line) {
            take(*line);
        }
        line = std::string(physical);
    }
    if (line) {
        take(*line);
    }
}

// The value of a content line NAME[;params]:value, the colon being the first outside quotes.
std::optional<std::string> ValueOf(const std::string& line, std::string_view name) {
    if (!StartsWithNoCase(line, name) || line.size() == name.size() ||
        (line[name.size()] != ':' && line[name.size()] != ';')) {
        return std::nullopt;
    }
    bool quoted = false;
    for (std::size_t at = name.size(); at < line.size(); ++at) {
        if (line[at] == '"') {
            quoted = !quoted;
        } else if (line[at] == ':' && !quoted) {
            return line.substr(at + 1);
        }
    }
    return std::nullopt;
}

// The physical lines of a file written by this program, each with its CR LF.
std::vector<std::string_view> LinesOf(std::string_view file) {
    std::vector<std::string_view> lines;
    while (!file.empty()) {
        const std::size_t end = file.find('\n');
        const std::size_t length = end == std::string_view::npos ? file.size() : end + 1;
        lines.push_back(file.substr(0, length));
        file.remove_prefix(length);
    }
    return lines;
}

bool IsLine(std::string_view physical, std::string_view line) {
    while (!physical.empty() && (physical.back() == '\n' || physical.back() == '\r')) {
        physical.remove_suffix(1);
    }
    return physical.size() == line.size() && StartsWithNoCase(physical, line);
}

// The blocks from a BEGIN:COMPONENT line to its END line, each with what `wrap` makes of it; the lines
// before the first block are handed to `wrap` as the header.
SplitFile SplitBlocks(std::string_view file, std::string_view component, std::string_view extension,
                      const std::function<std::string(const std::string& header, std::string_view block)>& wrap,
                      const std::function<bool(std::string_view headerLine)>& keepInHeader) {
    const std::string begin = "BEGIN:" + std::string(component);
    const std::string end = "END:" + std::string(component);
    SplitFile split;
    std::unordered_set<std::string> uids;
    std::string header;
    const char* blockStart = nullptr;
    bool blocksBegun = false;
    for (const std::string_view line : LinesOf(file)) {
        if (IsLine(line, begin)) {
            blockStart = line.data();
            blocksBegun = true;
        } else if (!blocksBegun && keepInHeader(line)) {
            header += line;
        }
        if (blockStart == nullptr || !IsLine(line, end)) {
            continue;
        }
        const std::string_view block(blockStart, line.data() + line.size() - blockStart);
        blockStart = nullptr;
        std::string uid = PropertyValue(block, "UID");
        if (uid.empty()) {
            ++split.withoutUid;
            continue;
        }
        if (!uids.insert(uid).second) {
            split.repeatedUids.push_back(std::move(uid));
            continue;
        }
        std::string name = PercentEncoded(uid) + std::string(extension);
        split.resources.push_back({std::move(uid), std::move(name), wrap(header, block)});
    }
    return split;
}

// A content line with the bare type parameters of vCard 2.1 (TEL;WORK;VOICE:) in the TYPE= form of
// vCard 3.0 (TEL;TYPE=WORK,VOICE:), other parameters and the value as they are.
std::string WithTypeParameter(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || line.front() == ' ' || line.front() == '\t') {
        return std::string(line);
    }
    std::string head(line.substr(0, std::min(line.find(';'), colon)));
    std::string types;
    std::string others;
    for (std::size_t at = head.size(); at < colon;) {
        const std::size_t next = std::min(line.find(';', at + 1), colon);
        const std::string_view parameter = line.substr(at + 1, next - at - 1);
        (parameter.find('=') == std::string_view::npos ? types : others) += std::string(1, ';') += parameter;
        at = next;
    }
    if (types.empty()) {
        return std::string(line);
    }
    types[0] = '=';
    std::replace(types.begin() + 1, types.end(), ';', ',');
    return head + ";TYPE" + types + others + std::string(line.substr(colon));
}

std::string Timestamp(const std::string& value) {
    std::string timestamp = value.substr(0, 15);
    return timestamp.size() == 8 ? timestamp + "T000000" : timestamp;
}

}  // namespace

SplitFile CalendarResources(std::string_view file) {
    return SplitBlocks(
        file, "VEVENT", ".ics",
        [](const std::string& header, std::string_view block) {
            return header + std::string(block) + "END:VCALENDAR\r\n";
        },
        [](std::string_view line) { return !StartsWithNoCase(line, "METHOD:"); });
}

SplitFile CardResources(std::string_view file) {
    return SplitBlocks(
        file, "VCARD", ".vcf",
        [](const std::string&, std::string_view block) {
            std::string card;
            for (const std::string_view line : LinesOf(block)) {
                card += WithTypeParameter(line);
            }
            return card;
        },
        [](std::string_view) { return false; });
}

std::string PropertyValue(std::string_view text, std::string_view name) {
    std::optional<std::string> found;
    ForEachUnfoldedLine(text, [&](const std::string& line) {
        if (!found) {
            found = ValueOf(line, name);
        }
    });
    return found.value_or(std::string());
}

bool EventLiesInRange(std::string_view calendarText, const DayRange& range) {
    const std::string start = PropertyValue(calendarText, "DTSTART");
    if (start.empty()) {
        return false;
    }
    const std::string end = PropertyValue(calendarText, "DTEND");
    return Timestamp(start) >= range.first + "T000000" &&
           Timestamp(end.empty() ? start : end) <= range.afterLast + "T000000";
}

std::string PercentEncoded(std::string_view text) {
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            encoded += c;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", byte);
            encoded += escape;
        }
    }
    return encoded;
}

std::string PercentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[at + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[at + 2]))) {
            decoded += static_cast<char>(std::stoi(std::string(text.substr(at + 1, 2)), nullptr, 16));
            at += 2;
        } else {
            decoded += text[at];
        }
    }
    return decoded;
}

}  // namespace kalendro::dav
