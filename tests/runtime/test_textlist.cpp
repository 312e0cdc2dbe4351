#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "runtime/Failure.h"
#include "runtime/TextList.h"
#include "support/Failures.h"

namespace corvale {
namespace {

using Texts = std::vector<std::string>;

using testing::failureNumber;

TEST(PlainTextList, KeepsEntriesInTheOrderTheyWereAppended) {
  TextList list;
  for (const char* name : {"Oak", "ash", "Elm", "ash"})
    list.append(name);
  EXPECT_EQ(list.entries(), (Texts{"Oak", "ash", "Elm", "ash"}));
  EXPECT_EQ(list.count(), 4);
  EXPECT_EQ(list.item(2), "Elm");
}

TEST(PlainTextList, StartsEmptyWithNothingSelected) {
  TextList list;
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.selectedIndex(), -1);
  EXPECT_EQ(list.text(), "");
}

TEST(PlainTextList, TheTextIsTheSelectedEntry) {
  TextList list;
  list.append("Oak");
  list.append("Elm");
  list.select(1);
  EXPECT_EQ(list.selectedIndex(), 1);
  EXPECT_EQ(list.text(), "Elm");
  list.select(-1);
  EXPECT_EQ(list.text(), "");
}

TEST(PlainTextList, ClearRemovesEntriesAndSelection) {
  TextList list;
  list.append("Oak");
  list.select(0);
  list.clear();
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.selectedIndex(), -1);
  EXPECT_EQ(list.text(), "");
}

TEST(PlainTextList, PositionsOutsideTheListAreFailure5) {
  TextList list;
  list.append("Oak");
  EXPECT_EQ(failureNumber([&] { list.item(1); }), err::kInvalidProcedureCall);
  EXPECT_EQ(failureNumber([&] { list.item(-1); }), err::kInvalidProcedureCall);
  EXPECT_EQ(failureNumber([&] { list.select(1); }), err::kInvalidProcedureCall);
  EXPECT_EQ(failureNumber([&] { list.select(-2); }), err::kInvalidProcedureCall);
  EXPECT_EQ(list.selectedIndex(), -1);
}

TEST(SortedTextList, SortsWithoutRegardToCaseAndBreaksTiesByBytes) {
  TextList list(true);
  for (const char* name : {"main st", "Elm", "Main St", "ash", "MAIN ST", "Birch"}) {
    list.append(name);
  }
  EXPECT_EQ(list.entries(), (Texts{"ash", "Birch", "Elm", "MAIN ST", "Main St", "main st"}));
  EXPECT_EQ(list.item(0), "ash");
}

TEST(SortedTextList, KeepsEveryDuplicate) {
  TextList list(true);
  for (const char* name : {"Oak", "Oak", "Ash", "Oak"})
    list.append(name);
  EXPECT_EQ(list.entries(), (Texts{"Ash", "Oak", "Oak", "Oak"}));
}

TEST(SortedTextList, TheSelectedEntryStaysSelectedWhenLaterAppendsAreSorted) {
  TextList list(true);
  list.append("Oak");
  list.append("Pine");
  list.select(1);
  ASSERT_EQ(list.text(), "Pine");
  list.append("Ash");
  list.append("Birch");
  EXPECT_EQ(list.selectedIndex(), 3);
  EXPECT_EQ(list.text(), "Pine");
}

TEST(SortedTextList, SettleTellsWhetherTheOrderChanged) {
  TextList list(true);
  list.append("Ash");
  list.append("Birch");
  EXPECT_FALSE(list.settle()) << "entries appended in order did not move";
  list.append("Alder");
  EXPECT_TRUE(list.settle());
  EXPECT_FALSE(list.settle()) << "nothing was appended since the last sort";
  EXPECT_EQ(list.entries(), (Texts{"Alder", "Ash", "Birch"}));
}

TEST(SortedTextList, AnUnsortedListNeverMovesItsEntries) {
  TextList list(false);
  list.append("b");
  list.append("a");
  EXPECT_FALSE(list.settle());
  EXPECT_EQ(list.entries(), (Texts{"b", "a"}));
}

TEST(SortedTextList, HoldsFarMoreThan32767EntriesAndSortsThemQuickly) {
  constexpr int32_t kCount = 200000;
  TextList list(true);
  const auto start = std::chrono::steady_clock::now();
  char name[32];
  for (int32_t i = kCount; i > 0; --i) {
    std::snprintf(name, sizeof name, "Street %07d", i);
    list.append(name);
  }
  ASSERT_EQ(list.count(), kCount);
  EXPECT_EQ(list.item(0), "Street 0000001");
  EXPECT_EQ(list.item(40000), "Street 0040001");
  EXPECT_EQ(list.item(kCount - 1), "Street 0200000");
  list.select(kCount - 1);
  EXPECT_EQ(list.selectedIndex(), kCount - 1);
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 5.0) << "appending and sorting is not done in bulk";
}

}  // namespace
}  // namespace corvale
