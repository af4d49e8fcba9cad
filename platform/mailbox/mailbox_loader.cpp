#include "platform/mailbox/mailbox_loader.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/mailbox/document_builder.h"
#include "platform/mailbox/item_batches.h"
#include "platform/mailbox/item_split.h"
#include "platform/mailbox/json_node.h"
#include "platform/mailbox/mailbox_reader.h"
#include "platform/mailbox/mailbox_text.h"
#include "platform/mailbox/simd_node.h"
#include "platform/store/failure.h"

namespace kalendro::mailbox {

namespace {

static_assert(MailboxText::kPadding >= simdjson::SIMDJSON_PADDING);

// The fast reading, one item at a time (SplitItems, ReadItemBatches): each item is parsed and read
// alone, then the skeleton, so that no parsed tree of the whole file is ever held, and the text is
// handed back as the items are read, since they hold their own copies of every string. Nothing when
// simdjson cannot parse a part or the reader finds any fault or a repeated key: the full parser then
// reads the file again and names what is wrong.
std::shared_ptr<const Mailbox> ReadQuickly(MailboxText text, const std::string& sourceName) {
    SplitMailbox split;
    if (!SplitItems(simdjson::padded_string_view(text.data(), text.size(), text.ReadableSize()), split)) {
        return nullptr;
    }
    std::optional<ItemsReadEarly> items = ReadItemBatches(split, text, sourceName);
    if (!items) {
        return nullptr;
    }
    try {
        MailboxReader<SimdNode> reader(sourceName);
        reader.TakeItemsReadEarly(std::move(*items));
        simdjson::dom::parser parser;
        simdjson::dom::element root;
        if (parser.parse(split.skeleton).get(root) != simdjson::SUCCESS) {
            return nullptr;
        }
        auto mailbox = reader.ReadTree(SimdNode(root, SimdNode::Items::kNumbered));
        return reader.PlacedEveryEarlyItem() ? mailbox : nullptr;
    } catch (const Failure&) {
        return nullptr;
    } catch (const RepeatedKey&) {
        return nullptr;
    }
}

}  // namespace

// The reading whose faults are reported, with nlohmann's parser.
std::shared_ptr<const Mailbox> ReadMailboxReportingFaults(std::string_view text, const std::string& sourceName) {
    MailboxReader<JsonNode> reader(sourceName);
    Json root;
    DocumentBuilder builder(root, [&reader](Json& item) {
        if (const std::optional<std::size_t> index = reader.ReadItemEarly(JsonNode(item))) {
            item = Json::binary({}, *index);
        }
    });
    if (!Json::sax_parse(text, &builder)) {
        throw Failure(kStoreCannotOpen,
                      "The mailbox file " + Quoted(sourceName) + " is not JSON: " + builder.ErrorMessage() + ".");
    }
    return reader.ReadTree(JsonNode(root));
}

namespace {

MailboxText ReadWholeFile(const std::string& path) {
    const std::string cannotRead = "The mailbox file " + Quoted(path) + " cannot be read: ";
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(status)) {
        throw Failure(kStoreCannotOpen, cannotRead + "it is a directory.");
    }
    // A device or a pipe may never end (/dev/zero): only a file has a size to read up to.
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        throw Failure(kStoreCannotOpen, cannotRead + "it is not a regular file.");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw Failure(kStoreCannotOpen, cannotRead + std::strerror(errno) + ".");
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    MailboxText text;
    if (!text.AppendAll(file, error ? 0 : size)) {
        throw Failure(kStoreCannotOpen, cannotRead + "reading failed.");
    }
    return text;
}

}  // namespace

std::shared_ptr<const Mailbox> ReadMailboxQuickly(std::string_view text, const std::string& sourceName) {
    return ReadQuickly(MailboxText(text), sourceName);
}

std::shared_ptr<const Mailbox> LoadMailboxText(std::string_view text, const std::string& sourceName) {
    if (auto mailbox = ReadMailboxQuickly(text, sourceName)) {
        return mailbox;
    }
    return ReadMailboxReportingFaults(text, sourceName);
}

std::shared_ptr<const Mailbox> LoadMailboxFile(const std::string& path) {
    if (auto mailbox = ReadQuickly(ReadWholeFile(path), path)) {
        return mailbox;
    }
    // Read again rather than kept while the fast reading builds the mailbox: a file that is not
    // valid is rare, a large one common.
    return ReadMailboxReportingFaults(ReadWholeFile(path).View(), path);
}

}  // namespace kalendro::mailbox
