#include "SampleCity.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "GpkgWriter.h"

namespace corvale::tools {

namespace {

/// The south-west corner of the city, in EPSG:25832 (ETRS89 / UTM zone 32N).
constexpr double kOriginX = 352000;
constexpr double kOriginY = 6926000;
constexpr double kBlock = 120;

/// The city's street names; each street is laid out as a row of segments.
const std::vector<std::string>& streetNames() {
  static const std::vector<std::string> names = {
      "Main Street",
      "MAIN STREET",
      "main street",
      "O'Brien Road",
      "Harbour Road",
      " Harbour Lane",
      "Elm Street",
      "Elm Street ",
      "Church Lane",
      "Station Road",
      "Commerce Street, North",
      "Smith, John Avenue",
      "\xC3\x85lesund All\xC3\xA9",
      "Lange Stra\xC3\x9F"
      "e",
      "S\xC3\xB8ndre gate",
      "\xC3\x98vre Holmegate",
      "Rue de l'\xC3\x89glise",
      "Kongens gate",
      "St. Olavs plass",
      "Keiser Wilhelms gate",
      "Apotekergata",
      "L\xC3\xB8venvoldgata",
      "Kirkegata",
      "Notenesgata",
      "Parkgata",
      "Storgata",
      "x' OR '1'='1",
      "Mill Road",
      "Quay Street",
      "Fisherman's Wharf",
      "Bridge Street",
      "Ring Road",
      "Ferry Lane",
      "Garden Close",
      "Anchor Way",
      "Lighthouse Road",
      "Rope Walk",
      "Salt Street",
      "Tower Hill",
      "Birch Avenue",
      "Aspen Avenue",
      "Willow Walk",
  };
  return names;
}

FieldValue text(std::string t) {
  return FieldValue::of(std::move(t));
}

}  // namespace

void writeSampleCity(const std::string& gpkgPath) {
  GpkgWriter gpkg(gpkgPath);

  gpkg.beginLayer("streets", wkbLineString, 25832,
                  {{"name", OFTString},
                   {"Alt Name", OFTString},
                   {"lanes", OFTInteger},
                   {"width_m", OFTReal},
                   {"opened", OFTDate},
                   {"surveyed", OFTDateTime}});
  const auto& names = streetNames();
  // Street i runs east along row i; its segments are consecutive blocks.
  // Rows of numbered avenues run north, crossing them.
  int serial = 0;
  auto street = [&](FieldValue name, FieldValue altName, const Vertices& line) {
    ++serial;
    const FieldValue lanes =
        serial % 11 == 0 ? FieldValue::null() : FieldValue::of(int64_t{1 + serial % 4});
    const FieldValue width = FieldValue::of(5.5 + (serial % 14) * 0.5);
    const FieldValue opened = serial % 9 == 0
                                  ? FieldValue::null()
                                  : FieldValue::of(DateTime{1890 + serial % 130, 1 + serial % 12,
                                                            1 + serial % 28, 0, 0, 0});
    const FieldValue surveyed =
        FieldValue::of(DateTime{2015 + serial % 8, 1 + serial % 12, 1 + serial % 28, serial % 24,
                                serial % 60, (serial * 7) % 60});
    gpkg.addFeature({std::move(name), std::move(altName), lanes, width, opened, surveyed}, line);
  };

  for (size_t i = 0; i < names.size(); ++i) {
    const double y = kOriginY + static_cast<double>(i) * kBlock;
    const int segments = 8 + static_cast<int>((i * 7) % 12);
    for (int s = 0; s < segments; ++s) {
      const double x = kOriginX + s * kBlock;
      // A slight kink, so that no segment's envelope is a mere line.
      street(text(names[i]), s == 0 ? text("Old " + names[i]) : FieldValue::null(),
             {{x, y}, {x + kBlock / 2, y + 7 + s}, {x + kBlock, y}});
    }
  }
  // Numbered avenues run north through the whole grid of streets, one a block.
  const double northEnd = kOriginY + static_cast<double>(names.size()) * kBlock;
  for (int a = 1; a <= 20; ++a) {
    const std::string name = std::to_string(a) +
                             (a == 1   ? "st"
                              : a == 2 ? "nd"
                              : a == 3 ? "rd"
                                       : "th") +
                             " Avenue";
    const double x = kOriginX + (a - 1) * kBlock;
    const double length = (northEnd - kOriginY + 2 * kBlock) / 4;
    for (int s = 0; s < 4; ++s) {
      const double y = kOriginY - kBlock + s * length;
      street(text(name), FieldValue::null(), {{x, y}, {x, y + length}});
    }
  }
  // Rows whose names list nothing, or a lone blank; a street that was never drawn.
  for (int k = 0; k < 5; ++k) {
    const double x = kOriginX - 500, y = kOriginY + k * kBlock;
    street(FieldValue::null(), FieldValue::null(), {{x, y}, {x + 80, y + 10}});
  }
  for (int k = 0; k < 3; ++k) {
    const double x = kOriginX - 800, y = kOriginY + k * kBlock;
    street(text(""), text(""), {{x, y}, {x + 80, y + 10}});
  }
  street(text(" "), FieldValue::null(),
         {{kOriginX - 900, kOriginY}, {kOriginX - 850, kOriginY + 40}});
  street(text("Unbuilt Road"), FieldValue::null(), {});
  gpkg.endLayer();

  gpkg.beginLayer("hydrants", wkbPoint, 4326,
                  {{"hydrant_id", OFTString}, {"flow_lpm", OFTInteger}, {"installed", OFTDate}});
  // Along the first streets, in longitude and latitude near the city's corner.
  for (int h = 1; h <= 40; ++h) {
    char id[16];
    std::snprintf(id, sizeof id, "H-%03d", h);
    const double lon = 6.1400 + (h % 8) * 0.0021;
    const double lat = 62.4500 + (h / 8) * 0.0011;
    gpkg.addFeature({text(id), FieldValue::of(int64_t{800 + (h * 37) % 900}),
                     FieldValue::of(DateTime{1960 + h, 1 + h % 12, 1 + h % 28, 0, 0, 0})},
                    {{lon, lat}});
  }
  gpkg.endLayer();

  gpkg.beginLayer("water_mains", wkbLineString, 25832,
                  {{"main_id", OFTString}, {"diameter_mm", OFTInteger}, {"material", OFTString}});
  static const char* materials[] = {"cast iron", "ductile iron", "PVC", "PE"};
  for (int m = 1; m <= 30; ++m) {
    char id[16];
    std::snprintf(id, sizeof id, "WM-%02d", m);
    const double y = kOriginY + m * kBlock - kBlock / 4;
    gpkg.addFeature({text(id), FieldValue::of(int64_t{100 + 50 * (m % 5)}), text(materials[m % 4])},
                    {{kOriginX, y}, {kOriginX + 6 * kBlock, y}});
  }
  gpkg.endLayer();

  gpkg.beginLayer("street_owners", wkbNone, 0, {{"street", OFTString}, {"owner", OFTString}});
  for (size_t i = 0; i < names.size(); i += 3) {
    gpkg.addFeature({text(names[i]), text(i % 2 ? "Municipality" : "County")});
  }
  gpkg.endLayer();
}

}  // namespace corvale::tools
