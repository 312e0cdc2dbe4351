#include "hosts/qgis/driver/Transcript.h"

#include <charconv>
#include <cmath>

#include <QJsonArray>
#include <QJsonDocument>

namespace corvale::driver {

namespace {

void append(QByteArray& line, const QJsonValue& value);

/// A text as a JSON string, escaped as Qt escapes it.
void appendString(QByteArray& line, const QString& text) {
  const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
  line += array.mid(1, array.size() - 2);
}

void appendObject(QByteArray& line, const QJsonObject& object, const QString& first = {}) {
  line += '{';
  bool any = false;
  auto member = [&](const QString& key, const QJsonValue& value) {
    if (any) line += ',';
    any = true;
    appendString(line, key);
    line += ':';
    append(line, value);
  };
  if (!first.isEmpty() && object.contains(first)) member(first, object.value(first));
  for (auto it = object.begin(); it != object.end(); ++it) {
    if (it.key() != first || first.isEmpty()) member(it.key(), it.value());
  }
  line += '}';
}

void append(QByteArray& line, const QJsonValue& value) {
  switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
      line += "null";
      break;
    case QJsonValue::Bool:
      line += value.toBool() ? "true" : "false";
      break;
    case QJsonValue::Double:
      line += Transcript::number(value.toDouble()).c_str();
      break;
    case QJsonValue::String:
      appendString(line, value.toString());
      break;
    case QJsonValue::Array: {
      line += '[';
      const QJsonArray array = value.toArray();
      for (int i = 0; i < array.size(); ++i) {
        if (i > 0) line += ',';
        append(line, array.at(i));
      }
      line += ']';
      break;
    }
    case QJsonValue::Object:
      appendObject(line, value.toObject());
      break;
  }
}

}  // namespace

std::string Transcript::number(double value) {
  // JSON has no form for infinities and NaN.
  if (!std::isfinite(value)) return "null";
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return "null";
  return std::string(buffer, end);
}

void Transcript::write(const QJsonObject& event) {
  // "event" first, so that a reader sees at once what each line is; the rest in key order.
  QByteArray line;
  appendObject(line, event, QStringLiteral("event"));
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

QJsonObject Transcript::rectangle(const QgsRectangle& r) {
  return QJsonObject{{"xmin", r.xMinimum()},
                     {"ymin", r.yMinimum()},
                     {"xmax", r.xMaximum()},
                     {"ymax", r.yMaximum()}};
}

}  // namespace corvale::driver
