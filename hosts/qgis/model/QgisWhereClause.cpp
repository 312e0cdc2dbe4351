#include "hosts/qgis/model/QgisWhereClause.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <tuple>
#include <utility>

#include <qgsexpression.h>

#include "host/Data.h"
#include "hosts/qgis/common/QgisText.h"
#include "runtime/Failure.h"
#include "runtime/Text.h"

namespace corvale::qgis {

namespace {

[[noreturn]] void refuse() {
  raise(err::kHostInvalidSql, "An invalid SQL statement was used.");
}

bool isBlankChar(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && isBlankChar(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isBlankChar(text.back()))
    text.remove_suffix(1);
  return text;
}

/// The number literal, checked against the dialect's grammar.
struct Number {
  bool isInteger = false;
  int64_t integer = 0;
  double value = 0;
};

/// The literal checked against the number grammar; refused when it does not follow it.
void checkNumberGrammar(std::string_view text) {
  std::string_view body = text;
  if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
  size_t i = 0, intDigits = 0, fracDigits = 0;
  while (i < body.size() && isDigit(body[i]))
    ++i, ++intDigits;
  if (i < body.size() && body[i] == '.') {
    ++i;
    while (i < body.size() && isDigit(body[i]))
      ++i, ++fracDigits;
  }
  if (intDigits + fracDigits == 0) refuse();
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < body.size() && isDigit(body[i]))
      ++i, ++expDigits;
    if (expDigits == 0) refuse();
  }
  if (i != body.size()) refuse();
}

Number parseNumber(std::string_view text) {
  checkNumberGrammar(text);
  std::string_view body = text;
  const bool negative = body.front() == '-';
  if (body.front() == '+' || body.front() == '-') body.remove_prefix(1);
  const bool fraction = body.find('.') != std::string_view::npos;
  const bool exponent = body.find_first_of("eE") != std::string_view::npos;

  // from_chars reads neither a '+' sign nor a leading '.'; give it the text it reads.
  std::string plain = negative ? "-" : "";
  if (body.front() == '.') plain += '0';
  plain += body;
  Number number;
  const char* first = plain.data();
  const char* last = plain.data() + plain.size();
  if (!fraction && !exponent) {
    auto [end, ec] = std::from_chars(first, last, number.integer);
    if (ec == std::errc() && end == last) {
      number.isInteger = true;
      number.value = static_cast<double>(number.integer);
      return number;
    }
  }
  auto [end, ec] = std::from_chars(first, last, number.value);
  if (ec != std::errc() || end != last || !std::isfinite(number.value)) refuse();
  return number;
}

/// Digits only, at least one and at most `most`; -1 for anything else.
int parseDigits(std::string_view text, size_t most) {
  if (text.empty() || text.size() > most) return -1;
  int value = 0;
  for (char c : text) {
    if (!isDigit(c)) return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

/**
 * "yyyy-mm-dd" or "yyyy-mm-dd hh:mm:ss" (fewer digits allowed) as
 * "yyyy-MM-dd HH:mm:ss"; nothing when the text is not a real date and time.
 */
std::optional<std::string> normalisedDate(std::string_view text) {
  const size_t blank = text.find(' ');
  const std::string_view datePart = text.substr(0, blank);
  const size_t dash1 = datePart.find('-');
  const size_t dash2 = dash1 == std::string_view::npos ? dash1 : datePart.find('-', dash1 + 1);
  if (dash2 == std::string_view::npos) return std::nullopt;
  const int year = parseDigits(datePart.substr(0, dash1), 4);
  const int month = parseDigits(datePart.substr(dash1 + 1, dash2 - dash1 - 1), 2);
  const int day = parseDigits(datePart.substr(dash2 + 1), 2);
  if (year < 0 || month < 0 || day < 0) return std::nullopt;
  const std::chrono::year_month_day ymd{std::chrono::year{year},
                                        std::chrono::month{static_cast<unsigned>(month)},
                                        std::chrono::day{static_cast<unsigned>(day)}};
  if (!ymd.ok()) return std::nullopt;
  int hour = 0, minute = 0, second = 0;
  if (blank != std::string_view::npos) {
    const std::string_view timePart = text.substr(blank + 1);
    const size_t colon1 = timePart.find(':');
    const size_t colon2 =
        colon1 == std::string_view::npos ? colon1 : timePart.find(':', colon1 + 1);
    if (colon2 == std::string_view::npos) return std::nullopt;
    hour = parseDigits(timePart.substr(0, colon1), 2);
    minute = parseDigits(timePart.substr(colon1 + 1, colon2 - colon1 - 1), 2);
    second = parseDigits(timePart.substr(colon2 + 1), 2);
    if (hour < 0 || minute < 0 || second < 0 || hour > 23 || minute > 59 || second > 59) {
      return std::nullopt;
    }
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                minute, second);
  return std::string(buffer);
}

/// The text between the quotes, with doubled apostrophes made single; nothing may follow.
/// A NUL cannot stand in a QGIS expression: text holding one is refused.
std::string parseText(std::string_view literal) {
  std::string text;
  size_t i = 1;
  for (;;) {
    if (i >= literal.size()) refuse();
    if (literal[i] == '\'') {
      if (i + 1 < literal.size() && literal[i + 1] == '\'') {
        text += '\'';
        i += 2;
        continue;
      }
      break;
    }
    if (literal[i] == '\0') refuse();
    text += literal[i++];
  }
  if (i + 1 != literal.size()) refuse();
  return text;
}

const ClauseField* findField(const std::vector<ClauseField>& fields, std::string_view name) {
  for (const auto& field : fields) {
    if (field.name == name) return &field;
  }
  for (const auto& field : fields) {
    if (equalsNoCase(field.name, name)) return &field;
  }
  return nullptr;
}

std::string numberText(const Number& number) {
  if (number.isInteger) return std::to_string(number.integer);
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, number.value);
  if (ec != std::errc()) refuse();
  return std::string(buffer, end);
}

std::string column(const ClauseField& field) {
  return utf8Of(QgsExpression::quotedColumnRef(qstringOf(field.name)));
}

std::string quotedLiteral(std::string_view text) {
  return utf8Of(QgsExpression::quotedString(qstringOf(text)));
}

/// The stored date-time as text, in its own time zone, against the normalised date.
std::string dateComparison(const ClauseField& field, const std::string& date) {
  return "format_date(" + column(field) + ", 'yyyy-MM-dd HH:mm:ss', 'en') = " +
         quotedLiteral(date);
}

constexpr const char* kNever = "FALSE";

/// The literal's value as a double; nothing beyond the double range.
std::optional<double> doubleOf(std::string_view literal) {
  std::string plain;
  if (literal.front() == '-') plain += '-';
  if (literal.front() == '+' || literal.front() == '-') literal.remove_prefix(1);
  if (literal.front() == '.') plain += '0';
  plain += literal;
  double value = 0;
  auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (ec != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

/// The decimal exponent of the literal's first significant digit; nothing for zero.
std::optional<int> leadingExponent(std::string_view literal) {
  const size_t e = literal.find_first_of("eE");
  const std::string_view mantissa = literal.substr(0, e);
  const size_t point = std::min(mantissa.find('.'), mantissa.size());
  std::optional<int> lead;
  for (size_t i = 0; i < mantissa.size() && !lead; ++i) {
    if (isDigit(mantissa[i]) && mantissa[i] != '0') {
      lead = i < point ? static_cast<int>(point - i) - 1 : -static_cast<int>(i - point);
    }
  }
  if (!lead || e == std::string_view::npos) return lead;
  std::string_view digits = literal.substr(e + 1);
  if (digits.front() == '+') digits.remove_prefix(1);
  int exponent = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), exponent);
  if (ec != std::errc()) exponent = digits.front() == '-' ? -100000 : 100000;  // far out
  if (exponent > 100000 || exponent < -100000) exponent = exponent < 0 ? -100000 : 100000;
  return *lead + exponent;
}

/**
 * A range of a double field a little wider than the values whose 15-digit
 * text form is the literal, or "= 0" for zero. A literal beyond the double
 * range stands for the values at its end: the range has one bound.
 */
std::string doubleRange(const ClauseField& field, std::string_view literal) {
  const std::optional<int> lead = leadingExponent(literal);
  if (!lead) return column(field) + " = 0";
  const std::optional<double> value = doubleOf(literal);
  // No double shows as more than 1.79769313486232E+308 or less than 5E-324.
  if (*lead > 308 || (!value && *lead < 0)) return kNever;
  // Ten times the unit of the 15th significant digit.
  const double unit = std::pow(10.0, *lead - 13);
  constexpr double kLargest = std::numeric_limits<double>::max();
  const double middle = value ? *value : (literal.front() == '-' ? -kLargest : kLargest);
  std::string range;
  if (middle - unit > -kLargest)
    range = column(field) + " >= " + numberText({false, 0, middle - unit});
  if (middle + unit < kLargest) {
    if (!range.empty()) range += " AND ";
    range += column(field) + " <= " + numberText({false, 0, middle + unit});
  }
  return range;
}

/// A field a clause may compare, and where its '=' would stand.
struct ClauseTarget {
  const ClauseField* field = nullptr;
  bool objectId = false;
  size_t equals = std::string_view::npos;
};

/**
 * The fields the clause may begin with, most likely first. A field name may
 * itself hold blanks, '=' or quotes, so the clause is matched against the
 * names: a name counts when only blanks stand between it and an '='. The one
 * written as the component writes a clause (at the very start, then " =")
 * comes first, then the longest, then the object id, then a name in its own
 * letter case. Last comes the text before the first '=', trimmed, as a field
 * name (a name whose other letter case has another length is found so).
 */
std::vector<ClauseTarget> targetsOf(std::string_view clause, const std::vector<ClauseField>& fields,
                                    std::string_view objectIdFieldName) {
  size_t lead = 0;
  while (lead < clause.size() && isBlankChar(clause[lead]))
    ++lead;
  using Rank = std::tuple<bool, size_t, bool, bool>;
  std::vector<std::pair<Rank, ClauseTarget>> ranked;
  auto consider = [&](std::string_view name, const ClauseField* field, bool objectId) {
    if (name.empty()) return;
    const size_t starts[] = {0, lead};
    for (size_t k = 0; k < (lead > 0 ? 2u : 1u); ++k) {
      const size_t start = starts[k];
      if (clause.size() - start < name.size()) continue;
      const std::string_view prefix = clause.substr(start, name.size());
      const bool exact = prefix == name;
      if (!exact && !equalsNoCase(prefix, name)) continue;
      size_t at = start + name.size();
      while (at < clause.size() && isBlankChar(clause[at]))
        ++at;
      if (at >= clause.size() || clause[at] != '=') continue;
      const bool written = start == 0 && at == name.size() + 1 && clause[name.size()] == ' ';
      ranked.push_back({Rank{written, name.size(), objectId, exact}, {field, objectId, at}});
    }
  };
  if (!objectIdFieldName.empty()) consider(objectIdFieldName, nullptr, true);
  for (const auto& field : fields)
    consider(field.name, &field, false);
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<ClauseTarget> targets;
  for (const auto& entry : ranked)
    targets.push_back(entry.second);

  const size_t equals = clause.find('=');
  if (equals == std::string_view::npos) return targets;
  const std::string_view name = trim(clause.substr(0, equals));
  if (name.empty()) return targets;
  if (!objectIdFieldName.empty() && equalsNoCase(name, objectIdFieldName)) {
    targets.push_back({nullptr, true, equals});
  } else if (const ClauseField* field = findField(fields, name)) {
    targets.push_back({field, false, equals});
  }
  return targets;
}

/// The clause as a comparison of this target with the literal after its '='.
TranslatedClause translateFor(std::string_view clause, const ClauseTarget& target);

bool isNumeric(int32_t type) {
  namespace ft = host::fieldtype;
  return type == ft::kSmallInteger || type == ft::kInteger || type == ft::kSingle ||
         type == ft::kDouble || type == ft::kObjectId;
}

}  // namespace

TranslatedClause translateWhereClause(std::string_view clause,
                                      const std::vector<ClauseField>& fields,
                                      std::string_view objectIdFieldName) {
  if (trim(clause).empty()) return {};
  const std::vector<ClauseTarget> targets = targetsOf(clause, fields, objectIdFieldName);
  if (targets.empty()) refuse();
  // A field whose name runs into the literal leaves a literal that is no
  // literal: the next field the clause may begin with is tried.
  for (size_t i = 0; i + 1 < targets.size(); ++i) {
    try {
      return translateFor(clause, targets[i]);
    } catch (const Failure& failure) {
      if (failure.number != err::kHostInvalidSql) throw;
    }
  }
  return translateFor(clause, targets.back());
}

namespace {

TranslatedClause translateFor(std::string_view clause, const ClauseTarget& target) {
  const std::string_view literal = trim(clause.substr(target.equals + 1));
  if (literal.empty()) refuse();

  TranslatedClause result;
  if (target.objectId) {
    const Number id = parseNumber(literal);
    if (!id.isInteger) refuse();
    result.featureId = id.integer;
    return result;
  }
  const ClauseField* field = target.field;
  const bool dateField = field->type == host::fieldtype::kDate;

  if (literal.front() == '\'') {
    const std::string text = parseText(literal);
    if (!dateField) {
      result.expression = column(*field) + " = " + quotedLiteral(text);
      if (field->type == host::fieldtype::kText) {
        // A provider may compare text its own way (without case, say): each row
        // it selects is checked against the text itself.
        result.shownValue = TranslatedClause::ShownValue{field->name, text, std::nullopt};
        result.checkSelected = true;
        result.scanWhenNoneSelected = true;
      }
    } else {
      // A date field equals a text only where the text is a date.
      const auto date = normalisedDate(text);
      result.expression = date ? dateComparison(*field, *date) : kNever;
    }
  } else if (literal.front() == '#') {
    if (literal.size() < 2 || literal.back() != '#') refuse();
    const std::string_view inner = literal.substr(1, literal.size() - 2);
    const auto date = normalisedDate(inner);
    if (!date) refuse();
    if (dateField) {
      result.expression = dateComparison(*field, *date);
    } else if (isNumeric(field->type)) {
      result.expression = kNever;
    } else {
      result.expression = column(*field) + " = " + quotedLiteral(inner);
    }
  } else if (equalsNoCase(literal, "True") || equalsNoCase(literal, "False")) {
    const bool truth = equalsNoCase(literal, "True");
    if (field->type == host::fieldtype::kSmallInteger) {
      result.expression = column(*field) + " = " + (truth ? "TRUE" : "FALSE");
    } else if (field->type == host::fieldtype::kText) {
      result.expression = column(*field) + " = " + quotedLiteral(truth ? "True" : "False");
    } else {
      result.expression = kNever;
    }
  } else if (field->type == host::fieldtype::kDouble || field->type == host::fieldtype::kSingle) {
    checkNumberGrammar(literal);
    result.expression = doubleRange(*field, literal);
    result.shownValue =
        TranslatedClause::ShownValue{field->name, std::string(literal), doubleOf(literal)};
    result.checkSelected = true;
  } else {
    const Number number = parseNumber(literal);
    if (isNumeric(field->type)) {
      result.expression = column(*field) + " = " + numberText(number);
    } else if (dateField) {
      result.expression = kNever;
    } else {
      result.expression = column(*field) + " = " + quotedLiteral(literal);
    }
  }
  return result;
}

}  // namespace

}  // namespace corvale::qgis
