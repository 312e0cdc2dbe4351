#pragma once

#include <memory>
#include <string>

#include "host/Application.h"
#include "host/Forms.h"

namespace corvale {

inline constexpr const char* kArcMapModule = "CorvaleGIS_ArcMap";

/**
 * The feature layer of the current document's focus map whose name equals
 * `name` without regard to case (whole text, untrimmed); the last one in walk
 * order when several do, nothing when none does. Top-level feature layers and
 * the feature layers directly inside top-level groups are walked, in map order.
 * On a failure shows "Error: Could not find layer <name>" and yields nothing.
 */
std::shared_ptr<host::IFeatureLayer> GetLayerByName(const std::string& name);

/// Clears the list and appends the name of every walked feature layer, in walk
/// order. On a failure shows "Error loading map layers"; the list keeps what it got.
void LoadListWithLayers(host::IListBox& list);

/// Clears the list and appends the names of the layer's display-table fields in
/// their own order. On a failure (nothing as the layer included) shows
/// "Error loading layer fields"; the list keeps what it got.
void LoadListWithFields(host::IListBox& list, const std::shared_ptr<host::IFeatureLayer>& layer);

/**
 * Clears the list and appends each distinct non-empty value text of the field
 * once, at its first occurrence in cursor order (distinct by exact
 * comparison; nulls skipped), showing progress in the host's status bar.
 * Returns with an empty list for a blank layer or field name, a layer or
 * field that does not exist; refuses the field "Shape" with a message; reports
 * any other failure through ReportError.
 */
void LoadListWithUniqueFieldValues(const std::string& layerName, const std::string& fieldName,
                                   host::IListBox& list, bool showProgress,
                                   const std::shared_ptr<host::IQueryFilter>& filter);

/**
 * The first feature of the layer whose field equals the value, or nothing.
 * Text values are quoted with their apostrophes doubled, date values put
 * between number signs, other values passed bare. Reports failures through
 * ReportError and yields nothing.
 */
std::shared_ptr<host::IFeature> GetFeatureByValue(const std::shared_ptr<host::IFeatureLayer>& layer,
                                                  const std::string& fieldName,
                                                  const std::string& value);

/// Sets the current view's extent to the feature's envelope scaled by 1 + margin
/// about its centre, and refreshes the view. Nothing as the feature does nothing.
void ZoomToFeaturePlus(const std::shared_ptr<host::IFeature>& feature, double margin);

/// The where clause GetFeatureByValue searches with: the field name as given,
/// " = ", and the value wrapped for the field's type code.
std::string whereClauseFor(const std::string& fieldName, int32_t fieldType,
                           const std::string& value);

}  // namespace corvale
