#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "runtime/TextSet.h"

namespace corvale {
namespace {

using namespace std::string_literals;

TEST(TextSet, AddsATextOnceAndSaysWhetherItWasNew) {
  TextSet set;
  EXPECT_TRUE(set.insert("Main Street"));
  EXPECT_FALSE(set.insert("Main Street"));
  EXPECT_EQ(set.size(), 1u);
  EXPECT_TRUE(set.contains("Main Street"));
  EXPECT_FALSE(set.contains("Elm Road"));
}

TEST(TextSet, ComparesLetterCaseAndBlanksExactly) {
  TextSet set;
  for (const char* text : {"Main Street", "MAIN STREET", "Main Street ", " ", ""})
    EXPECT_TRUE(set.insert(text)) << text;
  EXPECT_EQ(set.size(), 5u);
  EXPECT_FALSE(set.contains("main street"));
  EXPECT_FALSE(set.contains("  "));
}

TEST(TextSet, HoldsTheEmptyTextAsAMember) {
  TextSet set;
  EXPECT_FALSE(set.contains(""));
  EXPECT_TRUE(set.insert(""));
  EXPECT_TRUE(set.contains(""));
  EXPECT_FALSE(set.insert(""));
}

TEST(TextSet, KeepsTextsLongerThanASlotHoldsByTheirWholeLength) {
  const std::string longer(200, 'x');
  std::string other = longer;
  other.back() = 'y';
  TextSet set;
  EXPECT_TRUE(set.insert(longer));
  EXPECT_TRUE(set.insert(other));
  EXPECT_FALSE(set.insert(std::string(200, 'x')));
  EXPECT_FALSE(set.contains(std::string(199, 'x')));
  EXPECT_TRUE(set.contains(other));
}

TEST(TextSet, TextsAtTheInlineLimitAndJustPastItAreTold) {
  TextSet set;
  const std::string at48(48, 'a'), at49(49, 'a');
  EXPECT_TRUE(set.insert(at48));
  EXPECT_TRUE(set.insert(at49));
  EXPECT_TRUE(set.contains(at48));
  EXPECT_TRUE(set.contains(at49));
  EXPECT_FALSE(set.contains(std::string(47, 'a')));
}

TEST(TextSet, NulBytesAreCharactersLikeAnyOther) {
  TextSet set;
  EXPECT_TRUE(set.insert("a\0b"s));
  EXPECT_TRUE(set.insert("a\0c"s));
  EXPECT_TRUE(set.insert("a"));
  EXPECT_EQ(set.size(), 3u);
  EXPECT_FALSE(set.insert(std::string_view("a\0b", 3)));
}

TEST(TextSet, FindsEveryTextAfterGrowingManyTimes) {
  TextSet set;
  constexpr int kTexts = 100000;
  for (int i = 0; i < kTexts; ++i) {
    // Short ones held in their slots and long ones kept aside, mixed.
    const std::string text =
        (i % 3 == 0 ? std::string(60, '#') : std::string()) + std::to_string(i);
    ASSERT_TRUE(set.insert(text)) << text;
  }
  EXPECT_EQ(set.size(), static_cast<size_t>(kTexts));
  for (int i = 0; i < kTexts; ++i) {
    const std::string text =
        (i % 3 == 0 ? std::string(60, '#') : std::string()) + std::to_string(i);
    ASSERT_FALSE(set.insert(text)) << text;
  }
  EXPECT_FALSE(set.contains(std::to_string(kTexts)));
  EXPECT_FALSE(set.contains(std::string(60, '#') + "1"));
  EXPECT_EQ(set.size(), static_cast<size_t>(kTexts));
}

}  // namespace
}  // namespace corvale
