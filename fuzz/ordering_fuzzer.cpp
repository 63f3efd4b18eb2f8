// The commit's ordering for the entries the registrar reads from the input as
// cr.x. A path holding '?' (which no Windows path can) counts as a file that
// no longer exists; every other path exists.
//
// Invariants: the missing list is exactly the entries with such a path, in
// table order; the result is a permutation of the remaining entries minus
// duplicates (same key, same folder and file name with letter case ignored),
// of which the first in table order survives; the result is sorted by bucket
// and then by sort key; progress stays within 0-100; and for small tables the
// result, the missing list and every progress position equal the historic
// procedure's.
#include <algorithm>
#include <map>
#include <tuple>

#include "common/cp932.h"
#include "common/key_order.h"
#include "fuzz_support.h"
#include "registrar/ordering.h"
#include "registrar/registration_file.h"
#include "registrar/registration_names.h"
#include "tests/registrar/ordering_oracle.h"

namespace {

using registrar::Entry;

// The historic procedure is cubic in the worst case: some 5000 key comparisons
// for 32 entries under one letter, but 350,000 for 128. Every ordering case it
// pins down (equal keys, duplicates, restarts, missing files) shows in a few
// entries already.
constexpr std::size_t kOracleLimit = 32;

// '?' in a path marks a file that is gone, '*' one whose lookup cannot answer.
Presence LookUp(const std::string& path) {
    if (path.find('?') != std::string::npos) return Presence::Missing;
    return path.find('*') != std::string::npos ? Presence::Unknown : Presence::Present;
}

bool FileExists(const std::string& path) { return LookUp(path) != Presence::Missing; }

std::string PathOf(const Entry& entry) { return entry.folderText + registrar::FileNameOf(entry.nameField); }

// Two entries are the same registration when the sort compares them as equal
// keys of one bucket. The bucket counts: a key that is not valid (a lone
// backslash, say) waits in the bucket of its own and never meets the digit 1,
// although the two have the same sort key.
using Identity = std::tuple<int, std::string, std::string, std::string>;

Identity IdentityOf(const Entry& entry) {
    return {registrar::BucketOfKey(registrar::MakeRegistrationKey(entry.nameField)),
            registrar::MakeSortKey(entry.nameField), cp932::ToUpperSingleByte(entry.folderText),
            cp932::ToUpperSingleByte(registrar::FileNameOf(entry.nameField))};
}

bool EntryLess(const Entry& a, const Entry& b) {
    return std::tie(a.folderText, a.nameField) < std::tie(b.folderText, b.nameField);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<Entry> table = registrar::ParseRegistrationFile(fuzz::BytesOf(data, size));

    std::vector<int> progress;
    progress.reserve(2 * table.size() + 40);  // per entry in two passes, then per letter
    const registrar::OrderResult result =
        registrar::OrderEntries(table, LookUp, [&](int percent) { progress.push_back(percent); });

    std::vector<std::string> expectedMissing;
    std::vector<std::string> expectedUnchecked;
    std::vector<Entry> expectedSurvivors;
    std::map<Identity, bool> seen;
    for (const Entry& entry : table) {
        if (LookUp(PathOf(entry)) == Presence::Unknown) expectedUnchecked.push_back(entry.folderText + entry.nameField);
        if (!FileExists(PathOf(entry))) {
            expectedMissing.push_back(entry.folderText + entry.nameField);
        } else if (seen.emplace(IdentityOf(entry), true).second) {
            expectedSurvivors.push_back(entry);
        }
    }
    FUZZ_CHECK(result.missing == expectedMissing);
    FUZZ_CHECK(result.unchecked == expectedUnchecked);

    std::vector<Entry> sortedResult = result.entries;
    std::sort(sortedResult.begin(), sortedResult.end(), EntryLess);
    std::sort(expectedSurvivors.begin(), expectedSurvivors.end(), EntryLess);
    FUZZ_CHECK(sortedResult == expectedSurvivors);

    int bucketBefore = -1;
    std::string sortKeyBefore;
    for (const Entry& entry : result.entries) {
        const std::string key = registrar::MakeRegistrationKey(entry.nameField);
        const int bucket = registrar::BucketOfKey(key);
        std::string sortKey = keys::ShiftDigits(key);
        FUZZ_CHECK(bucketBefore <= bucket);
        if (bucketBefore == bucket) FUZZ_CHECK(keys::CompareKeys(sortKeyBefore, sortKey) <= 0);
        bucketBefore = bucket;
        sortKeyBefore = std::move(sortKey);
    }

    FUZZ_CHECK(!progress.empty() && progress.front() == 0);
    for (int percent : progress) FUZZ_CHECK(percent >= 0 && percent <= 100);

    if (table.size() <= kOracleLimit) {
        const oracle::LiteralOrderResult literal = oracle::OrderEntriesLiterally(table, FileExists);
        FUZZ_CHECK(result.entries == literal.entries);
        FUZZ_CHECK(result.missing == literal.missing);
        FUZZ_CHECK(progress == literal.progress);
    }
    return 0;
}
