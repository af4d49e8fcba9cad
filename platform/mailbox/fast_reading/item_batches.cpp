// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mailbox/fast_reading/item_batches.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include <simdjson.h>

#include "platform/mailbox/item_reader.h"
#include "platform/mailbox/fast_reading/simd_node.h"
#include "platform/store/failure.h"

namespace kalendro::mailbox {

namespace {

// Large enough that taking a batch costs nothing beside reading it, small enough that the text
// held for the batches in hand stays a small part of the file's.
constexpr std::size_t kBatchItems = 256;

class BatchReading {
public:
    BatchReading(const SplitMailbox& split, MailboxText& text, const std::string& sourceName)
        : items_(split.items),
          text_(text),
          sourceName_(sourceName),
          read_(items_.size()),
          finished_((items_.size() + kBatchItems - 1) / kBatchItems, false) {}

    std::optional<ItemsReadEarly> Run() {
        std::optional<std::jthread> helper;
        if (finished_.size() > 1) {
            try {
                helper.emplace([this] { Work(); });
            } catch (const std::system_error&) {
                // Without a second thread this one reads every batch.
            }
        }
        Work();
        helper.reset();
        if (error_) {
            std::rethrow_exception(error_);
        }
        return failed_ ? std::nullopt : std::optional(std::move(read_));
    }

private:
    // Takes the next batch until none is left or a batch has failed.
    void Work() {
        simdjson::dom::parser parser;
        const ItemReader<SimdNode> reader(sourceName_);
        try {
            for (std::size_t batch = nextBatch_++; batch < finished_.size() && !failed_; batch = nextBatch_++) {
                if (!ReadBatch(batch, parser, reader)) {
                    failed_ = true;
                }
                Finish(batch);
            }
        } catch (const Failure&) {
            failed_ = true;
        } catch (const RepeatedKey&) {
            failed_ = true;
        } catch (...) {
            const std::lock_guard lock(mutex_);
            error_ = std::current_exception();
            failed_ = true;
        }
    }

    bool ReadBatch(std::size_t batch, simdjson::dom::parser& parser, const ItemReader<SimdNode>& reader) {
        const char* const textEnd = text_.data() + text_.ReadableSize();
        const std::size_t end = std::min(items_.size(), (batch + 1) * kBatchItems);
        simdjson::dom::element root;
        for (std::size_t index = batch * kBatchItems; index < end; ++index) {
            const std::string_view item = items_[index];
            const simdjson::padded_string_view padded(item.data(), item.size(),
                                                      static_cast<std::size_t>(textEnd - item.data()));
            if (parser.parse(padded).get(root) != simdjson::SUCCESS) {
                return false;
            }
            const SimdNode node(root);
            read_[index] = reader.ReadItem(node, {nullptr, "item", 0, &node});
        }
        return true;
    }

    // Only text before every batch still being read may go.
    void Finish(std::size_t batch) {
        const std::lock_guard lock(mutex_);
        finished_[batch] = true;
        while (firstUnfinished_ < finished_.size() && finished_[firstUnfinished_]) {
            ++firstUnfinished_;
        }
        if (firstUnfinished_ < finished_.size()) {
            text_.ReleaseBefore(items_[firstUnfinished_ * kBatchItems].data());
        }
    }

    const std::vector<std::string_view>& items_;
    MailboxText& text_;
    const std::string& sourceName_;
    ItemsReadEarly read_;
    std::atomic<std::size_t> nextBatch_ = 0;
    std::atomic<bool> failed_ = false;
    std::mutex mutex_;  // guards what follows
    std::vector<bool> finished_;
    std::size_t firstUnfinished_ = 0;
    std::exception_ptr error_;
};

}  // namespace

std::optional<ItemsReadEarly> ReadItemBatches(const SplitMailbox& split, MailboxText& text,
                                              const std::string& sourceName) {
    return BatchReading(split, text, sourceName).Run();
}

}  // namespace kalendro::mailbox
