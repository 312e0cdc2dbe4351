#include <gtest/gtest.h>

#include <unicode/uloc.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/Text.h"

namespace corvale {
namespace {

TEST(BlankText, EmptyOrOnlySpacesIsBlank) {
  EXPECT_TRUE(isBlank(""));
  EXPECT_TRUE(isBlank(" "));
  EXPECT_TRUE(isBlank("     "));
}

TEST(BlankText, TabsNonBreakingSpacesAndLettersAreNotBlank) {
  EXPECT_FALSE(isBlank("\t"));
  EXPECT_FALSE(isBlank(" \t "));
  EXPECT_FALSE(isBlank("\xC2\xA0"));  // U+00A0
  EXPECT_FALSE(isBlank("  a  "));
  EXPECT_FALSE(isBlank(std::string(" \0 ", 3)));
}

TEST(CaseInsensitiveEquality, LetterCaseIsIgnoredAcrossScripts) {
  EXPECT_TRUE(equalsNoCase("Streets", "STREETS"));
  EXPECT_TRUE(equalsNoCase("shape", "Shape"));
  EXPECT_TRUE(equalsNoCase("École", "éCOLE"));
  EXPECT_TRUE(equalsNoCase("УЛИЦА", "улица"));
  EXPECT_TRUE(equalsNoCase("ΟΔΟΣ", "οδοσ"));
  EXPECT_TRUE(equalsNoCase("", ""));
}

TEST(CaseInsensitiveEquality, WholeTextsAreComparedUntrimmed) {
  EXPECT_FALSE(equalsNoCase("Streets ", "Streets"));
  EXPECT_FALSE(equalsNoCase(" Streets", "streets"));
  EXPECT_FALSE(equalsNoCase("Street", "Streets"));
  EXPECT_FALSE(equalsNoCase("Streets", ""));
}

TEST(CaseInsensitiveEquality, AccentsStillCount) {
  EXPECT_FALSE(equalsNoCase("Ecole", "École"));
  EXPECT_FALSE(equalsNoCase("Strasse", "Straße"));
}

TEST(CaseInsensitiveEquality, FoldingIsOneCodePointToOne) {
  // Full folding would make these equal; the simple one does not.
  EXPECT_FALSE(equalsNoCase("STRASSE", "straße"));
  EXPECT_TRUE(equalsNoCase("ǅ", "ǆ"));
}

TEST(CaseInsensitiveEquality, InvalidBytesCompareByTheirBytes) {
  EXPECT_TRUE(equalsNoCase("A\xFF", "a\xFF"));
  EXPECT_FALSE(equalsNoCase("A\xFF", "a\xFE"));
  EXPECT_FALSE(equalsNoCase("\xFF", "\xEF\xBF\xBD"));  // not the replacement character
}

TEST(UpperCase, MapsEachCharacterToOneUpperCaseCharacter) {
  EXPECT_EQ(upperCase("main st. 12b"), "MAIN ST. 12B");
  EXPECT_EQ(upperCase("école"), "ÉCOLE");
  EXPECT_EQ(upperCase("ленина"), "ЛЕНИНА");
  EXPECT_EQ(upperCase("straße"), "STRAßE");
  EXPECT_EQ(upperCase(""), "");
}

TEST(UpperCase, KeepsInvalidBytesAsTheyAre) {
  EXPECT_EQ(upperCase("a\xFF"
                      "b"),
            "A\xFF"
            "B");
  EXPECT_EQ(upperCase("\xC3"), "\xC3");  // a sequence cut short
}

TEST(CharacterCount, CountsCodePointsAndInvalidBytesAsOneEach) {
  EXPECT_EQ(characterCount(""), 0u);
  EXPECT_EQ(characterCount("abc"), 3u);
  EXPECT_EQ(characterCount("Straße"), 6u);
  EXPECT_EQ(characterCount("日本"), 2u);
  EXPECT_EQ(characterCount("a\xFF"
                           "b"),
            3u);
}

TEST(UpperPrefix, MatchesTheBeginningWithoutRegardToCase) {
  EXPECT_TRUE(upperStartsWith("Main Street", "MAIN"));
  EXPECT_TRUE(upperStartsWith("main street", "MAIN S"));
  EXPECT_TRUE(upperStartsWith("école", "ÉC"));
  EXPECT_TRUE(upperStartsWith("anything", ""));
  EXPECT_TRUE(upperStartsWith("Main", "MAIN"));
}

TEST(UpperPrefix, ATextShorterThanThePrefixNeverMatches) {
  EXPECT_FALSE(upperStartsWith("Mai", "MAIN"));
  EXPECT_FALSE(upperStartsWith("", "M"));
}

TEST(UpperPrefix, ComparesCharacterForCharacter) {
  EXPECT_FALSE(upperStartsWith("Elm", "ÉL"));
  EXPECT_FALSE(upperStartsWith(" Main", "MAIN"));
  EXPECT_FALSE(upperStartsWith("straße", "STRASS"));
  EXPECT_TRUE(upperStartsWith("straße", upperCase("straß")));
  EXPECT_TRUE(upperStartsWith("x\xFFy", "X\xFF"));
}

TEST(CollationOrder, IgnoresLetterCaseButNotAccents) {
  EXPECT_LT(Collation::compare("apple", "Banana"), 0);
  EXPECT_GT(Collation::compare("banana", "Apple"), 0);
  EXPECT_LT(Collation::compare("cote", "côte"), 0);
  EXPECT_LT(Collation::compare("côte", "cotf"), 0);  // the accent weighs less than a letter
}

TEST(CollationOrder, TextsThatCollateAlikeAreOrderedByTheirBytes) {
  EXPECT_LT(Collation::compare("Main", "main"), 0);
  EXPECT_GT(Collation::compare("main", "Main"), 0);
  EXPECT_EQ(Collation::compare("main", "main"), 0);
}

TEST(CollationOrder, SortIsAscendingWithTheBinaryTieBreak) {
  std::vector<std::string> names{"elm", "Oak", "école", "Elm",  "ash",
                                 "oak", "Ash", "zeta",  "ember"};
  Collation::sort(names);
  const std::vector<std::string> expected{"Ash",   "ash", "école", "Elm", "elm",
                                          "ember", "Oak", "oak",   "zeta"};
  EXPECT_EQ(names, expected);
}

TEST(CollationOrder, OrderNamesThePositionsOfTheSortedTexts) {
  const std::vector<std::string> names{"b", "A", "a", "C"};
  EXPECT_EQ(Collation::order(names), (std::vector<size_t>{1, 2, 0, 3}));
  EXPECT_TRUE(Collation::order({}).empty());
}

TEST(CollationOrder, SortAgreesWithCompare) {
  std::vector<std::string> names{"Zürich", "zurich",      "Zurich",      "Ürsel",
                                 "ursel",  "10 Main",     "9 Main",      "",
                                 " ",      "Main-Street", "Main Street", "\xFF\xFE"};
  Collation::sort(names);
  for (size_t i = 1; i < names.size(); ++i) {
    EXPECT_LT(Collation::compare(names[i - 1], names[i]), 0)
        << "'" << names[i - 1] << "' before '" << names[i] << "'";
  }
}

TEST(CollationOrder, ALargeSortSplitAcrossThreadsAgreesWithCompare) {
  // Long shared beginnings (beyond the keys' first bytes), case and accent
  // variants, texts that collate alike, invalid UTF-8 and the empty text.
  const std::vector<std::string> stems{"Thornwick Thornwick ",
                                       "thornwick thornwick ",
                                       "Thörnwick Thornwick ",
                                       "THORNWICK THORNWICK",
                                       "",
                                       "\xFF",
                                       "Ash",
                                       "ash"};
  std::vector<std::string> names;
  for (int i = 0; i < 30000; ++i) {
    names.push_back(stems[static_cast<size_t>(i) % stems.size()] +
                    std::to_string((i * 7919) % 5003));
  }
  std::vector<std::string> expected = names;
  std::sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
    return Collation::compare(a, b) < 0;
  });
  const std::vector<size_t> order = Collation::order(names);
  ASSERT_EQ(order.size(), names.size());
  std::vector<std::string> sorted;
  for (size_t position : order)
    sorted.push_back(names[position]);
  EXPECT_EQ(sorted, expected);
}

TEST(CollationOrder, SortKeysOfTextsDifferingOnlyInCaseAreEqual) {
  EXPECT_EQ(Collation::sortKey("MAIN street"), Collation::sortKey("main STREET"));
  EXPECT_NE(Collation::sortKey("cote"), Collation::sortKey("côte"));
}

TEST(CollationOrder, ThePosixLocaleCollatesByTheRootOrder) {
  const std::string before = uloc_getDefault();
  UErrorCode status = U_ZERO_ERROR;
  uloc_setDefault("en_US_POSIX", &status);
  EXPECT_EQ(Collation::localeName(), "root");
  uloc_setDefault("de_DE", &status);
  EXPECT_EQ(Collation::localeName(), "de_DE");
  uloc_setDefault(before.c_str(), &status);
  ASSERT_TRUE(U_SUCCESS(status));
}

}  // namespace
}  // namespace corvale
