// CIdGenerator: MD5 of the GUID bytes, as 32 lower-case hex digits.
#include "app/IdGenerator.h"

#include "base/BinaryId.h"

#include <gtest/gtest.h>

TEST(IdGeneratorTest, IdIsTheMd5OfTheGuidBytes) {
    // MD5 of sixteen zero bytes.
    const std::uint8_t zeros[16] = {};
    EXPECT_EQ(CIdGenerator::FromGuidBytes(zeros), "4ae71336e44bf9bf79d2752e234818a5");
}

TEST(IdGeneratorTest, NewIdsAreWellFormedAndDistinct) {
    const std::string a = CIdGenerator().GetText();
    const std::string b = CIdGenerator().GetText();
    EXPECT_TRUE(CBinaryId::IsWellFormedText(a));
    EXPECT_TRUE(CBinaryId::IsWellFormedText(b));
    EXPECT_NE(a, b);
}
