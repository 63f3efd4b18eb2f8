// The registrar's historic ordering, step by step as it was first written:
// a quadratic-to-cubic exchange sort with restarts. Kept only to check that the
// shipped OrderEntries leaves exactly the same table.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "registrar/registration_file.h"

namespace oracle {

struct LiteralOrderResult {
    std::vector<registrar::Entry> entries;
    std::vector<std::string> missing;
    std::vector<int> progress;          // every position the bar was set to
    std::uint64_t keyComparisons = 0;   // CompareKeys calls on sort keys
};

// Entries whose key is not valid go to one extra bucket after the digits, as
// the shipped version does; everything else is the old procedure as it stands.
LiteralOrderResult OrderEntriesLiterally(std::vector<registrar::Entry> entries,
                                         const std::function<bool(const std::string& path)>& fileExists);

}  // namespace oracle
