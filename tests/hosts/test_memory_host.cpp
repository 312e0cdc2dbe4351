#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "hosts/memory/FaultInjector.h"
#include "hosts/memory/FaultyFileSystem.h"
#include "hosts/memory/MemoryHost.h"
#include "hosts/memory/WhereClause.h"
#include "platform/posix/PosixFileSystem.h"
#include "support/TempFolder.h"

namespace corvale::memory {
namespace {

int32_t failureNumber(const std::function<void()>& body) {
  try {
    body();
  } catch (const Failure& failure) {
    return failure.number;
  }
  return 0;
}

TEST(WhereClauseParser, TextLiteralsUndoubleTheirApostrophes) {
  const WhereClause where = WhereClause::parse("  NAME =  'O''Brien Way' ");
  EXPECT_EQ(where.field, "NAME");
  EXPECT_EQ(where.kind, WhereClause::LiteralKind::Text);
  EXPECT_EQ(where.literal, "O'Brien Way");
  EXPECT_EQ(WhereClause::parse("NAME = 'a = b'").literal, "a = b");
  EXPECT_EQ(WhereClause::parse("NAME = ''").literal, "");
  EXPECT_EQ(WhereClause::parse("NAME = 'x'' OR ''1''=''1'").literal, "x' OR '1'='1");
}

TEST(WhereClauseParser, NumbersAndDatesAreReadAsSuch) {
  EXPECT_EQ(WhereClause::parse("LANES = -12").number, -12);
  EXPECT_EQ(WhereClause::parse("W = 1E+20").number, 1e20);
  const WhereClause day = WhereClause::parse("BUILT = #2024-05-01#");
  EXPECT_EQ(day.kind, WhereClause::LiteralKind::Date);
  EXPECT_EQ(day.date, (Date{2024, 5, 1}));
  EXPECT_EQ(WhereClause::parse("BUILT = #2024-05-01 13:45:00#").date,
            (Date{2024, 5, 1, 13, 45, 0}));
}

TEST(WhereClauseParser, AnythingElseIsRefusedAsInvalidSql) {
  for (const char* clause :
       {"NAME", "= 'x'", "NAME =", "NAME = 'x", "NAME = 'x' OR '1'='1'", "NAME = 'x' --",
        "N'A = 'x'", "LANES = 12abc", "LANES = 1 OR 1=1", "LANES = inf", "BUILT = #2024-5-1#",
        "BUILT = #2024-13-01#", "BUILT = #2024-05-01 25:00:00#", "BUILT = #2024-05-01",
        "BUILT = #2024-05-01 13:45:00x#", "NAME = \"x\""}) {
    EXPECT_EQ(failureNumber([&] { WhereClause::parse(clause); }), err::kHostInvalidSql) << clause;
  }
}

TEST(WhereClauseMatching, ValuesAreComparedByTheLiteralsKind) {
  const WhereClause number = WhereClause::parse("F = 2");
  EXPECT_TRUE(number.matches(Variant(int32_t{2})));
  EXPECT_TRUE(number.matches(Variant(2.0)));
  EXPECT_FALSE(number.matches(Variant(2.5)));
  const WhereClause text = WhereClause::parse("F = 'Main St'");
  EXPECT_TRUE(text.matches(Variant("Main St")));
  EXPECT_FALSE(text.matches(Variant("main st")));
  EXPECT_FALSE(text.matches(Variant("Main St ")));
  EXPECT_TRUE(WhereClause::parse("F = '2'").matches(Variant(int32_t{2})));
  EXPECT_TRUE(WhereClause::parse("F = #2024-05-01#").matches(Variant(Date{2024, 5, 1})));
  EXPECT_FALSE(WhereClause::parse("F = #2024-05-01#").matches(Variant(Date{2024, 5, 1, 0, 0, 1})));
}

TEST(WhereClauseMatching, ANumberMatchesTheDoublesThatShowAsItAndIntegersExactly) {
  // The list shows a double rounded to 15 digits; the pick writes what the list shows.
  EXPECT_TRUE(WhereClause::parse("F = 0.3").matches(Variant(0.1 + 0.2)));
  EXPECT_TRUE(WhereClause::parse("F = 0.333333333333333").matches(Variant(1.0 / 3)));
  EXPECT_FALSE(WhereClause::parse("F = 0.333333333333333").matches(Variant(1.0 / 3 + 1e-13)));
  EXPECT_TRUE(WhereClause::parse("F = 1.79769313486232E+308")
                  .matches(Variant(std::numeric_limits<double>::max())));
  // 2^53 + 1 has no double of its own; as an integer it is only itself.
  const WhereClause odd = WhereClause::parse("F = 9007199254740993");
  EXPECT_TRUE(odd.matches(Variant(int64_t{9007199254740993})));
  EXPECT_FALSE(odd.matches(Variant(int64_t{9007199254740992})));
}

TEST(WhereClauseMatching, TrueAndFalseMatchBooleansInAnyLetterCase) {
  EXPECT_TRUE(WhereClause::parse("F = True").matches(Variant(true)));
  EXPECT_TRUE(WhereClause::parse("F = FALSE").matches(Variant(false)));
  EXPECT_FALSE(WhereClause::parse("F = True").matches(Variant(false)));
  EXPECT_FALSE(WhereClause::parse("F = True").matches(Variant::null()));
  EXPECT_EQ(failureNumber([] { WhereClause::parse("F = Truth"); }), err::kHostInvalidSql);
}

TEST(WhereClauseMatching, NullEmptyAndObjectsNeverMatch) {
  const WhereClause text = WhereClause::parse("F = ''");
  EXPECT_FALSE(text.matches(Variant::null()));
  EXPECT_FALSE(text.matches(Variant()));
  EXPECT_FALSE(text.matches(Variant(ObjectRef())));
  EXPECT_TRUE(text.matches(Variant("")));
}

TEST(FaultInjection, CountsCallsAndFailsOnlyTheChosenOne) {
  FaultInjector faults;
  faults.failHostCall(3);
  faults.hostCall("a");
  faults.fileSystemCall("f");
  faults.hostCall("b");
  EXPECT_FALSE(faults.injected());
  try {
    faults.hostCall("c");
    FAIL() << "the third host call did not fail";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number, err::kHostUnspecified);
  }
  EXPECT_TRUE(faults.injected());
  EXPECT_EQ(faults.injectedCall(), "c");
  EXPECT_NO_THROW(faults.hostCall("d"));
  EXPECT_EQ(faults.hostCalls(), 4);
  EXPECT_EQ(faults.fileSystemCalls(), 1);
}

TEST(FaultInjection, ZeroFailsNothingAndResetStartsAfresh) {
  FaultInjector faults;
  for (int i = 0; i < 100; ++i)
    faults.hostCall("x");
  faults.failFileSystemCall(1);
  faults.reset();
  EXPECT_NO_THROW(faults.fileSystemCall("f"));
  EXPECT_EQ(faults.hostCalls(), 0);
  EXPECT_EQ(faults.fileSystemCalls(), 1);
  EXPECT_FALSE(faults.injected());
}

TEST(FaultInjection, TheFileSystemCountsCallsOnOpenFilesToo) {
  testing::TempFolder temp;
  posix::DriveMap drives;
  drives.map('C', temp.path());
  auto faults = std::make_shared<FaultInjector>();
  FaultyFileSystem files(std::make_shared<posix::PosixFileSystem>(drives), faults);

  auto out = files.openOutput("C:\\f");
  out->write("abc");
  out->flushAndSync();
  out->close();
  auto in = files.openInput("C:\\f");
  char buffer[8];
  in->read(buffer, sizeof buffer);
  EXPECT_EQ(faults->fileSystemCalls(), 6);

  faults->reset();
  faults->failFileSystemCall(2);
  auto failing = files.openAppend("C:\\f");
  EXPECT_EQ(failureNumber([&] { failing->write("x"); }), err::kPathFileAccessError);
  EXPECT_EQ(faults->injectedCall(), "write");
  failing->close();
  EXPECT_EQ(testing::readBytes(temp.path() / "f"), "abc") << "the failed write wrote nothing";
}

TEST(MemoryHostObjects, AnEnvelopeScalesAboutItsCentreOrGrowsByDistances) {
  auto faults = std::make_shared<FaultInjector>();
  MemoryEnvelope ratio(faults, {0, 0, 10, 20, false});
  ratio.expand(1.5, 0.5, true);
  EXPECT_EQ(boundsText(ratio.bounds()), "-2.5 5 12.5 15");
  MemoryEnvelope distance(faults, {0, 0, 10, 20, false});
  distance.expand(1, 2, false);
  EXPECT_EQ(boundsText(distance.bounds()), "-1 -2 11 22");
  MemoryEnvelope empty(faults, {});
  empty.expand(2, 2, true);
  EXPECT_TRUE(empty.bounds().empty);
  EXPECT_TRUE(std::isnan(empty.xMin()));
}

TEST(MemoryHostObjects, AGroupCanPretendToHoldMoreMembersThanItHas) {
  MemoryHost host;
  auto group = host.groupLayer("Huge");
  auto first = host.featureLayer("First", host.table());
  group->add(first);
  group->pretendMemberCount(40000);
  EXPECT_EQ(group->memberCount(), 40000);
  EXPECT_EQ(group->member(0), first);
  EXPECT_EQ(group->member(39999), nullptr);
  EXPECT_EQ(failureNumber([&] { group->member(40000); }), err::kHostUnspecified);
}

TEST(MemoryHostObjects, ASearchOnAnUnknownFieldIsRefused) {
  MemoryHost host;
  auto table = host.table();
  table->addField("NAME", host::fieldtype::kText).addRow({{"NAME", "Oak"}});
  auto filter = host.createQueryFilter();
  filter->setWhereClause("LABEL = 'Oak'");
  EXPECT_EQ(failureNumber([&] { table->search(filter, false); }), err::kHostInvalidSql);
  filter->setWhereClause("objectid = 1");
  EXPECT_NE(table->search(filter, false)->nextRow(), nullptr) << "the object id field is known";
}

TEST(MemoryHostObjects, AReusingCursorHandsOutTheSameRowObject) {
  MemoryHost host;
  auto table = host.table();
  table->addField("NAME", host::fieldtype::kText).addRow({{"NAME", "a"}}).addRow({{"NAME", "b"}});
  auto reusing = table->search(nullptr, true);
  const auto first = reusing->nextRow();
  EXPECT_EQ(reusing->nextRow(), first);
  EXPECT_EQ(first->objectId(), 2);
  auto fresh = table->search(nullptr, false);
  EXPECT_NE(fresh->nextRow(), fresh->nextRow());
}

}  // namespace
}  // namespace corvale::memory
