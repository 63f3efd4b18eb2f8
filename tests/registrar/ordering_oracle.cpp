#include "tests/registrar/ordering_oracle.h"

#include "common/cp932.h"
#include "common/key_order.h"
#include "registrar/registration_names.h"

namespace oracle {

namespace {

struct Slot {
    std::string sortKey;
    std::string nameField;
    std::string folderText;
};

int BarPosition(int i, int count) {
    if (count == 0) return 0;
    const int position = i * 100 / count;
    return position < 0 ? 0 : position;
}

}  // namespace

LiteralOrderResult OrderEntriesLiterally(std::vector<registrar::Entry> table,
                                         const std::function<bool(const std::string& path)>& fileExists) {
    using registrar::FileNameOf;
    LiteralOrderResult result;
    int count = static_cast<int>(table.size());
    result.progress.reserve(2 * table.size() + 40);

    // Pass 1, existence.
    result.progress.push_back(0);
    for (int i = 0; i < count; ++i) {
        const std::string path = table[i].folderText + FileNameOf(table[i].nameField);
        if (!fileExists(path)) {
            result.missing.push_back(table[i].folderText + table[i].nameField);
            for (int k = i; k < count - 1; ++k) table[k] = table[k + 1];
            --count;
            --i;
        }
        result.progress.push_back(BarPosition(i, count));
    }

    // Pass 2, bucketing.
    constexpr int kBuckets = 37;
    // Every bucket has room for all entries, as the fixed tables had; the room
    // is made when a bucket gets its first entry.
    std::vector<std::vector<Slot>> bucket(kBuckets);
    int bucketCount[kBuckets] = {};
    result.progress.push_back(0);
    for (int i = 0; i < count; ++i) {
        const std::string key = registrar::MakeRegistrationKey(table[i].nameField);
        const std::string sortKey = keys::ShiftDigits(key);
        const int b = registrar::IsValidRegistrationKey(key) ? static_cast<unsigned char>(sortKey[0]) - 0x41 : 36;
        if (bucket[b].empty()) bucket[b].resize(count);
        bucket[b][bucketCount[b]] = {sortKey, table[i].nameField, table[i].folderText};
        ++bucketCount[b];
        result.progress.push_back(BarPosition(i, count));
    }

    // Pass 3, exchange sort with restarts and duplicate removal.
    result.progress.push_back(0);
    for (int b = 0; b < kBuckets; ++b) {
        std::vector<Slot>& slot = bucket[b];
        int n = bucketCount[b];
        for (int i = 0; i < n - 1; ++i) {
            for (int j = i + 1; j < n;) {
                ++result.keyComparisons;
                const int r = keys::CompareKeys(slot[i].sortKey, slot[j].sortKey);
                if (r == 0) {
                    const bool sameFolder = keys::CompareKeys(cp932::ToUpperSingleByte(slot[i].folderText),
                                                              cp932::ToUpperSingleByte(slot[j].folderText)) == 0;
                    const bool sameFile =
                        sameFolder && keys::CompareKeys(cp932::ToUpperSingleByte(FileNameOf(slot[i].nameField)),
                                                        cp932::ToUpperSingleByte(FileNameOf(slot[j].nameField))) == 0;
                    if (sameFile) {
                        for (int k = j; k < n - 1; ++k) slot[k] = slot[k + 1];
                        --n;
                        continue;
                    }
                    ++j;
                } else if (r == 1) {
                    std::swap(slot[i], slot[j]);
                    j = i + 1;
                } else {
                    ++j;
                }
            }
        }
        bucketCount[b] = n;
        if (b < 36) result.progress.push_back(b * 100 / 36);
    }

    // Pass 4, write-back.
    for (int b = 0; b < kBuckets; ++b) {
        for (int k = 0; k < bucketCount[b]; ++k) result.entries.push_back({bucket[b][k].nameField, bucket[b][k].folderText});
    }
    return result;
}

}  // namespace oracle
