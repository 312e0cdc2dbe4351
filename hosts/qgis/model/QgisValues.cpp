#include "hosts/qgis/model/QgisValues.h"

#include <limits>

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <qgsfield.h>

#include "host/Data.h"
#include "hosts/qgis/common/QgisText.h"
#include "hosts/qgis/common/QgisCompat.h"

namespace corvale::qgis {

namespace {
Date dateOf(const QDate& date, const QTime& time) {
  Date d;
  d.year = date.year();
  d.month = date.month();
  d.day = date.day();
  d.hour = time.hour();
  d.minute = time.minute();
  d.second = time.second();
  return d;
}
}  // namespace

int32_t fieldTypeCode(const QgsField& field, bool isPrimaryKey) {
  namespace ft = host::fieldtype;
  switch (compat::fieldType(field)) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      return isPrimaryKey ? ft::kObjectId : ft::kInteger;
    case QMetaType::Double:
      return ft::kDouble;
    case QMetaType::Bool:
      return ft::kSmallInteger;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
      return ft::kDate;
    case QMetaType::QByteArray:
      return ft::kBlob;
    default:
      return ft::kText;
  }
}

Variant variantOf(const QVariant& value) {
  if (value.isNull()) return Variant::null();
  switch (compat::valueType(value)) {
    case QMetaType::QString:
      return Variant(utf8Of(value.toString()));
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
      return Variant(static_cast<int64_t>(value.toLongLong()));
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::UChar:
      return Variant(static_cast<int64_t>(value.toULongLong()));
    case QMetaType::ULongLong: {
      const qulonglong n = value.toULongLong();
      if (n <= static_cast<qulonglong>(std::numeric_limits<int64_t>::max())) {
        return Variant(static_cast<int64_t>(n));
      }
      return Variant(std::to_string(n));
    }
    case QMetaType::Double:
    case QMetaType::Float:
      return Variant(value.toDouble());
    case QMetaType::Bool:
      return Variant(value.toBool());
    case QMetaType::QDate:
      return Variant(dateOf(value.toDate(), QTime(0, 0)));
    case QMetaType::QDateTime: {
      const QDateTime dateTime = value.toDateTime();
      return Variant(dateOf(dateTime.date(), dateTime.time()));
    }
    case QMetaType::QTime:
      return Variant(utf8Of(value.toTime().toString(QStringLiteral("HH:mm:ss"))));
    case QMetaType::QByteArray:
      raise(err::kTypeMismatch);
    default:
      break;
  }
  QVariant text = value;
  if (!value.canConvert<QString>() || !text.convert(QMetaType::QString)) raise(err::kTypeMismatch);
  return Variant(utf8Of(text.toString()));
}

}  // namespace corvale::qgis
