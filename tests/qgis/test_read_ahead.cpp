#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "hosts/qgis/read/ReadAhead.h"
#include "runtime/Failure.h"

namespace corvale {
namespace {

/// Rows 1..total with texts "row <id>", every seventh null; fails after `failAfter` rows.
class CountingRows : public qgis::TextRowSource {
 public:
  CountingRows(int64_t total, int64_t failAfter, std::atomic<int64_t>* produced = nullptr)
      : total_(total), failAfter_(failAfter), produced_(produced) {}

  Read read(qgis::TextBatch& batch, size_t rows, std::string& error) override {
    for (size_t n = 0; n < rows; ++n) {
      if (next_ > failAfter_) {
        error = "the disk went away";
        return Read::Failed;
      }
      if (next_ > total_) return Read::End;
      batch.addRow(next_);
      if (next_ % 7 == 0) {
        batch.addNull();
      } else {
        batch.addText("row " + std::to_string(next_));
      }
      batch.addText(next_ % 2 ? "odd \xFF" : "even");
      if (produced_) ++*produced_;
      ++next_;
    }
    return Read::More;
  }

 private:
  int64_t total_, failAfter_;
  std::atomic<int64_t>* produced_;
  int64_t next_ = 1;
};

TEST(ReadAhead, YieldsEveryRowOnceInTheSourcesOrder) {
  qgis::ReadAhead rows(std::make_unique<CountingRows>(20000, 1 << 30), 2);
  int64_t expected = 1;
  while (rows.step()) {
    ASSERT_EQ(rows.id(), expected);
    if (expected % 7 == 0) {
      EXPECT_FALSE(rows.text(0));
    } else {
      ASSERT_TRUE(rows.text(0));
      EXPECT_EQ(*rows.text(0), "row " + std::to_string(expected));
      EXPECT_TRUE(rows.plain(0));
    }
    EXPECT_EQ(rows.plain(1), expected % 2 == 0) << expected;
    ++expected;
  }
  EXPECT_EQ(expected, 20001);
  EXPECT_FALSE(rows.step());
}

TEST(ReadAhead, AnEmptySourceEndsAtOnce) {
  qgis::ReadAhead rows(std::make_unique<CountingRows>(0, 1 << 30), 2);
  EXPECT_FALSE(rows.step());
}

TEST(ReadAhead, AFailureArrivesAfterTheRowsReadBeforeIt) {
  qgis::ReadAhead rows(std::make_unique<CountingRows>(100000, 9000), 2);
  int64_t seen = 0;
  try {
    while (rows.step())
      ++seen;
    FAIL() << "the failure was swallowed";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number, err::kHostUnspecified);
    EXPECT_NE(failure.description.find("the disk went away"), std::string::npos);
  }
  EXPECT_EQ(seen, 9000);
}

TEST(ReadAhead, StopsReadingAheadWhenDroppedHalfWay) {
  std::atomic<int64_t> produced{0};
  {
    qgis::ReadAhead rows(std::make_unique<CountingRows>(10000000, 1 << 30, &produced), 2);
    for (int i = 0; i < 10; ++i)
      ASSERT_TRUE(rows.step());
  }
  // A few batches ahead at most, never the whole source.
  EXPECT_LT(produced.load(), 100000);
}

}  // namespace
}  // namespace corvale
