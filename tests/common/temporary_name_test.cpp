#include "common/temporary_name.h"

#include <gtest/gtest.h>

namespace {

struct SuffixCase {
    const char* suffix;
    bool parses;
    unsigned long processId;
    unsigned long counter;
};

// Only a temporary's own shape names a writer; the cleanup deletes nothing else.
const SuffixCase kSuffixes[] = {
    {".tmp1234-1", true, 1234, 1},
    {".TMP1234-22", true, 1234, 22},             // names compare without case
    {".tmp4294967295-4294967295", true, 4294967295ul, 4294967295ul},
    {".tmp0012-007", true, 12, 7},
    {".tmp", false, 0, 0},
    {".tmp1234", false, 0, 0},                   // no counter
    {".tmp1234-", false, 0, 0},                  // empty counter
    {".tmp-1", false, 0, 0},                     // empty id
    {".tmp1234-1.bak", false, 0, 0},             // more after the counter
    {".tmp1234-1-2", false, 0, 0},
    {".tmpx1234-1", false, 0, 0},                // letters in the id
    {".tmp+12-1", false, 0, 0},
    {".tmp4294967296-1", false, 0, 0},           // beyond 32 bits
    {".tmp99999999999-1", false, 0, 0},          // more than ten digits
    {".bak1234-1", false, 0, 0},
    {"x.tmp1234-1", false, 0, 0},                // another file's temporary
    {"", false, 0, 0},
};

TEST(TemporaryName, SuffixParsesOnlyTheTemporariesOwnShape) {
    for (const SuffixCase& row : kSuffixes) {
        SCOPED_TRACE(row.suffix);
        const auto writer = temporary_name::ParseSuffix(row.suffix);
        ASSERT_EQ(writer.has_value(), row.parses);
        if (!writer) continue;
        EXPECT_EQ(writer->processId, row.processId);
        EXPECT_EQ(writer->counter, row.counter);
    }
}

TEST(TemporaryName, WhatIsWrittenReadsBack) {
    EXPECT_EQ(temporary_name::Suffix(4321, 9), ".tmp4321-9");
    const auto writer = temporary_name::ParseSuffix(temporary_name::Suffix(4294967295ul, 0));
    ASSERT_TRUE(writer.has_value());
    EXPECT_EQ(writer->processId, 4294967295ul);
    EXPECT_EQ(writer->counter, 0ul);
}

}  // namespace
