#pragma once
/**
 * The QGIS API where releases differ, so that the host reads the same on QGIS
 * 3.22, 3.40 and 3.44 and builds without deprecation warnings on each.
 *
 * - Field and value types are compared as metatype ids (`QMetaType::Type`
 *   values, an `int`), never as enums of two kinds: QGIS 3.22 gives a field's
 *   type as `QVariant::Type`, newer releases as `QMetaType::Type`, and a
 *   comparison across the two enums is deprecated.
 * - A field's origin (`QgsFields::OriginProvider` before, `Qgis::FieldOrigin`
 *   from QGIS 3.38 on).
 * - The flags and filter types of a feature request (`QgsFeatureRequest::NoGeometry`,
 *   `FilterNone` before, `Qgis::FeatureRequestFlag`, `Qgis::FeatureRequestFilterType`
 *   from QGIS 3.36 on).
 * - Label placements (`QgsPalLayerSettings::Line` before, `Qgis::LabelPlacement`
 *   from QGIS 3.26 on).
 * - The geometry type of a data source (`QgsWkbTypes::Type` before,
 *   `Qgis::WkbType` from QGIS 3.30 on); `WkbType::Unknown` names the same
 *   value on both.
 *
 * Keyed on `_QGIS_VERSION_INT`, the release the plugin is compiled against:
 * a C++ plugin is loaded only by the QGIS release it was built for.
 */

#include <QMetaType>
#include <QString>
#include <QVariant>

#include <qgis.h>
#include <qgsconfig.h>
#include <qgsfeaturerequest.h>
#include <qgsfield.h>
#include <qgsfields.h>
#include <qgspallabeling.h>
#include <qgswkbtypes.h>

// Without it every test below would silently take the oldest release's branch.
#ifndef _QGIS_VERSION_INT
#error "qgsconfig.h gives no _QGIS_VERSION_INT"
#endif

namespace corvale::qgis::compat {

/// The release the host is compiled against, e.g. 34006 for 3.40.6.
inline constexpr int kQgisVersion = _QGIS_VERSION_INT;

/// The metatype id of a field's type (`QMetaType::QString`, `QMetaType::Int`, ...).
inline int fieldType(const QgsField& field) {
  return static_cast<int>(field.type());
}

/// The metatype id of the value a variant holds (user types keep their own id).
inline int valueType(const QVariant& value) {
  return value.userType();
}

/// A field of the given name and type, as a layer or a test builds one.
inline QgsField makeField(const QString& name, QMetaType::Type type) {
#if _QGIS_VERSION_INT >= 33800
  return QgsField(name, type);
#else
  return QgsField(name, static_cast<QVariant::Type>(type));
#endif
}

/// True when the field at the index comes from the data provider itself (not
/// a join, an expression or an edit session).
inline bool isProviderField(const QgsFields& fields, int index) {
#if _QGIS_VERSION_INT >= 33800
  return fields.fieldOrigin(index) == Qgis::FieldOrigin::Provider;
#else
  return fields.fieldOrigin(index) == QgsFields::OriginProvider;
#endif
}

/// A feature request that reads no geometry.
#if _QGIS_VERSION_INT >= 33600
inline constexpr auto kNoGeometry = Qgis::FeatureRequestFlag::NoGeometry;
#else
inline constexpr auto kNoGeometry = QgsFeatureRequest::NoGeometry;
#endif

/// A feature request with no attribute or id filter (it may still have a limit).
inline bool hasNoFilter(const QgsFeatureRequest& request) {
#if _QGIS_VERSION_INT >= 33600
  return request.filterType() == Qgis::FeatureRequestFilterType::NoFilter;
#else
  return request.filterType() == QgsFeatureRequest::FilterNone;
#endif
}

/// Labels placed along a line.
#if _QGIS_VERSION_INT >= 32600
inline constexpr auto kLabelAlongLine = Qgis::LabelPlacement::Line;
#else
inline constexpr auto kLabelAlongLine = QgsPalLayerSettings::Line;
#endif

/// The geometry type of a data source.
#if _QGIS_VERSION_INT >= 33000
using WkbType = Qgis::WkbType;
#else
using WkbType = QgsWkbTypes::Type;
#endif

}  // namespace corvale::qgis::compat
