#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <memory>
#include <stdexcept>

#include "runtime/Failure.h"
#include "runtime/Variant.h"
#include "support/Failures.h"

namespace corvale {
namespace {

using testing::failureNumber;

class SomeObject : public Object {};

TEST(VariantText, DoublesUseTheShortestTextThatReadsBack) {
  EXPECT_EQ(textOf(Variant(0.1)), "0.1");
  EXPECT_EQ(textOf(Variant(0.1 + 0.2)), "0.3");
  EXPECT_EQ(textOf(Variant(1.0 / 3.0)), "0.333333333333333");
  EXPECT_EQ(textOf(Variant(-2.5)), "-2.5");
  EXPECT_EQ(textOf(Variant(100.0)), "100");
  EXPECT_EQ(textOf(Variant(123456789012345.0)), "123456789012345");
}

TEST(VariantText, DoublesSwitchToExponentFormOutsideTheRangeOfPlainDecimals) {
  EXPECT_EQ(textOf(Variant(1e20)), "1E+20");
  EXPECT_EQ(textOf(Variant(-1.5e20)), "-1.5E+20");
  EXPECT_EQ(textOf(Variant(1e15)), "1E+15");
  EXPECT_EQ(textOf(Variant(999999999999999.9)), "1E+15");
  EXPECT_EQ(textOf(Variant(1e100)), "1E+100");
  EXPECT_EQ(textOf(Variant(0.00001)), "0.00001");
  EXPECT_EQ(textOf(Variant(0.000015)), "0.000015");
  EXPECT_EQ(textOf(Variant(0.000001)), "1E-06");
  EXPECT_EQ(textOf(Variant(-2.5e-7)), "-2.5E-07");
}

TEST(VariantText, DoublesDoNotFollowTheNumericLocaleOfTheProcess) {
  // QGIS runs with the user's locale, LC_NUMERIC included; a German one writes
  // and reads "1,5" in the C library's number functions.
  const std::string before = std::setlocale(LC_NUMERIC, nullptr);
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale here";
  const std::string oneAndAHalf = textOf(Variant(1.5));
  const std::string third = textOf(Variant(1.0 / 3));
  const std::string small = textOf(Variant(-2.5e-7));
  std::setlocale(LC_NUMERIC, before.c_str());
  EXPECT_EQ(oneAndAHalf, "1.5");
  EXPECT_EQ(third, "0.333333333333333");
  EXPECT_EQ(small, "-2.5E-07");
}

TEST(VariantText, SpecialDoublesHaveFixedTexts) {
  EXPECT_EQ(doubleText(0.0), "0");
  EXPECT_EQ(doubleText(-0.0), "0");
  EXPECT_EQ(doubleText(std::numeric_limits<double>::infinity()), "Infinity");
  EXPECT_EQ(doubleText(-std::numeric_limits<double>::infinity()), "-Infinity");
  EXPECT_EQ(doubleText(std::nan("")), "NaN");
}

TEST(VariantText, IntegersAreDecimalWithTheirSign) {
  EXPECT_EQ(textOf(Variant(int32_t{0})), "0");
  EXPECT_EQ(textOf(Variant(int32_t{-42})), "-42");
  EXPECT_EQ(textOf(Variant(std::numeric_limits<int64_t>::min())), "-9223372036854775808");
  EXPECT_EQ(textOf(Variant(int64_t{9007199254740993})), "9007199254740993");
}

TEST(VariantText, DatesShowTheTimeOnlyWhenItIsNotMidnight) {
  EXPECT_EQ(textOf(Variant(Date{2024, 5, 1})), "2024-05-01");
  EXPECT_EQ(textOf(Variant(Date{2024, 5, 1, 13, 45, 0})), "2024-05-01 13:45:00");
  EXPECT_EQ(textOf(Variant(Date{2024, 5, 1, 0, 0, 7})), "2024-05-01 00:00:07");
  EXPECT_EQ(textOf(Variant(Date{812, 1, 9})), "0812-01-09");
  EXPECT_EQ(textOf(Variant(Date{})), "1899-12-30");
}

TEST(VariantText, TextsBooleansAndEmptyHaveTheirOwnForms) {
  EXPECT_EQ(textOf(Variant("Main St ")), "Main St ");
  EXPECT_EQ(textOf(Variant(std::string("a\0b", 3))), std::string("a\0b", 3));
  EXPECT_EQ(textOf(Variant(true)), "True");
  EXPECT_EQ(textOf(Variant(false)), "False");
  EXPECT_EQ(textOf(Variant()), "");
}

TEST(VariantText, NullAndObjectsHaveNoTextForm) {
  EXPECT_EQ(failureNumber([] { textOf(Variant::null()); }), err::kInvalidUseOfNull);
  EXPECT_EQ(failureNumber([] { textOf(Variant(ObjectRef(std::make_shared<SomeObject>()))); }),
            err::kTypeMismatch);
  EXPECT_EQ(failureNumber([] { textOf(Variant(ObjectRef())); }), err::kTypeMismatch);
}

TEST(VariantKinds, AskingForAnotherKindThanTheOneHeldIsATypeMismatch) {
  const Variant text("12");
  EXPECT_EQ(text.text(), "12");
  EXPECT_EQ(failureNumber([&] { (void)text.integer(); }), err::kTypeMismatch);
  EXPECT_EQ(failureNumber([&] { (void)text.number(); }), err::kTypeMismatch);
  EXPECT_EQ(failureNumber([] { (void)Variant::null().text(); }), err::kTypeMismatch);
  EXPECT_EQ(failureNumber([] { (void)Variant(int32_t{1}).boolean(); }), err::kTypeMismatch);
  EXPECT_EQ(failureNumber([] { (void)Variant(1.0).date(); }), err::kTypeMismatch);
  EXPECT_EQ(failureNumber([] { (void)Variant().object(); }), err::kTypeMismatch);
}

TEST(FailureNumbers, ClassicNumbersCarryTheirClassicDescriptions) {
  EXPECT_EQ(Failure::of(err::kFileNotFound).description, "File not found");
  EXPECT_EQ(Failure::of(err::kPermissionDenied).description, "Permission denied");
  EXPECT_EQ(Failure::of(err::kObjectNotSet).description,
            "Object variable or With block variable not set");
  EXPECT_EQ(Failure::of(err::kPathFileAccessError).description, "Path/File access error");
  EXPECT_EQ(Failure::of(12345).description, "");
  EXPECT_EQ(Failure::of(-1, "Host says no").description, "Host says no");
}

TEST(FailureNumbers, RaiseThrowsTheNumberWithItsDescription) {
  try {
    raise(err::kPathNotFound);
    FAIL() << "raise returned";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number, 76);
    EXPECT_EQ(failure.description, "Path not found");
  }
}

/// The failure that fromCurrentException makes of what `body` throws.
template <class Body>
Failure translated(Body&& body) {
  try {
    body();
  } catch (...) {
    return Failure::fromCurrentException();
  }
  return {};
}

TEST(FailureTranslation, AFailureIsHandedOverAsItIs) {
  const Failure f = translated([] { throw Failure{-7, "own words"}; });
  EXPECT_EQ(f.number, -7);
  EXPECT_EQ(f.description, "own words");
}

TEST(FailureTranslation, WantOfMemoryBecomesOutOfMemory) {
  const Failure f = translated([] { throw std::bad_alloc(); });
  EXPECT_EQ(f.number, err::kOutOfMemory);
  EXPECT_EQ(f.description, "Out of memory");
}

TEST(FailureTranslation, OtherExceptionsBecomeInternalErrorsThatKeepTheirText) {
  const Failure standard = translated([] { throw std::runtime_error("broken gear"); });
  EXPECT_EQ(standard.number, err::kInternalError);
  EXPECT_EQ(standard.description, "Internal error: broken gear");

  const Failure odd = translated([] { throw 42; });
  EXPECT_EQ(odd.number, err::kInternalError);
  EXPECT_EQ(odd.description, "Internal error");
}

}  // namespace
}  // namespace corvale
