#include "records/number_keys.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velm {
namespace {

// Two numbers share a key exactly when they compare equal as floats.
TEST(NumberKeys, EqualNumbersShareAKey)
{
    struct Case {
        float a;
        float b;
    };
    const Case cases[] = {
        {0.0f, -0.0f},        {10101.0f, 10101.0f}, {10101.0f, std::nextafter(10101.0f, 20000.0f)},
        {10101.1f, 10101.2f}, {-5.0f, 5.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.a << " and " << c.b);
        EXPECT_EQ(number_key(c.a) == number_key(c.b), c.a == c.b);
    }
}

TEST(NumberKeys, PairKeyKeepsTheDirectionOfTheLink)
{
    EXPECT_EQ(node_pair_key(10101.0f, 10102.0f), node_pair_key(10101.0f, 10102.0f));
    EXPECT_EQ(node_pair_key(-0.0f, 10102.0f), node_pair_key(0.0f, 10102.0f));
    EXPECT_NE(node_pair_key(10101.0f, 10102.0f), node_pair_key(10102.0f, 10101.0f));
}

}  // namespace
}  // namespace velm
