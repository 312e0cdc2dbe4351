#pragma once

#include <cstdint>
#include <string>

namespace corvale::tools {

struct SyntheticStreetsOptions {
  int64_t features = 1000000;
  int64_t names = 100000;
  uint64_t seed = 1;
  /// The share of features (beyond the first `names`) whose name is null.
  double nullShare = 0.01;
  std::string layerName = "streets";
  /// When true (and features > names >= 2), name names - 1 is carried by the last
  /// feature alone: a search for it reads every row before it finds one.
  bool lastNameAlone = false;
};

/**
 * Writes a GeoPackage with one line layer (EPSG:25832) of synthetic streets:
 * fields name (text) and lanes (integer). Exactly `names` distinct non-null
 * names of 15 to 35 characters ("Ashford Pinewood Street"): feature k < names
 * carries name k, every later one a name drawn from the seeded generator or,
 * with probability nullShare, null. With lastNameAlone the last name is
 * carried by the last feature instead of feature names - 1, and drawn for no
 * other. Same options, same bytes.
 */
void writeSyntheticStreets(const std::string& gpkgPath, const SyntheticStreetsOptions& options);

/// The k-th synthetic street name; different k give different names.
std::string syntheticStreetName(int64_t k);

}  // namespace corvale::tools
