#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "runtime/Text.h"
#include "runtime/TextList.h"

// The text rules on the Windows NLS API, as the search window's list and
// "Go" use them.

namespace corvale {
namespace {

/// The names in the order of a sorted list.
std::vector<std::string> listOrder(const std::vector<std::string>& names) {
  TextList list(true);
  for (const std::string& name : names)
    list.append(name);
  return list.entries();
}

/// What "Go" selects: the first entry in list order that begins with the text.
std::optional<std::string> go(const std::vector<std::string>& names, const std::string& text) {
  TextList list(true);
  for (const std::string& name : names)
    list.append(name);
  const std::string upper = upperCase(text);
  for (int32_t i = 0; i < list.count(); ++i) {
    if (upperStartsWith(list.item(i), upper)) return list.item(i);
  }
  return std::nullopt;
}

const std::vector<std::string> kNames{
    "main street", "Main Street", "MAIN STREET", "Main-Zoo", "Mainstreet", "Elm",      "elm",
    "Élysée",      "Ecole",       "École",       "école",    "Eclair",     "Straße",   "Strasse",
    "Strasst",     "10 Main",     "9 Main",      "2nd Avenue", " Main",    "  Oak",    "Oak",
    "Ärzteweg",    "Arzt",        "Zürich",      "Zurich",   "Ørsted",     "Orsted",   "Co-op",
    "Coop",        "Cook"};

TEST(NlsListOrder, CaseTwinsAccentsSharpSDigitsAndLeadingBlanks) {
  // The order under the NLS word sort of the user's locale. It agrees with
  // ICU's secondary-strength order on every name here but those with a
  // hyphen: the word sort weighs a hyphen only after the letters, so "Co-op"
  // sorts just after "Coop" (both after "Cook") and "Main-Zoo" as "MainZoo"
  // after "Mainstreet". ICU puts a hyphen before every letter: "Co-op",
  // "Cook", "Coop" and "Main-Zoo", "Mainstreet".
  const std::vector<std::string> expected{
      "  Oak",   " Main", "10 Main", "2nd Avenue", "9 Main",      "Arzt",        "Ärzteweg",
      "Cook",    "Coop",     "Co-op",    "Eclair",     "Ecole",       "École",       "école",
      "Elm",     "elm",      "Élysée",  "MAIN STREET", "Main Street", "main street", "Mainstreet",
      "Main-Zoo", "Oak",     "Orsted",  "Ørsted",     "Strasse",     "Straße",      "Strasst",
      "Zurich",  "Zürich"};
  EXPECT_EQ(listOrder(kNames), expected);
}

TEST(NlsListOrder, KeysAndComparisonAgreeAndTwinsBreakTiesByBytes) {
  // Sorting by keys and comparing two texts directly must give one order;
  // a random mix of the names' pieces sweeps it.
  const std::vector<std::string> pieces{"a", "A", "é", "É", "ß", "ss", " ", "-", "1", "9",
                                        "z", "Z", "ö", "o", "日", "\xFF", "'"};
  std::mt19937 random(1);
  std::vector<std::string> texts{""};
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    for (int k = static_cast<int>(random() % 6); k > 0; --k)
      text += pieces[random() % pieces.size()];
    texts.push_back(text);
  }
  const std::vector<size_t> order = Collation::order(texts);
  for (size_t k = 1; k < order.size(); ++k) {
    const std::string& a = texts[order[k - 1]];
    const std::string& b = texts[order[k]];
    ASSERT_LE(Collation::compare(a, b), 0) << "'" << a << "' before '" << b << "'";
    if (a != b) {
      ASSERT_LT(Collation::compare(a, b), 0) << "'" << a << "' / '" << b << "'";
    }
  }
  EXPECT_EQ(Collation::sortKey("MAIN street"), Collation::sortKey("main STREET"));
  EXPECT_NE(Collation::sortKey("cote"), Collation::sortKey("côte"));
  EXPECT_LT(Collation::compare("Main", "main"), 0);
  EXPECT_LT(Collation::compare("cote", "côte"), 0);
  EXPECT_LT(Collation::compare("côte", "cotf"), 0);
}

TEST(NlsListOrder, ALargeListIsSortedAcrossThreadsAsCompareOrdersIt) {
  std::vector<std::string> names;
  for (int i = 0; i < 25000; ++i) {
    names.push_back(kNames[static_cast<size_t>(i) % kNames.size()] + " " +
                    std::to_string((i * 7919) % 4001));
  }
  std::vector<std::string> expected = names;
  std::stable_sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
    return Collation::compare(a, b) < 0;
  });
  EXPECT_EQ(listOrder(names), expected);
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

TEST(NlsGo, SelectsTheFirstNameThatBeginsWithTheTextInUpperCase) {
  EXPECT_EQ(go(kNames, "main s"), "MAIN STREET");  // the first of the case twins
  EXPECT_EQ(go(kNames, "MAINS"), "Mainstreet");
  EXPECT_EQ(go(kNames, "éc"), "École");
  EXPECT_EQ(go(kNames, "ec"), "Eclair");           // accents count
  EXPECT_EQ(go(kNames, "straß"), "Straße");
  EXPECT_EQ(go(kNames, "strass"), "Strasse");      // ß is one character, not "SS"
  EXPECT_EQ(go(kNames, " "), "  Oak");
  EXPECT_EQ(go(kNames, " m"), " Main");
  EXPECT_EQ(go(kNames, "9"), "9 Main");
  EXPECT_EQ(go(kNames, "zür"), "Zürich");
  EXPECT_EQ(go(kNames, "ø"), "Ørsted");
  EXPECT_EQ(go(kNames, "main street "), std::nullopt);  // longer than every entry it begins
  EXPECT_EQ(go(kNames, "street"), std::nullopt);        // inside, not at the beginning
}

TEST(NlsGo, ThePrefixSearchAgreesWithTheWholeTextUpperCased) {
  expectPrefixSearchAgreesWithWholeUpperCase();
}

TEST(NlsCase, UpperCaseAndEqualityMapOneCharacterToOne) {
  EXPECT_EQ(upperCase("main st. 12b"), "MAIN ST. 12B");
  // Final sigma is left out: Wine maps no upper case to it, ICU gives Σ.
  EXPECT_EQ(upperCase("école ñandú ленина οδόσ"), "ÉCOLE ÑANDÚ ЛЕНИНА ΟΔΌΣ");
  EXPECT_EQ(upperCase("straße"), "STRAßE");
  EXPECT_EQ(upperCase("a\xFF" "b"), "A\xFF" "B");
  EXPECT_EQ(upperCase("\xF0\x90\x90\xA8"), "\xF0\x90\x90\x80");  // U+10428 beyond the BMP
  EXPECT_TRUE(equalsNoCase("École", "éCOLE"));
  EXPECT_TRUE(equalsNoCase("УЛИЦА", "улица"));
  EXPECT_TRUE(equalsNoCase("shape", "SHAPE"));
  EXPECT_FALSE(equalsNoCase("Ecole", "École"));
  EXPECT_FALSE(equalsNoCase("STRASSE", "straße"));
  EXPECT_FALSE(equalsNoCase("Streets ", "Streets"));
  EXPECT_TRUE(upperStartsWith("école", "ÉC"));
  EXPECT_FALSE(upperStartsWith("Elm", "ÉL"));
}

/// The tests of the ANSI code page assume Wine's default, Windows-1252.
bool ansiIs1252() { return GetACP() == 1252; }

TEST(NlsCodePage, CharactersOfTheAnsiCodePageBecomeItsBytes) {
  if (!ansiIs1252()) GTEST_SKIP() << "the ANSI code page is " << GetACP();
  EXPECT_EQ(toSystemCodePage("Rue de l'Église"), "Rue de l'\xC9glise");
  EXPECT_EQ(toSystemCodePage("café"), "caf\xE9");
  EXPECT_EQ(toSystemCodePage("Straße €5"), "Stra\xDF" "e \x80" "5");
  EXPECT_EQ(toSystemCodePage("What?"), "What?");  // a question mark of its own is kept
  EXPECT_EQ(toSystemCodePage(""), "");
  EXPECT_EQ(fromSystemCodePage("caf\xE9"), "café");
  EXPECT_EQ(fromSystemCodePage("\x80\x9F"), "€Ÿ");
}

TEST(NlsCodePage, ACharacterWithoutAPlaceIsRefusedNotReplaced) {
  if (!ansiIs1252()) GTEST_SKIP() << "the ANSI code page is " << GetACP();
  EXPECT_EQ(toSystemCodePage("日本橋"), std::nullopt);
  EXPECT_EQ(toSystemCodePage("Łódź"), std::nullopt);   // no best fit "Lodz"
  EXPECT_EQ(toSystemCodePage("Ｓtreet"), std::nullopt);  // no best fit "Street"
  EXPECT_EQ(toSystemCodePage("\xF0\x9F\x97\xBA"), std::nullopt);
  EXPECT_EQ(toSystemCodePage("caf\xE9"), std::nullopt);  // not UTF-8
}

TEST(NlsCodePage, EveryByteComesBackAsItWent) {
  if (!ansiIs1252()) GTEST_SKIP() << "the ANSI code page is " << GetACP();
  for (int byte = 1; byte < 256; ++byte) {
    const std::string bytes(1, static_cast<char>(byte));
    const std::string text = fromSystemCodePage(bytes);
    EXPECT_EQ(toSystemCodePage(text), bytes) << "byte " << byte;
  }
}

}  // namespace
}  // namespace corvale
