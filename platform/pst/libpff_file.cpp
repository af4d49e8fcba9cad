#include "platform/pst/libpff_file.h"

#include <libpff.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <set>
#include <utility>

#include "platform/failure.h"

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

std::string Hex(std::uint32_t number) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "0x%X", number);
    return text.data();
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
        throw Failure(kStoreOperationFailed, "a property tagged " + Hex(tag) + " of type " + Hex(type));
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

// A folder's name for the warnings, or its node id when the name cannot be read.
std::string FolderLabel(libpff_item_t* folder, std::uint32_t nodeId) {
    const std::string byNodeId = "folder " + Hex(nodeId);
    try {
        const std::string name = ReadUtf8(
            "reading the folder's name",
            [&](std::size_t* size, libpff_error_t** error) {
                return libpff_folder_get_utf8_name_size(folder, size, error);
            },
            [&](std::uint8_t* text, std::size_t size, libpff_error_t** error) {
                return libpff_folder_get_utf8_name(folder, text, size, error);
            });
        return name.empty() ? byNodeId : name;
    } catch (const Failure&) {
        return byNodeId;
    }
}

int SubfolderCount(libpff_item_t* folder) {
    int count = 0;
    Require("counting the subfolders",
            [&](libpff_error_t** error) { return libpff_folder_get_number_of_sub_folders(folder, &count, error); });
    return count;
}

// Reads the folder tree, leaving out (with a warning) each folder that cannot be opened, one that
// appears twice and any deeper than Outlook goes.
class FolderTreeReader {
public:
    explicit FolderTreeReader(std::vector<std::string>& warnings) : warnings_(warnings) {}

    // Raises the failure when the root itself cannot be read.
    FolderNode ReadRoot(libpff_item_t* root) {
        FolderNode node{NodeId(root), ReadProperties(root, ""), {}};
        visited_.insert(node.nodeId);
        ReadSubfolders(root, SubfolderCount(root), "", 1, node);
        return node;
    }

private:
    void ReadSubfolders(libpff_item_t* folder, int count, const std::string& path, int depth, FolderNode& node) {
        for (int index = 0; index < count; ++index) {
            try {
                const Item subfolder = OpenItem("opening subfolder #" + std::to_string(index + 1),
                                                [&](libpff_item_t** item, libpff_error_t** error) {
                                                    return libpff_folder_get_sub_folder(folder, index, item, error);
                                                });
                ReadFolder(subfolder.get(), path, depth, node);
            } catch (const Failure& failure) {
                Warn(path, failure.Description());
            }
        }
    }

    void ReadFolder(libpff_item_t* folder, const std::string& parentPath, int depth, FolderNode& parent) {
        const std::uint32_t nodeId = NodeId(folder);
        const std::string path = parentPath + "/" + FolderLabel(folder, nodeId);
        if (depth > kMaxFolderDepth) {
            Warn(path, "nested deeper than " + std::to_string(kMaxFolderDepth) + " folders");
            return;
        }
        if (!visited_.insert(nodeId).second) {
            Warn(path, "the folder " + Hex(nodeId) + " appears a second time");
            return;
        }
        FolderNode node{nodeId, ReadProperties(folder, path), {}};
        ReadSubfolders(folder, ReadableSubfolderCount(folder, path), path, depth + 1, node);
        parent.subfolders.push_back(std::move(node));
    }

    // A folder whose list of subfolders is damaged still holds its own messages.
    int ReadableSubfolderCount(libpff_item_t* folder, const std::string& path) {
        try {
            return SubfolderCount(folder);
        } catch (const Failure& failure) {
            Warn(path, failure.Description() + " (the folder is kept without its subfolders)");
            return 0;
        }
    }

    // A folder whose properties are damaged still leads to its subfolders, so it stays in the tree.
    PropertyBag ReadProperties(libpff_item_t* folder, const std::string& path) {
        try {
            return ReadBag(folder);
        } catch (const Failure& failure) {
            Warn(path, failure.Description() + " (the folder is kept without its properties)");
            return {};
        }
    }

    void Warn(const std::string& path, const std::string& reason) {
        warnings_.push_back((path.empty() ? "/" : path) + ": " + reason);
    }

    std::vector<std::string>& warnings_;
    std::set<std::uint32_t> visited_;
};

// Reads messages and the messages embedded in their attachments, counting what it leaves out.
class MessageReader {
public:
    explicit MessageReader(FolderMessages& result) : result_(result) {}

    void ReadFolder(libpff_item_t* folder) {
        int count = 0;
        Require("counting the messages", [&](libpff_error_t** error) {
            return libpff_folder_get_number_of_sub_messages(folder, &count, error);
        });
        for (int index = 0; index < count; ++index) {
            try {
                const Item message = OpenItem("opening the message", [&](libpff_item_t** item, libpff_error_t** error) {
                    return libpff_folder_get_sub_message(folder, index, item, error);
                });
                result_.messages.push_back(Read(message.get(), 0));
            } catch (const Failure& failure) {
                LeaveOut("message #" + std::to_string(index + 1), failure.Description());
            }
        }
    }

private:
    Message Read(libpff_item_t* item, int depth) {
        Message message{NodeId(item), ReadBag(item), {}};
        int attachments = 0;
        Require("counting the attachments", [&](libpff_error_t** error) {
            return libpff_message_get_number_of_attachments(item, &attachments, error);
        });
        for (int index = 0; index < attachments; ++index) {
            const std::string label = "message " + Hex(message.nodeId) + " attachment #" + std::to_string(index + 1);
            try {
                ReadAttachment(item, index, depth, message);
            } catch (const Failure& failure) {
                LeaveOut(label, failure.Description());
            }
        }
        return message;
    }

    void ReadAttachment(libpff_item_t* item, int index, int depth, Message& message) {
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
        const Item embedded =
            OpenItem("opening the embedded message", [&](libpff_item_t** out, libpff_error_t** error) {
                return libpff_attachment_get_item(attachment.get(), out, error);
            });
        message.embedded.push_back(Read(embedded.get(), depth + 1));
    }

    void LeaveOut(const std::string& which, const std::string& reason) {
        ++result_.skipped;
        result_.problems.push_back(which + ": " + reason);
    }

    FolderMessages& result_;
};

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
    try {
        const Item store = OpenItem("opening the message store", [&](libpff_item_t** item, libpff_error_t** error) {
            return libpff_file_get_message_store(library_->file, item, error);
        });
        messageStore_ = ReadBag(store.get());
    } catch (const Failure& failure) {
        warnings_.push_back("message store: " + failure.Description());
    }
    const Item root = OpenItem("opening the folder tree", [&](libpff_item_t** item, libpff_error_t** error) {
        return libpff_file_get_root_folder(library_->file, item, error);
    });
    root_ = FolderTreeReader(warnings_).ReadRoot(root.get());
}

LibpffFile::~LibpffFile() = default;

FolderMessages LibpffFile::ReadMessages(std::uint32_t folderNodeId) {
    const std::lock_guard lock(libraryUse_);
    FolderMessages result;
    try {
        const Item folder = OpenItem("opening the folder", [&](libpff_item_t** item, libpff_error_t** error) {
            return libpff_file_get_item_by_identifier(library_->file, folderNodeId, item, error);
        });
        std::uint8_t type = 0;
        Require("reading the item's type",
                [&](libpff_error_t** error) { return libpff_item_get_type(folder.get(), &type, error); });
        if (type != LIBPFF_ITEM_TYPE_FOLDER) {
            throw Failure(kStoreOperationFailed, "the item is not a folder");
        }
        MessageReader(result).ReadFolder(folder.get());
    } catch (const Failure& failure) {
        throw Failure(kStoreOperationFailed, "the folder " + Hex(folderNodeId) + " of \"" + path_ +
                                                 "\" cannot be read: " + failure.Description());
    }
    return result;
}

}  // namespace kalendro::pst
