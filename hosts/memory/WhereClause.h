#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/Variant.h"

namespace corvale::memory {

/**
 * A where clause of the in-memory host's small dialect:
 *   <field> = 'text'     (an apostrophe inside doubled: 'O''Brien')
 *   <field> = number     (-12, 3.5, 1E+20)
 *   <field> = #date#     (#2024-05-01# or #2024-05-01 13:45:00#)
 *   <field> = True       (or False, in any letter case)
 * The field is the text before '=', trimmed. Anything else is refused.
 *
 * A number matches the values that equal it and the values whose text form
 * (textOf) is the number as written: the component writes numbers as the list
 * shows them, which for a double is rounded to 15 digits. An integer literal
 * is compared with integer values exactly, not through a double.
 */
struct WhereClause {
  enum class LiteralKind { Text, Number, Date, Boolean };
  std::string field;
  LiteralKind kind = LiteralKind::Text;
  /// The literal's text as written (unquoted for text).
  std::string literal;
  double number = 0;
  /// The number as an integer, where the literal is one that fits 64 bits.
  std::optional<int64_t> integer;
  bool boolean = false;
  Date date;

  /// Parses the clause; a malformed one is the host's failure "An invalid SQL statement was used."
  static WhereClause parse(std::string_view clause);

  /// Whether a field value satisfies the clause; null never does.
  bool matches(const Variant& value) const;
};

}  // namespace corvale::memory
