#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/Data.h"
#include "hosts/memory/ScriptedToolkit.h"
#include "support/HostFixture.h"

namespace corvale::testing {

/**
 * The in-memory host with a street layer "Streets" whose table has the fields
 * OBJECTID, NAME (text), LANES (integer), BUILT (date) and Shape, and a list
 * control to fill.
 */
class MapFixture : public HostFixture {
 protected:
  MapFixture() {
    streets = host.table();
    streets->addField("OBJECTID", host::fieldtype::kObjectId)
        .addField("NAME", host::fieldtype::kText)
        .addField("LANES", host::fieldtype::kInteger)
        .addField("BUILT", host::fieldtype::kDate)
        .addField("Shape", host::fieldtype::kGeometry);
    streetLayer = host.featureLayer("Streets", streets);
    host.map->add(streetLayer);
  }

  /// Adds a street with a line from (x, y) to (x + 10, y + 20).
  void addStreet(Variant name, double x = 0, double y = 0) {
    streets->addRow({{"NAME", std::move(name)}}, host.line({{x, y}, {x + 10, y + 20}}));
  }

  const std::vector<std::string>& entries() { return list.entries(); }

  std::shared_ptr<memory::MemoryTable> streets;
  std::shared_ptr<memory::MemoryFeatureLayer> streetLayer;
  memory::ScriptedListBox list{false, nullptr};
};

/// Whether `shorter` is where `longer` begins.
inline bool isPrefixOf(const std::vector<std::string>& shorter,
                       const std::vector<std::string>& longer) {
  return shorter.size() <= longer.size() &&
         std::equal(shorter.begin(), shorter.end(), longer.begin());
}

}  // namespace corvale::testing
