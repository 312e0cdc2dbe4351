#include "runtime/Variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace corvale {

namespace {

template <class T, class V>
const T& held(const V& value) {
  if (const T* p = std::get_if<T>(&value)) return *p;
  raise(err::kTypeMismatch);
}

/// "d.dddE+xx" from the digits and decimal exponent of a number.
std::string exponentForm(const std::string& digits, int exponent, bool negative) {
  std::string text = negative ? "-" : "";
  text += digits[0];
  if (digits.size() > 1) {
    text += '.';
    text.append(digits, 1, std::string::npos);
  }
  char tail[16];
  std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  return text + tail;
}

/// Plain decimal form of the digits with the point after digit `exponent` + 1.
std::string plainForm(const std::string& digits, int exponent, bool negative) {
  std::string text = negative ? "-" : "";
  if (exponent < 0) {
    text += "0.";
    text.append(static_cast<size_t>(-exponent - 1), '0');
    text += digits;
    return text;
  }
  const auto whole = static_cast<size_t>(exponent) + 1;
  if (digits.size() <= whole) {
    text += digits;
    text.append(whole - digits.size(), '0');
  } else {
    text.append(digits, 0, whole);
    text += '.';
    text.append(digits, whole, std::string::npos);
  }
  return text;
}

}  // namespace

const std::string& Variant::text() const { return held<std::string>(value_); }
int64_t Variant::integer() const { return held<int64_t>(value_); }
double Variant::number() const { return held<double>(value_); }
const Date& Variant::date() const { return held<Date>(value_); }
bool Variant::boolean() const { return held<bool>(value_); }
const ObjectRef& Variant::object() const { return held<ObjectRef>(value_); }

std::string doubleText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";

  // The fewest significant digits (at most 15) that read back the same value.
  // to_chars and from_chars, unlike printf and strtod, ignore the process's
  // numeric locale, which QGIS sets to the user's (a German one writes "1,5").
  char buffer[40];
  auto scientific = [&](int precision) {
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer - 1, value,
                                      std::chars_format::scientific, precision - 1);
    if (error != std::errc()) raise(err::kOverflow);
    *end = '\0';
    return end;
  };
  int precision = 1;
  for (; precision < 15; ++precision) {
    const char* end = scientific(precision);
    double back = 0;
    auto [stop, error] = std::from_chars(buffer, end, back);
    if (error == std::errc() && back == value) break;
  }
  scientific(precision);

  // buffer is "[-]d.ddde[+-]xx": split it into digits and exponent.
  const bool negative = buffer[0] == '-';
  std::string digits;
  const char* p = buffer + (negative ? 1 : 0);
  for (; *p != 'e'; ++p) {
    if (*p != '.') digits += *p;
  }
  const int exponent = std::atoi(p + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  if (exponent < -5 || exponent >= 15) return exponentForm(digits, exponent, negative);
  return plainForm(digits, exponent, negative);
}

namespace {

/// The text form of a date, as textOf gives it.
std::string dateText(const Date& d) {
  char buffer[64];
  if (d.hour == 0 && d.minute == 0 && d.second == 0) {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", d.year, d.month, d.day);
  } else {
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                  d.hour, d.minute, d.second);
  }
  return buffer;
}

}  // namespace

std::string textOf(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::Empty: return {};
    case Variant::Kind::Null: raise(err::kInvalidUseOfNull);
    case Variant::Kind::Text: return value.text();
    case Variant::Kind::Integer: return std::to_string(value.integer());
    case Variant::Kind::Double: return doubleText(value.number());
    case Variant::Kind::Date: return dateText(value.date());
    case Variant::Kind::Boolean: return value.boolean() ? "True" : "False";
    case Variant::Kind::Object: raise(err::kTypeMismatch);
  }
  raise(err::kTypeMismatch);
}

}  // namespace corvale
