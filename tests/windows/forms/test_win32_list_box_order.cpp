#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>
#include <vector>

#include "platform/win32/forms/Win32ListBox.h"
#include "runtime/TextList.h"

// A sorted Win32ListBox keys its entries on a thread of its own while they
// arrive; what it lists must be what a sorted TextList lists, entry for
// entry, whatever the names, however many, and whichever way they came.

namespace corvale::win32 {
namespace {

/// Names that collation finds hard: case twins, accents, ß, hyphens and
/// apostrophes (weighed after the letters), leading blanks, digits, a long
/// shared beginning, the empty name and exact repeats.
std::vector<std::string> hardNames(size_t count, unsigned seed) {
  const std::vector<std::string> pieces{"Main", "main", "MAIN", "Straße", "Strasse", "École", "ecole",
                                        "Co-op", "Coop", "O'Neil", "ONeil", " ", "  ", "9", "10",
                                        "Zürich", "Zurich", "Ørsted", "-", "Street 000", "a", "Ä"};
  std::mt19937 random(seed);
  std::vector<std::string> names;
  names.reserve(count);
  for (size_t k = 0; k < count; ++k) {
    std::string name;
    const size_t parts = random() % 4;
    for (size_t p = 0; p < parts; ++p)
      name += pieces[random() % pieces.size()];
    if (random() % 3 == 0) name += std::to_string(random() % 100000);
    names.push_back(std::move(name));
  }
  return names;
}

std::vector<std::string> shown(Win32ListBox& list) {
  std::vector<std::string> entries;
  for (int32_t k = 0; k < list.count(); ++k)
    entries.push_back(list.item(k));
  return entries;
}

std::vector<std::string> reference(const std::vector<std::string>& names) {
  TextList list(true);
  for (const std::string& name : names)
    list.append(name);
  return list.entries();
}

TEST(Win32ListBoxOrder, ASortedListOrdersAsTheCoreDoesAtEverySize) {
  // Below one keying chunk, across several, and past the size at which the
  // sort takes both cores.
  for (size_t count : {0u, 1u, 2u, 300u, 16385u, 50000u}) {
    const std::vector<std::string> names = hardNames(count, static_cast<unsigned>(count) + 7);
    Win32ListBox list(true, nullptr, nullptr, 0, {});
    for (const std::string& name : names)
      list.append(name);
    EXPECT_EQ(shown(list), reference(names)) << count << " names";
  }
}

TEST(Win32ListBoxOrder, NamesSharingTheirWholeBeginningStillOrderByTheirEnd) {
  // Every key starts with the same long run of bytes; the order is decided
  // past it, and a name that is all of the shared part sorts first.
  std::vector<std::string> names{"Street 0000000"};
  std::mt19937 random(3);
  for (int k = 0; k < 30000; ++k) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%07u", static_cast<unsigned>(random() % 10000000));
    names.push_back(std::string("Street 0000000") + digits);
  }
  Win32ListBox list(true, nullptr, nullptr, 0, {});
  for (const std::string& name : names)
    list.append(name);
  EXPECT_EQ(shown(list), reference(names));
}

TEST(Win32ListBoxOrder, AppendsAfterAReadClearsAndTheSelectionFollowTheCore) {
  const std::vector<std::string> first = hardNames(20000, 11), second = hardNames(5000, 12);
  Win32ListBox list(true, nullptr, nullptr, 0, {});
  TextList expected(true);
  for (const std::string& name : first) {
    list.append(name);
    expected.append(name);
  }
  list.select(1234);
  expected.select(1234);
  // Entries added to a list already read sort in among the others; the
  // selected entry stays selected.
  for (const std::string& name : second) {
    list.append(name);
    expected.append(name);
  }
  EXPECT_EQ(shown(list), expected.entries());
  EXPECT_EQ(list.selectedIndex(), expected.selectedIndex());
  EXPECT_EQ(list.text(), expected.text());

  // Cleared while its keys are still being made, then filled anew.
  list.clear();
  for (const std::string& name : second)
    list.append(name);
  list.clear();
  for (const std::string& name : first)
    list.append(name);
  EXPECT_EQ(shown(list), reference(first));
  EXPECT_EQ(list.selectedIndex(), -1);
}

TEST(Win32ListBoxOrder, AListDestroyedWhileItsKeysAreMadeLetsItsThreadGo) {
  // Every other list goes before it is ever read, its keying thread still at work.
  for (int k = 0; k < 6; ++k) {
    Win32ListBox list(true, nullptr, nullptr, 0, {});
    const std::vector<std::string> names = hardNames(40000, static_cast<unsigned>(k));
    for (const std::string& name : names)
      list.append(name);
    if (k % 2 == 1) {
      EXPECT_EQ(list.item(list.count() - 1), reference(names).back());
    }
  }
}

}  // namespace
}  // namespace corvale::win32
