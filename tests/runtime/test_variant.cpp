#include <gtest/gtest.h>

#include "runtime/Variant.h"

namespace corvale {
namespace {

TEST(VariantText, DoublesUseTheShortestTextThatReadsBack) {
  EXPECT_EQ(textOf(Variant(0.1)), "0.1");
  EXPECT_EQ(textOf(Variant(1.0 / 3.0)), "0.333333333333333");
  EXPECT_EQ(textOf(Variant(-2.5)), "-2.5");
  EXPECT_EQ(textOf(Variant(100.0)), "100");
  EXPECT_EQ(textOf(Variant(1e20)), "1E+20");
  EXPECT_EQ(textOf(Variant(0.00001)), "0.00001");
  EXPECT_EQ(textOf(Variant(0.000001)), "1E-06");
  EXPECT_EQ(textOf(Variant(123456789012345.0)), "123456789012345");
  EXPECT_EQ(textOf(Variant(1e15)), "1E+15");
}

}  // namespace
}  // namespace corvale
