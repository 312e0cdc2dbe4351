#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <qgsexpression.h>

#include "host/Data.h"
#include "hosts/qgis/QgisWhereClause.h"
#include "runtime/Failure.h"

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
  EXPECT_EQ(expressionOf("width_m = 6.5"), "\"width_m\" = 6.5");
  EXPECT_EQ(expressionOf("width_m = .5"), "\"width_m\" = 0.5");
  EXPECT_EQ(expressionOf("width_m = 3."), "\"width_m\" = 3");
  EXPECT_EQ(expressionOf("width_m = 1.5E+20"), "\"width_m\" = 1.5e+20");
  EXPECT_EQ(expressionOf("width_m = 1E-05"), "\"width_m\" = 1e-05");
  EXPECT_EQ(expressionOf("fid = 99999999999999999999"), "\"fid\" = 1e+20");
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
