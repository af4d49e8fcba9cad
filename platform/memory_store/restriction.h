#pragma once

#include <vector>

#include "platform/memory_store/filter.h"
#include "platform/memory_store/memory_items.h"

namespace kalendro::memory_store {

// The entries a Restrict keeps. With recurrences included, a recurring appointment gives each of its
// matching occurrences (never itself): an entry of the series' item whose overrides hold the
// occurrence's own Start and End, its OriginalDate (the start the pattern gives it, in the series'
// zone) and its exception's members. Sorted entries give their result
// sorted by Start, entries and occurrences of equal start in the order of their entries; unsorted
// ones keep their order, a series' occurrences standing at its place in ascending order. A series
// without end that the filter leaves unbounded is failure 440.
std::vector<CollectionEntry> RestrictEntries(const std::vector<CollectionEntry>& entries, bool includeRecurrences,
                                             bool sortedByStart, const Filter& filter);

}  // namespace kalendro::memory_store
