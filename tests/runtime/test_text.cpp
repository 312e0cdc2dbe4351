#include <gtest/gtest.h>

#include <unicode/uchar.h>
#include <unicode/uloc.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <random>
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

/**
 * Whether the text begins with the prefix, decided on the whole text upper-cased
 * at once: the definition that the character-by-character search must agree with.
 */
bool beginsWhenWhollyUpperCased(std::string_view text, const std::string& prefix) {
  const std::string whole = upperCase(text);
  if (whole.compare(0, prefix.size(), prefix) != 0) return false;
  // ...and the prefix ends where a character ends.
  return whole.size() == prefix.size() ||
         (static_cast<unsigned char>(whole[prefix.size()]) & 0xC0) != 0x80;
}

/// Texts where the ASCII bytes and the decoded characters meet: where a fast path can go wrong.
const std::vector<std::string> kPrefixSweepTexts{
    "Main Street",  "main street 2", "MAIN-street",   "Straße 5",  "STRASSE",  "Stra\xFF"
    "ße",           "École 10",      "ecole",         " Main",     "9 Main",   "ıstanbul",
    "Istanbul",     "Zürich",        "zurich",        "улица 1",   "УЛИЦА",    "a\xFF",
    "A\xFF" "b",    "\xF0\x90\x90\xA8x", "Main\xC3\xA9", "MainÉ", "",       "m",
    // Longer than a word of eight bytes: letters around 'a', 'z', 'A', 'Z', '@', '[', '`', '{'
    // and a character beyond ASCII after the first word.
    "Main Streets Ärzte", "MAIN STREETS ärzte", "main streets az{`@[ZA", "MAIN STREETS AZ{`@[ZA",
    "Main Streez", "Street 0499999", "street 0499998"};

/// The search agrees with the whole-text definition on every prefix of every text, upper-cased or not.
void expectPrefixSearchAgreesWithWholeUpperCase() {
  int matches = 0, misses = 0;
  for (const std::string& source : kPrefixSweepTexts) {
    for (size_t cut = 0; cut <= source.size(); ++cut) {
      if (cut < source.size() && (static_cast<unsigned char>(source[cut]) & 0xC0) == 0x80) continue;
      const std::string raw = source.substr(0, cut);
      for (const std::string& prefix : {upperCase(raw), raw}) {
        for (const std::string& text : kPrefixSweepTexts) {
          const bool expected = beginsWhenWhollyUpperCased(text, prefix);
          EXPECT_EQ(upperStartsWith(text, prefix), expected) << "\"" << text << "\" begins with \"" << prefix << "\"";
          ++(expected ? matches : misses);
        }
      }
    }
  }
  EXPECT_GT(matches, 100);
  EXPECT_GT(misses, 1000);
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

TEST(UpperPrefix, AgreesWithTheWholeTextUpperCasedOnEveryPrefix) {
  expectPrefixSearchAgreesWithWholeUpperCase();
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
    // Two texts whose keys are longer than the blocks keys are kept in, alike
    // but for their last letter (whose case puts them the other way round in
    // byte order), one in each half.
    if (i == 3 || i == 29000) {
      std::string longText;
      for (int k = 0; k < 10000; ++k)
        longText += "Thornwick ";
      names.push_back(longText + (i == 3 ? "B" : "a"));
    }
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

TEST(TextWalking, CharactersAndUpperCaseAgreeWithIcuOnRandomBytes) {
  // The component walks UTF-8 itself; ICU's U8_NEXT and u_toupper are the
  // reference: ill-formed sequences count as one character per maximal
  // subpart and keep their bytes, every character maps to one.
  const std::vector<std::string> pieces{"a",  "z",        "\xC3\xA9", "\xC3\x9F", "\xE6\x97\xA5",
                                        "\xF0\x90\x90\xA8", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                        "\xC0\x80", "\xE0\x80\x80", "\xF0\x80\x80\x80", "\xC7\x85"};
  std::mt19937 random(3);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int k = static_cast<int>(random() % 6); k > 0; --k) {
      if (random() % 3 == 0) {
        text += static_cast<char>(random() % 256);
      } else {
        const std::string& piece = pieces[random() % pieces.size()];
        text += piece.substr(0, 1 + random() % piece.size());  // whole or cut short
      }
    }
    size_t count = 0;
    std::string upper;
    int32_t i = 0;
    const auto n = static_cast<int32_t>(text.size());
    while (i < n) {
      const int32_t start = i;
      UChar32 c;
      U8_NEXT(reinterpret_cast<const uint8_t*>(text.data()), i, n, c);
      ++count;
      if (c < 0) {
        upper.append(text, static_cast<size_t>(start), static_cast<size_t>(i - start));
      } else {
        char buffer[U8_MAX_LENGTH];
        int32_t length = 0;
        U8_APPEND_UNSAFE(reinterpret_cast<uint8_t*>(buffer), length, u_toupper(c));
        upper.append(buffer, static_cast<size_t>(length));
      }
    }
    ASSERT_EQ(characterCount(text), count) << ::testing::PrintToString(text);
    ASSERT_EQ(upperCase(text), upper) << ::testing::PrintToString(text);
    ASSERT_TRUE(equalsNoCase(text, upper)) << ::testing::PrintToString(text);
    ASSERT_TRUE(upperStartsWith(text, upper)) << ::testing::PrintToString(text);
  }
}

TEST(SystemCodePage, OnLinuxTheCodePageIsUtf8AndBytesPassUnchanged) {
  for (const std::string& text :
       std::vector<std::string>{"", "Rue de l'\xC3\x89glise", "\xE6\x97\xA5\xE6\x9C\xAC", "caf\xE9",
                                std::string("a\0b", 3)}) {
    EXPECT_EQ(toSystemCodePage(text), text);
    EXPECT_EQ(fromSystemCodePage(text), text);
  }
}

}  // namespace
}  // namespace corvale
