#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <qgsexpression.h>
#include <qgsexpressioncontext.h>
#include <qgsfeature.h>
#include <qgsfields.h>

#include "host/Data.h"
#include "hosts/qgis/model/QgisWhereClause.h"
#include "hosts/qgis/common/QgisCompat.h"
#include "runtime/Failure.h"
#include "runtime/Variant.h"

namespace corvale {
namespace {

using qgis::ClauseField;
using qgis::translateWhereClause;
namespace ft = host::fieldtype;

const std::vector<ClauseField> kFields = {
    {"fid", ft::kObjectId},          {"name", ft::kText},     {"Street Name", ft::kText},
    {"Owner's \"Name\"", ft::kText}, {"lanes", ft::kInteger}, {"width_m", ft::kDouble},
    {"opened", ft::kDate},           {"NAME2", ft::kText},    {"Name2", ft::kText},
};

std::string expressionOf(const std::string& clause) {
  const auto translated = translateWhereClause(clause, kFields, "$id");
  EXPECT_FALSE(translated.featureId) << clause;
  return translated.expression;
}

/// The clause is refused as the host refuses SQL: number and description.
void expectRefused(const std::string& clause) {
  try {
    const auto translated = translateWhereClause(clause, kFields, "$id");
    ADD_FAILURE() << "accepted [" << clause << "] as [" << translated.expression << "]";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number, err::kHostInvalidSql) << clause;
    EXPECT_EQ(failure.description, "An invalid SQL statement was used.") << clause;
  }
}

TEST(WhereClause, TextLiteralsBecomeQuotedQgisStrings) {
  EXPECT_EQ(expressionOf("name = 'Main Street'"), "\"name\" = 'Main Street'");
  EXPECT_EQ(expressionOf("name = 'O''Brien Road'"), "\"name\" = 'O''Brien Road'");
  EXPECT_EQ(expressionOf("name = 'x'' OR ''1''=''1'"), "\"name\" = 'x'' OR ''1''=''1'");
  EXPECT_EQ(expressionOf("name = ' Harbour Lane '"), "\"name\" = ' Harbour Lane '");
  EXPECT_EQ(expressionOf("name = ''"), "\"name\" = ''");
  EXPECT_EQ(expressionOf("name = 'back\\slash'"), "\"name\" = 'back\\\\slash'");
  EXPECT_EQ(expressionOf("name = '\xC3\x85lesund All\xC3\xA9'"),
            "\"name\" = '\xC3\x85lesund All\xC3\xA9'");
}

TEST(WhereClause, FieldsAreFoundInAnyCaseAndQuotedUnderTheirOwnName) {
  EXPECT_EQ(expressionOf("NAME = 'a'"), "\"name\" = 'a'");
  EXPECT_EQ(expressionOf("Street Name = 'a'"), "\"Street Name\" = 'a'");
  EXPECT_EQ(expressionOf("  street name   =   'a'  "), "\"Street Name\" = 'a'");
  EXPECT_EQ(expressionOf("Owner's \"Name\" = 'a'"), "\"Owner's \"\"Name\"\"\" = 'a'");
  // Of two fields that differ in case only, the one written exactly wins.
  EXPECT_EQ(expressionOf("Name2 = 'a'"), "\"Name2\" = 'a'");
  EXPECT_EQ(expressionOf("NAME2 = 'a'"), "\"NAME2\" = 'a'");
}

TEST(WhereClause, NumbersAgainstNumericFieldsAreWrittenInCanonicalForm) {
  EXPECT_EQ(expressionOf("lanes = 2"), "\"lanes\" = 2");
  EXPECT_EQ(expressionOf("lanes = -12"), "\"lanes\" = -12");
  EXPECT_EQ(expressionOf("lanes = +3"), "\"lanes\" = 3");
  EXPECT_EQ(expressionOf("lanes = 007"), "\"lanes\" = 7");
  EXPECT_EQ(expressionOf("fid = 99999999999999999999"), "\"fid\" = 1e+20");
}

/// Whether the expression selects a feature whose double field width_m holds the value.
bool selects(const std::string& expression, double value) {
  QgsFields fields;
  fields.append(qgis::compat::makeField(QStringLiteral("width_m"), QMetaType::Double));
  QgsFeature feature(fields);
  feature.setAttribute(0, value);
  QgsExpressionContext context;
  context.setFeature(feature);
  context.setFields(fields);
  QgsExpression parsed(QString::fromStdString(expression));
  EXPECT_FALSE(parsed.hasParserError()) << expression;
  parsed.prepare(&context);
  return parsed.evaluate(&context).toBool();
}

TEST(WhereClause, ANumberAgainstADoubleFieldSelectsANarrowRangeAndAsksForTheShownValue) {
  const auto translated = translateWhereClause("width_m = 6.5", kFields, "$id");
  EXPECT_EQ(translated.expression,
            "\"width_m\" >= 6.4999999999999 AND \"width_m\" <= 6.5000000000001");
  ASSERT_TRUE(translated.shownValue);
  EXPECT_EQ(translated.shownValue->field, "width_m");
  EXPECT_EQ(translated.shownValue->text, "6.5");
  EXPECT_EQ(translated.shownValue->number, 6.5);
  EXPECT_TRUE(translated.checkSelected);
  EXPECT_FALSE(translated.scanWhenNoneSelected);
  EXPECT_EQ(expressionOf("width_m = 0"), "\"width_m\" = 0");
  EXPECT_EQ(expressionOf("width_m = -0.0e5"), "\"width_m\" = 0");
  EXPECT_EQ(translateWhereClause("width_m = .5", kFields, "$id").shownValue->number, 0.5);
}

TEST(WhereClause, TheRangeOfADoubleHoldsEveryValueThatShowsAsTheLiteralAndLittleElse) {
  // Values whose text (15 significant digits) does not read back to them.
  for (const double value :
       {0.1 + 0.2, 1.0 / 3, -2.0 / 3, 123456789.123456789, 1e300, -1e300,
        std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
        std::numeric_limits<double>::denorm_min(), 1e-6, 0.1, 0.0}) {
    const std::string literal = doubleText(value);
    SCOPED_TRACE(literal);
    const auto translated = translateWhereClause("width_m = " + literal, kFields, "$id");
    EXPECT_TRUE(selects(translated.expression, value)) << translated.expression;
    ASSERT_TRUE(translated.shownValue);
    EXPECT_EQ(translated.shownValue->text, literal);
    if (std::abs(value) >= std::numeric_limits<double>::min() && std::abs(value) < 1e300) {
      EXPECT_FALSE(selects(translated.expression, value * (1 + 1e-11))) << translated.expression;
      EXPECT_FALSE(selects(translated.expression, value * (1 - 1e-11))) << translated.expression;
    }
  }
  // Beyond the double range there is nothing to find.
  EXPECT_EQ(expressionOf("width_m = 1e309"), "FALSE");
  EXPECT_EQ(expressionOf("width_m = 1e-330"), "FALSE");
  EXPECT_EQ(expressionOf("width_m = 1e99999999999999999999"), "FALSE");
  EXPECT_EQ(expressionOf("width_m = 0e99999999999999999999"), "\"width_m\" = 0");
}

TEST(WhereClause, TrueAndFalseSelectBooleansAndTheirTextInAnyLetterCase) {
  const std::vector<ClauseField> fields = {
      {"flag", ft::kSmallInteger}, {"name", ft::kText}, {"lanes", ft::kInteger}};
  auto translate = [&](const std::string& clause) {
    return translateWhereClause(clause, fields, "$id").expression;
  };
  EXPECT_EQ(translate("flag = True"), "\"flag\" = TRUE");
  EXPECT_EQ(translate("flag = FALSE"), "\"flag\" = FALSE");
  EXPECT_EQ(translate("name = true"), "\"name\" = 'True'");
  EXPECT_EQ(translate("lanes = True"), "FALSE");
  EXPECT_THROW(translate("flag = Truth"), Failure);
}

TEST(WhereClause, TextAgainstATextFieldAsksForAScanWhenNoRowHoldsItAsSuch) {
  const auto translated = translateWhereClause("name = 'Bad \xEF\xBF\xBD Road'", kFields, "$id");
  EXPECT_EQ(translated.expression, "\"name\" = 'Bad \xEF\xBF\xBD Road'");
  ASSERT_TRUE(translated.shownValue);
  EXPECT_EQ(translated.shownValue->text, "Bad \xEF\xBF\xBD Road");
  EXPECT_FALSE(translated.shownValue->number);
  EXPECT_TRUE(translated.checkSelected);
  EXPECT_TRUE(translated.scanWhenNoneSelected);
  EXPECT_FALSE(translateWhereClause("lanes = 2", kFields, "$id").shownValue);
  EXPECT_FALSE(translateWhereClause("opened = #2024-05-01#", kFields, "$id").shownValue);
}

TEST(WhereClause, NumbersAgainstTextFieldsCompareAsTheirText) {
  EXPECT_EQ(expressionOf("name = 12"), "\"name\" = '12'");
  EXPECT_EQ(expressionOf("name = 1E+20"), "\"name\" = '1E+20'");
}

TEST(WhereClause, DatesCompareWithTheStoredDateTimeAsText) {
  const std::string format = "format_date(\"opened\", 'yyyy-MM-dd HH:mm:ss', 'en') = ";
  EXPECT_EQ(expressionOf("opened = #2024-05-01#"), format + "'2024-05-01 00:00:00'");
  EXPECT_EQ(expressionOf("opened = #2024-05-01 13:45:09#"), format + "'2024-05-01 13:45:09'");
  EXPECT_EQ(expressionOf("opened = #1890-2-3#"), format + "'1890-02-03 00:00:00'");
  EXPECT_EQ(expressionOf("opened = #2024-02-29#"), format + "'2024-02-29 00:00:00'");
  EXPECT_EQ(expressionOf("opened = '2024-05-01'"), format + "'2024-05-01 00:00:00'");
  // A date against a text field is its text; against a number, or a non-date
  // text against a date field, nothing can match.
  EXPECT_EQ(expressionOf("name = #2024-05-01#"), "\"name\" = '2024-05-01'");
  EXPECT_EQ(expressionOf("lanes = #2024-05-01#"), "FALSE");
  EXPECT_EQ(expressionOf("opened = 'soon'"), "FALSE");
  EXPECT_EQ(expressionOf("opened = 2024"), "FALSE");
}

TEST(WhereClause, TheObjectIdClauseAsksForOneFeatureById) {
  for (const auto& [clause, id] :
       std::vector<std::pair<std::string, int64_t>>{{"$id = 42", 42},
                                                    {"$ID = 7", 7},
                                                    {" $id=-3 ", -3},
                                                    {"$id = 9223372036854775807", INT64_MAX}}) {
    const auto translated = translateWhereClause(clause, kFields, "$id");
    ASSERT_TRUE(translated.featureId) << clause;
    EXPECT_EQ(*translated.featureId, id) << clause;
    EXPECT_TRUE(translated.expression.empty());
  }
  expectRefused("$id = 1.5");
  expectRefused("$id = 'x'");
  expectRefused("$id = #2024-01-01#");
  expectRefused("$id = 9223372036854775808");
  // Without an object-id name "$id" is just an unknown field.
  EXPECT_THROW(translateWhereClause("$id = 1", kFields, ""), Failure);
}

TEST(WhereClause, AnEmptyClauseSelectsEverything) {
  EXPECT_TRUE(translateWhereClause("", kFields, "$id").selectsAll());
  EXPECT_TRUE(translateWhereClause("  \t ", kFields, "$id").selectsAll());
  EXPECT_FALSE(translateWhereClause("name = 'a'", kFields, "$id").selectsAll());
}

TEST(WhereClause, AnythingOutsideTheDialectIsRefused) {
  for (const char* clause : {
           "name",                      // no comparison
           "= 'x'",                     // no field
           "name =",                    // no literal
           "nope = 'x'",                // no such field
           "name = 'unterminated",      //
           "name = 'x' OR '1'='1'",     // something after the literal
           "name = 'x' --",             //
           "name = 'x'; DROP TABLE t",  //
           "name = \"x\"",              // identifiers are not literals
           "name = x",                  //
           "name == 'x'",               //
           "name <> 'x'",               //
           "name IN ('x')",             //
           "lanes = 12abc",             //
           "lanes = 1e",                //
           "lanes = --1",               //
           "lanes = 1..2",              //
           "lanes = .",                 //
           "lanes = nan",               //
           "lanes = inf",               //
           "lanes = 1e999",             // out of range
           "lanes = 0x10",              //
           "opened = #2024-13-01#",     // no such month
           "opened = #2024-02-30#",     // no such day
           "opened = #2023-02-29#",     //
           "opened = #2024-05-01 24:00:00#",
           "opened = #2024-05-01 12:60:00#",
           "opened = #2024-05-01T12:00:00#",
           "opened = #2024-05-01",    //
           "opened = ##",             //
           "opened = #x#",            //
           "opened = #20245-01-01#",  //
       }) {
    expectRefused(clause);
  }
}

TEST(WhereClause, TextSelectedByTheProviderIsCheckedAgainstTheLiteral) {
  // A provider may compare without case (COLLATE NOCASE, citext): the rows it
  // selects are checked, and a text no row holds as such is looked for in all.
  const auto translated = translateWhereClause("name = 'Main Street'", kFields, "$id");
  ASSERT_TRUE(translated.shownValue);
  EXPECT_EQ(translated.shownValue->text, "Main Street");
  EXPECT_TRUE(translated.checkSelected);
  EXPECT_TRUE(translated.scanWhenNoneSelected);
}

/**
 * Field names made of the clause's own characters ('=', quotes, blanks,
 * brackets, '#'), in clauses written as the component writes them: each
 * clause finds its own field and its own literal, never a neighbour whose
 * name it begins with or that begins with it.
 */
TEST(WhereClause, FieldNamesHoldingClauseCharactersAreFoundWhole) {
  uint64_t state = 987654321;
  auto next = [&] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<size_t>(state >> 33);
  };
  const std::string nameAlphabet = "ab=' \"[]()#$";
  const std::string valueAlphabet = "xy= \"#[]";
  for (int round = 0; round < 200; ++round) {
    std::vector<ClauseField> fields;
    // A family of names that begin with one another, and a few odd ones.
    std::string base(1, "ab"[next() % 2]);
    for (int i = 0; i < 8; ++i) {
      fields.push_back({base, next() % 3 == 0 ? ft::kInteger : ft::kText});
      base += nameAlphabet[next() % nameAlphabet.size()];
      if (next() % 4 == 0) base += " = ";
    }
    fields.push_back({"A", ft::kText});
    for (const ClauseField& field : fields) {
      std::string value;
      for (size_t n = next() % 6; n > 0; --n)
        value += valueAlphabet[next() % valueAlphabet.size()];
      const bool text = field.type == ft::kText;
      const std::string literal = text ? "'" + value + "'" : std::to_string(next() % 1000);
      const std::string clause = field.name + " = " + literal;
      SCOPED_TRACE(clause);
      qgis::TranslatedClause translated;
      try {
        translated = translateWhereClause(clause, fields, "$id");
      } catch (const Failure&) {
        ADD_FAILURE() << "refused";
        continue;
      }
      // Where two names differ in case only, the one written exactly is taken.
      if (text) {
        ASSERT_TRUE(translated.shownValue);
        EXPECT_EQ(translated.shownValue->field, field.name);
        EXPECT_EQ(translated.shownValue->text, value);
      }
      const QgsExpression parsed(QString::fromStdString(translated.expression));
      EXPECT_FALSE(parsed.hasParserError()) << translated.expression;
      EXPECT_EQ(parsed.referencedColumns(), QSet<QString>{QString::fromStdString(field.name)})
          << translated.expression;
    }
  }
  // Blanks written around a name that holds none still find it.
  const std::vector<ClauseField> fields = {{"a", ft::kText}, {"a = b", ft::kText}};
  EXPECT_EQ(translateWhereClause("  a   = 'x'", fields, "$id").shownValue->field, "a");
  EXPECT_EQ(translateWhereClause("a = b = 'x'", fields, "$id").shownValue->field, "a = b");
  EXPECT_EQ(translateWhereClause("a = 'b = x'", fields, "$id").shownValue->text, "b = x");
  EXPECT_THROW(translateWhereClause("a = b = x", fields, "$id"), Failure);
}

TEST(WhereClause, TextHoldingANulIsRefusedSinceNoExpressionCanCarryIt) {
  // Found by fuzzing: the expression would not parse.
  expectRefused(std::string("name = 'O\0Road'", 15));
  EXPECT_NO_THROW(translateWhereClause("name = 'O\x01Road'", kFields, "$id"));
}

/// Every expression the translation gives must parse in QGIS: the first step of
/// a query that cannot go wrong. Mutations of good clauses, seeded, either parse
/// or are refused; none crashes.
TEST(WhereClause, WhatIsAcceptedAlwaysParsesAsAQgisExpression) {
  const std::vector<std::string> seeds = {"name = 'O''Brien Road'",
                                          "Street Name = 'a,b'",
                                          "lanes = -1.5e3",
                                          "opened = #2024-05-01 13:45:09#",
                                          "$id = 12",
                                          "Owner's \"Name\" = ''''"};
  const std::string alphabet = "'\"#=-+.eE0123456789 \\aZ\x80\xC3\xFF\t\n$";
  uint64_t state = 12345;
  auto next = [&] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return state >> 33;
  };
  int accepted = 0, refused = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string clause = seeds[next() % seeds.size()];
    const int edits = 1 + static_cast<int>(next() % 3);
    for (int e = 0; e < edits && !clause.empty(); ++e) {
      const size_t at = next() % clause.size();
      const char c = alphabet[next() % alphabet.size()];
      switch (next() % 3) {
        case 0:
          clause[at] = c;
          break;
        case 1:
          clause.insert(at, 1, c);
          break;
        default:
          clause.erase(at, 1);
          break;
      }
    }
    try {
      const auto translated = translateWhereClause(clause, kFields, "$id");
      ++accepted;
      if (translated.featureId || translated.selectsAll()) continue;
      QgsExpression expression(QString::fromUtf8(translated.expression.c_str()));
      EXPECT_FALSE(expression.hasParserError())
          << "[" << clause << "] gave [" << translated.expression
          << "]: " << expression.parserErrorString().toStdString();
    } catch (const Failure& failure) {
      ++refused;
      EXPECT_EQ(failure.number, err::kHostInvalidSql);
    }
  }
  // The mutations exercise both roads.
  EXPECT_GT(accepted, 1000);
  EXPECT_GT(refused, 1000);
}

}  // namespace
}  // namespace corvale
