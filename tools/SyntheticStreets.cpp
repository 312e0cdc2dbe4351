#include "SyntheticStreets.h"

#include <algorithm>
#include <array>

#include "GpkgWriter.h"

namespace corvale::tools {

namespace {

constexpr std::array<const char*, 20> kFirst = {
    "Ash",   "Birch", "Cedar", "Elder", "Fern", "Glen", "Hazel",  "Holly", "Iron",  "Juniper",
    "Kings", "Lark",  "Maple", "North", "Oak",  "Pine", "Queens", "Raven", "Stone", "Thorn"};
constexpr std::array<const char*, 10> kSecond = {"ford", "field", "wood", "brook", "dale",
                                                 "gate", "hill",  "mere", "ton",   "wick"};
constexpr std::array<const char*, 20> kKinds = {"Street",  "Road",    "Avenue", "Lane",  "Close",
                                                "Drive",   "Way",     "Place",  "Court", "Crescent",
                                                "Terrace", "Gardens", "Walk",   "Row",   "Grove",
                                                "Hill",    "Square",  "Parade", "Mews",  "Rise"};
constexpr int64_t kWords = static_cast<int64_t>(kFirst.size() * kSecond.size());
constexpr int64_t kCombinations = kWords * kWords * static_cast<int64_t>(kKinds.size());
/// Coprime with kCombinations: k -> k * kSpread mod kCombinations is one-to-one.
constexpr int64_t kSpread = 104729;

std::string word(int64_t w) {
  return std::string(kFirst[static_cast<size_t>(w / 10)]) + kSecond[static_cast<size_t>(w % 10)];
}

/// splitmix64: a small generator whose sequence is the same on every platform.
struct Random {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
};

}  // namespace

std::string syntheticStreetName(int64_t k) {
  const int64_t spread = (k % kCombinations) * kSpread % kCombinations;
  const int64_t kind = spread % static_cast<int64_t>(kKinds.size());
  const int64_t second = spread / static_cast<int64_t>(kKinds.size()) % kWords;
  const int64_t first = spread / static_cast<int64_t>(kKinds.size()) / kWords;
  std::string name = word(first) + " " + word(second) + " " + kKinds[static_cast<size_t>(kind)];
  if (k >= kCombinations) name += " " + std::to_string(k / kCombinations + 1);
  return name;
}

void writeSyntheticStreets(const std::string& gpkgPath, const SyntheticStreetsOptions& options) {
  GpkgWriter gpkg(gpkgPath);
  gpkg.beginLayer(options.layerName, wkbLineString, 25832,
                  {{"name", OFTString}, {"lanes", OFTInteger}});
  Random random{options.seed};
  const int64_t names = options.names > 0 ? options.names : 1;
  const bool lastAlone = options.lastNameAlone && names >= 2 && options.features > names;
  // The names placed in order at the start, and the names later rows draw from.
  const int64_t leading = lastAlone ? names - 1 : names;
  const int64_t drawn = std::max<int64_t>(leading, 1);
  constexpr int64_t kColumns = 1000;
  constexpr double kStep = 50;
  for (int64_t i = 0; i < options.features; ++i) {
    FieldValue name;
    if (lastAlone && i == options.features - 1) {
      name = FieldValue::of(syntheticStreetName(names - 1));
    } else if (i < leading) {
      name = FieldValue::of(syntheticStreetName(i));
    } else if (random.unit() >= options.nullShare) {
      name = FieldValue::of(
          syntheticStreetName(static_cast<int64_t>(random.next() % static_cast<uint64_t>(drawn))));
    }
    const double x = 300000 + static_cast<double>(i % kColumns) * kStep;
    const double y = 6900000 + static_cast<double>(i / kColumns) * kStep;
    gpkg.addFeature({std::move(name), FieldValue::of(int64_t{1 + static_cast<int64_t>(i % 4)})},
                    {{x, y}, {x + kStep * 0.8, y + kStep * 0.3}});
  }
  gpkg.endLayer();
}

}  // namespace corvale::tools
