#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "runtime/Object.h"

namespace corvale {

/// A calendar date with a time of day, as a date field holds it.
struct Date {
  int32_t year = 1899;
  int32_t month = 12;
  int32_t day = 30;
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;

  friend bool operator==(const Date&, const Date&) = default;
};

/**
 * A value of any of the kinds a field or a property can hold: empty (never
 * assigned), null (a field without a value), text, integer, double, date,
 * boolean or an object reference.
 */
class Variant {
 public:
  enum class Kind { Empty, Null, Text, Integer, Double, Date, Boolean, Object };
  struct NullValue {
    friend bool operator==(NullValue, NullValue) { return true; }
  };

  Variant() = default;
  static Variant null() { return Variant(NullValue{}); }
  Variant(std::string text) : value_(std::move(text)) {}
  Variant(const char* text) : value_(std::string(text)) {}
  Variant(int64_t integer) : value_(integer) {}
  Variant(int32_t integer) : value_(int64_t{integer}) {}
  Variant(double number) : value_(number) {}
  Variant(Date date) : value_(date) {}
  Variant(bool boolean) : value_(boolean) {}
  Variant(ObjectRef object) : value_(std::move(object)) {}

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  bool isEmpty() const { return kind() == Kind::Empty; }
  bool isNull() const { return kind() == Kind::Null; }

  /// The held value; asking for another kind than the one held is failure 13.
  const std::string& text() const;
  int64_t integer() const;
  double number() const;
  const Date& date() const;
  bool boolean() const;
  const ObjectRef& object() const;

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  explicit Variant(NullValue n) : value_(n) {}

  std::variant<std::monostate, NullValue, std::string, int64_t, double, Date, bool, ObjectRef>
      value_;
};

/**
 * The text form of a value, the standard conversion that the value texts of
 * the distinct-value list use:
 * - empty: the empty text; text: unchanged;
 * - integer: decimal, a minus sign when negative;
 * - double: the shortest text with at most 15 significant digits that reads
 *   back to the same value where one exists, '.' as decimal point, exponent
 *   form ("1.5E+20", "1E-06") outside 1E-05 <= |x| < 1E+15;
 * - date: "yyyy-mm-dd", followed by " hh:mm:ss" when the time is not midnight;
 * - boolean: "True" or "False".
 * Null has no text form (failure 94 "Invalid use of Null"); neither has an
 * object (failure 13).
 */
std::string textOf(const Variant& value);

/// The text form of a double, as textOf gives it.
std::string doubleText(double value);

}  // namespace corvale
