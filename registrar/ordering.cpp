#include "registrar/ordering.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <utility>

#include "common/cp932.h"
#include "common/key_order.h"
#include "registrar/registration_names.h"

namespace registrar {

namespace {

// Position of the progress bar for `position` out of `count`, with integer
// division as the bar has always shown it.
int Percent(int position, int count) {
    if (count <= 0) return 0;
    const int percent = position * 100 / count;
    return percent < 0 ? 0 : percent;
}

// One entry as the sort sees it. Equal key texts have equal ranks, and ranks
// order like the key texts; equal duplicate ids mean the same folder and file
// name, letter case ignored.
struct SortSlot {
    int keyRank;
    int duplicateId;
    std::size_t entryIndex;
};

// The exchange sort, one bucket. The historic procedure scans for i the slots
// after i; a smaller key swaps with slot i and the scan restarts at i + 1, and an
// equal key of the same file is removed. After a swap every slot between i and
// the swapped one holds a key above the new one, so the restart finds nothing
// until it passes that slot: the scan may simply go on. Slot i thus takes each
// new smallest key in turn and leaves the one it held where that key was.
void SortBucket(std::vector<SortSlot>& slots, OrderStatistics* statistics) {
    for (std::size_t i = 0; i + 1 < slots.size(); ++i) {
        SortSlot held = slots[i];
        std::size_t kept = i + 1;  // duplicates are squeezed out as the scan goes
        for (std::size_t j = i + 1; j < slots.size(); ++j) {
            const SortSlot candidate = slots[j];
            if (statistics) ++statistics->rankComparisons;
            if (candidate.keyRank < held.keyRank) {
                slots[kept++] = held;
                held = candidate;
            } else if (candidate.keyRank == held.keyRank && candidate.duplicateId == held.duplicateId) {
                // Same key, same file: the later one goes.
            } else {
                slots[kept++] = candidate;
            }
        }
        slots.resize(kept);
        slots[i] = held;
    }
}

// Ranks of the sort keys: one text sort instead of text comparisons in the
// quadratic part.
std::vector<int> RankKeys(const std::vector<std::string>& sortKeys, OrderStatistics* statistics) {
    std::vector<std::size_t> order(sortKeys.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        if (statistics) ++statistics->textComparisons;
        return keys::CompareKeys(sortKeys[a], sortKeys[b]) < 0;
    });
    std::vector<int> ranks(sortKeys.size());
    int rank = -1;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (k == 0 || sortKeys[order[k]] != sortKeys[order[k - 1]]) ++rank;
        ranks[order[k]] = rank;
    }
    return ranks;
}

std::vector<int> DuplicateIds(const std::vector<Entry>& entries) {
    std::map<std::pair<std::string, std::string>, int> ids;
    std::vector<int> duplicateIds;
    duplicateIds.reserve(entries.size());
    for (const Entry& entry : entries) {
        auto identity = std::make_pair(cp932::ToUpperSingleByte(entry.folderText),
                                       cp932::ToUpperSingleByte(FileNameOf(entry.nameField)));
        const auto inserted = ids.emplace(std::move(identity), static_cast<int>(ids.size()));
        duplicateIds.push_back(inserted.first->second);
    }
    return duplicateIds;
}

}  // namespace

std::string MakeSortKey(const std::string& nameField) {
    return keys::ShiftDigits(MakeRegistrationKey(nameField));
}

int BucketOfKey(const std::string& registrationKey) {
    if (!IsValidRegistrationKey(registrationKey)) return kUnfiledBucket;
    return keys::LetterIndex(registrationKey[0]);
}

OrderResult OrderEntries(std::vector<Entry> entries,
                         const std::function<Presence(const std::string& path)>& lookup,
                         const std::function<void(int percent)>& progress,
                         OrderStatistics* statistics) {
    const auto show = [&](int percent) {
        if (progress) progress(percent);
    };
    OrderResult result;

    // Existence. The bar follows the position in the shrinking table: after a
    // removal the position has stepped back by one.
    show(0);
    std::vector<Entry> present;
    present.reserve(entries.size());
    int remaining = static_cast<int>(entries.size());
    for (Entry& entry : entries) {
        const int position = static_cast<int>(present.size());
        const Presence presence = lookup ? lookup(entry.folderText + FileNameOf(entry.nameField)) : Presence::Present;
        if (presence == Presence::Unknown) result.unchecked.push_back(entry.folderText + entry.nameField);
        if (presence != Presence::Missing) {
            present.push_back(std::move(entry));
            show(Percent(position, remaining));
        } else {
            result.missing.push_back(entry.folderText + entry.nameField);
            --remaining;
            show(Percent(position - 1, remaining));
        }
    }

    // Bucketing, in table order.
    show(0);
    std::vector<std::string> sortKeys;
    sortKeys.reserve(present.size());
    std::vector<int> buckets;
    buckets.reserve(present.size());
    for (std::size_t i = 0; i < present.size(); ++i) {
        const std::string key = MakeRegistrationKey(present[i].nameField);
        buckets.push_back(BucketOfKey(key));
        sortKeys.push_back(keys::ShiftDigits(key));
        show(Percent(static_cast<int>(i), static_cast<int>(present.size())));
    }
    const std::vector<int> ranks = RankKeys(sortKeys, statistics);
    const std::vector<int> duplicateIds = DuplicateIds(present);
    std::vector<std::vector<SortSlot>> slots(kUnfiledBucket + 1);
    for (std::size_t i = 0; i < present.size(); ++i) {
        slots[buckets[i]].push_back({ranks[i], duplicateIds[i], i});
    }

    // Sorting bucket by bucket, then writing back in bucket order.
    show(0);
    for (int bucket = 0; bucket <= kUnfiledBucket; ++bucket) {
        SortBucket(slots[bucket], statistics);
        for (const SortSlot& slot : slots[bucket]) result.entries.push_back(std::move(present[slot.entryIndex]));
        if (bucket < kLetterBuckets) show(Percent(bucket, kLetterBuckets));
    }
    return result;
}

}  // namespace registrar
