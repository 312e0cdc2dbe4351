#pragma once

#include <cstdio>

#include <QJsonObject>

#include <qgsrectangle.h>

namespace corvale::driver {

/// The driver's output: one JSON object per line on standard output, flushed at once.
class Transcript {
 public:
  explicit Transcript(FILE* out = stdout) : out_(out) {}
  void write(const QJsonObject& event);

  /// A rectangle as {"xmin", "ymin", "xmax", "ymax"}, coordinates rounded to millimetres
  /// of a projected system (three decimals), so that transcripts compare as text.
  static QJsonObject rectangle(const QgsRectangle& r);

 private:
  FILE* out_;
};

}  // namespace corvale::driver
