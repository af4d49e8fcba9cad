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

Members::const_iterator Members::find(std::string_view name) const {
    // A name given in the schema's spelling is the very text the member holds.
    return std::find_if(members_.begin(), members_.end(), [name](const value_type& member) {
        return member.first.size() == name.size() && (member.first.data() == name.data() || member.first == name);
    });
}

const MemberValue& Members::at(std::string_view name) const {
    const const_iterator found = find(name);
    if (found == end()) {
        throw std::out_of_range("no member \"" + std::string(name) + "\"");
    }
    return found->second;
}

bool Members::emplace(std::string_view name, MemberValue value) {
    // Every name held is in the one lasting spelling, so the same name is the same text.
    const std::string_view lasting = LastingName(name);
    if (std::any_of(members_.begin(), members_.end(),
                    [lasting](const value_type& member) { return member.first.data() == lasting.data(); })) {
        return false;
    }
    members_.emplace_back(lasting, std::move(value));
    return true;
}

MemberValue& Members::operator[](std::string_view name) {
    const const_iterator found = find(name);
    if (found != end()) {
        return members_[static_cast<std::size_t>(found - begin())].second;
    }
    return members_.emplace_back(LastingName(name), MemberValue{}).second;
}

}  // namespace kalendro::mailbox
