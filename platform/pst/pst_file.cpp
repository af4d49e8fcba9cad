// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pst/pst_file.h"

#include <algorithm>
#include <set>
#include <utility>

#include "platform/pst/little_endian.h"
#include "platform/pst/node_content.h"
#include "platform/pst/property_tags.h"
#include "platform/pst/property_values.h"
#include "platform/store/failure.h"

namespace kalendro::pst {

namespace {

// Node ids of the file's fixed nodes, and the node types (the low five bits of an id) read here.
constexpr std::uint32_t kMessageStoreNode = 0x21;
constexpr std::uint32_t kNameToIdMapNode = 0x61;
constexpr std::uint32_t kRootFolderNode = 0x122;
constexpr std::uint32_t kAttachmentTableNode = 0x671;
constexpr std::uint8_t kNormalFolder = 0x02;
constexpr std::uint8_t kSearchFolder = 0x03;
constexpr std::uint8_t kNormalMessage = 0x04;
constexpr std::uint8_t kHierarchyTable = 0x0D;
constexpr std::uint8_t kContentsTable = 0x0E;

// Name-to-id map streams and the attachment properties that lead to an embedded message.
constexpr std::uint16_t kNameGuidStream = 0x0002;
constexpr std::uint16_t kNameEntryStream = 0x0003;
constexpr std::uint16_t kNameStringStream = 0x0004;
constexpr std::uint16_t kAttachDataObject = 0x3701;
constexpr std::uint16_t kAttachMethod = 0x3705;
constexpr std::int32_t kAttachEmbeddedMessage = 5;
constexpr std::uint16_t kTypeObject = 0x000D;

// Bounds that hold a damaged or hostile file to a finite walk: Outlook nests neither so deep.
constexpr int kMaxFolderDepth = 64;
constexpr int kMaxEmbeddingDepth = 8;
constexpr std::uint32_t kFirstNamedTag = 0x8000;

std::uint32_t WithType(std::uint32_t nodeId, std::uint8_t type) { return (nodeId & ~0x1Fu) | type; }
std::uint8_t TypeOf(std::uint32_t nodeId) { return static_cast<std::uint8_t>(nodeId & 0x1F); }

std::string StreamOf(const std::vector<StoredProperty>& properties, std::uint16_t tag) {
    for (const StoredProperty& property : properties) {
        if (property.tag == tag) {
            return property.data;
        }
    }
    return {};
}

NodeEntry RequireNode(NodeDatabase& database, std::uint32_t nodeId, std::string_view what) {
    const std::optional<NodeEntry> node = database.FindNode(nodeId);
    if (!node) {
        throw Failure(kStoreOperationFailed, std::string(what) + " " + HexNumber(nodeId) + " is missing from the file");
    }
    return *node;
}

}  // namespace

// The named properties of the file: tag 0x8000 + n is the n-th entry of the map's entry stream.
class PstFile::NameMap {
public:
    explicit NameMap(const std::vector<StoredProperty>& map) {
        const std::string guids = StreamOf(map, kNameGuidStream);
        const std::string entries = StreamOf(map, kNameEntryStream);
        const std::string strings = StreamOf(map, kNameStringStream);
        for (std::size_t at = 0; at + 8 <= entries.size(); at += 8) {
            const std::uint32_t idOrOffset = LittleEndian32(entries.data() + at);
            const std::uint16_t guidAndKind = LittleEndian16(entries.data() + at + 4);
            const std::uint16_t index = LittleEndian16(entries.data() + at + 6);
            std::optional<NamedProperty> name = NameOf(idOrOffset, guidAndKind, guids, strings);
            if (name && index < kFirstNamedTag) {
                if (names_.size() <= index) {
                    names_.resize(index + 1);
                }
                names_[index] = std::move(name);
            }
        }
    }

    const NamedProperty* Find(std::uint16_t tag) const {
        const std::size_t index = tag - kFirstNamedTag;
        return index < names_.size() && names_[index] ? &*names_[index] : nullptr;
    }

private:
    static std::optional<NamedProperty> NameOf(std::uint32_t idOrOffset, std::uint16_t guidAndKind,
                                               const std::string& guids, const std::string& strings) {
        NamedProperty name;
        const std::size_t guidIndex = guidAndKind >> 1;
        if (guidIndex == 1) {
            name.propertySet = kPsMapi;
        } else if (guidIndex == 2) {
            name.propertySet = kPsPublicStrings;
        } else if (guidIndex >= 3 && (guidIndex - 3) * 16 + 16 <= guids.size()) {
            std::copy_n(guids.begin() + static_cast<std::ptrdiff_t>((guidIndex - 3) * 16), 16,
                        name.propertySet.begin());
        } else {
            return std::nullopt;  // a name that cannot be told from another is left out
        }
        if ((guidAndKind & 1) == 0) {
            name.lid = idOrOffset;
            return name;
        }
        if (idOrOffset > strings.size() || strings.size() - idOrOffset < 4) {
            return std::nullopt;
        }
        const std::size_t length = LittleEndian32(strings.data() + idOrOffset);
        if (length > strings.size() - idOrOffset - 4) {
            return std::nullopt;
        }
        name.name = Utf16ToUtf8(std::string_view(strings).substr(idOrOffset + 4, length));
        return name.name.empty() ? std::nullopt : std::optional(std::move(name));
    }

    std::vector<std::optional<NamedProperty>> names_;
};

// Reads the folder tree through the folders' hierarchy tables, leaving out (with a warning) each
// folder that cannot be read, one that appears twice and any deeper than Outlook goes.
class PstFile::FolderTreeReader {
public:
    FolderTreeReader(PstFile& file, std::vector<std::string>& warnings) : file_(file), warnings_(warnings) {}

    // Raises the failure when the root itself cannot be read.
    FolderNode ReadRoot() {
        NodeDatabase& database = *file_.database_;
        const NodeContent content(database, RequireNode(database, kRootFolderNode, "the root folder"));
        FolderNode root{kRootFolderNode, file_.ReadBag(content), {}};
        visited_.insert(kRootFolderNode);
        ReadSubfolders(root, "", 1);
        return root;
    }

private:
    void ReadSubfolders(FolderNode& folder, const std::string& path, int depth) {
        if (TypeOf(folder.nodeId) == kSearchFolder) {
            return;  // it holds no folders
        }
        std::vector<std::uint32_t> subfolders;
        try {
            NodeDatabase& database = *file_.database_;
            const std::uint32_t table = WithType(folder.nodeId, kHierarchyTable);
            for (const std::uint32_t row :
                 NodeContent(database, RequireNode(database, table, "the folder list")).ReadRowIds()) {
                if (TypeOf(row) == kNormalFolder || TypeOf(row) == kSearchFolder) {
                    subfolders.push_back(row);
                }
            }
        } catch (const Failure& failure) {
            Warn(path, failure.Description() + " (the folder is kept without its subfolders)");
            return;
        }
        std::sort(subfolders.begin(), subfolders.end());
        for (const std::uint32_t subfolder : subfolders) {
            ReadFolder(subfolder, path, depth, folder);
        }
    }

    void ReadFolder(std::uint32_t nodeId, const std::string& parentPath, int depth, FolderNode& parent) {
        FolderNode node{nodeId, {}, {}};
        std::string problem;
        try {
            NodeDatabase& database = *file_.database_;
            node.properties = file_.ReadBag(NodeContent(database, RequireNode(database, nodeId, "the folder")));
        } catch (const Failure& failure) {
            problem = failure.Description();
        }
        const std::string path = parentPath + "/" + Label(node);
        if (!problem.empty()) {
            Warn(path, problem + " (the folder is kept without its properties)");
        }
        if (depth > kMaxFolderDepth) {
            Warn(path, "nested deeper than " + std::to_string(kMaxFolderDepth) + " folders");
            return;
        }
        if (!visited_.insert(nodeId).second) {
            Warn(path, "the folder " + HexNumber(nodeId) + " appears a second time");
            return;
        }
        ReadSubfolders(node, path, depth + 1);
        parent.subfolders.push_back(std::move(node));
    }

    static std::string Label(const FolderNode& folder) {
        const PropertyValue* name = folder.properties.Find(kDisplayName);
        const std::string text = name == nullptr ? std::string() : ReadText(*name).value_or(std::string());
        return text.empty() ? "folder " + HexNumber(folder.nodeId) : text;
    }

    void Warn(const std::string& path, const std::string& reason) {
        warnings_.push_back((path.empty() ? "/" : path) + ": " + reason);
    }

    PstFile& file_;
    std::vector<std::string>& warnings_;
    std::set<std::uint32_t> visited_;
};

std::shared_ptr<PstFile> PstFile::Open(const std::string& path) {
    try {
        return std::shared_ptr<PstFile>(new PstFile(path));
    } catch (const Failure& failure) {
        throw Failure(kStoreCannotOpen,
                      "\"" + path + "\" cannot be opened as an Outlook data file: " + failure.Description());
    }
}

bool PstFile::LooksLikePst(std::string_view firstBytes) { return firstBytes.substr(0, 4) == "!BDN"; }

PstFile::PstFile(std::string path) : path_(std::move(path)), database_(std::make_unique<NodeDatabase>(path_)) {
    try {
        names_ = std::make_unique<NameMap>(
            NodeContent(*database_, RequireNode(*database_, kNameToIdMapNode, "the name-to-id map")).ReadProperties());
    } catch (const Failure& failure) {
        names_ = std::make_unique<NameMap>(std::vector<StoredProperty>{});
        warnings_.push_back("named properties: " + failure.Description());
    }
    try {
        messageStore_ =
            ReadBag(NodeContent(*database_, RequireNode(*database_, kMessageStoreNode, "the message store")));
    } catch (const Failure& failure) {
        warnings_.push_back("message store: " + failure.Description());
    }
    root_ = FolderTreeReader(*this, warnings_).ReadRoot();
}

PstFile::~PstFile() = default;

PropertyBag PstFile::ReadBag(const NodeContent& content) const {
    PropertyBag bag;
    for (StoredProperty& property : content.ReadProperties()) {
        PropertyValue value{property.type, std::move(property.data)};
        if (property.tag < kFirstNamedTag) {
            bag.Set(property.tag, std::move(value));
        } else if (const NamedProperty* name = names_->Find(property.tag)) {
            bag.Set(*name, std::move(value));
        }
    }
    return bag;
}

FolderContents PstFile::Contents(std::uint32_t folderNodeId) {
    FolderContents contents;
    if (TypeOf(folderNodeId) == kSearchFolder) {
        return contents;  // what it finds are messages of other folders
    }
    if (TypeOf(folderNodeId) != kNormalFolder || !database_->FindNode(folderNodeId)) {
        throw Failure(kStoreOperationFailed, "the folder " + HexNumber(folderNodeId) + " of \"" + path_ +
                                                 "\" cannot be read: it is no folder of the file");
    }
    std::vector<std::uint32_t> listed;
    try {
        const std::uint32_t table = WithType(folderNodeId, kContentsTable);
        listed = NodeContent(*database_, RequireNode(*database_, table, "the contents table")).ReadRowIds();
    } catch (const Failure& failure) {
        contents.notes.push_back(failure.Description() + "; its messages are found through the node B-tree");
    }
    std::vector<std::uint32_t> held;
    try {
        held = database_->ChildrenOfType(folderNodeId, kNormalMessage);
    } catch (const Failure& failure) {
        if (!contents.notes.empty()) {
            throw Failure(kStoreOperationFailed, "the folder " + HexNumber(folderNodeId) + " of \"" + path_ +
                                                     "\" cannot be read: " + failure.Description());
        }
        contents.notes.push_back(failure.Description() + "; its messages are those of its contents table");
    }
    std::erase_if(listed, [](std::uint32_t id) { return TypeOf(id) != kNormalMessage; });
    std::sort(listed.begin(), listed.end());
    listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
    std::set_union(listed.begin(), listed.end(), held.begin(), held.end(), std::back_inserter(contents.messageIds));
    const std::size_t onlyListed = contents.messageIds.size() - held.size();
    const std::size_t onlyHeld = contents.messageIds.size() - listed.size();
    if (!contents.notes.empty()) {
        return contents;  // one of the two could not be read: the counts say nothing
    }
    if (onlyHeld > 0) {
        contents.notes.push_back(std::to_string(onlyHeld) +
                                 " message(s) missing from the folder's contents table are read all the same");
    }
    if (onlyListed > 0) {
        contents.notes.push_back(std::to_string(onlyListed) +
                                 " message(s) of the folder's contents table are not under it in the node B-tree");
    }
    return contents;
}

Message PstFile::ReadMessage(std::uint32_t messageNodeId) {
    if (TypeOf(messageNodeId) != kNormalMessage) {
        throw Failure(kStoreOperationFailed, "the node " + HexNumber(messageNodeId) + " is no message");
    }
    return ReadMessage(NodeContent(*database_, RequireNode(*database_, messageNodeId, "the message")), messageNodeId,
                       0);
}

Message PstFile::ReadMessage(const NodeContent& content, std::uint32_t nodeId, int depth) {
    Message message{nodeId, ReadBag(content), {}};
    if (!content.HasSubnode(kAttachmentTableNode)) {
        return message;
    }
    const NodeContent table(*database_, content.Subnode(kAttachmentTableNode));
    for (const std::uint32_t attachment : table.ReadRowIds()) {
        ReadEmbedded(content, attachment, depth, message);
    }
    return message;
}

void PstFile::ReadEmbedded(const NodeContent& message, std::uint32_t attachmentId, int depth, Message& into) {
    const NodeContent attachment(*database_, message.Subnode(attachmentId));
    const PropertyBag properties = ReadBag(attachment);
    const PropertyValue* method = properties.Find(kAttachMethod);
    const PropertyValue* object = properties.Find(kAttachDataObject);
    if (method == nullptr || ReadInt32(*method) != kAttachEmbeddedMessage || object == nullptr ||
        object->type != kTypeObject || object->data.size() < 4) {
        return;
    }
    if (depth + 1 > kMaxEmbeddingDepth) {
        throw Failure(kStoreOperationFailed,
                      "messages embedded deeper than " + std::to_string(kMaxEmbeddingDepth) + " levels");
    }
    const std::uint32_t embeddedId = LittleEndian32(object->data.data());
    into.embedded.push_back(
        ReadMessage(NodeContent(*database_, attachment.Subnode(embeddedId)), embeddedId, depth + 1));
}

}  // namespace kalendro::pst
