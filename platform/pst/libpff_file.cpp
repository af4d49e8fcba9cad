// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/libpff_file.h"

#include <libpff.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <utility>

#include "platform/pst/little_endian.h"
#include "platform/store/failure.h"

namespace kalendro::pst {

namespace {

// Bounds that hold a damaged or hostile file to a finite walk: Outlook nests neither so deep.
constexpr int kMaxFolderDepth = 64;
constexpr int kMaxEmbeddingDepth = 8;
// A value beyond this is a damaged size field, not a property anyone stores.
constexpr std::size_t kMaxValueSize = 64u << 20;

constexpr std::uint32_t kFirstNamedTag = 0x8000;
// Tags and types are 16-bit numbers.
constexpr std::uint32_t kLastTag = 0xFFFF;

// The first cause of a libpff error: its backtrace starts with the deepest call, each line led by
// the function's name.
std::string ErrorCause(libpff_error_t* error) {
    std::array<char, 4096> text{};
    if (error == nullptr || libpff_error_backtrace_sprint(error, text.data(), text.size()) <= 0) {
        return "libpff gave no reason";
    }
    std::string_view cause(text.data());
    cause = cause.substr(0, cause.find('\n'));
    if (const std::size_t colon = cause.find(": ");
        colon != std::string_view::npos && cause.substr(0, colon).find(' ') == std::string_view::npos) {
        cause.remove_prefix(colon + 2);
    }
    if (cause.ends_with('.')) {
        cause.remove_suffix(1);
    }
    return std::string(cause);
}

struct ErrorSlot {
    libpff_error_t* error = nullptr;
    ErrorSlot() = default;
    ErrorSlot(const ErrorSlot&) = delete;
    ErrorSlot& operator=(const ErrorSlot&) = delete;
    ~ErrorSlot() {
        if (error != nullptr) {
            libpff_error_free(&error);
        }
    }
};

// Runs one libpff call that takes an error slot last; its failure, and its "not available" too, is
// raised with what was being done and libpff's reason.
template <typename Call>
void Require(std::string_view what, Call&& call) {
    ErrorSlot slot;
    const int result = call(&slot.error);
    if (result != 1) {
        throw Failure(kStoreOperationFailed,
                      std::string(what) + ": " + (result < 0 ? ErrorCause(slot.error) : "not in the file"));
    }
}

void CheckSize(std::string_view what, std::size_t size) {
    if (size > kMaxValueSize) {
        throw Failure(kStoreOperationFailed, std::string(what) + ": " + std::to_string(size) + " bytes claimed");
    }
}

struct ItemRelease {
    void operator()(libpff_item_t* item) const { libpff_item_free(&item, nullptr); }
};
struct RecordSetRelease {
    void operator()(libpff_record_set_t* set) const { libpff_record_set_free(&set, nullptr); }
};
struct RecordEntryRelease {
    void operator()(libpff_record_entry_t* entry) const { libpff_record_entry_free(&entry, nullptr); }
};
using Item = std::unique_ptr<libpff_item_t, ItemRelease>;
using RecordSet = std::unique_ptr<libpff_record_set_t, RecordSetRelease>;
using RecordEntry = std::unique_ptr<libpff_record_entry_t, RecordEntryRelease>;

// Opens an item through a libpff call that hands one out.
template <typename Call>
Item OpenItem(std::string_view what, Call&& call) {
    libpff_item_t* item = nullptr;
    Require(what, [&](libpff_error_t** error) { return call(&item, error); });
    return Item(item);
}

std::uint32_t NodeId(libpff_item_t* item) {
    std::uint32_t identifier = 0;
    Require("reading an item's node id",
            [&](libpff_error_t** error) { return libpff_item_get_identifier(item, &identifier, error); });
    return identifier;
}

// The entry's bytes as stored, taken whole: libpff's multi-value reader loses the values and its
// string readers fail on an empty value, so neither is used.
std::string ReadData(libpff_record_entry_t* entry) {
    std::size_t size = 0;
    Require("reading a property's size",
            [&](libpff_error_t** error) { return libpff_record_entry_get_data_size(entry, &size, error); });
    CheckSize("reading a property", size);
    std::string data(size, '\0');
    if (size > 0) {
        Require("reading a property's value", [&](libpff_error_t** error) {
            return libpff_record_entry_get_data(entry, reinterpret_cast<std::uint8_t*>(data.data()), size, error);
        });
    }
    return data;
}

// A UTF-8 text libpff hands out in two calls: its size with the closing NUL, then the text.
template <typename SizeCall, typename TextCall>
std::string ReadUtf8(std::string_view what, SizeCall&& sizeCall, TextCall&& textCall) {
    std::size_t size = 0;
    Require(what, [&](libpff_error_t** error) { return sizeCall(&size, error); });
    CheckSize(what, size);
    std::string text(size, '\0');
    if (size > 0) {
        Require(what, [&](libpff_error_t** error) {
            return textCall(reinterpret_cast<std::uint8_t*>(text.data()), size, error);
        });
    }
    text.resize(std::min(text.find('\0'), text.size()));
    return text;
}

// The name of an entry tagged 0x8000 and above, from the file's name-to-id map.
NamedProperty ReadName(libpff_record_entry_t* entry) {
    libpff_name_to_id_map_entry_t* mapEntry = nullptr;
    std::uint8_t kind = 0;
    NamedProperty name;
    Require("finding a property's name", [&](libpff_error_t** error) {
        return libpff_record_entry_get_name_to_id_map_entry(entry, &mapEntry, error);
    });
    Require("reading a property name's kind",
            [&](libpff_error_t** error) { return libpff_name_to_id_map_entry_get_type(mapEntry, &kind, error); });
    Require("reading a property name's set", [&](libpff_error_t** error) {
        return libpff_name_to_id_map_entry_get_guid(mapEntry, name.propertySet.data(), name.propertySet.size(), error);
    });
    // libpff 20180714 gives the names of the map's second property set, PS_PUBLIC_STRINGS, no GUID.
    if (name.propertySet == Guid{}) {
        name.propertySet = kPsPublicStrings;
    }
    if (kind == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_NUMERIC) {
        Require("reading a property name's number", [&](libpff_error_t** error) {
            return libpff_name_to_id_map_entry_get_number(mapEntry, &name.lid, error);
        });
        return name;
    }
    if (kind == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_STRING) {
        name.name = ReadUtf8(
            "reading a property's name",
            [&](std::size_t* size, libpff_error_t** error) {
                return libpff_name_to_id_map_entry_get_utf8_string_size(mapEntry, size, error);
            },
            [&](std::uint8_t* text, std::size_t size, libpff_error_t** error) {
                return libpff_name_to_id_map_entry_get_utf8_string(mapEntry, text, size, error);
            });
        if (!name.name.empty()) {
            return name;
        }
    }
    throw Failure(kStoreOperationFailed, "a property name of no known kind");
}

// A property the name-to-id map does not resolve cannot be told from another: it is left out.
std::optional<NamedProperty> ResolveName(libpff_record_entry_t* entry) {
    try {
        return ReadName(entry);
    } catch (const Failure&) {
        return std::nullopt;
    }
}

void ReadEntry(libpff_record_set_t* set, int index, PropertyBag& bag) {
    libpff_record_entry_t* rawEntry = nullptr;
    Require("reading a property",
            [&](libpff_error_t** error) { return libpff_record_set_get_entry_by_index(set, index, &rawEntry, error); });
    const RecordEntry entry(rawEntry);
    std::uint32_t tag = 0;
    std::uint32_t type = 0;
    Require("reading a property's tag",
            [&](libpff_error_t** error) { return libpff_record_entry_get_entry_type(entry.get(), &tag, error); });
    Require("reading a property's type",
            [&](libpff_error_t** error) { return libpff_record_entry_get_value_type(entry.get(), &type, error); });
    if (tag > kLastTag || type > kLastTag) {
        throw Failure(kStoreOperationFailed, "a property tagged " + HexNumber(tag) + " of type " + HexNumber(type));
    }
    PropertyValue value{static_cast<std::uint16_t>(type), ReadData(entry.get())};
    if (tag < kFirstNamedTag) {
        bag.Set(static_cast<std::uint16_t>(tag), std::move(value));
    } else if (const auto name = ResolveName(entry.get())) {
        bag.Set(*name, std::move(value));
    }
}

// The item's own properties: the first record set (the others are rows of tables it carries).
PropertyBag ReadBag(libpff_item_t* item) {
    PropertyBag bag;
    int sets = 0;
    Require("reading the property sets",
            [&](libpff_error_t** error) { return libpff_item_get_number_of_record_sets(item, &sets, error); });
    if (sets <= 0) {
        return bag;
    }
    libpff_record_set_t* rawSet = nullptr;
    Require("reading the properties",
            [&](libpff_error_t** error) { return libpff_item_get_record_set_by_index(item, 0, &rawSet, error); });
    const RecordSet set(rawSet);
    int entries = 0;
    Require("counting the properties", [&](libpff_error_t** error) {
        return libpff_record_set_get_number_of_entries(set.get(), &entries, error);
    });
    for (int index = 0; index < entries; ++index) {
        ReadEntry(set.get(), index, bag);
    }
    return bag;
}

template <typename CountCall>
int CountOf(std::string_view what, CountCall&& call) {
    int count = 0;
    Require(what, [&](libpff_error_t** error) { return call(&count, error); });
    return count;
}

// The folder with every folder below it, in libpff's order; a reference reader fails on the first
// fault rather than work around it.
FolderNode ReadFolderTree(libpff_item_t* folder, int depth) {
    if (depth > kMaxFolderDepth) {
        throw Failure(kStoreOperationFailed, "folders nested deeper than " + std::to_string(kMaxFolderDepth));
    }
    FolderNode node{NodeId(folder), ReadBag(folder), {}};
    const int count = CountOf("counting the subfolders", [&](int* count, libpff_error_t** error) {
        return libpff_folder_get_number_of_sub_folders(folder, count, error);
    });
    for (int index = 0; index < count; ++index) {
        const Item subfolder = OpenItem("opening a subfolder", [&](libpff_item_t** item, libpff_error_t** error) {
            return libpff_folder_get_sub_folder(folder, index, item, error);
        });
        node.subfolders.push_back(ReadFolderTree(subfolder.get(), depth + 1));
    }
    return node;
}

Message ReadMessage(libpff_item_t* item, int depth);

void ReadEmbedded(libpff_item_t* item, int index, int depth, Message& message) {
    const Item attachment = OpenItem("opening the attachment", [&](libpff_item_t** out, libpff_error_t** error) {
        return libpff_message_get_attachment(item, index, out, error);
    });
    int type = 0;
    Require("reading the attachment's type",
            [&](libpff_error_t** error) { return libpff_attachment_get_type(attachment.get(), &type, error); });
    if (type != LIBPFF_ATTACHMENT_TYPE_ITEM) {
        return;
    }
    if (depth + 1 > kMaxEmbeddingDepth) {
        throw Failure(kStoreOperationFailed,
                      "messages embedded deeper than " + std::to_string(kMaxEmbeddingDepth) + " levels");
    }
    const Item embedded = OpenItem("opening the embedded message", [&](libpff_item_t** out, libpff_error_t** error) {
        return libpff_attachment_get_item(attachment.get(), out, error);
    });
    message.embedded.push_back(ReadMessage(embedded.get(), depth + 1));
}

// A message with the messages embedded in its attachments.
Message ReadMessage(libpff_item_t* item, int depth) {
    Message message{NodeId(item), ReadBag(item), {}};
    const int attachments = CountOf("counting the attachments", [&](int* count, libpff_error_t** error) {
        return libpff_message_get_number_of_attachments(item, count, error);
    });
    for (int index = 0; index < attachments; ++index) {
        ReadEmbedded(item, index, depth, message);
    }
    return message;
}

}  // namespace

struct LibpffFile::Library {
    libpff_file_t* file = nullptr;

    explicit Library(const std::string& path) {
        Require("preparing libpff", [&](libpff_error_t** error) { return libpff_file_initialize(&file, error); });
        try {
            Require("opening", [&](libpff_error_t** error) {
                return libpff_file_open(file, path.c_str(), LIBPFF_OPEN_READ, error);
            });
        } catch (...) {
            libpff_file_free(&file, nullptr);
            throw;
        }
    }
    ~Library() {
        libpff_file_close(file, nullptr);
        libpff_file_free(&file, nullptr);
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;
};

std::shared_ptr<LibpffFile> LibpffFile::Open(const std::string& path) {
    try {
        return std::shared_ptr<LibpffFile>(new LibpffFile(path));
    } catch (const Failure& failure) {
        throw Failure(kStoreCannotOpen,
                      "\"" + path + "\" cannot be opened as an Outlook data file: " + failure.Description());
    }
}

LibpffFile::LibpffFile(std::string path) : path_(std::move(path)), library_(std::make_unique<Library>(path_)) {
    const Item store = OpenItem("opening the message store", [&](libpff_item_t** item, libpff_error_t** error) {
        return libpff_file_get_message_store(library_->file, item, error);
    });
    messageStore_ = ReadBag(store.get());
    const Item root = OpenItem("opening the folder tree", [&](libpff_item_t** item, libpff_error_t** error) {
        return libpff_file_get_root_folder(library_->file, item, error);
    });
    root_ = ReadFolderTree(root.get(), 0);
}

LibpffFile::~LibpffFile() = default;

std::vector<Message> LibpffFile::ReadMessages(std::uint32_t folderNodeId) {
    const Item folder = OpenItem("opening the folder", [&](libpff_item_t** item, libpff_error_t** error) {
        return libpff_file_get_item_by_identifier(library_->file, folderNodeId, item, error);
    });
    const int count = CountOf("counting the messages", [&](int* count, libpff_error_t** error) {
        return libpff_folder_get_number_of_sub_messages(folder.get(), count, error);
    });
    std::vector<Message> messages;
    for (int index = 0; index < count; ++index) {
        const Item message = OpenItem("opening a message", [&](libpff_item_t** item, libpff_error_t** error) {
            return libpff_folder_get_sub_message(folder.get(), index, item, error);
        });
        messages.push_back(ReadMessage(message.get(), 0));
    }
    return messages;
}

}  // namespace kalendro::pst
