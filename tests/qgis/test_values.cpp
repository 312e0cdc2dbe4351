#include <gtest/gtest.h>

#include <limits>

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QStringList>
#include <QTime>
#include <QTimeZone>

#include <qgsfield.h>
#include <qgsgeometry.h>

#include "host/Data.h"
#include "hosts/qgis/common/QgisText.h"
#include "hosts/qgis/model/QgisValues.h"
#include "hosts/qgis/common/QgisCompat.h"
#include "runtime/Failure.h"

namespace corvale {
namespace {

using qgis::fieldTypeCode;
using qgis::variantOf;
using qgis::compat::makeField;
namespace ft = host::fieldtype;

TEST(QgisValues, NullsOfEveryTypeStayNull) {
  for (QVariant::Type type :
       {QVariant::String, QVariant::Int, QVariant::LongLong, QVariant::Double, QVariant::Date,
        QVariant::DateTime, QVariant::Bool, QVariant::ByteArray, QVariant::Invalid}) {
    EXPECT_TRUE(variantOf(QVariant(type)).isNull()) << QVariant::typeToName(type);
  }
  EXPECT_TRUE(variantOf(QVariant(QString())).isNull());
}

TEST(QgisValues, TextBecomesUtf8AndNeverInvalidUtf8) {
  EXPECT_EQ(variantOf(QVariant(QString(""))), Variant(""));
  EXPECT_EQ(variantOf(QVariant(QStringLiteral(" Harbour Lane "))), Variant(" Harbour Lane "));
  EXPECT_EQ(variantOf(QVariant(QString::fromUtf8("\xC3\x85lesund All\xC3\xA9 Stra\xC3\x9F"
                                                 "e"))),
            Variant("\xC3\x85lesund All\xC3\xA9 Stra\xC3\x9F"
                    "e"));
  // A character outside the basic plane: a surrogate pair in UTF-16.
  EXPECT_EQ(variantOf(QVariant(QString::fromUtf8("\xF0\x9F\x97\xBA"))),
            Variant("\xF0\x9F\x97\xBA"));
  // Lone surrogates, which a broken source can put into a QString, become U+FFFD.
  QString broken = QStringLiteral("a");
  broken.append(QChar(0xD800)).append(QChar('b')).append(QChar(0xDC00));
  EXPECT_EQ(variantOf(QVariant(broken)), Variant("a\xEF\xBF\xBD"
                                                 "b\xEF\xBF\xBD"));
  // Invalid UTF-8 read as text also arrives as U+FFFD.
  EXPECT_EQ(qgis::utf8Of(qgis::qstringOf("x\xFFy")), "x\xEF\xBF\xBDy");
}

TEST(QgisValues, PlainUtf8IsTextThatEveryDecoderReadsAlike) {
  using qgis::isPlainUtf8;
  for (const std::string& text :
       {std::string(), std::string("Main Street"), std::string("abcdefghijklmnopqrstuvwxyz"),
        std::string("\xC3\x85lesund All\xC3\xA9"), std::string("abcdefg\xC3\x85xyz"),
        std::string("Map \xF0\x9F\x97\xBA"),
        std::string("a\xEF\xBB\xBF"
                    "b"),
        std::string("nul\0inside", 10)}) {
    EXPECT_TRUE(isPlainUtf8(text)) << text;
    // What is plain reads back unchanged through Qt.
    EXPECT_EQ(qgis::utf8Of(qgis::qstringOf(text)), text);
  }
  for (const std::string& text : {
           std::string("\xFF"), std::string("abcdefgh\xFF"), std::string("abcdefghijklmnop\xC3"),
           std::string("\xC0\xAF"),                       // overlong '/'
           std::string("\xE0\x80\x80"),                   // overlong
           std::string("\xF0\x80\x80\x80"),               // overlong
           std::string("\xED\xA0\x80"),                   // a surrogate
           std::string("\xF4\x90\x80\x80"),               // above U+10FFFF
           std::string("\xF5\x80\x80\x80"),               //
           std::string("\xC3"), std::string("\xE2\x82"),  // cut short
           std::string("\xC3\x28"),                       // a bad continuation
           std::string("\xEF\xBB\xBF"
                       "Bom Road"),  // a byte-order mark first
       }) {
    EXPECT_FALSE(isPlainUtf8(text)) << text;
  }
}

TEST(QgisValues, NumbersKeepTheirKind) {
  EXPECT_EQ(variantOf(QVariant(42)), Variant(int64_t{42}));
  EXPECT_EQ(variantOf(QVariant(-7LL)), Variant(int64_t{-7}));
  EXPECT_EQ(variantOf(QVariant(std::numeric_limits<qlonglong>::min())),
            Variant(std::numeric_limits<int64_t>::min()));
  EXPECT_EQ(variantOf(QVariant(4000000000u)), Variant(int64_t{4000000000}));
  EXPECT_EQ(variantOf(QVariant(9223372036854775807ULL)), Variant(INT64_MAX));
  // Beyond 64 signed bits an unsigned number keeps its exact decimal text.
  EXPECT_EQ(variantOf(QVariant(18446744073709551615ULL)), Variant("18446744073709551615"));
  EXPECT_EQ(variantOf(QVariant(6.5)), Variant(6.5));
  EXPECT_EQ(variantOf(QVariant(1.5f)), Variant(1.5));
  EXPECT_EQ(variantOf(QVariant(true)), Variant(true));
}

TEST(QgisValues, DatesAndDateTimesBecomeDatesAsStored) {
  EXPECT_EQ(variantOf(QVariant(QDate(2024, 5, 1))), Variant(Date{2024, 5, 1, 0, 0, 0}));
  EXPECT_EQ(variantOf(QVariant(QDateTime(QDate(2021, 12, 31), QTime(23, 59, 58, 999)))),
            Variant(Date{2021, 12, 31, 23, 59, 58}));
  // No conversion between time zones: a UTC time reads as written.
  EXPECT_EQ(variantOf(QVariant(QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5), Qt::UTC))),
            Variant(Date{2020, 1, 2, 3, 4, 5}));
  EXPECT_EQ(variantOf(QVariant(QTime(7, 8, 9))), Variant("07:08:09"));
}

TEST(QgisValues, ValuesWithoutATextFormAreTypeMismatches) {
  for (const QVariant& value :
       {QVariant(QByteArray("\x01\x02", 2)),
        QVariant::fromValue(QgsGeometry::fromWkt(QStringLiteral("POINT(1 2)"))),
        QVariant(QVariantMap{{QStringLiteral("a"), 1}})}) {
    try {
      variantOf(value);
      ADD_FAILURE() << value.typeName();
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number, err::kTypeMismatch) << value.typeName();
    }
  }
  EXPECT_EQ(variantOf(QVariant(QStringList{QStringLiteral("one")})), Variant("one"));
}

TEST(QgisValues, FieldTypesMapToTheHostsCodes) {
  EXPECT_EQ(fieldTypeCode(makeField("s", QMetaType::QString), false), ft::kText);
  EXPECT_EQ(fieldTypeCode(makeField("i", QMetaType::Int), false), ft::kInteger);
  EXPECT_EQ(fieldTypeCode(makeField("l", QMetaType::LongLong), false), ft::kInteger);
  EXPECT_EQ(fieldTypeCode(makeField("fid", QMetaType::LongLong), true), ft::kObjectId);
  EXPECT_EQ(fieldTypeCode(makeField("d", QMetaType::Double), false), ft::kDouble);
  EXPECT_EQ(fieldTypeCode(makeField("day", QMetaType::QDate), false), ft::kDate);
  EXPECT_EQ(fieldTypeCode(makeField("when", QMetaType::QDateTime), false), ft::kDate);
  EXPECT_EQ(fieldTypeCode(makeField("t", QMetaType::QTime), false), ft::kText);
  EXPECT_EQ(fieldTypeCode(makeField("b", QMetaType::Bool), false), ft::kSmallInteger);
  EXPECT_EQ(fieldTypeCode(makeField("blob", QMetaType::QByteArray), false), ft::kBlob);
  // A text key is no object id.
  EXPECT_EQ(fieldTypeCode(makeField("key", QMetaType::QString), true), ft::kText);
}

}  // namespace
}  // namespace corvale
