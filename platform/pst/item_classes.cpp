// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/item_classes.h"

#include <algorithm>

#include "platform/pst/property_reading.h"
#include "platform/pst/property_tags.h"

namespace kalendro::pst {

namespace {

struct ClassType {
    std::string_view messageClass;
    std::string_view typeName;
};

// Longer classes first where one is a part of another.
constexpr ClassType kClassTypes[] = {
    {"IPM.Appointment", "AppointmentItem"},
    {"IPM.OLE.CLASS.{00061055-0000-0000-C000-000000000046}", "AppointmentItem"},  // an exception of a series
    {"IPM.Contact", "ContactItem"},
    {"IPM.DistList", "DistListItem"},
    {"IPM.Note", "MailItem"},
    {"IPM.Schedule.Meeting", "MeetingItem"},
    {"IPM.TaskRequest.Accept", "TaskRequestAcceptItem"},
    {"IPM.TaskRequest.Decline", "TaskRequestDeclineItem"},
    {"IPM.TaskRequest.Update", "TaskRequestUpdateItem"},
    {"IPM.TaskRequest", "TaskRequestItem"},
    {"IPM.Task", "TaskItem"},
    {"IPM.StickyNote", "NoteItem"},
    {"IPM.Activity", "JournalItem"},
    {"IPM.Post", "PostItem"},
    {"IPM.Document", "DocumentItem"},
    {"IPM.Sharing", "SharingItem"},
    {"IPM.Remote", "RemoteItem"},
    {"REPORT", "ReportItem"},
};

struct ContainerType {
    std::string_view containerClass;
    std::int32_t itemType;
};

constexpr ContainerType kContainerTypes[] = {
    {"IPF.Appointment", 1}, {"IPF.Contact", 2}, {"IPF.Task", 3}, {"IPF.Journal", 4}, {"IPF.StickyNote", 5},
};

// "IPM.Note" covers "IPM.Note" and "IPM.Note.Anything", not "IPM.Notebook".
bool IsClassOrSubclass(std::string_view candidate, std::string_view base) {
    return candidate.size() >= base.size() && EqualIgnoringCase(candidate.substr(0, base.size()), base) &&
           (candidate.size() == base.size() || candidate[base.size()] == '.');
}

}  // namespace

bool EqualIgnoringCase(std::string_view left, std::string_view right) {
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(a) == lower(b);
           });
}

std::string ItemTypeNameOfClass(std::string_view messageClass) {
    for (const ClassType& entry : kClassTypes) {
        if (IsClassOrSubclass(messageClass, entry.messageClass)) {
            return std::string(entry.typeName);
        }
    }
    return "MailItem";
}

std::string ItemTypeName(const PropertyBag& message) {
    CodePageDecoder ascii;  // class names are ASCII in every code page
    return ItemTypeNameOfClass(TextOf(message, kMessageClass, ascii));
}

std::int32_t DefaultItemTypeOfContainerClass(std::string_view containerClass) {
    for (const ContainerType& entry : kContainerTypes) {
        if (IsClassOrSubclass(containerClass, entry.containerClass)) {
            return entry.itemType;
        }
    }
    return 0;
}

std::int32_t DefaultItemType(const PropertyBag& folder) {
    CodePageDecoder ascii;
    return DefaultItemTypeOfContainerClass(TextOf(folder, kContainerClass, ascii));
}

}  // namespace kalendro::pst
