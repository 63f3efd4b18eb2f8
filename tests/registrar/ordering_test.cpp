#include "registrar/ordering.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "registrar/registration_names.h"
#include "tests/registrar/ordering_oracle.h"

namespace {

using registrar::Entry;

struct Ordered {
    std::vector<Entry> entries;
    std::vector<std::string> missing;
    std::vector<int> progress;
};

using FileExists = std::function<bool(const std::string&)>;

bool Everything(const std::string&) { return true; }

Ordered Shipped(const std::vector<Entry>& entries, const FileExists& exists = Everything) {
    Ordered out;
    const auto lookUp = [&](const std::string& path) { return exists(path) ? Presence::Present : Presence::Missing; };
    auto result = registrar::OrderEntries(entries, lookUp, [&](int percent) { out.progress.push_back(percent); });
    out.entries = std::move(result.entries);
    out.missing = std::move(result.missing);
    return out;
}

Ordered Literal(const std::vector<Entry>& entries, const FileExists& exists = Everything) {
    auto result = oracle::OrderEntriesLiterally(entries, exists);
    return {std::move(result.entries), std::move(result.missing), std::move(result.progress)};
}

std::vector<std::string> NameFields(const std::vector<Entry>& entries) {
    std::vector<std::string> names;
    for (const Entry& entry : entries) names.push_back(entry.nameField);
    return names;
}

// Every worked case must come out of the shipped version and of the old
// procedure alike: that also checks the reference itself.
class OrderingCases : public testing::TestWithParam<bool> {
protected:
    Ordered Order(const std::vector<Entry>& entries, const FileExists& exists = Everything) {
        return GetParam() ? Shipped(entries, exists) : Literal(entries, exists);
    }
};

TEST_P(OrderingCases, LettersFirstThenDigitsInEveryPosition) {
    EXPECT_EQ(NameFields(Order({{"zeta.exe", "C:\\"}, {"2go.exe", "C:\\"}, {"Alpha.exe", "C:\\"}, {"10x.exe", "C:\\"}})
                             .entries),
              (std::vector<std::string>{"Alpha.exe", "zeta.exe", "10x.exe", "2go.exe"}));
    EXPECT_EQ(NameFields(Order({{"ab.exe", "C:\\"}, {"a.exe", "C:\\"}}).entries),
              (std::vector<std::string>{"a.exe", "ab.exe"}));
    EXPECT_EQ(NameFields(Order({{"x\t\tA9", "C:\\"}, {"y\t\tAZ", "C:\\"}}).entries),
              (std::vector<std::string>{"y\t\tAZ", "x\t\tA9"}));
}

TEST_P(OrderingCases, EqualKeysLeaveInTheExchangeOrder) {
    const auto ordered = Order({{"one\t\tBB", "C:\\"}, {"two\t\tBB", "C:\\"}, {"three\t\tBA", "C:\\"}});
    EXPECT_EQ(NameFields(ordered.entries),
              (std::vector<std::string>{"three\t\tBA", "two\t\tBB", "one\t\tBB"}));
}

TEST_P(OrderingCases, DuplicatesByFolderAndFileNameIgnoringCase) {
    const auto ordered = Order({
        {"x.exe\t/first", "C:\\Tools\\"},
        {"X.EXE\t/second", "c:\\tools\\"},  // same file, other case
        {"x.exe", "D:\\Other\\"},           // same name, other folder
        {"app.exe\t\tRun1", "C:\\"},
        {"app.exe\t\tRun2", "C:\\"},        // same file under two names
        {"app.exe\t-q\tRun1", "C:\\"},      // same file, same name
        {"表.exe\t\tHyo", "C:\\ソ\\"},
        {"表.exe\t\tHyo", "C:\\ソ\\"},
    });
    EXPECT_EQ(ordered.entries, (std::vector<Entry>{
                                   {"表.exe\t\tHyo", "C:\\ソ\\"},
                                   {"app.exe\t\tRun1", "C:\\"},
                                   {"app.exe\t\tRun2", "C:\\"},
                                   {"x.exe\t/first", "C:\\Tools\\"},
                                   {"x.exe", "D:\\Other\\"},
                               }));
    EXPECT_TRUE(ordered.missing.empty());
}

TEST_P(OrderingCases, MissingFilesAreListedInTableOrder) {
    const std::set<std::string> gone = {"C:\\a\\b.exe", "C:\\a\\d.exe"};
    const auto exists = [&](const std::string& path) { return gone.count(path) == 0; };
    const auto ordered = Order({{"d.exe\t/x", "C:\\a\\"}, {"c.exe", "C:\\a\\"}, {"b.exe\t\tBee", "C:\\a\\"}}, exists);
    EXPECT_EQ(NameFields(ordered.entries), (std::vector<std::string>{"c.exe"}));
    EXPECT_EQ(ordered.missing, (std::vector<std::string>{"C:\\a\\d.exe\t/x", "C:\\a\\b.exe\t\tBee"}));
}

TEST_P(OrderingCases, ProgressRunsThroughThreePasses) {
    const auto exists = [](const std::string& path) { return path.find("gone") == std::string::npos; };
    const auto ordered = Order(
        {{"gone1.exe", "C:\\"}, {"b.exe", "C:\\"}, {"gone2.exe", "C:\\"}, {"a.exe", "C:\\"}, {"c.exe", "C:\\"}},
        exists);
    // Pass 1: the first entry is missing, position -1 of 4 shows as 0; b is 0 of 4;
    // the second missing entry steps back to 0 of 3; then 1 and 2 of 3.
    // Pass 2: 0, 1, 2 of 3. Pass 3: after each letter bucket.
    std::vector<int> expected = {0, 0, 0, 0, 33, 66, 0, 0, 33, 66, 0};
    for (int bucket = 0; bucket < 36; ++bucket) expected.push_back(bucket * 100 / 36);
    EXPECT_EQ(ordered.progress, expected);
}

TEST_P(OrderingCases, NothingLeftAfterTheExistenceCheck) {
    const auto none = [](const std::string&) { return false; };
    const auto ordered = Order({{"a.exe", "C:\\"}}, none);
    EXPECT_TRUE(ordered.entries.empty());
    ASSERT_GE(ordered.progress.size(), 3u);
    EXPECT_EQ(ordered.progress[1], 0);  // 0 entries left: nothing to divide by
    EXPECT_EQ(Order({}).progress.size(), 3u + 36u);
}

// Keys that the name checks would have refused are kept after the digits, in
// the same exchange order among themselves.
TEST_P(OrderingCases, UnfileableKeysComeLast) {
    const auto ordered = Order({
        {"b.exe\t1\t2\t3", "C:\\"},
        {"メモ帳.exe", "C:\\"},
        {"9.exe", "C:\\"},
        {"a.exe\t\t", "C:\\"},
        {"a.exe", "C:\\"},
    });
    EXPECT_EQ(NameFields(ordered.entries), (std::vector<std::string>{"a.exe", "9.exe", "b.exe\t1\t2\t3",
                                                                     "a.exe\t\t", "メモ帳.exe"}));
}

INSTANTIATE_TEST_SUITE_P(ShippedAndReference, OrderingCases, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Shipped") : std::string("Reference");
                         });

// Lists over tiny alphabets, so that equal keys, equal files in other letter
// cases, duplicates and missing files all come up often.
class RandomLists {
public:
    explicit RandomLists(unsigned seed) : random_(seed) {}

    std::vector<Entry> Next(std::size_t size) {
        std::vector<Entry> entries;
        for (std::size_t k = 0; k < size; ++k) entries.push_back(NextEntry());
        return entries;
    }

    std::set<std::string> MissingPaths(const std::vector<Entry>& entries) {
        std::set<std::string> missing;
        for (const Entry& entry : entries) {
            if (Pick(8) == 0) missing.insert(entry.folderText + registrar::FileNameOf(entry.nameField));
        }
        return missing;
    }

private:
    std::size_t Pick(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_); }

    std::string Key() {
        static const char* const kCharacters[] = {"a", "B", "b", "1", "2"};
        std::string key;
        const std::size_t length = 1 + Pick(3);
        for (std::size_t k = 0; k < length; ++k) key += kCharacters[Pick(5)];
        return key;
    }

    Entry NextEntry() {
        static const char* const kFolders[] = {"C:\\t\\", "c:\\T\\", "D:\\", "C:\\表\\"};
        static const char* const kExtensions[] = {".exe", ".EXE", ""};
        static const char* const kOptions[] = {"", "/a", "-b"};
        std::string fileName = Key() + kExtensions[Pick(3)];
        std::string nameField = fileName;
        const std::size_t form = Pick(10);
        if (form < 3) {
            nameField += std::string("\t") + kOptions[Pick(3)] + "\t" + Key();
        } else if (form < 5) {
            nameField += std::string("\t") + kOptions[1 + Pick(2)];
        } else if (form == 5) {
            nameField = "ﾒﾓ" + fileName;  // not fileable
        }
        return {nameField, kFolders[Pick(4)]};
    }

    std::mt19937 random_;
};

TEST(OrderingAgainstReference, ThousandsOfRandomListsComeOutAlike) {
    for (unsigned seed : {1u, 2u, 3u}) {
        RandomLists lists(seed);
        for (int round = 0; round < 1500; ++round) {
            const std::vector<Entry> entries = lists.Next(static_cast<std::size_t>(round % 61));
            const std::set<std::string> missing = lists.MissingPaths(entries);
            const auto exists = [&](const std::string& path) { return missing.count(path) == 0; };
            const Ordered shipped = Shipped(entries, exists);
            const Ordered literal = Literal(entries, exists);
            ASSERT_EQ(shipped.entries, literal.entries) << "seed " << seed << " round " << round;
            ASSERT_EQ(shipped.missing, literal.missing) << "seed " << seed << " round " << round;
            ASSERT_EQ(shipped.progress, literal.progress) << "seed " << seed << " round " << round;
        }
    }
}

TEST(OrderingAgainstReference, OneLetterInReverseOrderComesOutAlike) {
    std::vector<Entry> entries;
    for (int k = 300; k > 0; --k) {
        // Pairs of equal keys in other files, and every tenth one repeated.
        const std::string key = "K" + std::to_string(k / 2);
        entries.push_back({"f" + std::to_string(k) + ".exe\t\t" + key, "C:\\"});
        if (k % 10 == 0) entries.push_back({"F" + std::to_string(k) + ".EXE\t/x\t" + key, "c:\\"});
    }
    const Ordered shipped = Shipped(entries);
    EXPECT_EQ(shipped.entries, Literal(entries).entries);
    EXPECT_EQ(shipped.entries.size(), 300u);
}

TEST(OrderingAgainstReference, ShippedVersionStaysQuadraticAtWorst) {
    std::vector<Entry> entries;
    for (int k = 1000; k > 0; --k) entries.push_back({"x\t\tA" + std::to_string(1000 + k), "C:\\"});
    registrar::OrderStatistics statistics;
    registrar::OrderEntries(entries, nullptr, nullptr, &statistics);
    EXPECT_LE(statistics.rankComparisons, 1000u * 999u / 2u);
}

}  // namespace
