#pragma once

#include <cstdint>

#include <QVariant>

#include "runtime/Variant.h"

class QgsField;

namespace corvale::qgis {

/**
 * The host's type code of a QGIS field: 6 for the provider's integer primary
 * key (the feature id column), 4 for text (and times of day, which read as
 * text), 5 for dates and date-times, 1 for integers of any width, 3 for
 * doubles, 0 for booleans, 8 for binary data; any other type reads as text (4).
 */
int32_t fieldTypeCode(const QgsField& field, bool isPrimaryKey);

/**
 * The component's value of a QGIS attribute value:
 * - a null value of any type stays null;
 * - text becomes UTF-8 (never invalid, see utf8Of);
 * - QDate and QDateTime become a Date (a date-time as it is stored, without
 *   conversion between time zones; milliseconds are dropped);
 * - integers that fit 64 bits become integers, larger unsigned ones their
 *   decimal text; doubles and floats become doubles; booleans booleans;
 * - a time of day becomes "hh:mm:ss";
 * - anything else that Qt can turn into text becomes that text; what it cannot
 *   (binary data, geometries, maps) is failure 13 "Type mismatch".
 */
Variant variantOf(const QVariant& value);

}  // namespace corvale::qgis
