#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "SyntheticStreets.h"
#include "qgis/OgrReference.h"
#include "support/TempFolder.h"

namespace corvale {
namespace {

/// How often each name occurs, and the name of the row with the highest fid.
struct Census {
  std::map<std::string, int> counts;
  int nulls = 0;
  std::optional<std::string> lastName;
};

Census censusOf(const std::filesystem::path& gpkg) {
  Census census;
  for (const auto& name : testing::ogrColumn(gpkg, "SELECT name FROM streets ORDER BY fid")) {
    if (name)
      ++census.counts[*name];
    else
      ++census.nulls;
    census.lastName = name;
  }
  return census;
}

TEST(SyntheticStreets, TheLastNameCanBeCarriedByTheLastRowAlone) {
  testing::TempFolder folder;
  tools::SyntheticStreetsOptions options;
  options.features = 5000;
  options.names = 300;
  options.seed = 3;
  options.lastNameAlone = true;
  tools::writeSyntheticStreets((folder / "last.gpkg").string(), options);
  const Census census = censusOf(folder / "last.gpkg");
  EXPECT_EQ(census.counts.size(), 300u);
  ASSERT_TRUE(census.lastName);
  EXPECT_EQ(*census.lastName, tools::syntheticStreetName(299));
  EXPECT_EQ(census.counts.at(*census.lastName), 1);
  EXPECT_GT(census.nulls, 0);
}

TEST(SyntheticStreets, WithoutTheOptionEveryNameFirstAppearsInOrder) {
  testing::TempFolder folder;
  tools::SyntheticStreetsOptions options;
  options.features = 5000;
  options.names = 300;
  options.seed = 3;
  tools::writeSyntheticStreets((folder / "plain.gpkg").string(), options);
  const auto names = testing::ogrColumn(folder / "plain.gpkg",
                                        "SELECT name FROM streets WHERE fid <= 300 ORDER BY fid");
  ASSERT_EQ(names.size(), 300u);
  for (int k = 0; k < 300; ++k)
    EXPECT_EQ(names[static_cast<size_t>(k)], tools::syntheticStreetName(k)) << k;
  EXPECT_EQ(censusOf(folder / "plain.gpkg").counts.size(), 300u);
}

}  // namespace
}  // namespace corvale
