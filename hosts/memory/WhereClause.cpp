#include "hosts/memory/WhereClause.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "runtime/Text.h"

namespace corvale::memory {

namespace {

[[noreturn]] void refuse() {
  raise(err::kHostInvalidSql, "An invalid SQL statement was used.");
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

Date parseDate(std::string_view text) {
  Date d;
  const std::string s(text);
  char tail = 0;
  int n = std::sscanf(s.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &d.year, &d.month, &d.day, &d.hour,
                      &d.minute, &d.second, &tail);
  if (n == 3) {
    d.hour = d.minute = d.second = 0;
    if (s.size() != 10) refuse();
  } else if (n != 6) {
    refuse();
  }
  if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour > 23 || d.minute > 59 ||
      d.second > 59) {
    refuse();
  }
  return d;
}

}  // namespace

WhereClause WhereClause::parse(std::string_view clause) {
  const size_t equals = clause.find('=');
  if (equals == std::string_view::npos) refuse();
  WhereClause where;
  const std::string_view field = trim(clause.substr(0, equals));
  if (field.empty() || field.find_first_of("'#\"") != std::string_view::npos) refuse();
  where.field = field;

  std::string_view rest = trim(clause.substr(equals + 1));
  if (rest.empty()) refuse();
  if (rest.front() == '\'') {
    where.kind = LiteralKind::Text;
    size_t i = 1;
    for (;;) {
      if (i >= rest.size()) refuse();  // unterminated
      if (rest[i] == '\'') {
        if (i + 1 < rest.size() && rest[i + 1] == '\'') {
          where.literal += '\'';
          i += 2;
          continue;
        }
        break;
      }
      where.literal += rest[i++];
    }
    if (i + 1 != rest.size()) refuse();  // something after the closing quote
  } else if (rest.front() == '#') {
    if (rest.size() < 2 || rest.back() != '#') refuse();
    where.kind = LiteralKind::Date;
    where.literal = rest.substr(1, rest.size() - 2);
    where.date = parseDate(where.literal);
  } else if (equalsNoCase(rest, "True") || equalsNoCase(rest, "False")) {
    where.kind = LiteralKind::Boolean;
    where.literal = rest;
    where.boolean = equalsNoCase(rest, "True");
  } else {
    where.kind = LiteralKind::Number;
    where.literal = rest;
    char* end = nullptr;
    where.number = std::strtod(where.literal.c_str(), &end);
    if (end == where.literal.c_str() || *end != '\0' ||
        where.literal.find_first_not_of("0123456789+-.eE") != std::string::npos) {
      refuse();
    }
    int64_t integer = 0;
    const char* last = where.literal.data() + where.literal.size();
    auto [at, error] = std::from_chars(where.literal.data(), last, integer);
    if (error == std::errc() && at == last) where.integer = integer;
  }
  return where;
}

bool WhereClause::matches(const Variant& value) const {
  switch (value.kind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
    case Variant::Kind::Object: return false;
    case Variant::Kind::Integer:
      if (kind != LiteralKind::Number) return textOf(value) == literal;
      return integer ? value.integer() == *integer : static_cast<double>(value.integer()) == number;
    case Variant::Kind::Double:
      return kind == LiteralKind::Number
                 ? value.number() == number || doubleText(value.number()) == literal
                 : textOf(value) == literal;
    case Variant::Kind::Boolean:
      return kind == LiteralKind::Boolean ? value.boolean() == boolean : textOf(value) == literal;
    case Variant::Kind::Date:
      return kind == LiteralKind::Date ? value.date() == date : textOf(value) == literal;
    default: return textOf(value) == literal;
  }
}

}  // namespace corvale::memory
