#include "platform/mailbox/mailbox_data.h"

#include <algorithm>
#include <stdexcept>

#include "platform/mailbox/mailbox_schema.h"

namespace kalendro::mailbox {

namespace {

// The schemas' own spelling of a name, which lives as long as the program: the members keep views
// of it, never of a text that may go away.
std::string_view LastingName(std::string_view name) {
    const std::string_view known = KnownMemberName(name);
    if (known.empty()) {
        throw std::invalid_argument("\"" + std::string(name) + "\" is the member name of no item type");
    }
    return known;
}

}  // namespace

Members::Members(std::initializer_list<value_type> members) {
    members_.reserve(members.size());
    for (const auto& [name, value] : members) {
        (*this)[name] = value;
    }
}

// Every name held is in its lasting spelling, so the same name is the same text.
Members::const_iterator Members::FindLasting(std::string_view lasting) const {
    return std::find_if(members_.begin(), members_.end(),
                        [lasting](const value_type& member) { return member.first.data() == lasting.data(); });
}

Members::const_iterator Members::find(std::string_view name) const {
    const std::string_view lasting = KnownMemberName(name);
    return lasting.empty() ? end() : FindLasting(lasting);
}

const MemberValue& Members::at(std::string_view name) const {
    const const_iterator found = find(name);
    if (found == end()) {
        throw std::out_of_range("no member \"" + std::string(name) + "\"");
    }
    return found->second;
}

bool Members::emplace(std::string_view name, MemberValue value) {
    return EmplaceLasting(LastingName(name), std::move(value));
}

bool Members::EmplaceLasting(std::string_view lasting, MemberValue value) {
    if (FindLasting(lasting) != end()) {
        return false;
    }
    members_.emplace_back(lasting, std::move(value));
    return true;
}

MemberValue& Members::operator[](std::string_view name) {
    const std::string_view lasting = LastingName(name);
    const const_iterator found = FindLasting(lasting);
    if (found != end()) {
        return members_[static_cast<std::size_t>(found - begin())].second;
    }
    return members_.emplace_back(lasting, MemberValue{}).second;
}

}  // namespace kalendro::mailbox
