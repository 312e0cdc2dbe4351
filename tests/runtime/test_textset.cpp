#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

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
  // Grown from its first size, made room for before any text, and made room
  // for again half-way (moving the texts already in).
  for (const int room : {0, 100000, -1}) {
    SCOPED_TRACE("room " + std::to_string(room));
    TextSet set;
    if (room > 0) set.reserve(static_cast<size_t>(room));
    constexpr int kTexts = 100000;
    for (int i = 0; i < kTexts; ++i) {
      if (room < 0 && i == kTexts / 2) set.reserve(kTexts * 2);
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
}

TEST(TextSet, TellsTextsApartByEveryByteAtEveryLength) {
  // Texts of 0 to 40 bytes that differ from a base text in one byte only, at
  // every position: the hash reads words and a tail, so each position is a
  // different case (a word's start and end, the overlapping last word).
  TextSet set;
  size_t added = 0;
  for (size_t size = 0; size <= 40; ++size) {
    const std::string base(size, 'a');
    added += set.insert(base);
    for (size_t at = 0; at < size; ++at) {
      std::string changed = base;
      changed[at] = 'b';
      ASSERT_TRUE(set.insert(changed)) << size << " " << at;
      ++added;
    }
  }
  EXPECT_EQ(set.size(), added);
  for (size_t size = 0; size <= 40; ++size) {
    EXPECT_FALSE(set.insert(std::string(size, 'a'))) << size;
  }
}

TEST(TextSet, StreetNamesSpreadOverTheSlots) {
  // A distinct-value read of a large street layer: 100,000 names made of
  // like words, each looked up ten times. With the set at most half full, a
  // hash that spreads them well lets nearly every look-up end at its first
  // slot; a weak one (one that overlooks the tail, or files names by their
  // first word) makes long runs of probes. Counted, not timed.
  const char* words[] = {"Ashford", "Cedarhill", "Elderhill", "Glenwood", "Hollywood",
                         "Juniperwood", "Thornwick", "Maple", "Oakridge", "Willow"};
  const char* kinds[] = {" Street", " Road", " Mews", " Crescent", " Lane"};
  std::vector<std::string> names;
  for (int i = 0; i < 100000; ++i) {
    names.push_back(std::string(words[i % 10]) + " " + words[(i / 10) % 10] + kinds[(i / 100) % 5] +
                    " " + std::to_string(i / 500));
  }
  TextSet set;
  size_t lookups = 0;
  for (int round = 0; round < 10; ++round) {
    for (const std::string& name : names) {
      EXPECT_EQ(set.insert(name), round == 0);
      ++lookups;
    }
  }
  EXPECT_EQ(set.size(), names.size());
  EXPECT_LT(static_cast<double>(set.extraProbes()) / static_cast<double>(lookups), 0.6);
  EXPECT_LT(static_cast<double>(set.collisions()) / static_cast<double>(lookups), 0.4);
}

}  // namespace
}  // namespace corvale
