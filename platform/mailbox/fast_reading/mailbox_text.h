// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <istream>
#include <string_view>

namespace kalendro::mailbox {

// The text of a mailbox file in memory mapped for it alone, with simdjson's padding readable after
// its end. The fast reading hands back the pages it has finished with (ReleaseBefore) while it reads
// on, so that the file's text and the items read from it are never in memory whole at once. Pages
// handed back read as zeros: only text before the position given is ever handed back.
class MailboxText {
public:
    MailboxText();
    explicit MailboxText(std::string_view text);
    ~MailboxText();
    MailboxText(MailboxText&& other) noexcept;
    MailboxText& operator=(MailboxText&&) = delete;

    const char* data() const { return data_; }
    std::size_t size() const { return size_; }
    std::string_view View() const { return {data_, size_}; }
    // The bytes readable from the start: the text and the padding after it.
    std::size_t ReadableSize() const { return capacity_ + kPadding; }

    // Room for at least `count` more bytes at End(), which Grow then counts as text.
    void Reserve(std::size_t count);
    char* End() { return data_ + size_; }
    void Grow(std::size_t count) { size_ += count; }

    // Appends what the stream holds up to its end; the size is a first guess only, since a file may
    // change while it is read. False when reading failed.
    bool AppendAll(std::istream& stream, std::size_t expectedSize);

    // Hands back the whole pages before the position, in steps of at least a megabyte.
    void ReleaseBefore(const char* position);

    static constexpr std::size_t kPadding = 64;  // at least simdjson's

private:
    static constexpr std::size_t kReleaseStep = 1024 * 1024;

    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::size_t released_ = 0;
};

}  // namespace kalendro::mailbox
