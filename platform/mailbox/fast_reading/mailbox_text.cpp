// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mailbox/fast_reading/mailbox_text.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace kalendro::mailbox {

namespace {

char* MapPages(std::size_t size) {
    void* pages = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) {
        throw std::bad_alloc();
    }
    // Large pages where the system grants them on request: a large file then costs a few page faults
    // rather than one per 4 KiB. A refusal costs speed only.
    ::madvise(pages, size, MADV_HUGEPAGE);
    return static_cast<char*>(pages);
}

std::size_t PageSize() { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }

}  // namespace

MailboxText::MailboxText() = default;

MailboxText::MailboxText(std::string_view text) {
    Reserve(text.size());
    std::copy(text.begin(), text.end(), End());
    Grow(text.size());
}

MailboxText::MailboxText(MailboxText&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      released_(std::exchange(other.released_, 0)) {}

MailboxText::~MailboxText() {
    if (data_ != nullptr) {
        ::munmap(data_, ReadableSize());
    }
}

void MailboxText::Reserve(std::size_t count) {
    if (data_ != nullptr && capacity_ - size_ >= count) {
        return;
    }
    const std::size_t capacity = std::max(size_ + count, capacity_ * 2);
    char* const grown = MapPages(capacity + kPadding);
    if (data_ != nullptr) {
        std::memcpy(grown, data_, size_);
        ::munmap(data_, ReadableSize());
    }
    data_ = grown;
    capacity_ = capacity;
}

bool MailboxText::AppendAll(std::istream& stream, std::size_t expectedSize) {
    // One byte more than expected, so that the read that finds the end needs no new room.
    Reserve(expectedSize + 1);
    while (stream) {
        Reserve(1);
        stream.read(End(), static_cast<std::streamsize>(capacity_ - size_));
        Grow(static_cast<std::size_t>(stream.gcount()));
    }
    return !stream.bad();
}

void MailboxText::ReleaseBefore(const char* position) {
    const std::size_t page = PageSize();
    const std::size_t before = static_cast<std::size_t>(position - data_) / page * page;
    if (before < released_ + kReleaseStep) {
        return;
    }
    // A refusal only leaves the pages where they are, which costs memory and nothing else.
    if (::madvise(data_ + released_, before - released_, MADV_DONTNEED) == 0) {
        released_ = before;
    }
}

}  // namespace kalendro::mailbox
