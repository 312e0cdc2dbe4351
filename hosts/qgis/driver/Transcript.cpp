#include "hosts/qgis/driver/Transcript.h"

#include <cmath>

#include <QJsonDocument>

namespace corvale::driver {

namespace {
double rounded(double value) { return std::round(value * 1000.0) / 1000.0; }
}  // namespace

void Transcript::write(const QJsonObject& event) {
  // "event" first, so that a reader sees at once what each line is; the rest in key order.
  QJsonObject rest = event;
  rest.remove(QStringLiteral("event"));
  QByteArray line = QJsonDocument(QJsonObject{{"event", event.value("event")}})
                        .toJson(QJsonDocument::Compact);
  if (!rest.isEmpty()) {
    line.chop(1);
    line += ',' + QJsonDocument(rest).toJson(QJsonDocument::Compact).mid(1);
  }
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

QJsonObject Transcript::rectangle(const QgsRectangle& r) {
  return QJsonObject{{"xmin", rounded(r.xMinimum())},
                     {"ymin", rounded(r.yMinimum())},
                     {"xmax", rounded(r.xMaximum())},
                     {"ymax", rounded(r.yMaximum())}};
}

}  // namespace corvale::driver
