#include "common/temporary_name.h"

#include <gtest/gtest.h>

namespace {

using temporary_name::ParseSuffix;

// Only a temporary's own shape names a writer: the clean-up deletes nothing else.
TEST(TemporaryName, ASuffixNamesItsWriterOnlyInTheTemporariesOwnShape) {
    const auto written = ParseSuffix(temporary_name::Suffix(4294967295ul, 7));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->processId, 4294967295ul);
    EXPECT_EQ(written->counter, 7ul);
    EXPECT_EQ(ParseSuffix(".TMP0012-0").value_or(temporary_name::Writer{}).processId, 12ul);  // without case
    for (const char* other : {"", ".tmp", ".tmp12", ".tmp12-", ".tmp-1", ".tmp12-1.bak", ".tmp12-1-2", ".tmpx12-1",
                              ".tmp+12-1", ".tmp4294967296-1", ".tmp99999999999-1", ".bak12-1", "x.tmp12-1"}) {
        EXPECT_FALSE(ParseSuffix(other)) << other;
    }
}

}  // namespace
