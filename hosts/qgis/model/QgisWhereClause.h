#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvale::qgis {

/// A field of the table a where clause is read against: its own name and host type code.
struct ClauseField {
  std::string name;
  int32_t type = 0;
};

/**
 * A where clause as QGIS reads it: one feature by its id, the features a QGIS
 * expression selects, or (for an empty clause) every feature.
 */
struct TranslatedClause {
  std::optional<int64_t> featureId;
  /// A QGIS expression in UTF-8; empty together with featureId for "every feature".
  std::string expression;

  /**
   * A value as the component shows it: a row counts when its value in `field`
   * has this text form (textOf) or, for a number, equals `number`.
   */
  struct ShownValue {
    /// The field's own name.
    std::string field;
    std::string text;
    std::optional<double> number;
  };
  /// Set where the expression alone does not decide: see checkSelected and scanWhenNoneSelected.
  std::optional<ShownValue> shownValue;
  /// The expression selects a few rows more than the clause: each must pass shownValue.
  bool checkSelected = false;
  /// When the expression selects no row, every row of the table is read and those
  /// that pass shownValue are the result.
  bool scanWhenNoneSelected = false;

  bool selectsAll() const { return !featureId && expression.empty(); }
};

/**
 * Translates a where clause of the component's dialect into QGIS terms. The
 * dialect is exactly
 *   <field> = 'text'          an apostrophe inside written twice
 *   <field> = <number>        [+-]digits[.digits][(e|E)[+-]digits]
 *   <field> = #yyyy-mm-dd#    or #yyyy-mm-dd hh:mm:ss#, a real calendar date
 *   <oid field> = <integer>   a request for one feature by its id
 * with blanks allowed around the field, the '=' and the literal; an empty or
 * blank clause selects every feature. The field is the name of `fields` (or
 * the object-id field name) that the clause begins with, in its own letter
 * case or any case, followed by blanks and the '=': names may hold blanks,
 * '=', quotes or brackets themselves. Of several such names the one at the
 * very start followed by " =" (as the component writes a clause) wins, then
 * the longest. Where no name fits that way, the field is the text before the
 * first '=', trimmed, and must name one of `fields` or the object id.
 *
 * The expression quotes the field with QgsExpression::quotedColumnRef and text
 * with QgsExpression::quotedString, so a value can never change the query.
 * Its comparison follows the field's type: numbers against numeric fields;
 * dates against date fields as "yyyy-MM-dd HH:mm:ss" text of the stored value
 * (no time-zone conversion); True or False (any letter case) against a
 * boolean field; any literal against a text field as the literal's text,
 * compared exactly. A literal that cannot equal any value of the field (a
 * date against a number) gives the expression FALSE.
 *
 * The component looks values up by the text its list shows, so two clauses
 * also find what shows as their literal:
 * - a number against a double field selects the values that equal it or
 *   whose text form (15 significant digits) is the literal: the expression
 *   takes a narrow range around it and checkSelected asks for the check;
 * - text against a text field selects the values equal to it; as a provider
 *   may compare text without regard to case (a GeoPackage column COLLATE
 *   NOCASE, a PostgreSQL citext), checkSelected keeps only the rows whose text
 *   is the literal exactly; when there is none, scanWhenNoneSelected asks for
 *   every row whose text, as QGIS reads and decodes it, is the text (bytes
 *   that are not UTF-8, a NUL, a blob).
 *
 * Needs no QGIS object and no initialised QgsApplication; any byte sequence is
 * safe to pass. Anything outside the dialect, an unknown field, a number out
 * of range, an impossible date or text holding a NUL (which no QGIS expression
 * can carry) is failure kHostInvalidSql, "An invalid SQL
 * statement was used."
 */
TranslatedClause translateWhereClause(std::string_view clause,
                                      const std::vector<ClauseField>& fields,
                                      std::string_view objectIdFieldName);

}  // namespace corvale::qgis
