// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/memory_store/filter.h"
#include "platform/memory_store/memory_items.h"

namespace kalendro::memory_store {

// A walk over entries, one at a time.
class EntryWalk {
public:
    virtual ~EntryWalk() = default;
    // The next entry; none at the end.
    virtual std::optional<CollectionEntry> Next() = 0;
};

// What a sort by Start learns of its entries, so that a restriction of them need not read them all
// again: each entry's start, packed, in the entries' order, and the positions of the series among them.
struct StartIndex {
    std::vector<std::uint64_t> starts;
    std::vector<std::size_t> series;  // entries of a recurring item (IsSeries), in order
};

// Whether a restriction that includes recurrences expands the entry: a recurring item, not one of
// its occurrences.
bool IsSeries(const CollectionEntry& entry);

// The entries a Restrict keeps. With recurrences included, a recurring appointment gives each of its
// matching occurrences (never itself): an entry of the series' item whose overrides hold the
// occurrence's own Start and End, its OriginalDate (the start the pattern gives it, in the series'
// zone) and its exception's members. Sorted entries give their result sorted by Start, entries and
// occurrences of equal start in the order of their entries; unsorted ones keep their order, a
// series' occurrences standing at its place in ascending order.
//
// The kept entries are made as a walk reaches them and none is held afterwards, so a range holding
// millions of occurrences costs no more memory than one holding a few: a sorted walk merges the
// entries that are not expanded (in order already) with one walk per series. With the index of a
// sort, it reads only the entries whose start the filter allows and the series.
class Restriction {
public:
    // A series without end that the filter leaves unbounded fails with kStoreOperationFailed. The index, when given,
    // is that of the entries as sorted.
    Restriction(std::shared_ptr<const std::vector<CollectionEntry>> entries, std::shared_ptr<const StartIndex> index,
                bool includeRecurrences, bool sortedByStart, Filter filter);

    // A walk over the kept entries in their order; the restriction must outlive it.
    std::unique_ptr<EntryWalk> Walk() const;
    // How many entries the walk gives (at most the largest std::int32_t), counted by walking them.
    std::int32_t Count() const;

    // The window of starts of the series at that position, when it is one to expand.
    struct SeriesToExpand {
        std::size_t position;
        StartWindow window;
    };

private:
    void AddSeries(std::size_t position);

    std::shared_ptr<const std::vector<CollectionEntry>> entries_;
    Filter filter_;
    bool sortedByStart_;
    std::vector<SeriesToExpand> series_;  // in the order of their positions
    // The positions where entries that are not expanded may match: all but for a sorted walk with an index.
    std::size_t singlesBegin_ = 0;
    std::size_t singlesEnd_;
};

}  // namespace kalendro::memory_store
