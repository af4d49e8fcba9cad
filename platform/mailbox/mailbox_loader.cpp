// SPDX-License-Identifier: GPL-3.0-or-later
// How loading works.
//
// A mailbox file is read whole into a MailboxText (fast_reading/mailbox_text.h), padded for simdjson.
// Then, in order:
//
//  1. SplitItems (fast_reading/item_split.h) cuts every element of a folder's "items" array out of the
//     text and leaves a skeleton holding each item's index in its place. It follows only the shape of
//     a mailbox and checks nothing else.
//  2. ReadItemBatches (fast_reading/item_batches.h) parses the items with simdjson and reads each with
//     ItemReader (item_reader.h, recurrence and exceptions included) on two threads, in batches, handing
//     the text back as the items are read, since each item keeps its own copy of its strings.
//  3. The skeleton is parsed and MailboxReader (mailbox_reader.h) walks its stores and folders over
//     SimdNode (fast_reading/simd_node.h), putting each item read early in its place; the walk checks
//     that every number it took for an item stood for one, so a text the split misread is refused.
//
// The fast reading names no fault: wherever it finds anything amiss it gives nothing, and the file is
// read a second time by ReadMailboxReportingFaults, with nlohmann's parser and the same readers over
// JsonNode (json_node.h, document_builder.h), which raises kStoreCannotOpen naming where the fault lies.
// The file is read again rather than kept, since a file that is not valid is rare and a large one common.
//
// A key given twice in one object is valid JSON and counts with its last value, as nlohmann's parser
// reads it; the fast reading does not decide between the two values but throws RepeatedKey and falls
// back, so such a file is read, slowly, by the second reading. Every fallback is counted
// (FastReadingFallbacks): the tests hold the valid files of the test data to none.
//
// A new member touches only the member table (memory_store/member_id.*: its id, name, kind and the
// item types that have it): both readings take every key of an item to the table by name and read the
// value by the member's kind, and the split knows no member at all.

#include "platform/mailbox/mailbox_loader.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "platform/mailbox/document_builder.h"
#include "platform/mailbox/fast_reading/item_batches.h"
#include "platform/mailbox/fast_reading/item_split.h"
#include "platform/mailbox/json_node.h"
#include "platform/mailbox/mailbox_reader.h"
#include "platform/mailbox/fast_reading/mailbox_text.h"
#include "platform/mailbox/fast_reading/simd_node.h"
#include "platform/store/failure.h"

namespace kalendro::mailbox {

namespace {

// Loads may run on any thread: the windows read files on a worker.
std::atomic<std::size_t> fallbacks{0};

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

std::size_t FastReadingFallbacks() { return fallbacks.load(); }

std::shared_ptr<const Mailbox> LoadMailboxText(std::string_view text, const std::string& sourceName) {
    if (auto mailbox = ReadMailboxQuickly(text, sourceName)) {
        return mailbox;
    }
    ++fallbacks;
    return ReadMailboxReportingFaults(text, sourceName);
}

std::shared_ptr<const Mailbox> LoadMailboxFile(const std::string& path) {
    if (auto mailbox = ReadQuickly(ReadWholeFile(path), path)) {
        return mailbox;
    }
    ++fallbacks;
    return ReadMailboxReportingFaults(ReadWholeFile(path).View(), path);
}

}  // namespace kalendro::mailbox
