#pragma once

#include <cstdio>
#include <string>

#include <QJsonObject>

#include <qgsrectangle.h>

namespace corvale::driver {

/// The driver's output: one JSON object per line on standard output, flushed at once.
class Transcript {
 public:
  explicit Transcript(FILE* out = stdout) : out_(out) {}

  /**
   * Writes the event as one line: "event" first, the other members in key
   * order, nested objects in key order. Every number is written in the
   * shortest form that reads back as the same double (std::to_chars), so a
   * script can check coordinates exactly; infinities and NaN are null.
   */
  void write(const QJsonObject& event);

  /// A rectangle as {"xmin", "ymin", "xmax", "ymax"}, coordinates as they are.
  static QJsonObject rectangle(const QgsRectangle& r);
  /// A number as the transcript writes it.
  static std::string number(double value);

 private:
  FILE* out_;
};

}  // namespace corvale::driver
