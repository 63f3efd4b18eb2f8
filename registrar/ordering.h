// The commit's ordering step: drops entries whose file is gone, sorts the rest
// into the launcher's menu order (A-Z, then 0-9) and drops duplicate
// registrations.
//
// The order of entries with equal keys is that of the registrar's historic
// exchange sort with restarts (an entry that finds a smaller key swaps places
// with it, and the scan starts again), which users' cr.x files already have.
// That sort needs on the order of n^3/6 key comparisons for one letter in
// reverse order; the version here gives the same order in at most n^2/2
// comparisons of small integers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/file_store.h"
#include "registrar/registration_file.h"

namespace registrar {

// Buckets 0-25 hold the keys starting with A-Z, 26-35 those starting with 0-9.
// An entry whose key is not valid (the name checks let none through) is kept,
// in one more group after the digits, ordered by the same rules.
constexpr int kLetterBuckets = 36;
constexpr int kUnfiledBucket = 36;

// The registration key with its digits moved past 'Z'.
std::string MakeSortKey(const std::string& nameField);

// The bucket of an entry by its registration key.
int BucketOfKey(const std::string& registrationKey);

struct OrderResult {
    std::vector<Entry> entries;          // in the order cr.x is written
    std::vector<std::string> missing;    // folder text + name field, table order
    std::vector<std::string> unchecked;  // kept, though their lookup could not answer
};

// What a run cost, for benchmarks.
struct OrderStatistics {
    std::uint64_t textComparisons = 0;  // comparisons of key texts
    std::uint64_t rankComparisons = 0;  // comparisons of precomputed key ranks
};

// Runs the existence check (path = folder text + file name; only a Missing
// entry is dropped, an Unknown one is kept and listed), the bucketing and the
// sort, and reports the progress bar's position (0-100) as it goes:
// 0 before each of the three passes, then after every entry of the first two
// and after every letter bucket of the third. A position that works out below 0,
// or one with nothing left to count, is reported as 0.
OrderResult OrderEntries(std::vector<Entry> entries,
                         const std::function<Presence(const std::string& path)>& lookup,
                         const std::function<void(int percent)>& progress,
                         OrderStatistics* statistics = nullptr);

}  // namespace registrar
